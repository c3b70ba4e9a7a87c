// Operations shared by the APU's source files; not part of its interface.
#pragma once

#include "audio/apu.h"

// The longest stretch of CPU cycles one step of the run loop handles.
constexpr float apu_max_run_cycles = 8192.0f;

// Length-counter load value for a write of value to a channel's last register.
int apu_length_load(u8 value);

// Advances the clock by cycles and does everything due up to it.
void apu_run_piece(Apu& apu, float cycles);

// Catches the three sequencer lanes up to apu.time.
void apu_run_sequencer(Apu& apu);

// With sound off nothing rebases the clock; moves it and the lanes back by
// whole sequencer periods so they stay small and exact.
void apu_rebase_silent(Apu& apu);

// Emits every output level change of the four channels up to apu.time.
void apu_run_channels(Apu& apu);

// Closes the buffer's frame and hands out finished chunks once enough clocks
// for one chunk have passed.
void apu_deliver_chunks(Apu& apu);
