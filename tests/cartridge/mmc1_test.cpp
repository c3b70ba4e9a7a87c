// MMC1: the serial register, its four registers and the banking modes.
#include <gtest/gtest.h>

#include "board_fixture.h"
#include "cartridge/boards.h"

namespace {

constexpr u32 kPrg = 262144;  // 16 banks of 16 KB
constexpr u32 kChr = 131072;  // 32 banks of 4 KB

// Five writes to one address whose bits 0 carry the given bits, first first.
void write_bits(BoardFixture& cart, const u16 (&addresses)[5], const int (&bits)[5]) {
  for (int i = 0; i < 5; ++i) {
    cart.board().cpu_write(addresses[i], static_cast<u8>(bits[i] ? 0x01 : 0x00));
  }
}

}  // namespace

TEST(Mmc1, PowersUpWithFirstAndLastPrgBanksAndTheFirstChrBank) {
  BoardFixture cart(1, kPrg, kChr);
  auto& mmc1 = cart.as<mapper_mmc1>();
  EXPECT_EQ(mmc1.control, 0);
  EXPECT_EQ(mmc1.shift_count, 0);
  EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x4000, 0));
  EXPECT_TRUE(cart.cpu_window_is(0xC000, 0x4000, kPrg - 16384));
  EXPECT_TRUE(cart.chr_window_is(0x0000, 0x1000, kPrg));
  EXPECT_TRUE(cart.chr_window_is(0x1000, 0x1000, kPrg));
}

TEST(Mmc1, FiveWritesDeliverTheBitsLeastSignificantFirst) {
  BoardFixture cart(1, kPrg, kChr);
  cart.mmc1_write(0x8000, 0x0C);  // PRG mode 3
  const u16 e000[5] = {0xE000, 0xE000, 0xE000, 0xE000, 0xE000};
  write_bits(cart, e000, {1, 0, 1, 0, 0});  // R = 5
  EXPECT_EQ(cart.as<mapper_mmc1>().prg_bank[0], 5u * 16384);
  EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x4000, 5 * 16384));
  EXPECT_TRUE(cart.cpu_window_is(0xC000, 0x4000, kPrg - 16384));
}

TEST(Mmc1, OnlyTheFifthAddressChoosesTheRegister) {
  BoardFixture cart(1, kPrg, kChr);
  cart.mmc1_write(0x8000, 0x0C);
  const u16 spread[5] = {0x8000, 0xA000, 0xC000, 0x9FFF, 0xFFFF};
  write_bits(cart, spread, {1, 0, 1, 0, 0});
  EXPECT_EQ(cart.as<mapper_mmc1>().control, 0x0C);
  EXPECT_EQ(cart.as<mapper_mmc1>().prg_bank[0], 5u * 16384);
}

TEST(Mmc1, ResetBitEmptiesTheSerialRegisterAndForcesPrgModeThree) {
  BoardFixture cart(1, kPrg, kChr);
  auto& mmc1 = cart.as<mapper_mmc1>();
  for (int i = 0; i < 3; ++i) {
    cart.board().cpu_write(0xE000, 1);
  }
  const u32 before = mmc1.prg_bank[0];
  cart.board().cpu_write(0x8000, 0x80);
  EXPECT_EQ(mmc1.shift_count, 0);
  EXPECT_EQ(mmc1.shift_reg, 0);
  EXPECT_EQ(mmc1.control & 0x0C, 0x0C);
  EXPECT_EQ(mmc1.prg_bank[0], before);  // windows are not recomputed
  const u16 e000[5] = {0xE000, 0xE000, 0xE000, 0xE000, 0xE000};
  write_bits(cart, e000, {0, 1, 0, 0, 0});  // a fresh value: 2
  EXPECT_EQ(mmc1.prg_bank[0], 2u * 16384);
  EXPECT_EQ(mmc1.prg_bank[1], kPrg - 16384);
}

TEST(Mmc1, PrgRegisterByMode) {
  struct Case {
    u8 control;
    u8 value;
    u32 bank8000, bankC000;  // in 16 KB banks
  };
  const Case cases[] = {
      {0x00, 3, 2, 3},       // 32 KB: the low bit is dropped
      {0x04, 7, 6, 7},       // mode 1 is 32 KB as well
      {0x00, 0x1F, 14, 15},  // bit 4 is not a PRG bit
      {0x08, 5, 0, 5},       // mode 2: first bank fixed at $8000
      {0x0C, 5, 5, 15},      // mode 3: last bank fixed at $C000
      {0x0C, 0x10, 0, 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.control) << " " << int(c.value));
    BoardFixture cart(1, kPrg, kChr);
    cart.mmc1_write(0x8000, c.control);
    cart.mmc1_write(0xE000, c.value);
    EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x4000, c.bank8000 * 16384));
    EXPECT_TRUE(cart.cpu_window_is(0xC000, 0x4000, c.bankC000 * 16384));
  }
}

TEST(Mmc1, AfterPowerUpThePrgRegisterSwitchesThirtyTwoKilobytes) {
  BoardFixture cart(1, kPrg, kChr);
  cart.mmc1_write(0xE000, 3);
  EXPECT_EQ(cart.as<mapper_mmc1>().prg_bank[0], 32768u);
  EXPECT_EQ(cart.as<mapper_mmc1>().prg_bank[1], 49152u);
}

TEST(Mmc1, ChrRegistersByMode) {
  struct Case {
    u8 control;
    u16 address;
    u8 value;
    u32 bank0000, bank1000;  // in 4 KB banks from the start of CHR-ROM
  };
  const Case cases[] = {
      {0x00, 0xA000, 3, 2, 3},  // 8 KB: the pair, low bit dropped
      {0x00, 0xC000, 3, 0, 0},  // 8 KB: the second register is ignored
      {0x10, 0xA000, 3, 3, 0}, {0x10, 0xC000, 3, 0, 3}, {0x10, 0xBFFF, 31, 31, 0}, {0x10, 0xDFFF, 17, 0, 17},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.control) << " " << c.address << " " << int(c.value));
    BoardFixture cart(1, kPrg, kChr);
    cart.mmc1_write(0x8000, c.control);
    cart.mmc1_write(c.address, c.value);
    EXPECT_TRUE(cart.chr_window_is(0x0000, 0x1000, kPrg + c.bank0000 * 4096));
    EXPECT_TRUE(cart.chr_window_is(0x1000, 0x1000, kPrg + c.bank1000 * 4096));
  }
}

TEST(Mmc1, ControlRegisterDecodesArrangementAndModes) {
  struct Case {
    u8 value;
    i32 mirroring;
    u16 base2400;
  };
  const Case cases[] = {
      {0x1F, mirroring_horizontal, 0x2000},
      {0x02, mirroring_vertical, 0x2400},  // bit 1 never makes a one-screen arrangement
      {0x03, mirroring_horizontal, 0x2000},
      {0x00, mirroring_vertical, 0x2400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.value));
    BoardFixture cart(1, kPrg, kChr, mirroring_single_upper);
    cart.mmc1_write(0x8000, c.value);
    EXPECT_EQ(cart.as<mapper_mmc1>().control, c.value);
    EXPECT_EQ(cart.board().mirroring, c.mirroring);
    EXPECT_EQ(cart.console.ppu->nametable_base[1], c.base2400);
  }
  BoardFixture cart(1, kPrg, kChr);
  cart.mmc1_write(0x8000, 0x1F);
  cart.mmc1_write(0xA000, 5);
  cart.mmc1_write(0xE000, 5);
  EXPECT_TRUE(cart.chr_window_is(0x0000, 0x1000, kPrg + 5 * 4096));  // 4 KB mode
  EXPECT_TRUE(cart.cpu_window_is(0xC000, 0x4000, kPrg - 16384));     // PRG mode 3
}

TEST(Mmc1, ChrRamIgnoresTheChrRegisters) {
  BoardFixture cart(1, kPrg, 0);
  cart.mmc1_write(0x8000, 0x10);
  cart.mmc1_write(0xA000, 7);
  cart.mmc1_write(0xC000, 9);
  EXPECT_EQ(cart.board().chr_pointer(0x0123), cart.vram() + 0x0123);
  EXPECT_EQ(cart.board().chr_pointer(0x1FFF), cart.vram() + 0x1FFF);
  EXPECT_EQ(cart.board().chr_pointer(0x2000), cart.vram());
}
