// A console with only what the PPU needs: a board that serves patterns from
// an array and records every pattern fetch, and a CPU program in an array
// (by default a jump to itself, so the CPU only passes time).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/apu.h"
#include "cartridge/mapper.h"
#include "core/console.h"
#include "cpu/idle_loop.h"
#include "ppu/ppu.h"

class RecordingMapper : public mapper {
 public:
  std::vector<u16> fetches;  // every address passed to chr_pointer, in order
  u8 chr[0x2000 + 16] = {};
  u8 prg[0x8000] = {};

  RecordingMapper() {
    name = "test";
    fetches.reserve(1 << 16);
    // $8000: JMP $8000
    prg[0] = 0x4C;
    prg[1] = 0x00;
    prg[2] = 0x80;
  }
  int init() override { return 1; }
  u8 cpu_read(u16 address) override { return prg[address & 0x7FFF]; }
  void cpu_write(u16, u8) override {}
  const u8* chr_pointer(u16 address) override {
    fetches.push_back(address);
    return chr + (address & 0x1FFF);
  }
  void state_fields(StateVisitor&) override {}

  // Row r of tile t in pattern table `table` ($0000 or $1000).
  void set_row(int table, int tile, int row, u8 lo, u8 hi) {
    chr[table + 16 * tile + row] = lo;
    chr[table + 16 * tile + row + 8] = hi;
  }
  // Every row of the tile the same.
  void set_tile(int table, int tile, u8 lo, u8 hi) {
    for (int row = 0; row < 8; ++row) {
      set_row(table, tile, row, lo, hi);
    }
  }
  // Replaces the CPU program at $8000 with the given bytes. A cartridge's code
  // changes only by bank switches, which the CPU hears of; this change comes
  // from outside, so the CPU is told to look at its code afresh.
  void set_program(const std::vector<u8>& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      prg[i] = bytes[i];
    }
    if (console != nullptr) {
      idle_loop_forget(*console);
    }
  }
};

struct TestConsole {
  Console console;
  RecordingMapper* board = nullptr;
  Ppu* ppu_record = nullptr;

  explicit TestConsole(int mirroring = mirroring_vertical) {
    console.memory.reset(new u8[65536]());
    auto board_owner = std::make_unique<RecordingMapper>();
    board = board_owner.get();
    board->console = &console;
    board->mirroring = mirroring;
    console.mapper = std::move(board_owner);
    console.ppu = std::make_unique<Ppu>();
    ppu_record = console.ppu.get();
    ppu_record->console = &console;
    ppu_create(*ppu_record);
    set_nametable_bases(mirroring);
    console.apu = std::make_unique<Apu>();
    console.apu->console = &console;
    apu_create(*console.apu, 0, 44100, 2205, nullptr, nullptr);
    console.reset_pending = 0;
    console.pc = 0x8000;
    console.p = 0x24;
  }
  ~TestConsole() { apu_free(*console.apu); }

  Ppu& ppu() { return *ppu_record; }

  void set_nametable_bases(int mirroring) {
    static const u16 bases[4][4] = {{0x2000, 0x2400, 0x2000, 0x2400},
                                    {0x2000, 0x2000, 0x2400, 0x2400},
                                    {0x2000, 0x2000, 0x2000, 0x2000},
                                    {0x2400, 0x2400, 0x2400, 0x2400}};
    for (int i = 0; i < 4; ++i) {
      ppu_record->nametable_base[i] = bases[mirroring][i];
    }
  }

  // Writes a PPU register as the CPU would.
  void write(u16 address, u8 value) { ppu_write(*ppu_record, address, value); }
  u8 read(u16 address) { return ppu_read(*ppu_record, address); }
  // Points $2006 at an address (the toggle must be at the first write).
  void set_address(u16 address) {
    write(0x2006, static_cast<u8>(address >> 8));
    write(0x2006, static_cast<u8>(address));
  }
  // The vram byte behind a PPU address, after folding.
  u8& vram_at(u16 address) { return ppu_record->vram[ppu_map_address(*ppu_record, address)]; }
  // Puts a byte straight into palette memory, bypassing the backdrop rule.
  void set_palette(int index, u8 value) { ppu_record->vram[0x3F00 + index] = value; }

  // One pixel's colour as $RRGGBB.
  u32 colour_at(int x, int line) const {
    const u8* p = ppu_record->frame_buffer.get() + (line * 256 + x) * 3;
    return (u32{p[0]} << 16) | (u32{p[1]} << 8) | p[2];
  }
  // A line's pixel_flags as a string of '0', '1' and '2'.
  std::string flags_of(int line) const {
    std::string text(256, '0');
    for (int x = 0; x < 256; ++x) {
      text[x] = static_cast<char>('0' + ppu_record->pixel_flags[line * 256 + x]);
    }
    return text;
  }
};

// A colour number's RGB as $RRGGBB.
inline u32 rgb_of(int colour) {
  return (u32{nes_palette[colour & 0x3F][0]} << 16) | (u32{nes_palette[colour & 0x3F][1]} << 8) |
         nes_palette[colour & 0x3F][2];
}
