#include "lifecycle/power.h"

#include <cstring>
#include <new>
#include <vector>

#include "audio/apu.h"
#include "cartridge/mapper.h"
#include "core/console.h"
#include "cpu/idle_loop.h"
#include "lifecycle/file_write.h"
#include "lifecycle/save_place.h"
#include "lifecycle/session.h"
#include "ppu/ppu.h"
#include "text/message.h"

namespace {

constexpr int sample_rate = 44100;
constexpr int chunk_samples = 2205;

// A missing battery file is normal (a first run); a short one fills what it
// holds and leaves the rest of the RAM at zero.
void read_battery_file(Console& console) {
  u8* ram = console.memory.get() + battery_ram_start;
  SaveFile file = save_file(console.rom_path, 0);
  SavePlace place = save_place_to_read(file);
  std::vector<u8> bytes;
  if (place != SavePlace::none && read_file_prefix(save_path(file, place), battery_ram_bytes, bytes)) {
    show_message(console.platform, "Loaded SRAM");
    if (!bytes.empty())
      std::memcpy(ram, bytes.data(), bytes.size());
    if (place == SavePlace::saves_folder)
      console.saves_folder_used = true;
  }
  console.battery_saved.assign(ram, ram + battery_ram_bytes);
}

}  // namespace

std::string battery_file_path(const std::string& rom_path) {
  return strip_extension(rom_path) + ".sav";
}

bool write_battery_file(Console& console) {
  if (!console.mapper || !console.mapper->battery || !console.memory)
    return true;
  const u8* ram = console.memory.get() + battery_ram_start;
  SavePlace place = write_save_file(save_file(console.rom_path, 0), ram, battery_ram_bytes);
  if (place == SavePlace::none)
    return false;
  if (place == SavePlace::saves_folder)
    console.saves_folder_used = true;
  console.battery_saved.assign(ram, ram + battery_ram_bytes);
  return true;
}

bool battery_changed(const Console& console) {
  if (!console.mapper || !console.mapper->battery || !console.memory)
    return false;
  const u8* ram = console.memory.get() + battery_ram_start;
  return console.battery_saved.size() != battery_ram_bytes ||
         std::memcmp(console.battery_saved.data(), ram, battery_ram_bytes) != 0;
}

int power_up(Console& console, ChunkCallback on_chunk, void* on_chunk_user, int sound_on) {
  console.nmi_pending = 0;
  console.reset_pending = 1;
  console.cycle_budget = 0;
  console.a = console.x = console.y = 0;
  console.p = 0x24;
  console.s = 0xFF;
  console.irq_pending = 0;
  console.pad_shift = 0;
  idle_loop_forget(console);

  int status = 1;
  console.memory.reset(new (std::nothrow) u8[memory_bytes]());
  if (!console.memory)
    status = -1;

  console.ppu.reset(new (std::nothrow) Ppu());
  if (!console.ppu) {
    status = -11;
  } else {
    console.ppu->console = &console;
    int result = ppu_create(*console.ppu);
    if (result <= 0)
      status = result - 10;
  }
  console.apu_cycles = 0;

  console.apu.reset(new (std::nothrow) Apu());
  if (!console.apu) {
    status = -3;
  } else {
    console.apu->console = &console;
    if (apu_create(*console.apu, sound_on, sample_rate, chunk_samples, on_chunk, on_chunk_user) <= 0)
      status = -3;
    apu_set_shortcuts(*console.apu, console.fast.on);
  }

  // The mapper publishes its nametable arrangement to the PPU in init, so it
  // needs a PPU whose memories exist.
  if (!console.mapper || !console.ppu || !console.ppu->vram) {
    status = -4;
  } else {
    console.mapper->console = &console;
    if (console.mapper->init() == 0)
      status = -4;
  }

  if (console.memory && console.mapper && console.mapper->battery)
    read_battery_file(console);
  return status;
}

bool close_console(Console& console, int skip_battery) {
  bool saved = skip_battery || write_battery_file(console);
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
  return saved;
}
