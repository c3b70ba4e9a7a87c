// Time in one place. During the 256 pixel dots of a line the CPU and the PPU
// take turns dot by dot, and the APU is owed a third of a cycle per dot.
//
// The exact model does just that: one dot of CPU time, then one pixel; the
// APU paid each time a whole cycle is owed. The fast path gives the same
// result with less work: the CPU runs from one point at which something
// could need doing to the next, and what the PPU and the APU do meanwhile is
// put off until something could see it. The bus calls the two catch-up
// functions below before every access that could: a PPU register access that
// meets the picture (ppu_read_meets_picture), a cartridge register, an APU
// register. Program reads need none.
#pragma once

#include "core/console.h"
#include "ppu/ppu.h"

// Draws the pixels of the current line that the CPU has run past.
void catch_up_picture_in_run(Console& console);
inline void catch_up_picture(Console& console) {
  if (console.fast.run_end != 0) {
    catch_up_picture_in_run(console);
    return;
  }
  LineCursor& line = console.ppu->line;
  if (line.drawn < line.due)
    ppu_draw_due(*console.ppu);
  line.acting_fetch = unknown_fetch;
}

// Pays the APU the whole cycles it is owed for dots that have passed.
void pay_owed_apu_cycles(Console& console);
void catch_up_apu_in_run(Console& console);
inline void catch_up_apu(Console& console) {
  if (console.fast.run_end != 0) {
    catch_up_apu_in_run(console);
    return;
  }
  if (console.fast.apu_owed > 0)
    pay_owed_apu_cycles(console);
  console.fast.apu_paying = 0;  // the access may move the APU's next event
}

// The 256 dots of a line's pixels: the CPU runs one dot before each pixel,
// and the line cursor of the PPU (ppu_begin_line) receives them. Exact or
// fast as console.fast.on says.
void run_line_pixels(Console& console);

// The one switch between the fast paths and the exact model.
void set_fast_paths(Console& console, bool on);
