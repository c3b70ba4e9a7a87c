// The program-wide state around the consoles: the running game or the
// gallery's previews (never both), the recent list and the audio hand-off.
// The desktop shell and the headless tool each own one Session.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "audio/apu.h"

struct Console;
class Platform;

constexpr int recent_count = 9;
constexpr int gallery_cells = 9;
constexpr int gallery_warmup_steps = 180;
constexpr int state_slots = 4;
// The running game's battery RAM is written this often (in frames, about a
// minute) when it has changed, so a crash or a power cut costs little.
constexpr int battery_keep_frames = 3600;

enum : int {
  mode_none = -1,
  mode_gallery = 0,
  mode_game = 1,
};

// Menu command identifiers.
enum : int {
  CMD_OPEN_ROM = 0,
  CMD_GALLERY = 1,
  CMD_ABOUT = 2,
  CMD_ROM_INFO = 100,
  CMD_RESET = 1000,
};

struct Session {
  std::unique_ptr<Console> current;                             // the running game
  std::array<std::unique_ptr<Console>, gallery_cells> gallery;  // row by row
  int mode = mode_none;
  int gallery_warmup = 0;
  int gallery_hover = -1;
  int gallery_turn = 0;
  std::array<std::string, recent_count> recent;  // most recent first; "" is empty
  std::string settings_path;                     // the recent-list file

  Platform* platform = nullptr;      // keys, messages, audio pause; not owned
  ChunkCallback on_chunk = nullptr;  // where the running game's sound goes
  void* on_chunk_user = nullptr;
  int game_sound = 1;  // whether the running game's APU makes samples (the headless tool may turn it off)
  void (*set_playing)(void* user, bool playing) = nullptr;  // "a console is playing" flag
  void* set_playing_user = nullptr;

  // For the running game: frames since its battery RAM was last compared with
  // the file, and whether "Saves Kept in the Saves Folder" was shown for it.
  int battery_frames = 0;
  bool saves_folder_noted = false;

  // The save-state keys F1-F4: down at the previous poll, and went down at
  // this poll (set for exactly one poll per press).
  std::array<bool, state_slots> state_key_held{};
  std::array<bool, state_slots> state_key_pressed{};

  Session();
  ~Session();
};

// Makes the image the running game; remember adds it to the recent list.
// Returns true when the image was opened; on failure everything stays as it
// was and the reason is shown ("Cannot Open: File Not Found").
bool open_rom(Session& session, const std::string& path, int remember);
// Replaces the running game by the gallery of recent images.
void enter_gallery(Session& session);
// The "Software Reset" command.
void software_reset(Session& session);
// Closes the running game (battery written) when the program quits. Returns
// false, having shown "Unable to Save SRAM", when the battery file could not
// be written.
bool close_current(Session& session);
// After frames of the running game have run: every battery_keep_frames
// frames its battery RAM is written when it differs from the file.
void keep_battery(Session& session, int frames);
// Shows "Saves Kept in the Saves Folder" the first time since the running
// game was opened that one of its files was read from or went there.
void note_saves_folder(Session& session);

// Records a path as the most recent entry. Paths shorter than 2 characters
// or holding a line break are refused; a path already listed stays where it is.
void add_recent(Session& session, const std::string& path);
// The path with the extension of its file name removed: everything from the
// last dot of the last path component. A dot in a directory name is kept.
std::string strip_extension(const std::string& path);
// The absolute form of a path, with links resolved when the file exists.
std::string absolute_path(const std::string& path);
