// The iNES loader: header fields, refused files, short images, the factory
// and the ROM Info text.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board_fixture.h"
#include "cartridge/boards.h"
#include "cartridge/ines.h"
#include "cartridge/mapper.h"
#include "core/console.h"
#include "ppu/ppu.h"

namespace {

namespace fs = std::filesystem;

// A fresh directory per test, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "corvel-ines-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return (fs::path(path_) / name).string(); }

 private:
  std::string path_;
};

std::vector<u8> make_header(u8 prg_banks, u8 chr_banks, u8 flags6 = 0, u8 flags7 = 0, u8 flags10 = 0) {
  std::vector<u8> header = {'N', 'E', 'S',     0x1A, prg_banks, chr_banks, flags6, flags7,
                            0,   0,   flags10, 0,    0,         0,         0,      0};
  return header;
}

// A whole image: header, then PRG and CHR filled with pattern_byte.
std::vector<u8> make_image(u8 prg_banks, u8 chr_banks, u8 flags6 = 0, u8 flags7 = 0, u8 flags10 = 0) {
  std::vector<u8> image = make_header(prg_banks, chr_banks, flags6, flags7, flags10);
  const u32 data = prg_banks * 16384u + chr_banks * 8192u;
  for (u32 i = 0; i < data; ++i) {
    image.push_back(pattern_byte(i));
  }
  return image;
}

void write_file(const std::string& path, const std::vector<u8>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Gives a loaded console the PPU that power-up would create, and runs init.
void power_up_board(Console& console) {
  console.ppu = std::make_unique<Ppu>();
  console.ppu->console = &console;
  console.ppu->vram = std::make_unique<u8[]>(vram_bytes);
  console.mapper->init();
}

bool untouched(const Console& console) {
  return console.rom_path.empty() && console.rom_size == 0 && !console.mapper && console.prg_size == 0 &&
         console.chr_size == 0 && console.rom_data.empty() && console.tv_system == -1;
}

struct HeaderCase {
  const char* what;
  u8 prg_banks, chr_banks, flags6, flags7, flags10;
  u32 prg_size, chr_size;
  int mapper_number;
  i32 mirroring;
  u32 battery, trainer, extra_ram, bus_conflicts;
  i32 tv_system;
};

const HeaderCase header_cases[] = {
    {"plain 32K + 8K", 2, 1, 0x00, 0x00, 0x00, 32768, 8192, 0, 1, 0, 0, 0, 0, -1},
    {"byte 7 never adds to the mapper", 2, 1, 0x41, 0x10, 0x00, 32768, 8192, 4, 0, 0, 0, 0, 0, -1},
    {"junk in byte 7 ignored", 1, 1, 0x10, 0xFF, 0x00, 16384, 8192, 1, 1, 0, 0, 0, 0, -1},
    {"battery bit", 2, 1, 0x02, 0x00, 0x00, 32768, 8192, 0, 1, 1, 0, 0, 0, -1},
    {"trainer bit", 1, 1, 0x04, 0x00, 0x00, 16384, 8192, 0, 1, 0, 1, 0, 0, -1},
    {"bit 3 not read", 1, 1, 0x08, 0x00, 0x00, 16384, 8192, 0, 1, 0, 0, 0, 0, -1},
    {"CHR RAM", 8, 0, 0x21, 0x00, 0x00, 131072, 0, 2, 0, 0, 0, 0, 0, -1},
    {"TV system bit 1", 1, 1, 0x00, 0x00, 0x02, 16384, 8192, 0, 1, 0, 0, 0, 0, 1},
    {"TV system bit 0 wins", 1, 1, 0x00, 0x00, 0x03, 16384, 8192, 0, 1, 0, 0, 0, 0, 0},
    {"extra RAM flag", 1, 1, 0x00, 0x00, 0x10, 16384, 8192, 0, 1, 0, 0, 1, 0, -1},
    {"bus-conflict flag", 1, 1, 0x00, 0x00, 0x20, 16384, 8192, 0, 1, 0, 0, 0, 1, -1},
    {"every flag at once", 2, 2, 0xA7, 0x00, 0x31, 32768, 16384, 10, 0, 1, 1, 1, 1, 0},
};

}  // namespace

TEST(InesLoader, FillsTheConsoleAndMapperFromTheHeader) {
  ScratchDir dir;
  for (const HeaderCase& c : header_cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.file("game.nes");
    write_file(path, make_image(c.prg_banks, c.chr_banks, c.flags6, c.flags7, c.flags10));
    Console console;
    ASSERT_EQ(load_rom(console, path), 1);
    EXPECT_EQ(console.rom_path, path);
    EXPECT_EQ(console.prg_size, c.prg_size);
    EXPECT_EQ(console.chr_size, c.chr_size);
    EXPECT_EQ(console.rom_size, c.prg_size + c.chr_size);
    EXPECT_EQ(console.tv_system, c.tv_system);
    ASSERT_TRUE(console.mapper);
    EXPECT_EQ(console.mapper->console, &console);
    EXPECT_EQ(console.mapper->mirroring, c.mirroring);
    EXPECT_EQ(console.mapper->battery, c.battery);
    EXPECT_EQ(console.mapper->trainer, c.trainer);
    EXPECT_EQ(console.mapper->extra_ram, c.extra_ram);
    EXPECT_EQ(console.mapper->bus_conflicts, c.bus_conflicts);
    power_up_board(console);
    EXPECT_EQ(console.mapper->number, c.mapper_number);
  }
}

TEST(InesLoader, KeepsTheImageBehindTheHeaderWithAGuardOfZeros) {
  ScratchDir dir;
  const std::string path = dir.file("game.nes");
  const std::vector<u8> image = make_image(2, 1);
  write_file(path, image);
  Console console;
  ASSERT_EQ(load_rom(console, path), 1);
  ASSERT_EQ(console.rom_data.size(), 40960u + rom_guard_bytes);
  EXPECT_TRUE(std::equal(image.begin() + 16, image.end(), console.rom_data.begin()));
  for (u32 i = 40960; i < console.rom_data.size(); ++i) {
    ASSERT_EQ(console.rom_data[i], 0) << i;
  }
}

TEST(InesLoader, KeepsALongPathWhole) {
  ScratchDir dir;
  std::string folder = dir.file("");
  for (int i = 0; i < 6; ++i) {
    folder += std::string(60, static_cast<char>('a' + i)) + ".d/";
    fs::create_directory(folder);
  }
  const std::string path = folder + "game with spaces.nes";
  ASSERT_GT(path.size(), 300u);
  write_file(path, make_image(1, 1));
  Console console;
  ASSERT_EQ(load_rom(console, path), 1);
  EXPECT_EQ(console.rom_path, path);
}

TEST(InesLoader, PadsAShortImageToItsDeclaredSize) {
  ScratchDir dir;
  const std::string path = dir.file("short.nes");
  std::vector<u8> image = make_image(2, 1);
  image.resize(16 + 100);
  write_file(path, image);
  Console console;
  ASSERT_EQ(load_rom(console, path), 1);
  EXPECT_EQ(console.rom_size, 100u);  // what ROM Info reports: the file as it is
  EXPECT_EQ(console.prg_size, 32768u);
  EXPECT_EQ(console.chr_size, 8192u);
  ASSERT_EQ(console.rom_data.size(), 40960u + rom_guard_bytes);
  EXPECT_TRUE(std::equal(image.begin() + 16, image.end(), console.rom_data.begin()));
  for (u32 i = 100; i < console.rom_data.size(); ++i) {
    ASSERT_EQ(console.rom_data[i], 0) << i;
  }
}

TEST(InesLoader, HeaderOnlyImageRunsOnZeros) {
  ScratchDir dir;
  const std::string path = dir.file("header-only.nes");
  write_file(path, make_header(255, 255, 0x40));
  Console console;
  ASSERT_EQ(load_rom(console, path), 1);
  EXPECT_EQ(console.rom_size, 0u);
  power_up_board(console);
  EXPECT_EQ(console.mapper->cpu_read(0xFFFC), 0);
}

TEST(InesLoader, IgnoresBytesPastTheDeclaredData) {
  ScratchDir dir;
  const std::string path = dir.file("long.nes");
  std::vector<u8> image = make_image(1, 0);
  image.insert(image.end(), 5000, 0xEE);
  write_file(path, image);
  Console console;
  ASSERT_EQ(load_rom(console, path), 1);
  EXPECT_EQ(console.rom_size, 16384u + 5000u);
  ASSERT_EQ(console.rom_data.size(), 16384u + rom_guard_bytes);
  EXPECT_EQ(console.rom_data[16384], 0);
}

TEST(InesLoader, RefusesBadFilesAndLeavesTheConsoleUntouched) {
  ScratchDir dir;
  struct Refused {
    const char* what;
    std::vector<u8> bytes;
  };
  std::vector<u8> bad_signature = make_image(1, 1);
  bad_signature[3] = 0x00;
  std::vector<u8> lower_case = make_image(1, 1);
  lower_case[0] = 'n';
  std::vector<u8> fifteen_bytes = make_header(1, 1);
  fifteen_bytes.resize(15);
  const Refused files[] = {
      {"NES followed by 00", bad_signature},    {"lower-case signature", lower_case},
      {"shorter than a header", fifteen_bytes}, {"empty file", {}},
      {"no PRG-ROM", make_image(0, 1)},         {"no PRG-ROM and no CHR", make_header(0, 0, 0x10)},
  };
  for (const Refused& f : files) {
    SCOPED_TRACE(f.what);
    const std::string path = dir.file("bad.nes");
    write_file(path, f.bytes);
    Console console;
    EXPECT_EQ(load_rom(console, path), 0);
    EXPECT_TRUE(untouched(console));
  }
}

TEST(InesLoader, RefusesWhatIsNotARegularFile) {
  ScratchDir dir;
  const std::string fifo = dir.file("pipe.nes");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string directory = dir.file("folder.nes");
  fs::create_directory(directory);
  for (const std::string& path : {fifo, directory, dir.file("missing.nes"), std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    Console console;
    // A FIFO with no writer would block an open(); the loader never opens it.
    EXPECT_EQ(load_rom(console, path), 0);
    EXPECT_TRUE(untouched(console));
  }
}

TEST(InesLoader, RefusesAFileLargerThanSixteenMegabytes) {
  ScratchDir dir;
  const std::string path = dir.file("huge.nes");
  write_file(path, make_image(1, 1));
  // A sparse file: its size counts, not the blocks it occupies.
  fs::resize_file(path, static_cast<std::uintmax_t>(max_image_bytes) + 1);
  Console console;
  EXPECT_EQ(load_rom(console, path), 0);
  EXPECT_TRUE(untouched(console));

  fs::resize_file(path, static_cast<std::uintmax_t>(max_image_bytes));
  EXPECT_EQ(load_rom(console, path), 1);
}

TEST(InesLoader, UnreadableFileIsRefused) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "root reads files whatever their mode";
  }
  ScratchDir dir;
  const std::string path = dir.file("locked.nes");
  write_file(path, make_image(1, 1));
  fs::permissions(path, fs::perms::none);
  Console console;
  EXPECT_EQ(load_rom(console, path), 0);
  EXPECT_TRUE(untouched(console));
}

// Every possible header in one sweep of bytes 4-6: whatever the loader
// accepts must come up with windows inside rom_data.
TEST(InesLoader, EveryHeaderEitherRefusesOrRunsInsideTheImage) {
  ScratchDir dir;
  const std::string path = dir.file("sweep.nes");
  for (int prg : {0, 1, 3, 255}) {
    for (int chr : {0, 1, 3, 255}) {
      for (int flags6 = 0; flags6 < 256; flags6 += 0x11) {
        write_file(path, make_header(static_cast<u8>(prg), static_cast<u8>(chr), static_cast<u8>(flags6)));
        Console console;
        const int loaded = load_rom(console, path);
        ASSERT_EQ(loaded, prg == 0 ? 0 : 1);
        if (!loaded) {
          continue;
        }
        power_up_board(console);
        for (u32 address = 0x8000; address <= 0xFFFF; address += 0x1FFF) {
          console.mapper->cpu_read(static_cast<u16>(address));
        }
        console.mapper->cpu_read(0xFFFF);
      }
    }
  }
}

TEST(MapperFactory, BuildsTheBoardForEachSupportedNumber) {
  struct Case {
    int number;
    const char* name;
    int state_size;
  };
  const Case cases[] = {
      {0, "None", 4},  {1, "MMC1", 23}, {2, "PRG-Switch", 12}, {4, "MMC3", 73},
      {7, "AxROM", 8}, {9, "MMC2", 32}, {10, "MMC4", 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    BoardFixture cart(c.number, 32768, 8192);
    EXPECT_EQ(cart.board().number, c.number);
    EXPECT_STREQ(cart.board().name, c.name);
    EXPECT_EQ(cart.board().state_size(), c.state_size);
    EXPECT_TRUE(cart.platform.messages.empty());
  }
}

TEST(MapperFactory, UnsupportedNumbersRunAsTheBoardWithoutRegisters) {
  struct Case {
    int number;
    const char* message;
  };
  const Case cases[] = {
      {3, "Unsupported Mapper: 03"},  {5, "Unsupported Mapper: 05"},   {6, "Unsupported Mapper: 06"},
      {8, "Unsupported Mapper: 08"},  {11, "Unsupported Mapper: 0B"},  {12, "Unsupported Mapper: 0C"},
      {13, "Unsupported Mapper: 0D"}, {14, "Unsupported Mapper: 0E"},  {15, "Unsupported Mapper: 0F"},
      {66, "Unsupported Mapper: 42"}, {255, "Unsupported Mapper: FF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    BoardFixture cart(c.number, 32768, 8192);
    ASSERT_EQ(cart.platform.messages.size(), 1u);
    EXPECT_EQ(cart.platform.messages[0], c.message);
    EXPECT_NE(dynamic_cast<mapper_none*>(&cart.board()), nullptr);
    EXPECT_EQ(cart.board().number, 0);
    EXPECT_STREQ(cart.board().name, "None");
  }
}

TEST(MapperFactory, UnsupportedNumberWithoutAPlatformStillLoads) {
  Console console;
  ASSERT_NE(create_mapper(console, 5), nullptr);
  EXPECT_NE(dynamic_cast<mapper_none*>(console.mapper.get()), nullptr);
}

TEST(RomInfo, TextForAPlainCartridge) {
  ScratchDir dir;
  const std::string path = dir.file("game.nes");
  write_file(path, make_image(2, 1));
  Console console;
  ASSERT_EQ(load_rom(console, path), 1);
  power_up_board(console);
  EXPECT_EQ(rom_info_text(console),
            "ROM Size:   \t40 KB\n"
            "\n"
            "PRG-ROM Count: \t32768 B\n"
            "CHR-ROM Count: \t8192 B\n"
            "\n"
            "Mirroring: \tVertical\n"
            "SRAM:          \tNot Present\n"
            "Trainer:       \tNot Present\n"
            "Extra RAM:    \tNot Present\n"
            "Bus Conflicts: \tNot Present\n"
            "\n"
            "Mapper:       \t0x00 (0: None)");
}

TEST(RomInfo, TextWithEveryFlagAndMapperTen) {
  ScratchDir dir;
  const std::string path = dir.file("game.nes");
  write_file(path, make_image(8, 0, 0xA7, 0x00, 0x30));
  Console console;
  ASSERT_EQ(load_rom(console, path), 1);
  power_up_board(console);
  EXPECT_EQ(rom_info_text(console),
            "ROM Size:   \t128 KB\n"
            "\n"
            "PRG-ROM Count: \t131072 B\n"
            "CHR-ROM Count: \t0 B\n"
            "\n"
            "Mirroring: \tHorizontal\n"
            "SRAM:          \tPresent\n"
            "Trainer:       \tPresent\n"
            "Extra RAM:    \tPresent\n"
            "Bus Conflicts: \tPresent\n"
            "\n"
            "Mapper:       \t0x0A (10: MMC4)");
}

TEST(RomInfo, UnsupportedMapperShowsTheBoardInUse) {
  ScratchDir dir;
  const std::string path = dir.file("game.nes");
  write_file(path, make_image(2, 1, 0x50));
  Console console;
  ASSERT_EQ(load_rom(console, path), 1);
  power_up_board(console);
  const std::string text = rom_info_text(console);
  EXPECT_EQ(text.substr(text.rfind('\n') + 1), "Mapper:       \t0x00 (0: None)");
}

TEST(RomInfo, ShortImageReportsTheFileSizeInWholeKilobytes) {
  ScratchDir dir;
  const std::string path = dir.file("game.nes");
  std::vector<u8> image = make_image(2, 1);
  image.resize(16 + 2047);
  write_file(path, image);
  Console console;
  ASSERT_EQ(load_rom(console, path), 1);
  power_up_board(console);
  EXPECT_EQ(rom_info_text(console).substr(0, 16), "ROM Size:   \t1 K");
}

TEST(RomInfo, MirroringLineFollowsTheBoardNotTheHeader) {
  BoardFixture cart(7, 32768, 0, mirroring_vertical);
  EXPECT_NE(rom_info_text(cart.console).find("Mirroring: \tHorizontal\n"), std::string::npos);
  cart.board().cpu_write(0x8000, 0x10);  // one-screen upper: code 3
  EXPECT_NE(rom_info_text(cart.console).find("Mirroring: \tVertical\n"), std::string::npos);
}

TEST(RomInfo, ShowsABoxTitledRomInfo) {
  BoardFixture cart(1, 32768, 8192);
  show_rom_info(cart.console);
  ASSERT_EQ(cart.platform.boxes.size(), 1u);
  EXPECT_EQ(cart.platform.boxes[0].first, "ROM Info");
  EXPECT_EQ(cart.platform.boxes[0].second, rom_info_text(cart.console));

  cart.console.platform = nullptr;
  show_rom_info(cart.console);  // no platform: nothing to show it on
}
