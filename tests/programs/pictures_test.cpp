// Picture cartridges: each draws a known picture, compared with what a plain
// model of the PPU makes of the same memories (the patterns, the nametables,
// the palette and sprite memory as the program left them), with the scroll
// of each line and the registers given by the test.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cartridge/ines.h"
#include "core/console.h"
#include "core/scheduler.h"
#include "lifecycle/power.h"
#include "ppu/ppu.h"
#include "support/fixtures.h"

namespace {

// A frame as the PPU leaves it: 256 x 240 pixels of 8-bit RGB.
struct Picture {
  std::vector<u8> rgb;
  u32 at(int x, int y) const {
    const u8* p = rgb.data() + (y * 256 + x) * 3;
    return (u32{p[0]} << 16) | (u32{p[1]} << 8) | p[2];
  }
};

// What a picture cartridge should show, worked out from its own data the
// plain way: the four nametables as a 512 x 480 picture, attribute quarters,
// pattern rows, then up to eight sprites per line in sprite-number order. It
// knows nothing of dots, fetches or the line renderers, so it checks their
// result from the outside.
struct PictureModel {
  std::vector<u8> chr;            // the cartridge's 8 KB of patterns
  std::vector<u8> nametables[4];  // logical nametables 0-3, 1 KB each
  u8 palette[32] = {};
  u8 ctrl = 0;
  u8 mask = 0;
  u8 oam[256] = {};

  // The pattern value (0-3) of column c, row r of a tile.
  int pattern_value(int table, int tile, int r, int c) const {
    const u8 lo = chr[table + 16 * tile + r];
    const u8 hi = chr[table + 16 * tile + r + 8];
    return ((lo >> (7 - c)) & 1) | (((hi >> (7 - c)) & 1) << 1);
  }

  // Background value and palette at a point of the 512 x 480 picture.
  void background_at(int px, int py, int& value, int& palette_number) const {
    px = ((px % 512) + 512) % 512;
    py = ((py % 480) + 480) % 480;
    const std::vector<u8>& table = nametables[2 * (py / 240) + px / 256];
    const int x = px % 256;
    const int y = py % 240;
    const int tile = table[(y / 8) * 32 + x / 8];
    const int attribute = table[0x3C0 + (y / 32) * 8 + x / 32];
    palette_number = (attribute >> (((y / 16) % 2) * 4 + ((x / 16) % 2) * 2)) & 3;
    value = pattern_value((ctrl & 0x10) ? 0x1000 : 0, tile, y % 8, x % 8);
  }

  // The sprite value of the first sprite in `shown` opaque at (x, line), and
  // its attributes; 0 when none is.
  int sprite_at(const std::vector<int>& shown, int x, int line, u8& attributes) const {
    const int height = (ctrl & 0x20) ? 16 : 8;
    for (int n : shown) {
      const u8* sprite = oam + 4 * n;
      const int column = x - sprite[3];
      if (column < 0 || column > 7)
        continue;
      attributes = sprite[2];
      const int row = (attributes & 0x80) ? height - 1 - (line - 1 - sprite[0]) : line - 1 - sprite[0];
      const int c = (attributes & 0x40) ? 7 - column : column;
      const int value =
          height == 16 ? pattern_value((sprite[1] & 1) ? 0x1000 : 0, (sprite[1] & 0xFE) + row / 8, row % 8, c)
                       : pattern_value((ctrl & 0x08) ? 0x1000 : 0, sprite[1], row, c);
      if (value != 0)
        return value;
    }
    return 0;
  }

  // The whole picture; origin(line) gives the point (x, y) of the 512 x 480
  // picture shown at the line's first pixel.
  Picture render(const std::function<std::pair<int, int>(int line)>& origin) const {
    Picture picture{std::vector<u8>(frame_buffer_bytes, 0)};
    const int height = (ctrl & 0x20) ? 16 : 8;
    for (int line = 0; line < 240; ++line) {
      const auto [ox, oy] = origin(line);
      std::vector<int> shown;  // the first eight sprites that cover this line
      for (int n = 0; n < 64 && shown.size() < 8; ++n)
        if (line - 1 - oam[4 * n] >= 0 && line - 1 - oam[4 * n] < height)
          shown.push_back(n);
      for (int x = 0; x < 256; ++x) {
        int value = 0, palette_number = 0;
        u8 attributes = 0;
        if ((mask & 0x08) && (x >= 8 || (mask & 0x02)))
          background_at(ox + x, oy, value, palette_number);
        int colour = value ? palette[4 * palette_number + value] : palette[0];
        const int sprite =
            (mask & 0x10) && (x >= 8 || (mask & 0x04)) ? sprite_at(shown, x, line, attributes) : 0;
        if (sprite != 0 && !((attributes & 0x20) && value != 0))
          colour = palette[16 + 4 * (attributes & 3) + sprite];
        const u32 rgb = rgb_of(colour);
        for (int i = 0; i < 3; ++i)
          picture.rgb[(line * 256 + x) * 3 + i] = static_cast<u8>(rgb >> (16 - 8 * i));
      }
    }
    return picture;
  }
};

// The first differing pixel and the count; empty when the pictures match.
std::string compare_pictures(const Picture& got, const Picture& expected) {
  int differences = 0, first = 0;
  for (int at = 240 * 256 - 1; at >= 0; --at)
    if (got.at(at % 256, at / 256) != expected.at(at % 256, at / 256))
      ++differences, first = at;
  char report[64] = "";
  if (differences > 0)
    std::snprintf(report, sizeof report, "(%d, %d) and %d more differ", first % 256, first / 256,
                  differences - 1);
  return report;
}

const auto unscrolled = [](int line) { return std::pair{0, line}; };

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
  const Picture expected = shown.model.render([](int line) {
    return line <= 100 ? std::pair{0, line} : std::pair{9 * 8 + 3, 240 + 12 * 8 + 6 + (line - 101)};
  });
  EXPECT_EQ(compare_pictures(shown.picture, expected), "");
}

// Three bands cut by MMC3 interrupts: latch 80 set in vertical blank gives
// the interrupt on line 79, whose handler scrolls from line 80 on and sets
// latch 60, which cuts again 61 lines later.
TEST(Pictures, Mmc3InterruptSplitsTheScrollOnTheLineOfItsLatch) {
  Shown shown("picture_mmc3_split", 10);
  const Picture expected = shown.model.render([](int line) {
    return std::pair{line < 80 ? 0 : line < 141 ? 3 * 8 + 5 : 12 * 8 + 4, line};
  });
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
    if (stage == 1 && colour == rgb_of(0x38))
      stage = 2, first_new = x;
    const u32 allowed = stage == 0 ? old_picture.at(x, 101) : rgb_of(stage == 1 ? 0x01 : 0x38);
    ASSERT_EQ(colour, allowed) << "x " << x << " stage " << stage;
  }
  EXPECT_GT(first_hidden, 72);
  EXPECT_GT(first_new, first_hidden + 8);
  EXPECT_LT(first_new, 250);
}

}  // namespace
