// The four tone generators and the delivery of finished samples.
//
// Nothing here runs per CPU cycle or per output sample. Each channel keeps the
// clock of its next output change (its due clock); when the APU's clock has
// passed it, the channel moves one step along its waveform and the difference
// from the last level it sent goes into the band-limited buffer as a step at
// that exact cycle. The buffer does the resampling to 44100 Hz.
//
// Amplitudes: a pulse or the noise sends volume x 1000 (0-15000), the
// triangle its sequence value x 1024 (0-15360). The four simply add up in the
// one buffer.
#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "audio/apu_internal.h"
#include "audio/blip_buf.h"

namespace {

constexpr int volume_unit = 1000;
constexpr int triangle_unit = 1024;

// A step of height 0 leaves the buffer as it is; most duty steps and many
// noise shifts do not change the level, so they skip the buffer altogether.
inline void add_change(blip_buf* blip, i32 due, int delta) {
  if (delta != 0) {
    blip_buf_add_step(blip, static_cast<u32>(due), delta);
  }
}

// A pulse is high while its duty step (0-7) is at or above the threshold for
// its duty setting (bits 6-7 of its first register). Duty 3 uses the same
// threshold as duty 0, giving seven high steps of eight.
constexpr int duty_threshold[4] = {1, 2, 4, 1};

// CPU cycles per shift of the noise register, indexed by bits 0-3 of $400E.
constexpr int noise_period[16] = {4, 8, 16, 32, 64, 96, 128, 160, 202, 254, 380, 508, 762, 1016, 2034, 4068};

struct PulseView {
  const u8* reg;
  i32 volume;
  i32 length;
  i32 env_silent;
  i32 sweep_silent;
  i32& due;
  i32& duty_step;
  i32& level;
};

bool pulse_silent(const PulseView& pulse, bool enabled) {
  const u8 reg0 = pulse.reg[0];
  // The envelope has run down to volume 0 (only in envelope mode).
  if (!(reg0 & 0x10) && pulse.env_silent) {
    return true;
  }
  // The length counter is spent (only while it is not halted by bit 5).
  if (!(reg0 & 0x20) && pulse.length <= 0) {
    return true;
  }
  // The sweep found a period below 8: it mutes the channel, but only while the
  // high duty bit is set.
  if ((reg0 & 0x80) && pulse.sweep_silent) {
    return true;
  }
  return !enabled;
}

// Returns true when the pulse is silent and has fallen to zero; `sounding`
// tells whether it is not silent.
bool run_pulse(blip_buf* blip, float time, const PulseView& pulse, bool enabled, bool& sounding) {
  sounding = false;
  if (pulse_silent(pulse, enabled)) {
    // Fall to zero once, then keep the due clock just ahead of the APU clock.
    while (pulse.due < time) {
      add_change(blip, pulse.due, -pulse.level);
      pulse.level = 0;
      pulse.due = static_cast<i32>(time + 1.0f);
    }
    return pulse.level == 0;
  }
  sounding = true;
  // One duty step lasts two timer periods: 2 x (P + 1) CPU cycles.
  const int period = 2 * ((pulse.reg[3] & 7) * 256 + pulse.reg[2]) + 2;
  const int threshold = duty_threshold[pulse.reg[0] >> 6];
  const int high = pulse.volume * volume_unit;
  // The level changes only when the step reaches the threshold or wraps to
  // 0. The steps in between change nothing but the step and the due clock,
  // so they are passed over in one go (while the clock is small enough for
  // whole-cycle arithmetic to be exact): a step is due while its clock lies
  // below the APU clock, that is below the clock rounded up.
  const bool exact = time < 8388608.0f;
  const i32 end = static_cast<i32>(std::ceil(time));
  i32 due = pulse.due;
  i32 step = pulse.duty_step;
  i32 level = pulse.level;
  while (due < time) {
    step = (step + 1) & 7;
    const int amplitude = step >= threshold ? high : 0;
    add_change(blip, due, amplitude - level);
    level = amplitude;
    due += period;
    const int quiet = (step < threshold ? threshold : 8) - step - 1;
    if (exact && quiet > 0 && due < end) {
      const int skipped = std::min(quiet, (end - 1 - due) / period + 1);
      step += skipped;
      due += skipped * period;
    }
  }
  pulse.due = due;
  pulse.duty_step = step;
  pulse.level = level;
  return false;
}

// Returns true when the triangle is silent.
bool run_triangle(Apu& apu, bool enabled) {
  const int timer = (apu.tri_reg[2] & 7) * 256 + apu.tri_reg[1];
  // A silent triangle stops where it is and holds its level rather than
  // dropping to zero: when disabled, when either counter has run out, and
  // for timer values of 8 or less, which would give an ultrasonic tone.
  if (!enabled || timer <= 8 || apu.tri_length <= 0 || apu.tri_linear <= 0) {
    apu.tri_due = static_cast<i32>(apu.time);
    return true;
  }
  while (apu.tri_due < apu.time) {
    // 32 steps: 0 up to 15, then 15 down to 0.
    apu.tri_step = (apu.tri_step + 1) & 31;
    const int value = apu.tri_step < 16 ? apu.tri_step : 31 - apu.tri_step;
    const int amplitude = value * triangle_unit;
    add_change(apu.blip, apu.tri_due, amplitude - apu.tri_level);
    apu.tri_level = amplitude;
    apu.tri_due += timer + 1;
  }
  return false;
}

// Returns true when the noise channel is silent.
bool run_noise(Apu& apu, bool enabled) {
  const u8 reg0 = apu.noise_reg[0];
  if (!enabled || (!(reg0 & 0x10) && apu.noise_env_silent) || (!(reg0 & 0x20) && apu.noise_length <= 0)) {
    apu.noise_due = static_cast<i32>(apu.time);
    return true;
  }
  const int period = noise_period[apu.noise_reg[1] & 15];
  // Bit 7 of $400E selects the short mode: feedback from bit 6 instead of
  // bit 1 gives a short repeating sequence, a metallic buzz rather than a hiss.
  const int tap = (apu.noise_reg[1] & 0x80) ? 6 : 1;
  const int high = apu.noise_volume * volume_unit;
  const float time = apu.time;
  i32 due = apu.noise_due;
  i32 shift = apu.noise_shift;
  i32 level = apu.noise_level;
  while (due < time) {
    const int feedback = (shift ^ (shift >> tap)) & 1;
    shift = ((shift >> 1) & 0x3FFF) | (feedback << 14);
    const int amplitude = (shift & 1) == 0 ? high : 0;
    add_change(apu.blip, due, amplitude - level);
    level = amplitude;
    due += period;
  }
  apu.noise_due = due;
  apu.noise_shift = shift;
  apu.noise_level = level;
  return false;
}

// A triangle or noise channel is either silent (idle) or sounding.
u32 idle_none_sounding(u32 channel, u32& sounding) {
  sounding |= channel;
  return 0;
}

}  // namespace

namespace {

PulseView pulse1_view(Apu& apu) {
  return {apu.pulse1_reg,          apu.pulse1_volume, apu.pulse1_length,    apu.pulse1_env_silent,
          apu.pulse1_sweep_silent, apu.pulse1_due,    apu.pulse1_duty_step, apu.pulse1_level};
}

PulseView pulse2_view(Apu& apu) {
  return {apu.pulse2_reg,          apu.pulse2_volume, apu.pulse2_length,    apu.pulse2_env_silent,
          apu.pulse2_sweep_silent, apu.pulse2_due,    apu.pulse2_duty_step, apu.pulse2_level};
}

}  // namespace

void apu_sync(Apu& apu) {
  if (apu.sound_on)
    apu_flush_channels(apu);
}

void apu_flush_channels(Apu& apu) {
  if (apu.sounding_channels == 0)
    return;
  apu_run_channels(apu, false);
}

u32 apu_run_channels(Apu& apu, bool recheck) {
  const u8 enable = apu.status_reg;
  if (recheck) {
    u32 idle = 0;
    u32 sounding = 0;
    bool on = false;
    idle |= run_pulse(apu.blip, apu.time, pulse1_view(apu), enable & 0x01, on) ? idle_pulse1 : 0;
    sounding |= on ? idle_pulse1 : 0;
    idle |= run_pulse(apu.blip, apu.time, pulse2_view(apu), enable & 0x02, on) ? idle_pulse2 : 0;
    sounding |= on ? idle_pulse2 : 0;
    idle |= run_triangle(apu, enable & 0x04) ? idle_triangle : idle_none_sounding(idle_triangle, sounding);
    idle |= run_noise(apu, enable & 0x08) ? idle_noise : idle_none_sounding(idle_noise, sounding);
    apu.sounding_channels = sounding;
    return idle;
  }
  // Idle channels only follow the clock; of the others, only those whose due
  // clock has passed have anything to do.
  u32 idle = apu.idle_channels;
  apu_follow_idle(apu);
  if (!(idle & idle_pulse1) && apu.pulse1_due < apu.time) {
    bool on = false;
    idle |= run_pulse(apu.blip, apu.time, pulse1_view(apu), enable & 0x01, on) ? idle_pulse1 : 0;
  }
  if (!(idle & idle_pulse2) && apu.pulse2_due < apu.time) {
    bool on = false;
    idle |= run_pulse(apu.blip, apu.time, pulse2_view(apu), enable & 0x02, on) ? idle_pulse2 : 0;
  }
  if (!(idle & idle_triangle) && apu.tri_due < apu.time) {
    idle |= run_triangle(apu, enable & 0x04) ? idle_triangle : 0;
  }
  if (!(idle & idle_noise) && apu.noise_due < apu.time) {
    idle |= run_noise(apu, enable & 0x08) ? idle_noise : 0;
  }
  return idle;
}

void apu_deliver_chunks(Apu& apu) {
  // The clocks needed change only when a frame ends: they are kept from the
  // last delivery (or creation) instead of being worked out on every call.
  const i32 needed = apu.chunk_clocks;
  if (apu.time < static_cast<float>(needed)) {
    return;
  }
  // The frame ends at the whole part of the clock, but everything moves back
  // by only the clocks the chunk needed: the few surplus samples stay in the
  // buffer, and once they add up to a chunk, two chunks leave in one call.
  blip_buf_end_frame(apu.blip, static_cast<u32>(apu.time));
  apu.time -= static_cast<float>(needed);
  for (i32* due : {&apu.pulse1_due, &apu.pulse2_due, &apu.tri_due, &apu.noise_due, &apu.seq_irq_due,
                   &apu.seq_length_due, &apu.seq_env_due}) {
    *due -= needed;
  }
  while (blip_buf_avail(apu.blip) >= apu.chunk_samples) {
    const i32 count = blip_buf_read(apu.blip, apu.chunk, apu.chunk_samples, 0);
    if (apu.on_chunk != nullptr) {
      apu.on_chunk(apu.on_chunk_user, apu.chunk, count, apu.sample_rate);
    }
  }
  apu.chunk_clocks = blip_buf_clocks_needed(apu.blip, apu.chunk_samples);
}
