// The pulse channels: a square wave of one of four duty cycles, its volume
// from the envelope, its length counter and the sweep unit that bends the
// period up or down every few half-frames.
#include <algorithm>
#include <cmath>

#include "audio/apu_internal.h"

namespace {

// A pulse is high while its duty step (0-7) is at or above the threshold for
// its duty setting (bits 6-7 of its first register). Duty 3 uses the same
// threshold as duty 0, giving seven high steps of eight.
constexpr int duty_threshold[4] = {1, 2, 4, 1};

// The period in the timer's units, from $4002/$4003 (or $4006/$4007).
int timer_period(const Pulse& pulse) {
  return (pulse.reg[3] & 7) * 256 + pulse.reg[2];
}

bool silent(const Pulse& pulse, bool enabled) {
  const u8 reg0 = pulse.reg[0];
  // The envelope has run down to volume 0 (only in envelope mode).
  if (!(reg0 & reg0_constant_volume) && pulse.env.silent)
    return true;
  // The length counter is spent (only while it is not halted).
  if (!(reg0 & reg0_length_halt) && pulse.length <= 0)
    return true;
  // The sweep found a period below 8: it mutes the channel, but only while the
  // high duty bit is set.
  if ((reg0 & 0x80) && pulse.sweep_silent)
    return true;
  return !enabled;
}

}  // namespace

bool pulse_run(Pulse& pulse, blip_buf* blip, float time, bool enabled, bool& sounding) {
  sounding = false;
  if (silent(pulse, enabled)) {
    // Fall to zero once, then keep the due clock just ahead of the APU clock.
    while (pulse.due < time) {
      apu_add_change(blip, pulse.due, -pulse.level);
      pulse.level = 0;
      pulse.due = static_cast<i32>(time + 1.0f);
    }
    return pulse.level == 0;
  }
  sounding = true;
  // One duty step lasts two timer periods: 2 x (P + 1) CPU cycles.
  const int period = 2 * timer_period(pulse) + 2;
  const int threshold = duty_threshold[pulse.reg[0] >> 6];
  const int high = pulse.env.volume * apu_volume_unit;
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
    apu_add_change(blip, due, amplitude - level);
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

// The half-frame clock: the length counter, then the sweep. The halt bit
// empties the counter here, and the silence rules stop consulting it while
// the bit is set.
void pulse_half_frame(Pulse& pulse, int negate_extra) {
  if (!(pulse.reg[0] & reg0_length_halt)) {
    if (pulse.length > 0)
      pulse.length--;
  } else {
    pulse.length = 0;
  }

  pulse.sweep_divider = apu_count_down(pulse.sweep_divider);
  if (pulse.sweep_divider > 0) {
    pulse.sweep_silent = 0;
    return;
  }
  const u8 sweep = pulse.reg[1];
  const int shift = sweep & 7;
  if (!(sweep & sweep_enabled) || shift == 0) {
    pulse.sweep_silent = 0;
    return;
  }
  pulse.sweep_divider = ((sweep >> 4) & 7) + 1;
  const int period = timer_period(pulse);
  const int change = period >> shift;
  // A period below 8 would be an ultrasonic tone; the sweep unit mutes it.
  if (period <= 7) {
    pulse.sweep_silent = 1;
    return;
  }
  pulse.sweep_silent = 0;
  // The two pulses' negated sweeps differ by one: pulse 2 lands one period
  // unit below pulse 1 (negate_extra is 0 for pulse 1, 1 for pulse 2).
  const int target = (sweep & sweep_negate) ? period - change - negate_extra : period + change;
  pulse.reg[2] = static_cast<u8>(target);
  pulse.reg[3] = static_cast<u8>((pulse.reg[3] & 0xF8) | ((target >> 8) & 7));
}
