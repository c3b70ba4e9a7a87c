// The console's sound hardware: two pulse channels with envelope and sweep, a
// triangle with its linear counter, a noise channel, their length counters and
// the frame sequencer that clocks them and raises the frame interrupt. Each
// change of a channel's output level becomes a step in a band-limited buffer.
#pragma once

#include <cstddef>

#include "core/types.h"

struct Console;
class StateVisitor;
class StateWriter;
struct blip_buf;

constexpr int apu_state_bytes = 108;
constexpr int cpu_clock_rate = 1789773;
constexpr int sequencer_period = 7445;  // CPU cycles between sequencer steps

// Receives each finished chunk of samples on the emulation thread.
using ChunkCallback = void (*)(void* user, const i16* samples, int count, int sample_rate);

// Register bits shared by the pulse and noise channels' first register
// ($4000, $4004, $400C) and the triangle's ($4008).
constexpr u8 reg0_constant_volume = 0x10;  // bits 0-3 are the volume, not the envelope's period
constexpr u8 reg0_length_halt = 0x20;      // holds the length counter; also loops the envelope
constexpr u8 triangle_control = 0x80;      // holds the linear counter's reload
// $4001/$4005, the sweep.
constexpr u8 sweep_enabled = 0x80;
constexpr u8 sweep_negate = 0x08;
// $400E: the noise channel's short mode.
constexpr u8 noise_short_mode = 0x80;
// $4017, the frame sequencer.
constexpr u8 frame_five_step = 0x80;
constexpr u8 frame_irq_inhibit = 0x40;

// An envelope: a decay level counted down from 15 by a divider, or a
// constant volume.
struct Envelope {
  i32 volume = 0;   // what the channel sends, 0-15
  i32 level = 0;    // the decay level, 0-15
  i32 divider = 0;  // quarter-frames until the next decay step
  i32 silent = 0;   // the envelope has run down to volume 0
};

// One pulse channel: $4000-$4003 or $4004-$4007.
struct Pulse {
  u8 reg[4] = {};
  Envelope env;
  i32 length = 0;         // length counter, in half-frames
  i32 sweep_divider = 0;  // half-frames until the next sweep step
  i32 sweep_silent = 0;   // the sweep found a period below 8
  i32 due = 0;            // APU clock of the next duty step
  i32 duty_step = 1;      // 0-7
  i32 level = 0;          // the amplitude last sent to the buffer
};

// The triangle: $4008, $400A, $400B.
struct Triangle {
  u8 reg[3] = {};
  i32 reload = 0;  // the linear counter reloads at the next quarter-frame
  i32 linear = 0;  // linear counter
  i32 length = 0;  // length counter
  i32 due = 0;     // APU clock of the next sequence step
  i32 step = 1;    // 0-31: 0 up to 15, then 15 down to 0
  i32 level = 0;
};

// The noise channel: $400C, $400E, $400F.
struct Noise {
  u8 reg[3] = {};
  Envelope env;
  i32 length = 0;
  i32 due = 0;    // APU clock of the next shift
  i32 shift = 1;  // the 15-bit shift register
  i32 level = 0;
};

// The frame sequencer's three lanes: the frame interrupt, the length
// counters and sweeps (half-frames), the envelopes and the linear counter
// (quarter-frames). Each keeps its step within the mode and its next clock.
struct FrameSequencer {
  i32 irq_step = 0;
  i32 length_step = 0;
  i32 env_step = 0;
  i32 irq_due = 0;
  i32 length_due = 0;
  i32 env_due = 0;
};

// The run loop's shortcuts, derived from the rest of the record and never
// saved. No due clock, chunk boundary or rebase lies before `limit`, so a
// call that leaves the clock below it only advances the clock and the due
// clocks of the channels marked in idle_channels (silent channels whose due
// clocks follow the clock). The work of the sounding channels is put off to
// the next call in which something is due (or to the next write): their
// level changes depend only on their due clocks and on registers and
// counters that change only at register writes and sequencer steps, so it is
// then done up to the clock of the call before, exactly as the calls would
// have done it. Register writes and state loads reset the limit.
struct ApuShortcuts {
  bool off = false;  // every call takes the full path (the exact model)
  float limit = -1.0f;
  u32 idle_channels = 0;
  u32 sounding_channels = 0;
  // Set by register writes and state loads: the silence of every channel must
  // be worked out again at the next full step (sequencer steps force it too).
  i32 silence_stale = 1;
};

struct Apu {
  Console* console = nullptr;
  u8 status_reg = 0;  // $4015: the channels enabled, bit 0 pulse 1 to bit 3 noise
  u8 frame_reg = 0;   // $4017
  Pulse pulse[2];
  Triangle triangle;
  Noise noise;
  FrameSequencer sequencer;
  float time = 0;  // CPU cycles since the last rebase
  i32 sound_on = 0;
  i32 sample_rate = 44100;
  i32 chunk_samples = 2205;
  i32 clock_rate = cpu_clock_rate;
  blip_buf* blip = nullptr;  // owned; null when sound is off
  i16* chunk = nullptr;      // owned; null when sound is off
  ChunkCallback on_chunk = nullptr;
  void* on_chunk_user = nullptr;
  i32 chunk_clocks = 0;  // the buffer's clocks needed for the next chunk
  ApuShortcuts fast;
};

// Turns the shortcuts on or off (see ApuShortcuts).
void apu_set_shortcuts(Apu& apu, bool on);

// The caller sets apu.console first. Returns 1, or -1 when the buffer could
// not be made, -2 when the chunk array could not be allocated.
int apu_create(Apu& apu, int sound_on, int sample_rate, int chunk_samples, ChunkCallback on_chunk,
               void* on_chunk_user);
void apu_free(Apu& apu);
void apu_write(Apu& apu, u16 address, u8 value);
u8 apu_read_status(Apu& apu, u16 address);

// Channel bits of Apu::idle_channels.
constexpr u32 idle_pulse1 = 1;
constexpr u32 idle_pulse2 = 2;
constexpr u32 idle_triangle = 4;
constexpr u32 idle_noise = 8;

// What a silent, settled channel does in a call where nothing is due: a
// silent pulse keeps its due clock within one cycle ahead of the clock (its
// fall to zero is done, so the step it would add has height 0), a silent
// triangle or noise channel moves its due clock to the clock.
inline void apu_follow_idle(Apu& apu) {
  const u32 idle = apu.fast.idle_channels;
  if ((idle & idle_pulse1) && apu.pulse[0].due < apu.time) {
    apu.pulse[0].due = static_cast<i32>(apu.time + 1.0f);
  }
  if ((idle & idle_pulse2) && apu.pulse[1].due < apu.time) {
    apu.pulse[1].due = static_cast<i32>(apu.time + 1.0f);
  }
  if (idle & idle_triangle) {
    apu.triangle.due = static_cast<i32>(apu.time);
  }
  if (idle & idle_noise) {
    apu.noise.due = static_cast<i32>(apu.time);
  }
}

// Advances the APU by cycles CPU cycles (at least 1.0). Most calls hand over
// one cycle in which nothing is due; those are handled here, inline in the
// CPU's run loop, and everything else by apu_run_full_step.
void apu_run_full_step(Apu& apu, float cycles);
inline void apu_run(Apu& apu, float cycles) {
  const float time = apu.time + cycles;
  if (time < apu.fast.limit) {
    apu.time = time;
    if (apu.fast.idle_channels != 0) {
      apu_follow_idle(apu);
    }
    return;
  }
  apu_run_full_step(apu, cycles);
}

// The first calls of a run of `count` one-cycle calls that only move the
// clock, worked out at once when every clock value they reach is exact (see
// apu.cpp). Returns how many calls it stood for, 0 when the run must be made
// call by call.
int apu_run_quiet_cycles(Apu& apu, int count);

// Exactly `count` calls of apu_run with one cycle each, with nothing else
// happening between them (the renderer's dots in which the CPU runs nothing).
// While nothing is due, the clock and the idle channels' due clocks are kept
// in locals, one addition per call as the calls would make them, and written
// back once.
inline void apu_run_single_cycles(Apu& apu, int count) {
  if (count <= 0)
    return;
  const int quiet = apu_run_quiet_cycles(apu, count);
  if (quiet > 0) {
    for (int done = quiet; done < count; ++done)
      apu_run(apu, 1.0f);
    return;
  }
  const u32 idle = apu.fast.idle_channels;
  const float limit = apu.fast.limit;
  float time = apu.time;
  i32 pulse1_due = apu.pulse[0].due;
  i32 pulse2_due = apu.pulse[1].due;
  int done = 0;
  while (done < count && time + 1.0f < limit) {
    time += 1.0f;
    ++done;
    if ((idle & idle_pulse1) && pulse1_due < time)
      pulse1_due = static_cast<i32>(time + 1.0f);
    if ((idle & idle_pulse2) && pulse2_due < time)
      pulse2_due = static_cast<i32>(time + 1.0f);
  }
  if (done > 0) {
    apu.time = time;
    apu.pulse[0].due = pulse1_due;
    apu.pulse[1].due = pulse2_due;
    if (idle & idle_triangle)
      apu.triangle.due = static_cast<i32>(time);
    if (idle & idle_noise)
      apu.noise.due = static_cast<i32>(time);
  }
  // From the first call in which something is due on, one call at a time.
  for (; done < count; ++done)
    apu_run(apu, 1.0f);
}

// Does the channels' put-off work now, up to the clock of the last call, so
// that their fields (levels, steps, due clocks) are current. Only code that
// looks at those fields needs it; the sound is the same either way.
void apu_sync(Apu& apu);

// The save block, each field once with its range (see core/state_io.h).
void apu_state(Apu& apu, StateVisitor& v);
// Around applying a block: the put-off work is done with the old state
// first, and the shortcuts are worked out again afterwards.
void apu_before_load(Apu& apu);
void apu_after_load(Apu& apu);
void apu_save_state(const Apu& apu, StateWriter& out);
// Checks a whole block and applies it; false, changing nothing, when it is
// not one block or a field is out of its range.
bool apu_load_state(Apu& apu, const u8* block, std::size_t size);
