// Building and releasing a console around a loaded image.
#pragma once

#include "audio/apu.h"

struct Console;

// Sets the CPU's power-up values and creates the memory array, the PPU and
// the APU, then initialises the mapper. Returns 1, or -1 (memory array), the
// PPU's result - 10, -3 (APU) or -4 (mapper init); a later failure's code
// replaces an earlier one.
int power_up(Console& console, ChunkCallback on_chunk, void* on_chunk_user, int sound_on);

// Writes the battery file (unless skip_battery) and releases the console's parts.
void close_console(Console& console, int skip_battery);
