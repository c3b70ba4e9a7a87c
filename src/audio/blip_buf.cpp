// The band-limited sample buffer. See blip_buf.h for the model.
//
// Argument checks stay active in every build type: a failed check means the
// caller broke the buffer's contract (a frame longer than the buffer, a step
// placed past its end), and carrying on would write outside the allocation.
// <assert.h> is read with NDEBUG cleared for the declaration of the C
// runtime's report-and-abort function, which the checks call directly.
#undef NDEBUG
#include <assert.h>

#include "audio/blip_buf.h"

#include <cstdlib>
#include <cstring>

// Stops the program with the C runtime's assertion report, naming the check,
// the source "blip_buf" and the line.
#define blip_check(condition, text)                        \
  do {                                                     \
    if (!(condition)) {                                    \
      __assert_fail(text, "blip_buf", __LINE__, __func__); \
    }                                                      \
  } while (0)

namespace {

// A step of height d adds d << 15 to the slots; samples are the integral >> 15.
constexpr int step_bits = 15;
// Of the 32 high bits of a position, the top 12 count whole samples and the
// next 15 place a step between two neighbouring slots.
constexpr int fixed_sample_shift = blip_time_bits - 32;       // 20
constexpr int interp_shift = fixed_sample_shift - step_bits;  // 5
constexpr u32 interp_mask = (1u << step_bits) - 1;
// After each output sample s, s << 6 is taken off the integral: the level
// loses 1/512 per sample (a one-pole high-pass near 13.7 Hz at 44100 Hz).
constexpr int high_pass_shift = 6;
// A step lands this many slots after the sample that contains its time.
constexpr int step_delay = 7;

// Wrapping 32-bit addition; the slot arithmetic is modular by design.
inline i32 wrap_add(i32 a, i32 b) {
  return static_cast<i32>(static_cast<u32>(a) + static_cast<u32>(b));
}
inline i32 wrap_sub(i32 a, i32 b) {
  return static_cast<i32>(static_cast<u32>(a) - static_cast<u32>(b));
}

}  // namespace

i32* blip_buf_slots(blip_buf* m) {
  return reinterpret_cast<i32*>(m + 1);
}

blip_buf* blip_buf_create(i32 size) {
  blip_check(size >= 0, "size >= 0");
  std::size_t bytes = sizeof(blip_buf) + (static_cast<std::size_t>(size) + blip_extra_slots) * sizeof(i32);
  auto* m = static_cast<blip_buf*>(std::malloc(bytes));
  if (m == nullptr) {
    return nullptr;
  }
  m->factor = blip_time_unit >> 20;
  m->size = size;
  blip_buf_clear(m);
  return m;
}

void blip_buf_destroy(blip_buf* m) {
  if (m == nullptr) {
    return;
  }
  m->factor = 0;
  m->time_offset = 0;
  m->avail = 0;
  m->size = 0;
  m->running_sum = 0;
  std::free(m);
}

void blip_buf_set_rates(blip_buf* m, double clock_rate, double sample_rate) {
  double factor = static_cast<double>(blip_time_unit) * sample_rate / clock_rate;
  // Truncate only what fits: an out-of-range conversion is undefined, and the
  // check below must see the mismatch instead.
  constexpr double u64_limit = 18446744073709551616.0;  // 2^64
  m->factor = (factor >= 0.0 && factor < u64_limit) ? static_cast<u64>(factor) : 0;
  blip_check(0 <= factor - m->factor && factor - m->factor < 1,
             "0 <= factor - m->factor && factor - m->factor < 1");
  // Round up, so that a frame never yields more clocks' worth of samples than
  // the clocks that actually passed.
  if (static_cast<double>(m->factor) < factor) {
    m->factor++;
  }
}

void blip_buf_clear(blip_buf* m) {
  m->time_offset = m->factor / 2;
  m->avail = 0;
  m->running_sum = 0;
  std::memset(blip_buf_slots(m), 0, (static_cast<std::size_t>(m->size) + blip_extra_slots) * sizeof(i32));
}

i32 blip_buf_clocks_needed(const blip_buf* m, i32 samples) {
  blip_check(samples >= 0 && m->avail + samples <= m->size, "samples >= 0 && m->avail + samples <= m->size");
  u64 needed = static_cast<u64>(samples) << blip_time_bits;
  if (needed < m->time_offset) {
    return 0;
  }
  return static_cast<i32>((needed - m->time_offset + m->factor - 1) / m->factor);
}

void blip_buf_end_frame(blip_buf* m, u32 t) {
  u64 position = t * m->factor + m->time_offset;
  m->avail += static_cast<i32>(position >> blip_time_bits);
  m->time_offset = position & (blip_time_unit - 1);
  blip_check(m->avail <= m->size, "m->avail <= m->size");
}

i32 blip_buf_avail(const blip_buf* m) {
  return m->avail;
}

i32 blip_buf_read(blip_buf* m, i16* out, i32 count, i32 stereo) {
  blip_check(count >= 0, "count >= 0");
  if (count > m->avail) {
    count = m->avail;
  }
  if (count == 0) {
    return 0;
  }
  int step = stereo ? 2 : 1;
  i32* slots = blip_buf_slots(m);
  i32 sum = m->running_sum;
  for (i32 i = 0; i < count; i++) {
    i32 s = sum >> step_bits;
    if (s > 32767) {
      s = 32767;
    } else if (s < -32768) {
      s = -32768;
    }
    *out = static_cast<i16>(s);
    out += step;
    sum = wrap_add(sum, wrap_sub(slots[i], s << high_pass_shift));
  }
  m->running_sum = sum;

  // Move the unread samples and the steps already placed past them to the front.
  m->avail -= count;
  std::size_t remaining = static_cast<std::size_t>(m->avail) + blip_extra_slots;
  std::memmove(slots, slots + count, remaining * sizeof(i32));
  std::memset(slots + remaining, 0, static_cast<std::size_t>(count) * sizeof(i32));
  return count;
}

void blip_buf_add_step(blip_buf* m, u32 time, i32 delta) {
  u32 fixed = static_cast<u32>((time * m->factor + m->time_offset) >> 32);
  i64 index = m->avail + static_cast<i64>(fixed >> fixed_sample_shift);
  blip_check(index <= m->size + blip_end_frame_extra, "out <= &SAMPLES( m ) [m->size + end_frame_extra]");
  i32* out = blip_buf_slots(m) + index + step_delay;
  i32 interp = static_cast<i32>((fixed >> interp_shift) & interp_mask);
  i32 part = static_cast<i32>(static_cast<u32>(delta) * static_cast<u32>(interp));
  out[0] = wrap_add(out[0], wrap_sub(static_cast<i32>(static_cast<u32>(delta) << step_bits), part));
  out[1] = wrap_add(out[1], part);
}
