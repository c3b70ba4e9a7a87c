// A console built around a test board for unit tests: 32 KB of writable
// program memory at $8000-$FFFF (so a test can place code and vectors there),
// pattern RAM, and a log of every pattern address the PPU asked for.
#pragma once

#include <memory>
#include <vector>

#include "cartridge/mapper.h"
#include "core/console.h"

class test_mapper : public mapper {
 public:
  std::vector<u8> prg = std::vector<u8>(0x8000, 0xEA);  // NOP everywhere
  std::vector<u16> chr_log;                             // addresses passed to chr_pointer
  std::vector<u8> chr = std::vector<u8>(0x2000 + 16, 0);

  int init() override {
    name = "Test";
    return 1;
  }
  u8 cpu_read(u16 address) override { return prg[address - 0x8000]; }
  void cpu_write(u16 address, u8 value) override { prg[address - 0x8000] = value; }
  const u8* chr_pointer(u16 address) override {
    chr_log.push_back(address);
    return chr.data() + (address & 0x1FFF);
  }
  void state_fields(StateVisitor& v) override { mirroring_field(v, mirroring); }
};

// A powered-up console (sound off) on a test board whose reset vector points
// at $8000. Returns the board through `board`.
std::unique_ptr<Console> make_test_console(test_mapper** board = nullptr);

// Writes bytes into the board's program memory at a CPU address >= $8000.
void place_code(Console& console, u16 address, const std::vector<u8>& bytes);
