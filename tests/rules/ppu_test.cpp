// The PPU's rules that the picture cartridges reach badly: which pattern
// addresses a line fetches, in what order (boards count them), and the
// registers' own rules.
#include <algorithm>

#include "ppu/ppu.h"
#include "support/fixtures.h"

namespace {

std::vector<u16> columns(int first, int last, int table_and_row) {
  std::vector<u16> list;
  for (int column = first; column <= last; ++column)
    list.push_back(static_cast<u16>(table_and_row + 16 * column));
  return list;
}

std::vector<u16> operator+(std::vector<u16> a, const std::vector<u16>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A visible line: one fetch at the first background pixel and one at every
// tile boundary of the scrolled picture, then the eight sprite slots (empty:
// $1FF0), then, for boards that watch them, the next line's first two tiles.
// The pre-render line makes the same fetches but the prefetch, and changes
// no pixel, flag, status bit or scroll position.
TEST(PpuFetches, OrderOfALinesPatternFetches) {
  const std::vector<u16> slots(8, 0x1FF0);
  struct Case {
    const char* what;
    u8 mask;
    u8 fine_x;
    bool prefetch_board;
    bool prerender;
    std::vector<u16> fetches;
  };
  const Case cases[] = {
      {"both shown", 0x1E, 0, false, false, columns(0, 31, 0x1002) + slots},
      {"fine X 3 crosses 33 tiles", 0x1E, 3, false, false, columns(0, 32, 0x1002) + slots},
      {"left column hidden: first fetch for x = 8", 0x18, 0, false, false, columns(1, 31, 0x1002) + slots},
      {"left column hidden, fine X 3", 0x18, 3, false, false, columns(1, 32, 0x1002) + slots},
      {"background only", 0x0A, 0, false, false, columns(0, 31, 0x1002)},
      {"sprites only", 0x14, 0, false, false, slots},
      {"MMC2 prefetch", 0x1E, 5, true, false, columns(0, 32, 0x1002) + slots + columns(0x20, 0x21, 0x1002)},
      {"MMC2 prefetch, nothing shown", 0x00, 0, true, false, columns(0x20, 0x21, 0x1002)},
      {"pre-render line", 0x1E, 0, true, true, columns(0, 31, 0x1002) + slots},
      {"pre-render line, left column hidden", 0x18, 0, false, true, columns(1, 31, 0x1002) + slots},
      {"pre-render line, nothing shown", 0x00, 0, true, true, {}},
  };
  for (const Case& c : cases) {
    TestConsole t;
    for (int column = 0; column < 32; ++column)  // tiles number their column; nametable 1's add $20
      t.vram_at(static_cast<u16>(0x2000 + column)) = static_cast<u8>(column),
                                          t.vram_at(static_cast<u16>(0x2400 + column)) =
                                              static_cast<u8>(0x20 + column);
    t.board->sees_line_prefetch = c.prefetch_board;
    t.ppu().mask = c.mask;
    t.ppu().ctrl = ctrl_background_1000;
    t.ppu().fine_x = c.fine_x;
    t.ppu().vram_addr = 0x2000;  // fine Y 2
    t.ppu().status = status_sprite0_hit;
    std::fill_n(t.ppu().pixel_flags.get(), 256 * 240, 2);
    t.board->fetches.clear();
    if (c.prerender)
      render_prerender_line(t.console);
    else
      render_background_line(t.console, 3);
    EXPECT_EQ(t.board->fetches, c.fetches) << c.what;
    if (c.prerender) {
      EXPECT_EQ(t.ppu().vram_addr, 0x2000) << c.what;
      EXPECT_EQ(t.ppu().status, status_sprite0_hit) << c.what;
      EXPECT_EQ(std::count(t.ppu().pixel_flags.get(), t.ppu().pixel_flags.get() + 256 * 240, 2), 256 * 240);
    }
  }
}

u8 data_read(TestConsole& t, u16 address) {
  ppu_write(t.ppu(), 0x2006, static_cast<u8>(address >> 8));
  ppu_write(t.ppu(), 0x2006, static_cast<u8>(address));
  return ppu_read(t.ppu(), 0x2007);
}

TEST(PpuRegisters, DataPortAndPalette) {
  TestConsole t;  // vertical arrangement
  t.vram_at(0x2005) = 0x11;
  // Reads come one late through the buffer, but palette reads at once (the
  // buffer takes the nametable byte under the palette).
  data_read(t, 0x2805);  // $2800 folds onto $2000
  EXPECT_EQ(ppu_read(t.ppu(), 0x2007), 0x11);
  ppu_write(t.ppu(), 0x2006, 0x3F);
  ppu_write(t.ppu(), 0x2006, 0x10);
  ppu_write(t.ppu(), 0x2007, 0x2A);  // the backdrop, reached through $3F10
  ppu_write(t.ppu(), 0x2007, 0x15);
  for (int entry = 0; entry < 32; entry += 4)
    EXPECT_EQ(t.ppu().vram[0x3F00 + entry], 0x2A) << entry;
  EXPECT_EQ(data_read(t, 0x3F31), 0x15) << "the palette repeats every 32 bytes";
  // Control bit 2 steps the address by 32.
  ppu_write(t.ppu(), 0x2000, ctrl_increment_32);
  data_read(t, 0x2000);
  EXPECT_EQ(t.ppu().vram_addr, 0x2020);
}

TEST(PpuRegisters, StatusScrollAndSpriteMemory) {
  TestConsole t;
  t.ppu().status = status_vblank | status_sprite0_hit;
  ppu_write(t.ppu(), 0x2005, 0x7D);  // first write: fine X 5, coarse X 15
  EXPECT_EQ(ppu_read(t.ppu(), 0x2002), status_vblank | status_sprite0_hit);
  EXPECT_EQ(t.ppu().status, status_sprite0_hit) << "a read clears only the vertical blank";
  ppu_write(t.ppu(), 0x2005, 0x5E);  // the toggle was reset: fine X 6, coarse X 11
  ppu_write(t.ppu(), 0x2005, 0x3A);  // second: fine Y 2, coarse Y 7
  EXPECT_EQ(t.ppu().fine_x, 6);
  EXPECT_EQ(t.ppu().temp_addr, 0x20EB);
  ppu_write(t.ppu(), 0x2000, 0x03);  // nametable 3
  EXPECT_EQ(t.ppu().temp_addr, 0x2CEB);
  // Attribute bits 2-4 do not exist in sprite memory; $2004 writes wrap.
  ppu_write(t.ppu(), 0x2003, 0xFE);
  for (u8 value : {0xFF, 0xFF, 0x77})
    ppu_write(t.ppu(), 0x2004, value);
  ppu_write(t.ppu(), 0x2003, 0xFE);
  EXPECT_EQ(ppu_read(t.ppu(), 0x2004), 0xE3);
  EXPECT_EQ(t.ppu().oam[0], 0x77);
}

}  // namespace
