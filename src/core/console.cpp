// The Console record and the CPU memory bus.
#include "core/console.h"

#include "audio/apu.h"
#include "cartridge/mapper.h"
#include "core/catch_up.h"
#include "core/controller.h"
#include "cpu/idle_loop.h"
#include "ppu/ppu.h"

Console::Console() = default;
Console::~Console() = default;

// $2000-$7FFF. There is no open bus: anything nothing answers reads back
// what the memory array holds there, which for the APU's write-only
// registers stays 0.
u8 bus_read_registers(Console& console, u16 address) {
  if (address < 0x4000) {
    if (ppu_read_meets_picture(address))
      catch_up_picture(console);
    return ppu_read(*console.ppu, static_cast<u16>(0x2000 + (address & 7)));
  }
  if (address == 0x4015) {
    catch_up_apu(console);
    return apu_read_status(*console.apu, address);
  }
  if (address == 0x4016)
    return controller_read(console);
  if (address == 0x4017)
    return 0;  // no second controller
  return console.memory[address];
}

void bus_write(Console& console, u16 address, u8 value) {
  if (address < 0x2000) {
    console.memory[address & 0x07FF] = value;
  } else if (address < 0x4000) {
    if (ppu_write_meets_picture(*console.ppu, address, value))
      catch_up_picture(console);
    ppu_write(*console.ppu, static_cast<u16>(0x2000 + (address & 7)), value);
  } else if (address == 0x4014) {
    sprite_dma(console, value);
  } else if (address == 0x4016) {
    controller_strobe(console, value);
  } else if (address <= 0x4017) {
    catch_up_apu(console);
    apu_write(*console.apu, address, value);
  } else if (address >= 0x8000) {
    catch_up_picture(console);
    console.mapper->cpu_write(address, value);
    idle_loop_forget(console);  // the banks may have moved
  } else {
    console.memory[address] = value;  // $4018-$7FFF, battery RAM included
    if (console.count_result_writes && address == 0x6000 && value == 0x80)
      ++console.result_running_writes;
  }
}

// The source is the memory array itself, not the bus: a page in $08-$3F copies
// the array's (always zero) bytes there rather than the RAM mirrors or the PPU
// registers, and a page in $80-$FF copies zeros, never the cartridge. The copy
// starts at the PPU's sprite address and wraps around sprite memory.
void sprite_dma(Console& console, u8 page) {
  Ppu& ppu = *console.ppu;
  const u8* source = console.memory.get() + page * 256;
  for (int i = 0; i < 256; i++)
    ppu.oam[(ppu.oam_addr + i) & 0xFF] = source[i];
  // The CPU stalls for the whole transfer, charged at once, so the
  // instructions after the write start 513 cycles later. (The hardware takes
  // one cycle more when the transfer starts on an odd cycle; this CPU keeps
  // no cycle parity and always charges 513.)
  console.cycle_budget -= sprite_dma_ticks;
}
