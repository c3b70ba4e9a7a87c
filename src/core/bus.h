// The CPU memory bus, read side: the common cases inline.
#pragma once

#include "cartridge/mapper.h"
#include "core/console.h"

// Reads are decoded most common first: work RAM, then the cartridge, and only
// then the PPU and I/O registers.
inline u8 bus_read(Console& console, u16 address) {
  if (address < 0x2000)
    return console.memory[address & 0x07FF];
  if (address >= 0x8000)
    return console.mapper->cpu_read(address);
  return bus_read_registers(console, address);
}
