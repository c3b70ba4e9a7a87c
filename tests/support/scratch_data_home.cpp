// Every test process keeps the saves folder in a scratch folder of its own,
// never in the home directory of whoever runs the tests. The headless tool
// started by a test inherits it, and so does the copy of the test program
// that a death test starts, which leaves it to its parent.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct ScratchDataHome {
  std::string path;
  ScratchDataHome() {
    if (std::getenv("CORVEL_SCRATCH_DATA_HOME") != nullptr)
      return;
    std::string pattern = (std::filesystem::temp_directory_path() / "corvel-data-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
      path = pattern;
      ::setenv("XDG_DATA_HOME", path.c_str(), 1);
      ::setenv("CORVEL_SCRATCH_DATA_HOME", "1", 1);
    }
  }
  ~ScratchDataHome() {
    std::error_code error;
    if (!path.empty())
      std::filesystem::remove_all(path, error);
  }
};

const ScratchDataHome scratch_data_home;

}  // namespace
