// Replays the fuzz harnesses' checked-in inputs through the same entry
// functions in the ordinary (and the sanitized) test build: the starting corpus
// and every input that once made Corvel crash, read out of bounds or break
// one of the harness checks. An input that fails again crashes or aborts this
// binary, and the test that was running names its file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cartridge/mapper.h"
#include "fuzz/fuzz_entries.h"

namespace {

struct Harness {
  const char* name;
  void (*run)(const u8* data, std::size_t size);
};

const Harness harnesses[] = {
    {"image", fuzz::run_image},
    {"state", fuzz::run_state},
    {"recent_list", fuzz::run_recent_list},
};

std::vector<std::filesystem::path> inputs_of(const std::string& harness) {
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"corpus", "regressions"}) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(CORVEL_SOURCE_DIR) / "tests/fuzz" / folder / harness, error))
      if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
        files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

void PrintTo(const Harness& harness, std::ostream* out) {
  *out << harness.name;
}

class FuzzInputs : public ::testing::TestWithParam<Harness> {};

TEST_P(FuzzInputs, EveryCheckedInInputRunsCleanly) {
  const Harness& harness = GetParam();
  const std::vector<std::filesystem::path> files = inputs_of(harness.name);
  ASSERT_FALSE(files.empty()) << "no inputs for " << harness.name;
  for (const auto& file : files) {
    std::printf("replaying %s\n", file.c_str());
    std::fflush(stdout);
    std::ifstream in(file, std::ios::binary);
    const std::vector<u8> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    harness.run(bytes.data(), bytes.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Harnesses, FuzzInputs, ::testing::ValuesIn(harnesses),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
