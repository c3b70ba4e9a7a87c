// The 6502 execution engine: driven by time in PPU dots, it runs whole
// instructions while the CPU's balance is positive and carries the debt of the
// last one into the next call.
#pragma once

#include "core/types.h"

struct Console;

// Base CPU cycles of every opcode; N and Z for every result byte.
extern const u8 cycle_table[256];
extern const u8 zn_table[256];

// Runs the CPU for the given number of PPU dots (and the APU for a third of
// that many CPU cycles).
void cpu_run(Console& console, float dots);

// Takes the reset at once: loads pc from the reset vector, clears
// reset_pending and charges 7 cycles, as the first step of cpu_run would.
void cpu_take_reset(Console& console);
