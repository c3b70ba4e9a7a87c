// The PRG-switching board (iNES mapper 2, UxROM): any write to $8000-$FFFF
// selects the 16 KB bank at $8000-$BFFF; the last 16 KB stay at $C000-$FFFF,
// where the reset vector and the bank-switching code live. CHR is one
// unbanked 8 KB (usually RAM).
#include "cartridge/boards.h"
#include "core/console.h"
#include "core/state_io.h"
#include "ppu/ppu.h"

int mapper_prgswitch::init() {
  name = "PRG-Switch";
  number = 2;
  windows = bank_windows(*console);
  prg_bank[0] = 0;
  prg_bank[1] = windows.prg_size - 0x4000;
  update_windows();
  apply_mirroring(*console->ppu);
  publish_pattern_windows(*this, windows);
  return 1;
}

void mapper_prgswitch::cpu_write(u16, u8 value) {
  prg_bank[0] = reduce_offset(fit_bank(value, 0x4000, windows.prg_size), windows.prg_size);
  map_prg(windows, 0, 2, prg_bank[0]);
}

void mapper_prgswitch::state_fields(StateVisitor& v) {
  mirroring_field(v, mirroring);
  for (u32& bank : prg_bank)
    v.bank_offset(bank, 0, windows.prg_size);
}

void mapper_prgswitch::update_windows() {
  map_prg(windows, 0, 2, prg_bank[0]);
  map_prg(windows, 2, 2, prg_bank[1]);
}
