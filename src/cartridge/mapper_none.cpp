// The board without registers (iNES mapper 0): up to 32 KB of PRG-ROM at
// $8000 and 8 KB of CHR-ROM or CHR RAM. A 16 KB PRG-ROM has no A14 line, so
// $C000-$FFFF repeat $8000-$BFFF.
#include "cartridge/boards.h"
#include "core/console.h"
#include "core/state_io.h"
#include "ppu/ppu.h"

int mapper_none::init() {
  name = "None";
  number = 0;
  windows = bank_windows(*console);
  map_prg(windows, 0, 2, 0);
  map_prg(windows, 2, 2, windows.prg_size < 32000 ? 0 : 0x4000);
  apply_mirroring(*console->ppu);
  publish_pattern_windows(*this, windows);
  return 1;
}

void mapper_none::cpu_write(u16, u8) {}

void mapper_none::state_fields(StateVisitor& v) {
  mirroring_field(v, mirroring);
}
