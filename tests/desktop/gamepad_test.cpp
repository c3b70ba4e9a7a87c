// The shell's gamepad code against SDL's virtual game controllers: which pad
// is played as pads come and go, and which controller buttons each button
// and stick position of the pad holds.
#include "platform/gamepad.h"

#include <gtest/gtest.h>

#include "core/controller.h"

namespace {

class GamepadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_Init(0), 0) << SDL_GetError();
    ASSERT_TRUE(gamepad_start()) << SDL_GetError();
    gamepad_poll_events(pad);  // any pad of the machine itself
  }
  void TearDown() override {
    gamepad_stop(pad);
    SDL_Quit();
  }

  // Plugs in a virtual pad with every button and axis of SDL's layout.
  int attach() {
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                                SDL_CONTROLLER_BUTTON_MAX, 0);
    EXPECT_GE(index, 0) << SDL_GetError();
    return index;
  }

  // The played pad's joystick, whose virtual state the test sets.
  SDL_Joystick* played() { return SDL_GameControllerGetJoystick(pad.controller); }

  void set_state(SDL_Joystick* joystick, std::initializer_list<SDL_GameControllerButton> buttons, int x,
                 int y) {
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
      SDL_JoystickSetVirtualButton(joystick, b, 0);
    for (SDL_GameControllerButton b : buttons)
      SDL_JoystickSetVirtualButton(joystick, b, 1);
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTX, static_cast<Sint16>(x));
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, static_cast<Sint16>(y));
    SDL_GameControllerUpdate();
  }

  Gamepad pad;
};

TEST_F(GamepadTest, ButtonsAndStickPlayTheController) {
  attach();
  ASSERT_TRUE(gamepad_poll_events(pad));
  ASSERT_NE(pad.controller, nullptr);
  struct Case {
    std::initializer_list<SDL_GameControllerButton> buttons;
    int x, y;
    u8 expected;
  };
  const Case cases[] = {
      {{}, 0, 0, 0},
      {{SDL_CONTROLLER_BUTTON_B}, 0, 0, button_a},  // the east face button
      {{SDL_CONTROLLER_BUTTON_A}, 0, 0, button_b},  // the south face button
      {{SDL_CONTROLLER_BUTTON_X, SDL_CONTROLLER_BUTTON_Y}, 0, 0, 0},
      {{SDL_CONTROLLER_BUTTON_BACK}, 0, 0, button_select},
      {{SDL_CONTROLLER_BUTTON_START}, 0, 0, button_start},
      {{SDL_CONTROLLER_BUTTON_DPAD_UP}, 0, 0, button_up},
      {{SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_DPAD_RIGHT}, 0, 0, button_a | button_right},
      // The left stick beyond half its range, and not at half or less.
      {{}, -32768, -20000, button_left | button_up},
      {{}, 30000, 30000, button_right | button_down},
      {{}, 16384, -16384, 0},
      {{}, -16000, 10000, 0},
  };
  for (const Case& c : cases) {
    set_state(played(), c.buttons, c.x, c.y);
    EXPECT_EQ(gamepad_buttons(pad), c.expected) << "stick " << c.x << ", " << c.y;
  }
}

TEST_F(GamepadTest, TheFirstPadPlaysUntilUnpluggedThenTheNext) {
  EXPECT_FALSE(gamepad_poll_events(pad));
  EXPECT_EQ(gamepad_buttons(pad), 0);

  const int first = attach();
  EXPECT_TRUE(gamepad_poll_events(pad));  // arrives: "Gamepad Connected"
  SDL_Joystick* first_joystick = played();
  const int second = attach();
  EXPECT_FALSE(gamepad_poll_events(pad));  // the first one stays the pad
  EXPECT_EQ(played(), first_joystick);
  set_state(first_joystick, {SDL_CONTROLLER_BUTTON_START}, 0, 0);
  EXPECT_EQ(gamepad_buttons(pad), button_start);

  // Indices shift down as devices go: the second pad is found by its place.
  SDL_JoystickDetachVirtual(first);
  EXPECT_TRUE(gamepad_poll_events(pad));  // the second takes over
  ASSERT_NE(pad.controller, nullptr);
  EXPECT_NE(played(), first_joystick);
  set_state(played(), {SDL_CONTROLLER_BUTTON_A}, 0, 0);
  EXPECT_EQ(gamepad_buttons(pad), button_b);

  SDL_JoystickDetachVirtual(second - 1);
  EXPECT_FALSE(gamepad_poll_events(pad));
  EXPECT_EQ(pad.controller, nullptr);
  EXPECT_EQ(gamepad_buttons(pad), 0);

  attach();  // plugged in again while Corvel runs
  EXPECT_TRUE(gamepad_poll_events(pad));
  EXPECT_NE(pad.controller, nullptr);
}

}  // namespace
