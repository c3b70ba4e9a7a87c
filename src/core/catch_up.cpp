#include "core/catch_up.h"

#include <algorithm>
#include <cmath>

#include "audio/apu.h"
#include "cartridge/mapper.h"
#include "cpu/cpu.h"
#include "cpu/idle_loop.h"

namespace {

// What the APU is owed after 0, 1 and 2 one-dot calls of cpu_run since its
// last payment: a third of a cycle per dot, paid at 1.0.
constexpr float owed_after_dots[3] = {0.0f, 1.0f / 3.0f, 1.0f / 3.0f + 1.0f / 3.0f};

// Whole APU cycles owed. Until the clock would reach a point where something
// is due, the calls they stand for only move the clock, which nothing reads
// but the APU's own registers: so they are paid when the CPU next reaches
// those registers (catch_up_apu), or before the step in which the APU could
// have something due, or at the end of the line. The margin covers the
// clock's rounding.
bool apu_could_act(const Apu& apu, int owed) {
  return owed > 0 && apu.time + static_cast<float>(owed) + 2.0f >= apu.fast.limit;
}

// The smallest count of owed cycles at which the APU could have something
// due, with the clock and limit as they stand.
int first_paying_count(const Apu& apu) {
  const double gap = static_cast<double>(apu.fast.limit) - static_cast<double>(apu.time) - 2.0;
  if (!(gap < 65536.0))
    return 65536;  // further than any line reaches
  int count = gap < 1.0 ? 1 : static_cast<int>(std::ceil(gap));
  while (count > 1 && apu_could_act(apu, count - 1))
    --count;
  while (!apu_could_act(apu, count))
    ++count;
  return count;
}

// Whether the board's pattern fetches can raise an interrupt, which the CPU
// sees at once: then the pixels owed are drawn before the CPU's first step
// after a fetch the board acts on, so that the fetch finds the CPU as it
// stood at its dot and the CPU sees what the fetch raised.
bool fetches_interrupt(const Console& console) {
  return console.mapper->fetches_interrupt;
}

// Before the CPU's step at dot ppu.line.due: draws the pixels owed when a
// fetch the board acts on lies among them. Leaves the line's next such fetch
// known, at or after the step.
void draw_past_acting_fetch(Console& console) {
  Ppu& ppu = *console.ppu;
  LineCursor& line = ppu.line;
  if (line.acting_fetch == unknown_fetch)
    line.acting_fetch = ppu_next_acting_fetch(ppu);
  if (line.due > line.acting_fetch) {
    catch_up_picture(console);
    line.acting_fetch = ppu_next_acting_fetch(ppu);
  }
}

// The CPU is due to step at dot x, with the balance b it has at every step of
// a run of one-dot calls (0 < b <= 16). When it is settled in a wait loop,
// each step costs a whole number of dots, 3 per cycle, and leaves the balance
// at b again for the next: so the steps can be counted off, up to the end of
// the line, to the step before which the APU could have something due, or to
// the first step after a pattern fetch the board acts on (with a board whose
// fetches can interrupt; see draw_past_acting_fetch, which the caller has
// called at x). Returns the dot after the last step counted off, with the
// balance, phase and owed cycles as the run would have left them there; x
// when the CPU must run the step.
int skip_wait_loop(Console& console, int& phase, int x) {
  const float b = console.cycle_budget;
  if (!(b > 0.0f && b <= ticks_per_dot && idle_loop_whole_ticks(b)) || !idle_loop_settled(console))
    return x;
  // A step at dot x + d finds owed + (phase + d) / 3 cycles owed; the steps
  // counted off must all find fewer than would be paid.
  int& owed = console.fast.apu_owed;
  const int paying = first_paying_count(*console.apu);
  int limit = std::min(screen_width, x + 3 * std::max(0, paying - owed) - phase);
  if (fetches_interrupt(console))
    limit = std::min(limit, console.ppu->line.acting_fetch + 1);
  u16 pc = console.pc;
  int step_x = x;
  int last_x = x;
  float last_ticks = 0.0f;
  do {
    console.pc = pc;
    last_ticks = idle_loop_step_ticks(console);
    last_x = step_x;
    pc = idle_loop_next_pc(console);
    step_x += static_cast<int>(last_ticks / ticks_per_dot);
  } while (step_x < limit);
  console.pc = pc;
  console.cycle_budget = b - last_ticks;
  phase += last_x - x;
  owed += phase / 3;
  phase %= 3;
  return last_x + 1;
}

// The exact model: one dot of CPU time, then one pixel.
void run_line_exact(Console& console) {
  Ppu& ppu = *console.ppu;
  for (int x = 0; x < screen_width; ++x) {
    cpu_run(console, 1.0f);
    ppu.line.due = x + 1;
    ppu_draw_due(ppu);
  }
}

// The same, faster. A dot in which the CPU's balance stays at or below zero
// runs no instruction; the dots between two instructions are paid for
// together. An instruction that touches neither the PPU's nor the
// cartridge's registers changes nothing the picture depends on: the pixels
// wait, and are drawn in one go when the bus is about to reach one of those
// registers (with the registers as they stood before the access), before the
// first step after a fetch that a board whose fetches can interrupt acts on,
// or at the end of the line. The APU's third of a cycle per dot is counted as a phase,
// and the whole cycles it is owed are paid, one call each as one-dot calls of
// cpu_run would pay them, when anything could see the difference. A CPU
// settled in a wait loop has its steps counted off.
//
// A line begins with nothing owed to the APU: the 21 dots that end the line
// before (or the pre-render line) paid it in full.
void run_line_fast(Console& console) {
  Ppu& ppu = *console.ppu;
  Apu& apu = *console.apu;
  int& owed = console.fast.apu_owed;
  const bool watch_fetches = fetches_interrupt(console);
  int phase = 0;
  int x = 0;
  while (x < screen_width) {
    const float budget = console.cycle_budget;
    if (budget + ticks_per_dot > 0.0f) {
      console.cycle_budget = budget + ticks_per_dot;
      if (++phase == 3) {
        phase = 0;
        ++owed;
      }
      if (apu_could_act(apu, owed))
        catch_up_apu(console);
      ppu.line.due = x;
      if (watch_fetches)
        draw_past_acting_fetch(console);
      if (idle_loop_at(console)) {
        const int after = skip_wait_loop(console, phase, x);
        if (after != x) {
          x = after;
          continue;
        }
      }
      cpu_execute(console);
      ++x;
    } else {
      // The balance is a whole number of ticks, so this is exact.
      int run = static_cast<int>(-budget) / static_cast<int>(ticks_per_dot);
      if (run > screen_width - x)
        run = screen_width - x;
      console.cycle_budget = budget + ticks_per_dot * static_cast<float>(run);
      phase += run;
      owed += phase / 3;
      phase %= 3;
      x += run;
    }
  }
  ppu.line.due = screen_width;
  catch_up_picture(console);
  catch_up_apu(console);
  console.apu_cycles = owed_after_dots[phase];
}

}  // namespace

void pay_owed_apu_cycles(Console& console) {
  apu_run_single_cycles(*console.apu, console.fast.apu_owed);
  console.fast.apu_owed = 0;
}

void run_line_pixels(Console& console) {
  if (console.fast.on)
    run_line_fast(console);
  else
    run_line_exact(console);
}

void set_fast_paths(Console& console, bool on) {
  console.fast.on = on;
  idle_loop_forget(console);
  if (console.apu)
    apu_set_shortcuts(*console.apu, on);
}
