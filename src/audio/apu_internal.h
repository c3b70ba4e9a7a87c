// Operations shared by the APU's source files; not part of its interface.
#pragma once

#include "audio/apu.h"

// The longest stretch of CPU cycles one step of the run loop handles.
constexpr float apu_max_run_cycles = 8192.0f;

// Length-counter load value for a write of value to a channel's last register.
int apu_length_load(u8 value);

// Makes the next apu_run take the full path (after a register write or a
// state load, which may change what is silent or due).
inline void apu_invalidate(Apu& apu) {
  apu.fast_limit = -1.0f;
  apu.silence_stale = 1;
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
