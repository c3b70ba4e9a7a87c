// What a picture cartridge should show, worked out from its own data the
// plain way: the four nametables as a 512 x 480 picture, attribute quarters,
// pattern rows, then up to eight sprites per line in sprite-number order. It
// knows nothing of dots, fetches or the line renderers, so it checks their
// result from the outside.
#pragma once

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "ppu/ppu.h"
#include "support/fixtures.h"

struct PictureModel {
  std::vector<u8> chr;            // the cartridge's 8 KB of patterns
  std::vector<u8> nametables[4];  // logical nametables 0-3, 1 KB each
  u8 palette[32] = {};
  u8 ctrl = 0;
  u8 mask = 0;
  u8 oam[256] = {};

  PictureModel() {
    for (auto& table : nametables)
      table.assign(1024, 0);
    for (u8& byte : oam)
      byte = 0xF0;
  }

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

  static u32 rgb(int colour) {
    const u8* c = nes_palette[colour & 0x3F];
    return (u32{c[0]} << 16) | (u32{c[1]} << 8) | c[2];
  }

  // The whole picture; origin(line) gives the point of the 512 x 480 picture
  // shown at the line's first pixel.
  Picture render(const std::function<void(int line, int& x, int& y)>& origin) const {
    Picture picture;
    picture.width = 256;
    picture.height = 240;
    picture.rgb.assign(256 * 240 * 3, 0);
    const int height = (ctrl & 0x20) ? 16 : 8;
    for (int line = 0; line < 240; ++line) {
      int ox = 0;
      int oy = 0;
      origin(line, ox, oy);
      // The first eight sprites that cover this line.
      std::vector<int> shown;
      for (int n = 0; n < 64 && shown.size() < 8; ++n) {
        const int row = line - 1 - oam[4 * n];
        if (row >= 0 && row < height)
          shown.push_back(n);
      }
      for (int x = 0; x < 256; ++x) {
        int value = 0;
        int palette_number = 0;
        if ((mask & 0x08) && (x >= 8 || (mask & 0x02)))
          background_at(ox + x, oy, value, palette_number);
        int colour = value ? palette[4 * palette_number + value] : palette[0];
        if ((mask & 0x10) && (x >= 8 || (mask & 0x04))) {
          for (int n : shown) {
            const u8* sprite = oam + 4 * n;
            const int column = x - sprite[3];
            if (column < 0 || column > 7)
              continue;
            int row = line - 1 - sprite[0];
            const u8 attributes = sprite[2];
            if (attributes & 0x80)
              row = height - 1 - row;
            const int c = (attributes & 0x40) ? 7 - column : column;
            int sprite_value;
            if (height == 16) {
              const int table = (sprite[1] & 1) ? 0x1000 : 0;
              sprite_value = pattern_value(table, (sprite[1] & 0xFE) + row / 8, row % 8, c);
            } else {
              sprite_value = pattern_value((ctrl & 0x08) ? 0x1000 : 0, sprite[1], row, c);
            }
            if (sprite_value == 0)
              continue;
            if (!((attributes & 0x20) && value != 0))
              colour = palette[16 + 4 * (attributes & 3) + sprite_value];
            break;
          }
        }
        const u32 c = rgb(colour);
        u8* out = picture.rgb.data() + (line * 256 + x) * 3;
        out[0] = static_cast<u8>(c >> 16);
        out[1] = static_cast<u8>(c >> 8);
        out[2] = static_cast<u8>(c);
      }
    }
    return picture;
  }
};

// Describes the first few differing pixels; empty when the pictures match.
inline std::string compare_pictures(const Picture& got, const Picture& expected) {
  if (got.width != expected.width || got.height != expected.height)
    return "sizes differ";
  std::string report;
  int differences = 0;
  for (int y = 0; y < got.height; ++y) {
    for (int x = 0; x < got.width; ++x) {
      if (got.at(x, y) != expected.at(x, y)) {
        if (++differences <= 8) {
          char line[96];
          std::snprintf(line, sizeof line, "(%d, %d): %06X, expected %06X\n", x, y, got.at(x, y),
                        expected.at(x, y));
          report += line;
        }
      }
    }
  }
  if (differences > 0)
    report += std::to_string(differences) + " pixels differ\n";
  return report;
}
