// The View menu's choices on disk, the picture's place in the window, and
// the paths the desktop hands the shell (drops) or the shell makes
// (screenshots).
#include "lifecycle/display_options.h"

#include <gtest/gtest.h>

#include <fstream>

#include "lifecycle/desktop_paths.h"
#include "lifecycle/user_folders.h"
#include "support/fixtures.h"

namespace {


TEST(OptionsFile, EachLineCountsOnItsOwn) {
  struct Case {
    const char* text;
    bool keep_aspect;
    bool sharp_pixels;
    int scale;
  };
  const Case cases[] = {
      {"", false, false, 0},
      {"keep_aspect=1\nsharp_pixels=1\nscale=3\n", true, true, 3},
      {"scale=4\r\nkeep_aspect=1\r\n", true, false, 4},     // written elsewhere, any order
      {"keep_aspect=1\nkeep_aspect=0\n", false, false, 0},  // the last one counts
      {"scale=1", false, false, 1},                         // no final line break
      // Damaged lines are passed over one by one.
      {"keep_aspect=2\nsharp_pixels=1\nscale=5\n", false, true, 0},
      {"scale=-1\nscale=\nscale=22\nkeep_aspect\n", false, false, 0},
      {" scale=2\nScale=2\nscale =2\nscale=2 \n", false, false, 0},
      {"zoom=3\n\n#comment\nsharp_pixels=1\n\x01\xff=1\n", false, true, 0},
  };
  for (const Case& c : cases) {
    const DisplayOptions options = parse_display_options(c.text);
    EXPECT_EQ(options.keep_aspect, c.keep_aspect) << c.text;
    EXPECT_EQ(options.sharp_pixels, c.sharp_pixels) << c.text;
    EXPECT_EQ(options.scale, c.scale) << c.text;
  }
}

TEST(OptionsFile, WrittenAndReadBackThroughTheDisk) {
  ScratchDir scratch;
  const std::string path = scratch / "config/options.txt";
  EXPECT_EQ(read_display_options(path).scale, 0);  // missing: the defaults
  DisplayOptions options;
  options.keep_aspect = true;
  options.scale = 2;
  ASSERT_TRUE(write_display_options(path, options));
  std::ifstream file(path);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "keep_aspect=1\nsharp_pixels=0\nscale=2\n");
  const DisplayOptions back = read_display_options(path);
  EXPECT_TRUE(back.keep_aspect);
  EXPECT_FALSE(back.sharp_pixels);
  EXPECT_EQ(back.scale, 2);
}

TEST(PictureShape, RectangleInTheAreaAndSizePresets) {
  struct RectCase {
    int width, height;
    bool keep_aspect;
    PictureRect rect;
  };
  const RectCase rects[] = {
      {512, 512, false, {0, 0, 512, 512}},  {800, 300, false, {0, 0, 800, 300}},
      {512, 512, true, {0, 46, 512, 420}},   // bars above and below
      {800, 300, true, {217, 0, 366, 300}},  // bars left and right
      {293, 240, true, {0, 0, 293, 240}},   {1024, 768, true, {44, 0, 936, 768}},
      {0, 0, true, {0, 0, 0, 0}},
  };
  for (const RectCase& c : rects) {
    const PictureRect rect = picture_rect(c.width, c.height, c.keep_aspect);
    EXPECT_EQ(rect.x, c.rect.x) << c.width << " x " << c.height;
    EXPECT_EQ(rect.y, c.rect.y) << c.width << " x " << c.height;
    EXPECT_EQ(rect.width, c.rect.width) << c.width << " x " << c.height;
    EXPECT_EQ(rect.height, c.rect.height) << c.width << " x " << c.height;
  }

  struct PresetCase {
    int scale;
    bool keep_aspect;
    AreaSize largest;
    AreaSize area;
  };
  const AreaSize screen{1024, 743};
  const AreaSize smallest{300, 240};
  const PresetCase presets[] = {
      {0, false, screen, {512, 512}},
      {0, true, screen, {512, 512}},
      {2, false, screen, {512, 480}},
      {2, true, screen, {585, 480}},
      {3, false, screen, {768, 720}},
      {4, false, screen, {793, 743}},  // 1024 x 960 shrunk to the screen's height
      {4, true, screen, {906, 743}},
      {1, false, screen, {300, 240}},  // no narrower than the menu bar
  };
  for (const PresetCase& c : presets) {
    const AreaSize area = preset_area(c.scale, c.keep_aspect, c.largest, smallest);
    EXPECT_EQ(area.width, c.area.width) << c.scale << "x, keep aspect " << c.keep_aspect;
    EXPECT_EQ(area.height, c.area.height) << c.scale << "x, keep aspect " << c.keep_aspect;
  }
}

TEST(DesktopPaths, TheFirstImageOfADrop) {
  struct Case {
    const char* text;
    const char* path;
  };
  const Case cases[] = {
      {"file:///home/ana/roms/Game.nes\r\n", "/home/ana/roms/Game.nes"},
      {"file:///home/ana/My%20Games/Caf%C3%A9%20100%25.nes", "/home/ana/My Games/Caf\xC3\xA9 100%.nes"},
      {"file://localhost/roms/A.NES\r\n", "/roms/A.NES"},
      {"file:///roms/notes.txt\r\nfile:///roms/One.nes\r\nfile:///roms/Two.nes\r\n", "/roms/One.nes"},
      {"# a comment\r\nfile:///roms/b.nes\r\n", "/roms/b.nes"},
      {"/roms/plain path.nes\n", "/roms/plain path.nes"},
      {"file:///roms/50%.nes", "/roms/50%.nes"},  // a lone % stays
      {"file://other-host/roms/c.nes\r\n", ""},
      {"http://example.org/d.nes\r\n", ""},
      {"file:///roms/e.nes.zip\r\n", ""},
      {"relative/f.nes", ""},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(path_from_dropped_text(c.text), c.path) << c.text;
}

TEST(DesktopPaths, ScreenshotsGoToThePicturesFolderUnderNewNumbers) {
  struct Case {
    const char* user_dirs;
    const char* folder;
  };
  const Case cases[] = {
      {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "/home/ana/Bilder"},
      {"XDG_PICTURES_DIR=\"/srv/pictures\"\n", "/srv/pictures"},
      {"# XDG_PICTURES_DIR=\"$HOME/Old\"\nXDG_PICTURES_DIR=\"$HOME\"\n", "/home/ana"},
      {"XDG_PICTURES_DIR=\"$HOMEWORK/x\"\n", ""},
      {"XDG_PICTURES_DIR=\"relative\"\n", ""},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(pictures_directory_in(c.user_dirs, "/home/ana"), c.folder) << c.user_dirs;

  ScratchDir scratch;
  const std::string rom = "/roms/v1.2/Super Game.nes";
  EXPECT_EQ(next_screenshot_path(scratch.path(), rom), scratch / "Super Game-001.png");
  std::ofstream(scratch / "Super Game-001.png") << "x";
  std::ofstream(scratch / "Super Game-003.png") << "x";
  EXPECT_EQ(next_screenshot_path(scratch.path(), rom), scratch / "Super Game-002.png");
}

}  // namespace
