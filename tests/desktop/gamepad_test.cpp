// The shell's gamepad code against SDL's virtual game controllers: which
// controller buttons each button and stick position of the pad holds, and
// which pad is played as pads are plugged in and unplugged.
#include "platform/gamepad.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "core/controller.h"

namespace {

using Buttons = std::vector<SDL_GameControllerButton>;

struct GamepadTest : ::testing::Test {
  void SetUp() override {
    ASSERT_EQ(SDL_Init(0), 0) << SDL_GetError();
    ASSERT_TRUE(gamepad_start()) << SDL_GetError();
    gamepad_poll_events(pad);  // any pad of the machine itself
  }
  void TearDown() override { gamepad_stop(pad), SDL_Quit(); }
  // Plugs in a virtual pad with every button and axis of SDL's layout.
  static int attach() {
    return SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                     SDL_CONTROLLER_BUTTON_MAX, 0);
  }
  // Holds the given buttons and left stick position on the played pad; the
  // controller buttons that reads as.
  u8 play(const Buttons& buttons, int x = 0, int y = 0) {
    SDL_Joystick* joystick = SDL_GameControllerGetJoystick(pad.controller);
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
      SDL_JoystickSetVirtualButton(joystick, b, 0);
    for (SDL_GameControllerButton b : buttons)
      SDL_JoystickSetVirtualButton(joystick, b, 1);
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTX, static_cast<Sint16>(x));
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, static_cast<Sint16>(y));
    SDL_GameControllerUpdate();
    return gamepad_buttons(pad);
  }
  Gamepad pad;
};

TEST_F(GamepadTest, ButtonsAndStickPlayTheController) {
  ASSERT_GE(attach(), 0) << SDL_GetError();
  ASSERT_TRUE(gamepad_poll_events(pad));
  const std::tuple<Buttons, int, int, u8> cases[] = {
      // The east face button is A, the south one B; X and Y hold nothing.
      {{SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_DPAD_LEFT}, 0, 0, button_a | button_left},
      {{SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_DPAD_RIGHT}, 0, 0, button_b | button_right},
      {{SDL_CONTROLLER_BUTTON_BACK, SDL_CONTROLLER_BUTTON_DPAD_UP}, 0, 0, button_select | button_up},
      {{SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_DPAD_DOWN}, 0, 0, button_start | button_down},
      {{SDL_CONTROLLER_BUTTON_X, SDL_CONTROLLER_BUTTON_Y}, 0, 0, 0},
      // The left stick beyond half its range, and not at half or less.
      {{}, -32768, -20000, button_left | button_up},
      {{}, 30000, 30000, button_right | button_down},
      {{}, 16384, -16384, 0},
      {{}, -16000, 10000, 0},
  };
  for (const auto& [buttons, x, y, expected] : cases)
    EXPECT_EQ(play(buttons, x, y), expected) << "stick " << x << ", " << y;
}

TEST_F(GamepadTest, TheFirstPadPlaysUntilUnpluggedThenTheNext) {
  EXPECT_FALSE(gamepad_poll_events(pad));
  const int first = attach();
  EXPECT_TRUE(gamepad_poll_events(pad));  // arrives: "Gamepad Connected"
  const SDL_JoystickID first_id = pad.instance;
  const int second = attach();
  EXPECT_FALSE(gamepad_poll_events(pad));  // the first one stays the pad
  EXPECT_EQ(pad.instance, first_id);
  EXPECT_EQ(play({SDL_CONTROLLER_BUTTON_START}), button_start);

  // Indices shift down as devices go: the second pad is found by its place.
  SDL_JoystickDetachVirtual(first);
  EXPECT_TRUE(gamepad_poll_events(pad));  // the second takes over
  ASSERT_NE(pad.controller, nullptr);
  EXPECT_NE(pad.instance, first_id);
  EXPECT_EQ(play({SDL_CONTROLLER_BUTTON_A}), button_b);

  SDL_JoystickDetachVirtual(second - 1);
  EXPECT_FALSE(gamepad_poll_events(pad));
  EXPECT_EQ(pad.controller, nullptr);
  EXPECT_EQ(gamepad_buttons(pad), 0);
  attach();  // plugged in again while Corvel runs
  EXPECT_TRUE(gamepad_poll_events(pad));
}

}  // namespace
