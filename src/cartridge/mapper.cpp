// The mapper factory, the nametable arrangement and bank fitting shared by
// the boards.
#include "cartridge/mapper.h"

#include "cartridge/boards.h"
#include "core/console.h"
#include "core/state_io.h"
#include "ppu/ppu.h"
#include "text/message.h"

mapper* create_mapper(Console& console, int number) {
  MapperPointer board;
  switch (number) {
    case 0:
      board = std::make_unique<mapper_none>();
      break;
    case 1:
      board = std::make_unique<mapper_mmc1>();
      break;
    case 2:
      board = std::make_unique<mapper_prgswitch>();
      break;
    case 4:
      board = std::make_unique<mapper_mmc3>();
      break;
    case 7:
      board = std::make_unique<mapper_axrom>();
      break;
    case 9:
      board = std::make_unique<mapper_mmc2>();
      break;
    case 10:
      board = std::make_unique<mapper_mmc4>();
      break;
    default:
      // Anything else still runs, as the plain 32 KB board: many simple
      // games on other boards show at least their title screen.
      show_message(console.platform, "Unsupported Mapper: %02X", number);
      board = std::make_unique<mapper_none>();
      break;
  }
  console.mapper = std::move(board);
  return console.mapper.get();
}

void apply_mirroring(Ppu& ppu) {
  // The PPU has 2 KB of nametable memory, room for two of the four logical
  // screens; the board wires PPU address lines A10 or A11 (or neither) to
  // the memory's A10 and so decides which logical screens share memory.
  static constexpr u16 bases[4][4] = {
      {0x2000, 0x2400, 0x2000, 0x2400},  // vertical: side by side
      {0x2000, 0x2000, 0x2400, 0x2400},  // horizontal: one above the other
      {0x2000, 0x2000, 0x2000, 0x2000},  // one screen, lower kilobyte
      {0x2400, 0x2400, 0x2400, 0x2400},  // one screen, upper kilobyte
  };
  if (ppu.console == nullptr || !ppu.console->mapper) {
    return;
  }
  const i32 code = ppu.console->mapper->mirroring;
  if (code < 0 || code > 3) {
    return;
  }
  for (int i = 0; i < 4; ++i) {
    ppu.nametable_base[i] = bases[code][i];
  }
}

void publish_pattern_windows(mapper& board, const BankWindows& windows) {
  for (int i = 0; i < 8; ++i)
    board.pattern_window[i] = window_pattern(windows, static_cast<u16>(i * 0x400));
}

u32 fit_bank(u32 value, u32 bank_size, u32 rom_size) {
  // Drop high bits of the bank number until the bank lies inside the ROM:
  // for a power-of-two ROM this is the bank number modulo the bank count.
  for (u32 mask = 0xFF;; mask >>= 1) {
    const u32 offset = (value & mask) * bank_size;
    if (mask == 0 || offset + bank_size - 1 < rom_size) {
      return offset;
    }
  }
}

BankWindows bank_windows(Console& console) {
  BankWindows windows;
  windows.rom = console.rom_data.data();
  windows.prg_size = console.prg_size;
  windows.chr_size = console.chr_size;
  windows.chr_rom = console.chr_size != 0;
  windows.pattern_ram = console.ppu ? console.ppu->vram.get() : nullptr;
  map_chr(windows, 0, 8, console.prg_size);
  return windows;
}

void map_prg(BankWindows& windows, int first, int count, u32 offset) {
  for (int i = 0; i < count; ++i)
    windows.prg[first + i] = offset + 0x2000u * static_cast<u32>(i);
}

void map_chr(BankWindows& windows, int first, int count, u32 offset) {
  for (int i = 0; i < count; ++i)
    windows.chr[first + i] = offset + 0x400u * static_cast<u32>(i);
}

void mapper::save_state(StateWriter& out) {
  state_fields(out);
}

bool mapper::load_state(const u8* block, std::size_t size) {
  StateChecker check(block, size);
  state_fields(check);
  if (!check.complete())
    return false;
  StateApplier apply(block, size);
  state_fields(apply);
  update_windows();
  return true;
}

int mapper::state_size() {
  StateWriter out;
  state_fields(out);
  return static_cast<int>(out.bytes_out.size());
}

void mirroring_field(StateVisitor& v, i32& mirroring) {
  v.i32_field(mirroring, mirroring_vertical, mirroring_single_upper);
}
