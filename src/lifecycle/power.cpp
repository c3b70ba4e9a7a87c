// Power-up and release of a console around a loaded image.
#include "lifecycle/power.h"

#include <new>

#include "audio/apu.h"
#include "cartridge/mapper.h"
#include "core/console.h"
#include "ppu/ppu.h"

int power_up(Console& console, ChunkCallback on_chunk, void* on_chunk_user, int sound_on) {
  console.nmi_pending = 0;
  console.reset_pending = 1;
  console.cycle_budget = 0;
  console.a = console.x = console.y = 0;
  console.p = 0x24;
  console.s = 0xFF;
  console.irq_pending = 0;

  int status = 1;
  console.memory.reset(new (std::nothrow) u8[65536]());
  if (!console.memory)
    status = -1;

  console.ppu.reset(new (std::nothrow) Ppu());
  if (console.ppu) {
    console.ppu->console = &console;
    int result = ppu_create(*console.ppu);
    if (result <= 0)
      status = result - 10;
  } else {
    status = -11;
  }
  console.apu_cycles = 0;

  console.apu.reset(new (std::nothrow) Apu());
  if (console.apu) {
    console.apu->console = &console;
    if (apu_create(*console.apu, sound_on, 44100, 2205, on_chunk, on_chunk_user) <= 0)
      status = -3;
  } else {
    status = -3;
  }

  console.mapper->console = &console;
  if (console.ppu && console.ppu->vram && console.mapper->init() == 0)
    status = -4;
  return status;
}

void close_console(Console& console, int /*skip_battery*/) {
  if (console.ppu)
    ppu_free(*console.ppu);
  if (console.apu)
    apu_free(*console.apu);
  console.memory.reset();
  console.rom_data.clear();
  console.rom_data.shrink_to_fit();
  console.ppu.reset();
  console.apu.reset();
  console.mapper.reset();
}
