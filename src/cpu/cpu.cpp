// The run loop, time accounting, reset and interrupts.
#include "cpu/cpu.h"

#include "audio/apu.h"
#include "core/bus.h"
#include "core/console.h"
#include "cpu/idle_loop.h"
#include "cpu/instructions.h"

namespace {

constexpr u16 nmi_vector = 0xFFFA;
constexpr u16 reset_vector = 0xFFFC;
constexpr u16 irq_vector = 0xFFFE;
constexpr float interrupt_ticks = 7 * ticks_per_cpu_cycle;

// Each opcode's base cost in ticks, worked out once from cycle_table.
struct OpcodeTicks {
  float ticks[256];
  OpcodeTicks() {
    for (int opcode = 0; opcode < 256; ++opcode)
      ticks[opcode] = ticks_per_cpu_cycle * static_cast<float>(cycle_table[opcode]);
  }
  float operator[](u8 opcode) const { return ticks[opcode]; }
};
const OpcodeTicks opcode_ticks;

// Vectors are read through the bus, so from the cartridge, high byte first.
u16 read_vector(Console& console, u16 vector) {
  u8 high = bus_read(console, static_cast<u16>(vector + 1));
  u8 low = bus_read(console, vector);
  return static_cast<u16>(low | (high << 8));
}

// NMI and IRQ entry. The status is pushed with B clear and bit 5 set; p itself
// is left alone, so the handler starts with I as it was.
void take_interrupt(Console& console, u16 vector) {
  stack_push(console, static_cast<u8>(console.pc >> 8));
  stack_push(console, static_cast<u8>(console.pc));
  stack_push(console, static_cast<u8>((console.p & 0xCF) | flag_unused));
  console.pc = read_vector(console, vector);
  console.cycle_budget -= interrupt_ticks;
}

}  // namespace

void cpu_take_reset(Console& console) {
  console.pc = read_vector(console, reset_vector);
  console.reset_pending = 0;
  console.cycle_budget -= interrupt_ticks;
}

// One step per pass: a pending reset, NMI or IRQ (in that order of priority)
// or one instruction. The balance is tested again before every step, so an
// interrupt taken at the end of a call can push the next instruction into a
// later call.
void cpu_execute(Console& console) {
  while (console.cycle_budget > 0) {
    // One test for the common case that no request is pending.
    if (console.reset_pending | console.nmi_pending | console.irq_pending) {
      if (console.reset_pending) {
        cpu_take_reset(console);
        continue;
      }
      if (console.nmi_pending) {
        take_interrupt(console, nmi_vector);
        console.nmi_pending = 0;
        continue;
      }
      if (!(console.p & flag_i)) {
        take_interrupt(console, irq_vector);
        console.irq_pending = 0;
        continue;
      }
    }
    // Counted-off turns of a wait loop never reach the trace hook: tracing
    // runs the exact model.
    if (console.fast.on && idle_loop_at(console) && idle_loop_run(console))
      continue;
    if (console.trace_hook)
      console.trace_hook(console, console.trace_user);
    u8 opcode = bus_read(console, console.pc++);
    int extra = execute_instruction(console, opcode);
    console.cycle_budget -= opcode_ticks[opcode] + ticks_per_cpu_cycle * static_cast<float>(extra);
  }
}
