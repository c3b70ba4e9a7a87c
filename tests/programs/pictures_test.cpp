// Picture cartridges: each draws a known picture, compared with what a plain
// model of the PPU makes of the same memories (the patterns, the nametables,
// the palette and sprite memory as the program left them), with the scroll
// of each line and the registers given by the test.
#include <array>

#include "cartridge/ines.h"
#include "core/console.h"
#include "core/scheduler.h"
#include "lifecycle/power.h"
#include "picture_model.h"

namespace {

const auto unscrolled = [](int line, int& x, int& y) {
  x = 0;
  y = line;
};

// Runs a cartridge for some frames; its picture, and a model of the PPU's
// memories and registers as the frame ends.
struct Shown {
  Picture picture;
  PictureModel model;
  explicit Shown(const std::string& name, int frames) {
    Console console;
    EXPECT_EQ(load_rom(console, cartridge(name)), 1);
    EXPECT_EQ(power_up(console, nullptr, nullptr, 0), 1);
    run_frames(console, frames - 1);
    const Ppu& ppu = *console.ppu;
    picture.width = 256;
    picture.height = 240;
    picture.rgb.assign(ppu.frame_buffer.get(), ppu.frame_buffer.get() + frame_buffer_bytes);
    model.chr.assign(console.rom_data.begin() + console.prg_size,
                     console.rom_data.begin() + console.prg_size + 8192);
    for (int i = 0; i < 4; ++i)
      model.nametables[i].assign(&ppu.vram[ppu.nametable_base[i]], &ppu.vram[ppu.nametable_base[i]] + 1024);
    std::copy(&ppu.vram[0x3F00], &ppu.vram[0x3F20], model.palette);
    std::copy(ppu.oam.get(), ppu.oam.get() + 256, model.oam);
    model.ctrl = ppu.ctrl;
    model.mask = ppu.mask;
    close_console(console, 1);
  }
};

// The sprite-zero hit at line 100 splits the scroll: nametable 2 (the lower
// half of the big picture), tile row 12, pixel row 6 on line 101, nine tiles
// and three pixels to the right.
TEST(Pictures, ScrollSplitAfterTheSpriteZeroHit) {
  Shown shown("picture_scroll", 20);
  const Picture expected = shown.model.render([](int line, int& x, int& y) {
    x = line <= 100 ? 0 : 9 * 8 + 3;
    y = line <= 100 ? line : 240 + 12 * 8 + 6 + (line - 101);
  });
  EXPECT_EQ(compare_pictures(shown.picture, expected), "");
}

// Three bands cut by MMC3 interrupts: latch 80 set in vertical blank gives
// the interrupt on line 79, whose handler scrolls from line 80 on and sets
// latch 60, which cuts again 61 lines later. The lines of each cut and the
// lines above them are checked on their own.
TEST(Pictures, Mmc3InterruptSplitsTheScrollOnTheLineOfItsLatch) {
  Shown shown("picture_mmc3_split", 10);
  const Picture expected = shown.model.render([](int line, int& x, int& y) {
    x = line < 80 ? 0 : line < 141 ? 3 * 8 + 5 : 12 * 8 + 4;
    y = line;
  });
  for (int line : {79, 80, 140, 141}) {
    int differing = 0;
    for (int x = 0; x < 256; ++x)
      differing += shown.picture.at(x, line) != expected.at(x, line);
    EXPECT_EQ(differing, 0) << "line " << line;
  }
  EXPECT_EQ(compare_pictures(shown.picture, expected), "");
}

// Flips, priority, eight sprites a line, hidden left columns, 8x16 sprites
// taking their table from the tile number, and sprites parked at the bottom
// edge that never show on line 0.
TEST(Pictures, Sprites) {
  for (const char* name : {"picture_sprites", "picture_tall"}) {
    Shown shown(name, 10);
    EXPECT_EQ(compare_pictures(shown.picture, shown.model.render(unscrolled)), "") << name;
  }
}

// Line 101 goes through three stages from left to right: the picture; the
// old backdrop once the background is off; the new backdrop once it is
// written. Lines above show the old set-up, lines below the new. Sprite 0
// covers columns 64-71 in all of them.
TEST(Pictures, MaskAndPaletteWritesTakeEffectInTheMiddleOfALine) {
  Shown shown("picture_midline", 20);
  PictureModel before = shown.model;
  before.mask = 0x1E;
  before.palette[0] = before.palette[4] = before.palette[8] = before.palette[12] = 0x01;
  const Picture old_picture = before.render(unscrolled);
  const Picture new_picture = shown.model.render(unscrolled);
  const Picture& picture = shown.picture;
  Picture expected = old_picture;
  std::copy(new_picture.rgb.begin() + 102 * 768, new_picture.rgb.end(), expected.rgb.begin() + 102 * 768);
  Picture masked = picture;
  std::copy(expected.rgb.begin() + 101 * 768, expected.rgb.begin() + 102 * 768,
            masked.rgb.begin() + 101 * 768);
  EXPECT_EQ(compare_pictures(masked, expected), "");
  int stage = 0, first_hidden = -1, first_new = -1;
  for (int x = 0; x < 256; ++x) {
    const u32 colour = picture.at(x, 101);
    if (x >= 64 && x < 72) {
      EXPECT_EQ(colour, new_picture.at(x, 101)) << x;
      continue;
    }
    if (stage == 0 && colour != old_picture.at(x, 101))
      stage = 1, first_hidden = x;
    if (stage == 1 && colour == PictureModel::rgb(0x38))
      stage = 2, first_new = x;
    const u32 allowed = stage == 0 ? old_picture.at(x, 101) : PictureModel::rgb(stage == 1 ? 0x01 : 0x38);
    ASSERT_EQ(colour, allowed) << "x " << x << " stage " << stage;
  }
  EXPECT_GT(first_hidden, 72);
  EXPECT_GT(first_new, first_hidden + 8);
  EXPECT_LT(first_new, 250);
}

// MMC2's latch switches the background bank twice in the middle of the frame.
// Tile 1 is red ($16) in the $FD bank and blue ($12) in the $FE bank; tiles
// $FD and $FE are green ($2A), in the $FE bank with a black right half. A
// fetch of $FD or $FE switches the bank for the fetches after it; each line's
// 32 tiles are followed by the prefetch of the other nametable's first two.
TEST(Pictures, Mmc2LatchSwitchesTheBackgroundBankMidFrame) {
  const Shown shown("mapper_mmc2_screen", 10);
  const PictureModel& m = shown.model;
  bool fe_state = false;  // the frame before ended on the $FD tile of row 26
  const auto follow = [&fe_state](u8 tile) {
    fe_state = tile == 0xFE ? true : tile == 0xFD ? false : fe_state;
  };
  int wrong = 0;
  for (int y = 0; y < 240; ++y) {
    for (int column = 0; column < 32; ++column) {
      const u8 tile = m.nametables[0][32 * (y / 8) + column];
      for (int x = column * 8; x < column * 8 + 8; ++x) {
        const int colour = tile == 1 ? (fe_state ? 0x12 : 0x16) : (fe_state && x % 8 >= 4) ? 0x0F : 0x2A;
        wrong += shown.picture.at(x, y) != rgb_of(colour);
      }
      follow(tile);
    }
    follow(m.nametables[1][32 * (y / 8)]);
    follow(m.nametables[1][32 * (y / 8) + 1]);
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
