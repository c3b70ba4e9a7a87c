#include "lifecycle/gallery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/console.h"
#include "lifecycle/session.h"
#include "platform/platform.h"
#include "ppu/ppu.h"
#include "text/message.h"

namespace fs = std::filesystem;

TEST(GalleryGeometry, CellUnderThePointer) {
  struct Case {
    int x, y, width, height, cell;
  };
  const Case cases[] = {
      {0, 0, 600, 600, 0},
      {199, 0, 600, 600, 0},
      {200, 0, 600, 600, 1},
      {399, 0, 600, 600, 1},
      {400, 0, 600, 600, 2},
      {599, 599, 600, 600, 8},
      {0, 200, 600, 600, 3},
      {300, 300, 600, 600, 4},
      {0, 400, 600, 600, 6},
      {600, 0, 600, 600, -1},
      {0, 600, 600, 600, -1},
      {-1, 0, 600, 600, -1},
      {0, -1, 600, 600, -1},
      {-199, 5, 600, 600, -1},  // truncation toward zero would say column 0
      {5, -199, 600, 600, -1},
      // 512 / 3 = 170 pixels per cell: the last two pixels lie past column 2.
      {509, 200, 512, 512, 5},
      {510, 10, 512, 512, -1},
      {10, 511, 512, 512, -1},
      {797, 299, 800, 300, 8},
      {798, 0, 800, 300, -1},
      // Too small to hold three cells.
      {0, 0, 2, 600, -1},
      {0, 0, 600, 2, -1},
      {0, 0, 0, 0, -1},
      {1, 1, 3, 3, 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(gallery_cell_at(c.x, c.y, c.width, c.height), c.cell)
        << "(" << c.x << ", " << c.y << ") in " << c.width << " x " << c.height;
  }
}

TEST(GalleryLabel, IsTheFileNameAfterTheLastSlash) {
  struct Case {
    const char* path;
    const char* label;
  };
  const Case cases[] = {
      {"/home/ana/roms/Game.nes", "Game.nes"},
      {"/Game.nes", "Game.nes"},
      {"/my.roms/v1.0/100% Fun.nes", "100% Fun.nes"},
      {"/roms/", ""},
      {"Game.nes", "ame.nes"},  // no slash: everything after the first character
      {"G", ""},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(gallery_label(c.path), c.label) << c.path;
}

namespace {

// Records the on-screen messages and keeps the message the way the shell does.
class RecordingPlatform : public Platform {
 public:
  bool key_down(int) override { return false; }
  void show_message(const std::string& text) override {
    shown.push_back(text);
    set_message(message, text);
  }
  void message_box(const std::string&, const std::string&) override {}
  void pause_audio(bool) override {}

  OnScreenMessage message;
  std::vector<std::string> shown;
};

constexpr int width = 600;
constexpr int height = 600;

// The pointer over the middle of a cell.
GalleryPointer over(int cell, bool button = false, bool focused = true) {
  GalleryPointer pointer;
  pointer.x = (cell % 3) * 200 + 100;
  pointer.y = (cell / 3) * 200 + 100;
  pointer.viewport_width = width;
  pointer.viewport_height = height;
  pointer.button_down = button;
  pointer.focused = focused;
  return pointer;
}

GalleryPointer outside() {
  GalleryPointer pointer = over(0);
  pointer.x = -20;
  return pointer;
}

class GalleryStep : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = fs::temp_directory_path() /
                ("corvel_gallery_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(directory);
    fs::create_directories(directory);
    session.platform = &platform;
  }

  void TearDown() override {
    close_current(session);
    for (auto& cell : session.gallery)
      cell.reset();
    fs::remove_all(directory);
  }

  // A copy of our test cartridge under the given name.
  std::string image(const std::string& name) {
    const fs::path path = directory / name;
    fs::copy_file(fs::path(CORVEL_CARTRIDGE_DIR) / "desktop_view.nes", path,
                  fs::copy_options::overwrite_existing);
    return path.string();
  }

  void enter(const std::vector<std::string>& recent) {
    for (std::size_t i = 0; i < recent.size() && i < session.recent.size(); ++i) {
      session.recent[i] = recent[i];
    }
    enter_gallery(session);
    ASSERT_EQ(session.mode, mode_gallery);
  }

  bool step(const GalleryPointer& pointer) {
    return gallery_step(session, platform.message.message_frames, pointer);
  }

  u32 frames_run(int cell) const { return session.gallery[cell]->ppu->frame_counter; }

  fs::path directory;
  RecordingPlatform platform;
  Session session;
};

}  // namespace

TEST_F(GalleryStep, FirstRedrawComesOneToNineStepsAfterEntering) {
  enter({image("a.nes")});
  for (int turn = 0; turn < gallery_turns; ++turn) {
    session.gallery_turn = turn;
    int steps = 0;
    bool redrawn = false;
    while (!redrawn && steps < 20) {
      redrawn = step(outside());
      ++steps;
    }
    EXPECT_EQ(steps, gallery_turns - turn) << "starting at turn " << turn;
    EXPECT_EQ(session.gallery_turn, 0);
  }
}

TEST_F(GalleryStep, RedrawsEveryNinthStep) {
  enter({});
  session.gallery_turn = 0;
  std::vector<int> redraws;
  for (int i = 1; i <= 40; ++i) {
    if (step(outside()))
      redraws.push_back(i);
  }
  EXPECT_EQ(redraws, (std::vector<int>{9, 18, 27, 36}));
}

TEST_F(GalleryStep, WarmUpRunsEveryPreviewOnEveryStep) {
  enter({image("a.nes"), "", image("b.nes"), image("c.nes")});
  ASSERT_TRUE(session.gallery[0] && session.gallery[1] && session.gallery[2]);
  EXPECT_FALSE(session.gallery[3]);
  EXPECT_EQ(session.gallery_warmup, gallery_warmup_steps);

  for (int i = 0; i < gallery_warmup_steps; ++i)
    step(outside());
  EXPECT_EQ(session.gallery_warmup, 0);
  for (int cell = 0; cell < 3; ++cell)
    EXPECT_EQ(frames_run(cell), 180u) << "cell " << cell;
}

TEST_F(GalleryStep, AfterWarmUpPreviewsTakeTurns) {
  enter({image("a.nes"), image("b.nes")});
  session.gallery_warmup = 0;
  session.gallery_turn = 0;
  const u32 start0 = frames_run(0);
  const u32 start1 = frames_run(1);

  step(outside());  // turn 0
  EXPECT_EQ(frames_run(0), start0 + 1);
  EXPECT_EQ(frames_run(1), start1);
  step(outside());  // turn 1
  EXPECT_EQ(frames_run(1), start1 + 1);
  for (int i = 2; i < gallery_turns; ++i)
    step(outside());  // empty cells' turns
  EXPECT_EQ(frames_run(0), start0 + 1);
  EXPECT_EQ(frames_run(1), start1 + 1);
  step(outside());  // turn 0 again
  EXPECT_EQ(frames_run(0), start0 + 2);
}

TEST_F(GalleryStep, HoverShowsTheFileNameOncePerCell) {
  enter({image("first.nes"), image("second.nes")});
  step(over(0));
  step(over(0));
  step(over(1));
  step(over(1));
  step(over(0));
  EXPECT_EQ(platform.shown, (std::vector<std::string>{"first.nes", "second.nes", "first.nes"}));
  EXPECT_EQ(session.gallery_hover, 0);
  EXPECT_EQ(platform.message.message_frames, 120);  // set after this step counted down
}

TEST_F(GalleryStep, MovingBetweenEmptyCellsClearsTheLabelOnce) {
  enter({image("only.nes")});
  step(over(0));
  step(over(4));
  step(over(5));
  step(over(8));
  EXPECT_EQ(platform.shown, (std::vector<std::string>{"only.nes", ""}));
  EXPECT_EQ(session.gallery_hover, -1);
}

TEST_F(GalleryStep, PointerOutsideForgetsTheHoverWithoutAMessage) {
  enter({image("only.nes")});
  step(over(0));
  step(outside());
  EXPECT_EQ(session.gallery_hover, -1);
  EXPECT_EQ(platform.shown.size(), 1u);
  step(over(0));  // coming back shows the label again
  EXPECT_EQ(platform.shown.size(), 2u);
}

TEST_F(GalleryStep, PercentInTheFileNameIsShownAsItIs) {
  enter({image("100%d %s.nes")});
  step(over(0));
  ASSERT_EQ(platform.shown.size(), 1u);
  EXPECT_EQ(platform.shown[0], "100%d %s.nes");
}

TEST_F(GalleryStep, ClickOnEmptyCellOnlyForgetsTheHover) {
  enter({image("only.nes")});
  step(over(0));
  EXPECT_EQ(session.gallery_hover, 0);
  step(over(4, true));
  EXPECT_EQ(session.gallery_hover, -1);
  EXPECT_EQ(session.mode, mode_gallery);
  EXPECT_TRUE(session.gallery[0]);
}

TEST_F(GalleryStep, ClickWithoutFocusOrOutsideDoesNothing) {
  enter({image("only.nes")});
  step(over(0, true, false));
  EXPECT_EQ(session.mode, mode_gallery);
  GalleryPointer pointer = outside();
  pointer.button_down = true;
  step(pointer);
  EXPECT_EQ(session.mode, mode_gallery);
  EXPECT_TRUE(session.gallery[0]);
}

TEST_F(GalleryStep, ClickOnPreviewOpensItWithoutChangingTheRecentList) {
  const std::string first = image("first.nes");
  const std::string second = image("second.nes");
  enter({first, second});
  const auto recent_before = session.recent;

  step(over(1, true));
  EXPECT_EQ(session.mode, mode_game);
  ASSERT_TRUE(session.current);
  EXPECT_EQ(fs::path(session.current->rom_path).filename(), "second.nes");
  for (const auto& cell : session.gallery)
    EXPECT_FALSE(cell);
  EXPECT_EQ(session.recent, recent_before);
}

TEST_F(GalleryStep, MessageCountsDownOnEveryStepAndGoesBelowZero) {
  enter({});
  platform.message.message_frames = 0;
  for (int i = 0; i < 5; ++i)
    step(outside());
  EXPECT_EQ(platform.message.message_frames, -5);

  enter({});  // already in the gallery: nothing changes
  show_message(&platform, "Saved State %d", 3);
  EXPECT_EQ(platform.message.message_frames, 120);
  for (int i = 0; i < 130; ++i)
    step(outside());
  EXPECT_EQ(platform.message.message_frames, -10);
}

TEST_F(GalleryStep, StateSurvivesLeavingAndReenteringTheGallery) {
  const std::string first = image("first.nes");
  enter({first});
  step(over(0));
  step(outside());
  step(outside());
  const int turn = session.gallery_turn;
  ASSERT_TRUE(open_rom(session, first, 0));
  enter_gallery(session);
  EXPECT_EQ(session.gallery_turn, turn);
  EXPECT_EQ(session.gallery_warmup, gallery_warmup_steps);
}
