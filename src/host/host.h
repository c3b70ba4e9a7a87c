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

// Shown while the game is paused.
constexpr const char* paused_message = "Paused";

// The commands this shell adds to the menu bar's first five.
enum : int {
  CMD_PAUSE = 1001,
  CMD_MUTE = 1002,
  CMD_FULL_SCREEN = 2000,
  CMD_KEEP_ASPECT = 2001,
  CMD_SHARP_PIXELS = 2002,
  CMD_SIZE_1X = 2011,  // to CMD_SIZE_1X + 3 for 4x
};

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

  // Pause holds the game it was taken on: opening an image or entering the
  // gallery ends it.
  bool paused = false;
  const Console* paused_console = nullptr;
  bool muted = false;
  bool console_playing = false;  // the session's "a console is playing"

  bool full_screen = false;
  int windowed_x = 0, windowed_y = 0, windowed_width = 0, windowed_height = 0;
};

// Creates and shows the window "Corvel" with its menu bar and a 512 x 512
// picture area (or the size preset kept in the display options).
void create_main_window(Host& host);
// Lays out the menu bar and the picture area in the window: the picture area
// takes the whole window in full screen, where the menu bar is hidden.
void lay_out_window(Host& host);
// The largest picture area a size preset may ask for (the screen's work area
// less the menu bar), and the smallest one the window may have (as wide as
// the menu bar, as high as the picture).
AreaSize largest_area(Host& host);
AreaSize smallest_area(Host& host);
// Checks or clears the menu's check item of a command.
void set_menu_check(int command, bool checked);
// Start-up after the window and OpenGL: recent list, gallery, audio device,
// textures, then the image named on the command line (null for none).
void host_startup(Host& host, const char* command_line_path);
// Window events and host steps until the window is closed or Escape pressed.
void message_loop(Host& host);
// One pass of the host loop: the game's frame or the gallery's share, the
// picture, the save-state keys, and the sleep to the end of 16 ms.
void host_step(Host& host);
// Closes the running game (battery file written) and writes the recent list
// and the display options, with no call to the display, OpenGL or the audio
// device. Returns false when the battery file could not be written.
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
// The keys of the shell's own commands (P, M, F11, F12; Escape in full
// screen). Returns true when the key was one of them.
bool run_key(Host& host, int key);
// A key was released (0: every key): it may run its command again.
void run_key_up(int key);
// A file dropped on the window: the first image of the dropped text opens
// as File > Open ROM would open it.
void open_dropped(Host& host, const std::string& dropped_text);
// Keeps the audio device's "a console is playing" flag in step with the
// session, the pause and the mute: silence unless a game plays unmuted.
void update_audio(Host& host);
// Ends the pause when the game it was taken on is no longer the one running.
void follow_pause(Host& host);
// F12: the running game's picture as a PNG in the pictures folder.
void save_screenshot(Host& host);
// The open-file dialog; true with the chosen path when a file was picked.
bool choose_rom_file(std::string& path);
// The About box.
void show_about();
