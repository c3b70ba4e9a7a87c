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
  fetches_interrupt = true;
  windows = bank_windows(*console);
  for (u32& bank : chr_bank) {
    bank = 0;
  }
  // The second-last 8 KB at $8000-$DFFF and the last at $E000 until the
  // program selects banks.
  prg_bank[0] = prg_bank[1] = prg_bank[2] = windows.prg_size - 0x4000;
  prg_bank[3] = windows.prg_size - 0x2000;
  bank_select = 0;
  irq_latch = 0;
  irq_counter = 0;
  irq_enabled = 0;
  irq_reload = 0;
  last_chr_address = 0;
  update_windows();
  apply_mirroring(*console->ppu);
  return 1;
}

u32 mapper_mmc3::chr_offset(u32 kilobyte_bank) const {
  return windows.prg_size + reduce_offset(kilobyte_bank * 0x400u, windows.chr_size);
}

void mapper_mmc3::update_windows() {
  for (int i = 0; i < 4; ++i)
    map_prg(windows, i, 1, prg_bank[i]);
  for (int i = 0; i < 8; ++i)
    map_chr(windows, i, 1, chr_bank[i]);
  publish_pattern_windows(*this, windows);
}

void mapper_mmc3::bank_data(u8 value) {
  const u32 prg = windows.prg_size;
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
      update_windows();
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
    return windows.pattern_ram;
  }
  if ((last_chr_address & 0x1000) == 0 && (address & 0x1000) != 0) {
    clock_counter();
  }
  last_chr_address = address;
  return window_pattern(windows, address);
}

// The latch is written from one byte and the counter reloads to at most the
// latch; states saved before the reload took the latch alone may hold
// latch + 1 (up to $100), which counts down like any other value.
// chr_pointer records only pattern addresses. CHR offsets include the PRG
// size; below it lies only the power-up value 0.
void mapper_mmc3::state_fields(StateVisitor& v) {
  mirroring_field(v, mirroring);
  v.u8_field(bank_select);
  for (u32& bank : prg_bank)
    v.bank_offset(bank, 0, windows.prg_size);
  for (u32& bank : chr_bank)
    v.bank_offset(bank, windows.prg_size, windows.chr_size);
  v.u32_field(irq_latch, 0, 0xFF);
  v.i32_field(irq_counter, 0, 0x100);
  v.u32_field(irq_enabled, 0, 1);
  v.u32_field(irq_reload, 0, 1);
  v.u32_field(last_chr_address, 0, 0x1FFF);
}
