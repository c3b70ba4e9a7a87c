// The AxROM board (iNES mapper 7): one 32 KB PRG window and a one-screen
// nametable arrangement, both chosen by any write to $8000-$FFFF. Patterns
// always come from 8 KB of CHR RAM.
#include "cartridge/boards.h"
#include "core/console.h"
#include "core/state_io.h"
#include "ppu/ppu.h"

int mapper_axrom::init() {
  name = "AxROM";
  number = 7;
  memory_ = board_memory(*console);
  // Power up on the last 32 KB; an image smaller than that starts at 0.
  prg_bank = memory_.prg_size > 0x8000 ? memory_.prg_size - 0x8000 : 0;
  apply_mirroring(*console->ppu);
  publish_pattern_halves(*this);
  return 1;
}

u8 mapper_axrom::cpu_read(u16 address) {
  return memory_.rom[prg_bank + (address - 0x8000)];
}

void mapper_axrom::cpu_write(u16, u8 value) {
  // Bits 0-2 select the 32 KB bank, bit 4 which kilobyte of nametable
  // memory all four screens show.
  prg_bank = reduce_offset((value & 7u) * 0x8000u, memory_.prg_size);
  mirroring = (value & 0x10) ? mirroring_single_upper : mirroring_single_lower;
  apply_mirroring(*console->ppu);
}

const u8* mapper_axrom::chr_pointer(u16 address) {
  if (address > 0x1FFF) {
    return memory_.pattern_ram;
  }
  return memory_.pattern_ram + address;
}

void mapper_axrom::state_fields(StateVisitor& v) {
  mirroring_field(v, mirroring);
  v.bank_offset(prg_bank, 0, memory_.prg_size);
}
