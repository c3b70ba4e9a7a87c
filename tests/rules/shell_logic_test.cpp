// The shell's logic apart from the window system: the gallery's cells,
// hover, clicks and turns; the message's image.
#include "core/console.h"
#include "lifecycle/gallery.h"
#include "lifecycle/session.h"
#include "ppu/ppu.h"
#include "support/fixtures.h"
#include "text/message.h"

namespace {

TEST(Gallery, CellUnderThePointer) {
  const int cases[][5] = {{199, 0, 600, 600, 0},   {200, 0, 600, 600, 1},   {599, 599, 600, 600, 8},
                          {600, 0, 600, 600, -1},  {-1, 0, 600, 600, -1},   {-199, 5, 600, 600, -1},
                          {510, 10, 512, 512, -1}, {797, 299, 800, 300, 8}, {0, 0, 2, 600, -1}};
  for (const auto& c : cases)
    EXPECT_EQ(gallery_cell_at(c[0], c[1], c[2], c[3]), c[4]) << c[0] << ", " << c[1];
  EXPECT_EQ(gallery_label("/my.roms/v1.0/100% Fun.nes"), "100% Fun.nes");
  EXPECT_EQ(gallery_label("Game.nes"), "ame.nes");
}

GalleryPointer over(int cell, bool button = false, bool focused = true) {
  GalleryPointer pointer;
  pointer.x = cell < 0 ? -20 : (cell % 3) * 200 + 100;
  pointer.y = (cell / 3) * 200 + 100;
  pointer.viewport_width = pointer.viewport_height = 600;
  pointer.button_down = button;
  pointer.focused = focused;
  return pointer;
}

// During the 180 warm-up steps every preview runs a frame per step; then one
// preview per step, in turn, and the grid is redrawn every ninth step. A
// click opens a preview only while the window has the focus. (The hovered
// preview's name and the recent list left as it was: the desktop test.)
TEST(Gallery, Steps) {
  ScratchDir dir;
  ScriptPlatform platform;
  Session session;
  session.platform = &platform;
  session.recent[0] = write_image(dir, "a.nes");
  session.recent[1] = write_image(dir, "b.nes");
  enter_gallery(session);
  int message_frames = 0;
  int redraws = 0;
  for (int step = 0; step < 180 + 18; ++step)
    redraws += gallery_step(session, message_frames, over(-1));
  EXPECT_EQ(session.gallery[0]->ppu->frame_counter, 180u + 2);
  EXPECT_EQ(redraws, 22);
  EXPECT_EQ(message_frames, -198) << "counted down on every step";
  gallery_step(session, message_frames, over(1, true, false));
  EXPECT_EQ(session.mode, mode_gallery);
  gallery_step(session, message_frames, over(1, true));
  EXPECT_EQ(session.mode, mode_game);
  EXPECT_EQ(session.current->rom_path, session.recent[1]);
}

// A message holds 40 glyphs at the most and stays on its line. (The glyphs
// themselves: the desktop test reads them off the screen.)
TEST(Message, Bounds) {
  EXPECT_EQ(format_message("%s", std::string(300, 'x').c_str()), std::string(40, 'x'));
  const std::vector<u8> full = render_message_image(std::string(60, 'M'));
  int off_the_line = 0;
  for (int texel = 0; texel < 256 * 240; ++texel)
    off_the_line += (texel / 256 < 224 || texel / 256 > 228) && full[texel * 4 + 3] != 0;
  EXPECT_EQ(off_the_line, 0);
}

}  // namespace
