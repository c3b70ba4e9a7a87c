// The background renderer: which pattern rows it fetches, what it draws, and
// how it moves the scroll position from line to line.
#include <gtest/gtest.h>

#include <algorithm>

#include "ppu_test_support.h"

namespace {

// Background table $0000, nametable 0 tiles all `tile`.
void fill_nametable(TestConsole& t, u16 base, u8 tile) {
  for (int i = 0; i < 960; ++i) {
    t.ppu().vram[base + i] = tile;
  }
}

std::vector<u16> line_fetches(TestConsole& t, int line) {
  t.board->fetches.clear();
  render_background_line(t.console, line);
  return t.board->fetches;
}

TEST(Background, SwitchedOffDrawsTheBackdropAndFetchesNothing) {
  TestConsole t;
  t.board->set_tile(0, 0, 0xFF, 0xFF);
  t.set_palette(0, 0x21);
  t.ppu().vram_addr = 0x1234;
  EXPECT_TRUE(line_fetches(t, 17).empty());
  EXPECT_EQ(t.flags_of(17), std::string(256, '0'));
  for (int x = 0; x < 256; ++x) {
    ASSERT_EQ(t.colour_at(x, 17), rgb_of(0x21)) << x;
  }
  EXPECT_EQ(t.ppu().vram_addr, 0x1234);
}

TEST(Background, BackdropUsesOnlyTheLowSixBitsOfItsByte) {
  TestConsole t;
  t.set_palette(0, 0xC5);
  render_background_line(t.console, 0);
  EXPECT_EQ(t.colour_at(0, 0), rgb_of(0x05));
  EXPECT_EQ(t.colour_at(255, 0), rgb_of(0x05));
}

TEST(Background, UnscrolledLineFetchesOneRowOfEachOf32TilesThenEightEmptySpriteSlots) {
  TestConsole t;
  for (int column = 0; column < 32; ++column) {
    t.ppu().vram[0x2000 + 2 * 32 + column] = static_cast<u8>(0x40 + column);
  }
  t.ppu().mask = 0x1E;
  t.ppu().ctrl = 0x10;         // background from $1000
  t.ppu().vram_addr = 0x5040;  // fine Y 5, coarse Y 2
  std::vector<u16> expected;
  for (int column = 0; column < 32; ++column) {
    expected.push_back(static_cast<u16>(0x1000 + 16 * (0x40 + column) + 5));
  }
  expected.insert(expected.end(), 8, 0x1FF0);
  EXPECT_EQ(line_fetches(t, 0), expected);
}

// Fetches of a line with the picture scrolled by fine_x, from the nametables
// whose tiles number their column (nametable 1 adds $20).
struct FetchCase {
  const char* what;
  u8 mask;
  u8 fine_x;
  int mapper_number;
  std::vector<int> columns;  // tile columns fetched, 32 and up in nametable 1
  int prefetches;            // extra fetches after the sprite stage
};

TEST(Background, FetchesFollowTheScrolledTileBoundaries) {
  auto columns = [](int first, int last) {
    std::vector<int> list;
    for (int c = first; c <= last; ++c) {
      list.push_back(c);
    }
    return list;
  };
  const FetchCase cases[] = {
      {"fine X 3 crosses 33 tiles", 0x0E, 3, 0, columns(0, 32), 0},
      {"left column hidden: first fetch at x = 8", 0x08, 0, 0, columns(1, 31), 0},
      {"left column hidden with fine X 3", 0x08, 3, 0, columns(1, 32), 0},
      {"MMC2 fetches the next line's first two tiles", 0x0E, 0, 9, columns(0, 31), 2},
      {"MMC4 likewise", 0x0E, 5, 10, columns(0, 32), 2},
      {"MMC3 gets no extra fetch", 0x0E, 0, 4, columns(0, 31), 0},
      {"background off: only the MMC2 fetches", 0x00, 0, 9, {}, 2},
  };
  for (const FetchCase& c : cases) {
    TestConsole t;
    t.board->sees_line_prefetch = c.mapper_number == 9 || c.mapper_number == 10;
    for (int column = 0; column < 32; ++column) {
      t.ppu().vram[0x2000 + column] = static_cast<u8>(column);
      t.ppu().vram[0x2400 + column] = static_cast<u8>(0x20 + column);
    }
    t.ppu().mask = c.mask;
    t.ppu().fine_x = c.fine_x;
    t.ppu().vram_addr = 0x2000;  // fine Y 2
    std::vector<u16> expected;
    for (int column : c.columns) {
      expected.push_back(static_cast<u16>(16 * column + 2));
    }
    // The prefetch looks one nametable width further: nametable 1, tiles
    // 0 and 1 (the scroll is at the left edge of nametable 0).
    for (int k = 0; k < c.prefetches; ++k) {
      expected.push_back(static_cast<u16>(16 * (0x20 + k) + 2));
    }
    EXPECT_EQ(line_fetches(t, 3), expected) << c.what;
  }
}

TEST(Background, LineTrafficIsBackgroundThenSpriteSlotsThenTheMmc2Prefetch) {
  TestConsole t;
  t.board->sees_line_prefetch = true;
  for (int column = 0; column < 32; ++column) {
    t.ppu().vram[0x2000 + column] = static_cast<u8>(column);
    t.ppu().vram[0x2400 + column] = static_cast<u8>(0x20 + column);
  }
  t.ppu().mask = 0x1E;
  t.ppu().ctrl = 0x10;
  std::vector<u16> expected;
  for (int column = 0; column < 32; ++column) {
    expected.push_back(static_cast<u16>(0x1000 + 16 * column));
  }
  expected.insert(expected.end(), 8, 0x1FF0);
  expected.push_back(0x1000 + 16 * 0x20);
  expected.push_back(0x1000 + 16 * 0x21);
  EXPECT_EQ(line_fetches(t, 0), expected);
}

// The pre-render line fetches what a visible line fetches from the same
// scroll, less the MMC2/MMC4 prefetch, and changes nothing else: no pixel,
// no flag, no status bit, no step of vram_addr.
TEST(Background, PrerenderLineMakesTheFetchesOfAVisibleLineAndNothingElse) {
  struct Case {
    const char* what;
    u8 mask;
    int mapper_number;
    int first_column;  // -1: no background fetch
    bool sprite_slots;
  };
  const Case cases[] = {
      {"both shown", 0x1E, 4, 0, true},
      {"left column hidden", 0x18, 4, 1, true},
      {"background only, MMC2: no prefetch", 0x0A, 9, 0, false},
      {"sprites only", 0x14, 10, -1, true},
      {"nothing shown", 0x00, 9, -1, false},
  };
  for (const Case& c : cases) {
    TestConsole t;
    t.board->sees_line_prefetch = c.mapper_number == 9 || c.mapper_number == 10;
    for (int column = 0; column < 32; ++column) {
      t.vram_at(static_cast<u16>(0x2800 + 32 + column)) = static_cast<u8>(0x40 + column);
    }
    t.board->set_tile(0, 0x45, 0xFF, 0xFF);
    t.ppu().mask = c.mask;
    t.ppu().ctrl = 0x10;
    t.ppu().vram_addr = 0x6820;  // nametable 2, coarse Y 1, fine Y 6
    t.ppu().status = 0x40;
    std::fill_n(t.ppu().pixel_flags.get(), 256 * 240, 2);
    std::fill_n(t.ppu().frame_buffer.get(), frame_buffer_bytes, 0x5A);
    std::vector<u16> expected;
    for (int column = c.first_column; c.first_column >= 0 && column < 32; ++column) {
      expected.push_back(static_cast<u16>(0x1000 + 16 * (0x40 + column) + 6));
    }
    if (c.sprite_slots) {
      expected.insert(expected.end(), 8, 0x1FF0);
    }
    t.board->fetches.clear();
    render_prerender_line(t.console);
    EXPECT_EQ(t.board->fetches, expected) << c.what;
    EXPECT_EQ(t.ppu().vram_addr, 0x6820) << c.what;
    EXPECT_EQ(t.ppu().status, 0x40) << c.what;
    EXPECT_EQ(std::count(t.ppu().pixel_flags.get(), t.ppu().pixel_flags.get() + 256 * 240, 2), 256 * 240)
        << c.what;
    EXPECT_EQ(std::count(t.ppu().frame_buffer.get(), t.ppu().frame_buffer.get() + frame_buffer_bytes, 0x5A),
              frame_buffer_bytes)
        << c.what;
  }
}

TEST(Background, FineScrollShowsTheLaterColumnsOfTheFirstTile) {
  TestConsole t;
  t.ppu().mask = 0x0A;
  t.ppu().fine_x = 3;
  fill_nametable(t, 0x2000, 1);
  t.ppu().vram[0x2000] = 2;
  t.board->set_tile(0, 1, 0x80, 0x00);  // column 0 only
  t.board->set_tile(0, 2, 0x10, 0x00);  // column 3 only
  render_background_line(t.console, 0);
  std::string expected(256, '0');
  expected[0] = '1';
  for (int x = 5; x < 253; x += 8) {
    expected[x] = '1';
  }
  // x = 253 is column 0 of nametable 1, whose tiles are all 0.
  EXPECT_EQ(t.flags_of(0), expected);
}

TEST(Background, ScrollPastTheFirstNametableWrapsIntoTheOther) {
  TestConsole t;
  t.ppu().mask = 0x0A;
  t.ppu().vram_addr = 0x0400 | 25;  // nametable 1, column 25: X = 256 + 200
  fill_nametable(t, 0x2000, 2);
  fill_nametable(t, 0x2400, 1);
  t.board->set_tile(0, 1, 0xFF, 0x00);
  t.board->set_tile(0, 2, 0x00, 0xFF);
  t.set_palette(1, 0x16);
  t.set_palette(2, 0x2A);
  render_background_line(t.console, 0);
  for (int x = 0; x < 256; ++x) {
    ASSERT_EQ(t.colour_at(x, 0), rgb_of(x < 56 ? 0x16 : 0x2A)) << x;
  }
}

TEST(Background, HiddenLeftColumnsShowTheBackdrop) {
  TestConsole t;
  t.ppu().mask = 0x08;
  t.board->set_tile(0, 0, 0xFF, 0xFF);
  t.set_palette(0, 0x0F);
  t.set_palette(3, 0x30);
  render_background_line(t.console, 0);
  EXPECT_EQ(t.flags_of(0), std::string(8, '0') + std::string(248, '1'));
  EXPECT_EQ(t.colour_at(7, 0), rgb_of(0x0F));
  EXPECT_EQ(t.colour_at(8, 0), rgb_of(0x30));
}

TEST(Background, TransparentPixelsShowTheBackdropInEveryPalette) {
  TestConsole t;
  t.ppu().mask = 0x0A;
  for (int i = 0; i < 64; ++i) {
    t.ppu().vram[0x23C0 + i] = 0xAA;  // palette 2 everywhere
  }
  t.set_address(0x3F00);
  t.write(0x2007, 0x12);
  t.set_address(0x3F08);
  t.write(0x2007, 0x30);  // ignored: colour 0 is the backdrop
  render_background_line(t.console, 0);
  EXPECT_EQ(t.colour_at(0, 0), rgb_of(0x12));
  EXPECT_EQ(t.colour_at(200, 0), rgb_of(0x12));
}

// Each attribute byte holds the palettes of four 2 x 2 tile quarters: bits
// 0-1 top left, 2-3 top right, 4-5 bottom left, 6-7 bottom right.
TEST(Background, AttributeQuartersChooseThePalette) {
  struct Case {
    int coarse_y;
    int x;
    int palette;
  };
  const Case cases[] = {{0, 0, 0}, {0, 15, 0}, {0, 16, 1},  {1, 31, 1}, {2, 0, 2},
                        {3, 8, 2}, {2, 16, 3}, {3, 255, 3}, {4, 40, 0}, {29, 250, 1}};
  for (const Case& c : cases) {
    TestConsole t;
    t.ppu().mask = 0x0A;
    for (int i = 0; i < 64; ++i) {
      t.ppu().vram[0x23C0 + i] = 0xE4;  // 3, 2, 1, 0
    }
    t.board->set_tile(0, 0, 0xFF, 0x00);
    const u8 colours[4] = {0x11, 0x16, 0x1A, 0x24};
    for (int p = 0; p < 4; ++p) {
      t.set_palette(4 * p + 1, colours[p]);
    }
    t.ppu().vram_addr = static_cast<u16>(c.coarse_y << 5);
    render_background_line(t.console, 0);
    EXPECT_EQ(t.colour_at(c.x, 0), rgb_of(colours[c.palette])) << c.coarse_y << " " << c.x;
  }
}

TEST(Background, TileRowsBelowTheNametableReadAttributeBytesAsTiles) {
  TestConsole t;
  t.ppu().mask = 0x0A;
  for (int i = 0; i < 64; ++i) {
    t.ppu().vram[0x23C0 + i] = static_cast<u8>(0x80 + i);
  }
  t.ppu().vram_addr = 0x6000 | (30 << 5);  // coarse Y 30, fine Y 6
  std::vector<u16> fetches = line_fetches(t, 0);
  ASSERT_EQ(fetches.size(), 32u);
  // Row 30 holds bytes $3C0-$3DF of the nametable: attribute bytes 0-31.
  EXPECT_EQ(fetches[0], 16 * 0x80 + 6);
  EXPECT_EQ(fetches[31], 16 * (0x80 + 31) + 6);
}

// The step to the next pixel row at the end of a line.
struct AdvanceCase {
  const char* what;
  u8 mask;
  u16 before;
  u16 temp;
  u16 after;
};

TEST(Background, EndOfLineMovesToTheNextPixelRow) {
  const AdvanceCase cases[] = {
      {"fine Y counts up", 0x08, 0x0000, 0x0000, 0x1000},
      {"row 6 to 7", 0x08, 0x6000, 0x0000, 0x7000},
      {"fine Y wraps into the next tile row", 0x08, 0x7000 | (5 << 5), 0x0000, 6 << 5},
      {"row 29 wraps into the nametable below", 0x08, 0x7000 | (29 << 5), 0x0000, 0x0800},
      {"and back from the lower one", 0x08, 0x7800 | (29 << 5), 0x0000, 0x0000},
      {"row 30 counts on", 0x08, 0x7000 | (30 << 5), 0x0000, 31 << 5},
      {"row 31 wraps without a nametable change", 0x08, 0x7800 | (31 << 5), 0x0000, 0x0800},
      {"horizontal part comes back from the latch", 0x08, 0x2000 | 0x041F, 0x0805, 0x3005},
      {"sprites alone also advance", 0x10, 0x0000, 0x0000, 0x1000},
      {"nothing shown: no change", 0x00, 0x2345, 0x0000, 0x2345},
  };
  for (const AdvanceCase& c : cases) {
    TestConsole t;
    t.ppu().mask = c.mask;
    t.ppu().vram_addr = c.before;
    t.ppu().temp_addr = c.temp;
    render_background_line(t.console, 100);
    EXPECT_EQ(t.ppu().vram_addr, c.after) << c.what;
  }
}

TEST(Background, AFrameOfLinesMovesDown240RowsIntoTheOtherNametable) {
  TestConsole t;
  t.ppu().mask = 0x08;
  const u16 start = 0x3000 | (10 << 5) | 0x0400 | 7;  // fine Y 3, coarse Y 10
  t.ppu().vram_addr = start;
  t.ppu().temp_addr = start;
  for (int line = 0; line < 240; ++line) {
    render_background_line(t.console, line);
  }
  EXPECT_EQ(t.ppu().vram_addr, start | 0x0800);
}

}  // namespace
