// Wait loops. A program spends most of each frame in a loop such as
//
//     wait:  LDA frame_done
//            BEQ wait
//
// waiting for its interrupt handler to change a byte of work RAM, or in a
// jump to itself. Once the registers and flags hold what the loop's read gives
// them, a turn of the loop changes nothing but the time: the read sees the same
// byte (only the CPU writes work RAM, and it is spinning), and the branch goes
// back. Until something outside the CPU acts (a request, an APU or cartridge
// event, the end of the run), the turns can be counted off instead of
// executed, leaving exactly the balance and program counter they would leave.
#pragma once

#include "core/console.h"

// Looks at the code at start, the target of a taken branch or jump that
// closes a loop of at most two instructions, and remembers it when it is a
// wait loop (or that it is not one).
void idle_loop_examine(Console& console, u16 start);
inline void idle_loop_consider(Console& console, u16 start) {
  if (start != console.idle_loop.start && start != console.idle_loop.rejected)
    idle_loop_examine(console, start);
}

// Forgets what is known about loops: the code at their addresses may change.
inline void idle_loop_forget(Console& console) {
  console.idle_loop = IdleLoop{};
}

// Whether the CPU is at the start or the branch of the known loop.
inline bool idle_loop_at(const Console& console) {
  return console.pc == console.idle_loop.start || console.pc == console.idle_loop.branch;
}

// Whether the CPU, at the known loop, spins without changing anything: no
// request would be taken, the read leaves the registers and flags as they
// are, and the branch goes back.
bool idle_loop_settled(const Console& console);

// The cost in ticks of the step at pc in the known loop, and where it leaves pc.
inline float idle_loop_step_ticks(const Console& console) {
  const IdleLoop& loop = console.idle_loop;
  return console.pc == loop.start ? loop.first_ticks : loop.second_ticks;
}
inline u16 idle_loop_next_pc(const Console& console) {
  const IdleLoop& loop = console.idle_loop;
  if (console.pc == loop.start && loop.branch != no_idle_loop)
    return static_cast<u16>(loop.branch);
  return static_cast<u16>(loop.start);
}

// For the CPU's run loop, at a step with a positive balance: when the CPU is
// settled in the known loop, spends this step and every whole turn after it
// that begins with a positive balance, and returns true. Returns false,
// changing nothing, when the step must be executed.
bool idle_loop_run(Console& console);
