// The platform of the desktop shell: key state as FLTK's event handling last
// saw it, SDL2's gamepad, the on-screen message of the presentation, FLTK's
// modal message box and SDL2's audio pause.
#pragma once

#include <string>

#include "platform/gamepad.h"
#include "platform/platform.h"

class Fl_Window;
struct OnScreenMessage;

// The FLTK keys that stand for one Windows virtual key (0 ends the list).
struct KeyBinding {
  int virtual_key;
  int fltk_keys[2];
};
extern const KeyBinding key_bindings[];
extern const int key_binding_count;

class FltkPlatform : public Platform {
 public:
  explicit FltkPlatform(OnScreenMessage& message) : message_(message) {}

  // The window whose focus decides whether keys and clicks count.
  void set_main_window(Fl_Window* window) { main_window_ = window; }
  // True while the main window (not a dialog, not another program) has the
  // keyboard focus.
  bool focused() const;

  // The first gamepad plays the controller together with the keyboard.
  bool start_gamepad() { return gamepad_start(); }
  // Follows pads being plugged in and out; true when one arrived.
  bool poll_gamepad() { return gamepad_poll_events(pad_); }
  void stop_gamepad() { gamepad_stop(pad_); }

  bool key_down(int virtual_key) override;
  // Like the keys, the pad counts only while the main window has the focus.
  u8 pad_buttons() override { return focused() ? gamepad_buttons(pad_) : 0; }
  void show_message(const std::string& text) override;
  void message_box(const std::string& title, const std::string& text) override;
  void pause_audio(bool paused) override;

 private:
  OnScreenMessage& message_;
  Fl_Window* main_window_ = nullptr;
  Gamepad pad_;
};
