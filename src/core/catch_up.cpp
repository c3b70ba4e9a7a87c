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

// Whole APU cycles owed for the first `dots` dots of a line.
constexpr int thirds(int dots) {
  return dots / 3;
}

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

// Before a step, when the owed cycles have reached the count at which the
// APU could act (or that count is not known): pays them if it could, and
// leaves the count known.
void pay_apu_if_due(Console& console) {
  FastPaths& fast = console.fast;
  if (fast.apu_paying == 0)
    fast.apu_paying = first_paying_count(*console.apu);
  if (fast.apu_owed >= fast.apu_paying) {
    catch_up_apu(console);
    fast.apu_paying = first_paying_count(*console.apu);
  }
}

// Whether the board's pattern fetches can raise an interrupt, which the CPU
// sees at once: then the pixels owed are drawn before the CPU's first step
// after a fetch the board acts on, so that the fetch finds the CPU as it
// stood at its dot and the CPU sees what the fetch raised.
bool fetches_interrupt(const Console& console) {
  return console.mapper->fetches_interrupt;
}

// Before the CPU's step at dot ppu.line.due, when that lies past the line's
// next fetch the board acts on (or that fetch is not known): draws the pixels
// owed if the fetch lies among them, and leaves the next such fetch known, at
// or after the step.
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

// The exact model: one dot of CPU time, then one pixel.
void run_line_exact(Console& console) {
  Ppu& ppu = *console.ppu;
  for (int x = 0; x < screen_width; ++x) {
    cpu_run(console, 1.0f);
    ppu.line.due = x + 1;
    ppu_draw_due(ppu);
  }
}

// The same, faster. The CPU runs from one dot at which something could need
// doing before its step to the next: the dots between, with the steps that
// begin in them, are handed to it in one go, and a CPU settled in a wait
// loop has its turns counted off there (see cpu_execute). Before a step
// something may need doing when the APU could have something due (then the
// whole cycles it is owed are paid, one call each as one-dot calls of
// cpu_run would pay them), and with a board whose fetches can interrupt,
// when a fetch the board acts on lies among the pixels owed.
//
// An instruction that touches neither the PPU's nor the cartridge's
// registers changes nothing the picture depends on: the pixels wait, and are
// drawn in one go when the bus is about to reach one of those registers
// (with the registers as they stood before the access), before the first step
// after a fetch the board acts on, or at the end of the line. An access that
// may move the next point at which something needs doing (to the APU; to the
// PPU or the cartridge, with a board whose fetches can interrupt) ends the
// run after its step.
//
// A line begins with nothing owed to the APU: the 21 dots that end the line
// before (or the pre-render line) paid it in full.
void run_line_fast(Console& console) {
  LineCursor& line = console.ppu->line;
  FastPaths& fast = console.fast;
  const bool watch_fetches = fetches_interrupt(console);
  fast.apu_paying = 0;
  int x = 0;
  while (x < screen_width) {
    const float budget = console.cycle_budget;
    if (budget + ticks_per_dot <= 0.0f) {
      // Dots in which the CPU runs nothing. The balance is a whole number of
      // ticks, so this is exact.
      const int run = std::min(static_cast<int>(-budget) / static_cast<int>(ticks_per_dot), screen_width - x);
      console.cycle_budget = budget + ticks_per_dot * static_cast<float>(run);
      fast.apu_owed += thirds(x + run) - thirds(x);
      x += run;
      if (x == screen_width)
        break;
    }
    // The CPU steps at dot x. First what may need doing before the step.
    fast.apu_owed += thirds(x + 1) - thirds(x);
    if (fast.apu_owed >= fast.apu_paying)
      pay_apu_if_due(console);
    line.due = x;
    if (watch_fetches && x > line.acting_fetch)
      draw_past_acting_fetch(console);
    // A step at dot s finds base + thirds(s + 1) cycles owed: the run ends
    // before the first step that would find the APU's paying count, and
    // after the next fetch the board acts on.
    int end = std::min(screen_width, 3 * (thirds(x + 1) + fast.apu_paying - fast.apu_owed) - 1);
    if (watch_fetches)
      end = std::min(end, line.acting_fetch + 1);
    console.cycle_budget += ticks_per_dot * static_cast<float>(end - x);
    fast.run_owed_base = fast.apu_owed - thirds(x + 1);
    fast.run_end = end;
    cpu_execute(console);
    x = fast.run_end;
    fast.run_end = 0;
    fast.apu_owed = fast.run_owed_base + thirds(x);
  }
  line.due = screen_width;
  catch_up_picture(console);
  catch_up_apu(console);
  console.apu_cycles = owed_after_dots[screen_width % 3];
}

// The dot of the CPU's current step in a run (see run_line_fast): the step
// began with the balance positive, and one dot's ticks before the run's end
// for each dot still to come.
int run_dot(const Console& console) {
  const int ticks = static_cast<int>(console.cycle_budget);
  return console.fast.run_end -
         (ticks + static_cast<int>(ticks_per_dot) - 1) / static_cast<int>(ticks_per_dot);
}

// Ends the run after the step at dot s: the balance keeps what the dots up to
// s give, and the run loop takes over from dot s + 1.
void end_run_after(Console& console, int s) {
  FastPaths& fast = console.fast;
  console.cycle_budget -= ticks_per_dot * static_cast<float>(fast.run_end - (s + 1));
  fast.run_end = s + 1;
}

}  // namespace

void pay_owed_apu_cycles(Console& console) {
  apu_run_single_cycles(*console.apu, console.fast.apu_owed);
  console.fast.apu_owed = 0;
}

void catch_up_picture_in_run(Console& console) {
  const int s = run_dot(console);
  LineCursor& line = console.ppu->line;
  line.due = s;
  if (line.drawn < line.due)
    ppu_draw_due(*console.ppu);
  line.acting_fetch = unknown_fetch;
  if (fetches_interrupt(console))
    end_run_after(console, s);
}

void catch_up_apu_in_run(Console& console) {
  const int s = run_dot(console);
  FastPaths& fast = console.fast;
  fast.apu_owed = fast.run_owed_base + thirds(s + 1);
  if (fast.apu_owed > 0)
    pay_owed_apu_cycles(console);
  fast.run_owed_base = fast.apu_owed - thirds(s + 1);
  fast.apu_paying = 0;
  end_run_after(console, s);
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
