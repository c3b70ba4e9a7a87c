#include "lifecycle/recent_list.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "lifecycle/file_write.h"
#include "lifecycle/session.h"

namespace {

// No path is this long; a longer line is not one and gives an empty entry.
// The bound also keeps a stray huge file from being read whole.
constexpr std::size_t max_entry_bytes = 65536;

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

// Creates the directory and any missing parents.
bool make_directories(const std::string& path) {
  if (path.empty())
    return false;
  struct stat info;
  if (::stat(path.c_str(), &info) == 0)
    return S_ISDIR(info.st_mode);
  std::size_t slash = path.find_last_not_of('/');
  slash = slash == std::string::npos ? std::string::npos : path.rfind('/', slash);
  if (slash != std::string::npos && slash > 0 && !make_directories(path.substr(0, slash)))
    return false;
  return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

std::string directory_of(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string settings_directory() {
  std::string directory = environment("CORVEL_CONFIG_DIR");
  if (!directory.empty())
    return directory;
  // Relative values of XDG_CONFIG_HOME are invalid and to be ignored.
  std::string config = environment("XDG_CONFIG_HOME");
  if (!config.empty() && config[0] == '/')
    return config + "/corvel";
  return home_directory() + "/.config/corvel";
}

void read_recent_list(Session& session) {
  session.settings_path = settings_directory() + "/" + settings_file_name;

  std::vector<u8> bytes;
  constexpr std::size_t limit = recent_count * (max_entry_bytes + 2);
  if (!read_file_prefix(session.settings_path, limit, bytes))
    return;

  // Whole lines; each loses its final "\n" and a "\r" before it where they
  // are present, so a last line without a line break keeps every character.
  std::size_t position = 0;
  for (int entry = 0; entry < recent_count; ++entry) {
    std::string line;
    if (position < bytes.size()) {
      std::size_t end = position;
      while (end < bytes.size() && bytes[end] != '\n')
        ++end;
      line.assign(reinterpret_cast<const char*>(bytes.data()) + position, end - position);
      position = end < bytes.size() ? end + 1 : end;
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      if (line.size() > max_entry_bytes)
        line.clear();
    }
    session.recent[entry] = std::move(line);
  }
}

bool write_recent_list(const Session& session) {
  if (session.settings_path.empty())
    return false;
  std::string text;
  for (const std::string& entry : session.recent) {
    text += entry;
    text += '\n';
  }
  make_directories(directory_of(resolve_links(session.settings_path)));
  return write_file_atomically(session.settings_path, reinterpret_cast<const u8*>(text.data()), text.size());
}
