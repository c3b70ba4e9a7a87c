// Ending Corvel from outside: SIGTERM (a logout, `kill`), SIGINT (Ctrl+C) and
// SIGHUP end it through the normal shutdown, and a lost connection to the X
// display still keeps the player's battery RAM and recent list.
//
// A signal handler may do next to nothing safely, so it only notes the
// signal. The message loop reads the note between steps; a repeating FLTK
// timeout reads it too, because FLTK's timeouts also run inside the loops of
// open menus, message boxes and the file chooser, which it then closes so
// that the message loop is reached.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "host/host.h"

namespace {

volatile std::sig_atomic_t quit_signal = 0;
Host* watched_host = nullptr;

constexpr double signal_poll_seconds = 0.1;
// If the message loop is still not reached this many polls after a signal
// (a dialog that would not close), the files are saved and Corvel ends there.
constexpr int polls_before_forced_exit = 5;

void on_quit_signal(int number) {
  quit_signal = number;
}

// Xlib calls this when the display's connection breaks (the X server ended
// with the session); it must not return.
int on_display_lost(Display*) {
  std::fprintf(stderr, "corvel: lost the connection to the display\n");
  if (watched_host != nullptr)
    save_player_files(*watched_host);
  std::_Exit(1);
}

// An open menu holds the pointer grab and closes on Escape; dialogs and the
// file chooser end their loops once their windows are hidden.
void close_modal_windows(Host& host) {
  if (Fl_Window* grab = Fl::grab()) {
    Fl::e_keysym = FL_Escape;
    Fl::handle(FL_KEYBOARD, grab);
  }
  std::vector<Fl_Window*> others;
  for (Fl_Window* window = Fl::first_window(); window != nullptr; window = Fl::next_window(window)) {
    if (window != host.main_window)
      others.push_back(window);
  }
  for (Fl_Window* window : others)
    window->hide();
}

void poll_quit_signal(void* data) {
  static int polls_since_signal = 0;
  Host& host = *static_cast<Host*>(data);
  if (quit_signal != 0) {
    host.quit = true;
    close_modal_windows(host);
    if (++polls_since_signal > polls_before_forced_exit) {
      save_player_files(host);
      std::_Exit(0);
    }
  }
  Fl::repeat_timeout(signal_poll_seconds, poll_quit_signal, data);
}

}  // namespace

bool quit_signalled() {
  return quit_signal != 0;
}

void watch_for_quit(Host& host) {
  watched_host = &host;
  struct sigaction action {};
  action.sa_handler = on_quit_signal;
  sigemptyset(&action.sa_mask);
  for (int number : {SIGTERM, SIGINT, SIGHUP})
    sigaction(number, &action, nullptr);
  Fl::add_timeout(signal_poll_seconds, poll_quit_signal, &host);
  // FLTK sets its own handler when it opens the display; this one replaces it.
  XSetIOErrorHandler(on_display_lost);
}

void stop_watching_for_quit(Host& host) {
  Fl::remove_timeout(poll_quit_signal, &host);
}
