// The boards without a serial or IRQ unit: None, PRG-Switch and AxROM, plus
// the functions they share (nametable arrangement, bank fitting).
#include <gtest/gtest.h>

#include "board_fixture.h"
#include "cartridge/boards.h"
#include "cartridge/mapper.h"

TEST(ApplyMirroring, WritesTheFourNametableBasesForEachCode) {
  struct Case {
    i32 code;
    u16 bases[4];
  };
  const Case cases[] = {
      {mirroring_vertical, {0x2000, 0x2400, 0x2000, 0x2400}},
      {mirroring_horizontal, {0x2000, 0x2000, 0x2400, 0x2400}},
      {mirroring_single_lower, {0x2000, 0x2000, 0x2000, 0x2000}},
      {mirroring_single_upper, {0x2400, 0x2400, 0x2400, 0x2400}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    BoardFixture cart(0, 32768, 8192, c.code);  // init publishes the header's arrangement
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(cart.console.ppu->nametable_base[i], c.bases[i]) << i;
    }
  }
}

TEST(ApplyMirroring, LeavesTheBasesAloneForOtherCodes) {
  BoardFixture cart(0, 32768, 8192, mirroring_single_upper);
  for (i32 code : {4, 7, -1, 1000}) {
    cart.board().mirroring = code;
    apply_mirroring(*cart.console.ppu);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(cart.console.ppu->nametable_base[i], 0x2400);
    }
  }
}

TEST(FitBank, DropsHighBitsUntilTheBankFits) {
  struct Case {
    u32 value, bank_size, rom_size, offset;
  };
  const Case cases[] = {
      {0x0A, 16384, 131072, 2 * 16384},  // mask $07 is the first that fits
      {0x07, 16384, 131072, 7 * 16384},
      {0x05, 16384, 98304, 5 * 16384},  // 6 banks: 5 fits as written
      {0x06, 16384, 98304, 2 * 16384},  // 6 does not: mask $03 gives 2
      {0x07, 16384, 98304, 3 * 16384},
      {0x45, 8192, 524288, 5 * 8192},  // 64 banks: mask $3F
      {0xFF, 8192, 524288, 63 * 8192},
      {0xFF, 16384, 16384, 0},
      {0x01, 16384, 16384, 0},
      {0x3F, 8192, 16384, 8192},
      {0x80, 16384, 4194304, 128 * 16384},  // bit 7 kept only by a 4 MB ROM
      {0x80, 16384, 4194304 / 2, 0},
      {0x81, 16384, 4194304, 129 * 16384},
      {0x03, 16384, 0, 0},  // nothing fits: bank 0
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fit_bank(c.value, c.bank_size, c.rom_size), c.offset)
        << c.value << " " << c.bank_size << " " << c.rom_size;
  }
}

TEST(MapperNone, SixteenKilobytePrgRepeatsAtC000) {
  BoardFixture cart(0, 16384, 8192);
  for (u16 address : {0x8000, 0x8123, 0xBFFC, 0xBFFD, 0xBFFF}) {
    EXPECT_EQ(cart.board().cpu_read(static_cast<u16>(address + 0x4000)), cart.board().cpu_read(address));
  }
  EXPECT_TRUE(cart.cpu_window_is(0xC000, 0x4000, 0));
}

TEST(MapperNone, ThirtyTwoKilobytePrgIsOneWindow) {
  BoardFixture cart(0, 32768, 8192);
  EXPECT_EQ(cart.board().cpu_read(0xC000), cart.rom()[0x4000]);
  EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x8000, 0));
}

TEST(MapperNone, WritesChangeNothing) {
  BoardFixture cart(0, 32768, 8192);
  for (u32 address = 0x8000; address <= 0xFFFF; address += 0x0FFF) {
    cart.board().cpu_write(static_cast<u16>(address), 0xFF);
    EXPECT_EQ(cart.board().cpu_read(static_cast<u16>(address)), cart.rom()[address - 0x8000]);
  }
  EXPECT_TRUE(cart.chr_window_is(0x0000, 0x2000, 32768));
}

TEST(MapperNone, PatternsComeFromChrRomOrThePpuRam) {
  BoardFixture with_rom(0, 16384, 16384);
  EXPECT_EQ(with_rom.board().chr_pointer(0x0000), with_rom.rom() + 16384);
  EXPECT_EQ(with_rom.board().chr_pointer(0x1FFF), with_rom.rom() + 16384 + 0x1FFF);
  EXPECT_EQ(with_rom.board().chr_pointer(0x2000), with_rom.vram());
  EXPECT_EQ(with_rom.board().chr_pointer(0x3F00), with_rom.vram());

  BoardFixture with_ram(0, 16384, 0);
  EXPECT_EQ(with_ram.board().chr_pointer(0x0000), with_ram.vram());
  EXPECT_EQ(with_ram.board().chr_pointer(0x1ABC), with_ram.vram() + 0x1ABC);
  EXPECT_EQ(with_ram.board().chr_pointer(0x2400), with_ram.vram());
}

TEST(PrgSwitch, PowersUpOnTheFirstAndLastBanks) {
  BoardFixture cart(2, 131072, 0);
  EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x4000, 0));
  EXPECT_TRUE(cart.cpu_window_is(0xC000, 0x4000, 131072 - 16384));
}

TEST(PrgSwitch, WrittenBankIsFittedToThePrgRom) {
  struct Case {
    u32 prg_size;
    u8 value;
    u32 bank;
  };
  const Case cases[] = {
      {131072, 0x0A, 2}, {131072, 0x07, 7}, {131072, 0x00, 0}, {131072, 0xFF, 7},
      {98304, 0x05, 5},  {98304, 0x06, 2},  {16384, 0x03, 0},  {262144, 0x1F, 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.prg_size << " " << int(c.value));
    BoardFixture cart(2, c.prg_size, 8192);
    for (u16 address : {0x8000, 0xABCD, 0xFFFF}) {
      cart.board().cpu_write(address, c.value);
      EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x4000, c.bank * 16384));
      EXPECT_TRUE(cart.cpu_window_is(0xC000, 0x4000, c.prg_size - 16384));
    }
  }
}

TEST(PrgSwitch, ShowsOnlyTheFirstEightKilobytesOfChr) {
  BoardFixture cart(2, 32768, 32768);
  cart.board().cpu_write(0x8000, 1);
  EXPECT_TRUE(cart.chr_window_is(0x0000, 0x2000, 32768));
}

TEST(AxRom, PowersUpOnTheLastThirtyTwoKilobytesWithTheHeaderArrangement) {
  BoardFixture cart(7, 131072, 0, mirroring_vertical);
  EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x8000, 131072 - 32768));
  EXPECT_EQ(cart.board().mirroring, mirroring_vertical);
  EXPECT_EQ(cart.console.ppu->nametable_base[1], 0x2400);
}

TEST(AxRom, PowersUpAtZeroWhenThePrgRomIsSmallerThanTheWindow) {
  BoardFixture cart(7, 16384, 0);
  EXPECT_EQ(cart.as<mapper_axrom>().prg_bank, 0u);
  EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x4000, 0));
}

TEST(AxRom, WriteSelectsBankAndOneScreenArrangement) {
  struct Case {
    u8 value;
    u32 bank;
    i32 mirroring;
    u16 base;
  };
  const Case cases[] = {
      {0x13, 3, mirroring_single_upper, 0x2400}, {0x00, 0, mirroring_single_lower, 0x2000},
      {0x07, 7, mirroring_single_lower, 0x2000}, {0xEF, 7, mirroring_single_lower, 0x2000},
      {0x18, 0, mirroring_single_upper, 0x2400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.value));
    BoardFixture cart(7, 262144, 0);
    cart.board().cpu_write(0x9000, c.value);
    EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x8000, c.bank * 32768));
    EXPECT_EQ(cart.board().mirroring, c.mirroring);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(cart.console.ppu->nametable_base[i], c.base);
    }
  }
}

TEST(AxRom, PatternsAlwaysComeFromThePpuRam) {
  BoardFixture cart(7, 131072, 8192);
  EXPECT_EQ(cart.board().chr_pointer(0x0000), cart.vram());
  EXPECT_EQ(cart.board().chr_pointer(0x1FF0), cart.vram() + 0x1FF0);
  EXPECT_EQ(cart.board().chr_pointer(0x2000), cart.vram());
}
