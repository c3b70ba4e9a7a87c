// The View menu's choices on disk, and the paths the desktop hands the shell
// (drops) or the shell makes (screenshots).
#include "lifecycle/display_options.h"
#include "lifecycle/desktop_paths.h"
#include "lifecycle/user_folders.h"
#include "support/fixtures.h"

namespace {

std::vector<int> fields(const DisplayOptions& o) {
  return {o.keep_aspect, o.sharp_pixels, o.scale};
}

// Each line counts on its own: damaged ones are passed over, the last of a
// name wins. (Reading and writing the file: the desktop test.)
TEST(OptionsFile, Lines) {
  const std::pair<const char*, std::vector<int>> cases[] = {
      {"keep_aspect=1\nsharp_pixels=1\nscale=3\n", {1, 1, 3}},
      {"scale=4\r\nkeep_aspect=1\r\nkeep_aspect=0", {0, 0, 4}},
      {"keep_aspect=2\nsharp_pixels=1\nscale=5\nscale=-1\n scale=2\nzoom=3\n\x01\xff=1\n", {0, 1, 0}},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(fields(parse_display_options(text)), expected) << text;
}

// (Screenshot names: the desktop test.)
TEST(DesktopPaths, DropsAndThePicturesFolder) {
  const std::pair<const char*, const char*> drops[] = {
      {"file:///home/ana/My%20Games/Caf%C3%A9%20100%25.nes", "/home/ana/My Games/Caf\xC3\xA9 100%.nes"},
      {"# a comment\r\nfile:///roms/notes.txt\r\nfile://localhost/roms/One.nes\r\nfile:///roms/Two.nes\r\n",
       "/roms/One.nes"},
      {"file://other-host/roms/c.nes\r\n", ""},
      {"http://example.org/d.nes\r\n", ""},
  };
  for (const auto& [text, path] : drops)
    EXPECT_EQ(path_from_dropped_text(text), path) << text;
  EXPECT_EQ(pictures_directory_in("# XDG_PICTURES_DIR=\"$HOME/Old\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n",
                                  "/home/a"),
            "/home/a/Bilder");
  EXPECT_EQ(pictures_directory_in("XDG_PICTURES_DIR=\"$HOMEWORK/x\"\n", "/home/a"), "");
}

}  // namespace
