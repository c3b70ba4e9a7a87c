// The menu's commands and the shell's own keys: pause and mute, full screen
// and the picture's shape, the window's size presets, screenshots and drops.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Bar.H>

#include <algorithm>
#include <cstdio>

#include "audio/audio_ring.h"
#include "cartridge/ines.h"
#include "core/console.h"
#include "host/gl_view.h"
#include "host/host.h"
#include "lifecycle/desktop_paths.h"
#include "lifecycle/file_write.h"
#include "lifecycle/png_writer.h"
#include "lifecycle/user_folders.h"
#include "ppu/ppu.h"

namespace {

void set_pause(Host& host, bool paused) {
  Session& session = host.session;
  if (paused && (session.mode != mode_game || !session.current))
    return;  // only a running game pauses
  if (paused == host.paused)
    return;
  host.paused = paused;
  host.paused_console = paused ? session.current.get() : nullptr;
  set_menu_check(CMD_PAUSE, paused);
  update_audio(host);
  if (paused) {
    host.platform.show_message(paused_message);
  } else if (host.presentation.message.text == paused_message) {
    // The game runs again: "Paused" goes at once.
    host.presentation.message.message_frames = 0;
  }
}

void set_mute(Host& host, bool muted) {
  host.muted = muted;
  set_menu_check(CMD_MUTE, muted);
  update_audio(host);
  host.platform.show_message(muted ? "Sound Muted" : "Sound On");
}

void set_full_screen(Host& host, bool on) {
  Fl_Double_Window& window = *host.main_window;
  if (on == host.full_screen)
    return;
  if (on) {
    host.windowed_x = window.x();
    host.windowed_y = window.y();
    host.windowed_width = window.w();
    host.windowed_height = window.h();
    host.full_screen = true;
    host.menu_bar->hide();
    window.fullscreen();
  } else {
    host.full_screen = false;
    window.fullscreen_off(host.windowed_x, host.windowed_y, host.windowed_width, host.windowed_height);
    host.menu_bar->show();
  }
  lay_out_window(host);
  // The window may have been made anew: the keys go to the picture again.
  host.view->take_focus();
}

void set_keep_aspect(Host& host, bool on) {
  host.presentation.options.keep_aspect = on;
  set_menu_check(CMD_KEEP_ASPECT, on);
  apply_display_options(host.presentation);
  host.view->redraw();
}

void set_sharp_pixels(Host& host, bool on) {
  host.presentation.options.sharp_pixels = on;
  set_menu_check(CMD_SHARP_PIXELS, on);
  apply_display_options(host.presentation);
  host.view->redraw();
}

// Resizes the window so that its picture area is the preset's size, moved
// back onto the screen where it would reach past its edge.
void set_size(Host& host, int scale) {
  set_full_screen(host, false);
  DisplayOptions& options = host.presentation.options;
  options.scale = scale;
  const AreaSize area = preset_area(scale, options.keep_aspect, largest_area(host), smallest_area(host));
  Fl_Double_Window& window = *host.main_window;
  int screen_x = 0, screen_y = 0, screen_width = 0, screen_height = 0;
  Fl::screen_work_area(screen_x, screen_y, screen_width, screen_height, window.x() + window.w() / 2,
                       window.y() + window.h() / 2);
  const int width = area.width;
  const int height = area.height + menu_bar_height;
  const int x = std::max(screen_x, std::min(window.x(), screen_x + screen_width - width));
  const int y = std::max(screen_y, std::min(window.y(), screen_y + screen_height - height));
  window.resize(x, y, width, height);
}

// Keys that run a command once per press: a key held down repeats, and
// pause or mute would otherwise flicker on and off.
struct CommandKey {
  int key;
  int command;
  bool held;
};
CommandKey command_keys[] = {
    {'p', CMD_PAUSE, false},
    {'m', CMD_MUTE, false},
    {FL_F + 11, CMD_FULL_SCREEN, false},
    {FL_F + 12, 0, false},  // the screenshot
};

}  // namespace

void run_command(Host& host, int command) {
  Session& session = host.session;
  switch (command) {
    case CMD_OPEN_ROM: {
      std::string path;
      if (choose_rom_file(path))
        open_rom(session, path, 1);
      break;
    }
    case CMD_GALLERY:
      enter_gallery(session);
      break;
    case CMD_ABOUT:
      show_about();
      break;
    case CMD_ROM_INFO:
      if (session.current)
        show_rom_info(*session.current);
      break;
    case CMD_RESET:
      software_reset(session);
      break;
    case CMD_PAUSE:
      set_pause(host, !host.paused);
      break;
    case CMD_MUTE:
      set_mute(host, !host.muted);
      break;
    case CMD_FULL_SCREEN:
      set_full_screen(host, !host.full_screen);
      break;
    case CMD_KEEP_ASPECT:
      set_keep_aspect(host, !host.presentation.options.keep_aspect);
      break;
    case CMD_SHARP_PIXELS:
      set_sharp_pixels(host, !host.presentation.options.sharp_pixels);
      break;
    case CMD_SIZE_1X:
    case CMD_SIZE_1X + 1:
    case CMD_SIZE_1X + 2:
    case CMD_SIZE_1X + 3:
      set_size(host, command - CMD_SIZE_1X + 1);
      break;
    default:
      break;
  }
  // A toggled check item shows the state, whichever way it was changed.
  set_menu_check(CMD_PAUSE, host.paused);
  set_menu_check(CMD_MUTE, host.muted);
  follow_pause(host);
}

bool run_key(Host& host, int key) {
  if (key == FL_Escape && host.full_screen) {
    set_full_screen(host, false);
    return true;
  }
  if (Fl::event_state(FL_CTRL | FL_ALT | FL_META))
    return false;
  for (CommandKey& entry : command_keys) {
    if (entry.key != key)
      continue;
    if (!entry.held) {
      entry.held = true;
      if (entry.command != 0)
        run_command(host, entry.command);
      else
        save_screenshot(host);
    }
    return true;
  }
  return false;
}

void run_key_up(int key) {
  for (CommandKey& entry : command_keys) {
    if (entry.key == key || key == 0)
      entry.held = false;
  }
}

void open_dropped(Host& host, const std::string& dropped_text) {
  const std::string path = path_from_dropped_text(dropped_text);
  if (path.empty())
    return;
  if (!open_rom(host.session, path, 1))
    std::fprintf(stderr, "corvel: cannot open %s\n", path.c_str());
  follow_pause(host);
}

void update_audio(Host& host) {
  const bool audible = host.console_playing && !host.paused && !host.muted;
  host.ring.playing.store(audible, std::memory_order_release);
}

void follow_pause(Host& host) {
  const Session& session = host.session;
  if (host.paused && (session.mode != mode_game || session.current.get() != host.paused_console))
    set_pause(host, false);
}

void save_screenshot(Host& host) {
  Session& session = host.session;
  if (session.mode != mode_game || !session.current || !session.current->ppu)
    return;  // the gallery has no one picture to keep
  const Console& console = *session.current;
  const std::string folder = pictures_directory() + "/Corvel";
  const std::string path = next_screenshot_path(folder, console.rom_path);
  std::string error;
  if (make_directories(folder) &&
      write_png(path, console.ppu->frame_buffer.get(), screen_width, screen_height, &error)) {
    host.platform.show_message("Screenshot Saved");
    return;
  }
  std::fprintf(stderr, "corvel: %s\n", error.empty() ? ("cannot create " + folder).c_str() : error.c_str());
  host.platform.show_message("Unable to Save Screenshot");
}
