// Opening, replacing, resetting and closing consoles; battery files; the
// gallery's consoles.
#include "lifecycle/session.h"

#include <gtest/gtest.h>

#include <cstring>

#include "audio/apu.h"
#include "cartridge/mapper.h"
#include "core/console.h"
#include "lifecycle/power.h"
#include "lifecycle_support.h"
#include "ppu/ppu.h"

namespace {

using namespace lifecycle_test;

// Records the "a console is playing" flag as the audio side would see it.
struct PlayingFlag {
  std::vector<bool> changes;
  static void set(void* user, bool playing) { static_cast<PlayingFlag*>(user)->changes.push_back(playing); }
};

class SessionTest : public ::testing::Test {
 protected:
  ScratchDir dir;
  ScriptPlatform platform;
  PlayingFlag playing;
  Session session;

  void SetUp() override {
    session.platform = &platform;
    session.set_playing = &PlayingFlag::set;
    session.set_playing_user = &playing;
  }

  std::string image(const std::string& name, bool battery = false) {
    ImageShape shape;
    shape.battery = battery;
    return write_image(dir, name, shape);
  }

  // Fills the running game's battery RAM with a recognisable pattern.
  static void fill_battery_ram(Console& console, u8 first) {
    for (int i = 0; i < battery_ram_bytes; ++i)
      console.memory[0x6000 + i] = static_cast<u8>(first + i * 7);
  }
  static std::vector<u8> battery_ram(const Console& console) {
    return std::vector<u8>(console.memory.get() + 0x6000, console.memory.get() + 0x8000);
  }
  static std::vector<u8> pattern(u8 first) {
    std::vector<u8> bytes(battery_ram_bytes);
    for (int i = 0; i < battery_ram_bytes; ++i)
      bytes[i] = static_cast<u8>(first + i * 7);
    return bytes;
  }
};

TEST_F(SessionTest, OpeningMakesTheImageTheRunningGame) {
  std::string path = image("game.nes");
  ASSERT_TRUE(open_rom(session, path, 1));
  ASSERT_TRUE(session.current);
  EXPECT_EQ(session.mode, mode_game);
  EXPECT_EQ(session.current->rom_path, path);
  EXPECT_EQ(session.current->platform, &platform);
  EXPECT_EQ(session.recent[0], absolute_path(path));
  EXPECT_EQ(playing.changes, std::vector<bool>{true});
  EXPECT_EQ(platform.audio_pauses, (std::vector<bool>{true, false}))
      << "audio paused while the consoles change, resumed once the game is in place";
  EXPECT_EQ(session.current->apu->sound_on, 1);
}

TEST_F(SessionTest, PowerUpSetsTheCpuValuesAndClearsMemory) {
  ASSERT_TRUE(open_rom(session, image("game.nes"), 0));
  const Console& console = *session.current;
  EXPECT_EQ(console.a, 0);
  EXPECT_EQ(console.x, 0);
  EXPECT_EQ(console.y, 0);
  EXPECT_EQ(console.p, 0x24);
  EXPECT_EQ(console.s, 0xFF);
  EXPECT_EQ(console.reset_pending, 1u);
  EXPECT_EQ(console.nmi_pending, 0u);
  EXPECT_EQ(console.irq_pending, 0u);
  EXPECT_EQ(console.cycle_budget, 0.0f);
  EXPECT_EQ(console.apu_cycles, 0.0f);
  ASSERT_TRUE(console.memory);
  for (int address = 0; address < memory_bytes; ++address)
    ASSERT_EQ(console.memory[address], 0) << address;
  EXPECT_EQ(console.ppu->console, &console);
  EXPECT_EQ(console.apu->console, &console);
  EXPECT_EQ(console.mapper->console, &console);
  EXPECT_TRUE(platform.messages.empty()) << "no battery flag, no battery message";
}

TEST_F(SessionTest, OpeningWithoutRememberingLeavesTheListAlone) {
  session.recent[0] = "/roms/other.nes";
  ASSERT_TRUE(open_rom(session, image("game.nes"), 0));
  EXPECT_EQ(session.recent[0], "/roms/other.nes");
  EXPECT_EQ(session.recent[1], "");
}

TEST_F(SessionTest, TheListGetsTheAbsolutePathOfWhatWasOpened) {
  std::string path = image("game.nes");
  ASSERT_EQ(::symlink(path.c_str(), (dir / "link.nes").c_str()), 0);
  ASSERT_TRUE(open_rom(session, dir / "./link.nes", 1));
  EXPECT_EQ(session.recent[0], absolute_path(path));
  EXPECT_EQ(session.recent[0][0], '/');
}

TEST_F(SessionTest, SomethingThatIsNotAnImageLeavesTheGameRunning) {
  ASSERT_TRUE(open_rom(session, image("game.nes"), 1));
  Console* running = session.current.get();
  std::vector<std::string> before(session.recent.begin(), session.recent.end());
  write_text(dir / "notes.nes", "just some text, long enough to look like a header");
  const std::string cases[] = {dir / "notes.nes", dir / "missing.nes", dir.path(), ""};
  for (const std::string& path : cases) {
    EXPECT_FALSE(open_rom(session, path, 1)) << path;
    EXPECT_EQ(session.current.get(), running) << path;
    EXPECT_EQ(std::vector<std::string>(session.recent.begin(), session.recent.end()), before) << path;
  }
  EXPECT_EQ(session.mode, mode_game);
  EXPECT_EQ(platform.messages,
            (std::vector<std::string>{"Cannot Open: Not an iNES Image", "Cannot Open: File Not Found",
                                      "Cannot Open: Not a File", "Cannot Open: File Not Found"}));
}

TEST_F(SessionTest, BatteryFileIsWrittenOnCloseOnlyForABatteryCartridge) {
  struct Case {
    bool battery;
    void (*leave)(Session&);
  };
  const Case cases[] = {
      {true, [](Session& s) { enter_gallery(s); }},
      {true, [](Session& s) { close_current(s); }},
      {false, [](Session& s) { enter_gallery(s); }},
      {false, [](Session& s) { close_current(s); }},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string name = "game" + std::to_string(n++);
    session.mode = mode_none;
    ASSERT_TRUE(open_rom(session, image(name + ".nes", c.battery), 0));
    fill_battery_ram(*session.current, 3);
    c.leave(session);
    EXPECT_FALSE(session.current);
    if (c.battery) {
      EXPECT_EQ(read_file(dir / (name + ".sav")), pattern(3)) << name;
    } else {
      EXPECT_FALSE(file_exists(dir / (name + ".sav"))) << name;
    }
  }
}

TEST_F(SessionTest, BatteryRamSurvivesReopening) {
  std::string path = image("zelda.nes", true);
  ASSERT_TRUE(open_rom(session, path, 0));
  EXPECT_TRUE(platform.messages.empty()) << "no battery file yet: no message";
  EXPECT_EQ(battery_ram(*session.current), std::vector<u8>(battery_ram_bytes, 0));
  fill_battery_ram(*session.current, 11);
  close_current(session);

  ASSERT_TRUE(open_rom(session, path, 0));
  EXPECT_EQ(platform.messages, std::vector<std::string>{"Loaded SRAM"});
  EXPECT_EQ(battery_ram(*session.current), pattern(11));
}

TEST_F(SessionTest, AShortBatteryFileLoadsWhatItHolds) {
  std::string path = image("zelda.nes", true);
  std::vector<u8> partial(100);
  for (int i = 0; i < 100; ++i)
    partial[i] = static_cast<u8>(i + 1);
  write_file(dir / "zelda.sav", partial);
  ASSERT_TRUE(open_rom(session, path, 0));
  std::vector<u8> expected(battery_ram_bytes, 0);
  std::copy(partial.begin(), partial.end(), expected.begin());
  EXPECT_EQ(battery_ram(*session.current), expected);
  EXPECT_EQ(platform.messages, std::vector<std::string>{"Loaded SRAM"});
}

TEST_F(SessionTest, ALongBatteryFileLoadsOnlyTheRam) {
  std::string path = image("zelda.nes", true);
  write_file(dir / "zelda.sav", std::vector<u8>(battery_ram_bytes + 500, 0x77));
  ASSERT_TRUE(open_rom(session, path, 0));
  EXPECT_EQ(battery_ram(*session.current), std::vector<u8>(battery_ram_bytes, 0x77));
  EXPECT_EQ(session.current->memory[0x8000], 0);
}

TEST_F(SessionTest, ABatteryFileThatCannotBeUsedIsIgnored) {
  std::string path = image("zelda.nes", true);
  ::mkdir((dir / "zelda.sav").c_str(), 0755);
  ASSERT_TRUE(open_rom(session, path, 0));
  EXPECT_TRUE(platform.messages.empty());
  fill_battery_ram(*session.current, 1);
  close_current(session);  // cannot be written either; nothing breaks
  EXPECT_FALSE(session.current);
}

TEST_F(SessionTest, ReopeningTheRunningImageCarriesItsCurrentRam) {
  std::string path = image("zelda.nes", true);
  ASSERT_TRUE(open_rom(session, path, 0));
  fill_battery_ram(*session.current, 42);
  Console* old = session.current.get();
  ASSERT_TRUE(open_rom(session, path, 0));
  EXPECT_NE(session.current.get(), old);
  EXPECT_EQ(battery_ram(*session.current), pattern(42));
  EXPECT_EQ(read_file(dir / "zelda.sav"), pattern(42));
}

// Nothing limits a path to 260 characters: the image, its battery file and
// its recent-list entry all keep the whole of a long one.
TEST_F(SessionTest, LongPathsWorkThroughout) {
  std::string folder = dir.path();
  for (int i = 0; i < 4; ++i) {
    folder += "/" + std::string(90, static_cast<char>('a' + i));
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  }
  ImageShape shape;
  shape.battery = true;
  std::string path = folder + "/game.with.dots.nes";
  write_file(path, make_image(shape));
  ASSERT_GT(path.size(), 300u);

  ASSERT_TRUE(open_rom(session, path, 1));
  EXPECT_EQ(session.recent[0], absolute_path(path));
  fill_battery_ram(*session.current, 8);
  close_current(session);
  EXPECT_EQ(read_file(folder + "/game.with.dots.sav"), pattern(8));
}

TEST_F(SessionTest, SoftwareResetOnlyRaisesTheResetLatch) {
  software_reset(session);  // nothing runs: nothing happens
  ASSERT_TRUE(open_rom(session, image("game.nes"), 0));
  Console& console = *session.current;
  console.reset_pending = 0;
  console.memory[0x0123] = 0x45;
  console.memory[0x6789] = 0x67;
  console.pc = 0x8123;
  software_reset(session);
  EXPECT_EQ(console.reset_pending, 1u);
  EXPECT_EQ(console.memory[0x0123], 0x45);
  EXPECT_EQ(console.memory[0x6789], 0x67);
  EXPECT_EQ(console.pc, 0x8123);
}

TEST_F(SessionTest, GalleryFillsCellsFromTheTopLeftWithoutGaps) {
  write_text(dir / "text.nes", "not an image at all");
  session.recent = {
      image("a.nes"), "", image("b.nes"), dir / "missing.nes", dir / "text.nes", image("c.nes"), "", "", ""};
  enter_gallery(session);
  EXPECT_EQ(session.mode, mode_gallery);
  EXPECT_EQ(session.gallery_warmup, 180);
  EXPECT_FALSE(session.current);
  const char* expected[] = {"a.nes", "b.nes", "c.nes"};
  for (int cell = 0; cell < gallery_cells; ++cell) {
    if (cell < 3) {
      ASSERT_TRUE(session.gallery[cell]) << cell;
      EXPECT_EQ(session.gallery[cell]->rom_path, dir / expected[cell]);
      EXPECT_EQ(session.gallery[cell]->apu->sound_on, 0) << "previews are silent";
      EXPECT_EQ(session.gallery[cell]->apu->on_chunk, nullptr);
      EXPECT_EQ(session.gallery[cell]->platform, &platform);
    } else {
      EXPECT_FALSE(session.gallery[cell]) << cell;
    }
  }
}

TEST_F(SessionTest, EnteringTheGalleryTwiceChangesNothing) {
  session.recent[0] = image("a.nes");
  enter_gallery(session);
  Console* first = session.gallery[0].get();
  session.gallery_warmup = 17;
  enter_gallery(session);
  EXPECT_EQ(session.gallery[0].get(), first);
  EXPECT_EQ(session.gallery_warmup, 17);
}

TEST_F(SessionTest, PlayingFlagFollowsTheRunningGame) {
  session.recent[0] = image("a.nes");
  enter_gallery(session);
  ASSERT_TRUE(open_rom(session, session.recent[0], 0));
  enter_gallery(session);
  ASSERT_TRUE(open_rom(session, session.recent[0], 0));
  close_current(session);
  EXPECT_EQ(playing.changes, (std::vector<bool>{false, true, false, true, false}));
}

TEST_F(SessionTest, GalleryConsolesAreClosedWithoutWritingBatteryFiles) {
  std::string a = image("a.nes", true);
  std::string b = image("b.nes");
  session.recent[0] = a;
  enter_gallery(session);
  ASSERT_TRUE(session.gallery[0]);
  fill_battery_ram(*session.gallery[0], 5);
  ASSERT_TRUE(open_rom(session, b, 0));
  for (const auto& cell : session.gallery)
    EXPECT_FALSE(cell);
  EXPECT_FALSE(file_exists(dir / "a.sav"));
}

TEST_F(SessionTest, APreviewOpensWithItsBatteryFileReadAfresh) {
  std::string a = image("a.nes", true);
  write_file(dir / "a.sav", pattern(9));
  session.recent[0] = a;
  enter_gallery(session);
  fill_battery_ram(*session.gallery[0], 200);  // the preview plays on its own copy
  ASSERT_TRUE(open_rom(session, session.gallery[0]->rom_path, 0));
  EXPECT_EQ(battery_ram(*session.current), pattern(9));
  EXPECT_EQ(session.recent[0], a);
  EXPECT_EQ(session.recent[1], "");
}

// A board whose initialisation fails, to see power-up report it.
class failing_mapper : public mapper {
 public:
  int init() override { return 0; }
  u8 cpu_read(u16) override { return 0; }
  void cpu_write(u16, u8) override {}
  const u8* chr_pointer(u16) override { return zeros; }
  void state_fields(StateVisitor& v) override { mirroring_field(v, mirroring); }

 private:
  u8 zeros[16] = {};
};

TEST(PowerUp, ReportsAFailedMapperAndStillReleasesCleanly) {
  Console console;
  console.mapper = std::make_unique<failing_mapper>();
  console.mapper->battery = 1;
  console.rom_path = "/nonexistent/dir/game.nes";
  EXPECT_EQ(power_up(console, nullptr, nullptr, 0), -4);
  EXPECT_TRUE(console.memory);
  close_console(console, 0);  // the battery file cannot be written: silently lost
  EXPECT_FALSE(console.memory);
  EXPECT_FALSE(console.ppu);
  EXPECT_FALSE(console.apu);
  EXPECT_FALSE(console.mapper);
}

TEST(PowerUp, AConsoleWithoutABoardIsAFailure) {
  Console console;
  EXPECT_EQ(power_up(console, nullptr, nullptr, 0), -4);
  close_console(console, 0);
}

}  // namespace
