#include "platform/fltk_platform.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <SDL.h>

#include <cstdio>

#include "text/message.h"

// The Windows key codes the keyboard map and the hotkeys are written with,
// and the FLTK keys that play their part. Windows has one code for either
// Shift key and for either Enter key; FLTK tells them apart.
const KeyBinding key_bindings[] = {
    {vk_lbutton, {FL_Button + FL_LEFT_MOUSE, 0}},
    {vk_return, {FL_Enter, FL_KP_Enter}},
    {vk_shift, {FL_Shift_L, FL_Shift_R}},
    {vk_escape, {FL_Escape, 0}},
    {vk_space, {' ', 0}},
    {vk_left, {FL_Left, 0}},
    {vk_up, {FL_Up, 0}},
    {vk_right, {FL_Right, 0}},
    {vk_down, {FL_Down, 0}},
    {vk_v, {'v', 0}},
    {vk_x, {'x', 0}},
    {vk_f1, {FL_F + 1, 0}},
    {vk_f2, {FL_F + 2, 0}},
    {vk_f3, {FL_F + 3, 0}},
    {vk_f4, {FL_F + 4, 0}},
};
const int key_binding_count = sizeof key_bindings / sizeof key_bindings[0];

bool FltkPlatform::focused() const {
  // FLTK drops its focus widget when the X server moves the keyboard focus to
  // another window; while a modal box is up the focus is in the box.
  Fl_Widget* focus = Fl::focus();
  return main_window_ != nullptr && focus != nullptr && focus->top_window() == main_window_;
}

bool FltkPlatform::key_down(int virtual_key) {
  // A key released while another window had the focus never reaches us, so
  // every key counts as up until the focus is back (a Shift stuck down would
  // turn the state loads into saves).
  if (!focused())
    return false;
  for (const KeyBinding& binding : key_bindings) {
    if (binding.virtual_key != virtual_key)
      continue;
    for (int key : binding.fltk_keys) {
      if (key == 0)
        continue;
      // Mouse buttons are in the event state FLTK keeps from the last event.
      if (key > FL_Button && key <= FL_Button + FL_RIGHT_MOUSE) {
        if (Fl::event_state(FL_BUTTON(key - FL_Button)))
          return true;
      } else if (Fl::event_key(key)) {
        return true;
      }
    }
    return false;
  }
  return false;
}

// Every message also goes to stderr, one line each, as the headless tool
// prints them, so that what was shown can be read afterwards. An empty text
// only clears the line (the gallery does that when the pointer leaves a
// preview) and is not printed.
void FltkPlatform::show_message(const std::string& text) {
  set_message(message_, text);
  if (!text.empty())
    std::fprintf(stderr, "%s\n", text.c_str());
}

void FltkPlatform::message_box(const std::string& title, const std::string& text) {
  fl_message_title(title.c_str());
  fl_close = "OK";
  fl_message("%s", text.c_str());
}

void FltkPlatform::pause_audio(bool paused) {
  SDL_PauseAudio(paused ? 1 : 0);
}
