// The frame scheduler: the only place that hands out emulated time.
#pragma once

struct Console;

// Dots in one scanline and in one frame (one less after an odd-frame skip).
constexpr int dots_per_line = 341;
constexpr int dots_per_frame = 89342;

// Runs extra_frames + 1 whole frames; none when extra_frames is negative.
void run_frames(Console& console, int extra_frames);
