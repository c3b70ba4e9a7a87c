#include "lifecycle/desktop_paths.h"

#include <sys/stat.h>

#include <cstdio>
#include <sstream>

#include "lifecycle/session.h"

namespace {

constexpr const char* file_scheme = "file://";

int hex_digit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// %XX stands for the byte XX; a % without two hex digits is kept as it is.
std::string percent_decoded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = hex_digit(text[i + 1]);
      const int low = hex_digit(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

// A file:// URI names a file of this machine when its host part is empty or
// "localhost"; its path is percent-encoded.
std::string path_of_uri(const std::string& uri) {
  std::string rest = uri.substr(std::string(file_scheme).size());
  const std::size_t slash = rest.find('/');
  if (slash == std::string::npos)
    return std::string();
  const std::string host = rest.substr(0, slash);
  if (!host.empty() && host != "localhost")
    return std::string();
  return percent_decoded(rest.substr(slash));
}

std::string path_of_entry(const std::string& entry) {
  if (entry.rfind(file_scheme, 0) == 0)
    return path_of_uri(entry);
  if (!entry.empty() && entry[0] == '/')
    return entry;  // a plain path, as some programs send
  return std::string();
}

bool names_an_image(const std::string& path) {
  if (path.size() < 4)
    return false;
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == ".nes";
}

bool exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

std::string path_from_dropped_text(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    // Lines beginning with # are comments in a URI list.
    if (line.empty() || line[0] == '#')
      continue;
    const std::string path = path_of_entry(line);
    if (names_an_image(path))
      return path;
  }
  return std::string();
}

std::string next_screenshot_path(const std::string& folder, const std::string& rom_path) {
  const std::size_t slash = rom_path.rfind('/');
  const std::string file_name = slash == std::string::npos ? rom_path : rom_path.substr(slash + 1);
  const std::string stem = strip_extension(file_name);
  for (int number = 1;; ++number) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "-%03d.png", number);
    const std::string path = folder + "/" + stem + suffix;
    if (!exists(path))
      return path;
  }
}
