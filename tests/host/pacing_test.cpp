#include <gtest/gtest.h>

#include <regex>

#include "host/about.h"
#include "host/pacing.h"
#include "text/message.h"

TEST(HostPacing, SleepsOutTheRestOfSixteenMilliseconds) {
  struct Case {
    long long elapsed_ms;
    long long sleep_ms;
  };
  const Case cases[] = {
      {0, 16}, {1, 15}, {10, 6}, {15, 1}, {16, 0}, {17, 0}, {40, 0}, {100000, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pacing_sleep_ms(c.elapsed_ms), c.sleep_ms) << "after " << c.elapsed_ms << " ms";
  }
}

TEST(HostPacing, NeverSleepsLongerThanOnePeriod) {
  // A clock that appears to run backwards must not stall the loop.
  EXPECT_EQ(pacing_sleep_ms(-5), 16);
}

TEST(HostPacing, FastForwardRunsNineFramesPerStep) {
  EXPECT_EQ(game_extra_frames(false) + 1, 1);
  EXPECT_EQ(game_extra_frames(true) + 1, 9);
}

// Counts the presented game frames on which the message is drawn.
int frames_showing(int& message_frames, int presented) {
  int shown = 0;
  for (int i = 0; i < presented; ++i)
    shown += take_message_frame(message_frames) ? 1 : 0;
  return shown;
}

TEST(GameMessage, IsVisibleOnExactly120PresentedFrames) {
  OnScreenMessage message;
  set_message(message, "Saved State 2");
  EXPECT_EQ(frames_showing(message.message_frames, 500), 120);
  EXPECT_EQ(message.message_frames, 0);
}

TEST(GameMessage, SecondMessageRestartsTheCount) {
  OnScreenMessage message;
  set_message(message, "Saved State 1");
  EXPECT_EQ(frames_showing(message.message_frames, 50), 50);
  set_message(message, "Loaded State 1");
  EXPECT_EQ(message.text, "Loaded State 1");
  EXPECT_EQ(frames_showing(message.message_frames, 500), 120);
}

TEST(GameMessage, EmptyTextStillSetsTheCount) {
  OnScreenMessage message;
  set_message(message, "");
  EXPECT_EQ(message.message_frames, 120);
  EXPECT_TRUE(message.image_changed);
}

TEST(GameMessage, NoMessageMeansNothingDrawnAndCountStaysAtZero) {
  int message_frames = 0;
  EXPECT_EQ(frames_showing(message_frames, 10), 0);
  EXPECT_EQ(message_frames, 0);
  message_frames = -7;  // left below zero by the gallery
  EXPECT_FALSE(take_message_frame(message_frames));
  EXPECT_EQ(message_frames, -7);
}

TEST(GalleryMessage, IsDrawnOnlyWhileTheCountIsPositive) {
  EXPECT_TRUE(gallery_shows_message(120));
  EXPECT_TRUE(gallery_shows_message(1));
  EXPECT_FALSE(gallery_shows_message(0));
  EXPECT_FALSE(gallery_shows_message(-3));
}

TEST(Viewport, FollowsTheWindowButIgnoresZeroSizes) {
  struct Case {
    int width, height;
    bool changes;
    int expect_width, expect_height;
  };
  const Case cases[] = {
      {800, 300, true, 800, 300}, {0, 300, false, 512, 512}, {800, 0, false, 512, 512},
      {0, 0, false, 512, 512},    {-5, 40, false, 512, 512}, {1, 1, true, 1, 1},
  };
  for (const Case& c : cases) {
    int width = 512;
    int height = 512;
    EXPECT_EQ(follow_viewport(width, height, c.width, c.height), c.changes) << c.width << " x " << c.height;
    EXPECT_EQ(width, c.expect_width);
    EXPECT_EQ(height, c.expect_height);
  }
}

TEST(AboutBox, ShowsVersionCreditsAndBuildTime) {
  const std::regex expected(
      "Corvel Version 0\\.3\\.010\n\n"
      "A desktop emulator of the NES home video game console\\.\n\n"
      "Thanks to everyone who documented the NES hardware\\.\n\n"
      "Compiled on [A-Z][a-z]{2} [ 123][0-9] [0-9]{4}, [0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.");
  EXPECT_TRUE(std::regex_match(about_text(), expected)) << about_text();
}
