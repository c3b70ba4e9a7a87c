#include "lifecycle/session.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <system_error>

#include "cartridge/ines.h"
#include "core/console.h"
#include "lifecycle/power.h"
#include "platform/platform.h"
#include "text/message.h"

namespace {

// Closes and frees a console; false when its battery file was due and could
// not be written, which is said on screen.
bool release(Session& session, std::unique_ptr<Console>& console, int skip_battery) {
  if (!console)
    return true;
  bool saved = close_console(*console, skip_battery);
  if (!saved)
    show_message(session.platform, "Unable to Save SRAM");
  else if (console == session.current)
    note_saves_folder(session);
  console.reset();
  return saved;
}

// The played console changes: whatever of the old one's sound is still in
// the ring must not be heard. The device is paused meanwhile.
void tell_playing(Session& session, bool playing) {
  if (session.set_playing != nullptr)
    session.set_playing(session.set_playing_user, playing);
}

// Loads an image into a fresh console that reports to the session's platform.
// Returns null when the record cannot be made or the image does not load.
std::unique_ptr<Console> load_console(Session& session, const std::string& path, LoadReport* report) {
  std::unique_ptr<Console> console(new (std::nothrow) Console());
  if (!console)
    return nullptr;
  console->platform = session.platform;
  if (load_rom(*console, path, report) != 1)
    return nullptr;
  return console;
}

bool same_file(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

void pause_audio(Session& session, bool paused) {
  if (session.platform != nullptr)
    session.platform->pause_audio(paused);
}

}  // namespace

Session::Session() = default;

// Whatever is still open when the session ends is released without writing
// battery files: the shell closes the running game with close_current first.
Session::~Session() {
  if (current)
    close_console(*current, 1);
  for (auto& cell : gallery) {
    if (cell)
      close_console(*cell, 1);
  }
}

bool open_rom(Session& session, const std::string& path, int remember) {
  LoadReport report;
  std::unique_ptr<Console> console = load_console(session, path, &report);
  if (!console) {
    if (report.failure != LoadFailure::none)
      show_message(session.platform, "%s", load_failure_text(report.failure));
    return false;
  }

  // Reopening the game that runs: its RAM goes to the battery file first, so
  // the new console starts from the RAM as it is now, not as it was at start.
  if (session.current && same_file(session.current->rom_path, path) && !write_battery_file(*session.current))
    show_message(session.platform, "Unable to Save SRAM");

  if (power_up(*console, session.on_chunk, session.on_chunk_user, session.game_sound) != 1) {
    // A console without all its parts is never run; what ran goes on.
    close_console(*console, 1);
    return false;
  }

  pause_audio(session, true);
  release(session, session.current, 0);
  for (auto& cell : session.gallery)
    release(session, cell, 1);

  session.current = std::move(console);
  session.mode = mode_game;
  session.battery_frames = 0;
  session.saves_folder_noted = false;
  tell_playing(session, true);
  pause_audio(session, false);

  if (report.padded)
    show_message(session.platform, "Short Image Padded with Zeros");
  note_saves_folder(session);
  if (remember == 1)
    add_recent(session, absolute_path(path));
  return true;
}

void enter_gallery(Session& session) {
  if (session.mode == mode_gallery)
    return;
  pause_audio(session, true);
  tell_playing(session, false);
  release(session, session.current, 0);

  // Images that load fill the grid from the top left without gaps; one that
  // loads but cannot be powered up leaves its cell empty. Entries that no
  // longer load are skipped without a word.
  int cell = 0;
  for (const std::string& entry : session.recent) {
    if (entry.empty())
      continue;
    std::unique_ptr<Console> console = load_console(session, entry, nullptr);
    if (!console)
      continue;
    if (power_up(*console, nullptr, nullptr, 0) == 1) {
      session.gallery[cell] = std::move(console);
    } else {
      close_console(*console, 1);
    }
    ++cell;
  }

  session.mode = mode_gallery;
  session.gallery_warmup = gallery_warmup_steps;
}

void software_reset(Session& session) {
  if (session.current)
    session.current->reset_pending = 1;
}

bool close_current(Session& session) {
  if (!session.current)
    return true;
  tell_playing(session, false);
  return release(session, session.current, 0);
}

void keep_battery(Session& session, int frames) {
  if (!session.current)
    return;
  session.battery_frames += frames;
  if (session.battery_frames < battery_keep_frames)
    return;
  session.battery_frames %= battery_keep_frames;
  if (!battery_changed(*session.current))
    return;
  if (write_battery_file(*session.current))
    note_saves_folder(session);
  else
    show_message(session.platform, "Unable to Save SRAM");
}

void note_saves_folder(Session& session) {
  if (session.current && session.current->saves_folder_used && !session.saves_folder_noted) {
    session.saves_folder_noted = true;
    show_message(session.platform, "Saves Kept in the Saves Folder");
  }
}

void add_recent(Session& session, const std::string& path) {
  if (path.size() < 2)
    return;
  // One entry is one line of the settings file.
  if (path.find_first_of("\r\n") != std::string::npos)
    return;
  for (const std::string& entry : session.recent) {
    if (entry == path)
      return;
  }
  for (int i = recent_count - 1; i > 0; --i)
    session.recent[i] = std::move(session.recent[i - 1]);
  session.recent[0] = path;
}

std::string strip_extension(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < name_start)
    return path;
  return path.substr(0, dot);
}

std::string absolute_path(const std::string& path) {
  if (path.empty())
    return path;
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    std::string result(resolved);
    std::free(resolved);
    return result;
  }
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}
