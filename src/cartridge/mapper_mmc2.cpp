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

int mapper_mmc2::init() {
  name = "MMC2";
  number = 9;
  latch_board_init(*this, latch, windows, 0x2000);
  return 1;
}

int mapper_mmc4::init() {
  name = "MMC4";
  number = 10;
  latch_board_init(*this, latch, windows, 0x4000);
  return 1;
}

void latch_board_init(mapper& board, LatchBoardState& latch, BankWindows& windows, u32 window) {
  windows = bank_windows(*board.console);
  board.sees_line_prefetch = true;
  latch = LatchBoardState{};
  latch.window = window;
  latch_board_map(latch, windows);
  apply_mirroring(*board.console->ppu);
}

// The switchable window at $8000, then the fixed part: what follows it up to
// the end of the image (from 0 when the image is smaller than that).
void latch_board_map(const LatchBoardState& latch, BankWindows& windows) {
  const int switchable = static_cast<int>(latch.window / 0x2000);
  const u32 fixed = 0x8000 - latch.window;
  map_prg(windows, 0, switchable, latch.prg_bank);
  map_prg(windows, switchable, 4 - switchable, windows.prg_size > fixed ? windows.prg_size - fixed : 0);
}

// $A000 selects the PRG bank; $B000-$E000 the four CHR banks; $F000 the
// nametable arrangement.
void latch_board_write(mapper& board, LatchBoardState& latch, BankWindows& windows, u16 address, u8 value) {
  const u32 bank = reduce_offset((value & 0x1Fu) * 0x1000u, windows.chr_size);
  switch (address & 0xF000) {
    case 0xA000:
      latch.prg_bank = reduce_offset((value & 0x0Fu) * latch.window, windows.prg_size);
      latch_board_map(latch, windows);
      break;
    case 0xB000:
    case 0xC000:
    case 0xD000:
    case 0xE000:
      latch.chr_bank[((address >> 12) & 0xF) - 0xB] = bank;
      break;
    case 0xF000:
      board.mirroring = value & 1;
      apply_mirroring(*board.console->ppu);
      break;
    default:
      break;
  }
}

const u8* latch_board_pattern(LatchBoardState& latch, const BankWindows& windows, u16 address) {
  if (address > 0x1FFF) {
    return windows.pattern_ram;
  }
  // Read through the banks as they stand, then let the address move the
  // latches.
  const u8* byte;
  if (!windows.chr_rom) {
    byte = windows.pattern_ram + address;
  } else {
    const u32 bank = latch.chr_bank[address < 0x1000 ? latch.latch0 : latch.latch1];
    byte = windows.rom + windows.prg_size + bank + (address & 0x0FFF);
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
void latch_board_state(StateVisitor& v, mapper& board, LatchBoardState& latch, const BankWindows& windows) {
  mirroring_field(v, board.mirroring);
  v.bank_offset(latch.prg_bank, 0, windows.prg_size);
  for (u32& bank : latch.chr_bank)
    v.bank_offset(bank, 0, windows.chr_size);
  v.u32_field(latch.latch0, 0, 1);
  v.u32_field(latch.latch1, 2, 3);
}
