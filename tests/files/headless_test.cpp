// The headless tool's save slots, battery file and sound setting, on a copy
// of a test cartridge that passes by itself after 120 frames.
#include "support/fixtures.h"

namespace {

class HeadlessTool : public ::testing::Test {
 protected:
  ScratchDir dir;
  std::string image = dir / "resume.nes";
  void SetUp() override { write_file(image, read_file(cartridge("lifecycle_resume"))); }
  ToolRun run(const std::string& arguments) { return run_headless(arguments + " '" + image + "'"); }
};

// Resumed from a state saved after 60 frames, the program passes within 70
// more; a slot that is missing or refused exits 65 before anything runs.
TEST_F(HeadlessTool, SaveSlotsResumeARun) {
  const ToolRun save = run("--frames 60 --save-state 2");
  EXPECT_EQ(save.status, 0);
  EXPECT_EQ(save.err, "Saved State 2\n");
  EXPECT_EQ(run("--blargg --frames 70").status, 3);
  const ToolRun resumed = run("--blargg --frames 70 --load-state 2");
  EXPECT_EQ(resumed.status, 0) << resumed.out;
  EXPECT_EQ(resumed.err, "Loaded State 2\n");
  for (const char* contents : {"", "CorvelState but not much else"}) {
    write_text(dir / "resume(3).sav", contents);
    const ToolRun refused = run("--blargg --frames 200 --load-state 3");
    EXPECT_EQ(refused.status, 65);
    EXPECT_EQ(refused.err, "Unable to Load State 3\n");
    EXPECT_EQ(refused.out, "");
  }
}

// With the battery bit set, what the program wrote at $6000 is in the battery
// file after the run and read back by the next; companion consoles never
// write it.
TEST_F(HeadlessTool, BatteryFileOfTheRunningGameOnly) {
  std::vector<u8> bytes = read_file(image);
  bytes[6] |= 0x02;
  write_file(image, bytes);
  write_file(dir / "resume.sav", std::vector<u8>(8192, 0x33));
  EXPECT_EQ(run("--frames 3 --consoles 3").err, "Loaded SRAM\nLoaded SRAM\nLoaded SRAM\n");
  const std::vector<u8> battery = read_file(dir / "resume.sav");
  ASSERT_EQ(battery.size(), 8192u);
  EXPECT_EQ(battery[0], 0x80) << "the running game's status";
  EXPECT_EQ(battery[100], 0x33);
  EXPECT_EQ(run("--blargg --frames 200").status, 0);
  EXPECT_EQ(read_text(dir / "resume.sav").substr(4, 6), "Passed");
}

// With sound off the running game's APU delivers nothing: the WAV is a header.
TEST_F(HeadlessTool, TheSoundSettingReachesTheRunningGame) {
  EXPECT_EQ(run("--frames 20 --sound off --audio '" + (dir / "off.wav") + "'").status, 0);
  EXPECT_EQ(read_file(dir / "off.wav").size(), 44u);
  EXPECT_EQ(run("--frames 20 --audio '" + (dir / "on.wav") + "'").status, 0);
  EXPECT_GT(read_file(dir / "on.wav").size(), 44u + 20000u);
}

}  // namespace
