#include "wav_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path;
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "corvel-wav-XXXXXX").string();
    path = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path); }
};

std::vector<u8> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<u8>(std::istreambuf_iterator<char>(in), {});
}

u32 u32_at(const std::vector<u8>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<u32>(b[at + 3]) << 24);
}
u16 u16_at(const std::vector<u8>& b, size_t at) {
  return static_cast<u16>(b[at] | (b[at + 1] << 8));
}

TEST(WavWriter, WritesA16BitMonoPcmFile) {
  TempDir dir;
  const fs::path file = dir.path / "out.wav";
  const std::vector<i16> samples = {0, 1, -1, 32767, -32768, 256};
  std::string error;
  ASSERT_TRUE(write_wav(file.string(), samples, 44100, &error)) << error;
  std::vector<u8> b = read_file(file);
  ASSERT_EQ(b.size(), 44u + 12);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(u32_at(b, 4), 36u + 12);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(u32_at(b, 16), 16u);
  EXPECT_EQ(u16_at(b, 20), 1);  // PCM
  EXPECT_EQ(u16_at(b, 22), 1);  // mono
  EXPECT_EQ(u32_at(b, 24), 44100u);
  EXPECT_EQ(u32_at(b, 28), 88200u);
  EXPECT_EQ(u16_at(b, 32), 2);
  EXPECT_EQ(u16_at(b, 34), 16);
  EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
  EXPECT_EQ(u32_at(b, 40), 12u);
  for (size_t i = 0; i < samples.size(); i++) {
    EXPECT_EQ(static_cast<i16>(u16_at(b, 44 + 2 * i)), samples[i]) << i;
  }
}

TEST(WavWriter, NoSamplesGiveAnEmptyDataChunk) {
  TempDir dir;
  const fs::path file = dir.path / "empty.wav";
  ASSERT_TRUE(write_wav(file.string(), {}, 22050, nullptr));
  std::vector<u8> b = read_file(file);
  ASSERT_EQ(b.size(), 44u);
  EXPECT_EQ(u32_at(b, 40), 0u);
  EXPECT_EQ(u32_at(b, 24), 22050u);
}

TEST(WavWriter, ReplacesAnOldFileAndLeavesNoTemporaryBehind) {
  TempDir dir;
  const fs::path file = dir.path / "out.wav";
  std::ofstream(file) << "old contents that are longer than the new file will be, surely";
  ASSERT_TRUE(write_wav(file.string(), {5}, 44100, nullptr));
  EXPECT_EQ(read_file(file).size(), 46u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator{}), 1);
}

TEST(WavWriter, FailuresReportWhyAndKeepTheOldFile) {
  TempDir dir;
  struct Case {
    const char* name;
    fs::path path;
    int rate;
  };
  const Case cases[] = {
      {"missing directory", dir.path / "nowhere" / "out.wav", 44100},
      {"path is a directory", dir.path, 44100},
      {"zero rate", dir.path / "rate.wav", 0},
      {"negative rate", dir.path / "rate.wav", -44100},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(write_wav(c.path.string(), {1, 2, 3}, c.rate, &error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
    EXPECT_EQ(error.find('\n'), std::string::npos) << c.name;
  }
  EXPECT_FALSE(fs::exists(dir.path / "rate.wav"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator{}), 0);
}

}  // namespace
