// A band-limited sample buffer: amplitude steps placed at input-clock times
// become 16-bit output samples at a lower, fixed rate.
//
// The buffer stores differences, not levels. A step of height d placed at a
// time between two output samples is split between two neighbouring slots in
// proportion to where it falls; reading integrates the slots, so each output
// sample is the sum of every step before it. Reading also applies a gentle
// high-pass that pulls a constant level back to zero, as the capacitors on the
// console's audio output do.
//
// Time inside the buffer is fixed point: one output sample is 2^52 units. A
// clock t (counted from the start of the current frame) sits at position
// t * factor + time_offset.
#pragma once

#include "core/types.h"

struct blip_buf {
  u64 factor;       // output samples per input clock, scaled by 2^52
  u64 time_offset;  // where the current frame starts inside the first unread sample
  i32 avail;        // finished samples ready to read
  i32 size;         // capacity in samples
  i32 running_sum;  // the integral carried from one read to the next
  // size + blip_extra_slots difference slots follow in the same allocation.
};

constexpr int blip_time_bits = 52;
constexpr u64 blip_time_unit = u64{1} << blip_time_bits;
// Slots a step may reach past `size` when its time lies in the last sample.
constexpr int blip_end_frame_extra = 2;
// Slots allocated past `size` and carried along when samples are removed.
constexpr int blip_extra_slots = 18;

blip_buf* blip_buf_create(i32 size);
void blip_buf_destroy(blip_buf* m);
void blip_buf_set_rates(blip_buf* m, double clock_rate, double sample_rate);
void blip_buf_clear(blip_buf* m);
i32 blip_buf_clocks_needed(const blip_buf* m, i32 samples);
void blip_buf_end_frame(blip_buf* m, u32 t);
i32 blip_buf_avail(const blip_buf* m);
i32 blip_buf_read(blip_buf* m, i16* out, i32 count, i32 stereo);
void blip_buf_add_step(blip_buf* m, u32 time, i32 delta);

// The difference slots of a buffer (size + blip_extra_slots of them).
i32* blip_buf_slots(blip_buf* m);
