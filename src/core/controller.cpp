// The standard controller. The keyboard (and a gamepad, if any) is sampled
// only when the game strobes the port, so the game sees the keys held at that
// instant.
#include "core/controller.h"

#include "core/console.h"
#include "platform/platform.h"

// A, B, Select, Start, Up, Down, Left, Right: Space, X, Shift, Enter, arrows.
const int controller_keys[8] = {vk_space, vk_x, vk_shift, vk_return, vk_up, vk_down, vk_left, vk_right};

// Every write with bit 0 set latches, at the moment of that write; the usual
// write of 1 then 0 latches at the first and the second does nothing.
void controller_strobe(Console& console, u8 value) {
  if (!(value & 1))
    return;
  u8 buttons = 0;
  if (console.platform != nullptr) {
    for (int bit = 0; bit < 8; bit++) {
      if (console.platform->key_down(controller_keys[bit]))
        buttons |= static_cast<u8>(1 << bit);
    }
    // A gamepad plays the same controller: a button counts as held when the
    // key or the pad's button is.
    buttons |= console.platform->pad_buttons();
  }
  console.pad_shift = buttons;
}

// Reads shift the register whatever the strobe bit: 0 enters at bit 7, so the
// ninth and later reads give 0 until the next latch.
u8 controller_read(Console& console) {
  u8 bit = console.pad_shift & 1;
  console.pad_shift = static_cast<u8>(console.pad_shift >> 1);
  return bit;
}
