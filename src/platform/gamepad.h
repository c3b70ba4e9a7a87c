// A gamepad as the first controller, through SDL2's game controller API,
// which gives every known pad the same layout of named buttons and axes.
//
// The first connected pad is the one played; when it is unplugged the next
// one still connected takes its place. Plugging and unplugging are SDL's
// device events, read once per host step; the buttons are read when the game
// latches the controller, from the state SDL last saw.
#pragma once

#include <SDL.h>

#include "core/types.h"

struct Gamepad {
  SDL_GameController* controller = nullptr;
  SDL_JoystickID instance = -1;  // SDL's number for the open pad
};

// Starts SDL's game controller support. Returns false when it cannot start
// (Corvel then plays from the keyboard alone).
bool gamepad_start();
// Reads SDL's device events. Returns true when a pad arrived and is now the
// one played.
bool gamepad_poll_events(Gamepad& pad);
// The buttons held, in the bit order of a latched controller: A (the east
// face button), B (the south one), Select (Back), Start, then Up, Down, Left
// and Right from the d-pad or the left stick pushed beyond half its range.
u8 gamepad_buttons(const Gamepad& pad);
void gamepad_stop(Gamepad& pad);
