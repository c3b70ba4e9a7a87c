// Picture cartridges: each draws a known picture, which the headless tool
// saves as a PNG; the picture is compared with what the cartridge's own data
// should give.
#include <array>

#include "picture_model.h"

namespace {

// The palette every picture cartridge loads.
const u8 cartridge_palette[32] = {0x01, 0x16, 0x27, 0x30, 0x01, 0x1A, 0x2C, 0x12, 0x01, 0x05, 0x15,
                                  0x25, 0x01, 0x09, 0x19, 0x29, 0x01, 0x14, 0x24, 0x34, 0x01, 0x0B,
                                  0x1B, 0x2B, 0x01, 0x06, 0x17, 0x28, 0x01, 0x02, 0x11, 0x22};

PictureModel model_for(const std::string& name) {
  PictureModel model;
  model.chr = read_chr(cartridge(name));
  std::copy(std::begin(cartridge_palette), std::end(cartridge_palette), model.palette);
  return model;
}

// Nametable contents the cartridges generate: the tile of column c, row r is
// (a c + b r + d) mod 6, attribute byte i is (m i + k) mod 256.
std::vector<u8> generated_nametable(int a, int b, int d, int m, int k) {
  std::vector<u8> table(1024);
  for (int i = 0; i < 960; ++i) {
    table[i] = static_cast<u8>((a * (i % 32) + b * (i / 32) + d) % 6);
  }
  for (int i = 0; i < 64; ++i) {
    table[0x3C0 + i] = static_cast<u8>((m * i + k) % 256);
  }
  return table;
}

TEST(Pictures, ScrollSplitAfterTheSpriteZeroHit) {
  PictureModel model = model_for("picture_scroll");
  ASSERT_EQ(model.chr.size(), 8192u);
  // Horizontal arrangement: nametables 0 and 1 show one block, 2 and 3 the other.
  model.nametables[0] = model.nametables[1] = generated_nametable(1, 2, 0, 37, 11);
  model.nametables[2] = model.nametables[3] = generated_nametable(3, 1, 1, 53, 7);
  model.ctrl = 0x08;
  model.mask = 0x1E;
  const u8 sprite0[4] = {99, 1, 0x01, 64};
  std::copy(sprite0, sprite0 + 4, model.oam);
  const Picture expected = model.render([](int line, int& x, int& y) {
    if (line <= 100) {
      x = 0;
      y = line;
    } else {
      // Nametable 2 (the lower half of the big picture), tile row 12, pixel
      // row 6 on line 101; 9 tiles and 3 pixels to the right.
      x = 9 * 8 + 3;
      y = 240 + 12 * 8 + 6 + (line - 101);
    }
  });
  const Picture picture = screenshot(cartridge("picture_scroll"), 20);
  EXPECT_EQ(compare_pictures(picture, expected), "");
}

// Three bands cut by MMC3 interrupts: latch 80 set in vertical blank gives
// the interrupt on line 79, whose handler scrolls from line 80 on and sets
// latch 60, which cuts again 61 lines later.
TEST(Pictures, Mmc3InterruptSplitsTheScrollOnTheLineOfItsLatch) {
  PictureModel model = model_for("picture_mmc3_split");
  ASSERT_EQ(model.chr.size(), 8192u);
  // Horizontal arrangement: nametables 0 and 1 share one block.
  for (auto& table : model.nametables) {
    table = generated_nametable(1, 2, 0, 37, 11);
  }
  model.ctrl = 0x08;
  model.mask = 0x1E;
  constexpr int band2 = 80;
  constexpr int band3 = 141;
  const auto scroll_of = [](int line) { return line < band2 ? 0 : line < band3 ? 3 * 8 + 5 : 12 * 8 + 4; };
  const Picture expected = model.render([&](int line, int& x, int& y) {
    x = scroll_of(line);
    y = line;
  });
  const Picture picture = screenshot(cartridge("picture_mmc3_split"), 10);
  // The line of each cut and the line above it.
  for (int line : {band2 - 1, band2, band3 - 1, band3}) {
    int differing = 0;
    for (int x = 0; x < 256; ++x) {
      differing += picture.at(x, line) != expected.at(x, line);
    }
    EXPECT_EQ(differing, 0) << "line " << line << " is not drawn with the scroll of band "
                            << (line < band2   ? 1
                                : line < band3 ? 2
                                               : 3);
  }
  EXPECT_EQ(compare_pictures(picture, expected), "");
}

// The sprites' checkerboard: 4 x 4 tile blocks, blank or tiles 1-5.
std::vector<u8> checkerboard_nametable() {
  std::vector<u8> table = generated_nametable(0, 0, 0, 37, 11);
  for (int i = 0; i < 960; ++i) {
    const int c = i % 32;
    const int r = i / 32;
    table[i] = static_cast<u8>(((c / 4 + r / 4) % 2) * ((c + r) % 5 + 1));
  }
  return table;
}

void set_sprites(PictureModel& model, const std::vector<std::array<u8, 4>>& sprites) {
  for (std::size_t n = 0; n < sprites.size(); ++n) {
    std::copy(sprites[n].begin(), sprites[n].end(), model.oam + 4 * n);
  }
}

TEST(Pictures, SpritesFlipsPriorityEightPerLineHiddenLeftColumnsAndNoneOnTheFirstLine) {
  PictureModel model = model_for("picture_sprites");
  ASSERT_EQ(model.chr.size(), 8192u);
  model.nametables[0] = model.nametables[2] = checkerboard_nametable();
  model.ctrl = 0x08;
  model.mask = 0x18;
  set_sprites(model, {{20, 2, 0x00, 40},   {20, 2, 0x40, 60},   {20, 2, 0x80, 80},   {20, 2, 0xC0, 100},
                      {20, 3, 0x01, 120},  {20, 3, 0x42, 140},  {20, 3, 0x83, 160},  {20, 3, 0xC0, 180},
                      {20, 4, 0x00, 200},  {40, 1, 0x20, 30},   {40, 4, 0x01, 34},   {40, 1, 0x00, 4},
                      {60, 5, 0x02, 252},  {60, 3, 0x1F, 100},  {80, 1, 0x20, 120},  {80, 4, 0x00, 124},
                      {100, 2, 0x00, 20},  {100, 3, 0x40, 36},  {100, 5, 0x01, 52},  {100, 2, 0x82, 68},
                      {100, 3, 0x03, 84},  {100, 5, 0xC1, 100}, {100, 4, 0x02, 116}, {100, 1, 0x23, 132},
                      {100, 2, 0x00, 148}, {104, 3, 0x00, 164}, {0, 5, 0x00, 200},   {231, 3, 0x01, 200},
                      {150, 4, 0x00, 250}, {150, 1, 0x21, 90},  {150, 2, 0x22, 94},  {232, 1, 0x00, 16},
                      {233, 1, 0x01, 36},  {234, 1, 0x02, 56},  {235, 1, 0x03, 76},  {236, 1, 0x00, 96},
                      {237, 1, 0x01, 116}, {238, 1, 0x02, 136}, {239, 1, 0x03, 156}});
  const Picture expected = model.render([](int line, int& x, int& y) {
    x = 0;
    y = line;
  });
  const Picture picture = screenshot(cartridge("picture_sprites"), 10);
  EXPECT_EQ(compare_pictures(picture, expected), "");
}

TEST(Pictures, TallSpritesTakeTheirTableFromTheTileNumberAndFlipAsAWhole) {
  PictureModel model = model_for("picture_tall");
  ASSERT_EQ(model.chr.size(), 8192u);
  model.nametables[0] = model.nametables[2] = checkerboard_nametable();
  model.ctrl = 0x28;
  model.mask = 0x1E;
  set_sprites(model,
              {{20, 0x02, 0x00, 20},   {20, 0x02, 0x80, 36},   {20, 0x03, 0x01, 52},   {20, 0x03, 0x41, 68},
               {20, 0x03, 0x82, 84},   {20, 0x03, 0xC3, 100},  {20, 0x05, 0x00, 116},  {20, 0x05, 0x80, 132},
               {20, 0x04, 0x01, 148},  {20, 0x04, 0xC2, 164},  {60, 0x03, 0x20, 40},   {60, 0x05, 0x00, 44},
               {100, 0x03, 0x00, 20},  {100, 0x05, 0x01, 40},  {104, 0x04, 0x02, 60},  {100, 0x02, 0x03, 80},
               {100, 0x03, 0x40, 100}, {108, 0x05, 0x41, 120}, {100, 0x04, 0x42, 140}, {100, 0x02, 0x43, 160},
               {100, 0x03, 0x80, 180}, {223, 0x05, 0x00, 200}, {150, 0x03, 0x02, 250}});
  const Picture expected = model.render([](int line, int& x, int& y) {
    x = 0;
    y = line;
  });
  const Picture picture = screenshot(cartridge("picture_tall"), 10);
  EXPECT_EQ(compare_pictures(picture, expected), "");
}

TEST(Pictures, MaskAndPaletteWritesTakeEffectInTheMiddleOfALine) {
  PictureModel before = model_for("picture_midline");
  ASSERT_EQ(before.chr.size(), 8192u);
  before.nametables[0] = before.nametables[1] = generated_nametable(1, 2, 0, 37, 11);
  before.nametables[2] = before.nametables[3] = before.nametables[0];
  before.ctrl = 0x08;
  before.mask = 0x1E;
  set_sprites(before, {{99, 1, 0x01, 64}});
  PictureModel after = before;
  after.mask = 0x16;
  after.palette[0] = 0x38;
  const auto unscrolled = [](int line, int& x, int& y) {
    x = 0;
    y = line;
  };
  const Picture old_picture = before.render(unscrolled);
  const Picture new_picture = after.render(unscrolled);
  const Picture picture = screenshot(cartridge("picture_midline"), 20);

  // Whole lines above and below the line where the writes land.
  Picture expected = old_picture;
  std::copy(new_picture.rgb.begin() + 102 * 768, new_picture.rgb.end(), expected.rgb.begin() + 102 * 768);
  Picture masked = picture;
  std::copy(expected.rgb.begin() + 101 * 768, expected.rgb.begin() + 102 * 768,
            masked.rgb.begin() + 101 * 768);
  EXPECT_EQ(compare_pictures(masked, expected), "");

  // Line 101 goes through three stages from left to right: the picture,
  // the old backdrop once the background is off, the new backdrop once it is
  // written. Sprite 0 covers columns 64-71 in all of them.
  const u32 old_backdrop = PictureModel::rgb(0x01);
  const u32 new_backdrop = PictureModel::rgb(0x38);
  int stage = 0;
  int first_hidden = -1;
  int first_new = -1;
  for (int x = 0; x < 256; ++x) {
    const u32 colour = picture.at(x, 101);
    if (x >= 64 && x < 72) {
      EXPECT_EQ(colour, new_picture.at(x, 101)) << x;
      continue;
    }
    if (stage == 0 && colour != old_picture.at(x, 101)) {
      stage = 1;
      first_hidden = x;
    }
    if (stage == 1 && colour == new_backdrop) {
      stage = 2;
      first_new = x;
    }
    const u32 allowed = stage == 0 ? old_picture.at(x, 101) : stage == 1 ? old_backdrop : new_backdrop;
    ASSERT_EQ(colour, allowed) << "x " << x << " stage " << stage;
  }
  // Both writes land inside the line, the palette write after the mask write.
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
  struct Placed {
    int nametable, row, column;
    u8 tile;
  };
  static constexpr Placed placed[] = {{1, 8, 1, 0xFE}, {0, 14, 16, 0xFD}, {0, 20, 8, 0xFE}, {1, 26, 0, 0xFD}};
  const auto tile_at = [](int nametable, int row, int column) -> u8 {
    for (const Placed& p : placed) {
      if (p.nametable == nametable && p.row == row && p.column == column)
        return p.tile;
    }
    return 1;
  };
  bool fe_state = false;  // the frame before ended on the $FD tile of row 26
  const auto follow = [&fe_state](u8 tile) {
    fe_state = tile == 0xFE ? true : tile == 0xFD ? false : fe_state;
  };
  const Picture picture = screenshot(cartridge("mapper_mmc2_screen"), 10);
  int wrong = 0;
  for (int y = 0; y < 240; ++y) {
    for (int column = 0; column < 32; ++column) {
      const u8 tile = tile_at(0, y / 8, column);
      for (int x = column * 8; x < column * 8 + 8; ++x) {
        const int colour = tile == 1 ? (fe_state ? 0x12 : 0x16) : (fe_state && x % 8 >= 4) ? 0x0F : 0x2A;
        wrong += picture.at(x, y) != rgb_of(colour);
      }
      follow(tile);
    }
    follow(tile_at(1, y / 8, 0));
    follow(tile_at(1, y / 8, 1));
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
