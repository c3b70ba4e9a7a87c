// The console's sound hardware: two pulse channels with envelope and sweep, a
// triangle with its linear counter, a noise channel, their length counters and
// the frame sequencer that clocks them and raises the frame interrupt. Each
// change of a channel's output level becomes a step in a band-limited buffer.
#pragma once

#include "core/types.h"

struct Console;
struct StateWriter;
struct StateReader;
struct blip_buf;

constexpr int apu_state_bytes = 108;
constexpr int cpu_clock_rate = 1789773;
constexpr int sequencer_period = 7445;  // CPU cycles between sequencer steps

// Receives each finished chunk of samples on the emulation thread.
using ChunkCallback = void (*)(void* user, const i16* samples, int count, int sample_rate);

struct Apu {
  Console* console = nullptr;
  u8 status_reg = 0;
  u8 frame_reg = 0;
  u8 pulse1_reg[4] = {};
  u8 pulse2_reg[4] = {};
  u8 tri_reg[3] = {};    // $4008, $400A, $400B
  u8 noise_reg[3] = {};  // $400C, $400E, $400F
  i32 pulse1_sweep_silent = 0;
  i32 pulse1_env_silent = 0;
  i32 pulse2_sweep_silent = 0;
  i32 pulse2_env_silent = 0;
  i32 noise_env_silent = 0;
  i32 pulse1_volume = 0;
  i32 pulse2_volume = 0;
  i32 noise_volume = 0;
  i32 pulse1_sweep_divider = 0;
  i32 pulse1_length = 0;
  i32 pulse1_env_level = 0;
  i32 pulse1_env_divider = 0;
  i32 pulse2_sweep_divider = 0;
  i32 pulse2_length = 0;
  i32 pulse2_env_level = 0;
  i32 pulse2_env_divider = 0;
  i32 tri_reload = 0;
  i32 tri_linear = 0;
  i32 tri_length = 0;
  i32 noise_env_level = 0;
  i32 noise_env_divider = 0;
  i32 noise_length = 0;
  float time = 0;  // CPU cycles since the last rebase
  i32 seq_irq_step = 0;
  i32 seq_length_step = 0;
  i32 seq_env_step = 0;
  i32 seq_irq_due = 0;
  i32 seq_length_due = 0;
  i32 seq_env_due = 0;
  i32 pulse1_due = 0;
  i32 pulse2_due = 0;
  i32 tri_due = 0;
  i32 noise_due = 0;
  i32 pulse1_duty_step = 1;
  i32 pulse1_level = 0;
  i32 pulse2_duty_step = 1;
  i32 pulse2_level = 0;
  i32 tri_step = 1;
  i32 tri_level = 0;
  i32 noise_shift = 1;
  i32 noise_level = 0;
  i32 sound_on = 0;
  i32 sample_rate = 44100;
  i32 chunk_samples = 2205;
  i32 clock_rate = cpu_clock_rate;
  blip_buf* blip = nullptr;  // owned; null when sound is off
  i16* chunk = nullptr;      // owned; null when sound is off
  ChunkCallback on_chunk = nullptr;
  void* on_chunk_user = nullptr;

  // Run-loop shortcuts, derived from the fields above and never saved. No
  // due clock, chunk boundary or rebase lies before fast_limit, so a call
  // that leaves time below it only advances the clock and the due clocks of
  // the channels marked in idle_channels (silent channels whose due clocks
  // follow the APU clock). Register writes and state loads reset fast_limit.
  float fast_limit = -1.0f;
  u32 idle_channels = 0;
  // Sounding channels. Their level changes depend only on their due clocks
  // and on registers and counters that change only at register writes and
  // sequencer steps, so the work of quiet calls is put off to the next call
  // in which something is due (or to the next write), where it is done up to
  // the clock of the call before, exactly as the calls would have done it.
  u32 sounding_channels = 0;
  // Set by register writes and state loads: the silence of every channel must
  // be worked out again at the next full step (sequencer steps force it too).
  i32 silence_stale = 1;
  i32 chunk_clocks = 0;  // the buffer's clocks needed for the next chunk
};

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

// Advances the APU by cycles CPU cycles (at least 1.0). Most calls hand over
// one cycle in which nothing is due; those are handled here, inline in the
// CPU's run loop, and everything else by apu_run_full_step.
void apu_run_full_step(Apu& apu, float cycles);
inline void apu_run(Apu& apu, float cycles) {
  const float time = apu.time + cycles;
  if (time < apu.fast_limit) {
    apu.time = time;
    if (apu.idle_channels != 0) {
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
  const u32 idle = apu.idle_channels;
  const float limit = apu.fast_limit;
  float time = apu.time;
  i32 pulse1_due = apu.pulse1_due;
  i32 pulse2_due = apu.pulse2_due;
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
    apu.pulse1_due = pulse1_due;
    apu.pulse2_due = pulse2_due;
    if (idle & idle_triangle)
      apu.tri_due = static_cast<i32>(time);
    if (idle & idle_noise)
      apu.noise_due = static_cast<i32>(time);
  }
  // From the first call in which something is due on, one call at a time.
  for (; done < count; ++done)
    apu_run(apu, 1.0f);
}

// Does the channels' put-off work now, up to the clock of the last call, so
// that their fields (levels, steps, due clocks) are current. Only code that
// looks at those fields needs it; the sound is the same either way.
void apu_sync(Apu& apu);

void apu_save_state(const Apu& apu, StateWriter& out);
void apu_load_state(Apu& apu, StateReader& in);
