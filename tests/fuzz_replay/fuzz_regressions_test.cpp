// Replays the fuzz harnesses' checked-in inputs through the same entry
// functions in the ordinary (and the sanitized) test build: the starting corpus
// and every input that once made Corvel crash, read out of bounds or break
// one of the harness checks. An input that fails again crashes or aborts this
// binary, after the name of its file is printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "fuzz/fuzz_entries.h"

namespace {

void replay(const std::string& harness, void (*run)(const u8* data, std::size_t size)) {
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"corpus", "regressions"}) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(CORVEL_SOURCE_DIR) / "tests/fuzz" / folder / harness, error))
      if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
        files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty()) << "no inputs for " << harness;
  for (const auto& file : files) {
    std::printf("replaying %s\n", file.c_str());
    std::fflush(stdout);
    std::ifstream in(file, std::ios::binary);
    const std::vector<u8> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    run(bytes.data(), bytes.size());
  }
}

TEST(FuzzInputs, Images) {
  replay("image", fuzz::run_image);
}

TEST(FuzzInputs, States) {
  replay("state", fuzz::run_state);
}

}  // namespace
