#include "lifecycle/demo_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// A scratch folder that is removed with everything in it at the end of the test.
class DemoPathTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string name = std::string("corvel_demo_path_") + std::to_string(getpid()) + "_" +
                             testing::UnitTest::GetInstance()->current_test_info()->name();
    root_ = fs::temp_directory_path() / name;
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  void touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << "NES\x1a";
  }

  fs::path root_;
};

TEST_F(DemoPathTest, FindsTheCartridgeInTheBuildTree) {
  touch(root_ / "build" / "corvel");
  touch(root_ / "build" / "cartridges" / "demo.nes");
  EXPECT_EQ(find_demo_cartridge((root_ / "build" / "corvel").string()),
            (root_ / "build" / "cartridges" / "demo.nes").string());
}

TEST_F(DemoPathTest, FindsTheCartridgeInTheInstalledDataDirectory) {
  touch(root_ / "usr" / "bin" / "corvel");
  touch(root_ / "usr" / "share" / "corvel" / "demo.nes");
  EXPECT_EQ(find_demo_cartridge((root_ / "usr" / "bin" / "corvel").string()),
            (root_ / "usr" / "share" / "corvel" / "demo.nes").string());
}

TEST_F(DemoPathTest, PrefersTheBuildTreeWhenBothExist) {
  touch(root_ / "bin" / "cartridges" / "demo.nes");
  touch(root_ / "share" / "corvel" / "demo.nes");
  EXPECT_EQ(find_demo_cartridge((root_ / "bin" / "corvel").string()),
            (root_ / "bin" / "cartridges" / "demo.nes").string());
}

TEST_F(DemoPathTest, ReturnsEmptyWhenNoCandidateExists) {
  touch(root_ / "bin" / "corvel");
  EXPECT_EQ(find_demo_cartridge((root_ / "bin" / "corvel").string()), "");
}

TEST_F(DemoPathTest, IgnoresADirectoryNamedLikeTheCartridge) {
  fs::create_directories(root_ / "bin" / "cartridges" / "demo.nes");
  fs::create_directories(root_ / "share" / "corvel" / "demo.nes");
  EXPECT_EQ(find_demo_cartridge((root_ / "bin" / "corvel").string()), "");
}

TEST_F(DemoPathTest, SkipsADirectoryInTheBuildTreeAndFallsBackToTheInstalledFile) {
  fs::create_directories(root_ / "bin" / "cartridges" / "demo.nes");
  touch(root_ / "share" / "corvel" / "demo.nes");
  EXPECT_EQ(find_demo_cartridge((root_ / "bin" / "corvel").string()),
            (root_ / "share" / "corvel" / "demo.nes").string());
}

TEST_F(DemoPathTest, FollowsASymbolicLinkToTheCartridge) {
  touch(root_ / "elsewhere" / "demo.nes");
  fs::create_directories(root_ / "bin" / "cartridges");
  fs::create_symlink(root_ / "elsewhere" / "demo.nes", root_ / "bin" / "cartridges" / "demo.nes");
  EXPECT_EQ(find_demo_cartridge((root_ / "bin" / "corvel").string()),
            (root_ / "bin" / "cartridges" / "demo.nes").string());
}

TEST_F(DemoPathTest, ResolvesABareProgramNameAgainstTheWorkingDirectory) {
  touch(root_ / "cartridges" / "demo.nes");
  const fs::path previous = fs::current_path();
  fs::current_path(root_);
  const std::string found = find_demo_cartridge("corvel");
  fs::current_path(previous);
  EXPECT_EQ(found, "cartridges/demo.nes");
}

TEST(DemoPath, EmptyOrUnusualProgramPathsFindNothingAndDoNotCrash) {
  for (const std::string& path : {std::string(), std::string("/"), std::string("/nonexistent/dir/corvel"),
                                  "/" + std::string(5000, 'a') + "/corvel"}) {
    EXPECT_EQ(find_demo_cartridge(path), "") << path.size();
  }
}

TEST(DemoPath, FindsTheCartridgeThatThisBuildAssembled) {
  // The test binary sits in the build directory beside corvel-headless.
  const std::string found = find_demo_cartridge(CORVEL_HEADLESS);
  ASSERT_FALSE(found.empty());
  EXPECT_TRUE(fs::equivalent(found, fs::path(CORVEL_CARTRIDGE_DIR) / "demo.nes"));
}

}  // namespace
