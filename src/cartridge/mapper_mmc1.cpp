// MMC1 (iNES mapper 1). The CPU loads its registers one bit at a time: each
// write to $8000-$FFFF shifts bit 0 of the value into a 5-bit serial
// register, least significant bit first, and the fifth write hands the value
// to the register that the address of that fifth write selects. A write with
// bit 7 set empties the serial register and forces PRG mode 3.
//
//   $8000-$9FFF control: bit 0 arrangement, bits 2-3 PRG mode, bit 4 CHR mode
//   $A000-$BFFF CHR bank for PPU $0000 (or the 8 KB pair in 8 KB mode)
//   $C000-$DFFF CHR bank for PPU $1000 (4 KB mode only)
//   $E000-$FFFF PRG bank
#include "cartridge/boards.h"
#include "core/console.h"
#include "core/state_io.h"
#include "ppu/ppu.h"

int mapper_mmc1::init() {
  name = "MMC1";
  number = 1;
  windows = bank_windows(*console);
  shift_reg = 0;
  shift_count = 0;
  control = 0;
  prg_bank[0] = 0;
  prg_bank[1] = windows.prg_size - 0x4000;
  apply_mirroring(*console->ppu);
  if (windows.chr_rom) {
    chr_bank[0] = windows.prg_size;
    chr_bank[1] = windows.prg_size;
  }
  update_windows();
  return 1;
}

void mapper_mmc1::cpu_write(u16 address, u8 value) {
  if (value & 0x80) {
    control |= 0x0C;
    shift_reg = 0;
    shift_count = 0;
    return;
  }
  shift_reg = static_cast<u8>(shift_reg | ((value & 1) << shift_count));
  ++shift_count;
  if (shift_count < 5) {
    return;
  }
  const u8 delivered = shift_reg;
  shift_reg = 0;
  shift_count = 0;
  deliver(address, delivered);
}

void mapper_mmc1::deliver(u16 address, u8 value) {
  const u32 prg = windows.prg_size;
  const u32 chr = windows.chr_size;
  switch ((address >> 13) & 3) {
    case 0:  // $8000: control
      control = value;
      mirroring = value & 1;
      apply_mirroring(*console->ppu);
      break;
    case 1:  // $A000: CHR bank 0
      if (control & 0x10) {
        chr_bank[0] = prg + reduce_offset(value * 0x1000u, chr);
      } else {
        chr_bank[0] = prg + reduce_offset((value & 0x1Eu) * 0x1000u, chr);
        chr_bank[1] = prg + reduce_offset((value & 0x1Eu) * 0x1000u + 0x1000u, chr);
      }
      break;
    case 2:  // $C000: CHR bank 1, ignored in 8 KB mode
      if (control & 0x10) {
        chr_bank[1] = prg + reduce_offset(value * 0x1000u, chr);
      }
      break;
    default:  // $E000: PRG bank
      switch ((control >> 2) & 3) {
        case 2:  // first 16 KB fixed at $8000, switch $C000
          prg_bank[0] = 0;
          prg_bank[1] = reduce_offset((value & 0x0Fu) * 0x4000u, prg);
          break;
        case 3:  // switch $8000, last 16 KB fixed at $C000
          prg_bank[0] = reduce_offset((value & 0x0Fu) * 0x4000u, prg);
          prg_bank[1] = prg - 0x4000;
          break;
        default:  // 32 KB at once; the low bit of the bank number is ignored
          prg_bank[0] = reduce_offset((value & 0x0Eu) * 0x4000u, prg);
          prg_bank[1] = reduce_offset((value & 0x0Eu) * 0x4000u + 0x4000u, prg);
          break;
      }
      break;
  }
  update_windows();
}

// The serial register holds at most four bits between writes, and the
// registers are five bits wide.
void mapper_mmc1::state_fields(StateVisitor& v) {
  mirroring_field(v, mirroring);
  const u8 bits = v.u8_field(shift_reg);
  const u8 count = v.u8_field(shift_count, 4);
  // A block being checked may hold any count: it is tested before it shifts.
  v.require(count <= 4 && (bits >> count) == 0);
  v.u8_field(control, 0x1F);
  for (u32& bank : prg_bank)
    v.bank_offset(bank, 0, windows.prg_size);
  for (u32& bank : chr_bank)
    v.bank_offset(bank, windows.prg_size, windows.chr_size);
}

void mapper_mmc1::update_windows() {
  map_prg(windows, 0, 2, prg_bank[0]);
  map_prg(windows, 2, 2, prg_bank[1]);
  map_chr(windows, 0, 4, chr_bank[0]);
  map_chr(windows, 4, 4, chr_bank[1]);
  publish_pattern_windows(*this, windows);
}
