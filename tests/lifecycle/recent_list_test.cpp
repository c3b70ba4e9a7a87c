// The recent list: how paths enter it, how it is stored between runs, and the
// names of the files kept beside an image.
#include "lifecycle/recent_list.h"
#include "lifecycle/user_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "lifecycle/power.h"
#include "lifecycle/save_state.h"
#include "lifecycle/session.h"
#include "lifecycle_support.h"

namespace {

using namespace lifecycle_test;

// Sets an environment variable for the life of the object, then restores it.
class EnvVar {
 public:
  EnvVar(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name))
      old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~EnvVar() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

std::array<std::string, recent_count> list_of(std::initializer_list<std::string> entries) {
  std::array<std::string, recent_count> list;
  int i = 0;
  for (const std::string& entry : entries)
    list[i++] = entry;
  return list;
}

TEST(RecentList, NewestPathComesFirstAndTheNinthIsDropped) {
  Session session;
  for (int i = 1; i <= 10; ++i)
    add_recent(session, "/roms/game" + std::to_string(i) + ".nes");
  EXPECT_EQ(session.recent[0], "/roms/game10.nes");
  EXPECT_EQ(session.recent[8], "/roms/game2.nes");
}

TEST(RecentList, RefusesPathsThatCannotBeAnEntry) {
  struct Case {
    const char* name;
    std::string path;
  };
  const Case cases[] = {
      {"empty", ""},
      {"one character", "a"},
      {"line feed", "/roms/a\nb.nes"},
      {"carriage return", "/roms/a\rb.nes"},
  };
  for (const Case& c : cases) {
    Session session;
    session.recent[0] = "/roms/kept.nes";
    add_recent(session, c.path);
    EXPECT_EQ(session.recent, list_of({"/roms/kept.nes"})) << c.name;
  }
}

TEST(RecentList, TwoCharactersAreEnough) {
  Session session;
  add_recent(session, "ab");
  EXPECT_EQ(session.recent[0], "ab");
}

TEST(RecentList, APathAlreadyListedIsNotMoved) {
  Session session;
  session.recent = list_of({"/a.nes", "/b.nes", "/c.nes", "/d.nes", "/e.nes"});
  add_recent(session, "/e.nes");
  EXPECT_EQ(session.recent, list_of({"/a.nes", "/b.nes", "/c.nes", "/d.nes", "/e.nes"}));
  add_recent(session, "/E.nes");  // the comparison is exact
  EXPECT_EQ(session.recent[0], "/E.nes");
}

TEST(SettingsFile, DirectoryComesFromTheEnvironment) {
  struct Case {
    std::optional<std::string> corvel, xdg, home;
    std::string expected;
  };
  const Case cases[] = {
      {"/cfg/corvel-here", "/xdg", "/home/u", "/cfg/corvel-here"},
      {std::nullopt, "/xdg", "/home/u", "/xdg/corvel"},
      {"", "/xdg", "/home/u", "/xdg/corvel"},
      {std::nullopt, std::nullopt, "/home/u", "/home/u/.config/corvel"},
      {std::nullopt, "relative/xdg", "/home/u", "/home/u/.config/corvel"},
  };
  for (const Case& c : cases) {
    EnvVar corvel("CORVEL_CONFIG_DIR", c.corvel);
    EnvVar xdg("XDG_CONFIG_HOME", c.xdg);
    EnvVar home("HOME", c.home);
    EXPECT_EQ(settings_directory(), c.expected);
  }
  EnvVar home("HOME", "/home/u");
  for (const Case& c : {Case{{}, "/data", {}, "/data/corvel/saves"},
                        Case{{}, "data", {}, "/home/u/.local/share/corvel/saves"},
                        Case{{}, std::nullopt, {}, "/home/u/.local/share/corvel/saves"}}) {
    EnvVar data("XDG_DATA_HOME", c.xdg);
    EXPECT_EQ(saves_directory(), c.expected);
  }
}

class SettingsFileTest : public ::testing::Test {
 protected:
  ScratchDir dir;
  EnvVar config{"CORVEL_CONFIG_DIR", dir / "config"};
  std::string file = dir / "config/CorvelSettings.txt";

  void SetUp() override { ::mkdir((dir / "config").c_str(), 0755); }

  std::array<std::string, recent_count> read(const std::string& text) {
    write_text(file, text);
    Session session;
    read_recent_list(session);
    return session.recent;
  }
};

TEST_F(SettingsFileTest, ReadingSetsThePathBesideTheConfiguration) {
  Session session;
  read_recent_list(session);
  EXPECT_EQ(session.settings_path, file);
  EXPECT_EQ(session.recent, list_of({}));
}

TEST_F(SettingsFileTest, ReadsWholeLinesWhateverTheirEndings) {
  std::string long_path = "/" + std::string(299, 'x');  // 300 characters
  struct Case {
    const char* name;
    std::string text;
    std::array<std::string, recent_count> expected;
  };
  const Case cases[] = {
      {"three lines", "/a.nes\n/b.nes\n/c.nes\n", list_of({"/a.nes", "/b.nes", "/c.nes"})},
      {"no final line break", "/a.nes\n/b.nes", list_of({"/a.nes", "/b.nes"})},
      {"CRLF", "/a.nes\r\n/b.nes\r\n", list_of({"/a.nes", "/b.nes"})},
      {"CRLF without final break", "/a.nes\r\n/b.nes\r", list_of({"/a.nes", "/b.nes"})},
      {"empty lines are empty entries", "\n/b.nes\n\n/d.nes\n", list_of({"", "/b.nes", "", "/d.nes"})},
      {"a 300-character path", long_path + "\n/b.nes\n", list_of({long_path, "/b.nes"})},
      {"lines past the ninth are ignored", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n",
       list_of({"1", "2", "3", "4", "5", "6", "7", "8", "9"})},
      {"empty file", "", list_of({})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read(c.text), c.expected) << c.name;
  }
}

TEST_F(SettingsFileTest, AMissingFileLeavesTheListAsItWas) {
  Session session;
  session.recent[0] = "/kept.nes";
  read_recent_list(session);
  EXPECT_EQ(session.recent[0], "/kept.nes");
}

TEST_F(SettingsFileTest, AFolderInPlaceOfTheFileReadsAsMissing) {
  ::mkdir(file.c_str(), 0755);
  Session session;
  read_recent_list(session);
  EXPECT_EQ(session.recent, list_of({}));
  EXPECT_FALSE(write_recent_list(session));
}

TEST_F(SettingsFileTest, WritesNineLinesAndReadsThemBack) {
  write_text(file, "/a.nes\n/b.nes\n/c.nes\n");
  Session session;
  read_recent_list(session);
  add_recent(session, "/d.nes");
  ASSERT_TRUE(write_recent_list(session));
  EXPECT_EQ(read_text(file), "/d.nes\n/a.nes\n/b.nes\n/c.nes\n\n\n\n\n\n");
  Session again;
  read_recent_list(again);
  EXPECT_EQ(again.recent, session.recent);
}

TEST(SettingsFileWrite, CreatesTheDirectory) {
  ScratchDir dir;
  EnvVar config("CORVEL_CONFIG_DIR", dir / "deep/er/config");
  Session session;
  read_recent_list(session);
  add_recent(session, "/a.nes");
  ASSERT_TRUE(write_recent_list(session));
  EXPECT_EQ(read_text(dir / "deep/er/config/CorvelSettings.txt"), "/a.nes\n\n\n\n\n\n\n\n\n");
}

TEST(SettingsFileWrite, FailsWhenTheDirectoryCannotBeMade) {
  ScratchDir dir;
  write_text(dir / "plain", "x");
  EnvVar config("CORVEL_CONFIG_DIR", dir / "plain/config");
  Session session;
  read_recent_list(session);
  add_recent(session, "/a.nes");
  EXPECT_FALSE(write_recent_list(session));
  EXPECT_EQ(read_text(dir / "plain"), "x");
}

TEST(FileNames, ExtensionIsCutFromTheFileNameOnly) {
  struct Case {
    std::string path, stripped;
  };
  const Case cases[] = {
      {"roms/Game.nes", "roms/Game"},
      {"roms/Game", "roms/Game"},
      {"my.roms/Game", "my.roms/Game"},
      {"my.roms/Game.nes", "my.roms/Game"},
      {"/a/b.c/Game.v1.nes", "/a/b.c/Game.v1"},
      {"Game.nes", "Game"},
      {"Game", "Game"},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(strip_extension(c.path), c.stripped) << c.path;
}

TEST(FileNames, BatteryAndStateFilesSitBesideTheImage) {
  EXPECT_EQ(battery_file_path("roms/Game.nes"), "roms/Game.sav");
  EXPECT_EQ(battery_file_path("my.roms/Game"), "my.roms/Game.sav");
  EXPECT_EQ(state_file_path("roms/Game.nes", 2), "roms/Game(2).sav");
  EXPECT_EQ(state_file_path("my.roms/Game", 4), "my.roms/Game(4).sav");
  std::string long_name = "/" + std::string(300, 'g') + ".nes";
  EXPECT_EQ(state_file_path(long_name, 1), "/" + std::string(300, 'g') + "(1).sav");
}

TEST(FileNames, AbsolutePathResolvesRelativeNamesAndLinks) {
  ScratchDir dir;
  write_text(dir / "game.nes", "x");
  ::symlink((dir / "game.nes").c_str(), (dir / "link.nes").c_str());
  std::string real_dir = absolute_path(dir.path());
  EXPECT_EQ(absolute_path(dir / "link.nes"), real_dir + "/game.nes");
  EXPECT_EQ(absolute_path(dir / "./game.nes"), real_dir + "/game.nes");
  EXPECT_EQ(absolute_path(dir / "missing.nes"), real_dir + "/missing.nes");
}

}  // namespace
