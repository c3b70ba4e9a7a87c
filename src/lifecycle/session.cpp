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

namespace {

void release(std::unique_ptr<Console>& console, int skip_battery) {
  if (!console)
    return;
  close_console(*console, skip_battery);
  console.reset();
}

void tell_playing(Session& session, bool playing) {
  if (session.set_playing != nullptr)
    session.set_playing(session.set_playing_user, playing);
}

// Loads an image into a fresh console that reports to the session's platform.
// Returns null when the record cannot be made or the image does not load.
std::unique_ptr<Console> load_console(Session& session, const std::string& path) {
  std::unique_ptr<Console> console(new (std::nothrow) Console());
  if (!console)
    return nullptr;
  console->platform = session.platform;
  if (load_rom(*console, path) != 1)
    return nullptr;
  return console;
}

bool same_file(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

Session::Session() = default;

// Whatever is still open when the session ends is released without writing
// battery files: the shell closes the running game with close_current first.
Session::~Session() {
  release(current, 1);
  for (auto& cell : gallery)
    release(cell, 1);
}

bool open_rom(Session& session, const std::string& path, int remember) {
  std::unique_ptr<Console> console = load_console(session, path);
  if (!console)
    return false;

  // Reopening the game that runs: its RAM goes to the battery file first, so
  // the new console starts from the RAM as it is now, not as it was at start.
  if (session.current && same_file(session.current->rom_path, path))
    write_battery_file(*session.current);

  if (power_up(*console, session.on_chunk, session.on_chunk_user, session.game_sound) != 1) {
    // A console without all its parts is never run; what ran goes on.
    close_console(*console, 1);
    return false;
  }

  release(session.current, 0);
  for (auto& cell : session.gallery)
    release(cell, 1);

  session.current = std::move(console);
  session.mode = mode_game;
  tell_playing(session, true);
  if (session.platform != nullptr)
    session.platform->pause_audio(false);

  if (remember == 1)
    add_recent(session, absolute_path(path));
  return true;
}

void enter_gallery(Session& session) {
  if (session.mode == mode_gallery)
    return;
  tell_playing(session, false);
  release(session.current, 0);

  // Images that load fill the grid from the top left without gaps; one that
  // loads but cannot be powered up leaves its cell empty.
  int cell = 0;
  for (const std::string& entry : session.recent) {
    if (entry.empty())
      continue;
    std::unique_ptr<Console> console = load_console(session, entry);
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

void close_current(Session& session) {
  if (!session.current)
    return;
  tell_playing(session, false);
  release(session.current, 0);
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
