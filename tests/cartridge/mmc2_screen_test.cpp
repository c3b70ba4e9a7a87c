// The MMC2 picture cartridge: its CHR bank changes twice in the middle of the
// frame through the $FD/$FE latch, and a screenshot must show exactly where.
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/types.h"
#include "ppu/ppu.h"

namespace {

// Reads an 8-bit RGB PNG; empty on any failure.
std::vector<u8> read_rgb_png(const std::string& path, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    return {};
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<u8> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    return {};
  }
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return pixels;
}

// The tile the cartridge puts at (row, column) of nametable 0 ($2000) or 1
// ($2400): tile 1 everywhere but for four latch tiles.
u8 tile_at(int nametable, int row, int column) {
  struct Placed {
    int nametable, row, column;
    u8 tile;
  };
  static constexpr Placed placed[] = {{1, 8, 1, 0xFE}, {0, 14, 16, 0xFD}, {0, 20, 8, 0xFE}, {1, 26, 0, 0xFD}};
  for (const Placed& p : placed) {
    if (p.nametable == nametable && p.row == row && p.column == column) {
      return p.tile;
    }
  }
  return 1;
}

void follow_latch(u8 tile, bool& fe_state) {
  if (tile == 0xFE) {
    fe_state = true;
  } else if (tile == 0xFD) {
    fe_state = false;
  }
}

// The picture the cartridge should make, as colour numbers, worked out tile
// by tile the way the board sees the fetches: tile 1 is red ($16) in the $FD
// bank and blue ($12) in the $FE bank; tiles $FD and $FE are green ($2A) in
// the $FD bank and green with a black ($0F) right half in the $FE bank; a
// fetch of $FD or $FE switches the bank for the fetches after it.
// After each line's 32 tiles come the two prefetches of columns 0 and 1 of
// the other nametable.
std::vector<u8> expected_colours() {
  std::vector<u8> colours(256 * 240);
  // The frame starts in the state the previous one left: the $FD tile at
  // $2400 row 26 ends every frame in the $FD state.
  bool fe_state = false;
  for (int y = 0; y < 240; ++y) {
    const int row = y / 8;
    for (int column = 0; column < 32; ++column) {
      const u8 tile = tile_at(0, row, column);
      for (int x = column * 8; x < column * 8 + 8; ++x) {
        u8 colour = fe_state ? 0x12 : 0x16;
        if (tile != 1) {
          colour = (fe_state && x % 8 >= 4) ? 0x0F : 0x2A;
        }
        colours[y * 256 + x] = colour;
      }
      follow_latch(tile, fe_state);
    }
    follow_latch(tile_at(1, row, 0), fe_state);
    follow_latch(tile_at(1, row, 1), fe_state);
  }
  return colours;
}

}  // namespace

TEST(Mmc2Screen, LatchSwitchesTheBackgroundBankMidFrame) {
  const std::string rom = std::string(CORVEL_CARTRIDGE_DIR) + "/mapper_mmc2_screen.nes";
  if (!std::filesystem::exists(rom)) {
    GTEST_SKIP() << "cartridge not built";
  }
  const std::string shot =
      (std::filesystem::temp_directory_path() / ("corvel-mmc2-" + std::to_string(getpid()) + ".png"))
          .string();
  const std::string command = std::string(CORVEL_HEADLESS) + " --frames 10 --screenshot " + shot + " " + rom;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  int width = 0, height = 0;
  const std::vector<u8> pixels = read_rgb_png(shot, width, height);
  std::remove(shot.c_str());
  ASSERT_EQ(width, 256);
  ASSERT_EQ(height, 240);
  ASSERT_EQ(pixels.size(), 256u * 240u * 3u);

  const std::vector<u8> colours = expected_colours();
  int wrong = 0;
  for (int i = 0; i < 256 * 240 && wrong < 10; ++i) {
    const u8* want = nes_palette[colours[i]];
    const u8* got = &pixels[i * 3];
    if (got[0] != want[0] || got[1] != want[1] || got[2] != want[2]) {
      ADD_FAILURE() << "pixel (" << i % 256 << ", " << i / 256 << ") is " << int(got[0]) << "," << int(got[1])
                    << "," << int(got[2]) << ", want colour $" << std::hex << int(colours[i]);
      ++wrong;
    }
  }
}
