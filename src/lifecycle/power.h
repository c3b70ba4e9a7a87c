// Building and releasing a console around a loaded image, and the battery
// file that keeps the cartridge's RAM between runs.
#pragma once

#include <string>

#include "audio/apu.h"
#include "core/types.h"

struct Console;

// The cartridge's battery RAM: CPU addresses $6000-$7FFF.
constexpr u16 battery_ram_start = 0x6000;
constexpr int battery_ram_bytes = 8192;
constexpr int memory_bytes = 65536;

// Sets the CPU's power-up values and creates the memory array, the PPU and
// the APU, then initialises the mapper and reads the battery file. Returns 1,
// or -1 (memory array), the PPU's result - 10, -3 (APU) or -4 (mapper init);
// a later failure's code replaces an earlier one.
int power_up(Console& console, ChunkCallback on_chunk, void* on_chunk_user, int sound_on);

// Writes the battery file (unless skip_battery) and releases the console's
// parts. Safe on a console whose power-up failed part way. Returns false when
// the battery file was due and could not be written anywhere.
bool close_console(Console& console, int skip_battery);

// The battery file of an image beside it: its path without the extension,
// plus ".sav". (It may live in the saves folder instead: see save_place.h.)
std::string battery_file_path(const std::string& rom_path);

// Writes $6000-$7FFF to the battery file when the cartridge has a battery.
// Returns false when it has one and the file could not be written.
bool write_battery_file(Console& console);

// Whether $6000-$7FFF differ from what the battery file last received.
bool battery_changed(const Console& console);
