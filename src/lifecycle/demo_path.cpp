#include "lifecycle/demo_path.h"

#include <filesystem>
#include <system_error>

namespace {

bool is_file(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace

std::string find_demo_cartridge(const std::string& executable_path) {
  if (executable_path.empty()) {
    return "";
  }
  std::filesystem::path directory = std::filesystem::path(executable_path).parent_path();
  if (directory.empty()) {
    directory = ".";
  }

  // A build tree keeps the assembled cartridges beside the executables.
  const std::filesystem::path in_build_tree = directory / "cartridges" / "demo.nes";
  if (is_file(in_build_tree)) {
    return in_build_tree.lexically_normal().string();
  }

  // An installed tree: <prefix>/bin/corvel and <prefix>/share/corvel/demo.nes.
  const std::filesystem::path installed = directory / ".." / "share" / "corvel" / "demo.nes";
  if (is_file(installed)) {
    return installed.lexically_normal().string();
  }
  return "";
}
