// Save-state blocks. Each record that is saved has one function that names
// its fields once, in block order, little-endian with nothing between them,
// together with the range a field must lie in where it has one:
//
//     void ppu_state(Ppu& ppu, StateVisitor& v) {
//       v.u8_field(ppu.ctrl);
//       ...
//       v.u8_field(ppu.fine_x, 7);
//     }
//
// Three visitors walk such a function: StateWriter appends the fields to a
// block; StateChecker reads a block and checks every field against its range
// without storing anything; StateApplier reads a checked block into the
// record. A file is therefore checked whole before any of it is applied, and
// a refused file changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/types.h"

class StateVisitor {
 public:
  virtual ~StateVisitor() = default;

  // Each returns the field's value as this pass sees it: the record's when
  // writing, the block's when checking, the stored one when applying. A
  // check that involves more than one field uses them with require().
  virtual u8 u8_field(u8& field, u8 max = 0xFF) = 0;
  virtual u16 u16_field(u16& field) = 0;
  virtual u32 u32_field(u32& field, u32 min = 0, u32 max = UINT32_MAX) = 0;
  virtual i32 i32_field(i32& field, i32 min = INT32_MIN, i32 max = INT32_MAX) = 0;
  // A float must be finite and within +-limit.
  virtual float f32_field(float& field, float limit) = 0;
  virtual void bytes(u8* data, std::size_t count) = 0;
  // A word kept for the block's layout: written as 0, skipped when read.
  virtual void reserved_u32() = 0;
  // A bank offset into ROM: an offset below base is kept, others are reduced
  // to base + (offset - base) modulo size (0 without ROM). Never refused, so
  // a window always lies inside the image.
  virtual u32 bank_offset(u32& field, u32 base, u32 size) = 0;
  // Refuses the block when the condition does not hold.
  virtual void require(bool condition) = 0;
};

inline u32 reduce_bank_offset(u32 offset, u32 base, u32 size) {
  if (offset < base)
    return offset;
  return base + (size == 0 ? 0 : (offset - base) % size);
}

// Appends fields to a block.
class StateWriter final : public StateVisitor {
 public:
  std::vector<u8> bytes_out;

  void put_u8(u8 value) { bytes_out.push_back(value); }
  void put_u16(u16 value) {
    put_u8(static_cast<u8>(value));
    put_u8(static_cast<u8>(value >> 8));
  }
  void put_u32(u32 value) {
    put_u16(static_cast<u16>(value));
    put_u16(static_cast<u16>(value >> 16));
  }
  void put_bytes(const u8* data, std::size_t count) {
    const std::size_t at = bytes_out.size();
    bytes_out.resize(at + count);
    if (count != 0)
      std::memcpy(bytes_out.data() + at, data, count);
  }

  u8 u8_field(u8& field, u8) override {
    put_u8(field);
    return field;
  }
  u16 u16_field(u16& field) override {
    put_u16(field);
    return field;
  }
  u32 u32_field(u32& field, u32, u32) override {
    put_u32(field);
    return field;
  }
  i32 i32_field(i32& field, i32, i32) override {
    put_u32(static_cast<u32>(field));
    return field;
  }
  float f32_field(float& field, float) override {
    u32 raw;
    std::memcpy(&raw, &field, 4);
    put_u32(raw);
    return field;
  }
  void bytes(u8* data, std::size_t count) override { put_bytes(data, count); }
  void reserved_u32() override { put_u32(0); }
  u32 bank_offset(u32& field, u32, u32) override {
    put_u32(field);
    return field;
  }
  void require(bool) override {}
};

// Reads little-endian values from a byte range; the checker and the applier
// share it. Reading past the end yields zeros and clears ok.
class StateReader {
 public:
  StateReader(const u8* begin, std::size_t length) : data_(begin), size_(length) {}

  bool ok() const { return ok_; }
  // Whether every byte was read and nothing was refused.
  bool complete() const { return ok_ && position_ == size_; }
  std::size_t position() const { return position_; }

 protected:
  u8 get_u8() {
    if (position_ >= size_) {
      ok_ = false;
      return 0;
    }
    return data_[position_++];
  }
  u16 get_u16() {
    const u16 low = get_u8();
    return static_cast<u16>(low | (get_u8() << 8));
  }
  u32 get_u32() {
    const u32 low = get_u16();
    return low | (static_cast<u32>(get_u16()) << 16);
  }
  float get_f32() {
    const u32 raw = get_u32();
    float value;
    std::memcpy(&value, &raw, 4);
    return value;
  }
  const u8* get_bytes(std::size_t count) {
    if (size_ - position_ < count) {
      position_ = size_;
      ok_ = false;
      return nullptr;
    }
    const u8* start = data_ + position_;
    position_ += count;
    return start;
  }
  void refuse() { ok_ = false; }

 private:
  const u8* data_;
  std::size_t size_;
  std::size_t position_ = 0;
  bool ok_ = true;
};

// Reads a block and checks every field against its range; stores nothing.
class StateChecker final : public StateVisitor, public StateReader {
 public:
  using StateReader::StateReader;

  u8 u8_field(u8&, u8 max) override { return checked(get_u8(), max); }
  u16 u16_field(u16&) override { return get_u16(); }
  u32 u32_field(u32&, u32 min, u32 max) override {
    const u32 value = get_u32();
    require(value >= min && value <= max);
    return value;
  }
  i32 i32_field(i32&, i32 min, i32 max) override {
    const i32 value = static_cast<i32>(get_u32());
    require(value >= min && value <= max);
    return value;
  }
  float f32_field(float&, float limit) override {
    const float value = get_f32();
    require(value >= -limit && value <= limit);  // false for NaN
    return value;
  }
  void bytes(u8*, std::size_t count) override { get_bytes(count); }
  void reserved_u32() override { get_u32(); }
  u32 bank_offset(u32&, u32, u32) override { return get_u32(); }
  void require(bool condition) override {
    if (!condition)
      refuse();
  }

 private:
  u8 checked(u8 value, u8 max) {
    require(value <= max);
    return value;
  }
};

// Reads a block that a StateChecker has accepted into the record.
class StateApplier final : public StateVisitor, public StateReader {
 public:
  using StateReader::StateReader;

  u8 u8_field(u8& field, u8) override { return field = get_u8(); }
  u16 u16_field(u16& field) override { return field = get_u16(); }
  u32 u32_field(u32& field, u32, u32) override { return field = get_u32(); }
  i32 i32_field(i32& field, i32, i32) override { return field = static_cast<i32>(get_u32()); }
  float f32_field(float& field, float) override { return field = get_f32(); }
  void bytes(u8* data, std::size_t count) override {
    if (const u8* source = get_bytes(count))
      std::memcpy(data, source, count);
  }
  void reserved_u32() override { get_u32(); }
  u32 bank_offset(u32& field, u32 base, u32 size) override {
    return field = reduce_bank_offset(get_u32(), base, size);
  }
  void require(bool) override {}
};
