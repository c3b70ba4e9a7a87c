// MMC3 (iNES mapper 4): four 8 KB PRG windows (two switchable), eight 1 KB
// CHR windows set through six bank registers, a nametable arrangement
// register and a scanline counter.
//
// The counter has no clock of its own: it watches PPU address line A12 and
// counts its rising edges. With background patterns at $0000 and sprite
// patterns at $1000, A12 rises once per rendered line (at the first sprite
// fetch), the pre-render line included, so the counter counts lines; the
// IRQ it raises lets a game split the screen at a chosen line. Latch N set
// during vertical blank requests its first interrupt on line N - 1 (the
// pre-render line's edge takes the latch), and the new scroll a handler
// writes there shows from line N.
#include "cartridge/boards.h"
#include "core/console.h"
#include "core/state_io.h"
#include "ppu/ppu.h"

int mapper_mmc3::init() {
  name = "MMC3";
  number = 4;
  memory_ = board_memory(*console);
  for (u32& bank : chr_bank) {
    bank = 0;
  }
  // The second-last 8 KB at $8000-$DFFF and the last at $E000 until the
  // program selects banks.
  prg_bank[0] = prg_bank[1] = prg_bank[2] = memory_.prg_size - 0x4000;
  prg_bank[3] = memory_.prg_size - 0x2000;
  bank_select = 0;
  irq_latch = 0;
  irq_counter = 0;
  irq_enabled = 0;
  irq_reload = 0;
  last_chr_address = 0;
  apply_mirroring(*console->ppu);
  return 1;
}

u8 mapper_mmc3::cpu_read(u16 address) {
  return memory_.rom[prg_bank[(address - 0x8000) >> 13] + (address & 0x1FFF)];
}

u32 mapper_mmc3::chr_offset(u32 kilobyte_bank) const {
  return memory_.prg_size + reduce_offset(kilobyte_bank * 0x400u, memory_.chr_size);
}

void mapper_mmc3::bank_data(u8 value) {
  const u32 prg = memory_.prg_size;
  // CHR inversion swaps the two 4 KB halves the registers address.
  const int half = (bank_select & 0x80) ? 4 : 0;
  switch (bank_select & 7) {
    case 0:  // 2 KB at $0000 (or $1000 inverted): banks V and V + 1
      chr_bank[half + 0] = chr_offset(value);
      chr_bank[half + 1] = chr_offset(value + 1u);
      break;
    case 1:  // 2 KB at $0800 (or $1800)
      chr_bank[half + 2] = chr_offset(value);
      chr_bank[half + 3] = chr_offset(value + 1u);
      break;
    case 2:
    case 3:
    case 4:
    case 5:  // 1 KB each at $1000-$1C00 (or $0000-$0C00)
      chr_bank[(4 - half) + (bank_select & 7) - 2] = chr_offset(value);
      break;
    case 6:  // 8 KB at $8000, or at $C000 in PRG mode 1
      if (bank_select & 0x40) {
        prg_bank[2] = reduce_offset(fit_bank(value, 0x2000, prg), prg);
        prg_bank[0] = prg - 0x4000;
      } else {
        prg_bank[0] = reduce_offset(fit_bank(value, 0x2000, prg), prg);
        prg_bank[2] = prg - 0x4000;
      }
      break;
    default:  // 7: 8 KB at $A000
      prg_bank[1] = reduce_offset(fit_bank(value, 0x2000, prg), prg);
      break;
  }
}

void mapper_mmc3::cpu_write(u16 address, u8 value) {
  switch (address & 0xE001) {
    case 0x8000:
      bank_select = value;
      break;
    case 0x8001:
      bank_data(value);
      break;
    case 0xA000:
      mirroring = value & 1;
      apply_mirroring(*console->ppu);
      break;
    case 0xA001:  // PRG RAM protect: the RAM at $6000 is always enabled here
      break;
    case 0xC000:
      irq_latch = value;
      break;
    case 0xC001:
      irq_reload = 1;
      break;
    case 0xE000:
      // Disabling acknowledges nothing: a request already made stays with
      // the CPU until it takes it.
      irq_enabled = 0;
      break;
    default:  // $E001
      irq_enabled = 1;
      break;
  }
}

void mapper_mmc3::clock_counter() {
  // A counter at zero (or told to reload) takes the latch; any other value
  // counts down. Either way, a counter that now stands at zero requests the
  // interrupt, so latch N requests on every (N + 1)th edge, and latch 0 on
  // every edge.
  if (irq_reload || irq_counter == 0) {
    irq_counter = static_cast<i32>(irq_latch);
    irq_reload = 0;
  } else {
    --irq_counter;
  }
  // A request that falls while the CPU masks interrupts is lost, not held:
  // the next one comes a whole period later.
  if (irq_counter == 0 && irq_enabled && (console->p & flag_i) == 0) {
    console->irq_pending = 1;
  }
}

const u8* mapper_mmc3::chr_pointer(u16 address) {
  if (address > 0x1FFF) {
    return memory_.pattern_ram;
  }
  if ((last_chr_address & 0x1000) == 0 && (address & 0x1000) != 0) {
    clock_counter();
  }
  last_chr_address = address;
  if (!memory_.has_chr_rom) {
    return memory_.pattern_ram + address;
  }
  return memory_.rom + chr_bank[address >> 10] + (address & 0x3FF);
}

void mapper_mmc3::save_state(StateWriter& out) {
  out.put_i32(mirroring);
  out.put_u8(bank_select);
  for (u32 bank : prg_bank) {
    out.put_u32(bank);
  }
  for (u32 bank : chr_bank) {
    out.put_u32(bank);
  }
  out.put_u32(irq_latch);
  out.put_i32(irq_counter);
  out.put_u32(irq_enabled);
  out.put_u32(irq_reload);
  out.put_u32(last_chr_address);
}

bool mapper_mmc3::load_state(StateReader& in) {
  if (in.remaining() < static_cast<std::size_t>(state_size())) {
    return false;
  }
  const i32 saved_mirroring = in.get_i32();
  const u8 saved_select = in.get_u8();
  u32 saved_prg[4], saved_chr[8];
  for (u32& bank : saved_prg) {
    bank = in.get_u32();
  }
  for (u32& bank : saved_chr) {
    bank = in.get_u32();
  }
  const u32 saved_latch = in.get_u32();
  const i32 saved_counter = in.get_i32();
  const u32 saved_enabled = in.get_u32();
  const u32 saved_reload = in.get_u32();
  const u32 saved_last = in.get_u32();
  // The latch is written from one byte and the counter reloads to at most
  // the latch; states saved before the reload took the latch alone may hold
  // latch + 1 (up to $100), which counts down like any other value.
  // chr_pointer records only pattern addresses.
  if (!in.ok || !valid_mirroring(saved_mirroring) || saved_latch > 0xFF || saved_counter < 0 ||
      saved_counter > 0x100 || saved_enabled > 1 || saved_reload > 1 || saved_last > 0x1FFF) {
    return false;
  }
  mirroring = saved_mirroring;
  bank_select = saved_select;
  for (int i = 0; i < 4; ++i) {
    prg_bank[i] = reduce_offset(saved_prg[i], memory_.prg_size);
  }
  for (int i = 0; i < 8; ++i) {
    chr_bank[i] = reduce_absolute_chr(saved_chr[i], memory_.prg_size, memory_.chr_size);
  }
  irq_latch = saved_latch;
  irq_counter = saved_counter;
  irq_enabled = saved_enabled;
  irq_reload = saved_reload;
  last_chr_address = saved_last;
  return true;
}
