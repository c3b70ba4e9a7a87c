// Opening a game, and the recent list with its settings file. (The battery
// files of the running game and the gallery's: the desktop test.)
#include "core/console.h"
#include "lifecycle/power.h"
#include "lifecycle/recent_list.h"
#include "lifecycle/session.h"
#include "lifecycle/user_folders.h"
#include "support/fixtures.h"

namespace {

struct PlayingFlag {
  std::vector<bool> changes;
  static void set(void* user, bool playing) { static_cast<PlayingFlag*>(user)->changes.push_back(playing); }
};

class Sessions : public ::testing::Test {
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
};

TEST_F(Sessions, OpeningReplacesTheRunningGameOrSaysWhyNot) {
  const std::string path = write_image(dir, "game.nes");
  ASSERT_TRUE(open_rom(session, dir / "./game.nes", 1));
  EXPECT_EQ(session.mode, mode_game);
  EXPECT_EQ(session.recent[0], absolute_path(path));
  EXPECT_EQ(playing.changes, std::vector<bool>{true});
  EXPECT_EQ(platform.audio_pauses, (std::vector<bool>{true, false}));
  Console* running = session.current.get();
  write_text(dir / "notes.nes", "just some text, long enough to look like a header");
  for (const std::string& bad : {dir / "notes.nes", dir / "missing.nes", dir.path()})
    EXPECT_FALSE(open_rom(session, bad, 1));
  EXPECT_EQ(session.current.get(), running);
  EXPECT_EQ(platform.messages.size(), 3u);  // their texts: files_test.sh
}

TEST(RecentList, NewestFirstNineAtMostNoDuplicatesNoLineBreaks) {
  Session session;
  for (const char* path : {"/a.nes", "/b.nes", "/c.nes", "/a.nes", "x", "/bad\npath.nes", "/ok\rno.nes"})
    add_recent(session, path);
  EXPECT_EQ(session.recent[0], "/c.nes");
  EXPECT_EQ(session.recent[2], "/a.nes") << "a path already listed stays where it is";
  EXPECT_EQ(session.recent[3], "");
  for (const char* path :
       {"/0.nes", "/1.nes", "/2.nes", "/3.nes", "/4.nes", "/5.nes", "/6.nes", "/7.nes", "/8.nes"})
    add_recent(session, path);
  EXPECT_EQ(session.recent[0], "/8.nes");
  EXPECT_EQ(session.recent[8], "/0.nes");
}

TEST(RecentList, TheSettingsFile) {
  ScratchDir dir;
  ::setenv("CORVEL_CONFIG_DIR", (dir / "new/config").c_str(), 1);
  Session session;
  read_recent_list(session);  // no file: the list stays empty
  EXPECT_EQ(session.settings_path, dir / "new/config/CorvelSettings.txt");
  session.recent[0] = "/a.nes";
  session.recent[3] = "/d e.nes";
  ASSERT_TRUE(write_recent_list(session));  // the folder is made
  EXPECT_EQ(read_text(session.settings_path), "/a.nes\n\n\n/d e.nes\n\n\n\n\n\n");
  // Whole lines; a final CR is dropped; a last line without a break is kept.
  write_text(session.settings_path, "/one.nes\r\n/two.nes\n/three.nes");
  Session again;
  read_recent_list(again);
  EXPECT_EQ(std::vector<std::string>(again.recent.begin(), again.recent.begin() + 4),
            (std::vector<std::string>{"/one.nes", "/two.nes", "/three.nes", ""}));
  write_text(dir / "blocked", "");
  session.settings_path = dir / "blocked/CorvelSettings.txt";
  EXPECT_FALSE(write_recent_list(session));
  ::unsetenv("CORVEL_CONFIG_DIR");
}

TEST(RecentList, FoldersComeFromTheEnvironment) {
  const std::string home = std::getenv("HOME");
  ::setenv("HOME", "/home/u", 1);
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(settings_directory(), "/home/u/.config/corvel");
  ::setenv("XDG_CONFIG_HOME", "/xdg", 1);
  EXPECT_EQ(settings_directory(), "/xdg/corvel");
  const std::string data = std::getenv("XDG_DATA_HOME");
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(saves_directory(), "/home/u/.local/share/corvel/saves");
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  ::setenv("HOME", home.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
