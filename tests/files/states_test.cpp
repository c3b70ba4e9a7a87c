// Save-state files: the format, byte for byte, of every board against a
// golden file; files that are refused and change nothing; the F1-F4 keys.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "audio/apu.h"
#include "cartridge/boards.h"
#include "core/console.h"
#include "lifecycle/save_state.h"
#include "lifecycle/session.h"
#include "ppu/ppu.h"
#include "support/fixtures.h"

namespace {

// Board numbers with their 16 KB and 8 KB bank counts.
const int boards[][3] = {{0, 2, 1}, {1, 8, 2}, {2, 8, 1}, {4, 8, 8}, {7, 8, 0}, {9, 8, 4}, {10, 8, 4}};

class StateFiles : public ::testing::Test {
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
    EXPECT_TRUE(open_rom(session, write_image(dir, name, shape), 0));
    return *session.current;
  }
  void press(std::initializer_list<int> keys) {
    platform.held = std::set<int>(keys);
    poll_state_hotkeys(session);
  }
};

// Every saved field of a console given a value of its own, by name; the
// memories are zero but for their first and last bytes, so that a whole
// file shows in a few lines of hex.
void golden_pattern(Console& c) {
  c.cycle_budget = -37.5f;
  c.a = 0x11, c.x = 0x22, c.y = 0x33, c.p = 0xE5, c.s = 0xF0, c.pc = 0x9ABC;
  c.irq_pending = 1, c.nmi_pending = 0, c.reset_pending = 1;
  std::memset(c.memory.get(), 0, 0x8000);
  c.memory[0x0000] = 0xA1, c.memory[0x7FFF] = 0xA2;
  Ppu& ppu = *c.ppu;
  ppu.ctrl = 0x90, ppu.mask = 0x1E, ppu.status = 0x40, ppu.oam_addr = 0x12;
  ppu.reserved[0] = 0x13, ppu.reserved[1] = 0x14, ppu.write_toggle = 1, ppu.read_buffer = 0x77;
  ppu.vram_addr = 0x2345, ppu.temp_addr = 0x0456, ppu.fine_x = 5;
  const u16 bases[4] = {0x2C00, 0x2800, 0x2400, 0x2000};
  std::memcpy(ppu.nametable_base, bases, sizeof bases);
  std::memset(ppu.vram.get(), 0, vram_bytes);
  std::memset(ppu.oam.get(), 0, oam_bytes);
  ppu.vram[0] = 0xB1, ppu.vram[vram_bytes - 1] = 0xB2, ppu.oam[0] = 0xC1, ppu.oam[oam_bytes - 1] = 0xC2;
  Apu& apu = *c.apu;
  apu.status_reg = 0x0F, apu.frame_reg = 0xC0;
  for (int i = 0; i < 4; ++i)
    apu.pulse[0].reg[i] = static_cast<u8>(0x40 + i), apu.pulse[1].reg[i] = static_cast<u8>(0x44 + i);
  for (int i = 0; i < 3; ++i)
    apu.triangle.reg[i] = static_cast<u8>(0x48 + i), apu.noise.reg[i] = static_cast<u8>(0x4C + i);
  for (int i = 0; i < 2; ++i) {
    Pulse& pulse = apu.pulse[i];
    const i32 base = 0x100 * (i + 1);
    pulse.sweep_silent = pulse.env.silent = 1;
    pulse.env.volume = 9 + i, pulse.env.level = 12 + i;
    pulse.sweep_divider = base + 1, pulse.length = base + 2, pulse.env.divider = base + 3;
  }
  apu.noise.env.silent = 1, apu.noise.env.volume = 3, apu.triangle.reload = 1, apu.triangle.linear = 0x55;

  mapper& board = *c.mapper;
  board.mirroring = mirroring_single_upper;
  if (auto* b = dynamic_cast<mapper_prgswitch*>(&board)) {
    b->prg_bank[0] = 0x4000, b->prg_bank[1] = 0x8000;
  } else if (auto* b = dynamic_cast<mapper_axrom*>(&board)) {
    b->prg_bank = 0x10000;
  } else if (auto* b = dynamic_cast<mapper_mmc1*>(&board)) {
    b->shift_reg = 0x05, b->shift_count = 3, b->control = 0x1A;
    b->prg_bank[0] = 0x4000, b->prg_bank[1] = 0x1C000, b->chr_bank[0] = 0x21000, b->chr_bank[1] = 0x23000;
  } else if (auto* b = dynamic_cast<mapper_mmc3*>(&board)) {
    b->bank_select = 0xC5;
    for (int i = 0; i < 4; ++i)
      b->prg_bank[i] = 0x2000u * (i + 1);
    for (int i = 0; i < 8; ++i)
      b->chr_bank[i] = 0x20000u + 0x400u * (i + 3);
    b->irq_latch = 0x21, b->irq_counter = 0x17, b->irq_enabled = 1, b->irq_reload = 1,
    b->last_chr_address = 0x1FF0;
  } else if (auto* mmc2 = dynamic_cast<mapper_mmc2*>(&board); mmc2 || dynamic_cast<mapper_mmc4*>(&board)) {
    LatchBoardState& latch = mmc2 ? mmc2->latch : dynamic_cast<mapper_mmc4*>(&board)->latch;
    latch.prg_bank = 0x6000, latch.latch0 = 1, latch.latch1 = 2;
    for (int i = 0; i < 4; ++i)
      latch.chr_bank[i] = 0x1000u * (i + 1);
  }
}

// Lines "offset: 16 bytes" for the rows of the file that hold a byte other
// than zero, between from and to.
std::string hex_rows(const std::vector<u8>& bytes, std::size_t from, std::size_t to) {
  std::string text;
  for (std::size_t row = from; row < std::min(to, bytes.size()); row += 16) {
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

// The file of every board against tests/files/state_golden.txt (its size,
// the first board's whole file, the others' board blocks), and each file
// loads back into the console that wrote it. The golden file fixes the
// format of the players' saved states: should it ever be meant to change,
// regenerate it with CORVEL_GOLDEN_OUT=tests/files/state_golden.txt set when
// running corvel_tests --gtest_filter=StateFiles.GoldenFileOfEveryBoard.
TEST_F(StateFiles, GoldenFileOfEveryBoard) {
  std::string text;
  for (const auto& [number, prg_banks, chr_banks] : boards) {
    Console& console = open(number, prg_banks, chr_banks);
    golden_pattern(console);
    std::vector<u8> file = save_state_bytes(console);
    EXPECT_TRUE(load_state_bytes(console, file.data(), file.size())) << number;
    EXPECT_EQ(save_state_bytes(console), file) << number;
    text += "board " + std::to_string(number) + ", " + std::to_string(file.size()) + " bytes\n";
    text += number == 0 ? hex_rows(file, 0, file.size()) : hex_rows(file, 0x8020, 0x8080);
  }
  if (const char* out = std::getenv("CORVEL_GOLDEN_OUT"))
    write_text(out, text);
  EXPECT_EQ(text, read_text(std::string(CORVEL_SOURCE_DIR) + "/tests/files/state_golden.txt"));
}

// Each case spoils a good file in one way: refused, "Unable to Load State 1",
// the console exactly as it was. A case writes a value of 1 or 4 bytes, or
// changes the length by `value` bytes (width 0). Offsets are from the
// board's block at 32806, the PPU's after it (the board's size later), or
// the APU's words, 16 bytes into its block.
TEST_F(StateFiles, BadFilesAreRefusedAndChangeNothing) {
  enum From { file, board_block, ppu_block, apu_words };
  struct BadFile {
    const char* name;
    int board;
    From from;
    std::size_t at;
    u32 value;
    int width;  // bytes written, or 0: the length changes by `value`
  };
  const u32 nan = 0x7FC00000, too_large = 0x4A000000;  // floats: not a number, 2^21
  const BadFile cases[] = {{"empty", 1, file, 0, 0xFFFF0000, 0},
                           {"one byte short", 1, file, 0, 0xFFFFFFFF, 0},
                           {"one byte long", 1, file, 0, 1, 0},
                           {"signature", 1, file, 0, 'c', 1},
                           {"format number", 1, file, 11, 1001, 4},
                           {"budget not a number", 1, file, 15, nan, 4},
                           {"budget too large", 1, file, 15, too_large, 4},
                           {"irq latch 2", 1, file, 26, 2, 4},
                           {"reset latch huge", 1, file, 34, 0x80000000u, 4},
                           {"nametable base $2100", 1, ppu_block, 19, 0x21, 1},
                           {"fine x 8", 1, ppu_block, 15, 8, 1},
                           {"write toggle 2", 1, ppu_block, 6, 2, 4},
                           {"pulse 2 volume -1", 1, apu_words, 4 * 9, 0xFFFFFFFF, 4},
                           {"noise volume 16", 1, apu_words, 4 * 10, 16, 4},
                           {"pulse 1 envelope 16", 1, apu_words, 4 * 14, 16, 4},
                           {"MMC1 shift count 5", 1, board_block, 5, 5, 1},
                           {"MMC1 bits beyond the count", 1, board_block, 4, 0x08, 1},
                           {"mirroring 4", 7, board_block, 0, 4, 4},
                           {"MMC3 counter past $100", 4, board_block, 57, 0x101, 4},
                           {"MMC3 latch wider than a byte", 4, board_block, 53, 0x100, 4},
                           {"MMC3 last address not a pattern address", 4, board_block, 69, 0x2000, 4},
                           {"MMC2 latch 0 = 2", 9, board_block, 24, 2, 4},
                           {"MMC4 latch 1 = 0", 10, board_block, 28, 0, 4}};
  for (const BadFile& c : cases) {
    platform.messages.clear();
    Console& console = open(c.board, 8, 4);
    golden_pattern(console);
    std::vector<u8> file = save_state_bytes(console);
    const std::size_t m = static_cast<std::size_t>(console.mapper->state_size());
    const std::size_t at = c.at + (c.from == board_block ? 32806
                                   : c.from == ppu_block ? 32806 + m
                                   : c.from == apu_words ? 49470 + m + 16
                                                         : 0);
    if (c.width == 0)
      file.resize(std::max<i64>(0, static_cast<i64>(file.size()) + static_cast<i32>(c.value)));
    for (int i = 0; i < c.width; ++i)
      file[at + i] = static_cast<u8>(c.value >> (8 * i));
    write_file(dir / "game(1).sav", file);
    console.a = 0x5A;  // differs from the file: a load would show
    const std::vector<u8> before = save_state_bytes(console);
    press({});
    press({vk_f1});
    EXPECT_EQ(platform.messages, std::vector<std::string>{"Unable to Load State 1"}) << c.name;
    EXPECT_EQ(save_state_bytes(console), before) << c.name;
  }
}

// A state of a bigger image on the same board has the right length; its bank
// offsets come back reduced to this image.
TEST_F(StateFiles, AnotherImagesStateKeepsWindowsInsideThisImage) {
  Console& big = open(4, 32, 32, "big.nes");
  for (u8 select = 0; select < 8; ++select) {
    big.mapper->cpu_write(0x8000, select);
    big.mapper->cpu_write(0x8001, 0xFF);
  }
  const std::vector<u8> big_state = save_state_bytes(big);
  Console& small = open(4, 2, 1, "small.nes");
  ASSERT_TRUE(load_state_bytes(small, big_state.data(), big_state.size()));
  const auto& board = static_cast<const mapper_mmc3&>(*small.mapper);
  EXPECT_TRUE(std::all_of(std::begin(board.prg_bank), std::end(board.prg_bank),
                          [&](u32 o) { return o < small.prg_size; }));
  EXPECT_TRUE(std::all_of(std::begin(board.chr_bank), std::end(board.chr_bank),
                          [&](u32 o) { return o >= small.prg_size && o < small.prg_size + small.chr_size; }));
}

// F1-F4 load, Shift saves; a held key acts once; several keys in one poll
// are served in slot order; a press made in the gallery never acts later.
TEST_F(StateFiles, Hotkeys) {
  session.recent[0] = write_image(dir, "game.nes");
  enter_gallery(session);
  press({vk_shift, vk_f1});
  ASSERT_TRUE(open_rom(session, session.recent[0], 0));
  press({vk_shift, vk_f1});  // still the gallery's press
  EXPECT_TRUE(platform.messages.empty());
  press({});
  press({vk_f4, vk_shift, vk_f1});
  press({vk_f4, vk_f1});
  EXPECT_EQ(platform.messages, (std::vector<std::string>{"Saved State 1", "Saved State 4"}));
  session.current->a = 0x99;
  press({});
  press({vk_f1, vk_f2, vk_f4});
  EXPECT_EQ(platform.messages, (std::vector<std::string>{"Saved State 1", "Saved State 4", "Loaded State 1",
                                                         "Unable to Load State 2", "Loaded State 4"}));
  EXPECT_NE(session.current->a, 0x99);
}

}  // namespace
