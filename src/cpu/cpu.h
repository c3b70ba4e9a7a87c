// The 6502 execution engine: driven by time in PPU dots, it runs whole
// instructions while the CPU's balance is positive and carries the debt of the
// last one into the next call.
#pragma once

#include "audio/apu.h"
#include "core/console.h"
#include "core/types.h"

// Base CPU cycles of every opcode; N and Z for every result byte.
extern const u8 cycle_table[256];
extern const u8 zn_table[256];

// Hands the APU the CPU cycles it is owed and clears the debt.
inline void cpu_pay_apu(Console& console) {
  apu_run(*console.apu, console.apu_cycles);
  console.apu_cycles = 0;
}
// Runs steps (reset, NMI, IRQ or one instruction) while the balance is positive.
void cpu_execute(Console& console);

// Runs the CPU for the given number of PPU dots (and the APU for a third of
// that many CPU cycles). The renderers call it once per pixel, so the common
// case, a 1-dot budget with no instruction due, is kept to two float
// additions and two tests here.
inline void cpu_run(Console& console, float dots) {
  console.cycle_budget += dots * ticks_per_dot;
  console.apu_cycles += dots / 3.0f;
  if (console.apu_cycles >= 1.0f)
    cpu_pay_apu(console);
  if (console.cycle_budget > 0)
    cpu_execute(console);
}

// Takes the reset at once: loads pc from the reset vector, clears
// reset_pending and charges 7 cycles, as the first step of cpu_run would.
void cpu_take_reset(Console& console);
