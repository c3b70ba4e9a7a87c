// The demo cartridge run in process, frame by frame, with a scripted pad:
// the split under the status bar, the scrolling landscape and the raven's
// response to the D-pad, checked on the picture itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cartridge/ines.h"
#include "core/console.h"
#include "core/controller.h"
#include "core/scheduler.h"
#include "lifecycle/power.h"
#include "platform/platform.h"
#include "ppu/ppu.h"

namespace fs = std::filesystem;

namespace {

// Controller bits as the game reads them: A, B, Select, Start, Up, Down, Left, Right.
constexpr u8 pad_a = 0x01, pad_b = 0x02, pad_start = 0x08, pad_up = 0x10, pad_down = 0x20, pad_left = 0x40,
             pad_right = 0x80;

class Pad : public Platform {
 public:
  u8 buttons = 0;
  bool key_down(int virtual_key) override {
    for (int bit = 0; bit < 8; bit++) {
      if (controller_keys[bit] == virtual_key)
        return buttons & (1 << bit);
    }
    return false;
  }
  void show_message(const std::string&) override {}
  void message_box(const std::string&, const std::string&) override {}
  void pause_audio(bool) override {}
};

using Rgb = unsigned;

// Colours of the demo's palettes that the tests look for.
constexpr Rgb raven_gold = 0xF3BF3F;  // the raven's eye, beak and feet (and the status bar's rule)
constexpr Rgb feather_orange = 0xFF9B3B;
constexpr Rgb river_blue = 0x233BEF;

class DemoRun : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("corvel_demo_picture_" + std::to_string(getpid()) + "_" +
                                        testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::copy_file(fs::path(CORVEL_CARTRIDGE_DIR) / "demo.nes", dir_ / "demo.nes");
    console_ = std::make_unique<Console>();
    console_->platform = &pad_;
    ASSERT_EQ(load_rom(*console_, (dir_ / "demo.nes").string()), 1);
    ASSERT_EQ(power_up(*console_, nullptr, nullptr, 0), 1);
    powered_ = true;
  }
  void TearDown() override {
    if (powered_)
      close_console(*console_, 1);
    fs::remove_all(dir_);
  }

  void run(int frames, u8 buttons = 0) {
    pad_.buttons = buttons;
    for (int i = 0; i < frames; i++)
      run_frames(*console_, 0);
  }

  // From power-up to the first frames of a game.
  void start_game() {
    run(130);
    run(6, pad_start);
    run(4);
  }

  Rgb pixel(int x, int y) const {
    const u8* p = console_->ppu->frame_buffer.get() + (y * screen_width + x) * 3;
    return (p[0] << 16) | (p[1] << 8) | p[2];
  }

  std::vector<Rgb> picture() const {
    std::vector<Rgb> out;
    for (int y = 0; y < screen_height; y++)
      for (int x = 0; x < screen_width; x++)
        out.push_back(pixel(x, y));
    return out;
  }

  // Mean position of the pixels of one colour between two lines; count 0
  // when there are none.
  struct Spot {
    int count = 0;
    double x = 0, y = 0;
  };
  Spot find(Rgb colour, int first_line, int last_line) const {
    Spot spot;
    for (int y = first_line; y <= last_line; y++) {
      for (int x = 0; x < screen_width; x++) {
        if (pixel(x, y) == colour) {
          spot.count++;
          spot.x += x;
          spot.y += y;
        }
      }
    }
    if (spot.count) {
      spot.x /= spot.count;
      spot.y /= spot.count;
    }
    return spot;
  }

  fs::path dir_;
  Pad pad_;
  std::unique_ptr<Console> console_;
  bool powered_ = false;
};

TEST_F(DemoRun, TheLandscapeScrollsOnePixelAFrameUnderAStillStatusBar) {
  start_game();
  run(20);
  std::vector<Rgb> before = picture();
  for (int frame = 0; frame < 120; frame++) {
    run(1);
    const std::vector<Rgb> after = picture();
    SCOPED_TRACE("frame " + std::to_string(frame));
    // The earth at the bottom, where no sprite ever goes, moved one pixel left.
    for (int y = 224; y < screen_height; y++) {
      for (int x = 0; x + 1 < screen_width; x++)
        ASSERT_EQ(after[y * screen_width + x], before[y * screen_width + x + 1]) << x << "," << y;
    }
    // The playfield sits on its tile rows: the river's last line (223, deep
    // blue across) right above the bank's first (224).
    for (int x = 0; x < screen_width; x++) {
      ASSERT_EQ(after[223 * screen_width + x], river_blue) << x;
      ASSERT_NE(after[224 * screen_width + x], river_blue) << x;
    }
    // The status bar's top, its "SCORE" label and its bottom edge did not move.
    for (int y = 0; y < 32; y++) {
      for (int x = 0; x < 48; x++)
        ASSERT_EQ(after[y * screen_width + x], before[y * screen_width + x]) << x << "," << y;
    }
    // The scroll changes on the edge's lines, which look the same at every
    // scroll: each of them is one colour across the whole width.
    for (int y = 24; y < 32; y++) {
      for (int x = 1; x < screen_width; x++)
        ASSERT_EQ(after[y * screen_width + x], after[y * screen_width]) << x << "," << y;
    }
    before = after;
  }
}

TEST_F(DemoRun, TheRavenFollowsTheDpad) {
  struct Case {
    const char* name;
    u8 buttons;
    int dx, dy;  // expected direction of the move
  };
  const Case cases[] = {
      {"right", pad_right, 1, 0},
      {"left", pad_left, -1, 0},
      {"up", pad_up, 0, -1},
      {"down", pad_down, 0, 1},
      {"up and right", pad_up | pad_right, 1, -1},
  };
  start_game();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Spot before = find(raven_gold, 32, 239);
    ASSERT_GT(before.count, 0) << "the raven is on screen";
    run(10, c.buttons);
    run(1);
    const Spot after = find(raven_gold, 32, 239);
    ASSERT_GT(after.count, 0);
    // Two pixels a frame for ten frames.
    EXPECT_NEAR(after.x - before.x, 20.0 * c.dx, 3.0);
    EXPECT_NEAR(after.y - before.y, 20.0 * c.dy, 3.0);
  }
}

TEST_F(DemoRun, ADashDoublesTheRavensSpeed) {
  start_game();
  Spot before = find(raven_gold, 32, 239);
  run(8, pad_right);
  const double walk = find(raven_gold, 32, 239).x - before.x;
  run(1, pad_right | pad_b);  // the dash begins
  run(1, pad_right);
  before = find(raven_gold, 32, 239);
  run(8, pad_right);
  const double dash = find(raven_gold, 32, 239).x - before.x;
  EXPECT_NEAR(walk, 16.0, 3.0);
  EXPECT_NEAR(dash, 32.0, 3.0);
}

TEST_F(DemoRun, AThrowsAFeatherThatFliesRight) {
  start_game();
  EXPECT_EQ(find(feather_orange, 32, 215).count, 0);
  run(2, pad_a);
  run(2);
  const Spot thrown = find(feather_orange, 32, 215);
  ASSERT_GT(thrown.count, 0);
  run(5);
  const Spot later = find(feather_orange, 32, 215);
  ASSERT_GT(later.count, 0);
  EXPECT_NEAR(later.x - thrown.x, 30.0, 3.0);  // six pixels a frame
  // Holding A throws one feather, not one per frame.
  run(10, pad_a);
  run(1);
  EXPECT_LE(find(feather_orange, 32, 215).count, 2 * thrown.count);
}

TEST_F(DemoRun, StartPausesTheGameAndResumesIt) {
  start_game();
  run(30);
  run(2, pad_start);
  run(10);
  const std::vector<Rgb> paused = picture();
  run(60);
  EXPECT_EQ(picture(), paused) << "nothing moves while paused";
  run(2, pad_start);
  run(10);
  EXPECT_NE(picture(), paused);
}

}  // namespace
