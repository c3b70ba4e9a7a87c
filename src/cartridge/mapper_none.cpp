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
  memory_ = board_memory(*console);
  upper_window_ = memory_.prg_size < 32000 ? 0 : 0x4000;
  apply_mirroring(*console->ppu);
  publish_pattern_halves(*this);
  return 1;
}

u8 mapper_none::cpu_read(u16 address) {
  if (address < 0xC000) {
    return memory_.rom[address - 0x8000];
  }
  return memory_.rom[upper_window_ + (address - 0xC000)];
}

void mapper_none::cpu_write(u16, u8) {}

const u8* mapper_none::chr_pointer(u16 address) {
  if (address > 0x1FFF) {
    return memory_.pattern_ram;
  }
  return (memory_.has_chr_rom ? memory_.chr_rom : memory_.pattern_ram) + address;
}

void mapper_none::state_fields(StateVisitor& v) {
  mirroring_field(v, mirroring);
}
