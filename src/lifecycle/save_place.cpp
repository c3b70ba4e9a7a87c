#include "lifecycle/save_place.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "lifecycle/file_write.h"
#include "lifecycle/save_state.h"
#include "lifecycle/session.h"
#include "lifecycle/user_folders.h"

namespace {

constexpr u32 fnv_offset_basis = 2166136261u;
constexpr u32 fnv_prime = 16777619u;

std::string file_name_of(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A regular file (links followed) at the path.
bool regular_file(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A file is a state when it begins with the signature; anything else that is
// a regular file counts as a battery file.
bool of_kind(const std::string& path, SaveKind kind) {
  std::vector<u8> head;
  if (!read_file_prefix(path, state_signature_bytes, head))
    return false;
  bool state = head.size() == state_signature_bytes &&
               std::memcmp(head.data(), state_signature, state_signature_bytes) == 0;
  return state == (kind == SaveKind::state);
}

bool folder_writable(const std::string& path) {
  return ::access(directory_of(path).c_str(), W_OK | X_OK) == 0;
}

}  // namespace

u32 fnv1a_32(const std::string& bytes) {
  u32 hash = fnv_offset_basis;
  for (char c : bytes) {
    hash ^= static_cast<u8>(c);
    hash *= fnv_prime;
  }
  return hash;
}

SaveFile save_file(const std::string& rom_path, int slot) {
  // The image as it really lies, so that every way of reaching it agrees.
  std::string image = absolute_path(rom_path);
  char suffix[16] = ".sav";
  if (slot != 0)
    std::snprintf(suffix, sizeof suffix, "(%d).sav", slot);

  SaveFile file;
  file.kind = slot == 0 ? SaveKind::battery : SaveKind::state;
  file.beside_image = strip_extension(image) + suffix;

  std::string folder = absolute_path(directory_of(image));
  char hash[9];
  std::snprintf(hash, sizeof hash, "%08x", fnv1a_32(folder));
  file.saves_folder = saves_directory();
  file.saves_folder.append("/").append(file_name_of(strip_extension(image)));
  file.saves_folder.append("-").append(hash).append(suffix);
  return file;
}

SavePlace save_place_to_read(const SaveFile& file) {
  if (regular_file(file.saves_folder) && of_kind(file.saves_folder, file.kind))
    return SavePlace::saves_folder;
  if (regular_file(file.beside_image) && of_kind(file.beside_image, file.kind))
    return SavePlace::beside_image;
  return SavePlace::none;
}

const std::string& save_path(const SaveFile& file, SavePlace place) {
  return place == SavePlace::saves_folder ? file.saves_folder : file.beside_image;
}

SavePlace write_save_file(const SaveFile& file, const u8* data, std::size_t size) {
  const std::string& beside = file.beside_image;
  const std::string& saves = file.saves_folder;
  struct stat info;
  bool saves_taken = ::lstat(saves.c_str(), &info) == 0;
  if (saves_taken && regular_file(saves) && of_kind(saves, file.kind))
    return write_file_atomically(saves, data, size) ? SavePlace::saves_folder : SavePlace::none;

  if (folder_writable(beside)) {
    bool absent = ::lstat(beside.c_str(), &info) != 0 && errno == ENOENT;
    bool ours = !absent && regular_file(beside) && ::access(beside.c_str(), W_OK) == 0 && of_kind(beside, file.kind);
    if ((absent || ours) && write_file_atomically(beside, data, size))
      return SavePlace::beside_image;
  }
  // Something else under the saves folder's name is never replaced.
  if (saves_taken)
    return SavePlace::none;
  make_directories(directory_of(saves));
  return write_file_atomically(saves, data, size) ? SavePlace::saves_folder : SavePlace::none;
}
