// The sprite stage: selection one line ahead, drawing with priority, flips and
// clipping, the sprite-zero hit and overflow flags, and its pattern fetches.
#include <gtest/gtest.h>

#include "ppu_test_support.h"

namespace {

void place_sprite(TestConsole& t, int n, int y, int tile, int attributes, int x) {
  t.ppu().oam[4 * n] = static_cast<u8>(y);
  t.ppu().oam[4 * n + 1] = static_cast<u8>(tile);
  t.ppu().oam[4 * n + 2] = static_cast<u8>(attributes);
  t.ppu().oam[4 * n + 3] = static_cast<u8>(x);
}

// Hides every sprite below the picture.
void clear_sprites(TestConsole& t) {
  for (int i = 0; i < 256; ++i) {
    t.ppu().oam[i] = 0xFF;
  }
}

void run_lines(TestConsole& t, int first, int last) {
  for (int line = first; line <= last; ++line) {
    render_background_line(t.console, line);
  }
}

// The lines (of 0-239) on which column x shows a sprite pixel.
std::vector<int> lines_with_sprite_at(TestConsole& t, int x) {
  std::vector<int> lines;
  for (int line = 0; line < 240; ++line) {
    if (t.ppu().pixel_flags[line * 256 + x] == 2) {
      lines.push_back(line);
    }
  }
  return lines;
}

std::vector<int> range(int first, int last) {
  std::vector<int> list;
  for (int i = first; i <= last; ++i) {
    list.push_back(i);
  }
  return list;
}

TEST(Sprites, ASpriteIsDrawnFromTheLineBelowItsYByte) {
  struct Case {
    u8 ctrl;
    int y;
    std::vector<int> lines;
  };
  const Case cases[] = {
      {0x00, 10, range(11, 18)}, {0x20, 10, range(11, 26)},
      {0x00, 0, range(1, 8)},    {0x00, 231, range(232, 239)},
      {0x00, 239, {}},           {0x00, 240, {}},
      {0x20, 255, {}},
  };
  for (const Case& c : cases) {
    TestConsole t;
    clear_sprites(t);
    t.ppu().ctrl = c.ctrl;
    t.ppu().mask = 0x16;
    t.board->set_tile(0, 0, 0xFF, 0x00);
    t.board->set_tile(0, 1, 0xFF, 0x00);
    place_sprite(t, 5, c.y, 0, 0, 40);
    run_lines(t, 0, 239);
    EXPECT_EQ(lines_with_sprite_at(t, 40), c.lines) << "Y " << c.y << " ctrl " << int{c.ctrl};
  }
}

// A sprite leaving at the bottom is selected on line 239 for a line that is
// never shown; the pre-render line drops that selection, so line 0 shows no
// sprite and fetches for eight empty slots.
TEST(Sprites, NoSpriteIsDrawnOnTheFirstLine) {
  for (int y = 232; y <= 239; ++y) {
    TestConsole t;
    clear_sprites(t);
    t.ppu().mask = 0x16;
    t.board->set_tile(0, 0x31, 0xFF, 0xFF);
    place_sprite(t, 0, y, 0x31, 0, 40);
    run_lines(t, 0, 239);
    ASSERT_EQ(t.ppu().sprite_slots[0].oam_index, 0) << "Y " << y;
    render_prerender_line(t.console);
    t.board->fetches.clear();
    render_background_line(t.console, 0);
    EXPECT_EQ(t.board->fetches, std::vector<u16>(8, 0x1FF0)) << "Y " << y;
    EXPECT_EQ(t.flags_of(0), std::string(256, '0')) << "Y " << y;
  }
}

TEST(Sprites, EveryStageFetchesEightPatternRowsEmptySlotsAt1FF0) {
  TestConsole t;
  clear_sprites(t);
  t.ppu().mask = 0x10;
  t.ppu().ctrl = 0x08;  // 8x8 sprites from $1000
  place_sprite(t, 3, 20, 0x42, 0x00, 0);
  place_sprite(t, 9, 18, 0x43, 0x80, 0);  // vertically flipped
  run_lines(t, 0, 20);
  t.board->fetches.clear();
  render_background_line(t.console, 21);
  std::vector<u16> expected = {0x1420 + 0, 0x1430 + 7 - 2};
  expected.insert(expected.end(), 6, 0x1FF0);
  EXPECT_EQ(t.board->fetches, expected);

  clear_sprites(t);
  run_lines(t, 22, 22);
  t.board->fetches.clear();
  render_background_line(t.console, 23);
  EXPECT_EQ(t.board->fetches, std::vector<u16>(8, 0x1FF0));
}

TEST(Sprites, TallSpritesTakeTheirTableFromBitZeroAndTheirHalvesFromTwoTiles) {
  struct Case {
    int attributes;
    int row;
    u16 address;
  };
  const Case cases[] = {
      {0x00, 0, 0x1240},     {0x00, 7, 0x1247},     {0x00, 8, 0x1250},     {0x00, 15, 0x1257},
      {0x80, 0, 0x1250 + 7}, {0x80, 7, 0x1250 + 0}, {0x80, 8, 0x1240 + 7}, {0x80, 15, 0x1240 + 0},
  };
  for (const Case& c : cases) {
    TestConsole t;
    clear_sprites(t);
    t.ppu().mask = 0x10;
    t.ppu().ctrl = 0x20;  // 8x16; the 8x8 table bit must not matter
    place_sprite(t, 0, 50, 0x25, c.attributes, 0);
    run_lines(t, 0, 50 + c.row);
    t.board->fetches.clear();
    render_background_line(t.console, 51 + c.row);
    ASSERT_EQ(t.board->fetches.size(), 8u);
    EXPECT_EQ(t.board->fetches[0], c.address) << "attributes " << c.attributes << " row " << c.row;
  }
}

TEST(Sprites, ControlIsReadOnceAtTheStartOfTheStage) {
  TestConsole t;
  clear_sprites(t);
  t.ppu().mask = 0x10;
  place_sprite(t, 0, 30, 0x10, 0, 0);
  t.ppu().ctrl = 0x08;
  run_lines(t, 0, 30);
  // The selection on line 30 used the table that ctrl named then.
  EXPECT_EQ(t.ppu().sprite_slots[0].pattern_address, 0x1100);
}

TEST(Sprites, NineOnALineSetOverflowAndOnlyTheFirstEightAreDrawn) {
  for (int count : {8, 9, 10}) {
    TestConsole t;
    clear_sprites(t);
    t.ppu().mask = 0x16;
    t.board->set_tile(0, 1, 0xFF, 0x00);
    for (int n = 0; n < count; ++n) {
      place_sprite(t, n + 2, 100, 1, 0, 10 * n + 20);
    }
    run_lines(t, 0, 99);
    EXPECT_EQ(t.ppu().status & 0x20, 0) << count;
    run_lines(t, 100, 101);
    EXPECT_EQ(t.ppu().status & 0x20, count > 8 ? 0x20 : 0) << count;
    for (int n = 0; n < count; ++n) {
      EXPECT_EQ(t.ppu().pixel_flags[101 * 256 + 10 * n + 20], n < 8 ? 2 : 0) << count << " " << n;
    }
  }
}

TEST(Sprites, NothingWrapsPastTheRightEdge) {
  TestConsole t;
  clear_sprites(t);
  t.ppu().mask = 0x16;
  t.board->set_tile(0, 1, 0xFF, 0x00);
  place_sprite(t, 0, 0, 1, 0, 252);
  run_lines(t, 0, 1);
  EXPECT_EQ(t.flags_of(1), std::string(252, '0') + "2222");
}

TEST(Sprites, HorizontalFlipMirrorsTheRow) {
  for (int attributes : {0x00, 0x40}) {
    TestConsole t;
    clear_sprites(t);
    t.ppu().mask = 0x16;
    t.board->set_tile(0, 1, 0xC0, 0x80);  // columns 0 (value 3) and 1 (value 1)
    place_sprite(t, 0, 0, 1, attributes, 100);
    t.set_palette(0x11, 0x16);
    t.set_palette(0x13, 0x2A);
    run_lines(t, 0, 1);
    const int left = attributes ? 107 : 100;
    const int step = attributes ? -1 : 1;
    EXPECT_EQ(t.colour_at(left, 1), rgb_of(0x2A)) << attributes;
    EXPECT_EQ(t.colour_at(left + step, 1), rgb_of(0x16)) << attributes;
    EXPECT_EQ(t.ppu().pixel_flags[256 + left + 2 * step], 0) << attributes;
  }
}

TEST(Sprites, PaletteComesFromTheAttributeAndIgnoresBitsTwoToFour) {
  for (int attributes : {0x02, 0x1E}) {
    TestConsole t;
    clear_sprites(t);
    t.ppu().mask = 0x16;
    t.board->set_tile(0, 1, 0xFF, 0xFF);
    place_sprite(t, 0, 0, 1, attributes, 0);
    t.set_palette(0x1B, 0x27);  // sprite palette 2, colour 3
    run_lines(t, 0, 1);
    EXPECT_EQ(t.colour_at(0, 1), rgb_of(0x27)) << attributes;
    EXPECT_EQ(t.colour_at(7, 1), rgb_of(0x27)) << attributes;
  }
}

TEST(Sprites, LeftColumnsHideSpritesWhenMaskBitTwoIsClear) {
  TestConsole t;
  clear_sprites(t);
  t.ppu().mask = 0x1A;                  // background everywhere, sprites not in columns 0-7
  t.board->set_tile(0, 0, 0xFF, 0x00);  // opaque background
  t.board->set_tile(0, 1, 0xFF, 0x00);
  place_sprite(t, 0, 0, 1, 0, 4);
  run_lines(t, 0, 1);
  EXPECT_EQ(t.flags_of(1).substr(0, 16), "1111111122221111");
  EXPECT_EQ(t.ppu().status & 0x40, 0x40);  // columns 8-11 still hit

  TestConsole clipped;
  clear_sprites(clipped);
  clipped.ppu().mask = 0x1A;
  clipped.board->set_tile(0, 0, 0xFF, 0x00);
  clipped.board->set_tile(0, 1, 0xF0, 0x00);  // only the hidden columns
  place_sprite(clipped, 0, 0, 1, 0, 4);
  run_lines(clipped, 0, 1);
  EXPECT_EQ(clipped.flags_of(1).substr(0, 16), std::string(16, '1'));
  EXPECT_EQ(clipped.ppu().status & 0x40, 0);
}

// Sprite zero over the background, in the cases that do and do not count.
struct HitCase {
  const char* what;
  u8 mask;
  u8 background_lo;  // background tile row (tile 0)
  int sprite_tile;   // tile 1: column 0 only, tile 2: every column
  int attributes;
  int y;
  int x;
  bool hit;
};

TEST(Sprites, SpriteZeroHitNeedsAnOpaqueBackgroundPixelUnderAnOpaqueSpritePixel) {
  const HitCase cases[] = {
      {"opaque over opaque", 0x1E, 0xFF, 2, 0x00, 50, 100, true},
      {"behind the background still hits", 0x1E, 0xFF, 2, 0x20, 50, 100, true},
      {"transparent background", 0x1E, 0x00, 2, 0x00, 50, 100, false},
      {"background switched off", 0x16, 0xFF, 2, 0x00, 50, 100, false},
      {"background hidden in the left columns", 0x1C, 0xFF, 2, 0x00, 50, 0, false},
      {"column 255 never hits", 0x1E, 0xFF, 1, 0x00, 50, 255, false},
      {"column 254 does", 0x1E, 0xFF, 1, 0x00, 50, 254, true},
      {"the last line never hits", 0x1E, 0xFF, 2, 0x00, 238, 100, false},
      {"the line above it does", 0x1E, 0xFF, 2, 0x00, 237, 100, true},
      {"flipped so that its pixel lands at 255", 0x1E, 0xFF, 1, 0x40, 50, 248, false},
  };
  for (const HitCase& c : cases) {
    TestConsole t;
    clear_sprites(t);
    t.ppu().mask = c.mask;
    t.board->set_tile(0, 0, c.background_lo, 0x00);
    t.board->set_tile(0, 1, 0x80, 0x00);
    t.board->set_tile(0, 2, 0xFF, 0x00);
    place_sprite(t, 0, c.y, c.sprite_tile, c.attributes, c.x);
    run_lines(t, 0, 239);
    EXPECT_EQ((t.ppu().status & 0x40) != 0, c.hit) << c.what;
    EXPECT_EQ(t.ppu().sprite0_hit_done != 0, c.hit) << c.what;
  }
}

TEST(Sprites, SpriteZeroHitIsRaisedOncePerFrame) {
  TestConsole t;
  clear_sprites(t);
  t.ppu().mask = 0x1E;
  t.board->set_tile(0, 0, 0xFF, 0x00);
  place_sprite(t, 0, 50, 0, 0, 100);
  run_lines(t, 0, 51);
  ASSERT_EQ(t.ppu().status & 0x40, 0x40);
  t.ppu().status = 0;  // as if cleared without the end of vertical blank
  run_lines(t, 52, 58);
  EXPECT_EQ(t.ppu().status & 0x40, 0);
  t.ppu().sprite0_hit_done = 0;  // the end of vertical blank
  run_lines(t, 0, 51);
  EXPECT_EQ(t.ppu().status & 0x40, 0x40);
}

TEST(Sprites, OnlySpriteZeroRaisesTheHit) {
  TestConsole t;
  clear_sprites(t);
  t.ppu().mask = 0x1E;
  t.board->set_tile(0, 0, 0xFF, 0x00);
  place_sprite(t, 1, 50, 0, 0, 100);
  run_lines(t, 0, 239);
  EXPECT_EQ(t.ppu().status & 0x40, 0);
}

// Two sprites over the same pixels: sprite 0 (palette 0) and sprite 1
// (palette 1), over a background that is opaque on the left half only.
struct PriorityCase {
  const char* what;
  int attributes0;
  int x;
  u32 colour;
};

TEST(Sprites, TheLowerNumberedSpriteOwnsThePixelEvenBehindTheBackground) {
  const PriorityCase cases[] = {
      {"in front over opaque background", 0x00, 40, rgb_of(0x16)},
      {"in front over transparent background", 0x00, 200, rgb_of(0x16)},
      {"behind over opaque background: background, not sprite 1", 0x20, 40, rgb_of(0x30)},
      {"behind over transparent background: sprite 0", 0x20, 200, rgb_of(0x16)},
  };
  for (const PriorityCase& c : cases) {
    TestConsole t;
    clear_sprites(t);
    t.ppu().mask = 0x1E;
    for (int i = 0; i < 960; ++i) {
      t.ppu().vram[0x2000 + i] = (i % 32) < 16 ? 1 : 0;
    }
    t.board->set_tile(0, 1, 0xFF, 0x00);  // background, colour 1
    t.board->set_tile(0, 2, 0xFF, 0x00);  // sprites, colour 1
    t.set_palette(0x01, 0x30);
    t.set_palette(0x11, 0x16);
    t.set_palette(0x15, 0x2A);
    place_sprite(t, 0, 60, 2, c.attributes0, c.x);
    place_sprite(t, 1, 60, 2, 0x01, c.x);
    run_lines(t, 0, 61);
    EXPECT_EQ(t.colour_at(c.x + 3, 61), c.colour) << c.what;
    EXPECT_EQ(t.ppu().pixel_flags[61 * 256 + c.x + 3], 2) << c.what;
  }
}

TEST(Sprites, TransparentSpritePixelsLetLaterSpritesThrough) {
  TestConsole t;
  clear_sprites(t);
  t.ppu().mask = 0x16;
  t.board->set_tile(0, 1, 0x0F, 0x00);  // right half only
  t.board->set_tile(0, 2, 0xFF, 0x00);
  t.set_palette(0x11, 0x16);
  t.set_palette(0x15, 0x2A);
  place_sprite(t, 0, 60, 1, 0x00, 100);
  place_sprite(t, 1, 60, 2, 0x01, 100);
  run_lines(t, 0, 61);
  EXPECT_EQ(t.colour_at(101, 61), rgb_of(0x2A));
  EXPECT_EQ(t.colour_at(106, 61), rgb_of(0x16));
}

TEST(Sprites, SwitchedOffAtTheEndOfALineTheStageKeepsItsSelection) {
  TestConsole t;
  clear_sprites(t);
  t.ppu().mask = 0x16;
  t.board->set_tile(0, 1, 0xFF, 0x00);
  place_sprite(t, 0, 10, 1, 0, 60);
  run_lines(t, 0, 10);  // selected for line 11, row 0
  t.ppu().mask = 0x06;
  t.board->fetches.clear();
  render_background_line(t.console, 11);
  EXPECT_TRUE(t.board->fetches.empty());
  EXPECT_EQ(t.flags_of(11), std::string(256, '0'));
  t.ppu().mask = 0x16;
  t.board->fetches.clear();
  render_background_line(t.console, 12);
  ASSERT_EQ(t.board->fetches.size(), 8u);
  EXPECT_EQ(t.board->fetches[0], 16 * 1 + 0);  // still row 0
  EXPECT_EQ(t.ppu().pixel_flags[12 * 256 + 60], 2);
}

}  // namespace
