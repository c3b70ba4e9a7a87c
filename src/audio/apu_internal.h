// Operations shared by the APU's source files; not part of its interface.
#pragma once

#include <climits>

#include "audio/apu.h"
#include "audio/blip_buf.h"

// Amplitudes: a pulse or the noise sends volume x 1000 (0-15000), the
// triangle its sequence value x 1024 (0-15360). The four simply add up in the
// one buffer.
constexpr int apu_volume_unit = 1000;

// A change of a channel's level at an APU clock. A step of height 0 leaves
// the buffer as it is; most duty steps and many noise shifts do not change
// the level, so they skip the buffer altogether.
inline void apu_add_change(blip_buf* blip, i32 due, int delta) {
  if (delta != 0)
    blip_buf_add_step(blip, static_cast<u32>(due), delta);
}

// Divider decrement that cannot overflow, whatever a saved state held.
inline i32 apu_count_down(i32 value) {
  return value > INT_MIN ? value - 1 : value;
}

// The channels. Each *_run sends the channel's level changes up to `time`
// and returns true when the channel is silent (for a pulse: silent and fallen
// to zero); the *_frame functions are the sequencer's clocks.
bool pulse_run(Pulse& pulse, blip_buf* blip, float time, bool enabled, bool& sounding);
void pulse_half_frame(Pulse& pulse, int negate_extra);
bool triangle_run(Triangle& triangle, blip_buf* blip, float time, bool enabled);
void triangle_half_frame(Triangle& triangle);
void triangle_quarter_frame(Triangle& triangle);
bool noise_run(Noise& noise, blip_buf* blip, float time, bool enabled);
void noise_half_frame(Noise& noise);
// The quarter-frame clock of a pulse or noise envelope.
void envelope_quarter_frame(Envelope& env, u8 reg0);

// The longest stretch of CPU cycles one step of the run loop handles.
constexpr float apu_max_run_cycles = 8192.0f;

// Length-counter load value for a write of value to a channel's last register.
int apu_length_load(u8 value);

// Makes the next apu_run take the full path (after a register write or a
// state load, which may change what is silent or due).
inline void apu_invalidate(Apu& apu) {
  apu.fast.limit = -1.0f;
  apu.fast.silence_stale = 1;
}

// Catches the three sequencer lanes up to apu.time. Returns true when a
// length or envelope step was taken (which may change what is silent).
bool apu_run_sequencer(Apu& apu);

// With sound off nothing rebases the clock; moves it and the lanes back by
// whole sequencer periods so they stay small and exact. Returns the clock at
// which the next rebase is due.
float apu_rebase_silent(Apu& apu);

// Emits every output level change of the four channels up to apu.time.
// Returns the idle_channels mask: the silent channels that have nothing
// left to send and whose due clocks now just follow the clock. Unless
// recheck is set, what was silent at the last step still is (no register
// write or sequencer step came between), so only the channels that are due
// are looked at.
u32 apu_run_channels(Apu& apu, bool recheck);

// The level changes of the sounding channels up to the clock of the last call,
// put off by the calls in which nothing was due.
void apu_flush_channels(Apu& apu);

// Closes the buffer's frame and hands out finished chunks once enough clocks
// for one chunk have passed.
void apu_deliver_chunks(Apu& apu);
