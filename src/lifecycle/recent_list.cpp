#include "lifecycle/recent_list.h"

#include <vector>

#include "lifecycle/file_write.h"
#include "lifecycle/session.h"
#include "lifecycle/user_folders.h"

namespace {

// No path is this long; a longer line is not one and gives an empty entry.
// The bound also keeps a stray huge file from being read whole.
constexpr std::size_t max_entry_bytes = 65536;

}  // namespace

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
