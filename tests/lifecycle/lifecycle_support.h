// What the lifecycle tests share: scratch directories, a scripted
// platform, iNES images built on the fly and small file utilities.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "core/types.h"
#include "platform/platform.h"

namespace lifecycle_test {

// A directory of its own for each test, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvel-life-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
  }
  ~ScratchDir() {
    if (path_.empty())
      return;
    std::error_code error;
    // Directories a test made read-only must be writable to be emptied.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      if (it->is_directory(error))
        ::chmod(it->path().c_str(), 0700);
    }
    ::chmod(path_.c_str(), 0700);
    std::filesystem::remove_all(path_, error);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Keys held by the test, messages and audio calls recorded.
class ScriptPlatform : public Platform {
 public:
  std::set<int> held;
  std::vector<std::string> messages;
  std::vector<bool> audio_pauses;

  bool key_down(int virtual_key) override { return held.count(virtual_key) != 0; }
  void show_message(const std::string& text) override { messages.push_back(text); }
  void message_box(const std::string&, const std::string&) override {}
  void pause_audio(bool paused) override { audio_pauses.push_back(paused); }
};

inline bool running_as_root() {
  return ::geteuid() == 0;
}

inline std::vector<u8> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<u8>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string read_text(const std::string& path) {
  std::vector<u8> bytes = read_file(path);
  return std::string(bytes.begin(), bytes.end());
}

inline void write_file(const std::string& path, const std::vector<u8>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void write_text(const std::string& path, const std::string& text) {
  write_file(path, std::vector<u8>(text.begin(), text.end()));
}

inline bool file_exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

// Names in a directory, to check that no temporary file was left behind.
inline std::set<std::string> directory_entries(const std::string& path) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// An iNES image: the header, then PRG banks whose bytes are all `fill`
// except the vectors, which point at an endless loop (JMP $8000) at the
// start of every 16 KB bank; CHR banks follow, filled with `fill` as well.
struct ImageShape {
  int mapper = 0;
  int prg_banks = 2;  // 16 KB units
  int chr_banks = 1;  // 8 KB units
  bool battery = false;
  bool vertical = false;
  u8 fill = 0xEA;  // NOP
};

inline std::vector<u8> make_image(const ImageShape& shape) {
  std::vector<u8> image(16, 0);
  image[0] = 'N';
  image[1] = 'E';
  image[2] = 'S';
  image[3] = 0x1A;
  image[4] = static_cast<u8>(shape.prg_banks);
  image[5] = static_cast<u8>(shape.chr_banks);
  image[6] =
      static_cast<u8>(((shape.mapper & 0x0F) << 4) | (shape.battery ? 2 : 0) | (shape.vertical ? 1 : 0));
  image[7] = static_cast<u8>(shape.mapper & 0xF0);
  for (int bank = 0; bank < shape.prg_banks; ++bank) {
    std::vector<u8> prg(16384, shape.fill);
    prg[0] = 0x4C;  // JMP $8000 (or the same place in whatever window holds it)
    prg[1] = 0x00;
    prg[2] = 0x80;
    for (int vector = 0x3FFA; vector < 0x4000; vector += 2) {
      prg[vector] = 0x00;
      prg[vector + 1] = 0x80;
    }
    image.insert(image.end(), prg.begin(), prg.end());
  }
  image.insert(image.end(), static_cast<std::size_t>(shape.chr_banks) * 8192, shape.fill);
  return image;
}

inline std::string write_image(const ScratchDir& dir, const std::string& name, const ImageShape& shape) {
  std::string path = dir / name;
  write_file(path, make_image(shape));
  return path;
}

}  // namespace lifecycle_test
