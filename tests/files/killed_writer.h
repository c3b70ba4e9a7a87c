// The killed-writer test and its writer: each version of the state file
// carries its number in the first 2 KB of work RAM, in a form that a torn or
// mixed file cannot imitate.
#pragma once

#include <cstddef>

#include "core/types.h"

constexpr std::size_t marker_bytes = 2048;

inline u8 marker_byte(u32 version, std::size_t index) {
  const u32 word = version ^ static_cast<u32>(index / 4) * 0x9E3779B9u;
  return static_cast<u8>(word >> (8 * (index % 4)));
}
