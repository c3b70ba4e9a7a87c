// Writing a file whole or not at all: a temporary file beside the target,
// renamed over it once complete. (files_test.sh and the killed-writer test
// check the same through the programs.)
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <set>

#include "lifecycle/file_write.h"
#include "support/fixtures.h"

namespace {

const std::vector<u8> old_bytes = {1, 2, 3};
const std::vector<u8> new_bytes = {9, 8, 7, 6};

std::set<std::string> entries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

unsigned mode_of(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(FileWrite, ReplacesKeepingModeAndLinks) {
  ScratchDir dir;
  write_file(dir / "a.sav", old_bytes);
  ::chmod((dir / "a.sav").c_str(), 0640);
  ASSERT_TRUE(write_file_atomically(dir / "a.sav", new_bytes));
  EXPECT_EQ(read_file(dir / "a.sav"), new_bytes);
  EXPECT_EQ(mode_of(dir / "a.sav"), 0640u);
  // A link stays a link; the file it names is replaced.
  ASSERT_EQ(::symlink("a.sav", (dir / "link.sav").c_str()), 0);
  ASSERT_TRUE(write_file_atomically(dir / "link.sav", old_bytes));
  EXPECT_EQ(read_file(dir / "a.sav"), old_bytes);
  struct stat info;
  ASSERT_EQ(::lstat((dir / "link.sav").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"a.sav", "link.sav"}));
}

TEST(FileWrite, RefusesWhatCannotHoldTheFileAndLeavesNoTemporary) {
  ScratchDir dir;
  write_file(dir / "plain", old_bytes);
  ::mkdir((dir / "folder").c_str(), 0755);
  ::symlink("loop", (dir / "loop").c_str());
  for (const std::string& path :
       {dir / "missing/a.sav", dir / "plain/a.sav", dir / "folder", dir / "loop", std::string()})
    EXPECT_FALSE(write_file_atomically(path, new_bytes)) << path;
  // A write that fails part way (the file size limit) leaves the old file.
  struct rlimit saved, small;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* old_handler = std::signal(SIGXFSZ, SIG_IGN);
  small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = write_file_atomically(dir / "plain", std::vector<u8>(100000, 0x55));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(written);
  EXPECT_EQ(read_file(dir / "plain"), old_bytes);
  EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"plain", "folder", "loop"}));
}

}  // namespace
