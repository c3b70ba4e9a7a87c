// The noise channel: a 15-bit shift register with feedback, shifted at one
// of sixteen rates, its volume from the envelope.
#include "audio/apu_internal.h"

namespace {

// CPU cycles per shift of the noise register, indexed by bits 0-3 of $400E.
constexpr int noise_period[16] = {4, 8, 16, 32, 64, 96, 128, 160, 202, 254, 380, 508, 762, 1016, 2034, 4068};

}  // namespace

bool noise_run(Noise& noise, blip_buf* blip, float time, bool enabled) {
  const u8 reg0 = noise.reg[0];
  if (!enabled || (!(reg0 & reg0_constant_volume) && noise.env.silent) ||
      (!(reg0 & reg0_length_halt) && noise.length <= 0)) {
    noise.due = static_cast<i32>(time);
    return true;
  }
  const int period = noise_period[noise.reg[1] & 15];
  // The short mode takes the feedback from bit 6 instead of bit 1: a short
  // repeating sequence, a metallic buzz rather than a hiss.
  const int tap = (noise.reg[1] & noise_short_mode) ? 6 : 1;
  const int high = noise.env.volume * apu_volume_unit;
  i32 due = noise.due;
  i32 shift = noise.shift;
  i32 level = noise.level;
  while (due < time) {
    const int feedback = (shift ^ (shift >> tap)) & 1;
    shift = ((shift >> 1) & 0x3FFF) | (feedback << 14);
    const int amplitude = (shift & 1) == 0 ? high : 0;
    apu_add_change(blip, due, amplitude - level);
    level = amplitude;
    due += period;
  }
  noise.due = due;
  noise.shift = shift;
  noise.level = level;
  return false;
}

// The half-frame clock of the length counter; the halt bit empties it.
void noise_half_frame(Noise& noise) {
  if (!(noise.reg[0] & reg0_length_halt)) {
    if (noise.length > 0)
      noise.length--;
  } else {
    noise.length = 0;
  }
}
