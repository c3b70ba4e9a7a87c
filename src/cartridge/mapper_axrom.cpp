// The AxROM board (iNES mapper 7): one 32 KB PRG window and a one-screen
// nametable arrangement, both chosen by any write to $8000-$FFFF. Patterns
// always come from 8 KB of CHR RAM, even when the image carries CHR-ROM.
#include "cartridge/boards.h"
#include "core/console.h"
#include "core/state_io.h"
#include "ppu/ppu.h"

int mapper_axrom::init() {
  name = "AxROM";
  number = 7;
  windows = bank_windows(*console);
  windows.chr_rom = false;
  // Power up on the last 32 KB; an image smaller than that starts at 0.
  prg_bank = windows.prg_size > 0x8000 ? windows.prg_size - 0x8000 : 0;
  update_windows();
  apply_mirroring(*console->ppu);
  publish_pattern_windows(*this, windows);
  return 1;
}

void mapper_axrom::cpu_write(u16, u8 value) {
  // Bits 0-2 select the 32 KB bank, bit 4 which kilobyte of nametable
  // memory all four screens show.
  prg_bank = reduce_offset((value & 7u) * 0x8000u, windows.prg_size);
  update_windows();
  mirroring = (value & 0x10) ? mirroring_single_upper : mirroring_single_lower;
  apply_mirroring(*console->ppu);
}

void mapper_axrom::state_fields(StateVisitor& v) {
  mirroring_field(v, mirroring);
  v.bank_offset(prg_bank, 0, windows.prg_size);
}

void mapper_axrom::update_windows() {
  map_prg(windows, 0, 4, prg_bank);
}
