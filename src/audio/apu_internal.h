// Operations shared by the APU's source files; not part of its interface.
#pragma once

#include "audio/apu.h"

// Length-counter load value for a write of value to a channel's last register.
int apu_length_load(u8 value);

// Channel bits of Apu::idle_channels.
constexpr u32 idle_pulse1 = 1;
constexpr u32 idle_pulse2 = 2;
constexpr u32 idle_triangle = 4;
constexpr u32 idle_noise = 8;

// Makes the next apu_run take the full path (after a register write or a
// state load, which may change what is silent or due).
inline void apu_invalidate(Apu& apu) {
  apu.fast_limit = -1.0f;
}

// Catches the three sequencer lanes up to apu.time.
void apu_run_sequencer(Apu& apu);

// With sound off nothing rebases the clock; moves it and the lanes back by
// whole sequencer periods so they stay small and exact. Returns the clock at
// which the next rebase is due.
float apu_rebase_silent(Apu& apu);

// Emits every output level change of the four channels up to apu.time.
// Returns the idle_channels mask: the silent channels that have nothing
// left to send and whose due clocks now just follow the clock.
u32 apu_run_channels(Apu& apu);

// What a silent, settled channel does in a call where nothing is due: a
// silent pulse keeps its due clock within one cycle ahead of the clock (its
// fall to zero is done, so the step it would add has height 0), a silent
// triangle or noise channel moves its due clock to the clock.
inline void apu_follow_idle(Apu& apu) {
  const u32 idle = apu.idle_channels;
  if ((idle & idle_pulse1) && apu.pulse1_due < apu.time) {
    apu.pulse1_due = static_cast<i32>(apu.time + 1.0f);
  }
  if ((idle & idle_pulse2) && apu.pulse2_due < apu.time) {
    apu.pulse2_due = static_cast<i32>(apu.time + 1.0f);
  }
  if (idle & idle_triangle) {
    apu.tri_due = static_cast<i32>(apu.time);
  }
  if (idle & idle_noise) {
    apu.noise_due = static_cast<i32>(apu.time);
  }
}

// Closes the buffer's frame and hands out finished chunks once enough clocks
// for one chunk have passed.
void apu_deliver_chunks(Apu& apu);
