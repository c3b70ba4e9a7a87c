// iNES images: what the header sets and what a short or long file becomes.
// (Files that are refused, and boards Corvel lacks: files_test.sh.)
#include <algorithm>

#include "cartridge/ines.h"
#include "cartridge/mapper.h"
#include "core/console.h"
#include "lifecycle/power.h"
#include "support/fixtures.h"

namespace {

// A plain image of 32 KB PRG-ROM and 8 KB CHR-ROM with these header bytes.
std::vector<u8> image_with(u8 flags6, u8 flags7, u8 flags10) {
  std::vector<u8> image = make_image({});
  image[6] = flags6, image[7] = flags7, image[10] = flags10;
  return image;
}

TEST(InesImages, TheHeaderSetsTheCartridge) {
  struct Case {
    const char* what;
    u8 flags6, flags7, flags10;
    int number, mirroring, battery, trainer, extra_ram, bus_conflicts, tv_system;
  };
  const Case cases[] = {
      {"plain", 0x00, 0x00, 0x00, 0, 1, 0, 0, 0, 0, -1},
      {"byte 7 never adds to the mapper", 0x41, 0xFF, 0x00, 4, 0, 0, 0, 0, 0, -1},
      {"battery", 0x02, 0x00, 0x00, 0, 1, 1, 0, 0, 0, -1},
      {"trainer", 0x04, 0x00, 0x00, 0, 1, 0, 1, 0, 0, -1},
      {"TV system bit 1", 0x00, 0x00, 0x02, 0, 1, 0, 0, 0, 0, 1},
      {"every flag at once", 0xA7, 0x00, 0x31, 10, 0, 1, 1, 1, 1, 0},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    write_file(dir / "game.nes", image_with(c.flags6, c.flags7, c.flags10));
    Console console;
    ASSERT_EQ(load_rom(console, dir / "game.nes"), 1) << c.what;
    const mapper& board = *console.mapper;
    EXPECT_EQ(
        (std::vector<int>{board.mirroring, static_cast<int>(board.battery), static_cast<int>(board.trainer),
                          static_cast<int>(board.extra_ram), static_cast<int>(board.bus_conflicts),
                          console.tv_system}),
        (std::vector<int>{c.mirroring, c.battery, c.trainer, c.extra_ram, c.bus_conflicts, c.tv_system}))
        << c.what;
    ASSERT_EQ(power_up(console, nullptr, nullptr, 0), 1);
    EXPECT_EQ(board.number, c.number) << c.what;
    close_console(console, 1);
  }
}

// A short file is padded with zeros to its declared size, a long one cut;
// behind the image lies a guard of zeros; ROM Info reports the file's size.
TEST(InesImages, ShortAndLongFiles) {
  ScratchDir dir;
  for (const int length : {100, 40960, 45000}) {
    std::vector<u8> image = image_with(0, 0, 0);
    image.resize(16 + static_cast<std::size_t>(length), 0x77);
    write_file(dir / "game.nes", image);
    Console console;
    LoadReport report;
    ASSERT_EQ(load_rom(console, dir / "game.nes", &report), 1);
    EXPECT_EQ(report.padded, length < 40960) << length;
    EXPECT_EQ(console.rom_size, static_cast<u32>(length));
    ASSERT_EQ(console.rom_data.size(), 40960u + rom_guard_bytes);
    const std::size_t kept = std::min(length, 40960);
    EXPECT_TRUE(std::equal(image.begin() + 16, image.begin() + 16 + kept, console.rom_data.begin()));
    EXPECT_TRUE(
        std::all_of(console.rom_data.begin() + kept, console.rom_data.end(), [](u8 b) { return b == 0; }));
  }
}

}  // namespace
