#include "lifecycle/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <vector>

#include "lifecycle/file_write.h"

namespace {

// An XDG variable counts only when it holds an absolute path; relative values
// are invalid and are ignored.
std::string xdg_directory(const char* variable, const char* fallback_below_home) {
  std::string value = environment(variable);
  if (!value.empty() && value[0] == '/')
    return value;
  return home_directory() + fallback_below_home;
}

// user-dirs.dirs is a few lines; a larger file is not read past this.
constexpr std::size_t user_dirs_limit = 64 * 1024;

std::string config_home() {
  return xdg_directory("XDG_CONFIG_HOME", "/.config");
}

}  // namespace

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string home_directory() {
  std::string home = environment("HOME");
  if (!home.empty())
    return home;
  if (const passwd* entry = ::getpwuid(::getuid())) {
    if (entry->pw_dir != nullptr)
      return entry->pw_dir;
  }
  return ".";
}

std::string settings_directory() {
  std::string directory = environment("CORVEL_CONFIG_DIR");
  if (!directory.empty())
    return directory;
  return config_home() + "/corvel";
}

std::string saves_directory() {
  return xdg_directory("XDG_DATA_HOME", "/.local/share") + "/corvel/saves";
}

std::string pictures_directory_in(const std::string& user_dirs_text, const std::string& home) {
  // Lines are of the form XDG_PICTURES_DIR="$HOME/Pictures": a quoted
  // absolute path, or one that begins with $HOME.
  const std::string key = "XDG_PICTURES_DIR=";
  std::istringstream lines(user_dirs_text);
  std::string line;
  std::string found;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.rfind(key, 0) != 0)
      continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/'))
      value = home + value.substr(5);
    if (!value.empty() && value[0] == '/')
      found = value;  // the last such line counts
  }
  return found;
}

std::string pictures_directory() {
  std::string directory = environment("XDG_PICTURES_DIR");
  if (!directory.empty())
    return directory;
  std::vector<u8> bytes;
  if (read_file_prefix(config_home() + "/user-dirs.dirs", user_dirs_limit, bytes)) {
    directory = pictures_directory_in(std::string(bytes.begin(), bytes.end()), home_directory());
    if (!directory.empty())
      return directory;
  }
  return home_directory() + "/Pictures";
}
