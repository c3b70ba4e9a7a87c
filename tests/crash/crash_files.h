// How the crash-safety test and its looping writer mark the versions of a
// file: each version carries its number in a form that a torn or mixed file
// cannot imitate.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/types.h"

namespace crash_files {

// The marked stretch: 2048 bytes, the version's four bytes repeated with
// each copy's index mixed in, so that two versions never share a copy.
constexpr std::size_t marker_bytes = 2048;

inline u8 marker_byte(u32 version, std::size_t index) {
  const u32 word = version ^ static_cast<u32>(index / 4) * 0x9E3779B9u;
  return static_cast<u8>(word >> (8 * (index % 4)));
}

inline void fill_marker(u8* bytes, u32 version) {
  for (std::size_t i = 0; i < marker_bytes; ++i)
    bytes[i] = marker_byte(version, i);
}

// The version a marked stretch holds, or nothing when it is not one whole
// version.
inline std::optional<u32> read_marker(const u8* bytes) {
  const u32 version = static_cast<u32>(bytes[0]) | static_cast<u32>(bytes[1]) << 8 |
                      static_cast<u32>(bytes[2]) << 16 | static_cast<u32>(bytes[3]) << 24;
  for (std::size_t i = 0; i < marker_bytes; ++i) {
    if (bytes[i] != marker_byte(version, i))
      return std::nullopt;
  }
  return version;
}

// The settings file of a version: nine paths that all name it.
inline std::string recent_entry(u32 version, int entry) {
  return "/games/version-" + std::to_string(version) + "/slot-" + std::to_string(entry) + ".nes";
}

template <std::size_t N>
void fill_recent_list(std::array<std::string, N>& recent, u32 version) {
  for (std::size_t i = 0; i < N; ++i)
    recent[i] = recent_entry(version, static_cast<int>(i));
}

}  // namespace crash_files
