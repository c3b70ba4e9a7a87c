// What the emulation needs from the machine it runs on: the state of a key,
// a place to show messages, a modal message box and control of the audio
// device. The desktop shell implements it with FLTK and SDL2; the headless
// tool and the tests implement it with scripted input and no-ops.
#pragma once

#include <string>

#include "core/types.h"

// Keys are named by their Windows virtual-key codes, the numbering the
// keyboard map and the hotkeys were designed with. The shell translates them
// to its toolkit's keys in one table.
enum VirtualKey : int {
  vk_lbutton = 0x01,
  vk_return = 0x0D,
  vk_shift = 0x10,
  vk_escape = 0x1B,
  vk_space = 0x20,
  vk_left = 0x25,
  vk_up = 0x26,
  vk_right = 0x27,
  vk_down = 0x28,
  vk_v = 0x56,
  vk_x = 0x58,
  vk_f1 = 0x70,
  vk_f2 = 0x71,
  vk_f3 = 0x72,
  vk_f4 = 0x73,
};

class Platform {
 public:
  virtual ~Platform() = default;
  // True while the key is held, as the program's own event handling last saw it.
  virtual bool key_down(int virtual_key) = 0;
  // The controller buttons held on a gamepad, in the bit order of a latched
  // controller (A in bit 0 to Right in bit 7); a platform without one has none.
  virtual u8 pad_buttons() { return 0; }
  // The on-screen message: a short line of text shown over the picture.
  virtual void show_message(const std::string& text) = 0;
  // A modal box with an OK button; returns when the user closes it.
  virtual void message_box(const std::string& title, const std::string& text) = 0;
  // Pauses (true) or resumes (false) the audio device.
  virtual void pause_audio(bool paused) = 0;
};

// A platform with no keyboard, no screen and no audio device.
class NullPlatform : public Platform {
 public:
  bool key_down(int) override { return false; }
  void show_message(const std::string&) override {}
  void message_box(const std::string&, const std::string&) override {}
  void pause_audio(bool) override {}
};
