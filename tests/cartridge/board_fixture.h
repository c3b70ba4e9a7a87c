// Builds a console around a made-up image, without the CPU or a frame: just
// enough for the cartridge code (image bytes, a PPU with its video memory and
// the mapper from the factory).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cartridge/mapper.h"
#include "core/console.h"
#include "platform/platform.h"
#include "ppu/ppu.h"

// Remembers every message and message box instead of showing them.
class RecordingPlatform : public Platform {
 public:
  std::vector<std::string> messages;
  std::vector<std::pair<std::string, std::string>> boxes;

  bool key_down(int) override { return false; }
  void show_message(const std::string& text) override { messages.push_back(text); }
  void message_box(const std::string& title, const std::string& text) override {
    boxes.emplace_back(title, text);
  }
  void pause_audio(bool) override {}
};

// A byte that differs between neighbouring 1 KB banks and inside each bank,
// so that a read from the wrong offset is noticed.
inline u8 pattern_byte(u32 offset) {
  return static_cast<u8>((offset * 7) ^ (offset >> 10) * 13 ^ (offset >> 8));
}

struct BoardFixture {
  RecordingPlatform platform;
  Console console;

  // prg and chr in bytes; the image bytes follow pattern_byte.
  BoardFixture(int mapper_number, u32 prg, u32 chr, i32 mirroring = mirroring_horizontal) {
    console.platform = &platform;
    console.prg_size = prg;
    console.chr_size = chr;
    console.rom_size = prg + chr;
    console.rom_data.assign(prg + chr + rom_guard_bytes, 0);
    for (u32 i = 0; i < prg + chr; ++i) {
      console.rom_data[i] = pattern_byte(i);
    }
    console.ppu = std::make_unique<Ppu>();
    console.ppu->console = &console;
    console.ppu->vram = std::make_unique<u8[]>(vram_bytes);
    for (int i = 0; i < vram_bytes; ++i) {
      console.ppu->vram[i] = static_cast<u8>(0xA5 ^ i);
    }
    mapper* board = create_mapper(console, mapper_number);
    board->console = &console;
    board->mirroring = mirroring;
    board->init();
  }

  mapper& board() { return *console.mapper; }
  template <typename Board>
  Board& as() {
    return dynamic_cast<Board&>(*console.mapper);
  }
  const u8* rom() const { return console.rom_data.data(); }
  const u8* vram() const { return console.ppu->vram.get(); }

  // True when the CPU window at `address` shows `length` bytes from rom_data
  // starting at `offset`.
  bool cpu_window_is(u16 address, u32 length, u32 offset) {
    for (u32 i = 0; i < length; ++i) {
      if (board().cpu_read(static_cast<u16>(address + i)) != console.rom_data[offset + i]) {
        return false;
      }
    }
    return true;
  }
  // True when the pattern window at `address` points at rom_data + offset.
  bool chr_window_is(u16 address, u32 length, u32 offset) {
    for (u32 i = 0; i < length; i += 0x100) {
      if (board().chr_pointer(static_cast<u16>(address + i)) != rom() + offset + i) {
        return false;
      }
    }
    return true;
  }
  // Where a pattern pointer lies: rom_data offsets as they are, video memory
  // offsets with 1 << 24 added, -1 for anywhere else.
  i64 pattern_location(const u8* p) const {
    if (p >= rom() && p < rom() + console.rom_data.size()) {
      return p - rom();
    }
    if (p >= vram() && p < vram() + vram_bytes) {
      return (p - vram()) + (i64{1} << 24);
    }
    return -1;
  }
  // True when p lies inside the declared image data or the pattern RAM.
  bool pattern_inside(const u8* p) const {
    const i64 at = pattern_location(p);
    return at >= 0 && (at >= (i64{1} << 24) || at < static_cast<i64>(console.prg_size + console.chr_size));
  }
  // The five serial writes that deliver a value to an MMC1 register.
  void mmc1_write(u16 address, u8 value) {
    for (int bit = 0; bit < 5; ++bit) {
      board().cpu_write(address, static_cast<u8>((value >> bit) & 1));
    }
  }
};
