// The crash-safe writer behind battery, state and settings files.
#include "lifecycle/file_write.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "lifecycle_support.h"

namespace {

using namespace lifecycle_test;

const std::vector<u8> old_bytes = {1, 2, 3, 4, 5};
const std::vector<u8> new_bytes = {9, 8, 7};

mode_t mode_of(const std::string& path) {
  struct stat info;
  ::stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

TEST(FileWrite, CreatesANewFileWithTheBytes) {
  ScratchDir dir;
  ASSERT_TRUE(write_file_atomically(dir / "a.sav", new_bytes));
  EXPECT_EQ(read_file(dir / "a.sav"), new_bytes);
  EXPECT_EQ(directory_entries(dir.path()), std::set<std::string>{"a.sav"});
}

TEST(FileWrite, ReplacesAnExistingFileAndKeepsItsMode) {
  ScratchDir dir;
  write_file(dir / "a.sav", old_bytes);
  ::chmod((dir / "a.sav").c_str(), 0640);
  ASSERT_TRUE(write_file_atomically(dir / "a.sav", new_bytes));
  EXPECT_EQ(read_file(dir / "a.sav"), new_bytes);
  EXPECT_EQ(mode_of(dir / "a.sav"), 0640u);
  EXPECT_EQ(directory_entries(dir.path()), std::set<std::string>{"a.sav"});
}

TEST(FileWrite, ReplacingAnotherUsersFileKeepsItsOwner) {
  if (!running_as_root())
    GTEST_SKIP() << "only root can hand a file to another user";
  ScratchDir dir;
  write_file(dir / "a.sav", old_bytes);
  ASSERT_EQ(::chown((dir / "a.sav").c_str(), 65534, 65534), 0);
  ASSERT_TRUE(write_file_atomically(dir / "a.sav", new_bytes));
  struct stat info;
  ASSERT_EQ(::stat((dir / "a.sav").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_gid, 65534u);
}

TEST(FileWrite, NewFileGetsTheUsualPermissionsNotThoseOfATemporaryFile) {
  ScratchDir dir;
  mode_t mask = ::umask(022);
  bool written = write_file_atomically(dir / "a.sav", new_bytes);
  ::umask(mask);
  ASSERT_TRUE(written);
  EXPECT_EQ(mode_of(dir / "a.sav"), 0644u);
}

TEST(FileWrite, WritesAnEmptyFile) {
  ScratchDir dir;
  write_file(dir / "a.txt", old_bytes);
  ASSERT_TRUE(write_file_atomically(dir / "a.txt", nullptr, 0));
  EXPECT_TRUE(read_file(dir / "a.txt").empty());
}

TEST(FileWrite, FollowsASymbolicLinkAndReplacesItsTarget) {
  ScratchDir dir;
  ::mkdir((dir / "real").c_str(), 0755);
  write_file(dir / "real/game.sav", old_bytes);
  ASSERT_EQ(::symlink("real/game.sav", (dir / "game.sav").c_str()), 0);
  ASSERT_TRUE(write_file_atomically(dir / "game.sav", new_bytes));
  struct stat info;
  ASSERT_EQ(::lstat((dir / "game.sav").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link itself must stay a link";
  EXPECT_EQ(read_file(dir / "real/game.sav"), new_bytes);
  EXPECT_EQ(directory_entries(dir / "real"), std::set<std::string>{"game.sav"});
}

TEST(FileWrite, ADanglingLinkCreatesItsTarget) {
  ScratchDir dir;
  ASSERT_EQ(::symlink((dir / "target.sav").c_str(), (dir / "link.sav").c_str()), 0);
  ASSERT_TRUE(write_file_atomically(dir / "link.sav", new_bytes));
  EXPECT_EQ(read_file(dir / "target.sav"), new_bytes);
}

TEST(FileWrite, ALoopOfLinksIsRefused) {
  ScratchDir dir;
  ::symlink((dir / "b").c_str(), (dir / "a").c_str());
  ::symlink((dir / "a").c_str(), (dir / "b").c_str());
  EXPECT_FALSE(write_file_atomically(dir / "a", new_bytes));
  EXPECT_EQ(resolve_links(dir / "a"), "");
}

// Paths that can never be written, whoever runs the test.
TEST(FileWrite, RefusesPathsThatCannotHoldAFile) {
  ScratchDir dir;
  write_file(dir / "plain", old_bytes);
  ::mkdir((dir / "folder").c_str(), 0755);
  const std::string cases[] = {
      dir / "missing/a.sav",  // a directory that does not exist
      dir / "plain/a.sav",    // a parent that is a regular file
      dir / "folder",         // the target is a directory
      "",                     // no name at all
  };
  for (const std::string& path : cases) {
    EXPECT_FALSE(write_file_atomically(path, new_bytes)) << path;
  }
  EXPECT_EQ(read_file(dir / "plain"), old_bytes);
  EXPECT_EQ(directory_entries(dir.path()), (std::set<std::string>{"plain", "folder"}));
}

// A write that fails half way (here the file size limit, which binds root as
// well) leaves the old file whole and no temporary file behind.
TEST(FileWrite, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  ScratchDir dir;
  write_file(dir / "a.sav", old_bytes);
  std::vector<u8> big(100000, 0x55);

  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool written = write_file_atomically(dir / "a.sav", big);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_FALSE(written);
  EXPECT_EQ(read_file(dir / "a.sav"), old_bytes);
  EXPECT_EQ(directory_entries(dir.path()), std::set<std::string>{"a.sav"});
}

TEST(FileWrite, RefusesAnExistingFileThatIsNotWritable) {
  if (running_as_root())
    GTEST_SKIP() << "root may write any file";
  ScratchDir dir;
  write_file(dir / "a.sav", old_bytes);
  ::chmod((dir / "a.sav").c_str(), 0444);
  EXPECT_FALSE(write_file_atomically(dir / "a.sav", new_bytes));
  EXPECT_EQ(read_file(dir / "a.sav"), old_bytes);
}

TEST(FileWrite, WritesInPlaceWhenTheDirectoryTakesNoNewFiles) {
  if (running_as_root())
    GTEST_SKIP() << "root may create files anywhere";
  ScratchDir dir;
  ::mkdir((dir / "locked").c_str(), 0755);
  write_file(dir / "locked/a.sav", old_bytes);
  ::chmod((dir / "locked").c_str(), 0555);
  EXPECT_TRUE(write_file_atomically(dir / "locked/a.sav", new_bytes));
  EXPECT_FALSE(write_file_atomically(dir / "locked/b.sav", new_bytes)) << "a new file cannot be made there";
  ::chmod((dir / "locked").c_str(), 0755);
  EXPECT_EQ(read_file(dir / "locked/a.sav"), new_bytes);
  EXPECT_EQ(directory_entries(dir / "locked"), std::set<std::string>{"a.sav"});
}

TEST(FileRead, ReadsAtMostTheLimitAndTellsWhetherMoreFollows) {
  ScratchDir dir;
  write_file(dir / "a", std::vector<u8>(10, 7));
  struct Case {
    std::size_t limit;
    std::size_t got;
    bool more;
  };
  const Case cases[] = {{4, 4, true}, {10, 10, false}, {11, 10, false}, {0, 0, true}};
  for (const Case& c : cases) {
    std::vector<u8> bytes;
    bool more = false;
    ASSERT_TRUE(read_file_prefix(dir / "a", c.limit, bytes, &more));
    EXPECT_EQ(bytes.size(), c.got) << c.limit;
    EXPECT_EQ(more, c.more) << c.limit;
  }
}

TEST(FileRead, RefusesWhatIsNotARegularFile) {
  ScratchDir dir;
  ::mkdir((dir / "folder").c_str(), 0755);
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
  std::vector<u8> bytes;
  EXPECT_FALSE(read_file_prefix(dir / "folder", 100, bytes));
  EXPECT_FALSE(read_file_prefix(dir / "pipe", 100, bytes)) << "a pipe with no writer must not block";
  EXPECT_FALSE(read_file_prefix(dir / "missing", 100, bytes));
}

}  // namespace
