// Scripted controller input for the headless tool: lines "FRAME BUTTONS".
#pragma once

#include <string>
#include <vector>

#include "core/types.h"

struct InputEvent {
  long frame = 0;
  u8 buttons = 0;  // controller bits: A, B, Select, Start, Up, Down, Left, Right
};

struct InputScript {
  std::vector<InputEvent> events;  // in file order, frames non-decreasing
};

// Parses the script text. Returns false with a message naming the line on a
// malformed line.
bool parse_input_script(const std::string& text, InputScript& script, std::string& error);

// The buttons held during the given frame (counted from 0).
u8 buttons_at(const InputScript& script, long frame);
