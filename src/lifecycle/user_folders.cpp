#include "lifecycle/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace {

// An XDG variable counts only when it holds an absolute path; relative values
// are invalid and are ignored.
std::string xdg_directory(const char* variable, const char* fallback_below_home) {
  std::string value = environment(variable);
  if (!value.empty() && value[0] == '/')
    return value;
  return home_directory() + fallback_below_home;
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
  return xdg_directory("XDG_CONFIG_HOME", "/.config") + "/corvel";
}

std::string saves_directory() {
  return xdg_directory("XDG_DATA_HOME", "/.local/share") + "/corvel/saves";
}
