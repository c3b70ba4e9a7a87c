// Save states: four numbered snapshots of the running game per image, in
// files beside the image, saved with Shift+F1-F4 and loaded with F1-F4.
//
// File layout, little-endian, nothing between fields:
//   0      11     "CorvelState"
//   11     4      format number, 1000
//   15     4      cycle_budget (IEEE single)
//   19     5      a, x, y, p, s
//   24     2      pc
//   26     12     irq_pending, nmi_pending, reset_pending (u32 each)
//   38     32768  CPU memory $0000-$7FFF (work RAM and battery RAM)
//   32806  M      the mapper's block (M depends on the board)
//   +M     16664  the PPU's block
//   +M     108    the APU's block
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/types.h"

struct Console;
struct Session;

constexpr char state_signature[] = "CorvelState";
constexpr int state_signature_bytes = 11;
constexpr u32 state_format = 1000;
constexpr int state_memory_bytes = 32768;
constexpr int state_fixed_bytes = 49578;  // everything but the mapper's block

// The file of a slot (1-4) beside the image: the image path without its
// extension + "(N).sav". (It may live in the saves folder: see save_place.h.)
std::string state_file_path(const std::string& rom_path, int slot);

// The console's state as the bytes of a state file (none for a console
// that is not fully built).
std::vector<u8> save_state_bytes(Console& console);

// Checks a whole state file against the running console and applies it.
// Returns false, with the console unchanged, when the file does not fit: a
// wrong length for this board, another signature or format, or a field out of
// its range (including the mapper's own checks of its block).
bool load_state_bytes(Console& console, const u8* data, std::size_t size);

// Writes the state to a file, replacing it only once fully written.
bool write_state_file(Console& console, const std::string& path);
// Reads and applies a state file; false when it cannot be read or is refused.
bool read_state_file(Console& console, const std::string& path);

// Saves or loads slot N (1-4) of the running game, beside the image or in the
// saves folder, and reports it on screen ("Saved State 2", "Unable to Load
// State 3"). Return whether it worked.
bool save_slot(Session& session, int slot);
bool load_slot(Session& session, int slot);

// One poll of the save-state keys, after each host step's frame: a fresh
// press of F1-F4 loads that slot, or saves it while Shift is held. Keys are
// tracked in the gallery too, so a press made there never acts later.
void poll_state_hotkeys(Session& session);
