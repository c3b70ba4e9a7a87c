// Board state blocks: sizes, byte layout, round trips, and refusal of blocks
// that are short or carry impossible values (a refused block changes nothing).
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "board_fixture.h"
#include "cartridge/boards.h"
#include "cartridge/mapper.h"
#include "core/state_io.h"

namespace {

constexpr u32 kPrg = 131072;
constexpr u32 kChr = 65536;

std::vector<u8> saved(mapper& board) {
  StateWriter out;
  board.save_state(out);
  return out.bytes_out;
}

bool load(mapper& board, const std::vector<u8>& bytes) {
  return board.load_state(bytes.data(), bytes.size());
}

void put_u32(std::vector<u8>& bytes, std::size_t at, u32 value) {
  for (int i = 0; i < 4; ++i) {
    bytes[at + i] = static_cast<u8>(value >> (8 * i));
  }
}

u32 get_u32(const std::vector<u8>& bytes, std::size_t at) {
  u32 value = 0;
  for (int i = 0; i < 4; ++i) {
    value |= static_cast<u32>(bytes[at + i]) << (8 * i);
  }
  return value;
}

// Puts a board into a state unlike its power-up one.
void exercise(BoardFixture& cart) {
  mapper& board = cart.board();
  switch (board.number) {
    case 1:
      cart.mmc1_write(0x8000, 0x1D);
      cart.mmc1_write(0xA000, 5);
      cart.mmc1_write(0xC000, 9);
      cart.mmc1_write(0xE000, 3);
      board.cpu_write(0x8000, 1);
      board.cpu_write(0x8000, 0);  // two bits into the next value
      break;
    case 4:
      board.cpu_write(0x8000, 0xC6);
      board.cpu_write(0x8001, 5);
      board.cpu_write(0x8000, 0x81);
      board.cpu_write(0x8001, 13);
      board.cpu_write(0xA000, 1);
      board.cpu_write(0xC000, 9);
      board.cpu_write(0xC001, 0);
      board.cpu_write(0xE001, 0);
      board.chr_pointer(0x1000);
      board.chr_pointer(0x1000);
      board.chr_pointer(0x0000);
      board.chr_pointer(0x1000);
      break;
    case 9:
    case 10:
      board.cpu_write(0xA000, 3);
      board.cpu_write(0xB000, 1);
      board.cpu_write(0xC000, 2);
      board.cpu_write(0xD000, 3);
      board.cpu_write(0xE000, 4);
      board.cpu_write(0xF000, 1);
      board.chr_pointer(0x0FE0);
      board.chr_pointer(0x1FE0);
      break;
    case 7:
      board.cpu_write(0x8000, 0x12);
      break;
    default:
      board.cpu_write(0x8000, 3);
      board.mirroring = mirroring_single_upper;
      break;
  }
}

const int board_numbers[] = {0, 1, 2, 4, 7, 9, 10};

}  // namespace

TEST(BoardState, RoundTripRestoresEveryField) {
  for (int number : board_numbers) {
    SCOPED_TRACE(number);
    BoardFixture original(number, kPrg, kChr);
    exercise(original);
    const std::vector<u8> bytes = saved(original.board());

    BoardFixture restored(number, kPrg, kChr);
    ASSERT_TRUE(load(restored.board(), bytes));
    EXPECT_EQ(saved(restored.board()), bytes);
    EXPECT_EQ(restored.board().mirroring, original.board().mirroring);
    for (u32 address = 0x8000; address <= 0xFFFF; address += 0x0FFF) {
      EXPECT_EQ(restored.board().cpu_read(static_cast<u16>(address)),
                original.board().cpu_read(static_cast<u16>(address)));
    }
    for (u16 address = 0; address < 0x2000; address += 0x0400) {
      EXPECT_EQ(restored.pattern_location(restored.board().chr_pointer(address)),
                original.pattern_location(original.board().chr_pointer(address)));
    }
  }
}

TEST(BoardState, LoadingDoesNotTouchTheNametableBases) {
  BoardFixture original(7, kPrg, 0);
  original.board().cpu_write(0x8000, 0x10);  // one-screen upper
  const std::vector<u8> bytes = saved(original.board());
  BoardFixture restored(7, kPrg, 0, mirroring_vertical);
  ASSERT_TRUE(load(restored.board(), bytes));
  EXPECT_EQ(restored.board().mirroring, mirroring_single_upper);
  EXPECT_EQ(restored.console.ppu->nametable_base[0], 0x2000);
  EXPECT_EQ(restored.console.ppu->nametable_base[1], 0x2400);
}

TEST(BoardState, Mmc1SerialValueIsCompletedAfterLoading) {
  BoardFixture original(1, kPrg, kChr);
  original.mmc1_write(0x8000, 0x0D);
  original.board().cpu_write(0xE000, 1);
  original.board().cpu_write(0xE000, 0);  // R so far: bits 1, 0
  const std::vector<u8> bytes = saved(original.board());

  BoardFixture restored(1, kPrg, kChr);
  ASSERT_TRUE(load(restored.board(), bytes));
  for (int bit : {1, 0, 0}) {  // R = 0b00101 = 5
    restored.board().cpu_write(0xE000, static_cast<u8>(bit));
  }
  EXPECT_EQ(restored.as<mapper_mmc1>().prg_bank[0], 5u * 16384);
}

// Earlier builds reloaded the counter to latch + 1, so their states may hold
// $100; such a state loads, and the counter counts down from there.
TEST(BoardState, Mmc3CounterAtLatchPlusOneFromEarlierBuildsLoads) {
  BoardFixture source(4, kPrg, kChr);
  source.board().cpu_write(0xC000, 0xFF);
  std::vector<u8> bytes = saved(source.board());
  put_u32(bytes, 57, 0x100);
  BoardFixture target(4, kPrg, kChr);
  ASSERT_TRUE(load(target.board(), bytes));
  auto& mmc3 = target.as<mapper_mmc3>();
  EXPECT_EQ(mmc3.irq_counter, 0x100);
  target.board().chr_pointer(0x1000);
  EXPECT_EQ(mmc3.irq_counter, 0xFF);
}

TEST(BoardState, ShortBlockIsRefusedAndChangesNothing) {
  for (int number : board_numbers) {
    SCOPED_TRACE(number);
    BoardFixture source(number, kPrg, kChr);
    exercise(source);
    std::vector<u8> bytes = saved(source.board());
    bytes.pop_back();
    BoardFixture target(number, kPrg, kChr);
    const std::vector<u8> before = saved(target.board());
    EXPECT_FALSE(load(target.board(), bytes));
    EXPECT_EQ(saved(target.board()), before);
    EXPECT_FALSE(load(target.board(), {}));
    EXPECT_EQ(saved(target.board()), before);
  }
}

TEST(BoardState, OutOfRangeFieldsAreRefusedAndChangeNothing) {
  struct Case {
    const char* what;
    int number;
    std::size_t at;
    int width;  // 1 or 4 bytes
    u32 value;
  };
  const Case cases[] = {
      {"mirroring 4", 0, 0, 4, 4},
      {"mirroring negative", 2, 0, 4, 0xFFFFFFFF},
      {"mirroring huge", 7, 0, 4, 0x10000},
      {"MMC1 mirroring", 1, 0, 4, 9},
      {"MMC1 five bits collected", 1, 5, 1, 5},
      {"MMC1 bits beyond the count", 1, 4, 1, 0x04},
      {"MMC1 control wider than 5 bits", 1, 6, 1, 0x20},
      {"MMC3 mirroring", 4, 0, 4, 7},
      {"MMC3 latch wider than a byte", 4, 53, 4, 256},
      {"MMC3 counter negative", 4, 57, 4, 0xFFFFFFFF},
      {"MMC3 counter past $100", 4, 57, 4, 257},
      {"MMC3 enabled not 0/1", 4, 61, 4, 2},
      {"MMC3 reload not 0/1", 4, 65, 4, 0x80000000},
      {"MMC3 last address not a pattern address", 4, 69, 4, 0x2000},
      {"MMC2 latch0 2", 9, 24, 4, 2},
      {"MMC2 latch1 1", 9, 28, 4, 1},
      {"MMC2 latch1 4", 9, 28, 4, 4},
      {"MMC2 latch1 0", 9, 28, 4, 0},
      {"MMC4 latch0 huge", 10, 24, 4, 0xFFFFFFFF},
      {"MMC4 latch1 2 beyond", 10, 28, 4, 5},
      {"MMC4 mirroring", 10, 0, 4, 0xFFFFFFFC},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoardFixture source(c.number, kPrg, kChr);
    exercise(source);
    std::vector<u8> bytes = saved(source.board());
    if (c.width == 1) {
      bytes[c.at] = static_cast<u8>(c.value);
    } else {
      put_u32(bytes, c.at, c.value);
    }
    BoardFixture target(c.number, kPrg, kChr);
    exercise(target);
    target.board().cpu_write(0x8000, 0x80);
    const std::vector<u8> before = saved(target.board());
    EXPECT_FALSE(load(target.board(), bytes));
    EXPECT_EQ(saved(target.board()), before);
  }
}

TEST(BoardState, StoredOffsetsAreReducedToTheRomTheyAddress) {
  struct Case {
    const char* what;
    int number;
    std::size_t at;
    u32 value;
    u32 expected;
  };
  const Case cases[] = {
      {"PRG-Switch $8000", 2, 4, kPrg + 3 * 16384, 3 * 16384},
      {"PRG-Switch $C000", 2, 8, 0xFFFFFFFF, 0xFFFFFFFF % kPrg},
      {"AxROM window", 7, 4, 7 * kPrg, 0},
      {"MMC1 PRG $8000", 1, 7, 0x7FFF0000, 0x7FFF0000 % kPrg},
      {"MMC1 CHR $1000", 1, 19, kPrg + kChr + 4096, kPrg + 4096},
      {"MMC1 CHR huge", 1, 15, 0xFFFFF000, kPrg + (0xFFFFF000 - kPrg) % kChr},
      {"MMC3 PRG $E000", 4, 17, kPrg * 5 + 8192, 8192},
      {"MMC3 CHR $1C00", 4, 49, kPrg + kChr * 3 + 1024, kPrg + 1024},
      {"MMC3 CHR inside PRG kept", 4, 21, 0, 0},
      {"MMC2 PRG", 9, 4, 0xFFFFFFFF, 0xFFFFFFFF % kPrg},
      {"MMC2 FE/1", 9, 20, kChr + 8192, 8192},
      {"MMC4 FD/0", 10, 8, 0x12345678, 0x12345678 % kChr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoardFixture cart(c.number, kPrg, kChr);
    std::vector<u8> bytes = saved(cart.board());
    put_u32(bytes, c.at, c.value);
    ASSERT_TRUE(load(cart.board(), bytes));
    EXPECT_EQ(get_u32(saved(cart.board()), c.at), c.expected);
    for (u32 address = 0x8000; address <= 0xFFFF; address += 0x1FFF) {
      cart.board().cpu_read(static_cast<u16>(address));
    }
    for (u16 address = 0; address < 0x2000; address += 0x3FF) {
      EXPECT_TRUE(cart.pattern_inside(cart.board().chr_pointer(address)));
    }
  }
}

TEST(BoardState, ChrRamImageLoadsAnyChrOffsetSafely) {
  for (int number : {1, 4, 9, 10}) {
    SCOPED_TRACE(number);
    BoardFixture cart(number, kPrg, 0);
    std::vector<u8> bytes = saved(cart.board());
    for (std::size_t at = 4; at + 4 <= bytes.size(); ++at) {
      std::vector<u8> hostile = bytes;
      put_u32(hostile, at, 0xFFFFFFF0);
      if (load(cart.board(), hostile)) {
        for (u16 address = 0; address < 0x2000; address += 0x3F8) {
          const u8* p = cart.board().chr_pointer(address);
          EXPECT_EQ(p, cart.vram() + address);
        }
        cart.board().cpu_read(0x8000);
        cart.board().cpu_read(0xFFFF);
      }
    }
  }
}

// The renderers read patterns through the windows a board publishes; they
// must be where chr_pointer finds the patterns after every write and every
// load, with CHR-ROM and with pattern RAM. Boards whose latches switch banks
// at a fetch publish none.
TEST(PatternWindows, FollowChrPointerThroughWritesAndLoads) {
  const auto same_patterns = [](BoardFixture& cart) {
    for (u32 address = 0; address < 0x2000; ++address) {
      if (cart.board().pattern_window[address >> 10] + (address & 0x3FF) !=
          cart.board().chr_pointer(static_cast<u16>(address)))
        return false;
    }
    return true;
  };
  for (int number : board_numbers) {
    for (u32 chr : {kChr, 0u}) {
      SCOPED_TRACE(::testing::Message() << "board " << number << ", CHR " << chr);
      BoardFixture cart(number, kPrg, chr);
      const bool latched = number == 9 || number == 10;
      EXPECT_EQ(cart.board().pattern_window[0] == nullptr, latched);
      if (latched)
        continue;
      EXPECT_TRUE(same_patterns(cart));
      for (u8 value : {0x00, 0x1F, 0x10, 0x03, 0x0E, 0x15}) {
        if (number == 1) {
          cart.mmc1_write(0x8000, static_cast<u8>(value | 0x0C));
          cart.mmc1_write(0xA000, value);
          cart.mmc1_write(0xC000, static_cast<u8>(value ^ 0x0B));
        } else if (number == 4) {
          cart.board().cpu_write(0x8000, static_cast<u8>((value & 7) | ((value & 0x10) << 3)));
          cart.board().cpu_write(0x8001, value);
        } else {
          cart.board().cpu_write(0x8000, value);
        }
        EXPECT_TRUE(same_patterns(cart)) << "after writing " << int{value};
      }
      BoardFixture restored(number, kPrg, chr);
      ASSERT_TRUE(load(restored.board(), saved(cart.board())));
      EXPECT_TRUE(same_patterns(restored));
    }
  }
}
