// The desktop shell: one window with a menu bar over an OpenGL picture area,
// the message loop that alternates window events with host steps, and the
// commands of the menu.
#pragma once

#include <string>

#include "host/presentation.h"
#include "lifecycle/session.h"
#include "platform/fltk_platform.h"

class Fl_Double_Window;
class Fl_Menu_Bar;
class GlView;
struct AudioRing;

// Height of the menu bar above the picture area.
constexpr int menu_bar_height = 25;

struct Host {
  explicit Host(AudioRing& audio_ring) : ring(audio_ring) {}

  AudioRing& ring;  // shared with the audio device's thread
  Presentation presentation;
  FltkPlatform platform{presentation.message};
  Session session;
  Fl_Double_Window* main_window = nullptr;
  Fl_Menu_Bar* menu_bar = nullptr;
  GlView* view = nullptr;
  bool quit = false;  // set by the window's close box and by Escape
};

// Creates and shows the window "Corvel" with its menu bar and a 512 x 512
// picture area.
void create_main_window(Host& host);
// Start-up after the window and OpenGL: recent list, gallery, audio device,
// textures, then the image named on the command line (null for none).
void host_startup(Host& host, const char* command_line_path);
// Window events and host steps until the window is closed or Escape pressed.
void message_loop(Host& host);
// One pass of the host loop: the game's frame or the gallery's share, the
// picture, the save-state keys, and the sleep to the end of 16 ms.
void host_step(Host& host);
// Closes the running game (battery file written) and writes the recent list,
// with no call to the display, OpenGL or the audio device. Returns false when
// the battery file could not be written.
bool save_player_files(Host& host);
// Shutdown in order: audio resumed, game closed (battery written), recent
// list written, OpenGL torn down, window destroyed.
void host_shutdown(Host& host);

// SIGTERM, SIGINT and SIGHUP end the message loop and close any dialog or
// menu on the way; losing the X display writes the battery file and the
// recent list and exits with status 1. Call once the window is shown.
void watch_for_quit(Host& host);
void stop_watching_for_quit(Host& host);
// Whether one of those signals has arrived.
bool quit_signalled();

// The menu commands, by identifier.
void run_command(Host& host, int command);
// The open-file dialog; true with the chosen path when a file was picked.
bool choose_rom_file(std::string& path);
// The About box.
void show_about();
