// The standard controller on port $4016, played from the keyboard.
#pragma once

#include "core/types.h"

struct Console;

// Button bits of a freshly latched shift register.
enum : u8 {
  button_a = 0x01,
  button_b = 0x02,
  button_select = 0x04,
  button_start = 0x08,
  button_up = 0x10,
  button_down = 0x20,
  button_left = 0x40,
  button_right = 0x80,
};

// The key held for each button, bit 0 first (Windows virtual-key codes).
extern const int controller_keys[8];

// A write to $4016: bit 0 set latches the keys into pad_shift.
void controller_strobe(Console& console, u8 value);
// A read of $4016: the next button as 0 or 1.
u8 controller_read(Console& console);
