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
  memory_ = board_memory(*console);
  prg_bank[0] = 0;
  prg_bank[1] = memory_.prg_size - 0x4000;
  apply_mirroring(*console->ppu);
  publish_pattern_halves(*this);
  return 1;
}

u8 mapper_prgswitch::cpu_read(u16 address) {
  if (address < 0xC000) {
    return memory_.rom[prg_bank[0] + (address - 0x8000)];
  }
  return memory_.rom[prg_bank[1] + (address - 0xC000)];
}

void mapper_prgswitch::cpu_write(u16, u8 value) {
  prg_bank[0] = reduce_offset(fit_bank(value, 0x4000, memory_.prg_size), memory_.prg_size);
}

const u8* mapper_prgswitch::chr_pointer(u16 address) {
  if (address > 0x1FFF) {
    return memory_.pattern_ram;
  }
  return (memory_.has_chr_rom ? memory_.chr_rom : memory_.pattern_ram) + address;
}

void mapper_prgswitch::state_fields(StateVisitor& v) {
  mirroring_field(v, mirroring);
  for (u32& bank : prg_bank)
    v.bank_offset(bank, 0, memory_.prg_size);
}
