// Little-endian binary I/O for save-state blocks. Every component writes its
// block field by field through a StateWriter and reads it back through a
// StateReader; the file container is assembled by the save-state code.
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "core/types.h"

struct StateWriter {
  std::vector<u8> bytes;

  void put_u8(u8 value) { bytes.push_back(value); }
  void put_u16(u16 value) {
    put_u8(static_cast<u8>(value));
    put_u8(static_cast<u8>(value >> 8));
  }
  void put_u32(u32 value) {
    put_u16(static_cast<u16>(value));
    put_u16(static_cast<u16>(value >> 16));
  }
  void put_i32(i32 value) { put_u32(static_cast<u32>(value)); }
  void put_f32(float value) {
    u32 raw;
    std::memcpy(&raw, &value, 4);
    put_u32(raw);
  }
  void put_bytes(const u8* data, std::size_t count) { bytes.insert(bytes.end(), data, data + count); }
};

// Reads from a byte range. Reading past the end yields zeros and clears `ok`;
// callers check `ok` (and `remaining()`) before they apply anything.
struct StateReader {
  const u8* data = nullptr;
  std::size_t size = 0;
  std::size_t position = 0;
  bool ok = true;

  StateReader() = default;
  StateReader(const u8* begin, std::size_t length) : data(begin), size(length) {}

  std::size_t remaining() const { return size - position; }

  u8 get_u8() {
    if (position >= size) {
      ok = false;
      return 0;
    }
    return data[position++];
  }
  u16 get_u16() {
    u16 low = get_u8();
    return static_cast<u16>(low | (get_u8() << 8));
  }
  u32 get_u32() {
    u32 low = get_u16();
    return low | (static_cast<u32>(get_u16()) << 16);
  }
  i32 get_i32() { return static_cast<i32>(get_u32()); }
  float get_f32() {
    u32 raw = get_u32();
    float value;
    std::memcpy(&value, &raw, 4);
    return value;
  }
  // Copies count bytes; on a short read copies nothing and clears ok.
  void get_bytes(u8* out, std::size_t count) {
    if (remaining() < count) {
      position = size;
      ok = false;
      return;
    }
    std::memcpy(out, data + position, count);
    position += count;
  }
};
