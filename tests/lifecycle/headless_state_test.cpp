// The headless tool's save-state slots and battery file, on a copy of a test
// cartridge in a scratch folder.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "lifecycle/save_state.h"
#include "lifecycle_support.h"

namespace {

using namespace lifecycle_test;

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

class HeadlessState : public ::testing::Test {
 protected:
  ScratchDir dir;
  std::string image = dir / "resume.nes";

  void SetUp() override {
    write_file(image, read_file(std::string(CORVEL_CARTRIDGE_DIR) + "/lifecycle_resume.nes"));
    ASSERT_GT(read_file(image).size(), 16u);
  }

  ToolRun run(const std::string& arguments, const std::string& environment = "") {
    std::string command = environment + "'" + CORVEL_HEADLESS + "' " + arguments + " '" + image + "' >'" +
                          (dir / "out.txt") + "' 2>'" + (dir / "err.txt") + "'";
    int status = std::system(command.c_str());
    ToolRun result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = read_text(dir / "out.txt");
    result.err = read_text(dir / "err.txt");
    return result;
  }
};

// From power-up the program passes after 120 frames; resumed from a state
// saved after 60 it passes within 70 more.
TEST_F(HeadlessState, ARunResumesFromASavedSlot) {
  ToolRun save = run("--frames 60 --save-state 2");
  EXPECT_EQ(save.status, 0);
  EXPECT_EQ(save.err, "Saved State 2\n");
  EXPECT_EQ(read_file(dir / "resume(2).sav").size(), 49578u + 4u);

  ToolRun fresh = run("--blargg --frames 70");
  EXPECT_EQ(fresh.status, 3) << fresh.out;

  ToolRun resumed = run("--blargg --frames 70 --load-state 2");
  EXPECT_EQ(resumed.status, 0) << resumed.out << resumed.err;
  EXPECT_EQ(resumed.err, "Loaded State 2\n");
}

TEST_F(HeadlessState, ARefusedLoadExitsWithoutRunning) {
  struct Case {
    const char* name;
    std::string contents;
    bool write;
  };
  const Case cases[] = {
      {"missing", "", false},
      {"garbage", "CorvelState but not much else", true},
      {"empty", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.write)
      write_text(dir / "resume(3).sav", c.contents);
    ToolRun load = run("--blargg --frames 200 --load-state 3");
    EXPECT_EQ(load.status, 65);
    EXPECT_EQ(load.err, "Unable to Load State 3\n");
    EXPECT_EQ(load.out, "") << "nothing ran, so nothing is reported";
  }
}

// The slot's name beside the image is taken by a folder and the saves folder
// cannot be made (a file stands where it should be).
TEST_F(HeadlessState, ASaveThatCannotBeWrittenIsReported) {
  ::mkdir((dir / "resume(1).sav").c_str(), 0755);
  write_text(dir / "data", "");
  ToolRun save = run("--frames 5 --save-state 1", "XDG_DATA_HOME='" + dir / "data" + "' ");
  EXPECT_EQ(save.err, "Unable to Save State 1\n");
}

// With the battery bit set in the header, the result area the program wrote
// at $6000 is in the battery file after the run and read back by the next.
TEST_F(HeadlessState, BatteryFileIsWrittenAfterTheRunAndReadBack) {
  std::vector<u8> bytes = read_file(image);
  bytes[6] |= 0x02;
  write_file(image, bytes);

  ToolRun first = run("--blargg --frames 200");
  EXPECT_EQ(first.status, 0) << first.out;
  EXPECT_EQ(first.err, "");
  std::vector<u8> battery = read_file(dir / "resume.sav");
  ASSERT_EQ(battery.size(), 8192u);
  EXPECT_EQ(battery[0], 0x00) << "the final status";
  EXPECT_EQ(std::string(battery.begin() + 4, battery.begin() + 10), "Passed");

  ToolRun second = run("--frames 1");
  EXPECT_EQ(second.err, "Loaded SRAM\n");
}

TEST_F(HeadlessState, PreviewConsolesNeverWriteTheBatteryFile) {
  std::vector<u8> bytes = read_file(image);
  bytes[6] |= 0x02;
  write_file(image, bytes);
  std::vector<u8> old(8192, 0x33);
  write_file(dir / "resume.sav", old);
  ToolRun three = run("--frames 3 --consoles 3");
  EXPECT_EQ(three.status, 0);
  // Only the first console writes: its RAM started from the file and the
  // program changed the result area.
  std::vector<u8> battery = read_file(dir / "resume.sav");
  ASSERT_EQ(battery.size(), 8192u);
  EXPECT_EQ(battery[0], 0x80);
  EXPECT_EQ(battery[100], 0x33);
}

}  // namespace

namespace {

// The game opened through the session keeps the tool's sound setting: with
// sound off its APU delivers nothing, so the WAV holds only its header.
TEST(HeadlessSound, TheSoundSettingReachesTheRunningGame) {
  ScratchDir dir;
  std::string image = std::string(CORVEL_CARTRIDGE_DIR) + "/lifecycle_motion.nes";
  auto wav_size = [&](const char* sound) {
    std::string out = dir / (std::string(sound) + ".wav");
    std::string command = std::string("'") + CORVEL_HEADLESS + "' --frames 20 --sound " + sound +
                          " --audio '" + out + "' '" + image + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return read_file(out).size();
  };
  EXPECT_EQ(wav_size("off"), 44u);
  EXPECT_GT(wav_size("on"), 44u + 20000u);
}

}  // namespace
