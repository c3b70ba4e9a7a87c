#include "platform/gamepad.h"

#include "core/controller.h"

namespace {

// A stick counts as pushed beyond half its range of -32768 to 32767.
constexpr int stick_threshold = 16384;

struct ButtonMapping {
  SDL_GameControllerButton button;
  u8 bit;
};

// SDL names face buttons by their place: A is the south button and B the
// east one, whatever is printed on them. The NES pad has B on the left and A
// on the right, so the east button plays A and the south one B.
constexpr ButtonMapping button_mappings[] = {
    {SDL_CONTROLLER_BUTTON_B, button_a},
    {SDL_CONTROLLER_BUTTON_A, button_b},
    {SDL_CONTROLLER_BUTTON_BACK, button_select},
    {SDL_CONTROLLER_BUTTON_START, button_start},
    {SDL_CONTROLLER_BUTTON_DPAD_UP, button_up},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, button_down},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, button_left},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, button_right},
};

// Opens the device at SDL's index when no pad is open yet.
bool adopt(Gamepad& pad, int device_index) {
  if (pad.controller != nullptr || !SDL_IsGameController(device_index))
    return false;
  SDL_GameController* controller = SDL_GameControllerOpen(device_index);
  if (controller == nullptr)
    return false;
  pad.controller = controller;
  pad.instance = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
  return true;
}

void release(Gamepad& pad) {
  if (pad.controller != nullptr)
    SDL_GameControllerClose(pad.controller);
  pad.controller = nullptr;
  pad.instance = -1;
}

// After the played pad is gone, the first other pad still connected.
bool adopt_any(Gamepad& pad) {
  for (int index = 0; index < SDL_NumJoysticks(); ++index) {
    if (adopt(pad, index))
      return true;
  }
  return false;
}

}  // namespace

bool gamepad_start() {
  // Buttons by their place, not by the letters some makers print on them.
  SDL_SetHint(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0");
  // Corvel's window belongs to FLTK: SDL's pads count only while it has the
  // focus, which the shell decides, so SDL must not drop them in background.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  return SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
}

bool gamepad_poll_events(Gamepad& pad) {
  bool arrived = false;
  SDL_Event event;
  SDL_PumpEvents();
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    if (event.type == SDL_CONTROLLERDEVICEADDED) {
      arrived = adopt(pad, event.cdevice.which) || arrived;
    } else if (event.type == SDL_CONTROLLERDEVICEREMOVED && event.cdevice.which == pad.instance) {
      release(pad);
      arrived = adopt_any(pad) || arrived;
    }
  }
  return arrived;
}

u8 gamepad_buttons(const Gamepad& pad) {
  if (pad.controller == nullptr)
    return 0;
  u8 buttons = 0;
  for (const ButtonMapping& mapping : button_mappings) {
    if (SDL_GameControllerGetButton(pad.controller, mapping.button))
      buttons |= mapping.bit;
  }
  const int x = SDL_GameControllerGetAxis(pad.controller, SDL_CONTROLLER_AXIS_LEFTX);
  const int y = SDL_GameControllerGetAxis(pad.controller, SDL_CONTROLLER_AXIS_LEFTY);
  if (x < -stick_threshold)
    buttons |= button_left;
  if (x > stick_threshold)
    buttons |= button_right;
  if (y < -stick_threshold)
    buttons |= button_up;  // SDL's y grows downwards
  if (y > stick_threshold)
    buttons |= button_down;
  return buttons;
}

void gamepad_stop(Gamepad& pad) {
  release(pad);
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}
