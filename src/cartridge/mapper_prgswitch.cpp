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

void mapper_prgswitch::save_state(StateWriter& out) {
  out.put_i32(mirroring);
  out.put_u32(prg_bank[0]);
  out.put_u32(prg_bank[1]);
}

bool mapper_prgswitch::load_state(StateReader& in) {
  if (in.remaining() < static_cast<std::size_t>(state_size())) {
    return false;
  }
  const i32 saved_mirroring = in.get_i32();
  const u32 low = in.get_u32();
  const u32 high = in.get_u32();
  if (!in.ok || !valid_mirroring(saved_mirroring)) {
    return false;
  }
  mirroring = saved_mirroring;
  prg_bank[0] = reduce_offset(low, memory_.prg_size);
  prg_bank[1] = reduce_offset(high, memory_.prg_size);
  return true;
}
