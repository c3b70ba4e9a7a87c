// MMC2 (iNES mapper 9) and MMC4 (iNES mapper 10): latch-switched CHR.
//
// Each 4 KB half of the pattern space has two candidate banks, one for each
// state of that half's latch. The latch watches the pattern addresses the
// PPU fetches: tile $FD of the half puts it in the $FD state, tile $FE in the
// $FE state. A game draws a $FD or $FE tile where it wants the graphics to
// change, and the board switches banks in the middle of the frame without a
// CPU write. The switch takes effect from the fetch after the one that trips
// the latch.
//
// The two boards differ only in their PRG banking: MMC2 switches 8 KB at
// $8000 with the last 24 KB fixed, MMC4 switches 16 KB with the last 16 KB
// fixed.
#include "cartridge/boards.h"
#include "core/console.h"
#include "core/state_io.h"
#include "ppu/ppu.h"

// MMC2.

int mapper_mmc2::init() {
  name = "MMC2";
  number = 9;
  power_up_windows(0x2000);
  return 1;
}

void mapper_mmc2::power_up_windows(u32 window) {
  memory_ = board_memory(*console);
  latch = LatchBoardState{};
  window_ = window;
  const u32 fixed = 0x8000 - window;
  fixed_base_ = memory_.prg_size > fixed ? memory_.prg_size - fixed : 0;
  apply_mirroring(*console->ppu);
}

u8 mapper_mmc2::cpu_read(u16 address) {
  const u32 offset = address - 0x8000u;
  if (offset < window_) {
    return memory_.rom[latch.prg_bank + offset];
  }
  return memory_.rom[fixed_base_ + (offset - window_)];
}

// $A000 selects the PRG bank; $B000-$E000 the four CHR banks; $F000 the
// nametable arrangement.
void mapper_mmc2::cpu_write(u16 address, u8 value) {
  const u32 bank = reduce_offset((value & 0x1Fu) * 0x1000u, memory_.chr_size);
  switch (address & 0xF000) {
    case 0xA000:
      latch.prg_bank = reduce_offset((value & 0x0Fu) * window_, memory_.prg_size);
      break;
    case 0xB000:
      latch.chr_bank[0] = bank;
      break;
    case 0xC000:
      latch.chr_bank[1] = bank;
      break;
    case 0xD000:
      latch.chr_bank[2] = bank;
      break;
    case 0xE000:
      latch.chr_bank[3] = bank;
      break;
    case 0xF000:
      mirroring = value & 1;
      apply_mirroring(*console->ppu);
      break;
    default:
      break;
  }
}

const u8* mapper_mmc2::chr_pointer(u16 address) {
  if (address > 0x1FFF) {
    return memory_.pattern_ram;
  }
  // Read through the banks as they stand, then let the address move the
  // latches.
  const u8* byte;
  if (!memory_.has_chr_rom) {
    byte = memory_.pattern_ram + address;
  } else if (address < 0x1000) {
    byte = memory_.chr_rom + latch.chr_bank[latch.latch0] + address;
  } else {
    byte = memory_.chr_rom + latch.chr_bank[latch.latch1] + (address - 0x1000);
  }
  switch (address & 0x1FF0) {
    case 0x0FD0:
      latch.latch0 = 0;
      break;
    case 0x0FE0:
      latch.latch0 = 1;
      break;
    case 0x1FD0:
      latch.latch1 = 2;
      break;
    case 0x1FE0:
      latch.latch1 = 3;
      break;
    default:
      break;
  }
  return byte;
}

// The latches index the CHR fields: anything but their two values would read
// outside them.
void mapper_mmc2::state_fields(StateVisitor& v) {
  mirroring_field(v, mirroring);
  v.bank_offset(latch.prg_bank, 0, memory_.prg_size);
  for (u32& bank : latch.chr_bank)
    v.bank_offset(bank, 0, memory_.chr_size);
  v.u32_field(latch.latch0, 0, 1);
  v.u32_field(latch.latch1, 2, 3);
}

// MMC4.

int mapper_mmc4::init() {
  name = "MMC4";
  number = 10;
  power_up_windows(0x4000);
  return 1;
}
