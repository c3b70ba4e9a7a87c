// MMC2 and MMC4: PRG windows, CHR registers and the $FD/$FE latches.
#include <gtest/gtest.h>

#include "board_fixture.h"
#include "cartridge/boards.h"

namespace {

constexpr u32 kPrg = 131072;
constexpr u32 kChr = 131072;  // 32 banks of 4 KB

LatchBoardState& latch_of(BoardFixture& cart) {
  if (cart.board().number == 9) {
    return cart.as<mapper_mmc2>().latch;
  }
  return cart.as<mapper_mmc4>().latch;
}

// Gives each of the four CHR fields its own bank: FD/0 1, FE/0 2, FD/1 3, FE/1 4.
void set_distinct_banks(BoardFixture& cart) {
  cart.board().cpu_write(0xB000, 1);
  cart.board().cpu_write(0xC000, 2);
  cart.board().cpu_write(0xD000, 3);
  cart.board().cpu_write(0xE000, 4);
}

const u8* chr_bank_byte(BoardFixture& cart, u32 bank, u16 within) {
  return cart.rom() + kPrg + bank * 4096 + within;
}

}  // namespace

class LatchBoards : public testing::TestWithParam<int> {};

INSTANTIATE_TEST_SUITE_P(Mmc2AndMmc4, LatchBoards, testing::Values(9, 10),
                         [](const testing::TestParamInfo<int>& info) {
                           return info.param == 9 ? std::string("Mmc2") : std::string("Mmc4");
                         });

TEST_P(LatchBoards, PowerUpShowsTheFirstChrBankInBothHalvesInTheFdState) {
  BoardFixture cart(GetParam(), kPrg, kChr);
  LatchBoardState& latch = latch_of(cart);
  EXPECT_EQ(latch.latch0, 0u);
  EXPECT_EQ(latch.latch1, 2u);
  EXPECT_EQ(cart.board().chr_pointer(0x0000), chr_bank_byte(cart, 0, 0));
  EXPECT_EQ(cart.board().chr_pointer(0x1000), chr_bank_byte(cart, 0, 0));
  EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x2000, 0));
}

TEST_P(LatchBoards, LatchTripsAfterTheFetchThatReadsThroughTheOldBank) {
  BoardFixture cart(GetParam(), kPrg, kChr);
  set_distinct_banks(cart);
  EXPECT_EQ(cart.board().chr_pointer(0x0FE3), chr_bank_byte(cart, 1, 0x0FE3));  // FD/0
  EXPECT_EQ(latch_of(cart).latch0, 1u);
  EXPECT_EQ(cart.board().chr_pointer(0x0010), chr_bank_byte(cart, 2, 0x0010));  // FE/0 now

  latch_of(cart).latch1 = 3;
  EXPECT_EQ(cart.board().chr_pointer(0x1FD8), chr_bank_byte(cart, 4, 0x0FD8));  // FE/1
  EXPECT_EQ(latch_of(cart).latch1, 2u);
  EXPECT_EQ(cart.board().chr_pointer(0x1000), chr_bank_byte(cart, 3, 0));  // FD/1 now
}

TEST_P(LatchBoards, EachTileAddressMovesOnlyItsOwnLatch) {
  struct Case {
    u16 address;
    u32 latch0, latch1;  // after the fetch, from latch0 = 1, latch1 = 2
  };
  const Case cases[] = {
      {0x0FD0, 0, 2}, {0x0FDF, 0, 2}, {0x0FE0, 1, 2}, {0x0FEF, 1, 2}, {0x1FD0, 1, 2},
      {0x1FE0, 1, 3}, {0x1FEF, 1, 3}, {0x0FC0, 1, 2}, {0x0FF0, 1, 2}, {0x1FCF, 1, 2},
      {0x1FF0, 1, 2}, {0x0ED0, 1, 2}, {0x1DE0, 1, 2}, {0x2FD0, 1, 2}, {0x3FE0, 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    BoardFixture cart(GetParam(), kPrg, kChr);
    latch_of(cart).latch0 = 1;
    latch_of(cart).latch1 = 2;
    cart.board().chr_pointer(c.address);
    EXPECT_EQ(latch_of(cart).latch0, c.latch0);
    EXPECT_EQ(latch_of(cart).latch1, c.latch1);
  }
}

TEST_P(LatchBoards, LatchesMoveWithChrRamToo) {
  BoardFixture cart(GetParam(), kPrg, 0);
  EXPECT_EQ(cart.board().chr_pointer(0x1FE4), cart.vram() + 0x1FE4);
  EXPECT_EQ(latch_of(cart).latch1, 3u);
  EXPECT_EQ(cart.board().chr_pointer(0x0FE0), cart.vram() + 0x0FE0);
  EXPECT_EQ(latch_of(cart).latch0, 1u);
}

TEST_P(LatchBoards, ChrRegistersKeepFiveBits) {
  struct Case {
    u16 address;
    u8 value;
    int field;
    u32 bank;
  };
  const Case cases[] = {
      {0xB000, 0x25, 0, 5}, {0xBFFF, 0x1F, 0, 31}, {0xC000, 0x03, 1, 3},
      {0xD123, 0xE7, 2, 7}, {0xE000, 0x10, 3, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    BoardFixture cart(GetParam(), kPrg, kChr);
    cart.board().cpu_write(c.address, c.value);
    EXPECT_EQ(latch_of(cart).chr_bank[c.field], c.bank * 4096);
  }
}

TEST_P(LatchBoards, ArrangementRegisterAndIgnoredWrites) {
  BoardFixture cart(GetParam(), kPrg, kChr, mirroring_single_upper);
  cart.board().cpu_write(0xF000, 1);
  EXPECT_EQ(cart.board().mirroring, mirroring_horizontal);
  EXPECT_EQ(cart.console.ppu->nametable_base[2], 0x2400);
  cart.board().cpu_write(0xFFFF, 0xFE);
  EXPECT_EQ(cart.board().mirroring, mirroring_vertical);
  EXPECT_EQ(cart.console.ppu->nametable_base[2], 0x2000);

  const LatchBoardState before = latch_of(cart);
  for (u16 address : {0x8000, 0x8FFF, 0x9000, 0x9FFF}) {
    cart.board().cpu_write(address, 0xFF);
  }
  const LatchBoardState& after = latch_of(cart);
  EXPECT_EQ(after.prg_bank, before.prg_bank);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(after.chr_bank[i], before.chr_bank[i]);
  }
  EXPECT_EQ(cart.board().mirroring, mirroring_vertical);
}

TEST(Mmc2, SwitchesEightKilobytesAndFixesTheLastTwentyFour) {
  BoardFixture cart(9, kPrg, kChr);
  cart.board().cpu_write(0xA000, 0x12);
  EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x2000, 2 * 8192));
  EXPECT_TRUE(cart.cpu_window_is(0xA000, 0x6000, kPrg - 24576));
  cart.board().cpu_write(0xAFFF, 0x0F);
  EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x2000, 15 * 8192));
  EXPECT_TRUE(cart.cpu_window_is(0xA000, 0x6000, kPrg - 24576));
}

TEST(Mmc4, SwitchesSixteenKilobytesAndFixesTheLastSixteen) {
  BoardFixture cart(10, kPrg, kChr);
  cart.board().cpu_write(0xA000, 3);
  EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x4000, 3 * 16384));
  EXPECT_TRUE(cart.cpu_window_is(0xC000, 0x4000, kPrg - 16384));
  cart.board().cpu_write(0xA000, 0xF5);
  EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x4000, 5 * 16384));

  // On a 64 KB PRG-ROM bank 3 is the last one: both windows show it.
  BoardFixture small(10, 65536, kChr);
  small.board().cpu_write(0xA000, 3);
  EXPECT_TRUE(small.cpu_window_is(0x8000, 0x4000, 3 * 16384));
  for (u16 offset = 0; offset < 0x4000; offset += 0x155) {
    EXPECT_EQ(small.board().cpu_read(static_cast<u16>(0x8000 + offset)),
              small.board().cpu_read(static_cast<u16>(0xC000 + offset)));
  }
}

TEST(Mmc2, FixedPartOfASmallPrgRomStartsAtZero) {
  BoardFixture mmc2(9, 16384, 8192);
  EXPECT_TRUE(mmc2.cpu_window_is(0xA000, 0x6000, 0));
  BoardFixture mmc4(10, 16384, 8192);
  EXPECT_TRUE(mmc4.cpu_window_is(0xC000, 0x4000, 0));
}
