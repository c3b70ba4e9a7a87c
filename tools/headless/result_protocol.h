// The $6000 result protocol of test cartridges: $6001-$6003 hold DE B0 61
// once the area is valid; $6000 is $80 while running, $81 to ask for a reset,
// and below $80 the final result (0 = passed); a NUL-terminated text at $6004.
#pragma once

#include <string>

#include "core/types.h"

struct Console;

struct ResultWatch {
  bool seen_running = false;  // $80 written during this run (a battery file may hold an old result)
  u32 running_writes = 0;     // the console's count of $80 writes at the last look
  int reset_countdown = -1;   // frames left before the requested reset
  bool reset_done = false;    // the reset for the current $81 has been made
  bool finished = false;
  int status = -1;
};

constexpr int result_reset_delay_frames = 6;

// Looks at the result area after a frame; sets finished and status once a
// final result is there, and makes the reset the program asked for. The
// console must count the $80 writes (count_result_writes).
void watch_result(Console& console, ResultWatch& watch);

// The text at $6004, up to its NUL or the end of battery RAM.
std::string result_text(const Console& console);
