// The CPU and the renderers take turns dot by dot: register writes made by a
// running program show from the pixel (or the tile, or the sprite slot) where
// they happen. Each program below starts with an empty balance, so its
// instructions run at known dots: an instruction starts as soon as the
// balance is positive and is charged in full afterwards.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/catch_up.h"
#include "ppu_test_support.h"

namespace {

// Nametables 0 and 1 (vertical arrangement) hold tile `tile` everywhere, with
// attribute palette 0.
void fill_both_nametables(TestConsole& t, u8 tile) {
  for (int i = 0; i < 960; ++i) {
    t.ppu().vram[0x2000 + i] = tile;
    t.ppu().vram[0x2400 + i] = tile;
  }
}

TEST(Interleave, MaskWriteChangesThePictureFromTheNextPixel) {
  TestConsole t;
  fill_both_nametables(t, 1);
  t.board->set_tile(0, 1, 0xFF, 0x00);
  t.ppu().mask = 0x0A;
  // x = 0: LDA #$00 (6 dots); x = 6: STA $2001; then JMP to itself.
  t.board->set_program({0xA9, 0x00, 0x8D, 0x01, 0x20, 0x4C, 0x05, 0x80});
  render_background_line(t.console, 0);
  EXPECT_EQ(t.flags_of(0), std::string(6, '1') + std::string(250, '0'));
}

TEST(Interleave, PaletteWriteChangesTheColourFromTheNextPixelInsideATile) {
  TestConsole t;
  fill_both_nametables(t, 1);
  t.board->set_tile(0, 1, 0xFF, 0x00);
  t.set_palette(1, 0x2A);
  t.ppu().mask = 0x0A;
  // LDA #$3F / STA $2006 / LDA #$01 / STA $2006 / LDA #$16 / STA $2007
  // at x = 0, 6, 18, 24, 36 and 42.
  t.board->set_program({0xA9, 0x3F, 0x8D, 0x06, 0x20, 0xA9, 0x01, 0x8D, 0x06, 0x20, 0xA9, 0x16, 0x8D, 0x07,
                        0x20, 0x4C, 0x0F, 0x80});
  render_background_line(t.console, 0);
  for (int x = 0; x < 256; ++x) {
    ASSERT_EQ(t.colour_at(x, 0), rgb_of(x < 42 ? 0x2A : 0x16)) << x;
  }
}

TEST(Interleave, AddressWriteMovesThePictureFromTheNextTileFetch) {
  TestConsole t;
  for (int column = 0; column < 32; ++column) {
    t.ppu().vram[0x2000 + column] = static_cast<u8>(column);
    t.ppu().vram[0x2400 + column] = static_cast<u8>(0x20 + column);
  }
  t.ppu().mask = 0x0A;
  // LDA #$20 / STA $2006 / LDA #$10 / STA $2006 at x = 0, 6, 18, 24: from
  // x = 24 the line continues at column 16 + 3 of nametable 0, pixel row 2
  // (the first write also set fine Y).
  t.board->set_program({0xA9, 0x20, 0x8D, 0x06, 0x20, 0xA9, 0x10, 0x8D, 0x06, 0x20, 0x4C, 0x0A, 0x80});
  render_background_line(t.console, 0);
  std::vector<u16> expected = {16 * 0, 16 * 1, 16 * 2};
  for (int x = 24; x < 256; x += 8) {
    const int column = 16 + x / 8;
    expected.push_back(static_cast<u16>(16 * (column < 32 ? column : 0x20 + column - 32) + 2));
  }
  EXPECT_EQ(t.board->fetches, expected);
  // The second write also set the latch, whose horizontal part the end of the
  // line copied back.
  EXPECT_EQ(t.ppu().vram_addr, 0x3010);
}

TEST(Interleave, FineScrollWriteTakesEffectAtTheNextTileAndCoarseScrollOnTheNextLine) {
  TestConsole t;
  for (int column = 0; column < 32; ++column) {
    t.ppu().vram[0x2000 + column] = static_cast<u8>(column);
    t.ppu().vram[0x2020 + column] = static_cast<u8>(column);
  }
  t.ppu().mask = 0x0A;
  t.ppu().vram_addr = 0x7000;  // fine Y 7: the next line is tile row 1
  // LDA #$2B / STA $2005 at x = 0 and 6: fine X 3, coarse X 5 into the latch.
  t.board->set_program({0xA9, 0x2B, 0x8D, 0x05, 0x20, 0x4C, 0x05, 0x80});
  render_background_line(t.console, 0);
  ASSERT_GE(t.board->fetches.size(), 3u);
  // x = 8 is the next fetch: X = 3 + 8 = 11 lies in column 1, and the column
  // counter continues from 3, so the next fetch comes at x = 13.
  EXPECT_EQ(t.board->fetches[1], 16 * 1 + 7);
  EXPECT_EQ(t.board->fetches[2], 16 * 2 + 7);
  EXPECT_EQ(t.board->fetches.size(), 33u);
  EXPECT_EQ(t.ppu().vram_addr, 0x0020 | 5);  // next row, coarse X from the latch
}

// Three sprites are selected for line 11. A program switches sprites off
// during the third slot's 8 dots.
TEST(Interleave, SpritesSwitchedOffDuringTheStageStopItsFetches) {
  TestConsole t;
  for (int i = 0; i < 256; ++i) {
    t.ppu().oam[i] = 0xFF;
  }
  for (int n = 0; n < 3; ++n) {
    t.ppu().oam[4 * n] = 10;
    t.ppu().oam[4 * n + 1] = static_cast<u8>(n + 1);
    t.ppu().oam[4 * n + 2] = 0;
    t.ppu().oam[4 * n + 3] = static_cast<u8>(50 * n);
  }
  t.board->set_tile(0, 1, 0xFF, 0x00);
  t.board->set_tile(0, 2, 0xFF, 0x00);
  t.board->set_tile(0, 3, 0xFF, 0x00);
  t.ppu().mask = 0x16;
  for (int line = 0; line <= 10; ++line) {
    render_background_line(t.console, line);
  }
  // Stage dots 0-7: LDA #$06, NOP; 8-15: NOP; 16-23: STA $2001.
  t.board->set_program({0xA9, 0x06, 0xEA, 0xEA, 0x8D, 0x01, 0x20, 0x4C, 0x07, 0x80});
  t.console.pc = 0x8000;
  t.console.cycle_budget = 0;
  t.board->fetches.clear();
  // The stage runs on its own here: the line's background is transparent.
  std::fill_n(t.ppu().pixel_flags.get() + 11 * 256, 256, u8{0});
  render_sprites_line(t.console, 11);
  EXPECT_EQ(t.board->fetches, (std::vector<u16>{16 * 1 + 0, 16 * 2 + 0}));
  EXPECT_EQ(t.ppu().pixel_flags[11 * 256 + 0], 2);
  EXPECT_EQ(t.ppu().pixel_flags[11 * 256 + 50], 2);
  // The selection for line 12 still ran.
  EXPECT_EQ(t.ppu().sprite_slots[2].oam_index, 2);
  EXPECT_EQ(t.ppu().sprite_slots[2].pattern_address, 16 * 3 + 1);
}

TEST(Interleave, EmptySlotsFetchEvenAfterSpritesWereSwitchedOff) {
  TestConsole t;
  t.ppu().mask = 0x16;
  t.board->set_program({0xA9, 0x06, 0x8D, 0x01, 0x20, 0x4C, 0x05, 0x80});
  t.console.cycle_budget = 0;
  render_sprites_line(t.console, 50);
  EXPECT_EQ(t.board->fetches, std::vector<u16>(8, 0x1FF0));
}

void count_instruction(const Console&, void* user) {
  ++*static_cast<int*>(user);
}

TEST(Interleave, EveryVisibleLineGivesTheCpu341Dots) {
  for (u8 mask : {0x00, 0x08, 0x10, 0x1E}) {
    TestConsole t;
    t.board->sees_line_prefetch = true;  // with the MMC2 prefetch too
    t.ppu().mask = mask;
    int instructions = 0;
    set_fast_paths(t.console, false);  // every instruction is counted
    t.console.trace_hook = count_instruction;
    t.console.trace_user = &instructions;
    t.console.cycle_budget = 0;
    // The CPU runs JMP to itself: 3 cycles of 48 ticks each. Whatever it was
    // given and not yet spent is left in the balance.
    for (int line = 5; line < 8; ++line) {
      render_background_line(t.console, line);
    }
    EXPECT_EQ(t.console.cycle_budget + 144.0f * instructions, 3 * 341 * 16.0f) << int{mask};
  }
}

}  // namespace
