#include "lifecycle/gallery.h"

#include <climits>

#include "core/console.h"
#include "core/scheduler.h"
#include "lifecycle/session.h"
#include "text/message.h"

int gallery_cell_at(int x, int y, int viewport_width, int viewport_height) {
  const int cell_width = viewport_width / gallery_columns;
  const int cell_height = viewport_height / gallery_rows;
  // A picture area narrower than three pixels has no cells to point at.
  if (cell_width <= 0 || cell_height <= 0)
    return -1;
  // The sign tests come first: integer division truncates toward zero, so a
  // pointer a few pixels left of the area would otherwise land in column 0.
  if (x < 0 || y < 0)
    return -1;
  const int column = x / cell_width;
  const int row = y / cell_height;
  if (column >= gallery_columns || row >= gallery_rows)
    return -1;
  return row * gallery_columns + column;
}

std::string gallery_label(const std::string& rom_path) {
  const std::size_t slash = rom_path.rfind('/');
  if (slash != std::string::npos)
    return rom_path.substr(slash + 1);
  return rom_path.size() > 1 ? rom_path.substr(1) : std::string();
}

namespace {

void run_previews(Session& session) {
  if (session.gallery_warmup > 0) {
    // The warm-up: every preview advances each step, so that the games are
    // past their first frames when the grid is first seen.
    session.gallery_warmup -= 1;
    for (auto& console : session.gallery) {
      if (console)
        run_frames(*console, 0);
    }
    return;
  }
  const int turn = session.gallery_turn;
  if (turn >= 0 && turn < gallery_cells && session.gallery[turn]) {
    run_frames(*session.gallery[turn], 0);
  }
}

void follow_pointer(Session& session, const GalleryPointer& pointer) {
  const int cell = gallery_cell_at(pointer.x, pointer.y, pointer.viewport_width, pointer.viewport_height);
  if (cell < 0) {
    session.gallery_hover = -1;
    return;
  }
  Console* console = session.gallery[cell].get();
  if (console == nullptr) {
    // Moving onto an empty cell clears the label once, not on every step.
    if (session.gallery_hover != -1) {
      session.gallery_hover = -1;
      show_message(session.platform, "%s", "");
    }
  } else if (cell != session.gallery_hover) {
    session.gallery_hover = cell;
    // The name is shown as it is: a '%' in it is not a format.
    show_message(session.platform, "%s", gallery_label(console->rom_path).c_str());
  }

  if (pointer.button_down && pointer.focused) {
    if (console != nullptr) {
      // open_rom releases the gallery's consoles, this one included.
      const std::string path = console->rom_path;
      open_rom(session, path, 0);
    } else {
      session.gallery_hover = -1;
    }
  }
}

}  // namespace

bool gallery_step(Session& session, int& message_frames, const GalleryPointer& pointer) {
  // The message counts down on every gallery step, drawn or not; it keeps
  // going below zero (a new message sets it to 120 again).
  if (message_frames > INT_MIN)
    message_frames -= 1;

  run_previews(session);
  follow_pointer(session, pointer);

  session.gallery_turn += 1;
  if (session.gallery_turn < gallery_turns)
    return false;
  session.gallery_turn = 0;
  return true;
}
