#include "input_script.h"

#include <cstdlib>

#include <algorithm>
#include <sstream>

#include "core/controller.h"

namespace {

bool parse_buttons(const std::string& word, u8& buttons) {
  buttons = 0;
  if (word == "-")
    return true;
  for (char ch : word) {
    switch (ch) {
      case 'A':
        buttons |= button_a;
        break;
      case 'B':
        buttons |= button_b;
        break;
      case 's':
        buttons |= button_select;
        break;
      case 'S':
        buttons |= button_start;
        break;
      case 'U':
        buttons |= button_up;
        break;
      case 'D':
        buttons |= button_down;
        break;
      case 'L':
        buttons |= button_left;
        break;
      case 'R':
        buttons |= button_right;
        break;
      default:
        return false;
    }
  }
  return true;
}

}  // namespace

bool parse_input_script(const std::string& text, InputScript& script, std::string& error) {
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    number++;
    size_t comment = line.find('#');
    if (comment != std::string::npos)
      line.resize(comment);
    std::istringstream words(line);
    std::string frame_word, buttons_word, extra;
    if (!(words >> frame_word))
      continue;  // blank line
    InputEvent event;
    char* end = nullptr;
    event.frame = std::strtol(frame_word.c_str(), &end, 10);
    bool ok = *end == '\0' && event.frame >= 0 && (words >> buttons_word) && !(words >> extra) &&
              parse_buttons(buttons_word, event.buttons);
    if (!ok || (!script.events.empty() && event.frame < script.events.back().frame)) {
      error = "input script line " + std::to_string(number) +
              ": expected 'FRAME BUTTONS' (buttons from "
              "A B s S U D L R, or -), frames in order";
      return false;
    }
    script.events.push_back(event);
  }
  return true;
}

u8 buttons_at(const InputScript& script, long frame) {
  // The last event whose frame has been reached.
  auto after = std::upper_bound(script.events.begin(), script.events.end(), frame,
                                [](long f, const InputEvent& e) { return f < e.frame; });
  if (after == script.events.begin())
    return 0;
  return (after - 1)->buttons;
}
