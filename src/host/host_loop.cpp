#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <thread>

#include "core/console.h"
#include "core/scheduler.h"
#include "host/audio_device.h"
#include "host/gl_view.h"
#include "host/host.h"
#include "host/pacing.h"
#include "lifecycle/demo_path.h"
#include "lifecycle/display_options.h"
#include "lifecycle/gallery.h"
#include "lifecycle/recent_list.h"
#include "lifecycle/save_state.h"
#include "lifecycle/session.h"

namespace {

// The pointer in the picture area's pixels, asked of the X server at the
// moment it is needed, as the gallery's hover and click are polled.
GalleryPointer read_pointer(Host& host) {
  GalleryPointer pointer;
  int x = 0;
  int y = 0;
  Fl::get_mouse(x, y);
  // The grid is where the picture is drawn: with Keep Aspect Ratio, inside
  // the bars.
  const PictureRect rect = current_picture_rect(host.presentation);
  pointer.x = x - host.view->x_root() - rect.x;
  pointer.y = y - host.view->y_root() - rect.y;
  pointer.viewport_width = rect.width;
  pointer.viewport_height = rect.height;
  pointer.focused = host.platform.focused();
  pointer.button_down = host.platform.key_down(vk_lbutton);
  return pointer;
}

// While paused, "Paused" comes back once another message has timed out.
void keep_paused_message(Host& host) {
  OnScreenMessage& message = host.presentation.message;
  if (host.paused && message.message_frames <= 0)
    set_message(message, paused_message);
}

// On the very first run there is no settings file and so nothing to show in
// the gallery: the demo cartridge that ships with Corvel is offered there.
void offer_demo_on_first_run(Session& session) {
  std::error_code error;
  if (std::filesystem::exists(session.settings_path, error))
    return;
  for (const std::string& entry : session.recent) {
    if (!entry.empty())
      return;
  }
  const std::string program = std::filesystem::read_symlink("/proc/self/exe", error).string();
  const std::string demo = find_demo_cartridge(program);
  if (!demo.empty())
    add_recent(session, absolute_path(demo));
}

}  // namespace

void host_startup(Host& host, const char* command_line_path) {
  read_recent_list(host.session);
  offer_demo_on_first_run(host.session);
  enter_gallery(host.session);
  const std::string audio_failure = audio_open(host.ring);
  if (!audio_failure.empty()) {
    // Started from a desktop menu there is no terminal to read: the reason is
    // shown in a box before Corvel ends.
    std::fprintf(stderr, "corvel: cannot open the audio device: %s\n", audio_failure.c_str());
    host.platform.message_box("Corvel", "Cannot open the audio device.\n\n" + audio_failure);
    std::exit(1);
  }
  create_textures(host.presentation);
  if (!host.platform.start_gamepad())
    std::fprintf(stderr, "corvel: no gamepads: %s\n", SDL_GetError());
  if (command_line_path != nullptr && !open_rom(host.session, command_line_path, 1))
    std::fprintf(stderr, "corvel: cannot open %s\n", command_line_path);
}

void message_loop(Host& host) {
  while (!host.quit && !quit_signalled() && host.main_window->shown()) {
    if (Fl::ready()) {
      // The audio thread stays out while an event is handled: a command may
      // replace the consoles or run a modal box.
      host.platform.pause_audio(true);
      Fl::check();
      host.platform.pause_audio(false);
    } else {
      host_step(host);
    }
  }
}

void host_step(Host& host) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  Session& session = host.session;
  if (host.platform.poll_gamepad())
    host.platform.show_message("Gamepad Connected");
  follow_pause(host);

  if (session.mode == mode_game && session.current) {
    // Paused, no frame runs and the picture stays.
    if (!host.paused) {
      const bool fast_forward = host.platform.key_down(vk_v);
      const int extra_frames = game_extra_frames(fast_forward);
      run_frames(*session.current, extra_frames);
      keep_battery(session, extra_frames + 1);
    }
    keep_paused_message(host);
    present_frame(host.presentation, *session.current);
  } else if (session.mode == mode_gallery) {
    if (gallery_step(session, host.presentation.message.message_frames, read_pointer(host))) {
      present_gallery(host.presentation, session.gallery);
    }
  }
  poll_state_hotkeys(session);

  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  const long long sleep_ms = pacing_sleep_ms(elapsed);
  if (sleep_ms > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(sleep_ms));
}

bool save_player_files(Host& host) {
  const bool battery_saved = close_current(host.session);
  if (!write_recent_list(host.session))
    std::fprintf(stderr, "corvel: cannot write the recent list to %s\n", host.session.settings_path.c_str());
  const std::string options_file = options_path();
  if (!write_display_options(options_file, host.presentation.options))
    std::fprintf(stderr, "corvel: cannot write the display options to %s\n", options_file.c_str());
  return battery_saved;
}

void host_shutdown(Host& host) {
  host.platform.pause_audio(false);
  // At quit the on-screen message would not be seen; a box says it instead,
  // unless a signal is ending Corvel (a logout waits for nobody).
  if (!save_player_files(host) && !quit_signalled())
    host.platform.message_box("Corvel", "Unable to Save SRAM");
  stop_watching_for_quit(host);
  host.platform.stop_gamepad();
  gl_teardown(host.presentation);
  host.platform.set_main_window(nullptr);
  host.main_window->hide();
  delete host.main_window;
  host.main_window = nullptr;
  host.menu_bar = nullptr;
  host.view = nullptr;
}
