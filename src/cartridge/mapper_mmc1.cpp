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
  memory_ = board_memory(*console);
  shift_reg = 0;
  shift_count = 0;
  control = 0;
  prg_bank[0] = 0;
  prg_bank[1] = memory_.prg_size - 0x4000;
  apply_mirroring(*console->ppu);
  if (memory_.has_chr_rom) {
    chr_bank[0] = memory_.prg_size;
    chr_bank[1] = memory_.prg_size;
  }
  publish_pattern_halves(*this);
  return 1;
}

u8 mapper_mmc1::cpu_read(u16 address) {
  if (address < 0xC000) {
    return memory_.rom[prg_bank[0] + (address - 0x8000)];
  }
  return memory_.rom[prg_bank[1] + (address - 0xC000)];
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
  const u32 prg = memory_.prg_size;
  const u32 chr = memory_.chr_size;
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
  publish_pattern_halves(*this);
}

const u8* mapper_mmc1::chr_pointer(u16 address) {
  if (address > 0x1FFF) {
    return memory_.pattern_ram;
  }
  if (!memory_.has_chr_rom) {
    return memory_.pattern_ram + address;
  }
  if (address < 0x1000) {
    return memory_.rom + chr_bank[0] + address;
  }
  return memory_.rom + chr_bank[1] + (address - 0x1000);
}

void mapper_mmc1::save_state(StateWriter& out) {
  out.put_i32(mirroring);
  out.put_u8(shift_reg);
  out.put_u8(shift_count);
  out.put_u8(control);
  out.put_u32(prg_bank[0]);
  out.put_u32(prg_bank[1]);
  out.put_u32(chr_bank[0]);
  out.put_u32(chr_bank[1]);
}

bool mapper_mmc1::load_state(StateReader& in) {
  if (in.remaining() < static_cast<std::size_t>(state_size())) {
    return false;
  }
  const i32 saved_mirroring = in.get_i32();
  const u8 saved_shift_reg = in.get_u8();
  const u8 saved_shift_count = in.get_u8();
  const u8 saved_control = in.get_u8();
  u32 saved_prg[2], saved_chr[2];
  saved_prg[0] = in.get_u32();
  saved_prg[1] = in.get_u32();
  saved_chr[0] = in.get_u32();
  saved_chr[1] = in.get_u32();
  // The serial register holds at most four bits between writes, and the
  // registers are five bits wide.
  if (!in.ok || !valid_mirroring(saved_mirroring) || saved_shift_count > 4 ||
      (saved_shift_reg >> saved_shift_count) != 0 || saved_control > 0x1F) {
    return false;
  }
  mirroring = saved_mirroring;
  shift_reg = saved_shift_reg;
  shift_count = saved_shift_count;
  control = saved_control;
  for (int i = 0; i < 2; ++i) {
    prg_bank[i] = reduce_offset(saved_prg[i], memory_.prg_size);
    chr_bank[i] = reduce_absolute_chr(saved_chr[i], memory_.prg_size, memory_.chr_size);
  }
  publish_pattern_halves(*this);
  return true;
}
