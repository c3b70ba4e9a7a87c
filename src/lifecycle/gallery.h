// The gallery's logic, free of any window system: which cell lies under the
// pointer, the hover label, the click that opens a preview, the previews'
// share of emulated time and when the grid is redrawn. The shell feeds it the
// pointer and draws the grid when gallery_step asks for it.
#pragma once

#include <string>

struct Session;

constexpr int gallery_columns = 3;
constexpr int gallery_rows = 3;
// Steps between two redraws of the grid: after the warm-up each preview
// advances one frame per this many steps, the previews taking turns.
constexpr int gallery_turns = gallery_columns * gallery_rows;

// Shown centred in the grid while no recent image loads.
constexpr const char* gallery_empty_hint = "Open an Image: File, Open ROM...";

// What the shell knows about the pointer at the time of a step. The position
// is in the picture area's pixels (negative or beyond the size when the
// pointer is outside it).
struct GalleryPointer {
  int x = -1;
  int y = -1;
  int viewport_width = 0;
  int viewport_height = 0;
  bool button_down = false;  // the left mouse button
  bool focused = false;      // the main window has the keyboard focus
};

// The cell (row * 3 + column) under the pointer, or -1 when the pointer is
// outside the grid or the picture area is too small to hold three columns or
// three rows of pixels.
int gallery_cell_at(int x, int y, int viewport_width, int viewport_height);

// The hover label of an image: the file name after the last '/', or, for a
// path without one, everything after its first character.
std::string gallery_label(const std::string& rom_path);

// One host step in gallery mode: counts the on-screen message down, runs the
// previews, follows the pointer (label, click) and advances the turn.
// Returns true on the step that should redraw the grid (every ninth).
bool gallery_step(Session& session, int& message_frames, const GalleryPointer& pointer);
