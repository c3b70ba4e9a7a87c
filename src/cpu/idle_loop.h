// Wait loops. A program spends most of each frame in a loop such as
//
//     wait:  LDA frame_done
//            BEQ wait
//
// waiting for its interrupt handler to change a byte of work RAM, in a loop
// that polls the PPU's status for the vertical blank or the sprite-zero hit,
// or in a jump to itself. Once the registers and flags hold what the loop's
// read gives them, a turn of the loop changes nothing but the time: the read
// sees the same byte (only the CPU writes work RAM, and it is spinning; the
// PPU sets its status flags only between the CPU's runs, never during one),
// and the branch goes back. Until something outside the CPU acts (a request,
// an APU or cartridge event, the end of the run), the turns can be counted
// off instead of executed, leaving exactly the balance and program counter
// they would leave.
#pragma once

#include "core/console.h"
#include "cpu/cpu.h"
#include "ppu/ppu.h"

// What the first instruction of a wait loop does with the byte it reads.
enum : u8 { idle_kind_jump = 0, idle_kind_load, idle_kind_bit, idle_kind_compare };

// Looks at the code at start, the target of a taken branch or jump that
// closes a loop of at most two instructions, and remembers it when it is a
// wait loop (or that it is not one).
void idle_loop_examine(Console& console, u16 start);
inline void idle_loop_consider(Console& console, u16 start) {
  if (start != console.fast.idle_loop.start && start != console.fast.idle_loop.rejected)
    idle_loop_examine(console, start);
}

// Forgets what is known about loops: the code at their addresses may change.
inline void idle_loop_forget(Console& console) {
  console.fast.idle_loop = IdleLoop{};
}

// Whether the CPU is at the start or the branch of the known loop.
inline bool idle_loop_at(const Console& console) {
  return console.pc == console.fast.idle_loop.start || console.pc == console.fast.idle_loop.branch;
}

// Whether the CPU, at the known loop, spins without changing anything: no
// request would be taken, the read changes nothing and leaves the registers
// and flags as they are, and the branch goes back. A read of the status
// changes nothing once the vertical-blank flag and the write toggle, which it
// clears, are clear, and the read has been noted for the race at the flag's
// rise.
inline bool idle_loop_settled(const Console& c) {
  const IdleLoop& loop = c.fast.idle_loop;
  if (c.reset_pending | c.nmi_pending)
    return false;
  if (c.irq_pending && !(c.p & flag_i))
    return false;
  if ((c.p & loop.taken_mask) != loop.taken_value)
    return false;
  if (loop.kind == idle_kind_jump)
    return loop.start != no_idle_loop;
  u8 m;
  if (loop.address < 0x2000) {
    m = c.memory[loop.address & 0x07FF];
  } else {
    const Ppu& ppu = *c.ppu;
    m = ppu.status;
    if ((m & status_vblank) || ppu.write_toggle || !ppu.status_read_flag)
      return false;
  }
  const u8 reg = loop.reg == 0 ? c.a : (loop.reg == 1 ? c.x : c.y);
  if (loop.kind == idle_kind_load)
    return reg == m && (c.p & (flag_n | flag_z)) == zn_table[m];
  if (loop.kind == idle_kind_bit) {
    const u8 flags = static_cast<u8>((m & (flag_n | flag_v)) | ((c.a & m) == 0 ? flag_z : 0));
    return (c.p & (flag_n | flag_v | flag_z)) == flags;
  }
  const u8 compared = static_cast<u8>(zn_table[static_cast<u8>(reg - m)] | (reg >= m ? flag_c : 0));
  return (c.p & (flag_n | flag_z | flag_c)) == compared;
}

// The cost in ticks of the step at pc in the known loop, and where it leaves pc.
inline float idle_loop_step_ticks(const Console& console) {
  const IdleLoop& loop = console.fast.idle_loop;
  return console.pc == loop.start ? loop.first_ticks : loop.second_ticks;
}
inline u16 idle_loop_next_pc(const Console& console) {
  const IdleLoop& loop = console.fast.idle_loop;
  if (console.pc == loop.start && loop.branch != no_idle_loop)
    return static_cast<u16>(loop.branch);
  return static_cast<u16>(loop.start);
}

// Whether the balance is a whole number of ticks, small enough that adding and
// subtracting whole costs is exact: only then are turns counted off.
inline bool idle_loop_whole_ticks(float budget) {
  return budget > -16777216.0f && budget < 16777216.0f &&
         budget == static_cast<float>(static_cast<i32>(budget));
}

// What is left of a positive balance at the loop's start after every whole
// turn that begins with a positive balance (all of it when it is not a whole
// number of ticks).
float idle_loop_whole_turns(const IdleLoop& loop, float budget);

// For the CPU's run loop, at a step with a positive balance: when the CPU is
// settled in the known loop, spends this step and every whole turn after it
// that begins with a positive balance, and returns true. Returns false,
// changing nothing, when the step must be executed.
inline bool idle_loop_run(Console& console) {
  if (!idle_loop_settled(console))
    return false;
  float budget = console.cycle_budget - idle_loop_step_ticks(console);
  console.pc = idle_loop_next_pc(console);
  if (budget > 0 && console.pc == console.fast.idle_loop.start)
    budget = idle_loop_whole_turns(console.fast.idle_loop, budget);
  console.cycle_budget = budget;
  return true;
}
