// Screenshots: the PNG writer's output read back with libpng.
#include "lifecycle/png_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "png_reader.h"

namespace {

std::filesystem::path scratch_directory() {
  auto dir = std::filesystem::temp_directory_path() / ("corvel_png_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  return dir;
}

TEST(PngWriter, WritesAPictureThatReadsBackPixelForPixel) {
  const auto dir = scratch_directory();
  const int width = 256;
  const int height = 240;
  std::vector<u8> rgb(width * height * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) {
    rgb[i] = static_cast<u8>(i * 31 + i / 768);
  }
  const std::string path = (dir / "shot.png").string();
  std::string error;
  ASSERT_TRUE(write_png(path, rgb.data(), width, height, &error)) << error;
  Picture picture;
  ASSERT_TRUE(read_png(path, picture));
  EXPECT_EQ(picture.width, width);
  EXPECT_EQ(picture.height, height);
  EXPECT_EQ(picture.rgb, rgb);
  // Nothing but the picture is left in the directory.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()),
            1);
  std::filesystem::remove_all(dir);
}

TEST(PngWriter, ReplacesAnOlderFile) {
  const auto dir = scratch_directory();
  const std::string path = (dir / "shot.png").string();
  const u8 red[3] = {0xFF, 0, 0};
  const u8 blue[3] = {0, 0, 0xFF};
  ASSERT_TRUE(write_png(path, red, 1, 1, nullptr));
  ASSERT_TRUE(write_png(path, blue, 1, 1, nullptr));
  Picture picture;
  ASSERT_TRUE(read_png(path, picture));
  EXPECT_EQ(picture.at(0, 0), 0x0000FFu);
  std::filesystem::remove_all(dir);
}

TEST(PngWriter, ReportsAFileThatCannotBeWritten) {
  const auto dir = scratch_directory();
  const u8 pixel[3] = {1, 2, 3};
  struct Case {
    std::string path;
    int width;
    int height;
  };
  const Case cases[] = {
      {(dir / "missing" / "shot.png").string(), 1, 1},  // no such directory
      {dir.string(), 1, 1},                             // a directory, not a file
      {(dir / "empty.png").string(), 0, 1},             // no picture
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(write_png(c.path, pixel, c.width, c.height, &error)) << c.path;
    EXPECT_FALSE(error.empty()) << c.path;
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir));
  EXPECT_FALSE(std::filesystem::exists(dir / "empty.png"));
  std::filesystem::remove_all(dir);
}

}  // namespace
