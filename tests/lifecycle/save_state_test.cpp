// The save-state file: its layout for every board, the checks that refuse a
// file before anything of it is applied, and the F1-F4 keys.
#include "lifecycle/save_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <random>

#include "audio/apu.h"
#include "cartridge/boards.h"
#include "core/console.h"
#include "core/scheduler.h"
#include "lifecycle/power.h"
#include "lifecycle/session.h"
#include "lifecycle_support.h"
#include "ppu/ppu.h"

namespace {

using namespace lifecycle_test;

void put_u32(std::vector<u8>& bytes, std::size_t offset, u32 value) {
  for (int i = 0; i < 4; ++i)
    bytes[offset + i] = static_cast<u8>(value >> (8 * i));
}
void put_f32(std::vector<u8>& bytes, std::size_t offset, float value) {
  u32 raw;
  std::memcpy(&raw, &value, 4);
  put_u32(bytes, offset, raw);
}

struct Board {
  int number;
  int prg_banks;
  int chr_banks;
  std::size_t block;  // M
};
const Board boards[] = {
    {0, 2, 1, 4}, {1, 8, 2, 23}, {2, 8, 1, 12}, {4, 8, 8, 73}, {7, 8, 0, 8}, {9, 8, 4, 32}, {10, 8, 4, 32},
};

class StateTest : public ::testing::Test {
 protected:
  ScratchDir dir;
  ScriptPlatform platform;
  Session session;

  void SetUp() override { session.platform = &platform; }

  Console& open(int board, int prg_banks = 8, int chr_banks = 1, const std::string& name = "game.nes") {
    ImageShape shape;
    shape.mapper = board;
    shape.prg_banks = prg_banks;
    shape.chr_banks = chr_banks;
    std::string path = write_image(dir, name, shape);
    EXPECT_TRUE(open_rom(session, path, 0));
    return *session.current;
  }

  // Gives every saved part of the console a value of its own.
  static void scatter(Console& console) {
    console.cycle_budget = -37.5f;
    console.a = 0x11;
    console.x = 0x22;
    console.y = 0x33;
    console.p = 0xE5;
    console.s = 0xF0;
    console.pc = 0x9ABC;
    console.irq_pending = 1;
    console.nmi_pending = 0;
    console.reset_pending = 1;
    for (int i = 0; i < 0x8000; ++i)
      console.memory[i] = static_cast<u8>(i * 13 + (i >> 8));
    Ppu& ppu = *console.ppu;
    ppu.ctrl = 0x90;
    ppu.mask = 0x1E;
    ppu.status = 0x40;
    ppu.oam_addr = 0x12;
    ppu.write_toggle = 1;
    ppu.read_buffer = 0x77;
    ppu.vram_addr = 0x2345;
    ppu.temp_addr = 0x0456;
    ppu.fine_x = 5;
    for (int i = 0; i < vram_bytes; ++i)
      ppu.vram[i] = static_cast<u8>(i * 7 + 1);
    for (int i = 0; i < oam_bytes; ++i)
      ppu.oam[i] = static_cast<u8>(255 - i);
    Apu& apu = *console.apu;
    apu.status_reg = 0x0F;
    apu.pulse[0].reg[0] = 0xBF;
    apu.pulse[0].env.volume = 9;
    apu.pulse[0].env.level = 12;
    apu.noise.env.volume = 3;
  }

  void press(std::initializer_list<int> keys) {
    platform.held = std::set<int>(keys);
    poll_state_hotkeys(session);
  }
  void release() { press({}); }
};

// Every saved field of a console given a value of its own, by name; the
// memories are zero but for their first and last bytes, so that a whole
// file shows in a few lines of hex.
void golden_pattern(Console& console) {
  console.cycle_budget = -37.5f;
  console.a = 0x11;
  console.x = 0x22;
  console.y = 0x33;
  console.p = 0xE5;
  console.s = 0xF0;
  console.pc = 0x9ABC;
  console.irq_pending = 1;
  console.nmi_pending = 0;
  console.reset_pending = 1;
  std::memset(console.memory.get(), 0, 0x8000);
  console.memory[0x0000] = 0xA1;
  console.memory[0x7FFF] = 0xA2;
  Ppu& ppu = *console.ppu;
  ppu.ctrl = 0x90;
  ppu.mask = 0x1E;
  ppu.status = 0x40;
  ppu.oam_addr = 0x12;
  ppu.reserved[0] = 0x13;
  ppu.reserved[1] = 0x14;
  ppu.write_toggle = 1;
  ppu.read_buffer = 0x77;
  ppu.vram_addr = 0x2345;
  ppu.temp_addr = 0x0456;
  ppu.fine_x = 5;
  const u16 bases[4] = {0x2C00, 0x2800, 0x2400, 0x2000};
  std::memcpy(ppu.nametable_base, bases, sizeof bases);
  std::memset(ppu.vram.get(), 0, vram_bytes);
  ppu.vram[0] = 0xB1;
  ppu.vram[vram_bytes - 1] = 0xB2;
  std::memset(ppu.oam.get(), 0, oam_bytes);
  ppu.oam[0] = 0xC1;
  ppu.oam[oam_bytes - 1] = 0xC2;
  Apu& apu = *console.apu;
  apu.status_reg = 0x0F;
  apu.frame_reg = 0xC0;
  for (int i = 0; i < 4; ++i) {
    apu.pulse[0].reg[i] = static_cast<u8>(0x40 + i);
    apu.pulse[1].reg[i] = static_cast<u8>(0x44 + i);
  }
  for (int i = 0; i < 3; ++i) {
    apu.triangle.reg[i] = static_cast<u8>(0x48 + i);
    apu.noise.reg[i] = static_cast<u8>(0x4C + i);
  }
  for (int i = 0; i < 2; ++i) {
    Pulse& pulse = apu.pulse[i];
    const i32 base = 0x100 * (i + 1);
    pulse.sweep_silent = 1;
    pulse.env.silent = 1;
    pulse.env.volume = 9 + i;
    pulse.sweep_divider = base + 1;
    pulse.length = base + 2;
    pulse.env.level = 12 + i;
    pulse.env.divider = base + 3;
  }
  apu.noise.env.silent = 1;
  apu.noise.env.volume = 3;
  apu.triangle.reload = 1;
  apu.triangle.linear = 0x55;

  mapper& board = *console.mapper;
  board.mirroring = mirroring_single_upper;
  if (auto* b = dynamic_cast<mapper_prgswitch*>(&board)) {
    b->prg_bank[0] = 0x4000;
    b->prg_bank[1] = 0x8000;
  } else if (auto* b = dynamic_cast<mapper_axrom*>(&board)) {
    b->prg_bank = 0x10000;
  } else if (auto* b = dynamic_cast<mapper_mmc1*>(&board)) {
    b->shift_reg = 0x05;
    b->shift_count = 3;
    b->control = 0x1A;
    b->prg_bank[0] = 0x4000;
    b->prg_bank[1] = 0x1C000;
    b->chr_bank[0] = 0x20000 + 0x1000;
    b->chr_bank[1] = 0x20000 + 0x3000;
  } else if (auto* b = dynamic_cast<mapper_mmc3*>(&board)) {
    b->bank_select = 0xC5;
    for (int i = 0; i < 4; ++i)
      b->prg_bank[i] = 0x2000u * (i + 1);
    for (int i = 0; i < 8; ++i)
      b->chr_bank[i] = 0x20000u + 0x400u * (i + 3);
    b->irq_latch = 0x21;
    b->irq_counter = 0x17;
    b->irq_enabled = 1;
    b->irq_reload = 1;
    b->last_chr_address = 0x1FF0;
  } else if (auto* mmc2 = dynamic_cast<mapper_mmc2*>(&board); mmc2 || dynamic_cast<mapper_mmc4*>(&board)) {
    LatchBoardState& latch = mmc2 ? mmc2->latch : dynamic_cast<mapper_mmc4*>(&board)->latch;
    latch.prg_bank = 0x6000;
    for (int i = 0; i < 4; ++i)
      latch.chr_bank[i] = 0x1000u * (i + 1);
    latch.latch0 = 1;
    latch.latch1 = 2;
  }
}

// Lines "offset: 16 bytes" for each row of the file holding a byte that is
// not zero.
std::string hex_rows(const std::vector<u8>& bytes) {
  std::string text;
  for (std::size_t row = 0; row < bytes.size(); row += 16) {
    const std::size_t end = std::min(bytes.size(), row + 16);
    if (std::all_of(bytes.begin() + row, bytes.begin() + end, [](u8 b) { return b == 0; }))
      continue;
    char line[80];
    int length = std::snprintf(line, sizeof line, "%06zx:", row);
    for (std::size_t i = row; i < end; ++i)
      length += std::snprintf(line + length, sizeof line - length, " %02x", bytes[i]);
    text.append(line).append("\n");
  }
  return text;
}

// The file of every board, byte for byte, against tests/lifecycle/state_golden.txt,
// and each file loads back into the console that wrote it. The golden file
// fixes the format that players' saved states are in: when the format is
// meant to change (it should not), regenerate it with
//   CORVEL_GOLDEN_OUT=tests/lifecycle/state_golden.txt
//   build/release/corvel_tests --gtest_filter=StateTest.GoldenFileOfEveryBoard
// (both on one line), and put the comment lines back at its top.
TEST_F(StateTest, GoldenFileOfEveryBoard) {
  std::string text;
  for (const Board& board : boards) {
    Console& console = open(board.number, board.prg_banks, board.chr_banks);
    golden_pattern(console);
    std::vector<u8> file = save_state_bytes(console);
    EXPECT_EQ(file.size(), 49578 + board.block) << board.number;
    EXPECT_TRUE(load_state_bytes(console, file.data(), file.size())) << board.number;
    EXPECT_EQ(save_state_bytes(console), file) << board.number;
    text += "board " + std::to_string(board.number) + ", " + std::to_string(file.size()) + " bytes\n";
    text += hex_rows(file);
  }
  if (const char* out = std::getenv("CORVEL_GOLDEN_OUT"))
    write_text(out, text);
  std::string golden = read_text(std::string(CORVEL_SOURCE_DIR) + "/tests/lifecycle/state_golden.txt");
  // The golden file's own comment lines come first.
  while (!golden.empty() && golden[0] == '#')
    golden.erase(0, golden.find('\n') + 1);
  EXPECT_EQ(text, golden);
}

TEST_F(StateTest, SavingAndLoadingBringsTheConsoleBack) {
  for (const Board& board : boards) {
    SCOPED_TRACE(board.number);
    Console& console = open(board.number, board.prg_banks, board.chr_banks);
    scatter(console);
    std::vector<u8> saved = save_state_bytes(console);
    console.a = 0;
    console.pc = 0;
    console.memory[0x6000] ^= 0xFF;
    console.ppu->vram[100] ^= 0xFF;
    console.ppu->fine_x = 0;
    console.apu->pulse[0].env.volume = 0;
    ASSERT_TRUE(load_state_bytes(console, saved.data(), saved.size()));
    EXPECT_EQ(save_state_bytes(console), saved);
  }
}

TEST_F(StateTest, ShiftF2SavesTheSlotBesideTheImage) {
  Console& console = open(1, 8, 2, "Game.nes");
  scatter(console);
  press({vk_shift, vk_f2});
  EXPECT_EQ(platform.messages, std::vector<std::string>{"Saved State 2"});
  std::vector<u8> file = read_file(dir / "Game(2).sav");
  EXPECT_EQ(file.size(), 49578u + 23u);
  EXPECT_EQ(file, save_state_bytes(console));

  release();
  console.a = 0x99;
  press({vk_f2});
  EXPECT_EQ(platform.messages.back(), "Loaded State 2");
  EXPECT_EQ(console.a, 0x11);
}

TEST_F(StateTest, LoadingAMissingSlotSaysSo) {
  open(0, 2, 1);
  press({vk_f3});
  EXPECT_EQ(platform.messages, std::vector<std::string>{"Unable to Load State 3"});
}

TEST_F(StateTest, HoldingAKeyActsOnce) {
  open(0, 2, 1);
  press({vk_shift, vk_f1});
  press({vk_shift, vk_f1});
  press({vk_f1});  // Shift let go, F1 still held: no load
  EXPECT_EQ(platform.messages, std::vector<std::string>{"Saved State 1"});
  release();
  press({vk_f1});
  EXPECT_EQ(platform.messages, (std::vector<std::string>{"Saved State 1", "Loaded State 1"}));
}

TEST_F(StateTest, SeveralKeysInOnePollAreServedInSlotOrder) {
  open(0, 2, 1);
  press({vk_f4, vk_shift, vk_f1});
  EXPECT_EQ(platform.messages, (std::vector<std::string>{"Saved State 1", "Saved State 4"}));
  EXPECT_TRUE(file_exists(dir / "game(1).sav"));
  EXPECT_TRUE(file_exists(dir / "game(4).sav"));
  EXPECT_FALSE(file_exists(dir / "game(2).sav"));
  release();
  press({vk_f1, vk_f2, vk_f4});
  EXPECT_EQ(platform.messages, (std::vector<std::string>{"Saved State 1", "Saved State 4", "Loaded State 1",
                                                         "Unable to Load State 2", "Loaded State 4"}));
}

TEST_F(StateTest, APressInTheGalleryDoesNotActLater) {
  session.recent[0] = write_image(dir, "game.nes", ImageShape{});
  enter_gallery(session);
  press({vk_shift, vk_f1});
  EXPECT_TRUE(platform.messages.empty());
  ASSERT_TRUE(open_rom(session, session.recent[0], 0));
  press({vk_shift, vk_f1});  // still the same press
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_FALSE(file_exists(dir / "game(1).sav"));
  release();
  press({vk_shift, vk_f1});
  EXPECT_EQ(platform.messages, std::vector<std::string>{"Saved State 1"});
}

TEST_F(StateTest, NoPlatformMeansNoKeys) {
  open(0, 2, 1);
  session.platform = nullptr;
  poll_state_hotkeys(session);
  EXPECT_TRUE(platform.messages.empty());
}

// Saving where no file can be written, whoever runs the tests: the saves
// folder cannot be made (a file stands in its way), and the place beside the
// image fails in three ways.
TEST_F(StateTest, ASaveThatCannotBeWrittenSaysSoAndKeepsTheOldFile) {
  const std::string data_home = std::getenv("XDG_DATA_HOME");
  write_text(dir / "data", "");
  ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  Console& console = open(0, 2, 1);
  ::mkdir((dir / "game(1).sav").c_str(), 0755);  // the slot is taken by a folder
  press({vk_shift, vk_f1});
  EXPECT_EQ(platform.messages, std::vector<std::string>{"Unable to Save State 1"});

  console.rom_path = dir / "gone/game.nes";  // the image's folder is no more
  release();
  press({vk_shift, vk_f2});
  console.rom_path = dir / "game.nes/inside.nes";  // a file where a folder should be
  release();
  press({vk_shift, vk_f3});
  EXPECT_EQ(platform.messages, (std::vector<std::string>{"Unable to Save State 1", "Unable to Save State 2",
                                                         "Unable to Save State 3"}));
  ::setenv("XDG_DATA_HOME", data_home.c_str(), 1);
}

TEST_F(StateTest, AReadOnlySlotIsNotReplaced) {
  if (running_as_root())
    GTEST_SKIP() << "root may write any file";
  open(0, 2, 1);
  write_text(dir / "game(1).sav", "old");
  ::chmod((dir / "game(1).sav").c_str(), 0444);
  press({vk_shift, vk_f1});
  EXPECT_EQ(platform.messages, (std::vector<std::string>{"Saved State 1", "Saves Kept in the Saves Folder"}));
  EXPECT_EQ(read_text(dir / "game(1).sav"), "old");
}

// Each case spoils a good state file in one way; the load must be refused
// with the console left exactly as it was.
struct BadFile {
  const char* name;
  int board;
  std::function<void(std::vector<u8>&, std::size_t m)> spoil;
};

TEST_F(StateTest, BadFilesAreRefusedAndChangeNothing) {
  const auto ppu = [](std::size_t m) { return 32806 + m; };
  const auto apu_word = [](std::size_t m, int word) { return 49470 + m + 16 + 4 * word; };
  const BadFile cases[] = {
      {"empty", 1, [](std::vector<u8>& f, std::size_t) { f.clear(); }},
      {"one byte short", 1, [](std::vector<u8>& f, std::size_t) { f.pop_back(); }},
      {"one byte long", 1, [](std::vector<u8>& f, std::size_t) { f.push_back(0); }},
      {"signature", 1, [](std::vector<u8>& f, std::size_t) { f[0] = 'c'; }},
      {"signature with a line break", 1, [](std::vector<u8>& f, std::size_t) { f[5] = '\n'; }},
      {"format number", 1, [](std::vector<u8>& f, std::size_t) { put_u32(f, 11, 1001); }},
      {"budget not a number", 1,
       [](std::vector<u8>& f, std::size_t) { put_f32(f, 15, std::numeric_limits<float>::quiet_NaN()); }},
      {"budget infinite", 1,
       [](std::vector<u8>& f, std::size_t) { put_f32(f, 15, -std::numeric_limits<float>::infinity()); }},
      {"budget too large", 1, [](std::vector<u8>& f, std::size_t) { put_f32(f, 15, 2097152.0f); }},
      {"irq latch 2", 1, [](std::vector<u8>& f, std::size_t) { put_u32(f, 26, 2); }},
      {"reset latch huge", 1, [](std::vector<u8>& f, std::size_t) { put_u32(f, 34, 0x80000000u); }},
      {"nametable base $2100", 1, [&](std::vector<u8>& f, std::size_t m) { f[ppu(m) + 16 + 3] = 0x21; }},
      {"nametable base $3000", 4,
       [&](std::vector<u8>& f, std::size_t m) {
         f[ppu(m) + 16 + 6] = 0x00;
         f[ppu(m) + 16 + 7] = 0x30;
       }},
      {"fine x 8", 1, [&](std::vector<u8>& f, std::size_t m) { f[ppu(m) + 15] = 8; }},
      {"write toggle 2", 1, [&](std::vector<u8>& f, std::size_t m) { put_u32(f, ppu(m) + 6, 2); }},
      {"pulse 1 volume 16", 1, [&](std::vector<u8>& f, std::size_t m) { put_u32(f, apu_word(m, 8), 16); }},
      {"pulse 2 volume -1", 1,
       [&](std::vector<u8>& f, std::size_t m) { put_u32(f, apu_word(m, 9), 0xFFFFFFFFu); }},
      {"noise volume 16", 1, [&](std::vector<u8>& f, std::size_t m) { put_u32(f, apu_word(m, 10), 16); }},
      {"pulse 1 envelope 16", 1, [&](std::vector<u8>& f, std::size_t m) { put_u32(f, apu_word(m, 14), 16); }},
      {"pulse 2 envelope 255", 1,
       [&](std::vector<u8>& f, std::size_t m) { put_u32(f, apu_word(m, 19), 255); }},
      {"MMC1 shift count 5", 1, [](std::vector<u8>& f, std::size_t) { f[32806 + 5] = 5; }},
      {"MMC1 mirroring 4", 1, [](std::vector<u8>& f, std::size_t) { put_u32(f, 32806, 4); }},
      {"MMC2 latch 0 = 2", 9, [](std::vector<u8>& f, std::size_t) { put_u32(f, 32806 + 24, 2); }},
      {"MMC4 latch 1 = 0", 10, [](std::vector<u8>& f, std::size_t) { put_u32(f, 32806 + 28, 0); }},
  };
  for (const BadFile& c : cases) {
    SCOPED_TRACE(c.name);
    platform.messages.clear();
    Console& console = open(c.board, 8, 4);
    scatter(console);
    std::vector<u8> file = save_state_bytes(console);
    std::size_t m = static_cast<std::size_t>(console.mapper->state_size());
    c.spoil(file, m);
    write_file(dir / "game(1).sav", file);
    console.a = 0x5A;  // differs from the file: a load would show
    console.memory[0x0010] ^= 0xFF;
    std::vector<u8> before = save_state_bytes(console);
    release();
    press({vk_f1});
    EXPECT_EQ(platform.messages, std::vector<std::string>{"Unable to Load State 1"});
    EXPECT_EQ(save_state_bytes(console), before);
  }
}

TEST_F(StateTest, TheUnspoiledFileOfTheSameSetUpLoads) {
  Console& console = open(1, 8, 4);
  scatter(console);
  write_file(dir / "game(1).sav", save_state_bytes(console));
  console.a = 0x5A;
  press({vk_f1});
  EXPECT_EQ(platform.messages, std::vector<std::string>{"Loaded State 1"});
  EXPECT_EQ(console.a, 0x11);
}

TEST_F(StateTest, AnotherBoardsStateIsRefused) {
  Console& none = open(0, 2, 1, "plain.nes");
  scatter(none);
  std::vector<u8> plain_state = save_state_bytes(none);
  Console& mmc1 = open(1, 8, 2, "game.nes");
  write_file(dir / "game(1).sav", plain_state);
  std::vector<u8> before = save_state_bytes(mmc1);
  press({vk_f1});
  EXPECT_EQ(platform.messages, std::vector<std::string>{"Unable to Load State 1"});
  EXPECT_EQ(save_state_bytes(mmc1), before);
}

// A state of a bigger image on the same board has the right length; its bank
// offsets come back reduced to this image, so no window points outside it.
TEST_F(StateTest, AnotherImagesStateOnTheSameBoardKeepsWindowsInsideThisImage) {
  Console& big = open(1, 16, 16, "big.nes");
  // Select the last PRG and CHR banks through the serial register.
  auto serial = [&](u16 address, u8 value) {
    for (int bit = 0; bit < 5; ++bit)
      big.mapper->cpu_write(address, static_cast<u8>((value >> bit) & 1));
  };
  serial(0x8000, 0x1C);  // 16 KB PRG at $8000, 4 KB CHR banks
  serial(0xA000, 31);
  serial(0xC000, 31);
  serial(0xE000, 15);
  std::vector<u8> big_state = save_state_bytes(big);

  Console& small = open(1, 2, 1, "small.nes");
  ASSERT_TRUE(load_state_bytes(small, big_state.data(), big_state.size()));
  auto& board = static_cast<mapper_mmc1&>(*small.mapper);
  for (u32 offset : board.prg_bank)
    EXPECT_LT(offset, small.prg_size);
  for (u32 offset : board.chr_bank) {
    EXPECT_GE(offset, small.prg_size);
    EXPECT_LT(offset, small.prg_size + small.chr_size);
  }
  for (u32 address = 0x8000; address <= 0xFFFF; address += 0x0FFF)
    small.mapper->cpu_read(static_cast<u16>(address));
}

TEST_F(StateTest, RefusedWhenTheFileIsNotARegularFile) {
  open(0, 2, 1);
  ::mkdir((dir / "game(1).sav").c_str(), 0755);
  ASSERT_EQ(::mkfifo((dir / "game(2).sav").c_str(), 0644), 0);
  press({vk_f1, vk_f2});
  EXPECT_EQ(platform.messages,
            (std::vector<std::string>{"Unable to Load State 1", "Unable to Load State 2"}));
}

TEST_F(StateTest, AHugeFileIsRefusedWithoutReadingItAll) {
  open(0, 2, 1);
  {
    std::ofstream out(dir / "game(1).sav", std::ios::binary);
    out.seekp(1 << 30);
    out.put(0);
  }
  press({vk_f1});
  EXPECT_EQ(platform.messages, std::vector<std::string>{"Unable to Load State 1"});
}

// Random damage to the parts of the file that hold registers, offsets and
// counters (not the plain memory dumps): whatever is accepted must run.
TEST_F(StateTest, RandomlySpoiledStatesAreRefusedOrRunSafely) {
  std::mt19937 random(20261206);
  for (const Board& board : boards) {
    SCOPED_TRACE(board.number);
    Console& console = open(board.number, board.prg_banks, board.chr_banks);
    run_frames(console, 2);
    const std::vector<u8> good = save_state_bytes(console);
    const std::size_t m = board.block;
    // The console fields, the mapper block, the PPU registers, the APU block.
    const std::pair<std::size_t, std::size_t> areas[] = {
        {11, 38}, {32806, 32806 + m}, {32806 + m, 32806 + m + 24}, {49470 + m, 49578 + m}};
    int accepted = 0;
    for (int round = 0; round < 150; ++round) {
      std::vector<u8> file = good;
      int flips = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < flips; ++i) {
        const auto& area = areas[random() % 4];
        std::size_t at = area.first + random() % (area.second - area.first);
        file[at] = static_cast<u8>(random());
      }
      if (load_state_bytes(console, file.data(), file.size())) {
        ++accepted;
        run_frames(console, 0);
      }
      ASSERT_TRUE(load_state_bytes(console, good.data(), good.size()));
    }
    EXPECT_GT(accepted, 0) << "some damage is harmless and must still load";
  }
}

}  // namespace
