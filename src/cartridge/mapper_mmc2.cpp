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

namespace {

void latch_power_up(LatchBoardState& state) {
  state = LatchBoardState{};
}

// Registers $B000-$F000, common to both boards. Returns true when the
// arrangement changed.
bool latch_register_write(mapper& board, LatchBoardState& state, const BoardMemory& memory, u16 address,
                          u8 value) {
  const u32 bank = reduce_offset((value & 0x1Fu) * 0x1000u, memory.chr_size);
  switch (address & 0xF000) {
    case 0xB000:
      state.chr_bank[0] = bank;
      break;
    case 0xC000:
      state.chr_bank[1] = bank;
      break;
    case 0xD000:
      state.chr_bank[2] = bank;
      break;
    case 0xE000:
      state.chr_bank[3] = bank;
      break;
    case 0xF000:
      board.mirroring = value & 1;
      return true;
    default:
      break;
  }
  return false;
}

const u8* latch_chr_pointer(LatchBoardState& state, const BoardMemory& memory, u16 address) {
  if (address > 0x1FFF) {
    return memory.pattern_ram;
  }
  // Read through the banks as they stand, then let the address move the
  // latches.
  const u8* byte;
  if (!memory.has_chr_rom) {
    byte = memory.pattern_ram + address;
  } else if (address < 0x1000) {
    byte = memory.chr_rom + state.chr_bank[state.latch0] + address;
  } else {
    byte = memory.chr_rom + state.chr_bank[state.latch1] + (address - 0x1000);
  }
  switch (address & 0x1FF0) {
    case 0x0FD0:
      state.latch0 = 0;
      break;
    case 0x0FE0:
      state.latch0 = 1;
      break;
    case 0x1FD0:
      state.latch1 = 2;
      break;
    case 0x1FE0:
      state.latch1 = 3;
      break;
    default:
      break;
  }
  return byte;
}

void latch_save(const mapper& board, const LatchBoardState& state, StateWriter& out) {
  out.put_i32(board.mirroring);
  out.put_u32(state.prg_bank);
  for (u32 bank : state.chr_bank) {
    out.put_u32(bank);
  }
  out.put_u32(state.latch0);
  out.put_u32(state.latch1);
}

bool latch_load(mapper& board, LatchBoardState& state, const BoardMemory& memory, StateReader& in) {
  if (in.remaining() < 32) {
    return false;
  }
  const i32 saved_mirroring = in.get_i32();
  LatchBoardState saved;
  saved.prg_bank = in.get_u32();
  for (u32& bank : saved.chr_bank) {
    bank = in.get_u32();
  }
  saved.latch0 = in.get_u32();
  saved.latch1 = in.get_u32();
  // The latches index the CHR fields: anything but their two values would
  // read outside them.
  if (!in.ok || !valid_mirroring(saved_mirroring) || saved.latch0 > 1 ||
      (saved.latch1 != 2 && saved.latch1 != 3)) {
    return false;
  }
  saved.prg_bank = reduce_offset(saved.prg_bank, memory.prg_size);
  for (u32& bank : saved.chr_bank) {
    bank = reduce_offset(bank, memory.chr_size);
  }
  board.mirroring = saved_mirroring;
  state = saved;
  return true;
}

}  // namespace

// MMC2.

int mapper_mmc2::init() {
  name = "MMC2";
  number = 9;
  memory_ = board_memory(*console);
  latch_power_up(latch);
  fixed_base_ = memory_.prg_size > 0x6000 ? memory_.prg_size - 0x6000 : 0;
  apply_mirroring(*console->ppu);
  return 1;
}

u8 mapper_mmc2::cpu_read(u16 address) {
  if (address < 0xA000) {
    return memory_.rom[latch.prg_bank + (address - 0x8000)];
  }
  return memory_.rom[fixed_base_ + (address - 0xA000)];
}

void mapper_mmc2::cpu_write(u16 address, u8 value) {
  if ((address & 0xF000) == 0xA000) {
    latch.prg_bank = reduce_offset((value & 0x0Fu) * 0x2000u, memory_.prg_size);
    return;
  }
  if (latch_register_write(*this, latch, memory_, address, value)) {
    apply_mirroring(*console->ppu);
  }
}

const u8* mapper_mmc2::chr_pointer(u16 address) {
  return latch_chr_pointer(latch, memory_, address);
}

void mapper_mmc2::save_state(StateWriter& out) {
  latch_save(*this, latch, out);
}

bool mapper_mmc2::load_state(StateReader& in) {
  return latch_load(*this, latch, memory_, in);
}

// MMC4.

int mapper_mmc4::init() {
  name = "MMC4";
  number = 10;
  memory_ = board_memory(*console);
  latch_power_up(latch);
  fixed_base_ = memory_.prg_size > 0x4000 ? memory_.prg_size - 0x4000 : 0;
  apply_mirroring(*console->ppu);
  return 1;
}

u8 mapper_mmc4::cpu_read(u16 address) {
  if (address < 0xC000) {
    return memory_.rom[latch.prg_bank + (address - 0x8000)];
  }
  return memory_.rom[fixed_base_ + (address - 0xC000)];
}

void mapper_mmc4::cpu_write(u16 address, u8 value) {
  if ((address & 0xF000) == 0xA000) {
    latch.prg_bank = reduce_offset((value & 0x0Fu) * 0x4000u, memory_.prg_size);
    return;
  }
  if (latch_register_write(*this, latch, memory_, address, value)) {
    apply_mirroring(*console->ppu);
  }
}

const u8* mapper_mmc4::chr_pointer(u16 address) {
  return latch_chr_pointer(latch, memory_, address);
}

void mapper_mmc4::save_state(StateWriter& out) {
  latch_save(*this, latch, out);
}

bool mapper_mmc4::load_state(StateReader& in) {
  return latch_load(*this, latch, memory_, in);
}
