// The frame sequencer: a divider of the CPU clock that steps every 7445 CPU
// cycles (about 240 times a second) and, through three lanes, clocks the
// length counters and sweeps (half-frames), the envelopes and the triangle's
// linear counter (quarter-frames), and raises the frame interrupt.
//
// Four-step mode (bit 7 of $4017 clear) repeats every 29780 cycles, 60 times
// a second, and interrupts at its last step. Five-step mode leaves one step of
// five without quarter- or half-frame clocks and never interrupts; games use
// it to clock the channels themselves at a steadier rate.
#include <climits>

#include "audio/apu_internal.h"
#include "core/console.h"

namespace {

// Which steps of each mode act in each lane: [mode][step], mode 1 = five-step.
constexpr u8 irq_lane[2][5] = {{0, 0, 0, 1, 0}, {0, 0, 0, 0, 0}};
constexpr u8 length_lane[2][5] = {{0, 1, 0, 1, 0}, {0, 1, 0, 0, 1}};
constexpr u8 envelope_lane[2][5] = {{1, 1, 1, 1, 0}, {1, 1, 1, 0, 1}};

// With sound off, the clock is moved back by this much (four sequencer steps)
// whenever it has passed twice that.
constexpr int silent_rebase_cycles = 4 * sequencer_period;

int five_step(const Apu& apu) {
  return (apu.frame_reg & 0x80) ? 1 : 0;
}

// Advances a lane's step index in the current mode and returns that mode.
int advance_step(const Apu& apu, i32& step) {
  int mode = five_step(apu);
  step = (step + 1) % (mode ? 5 : 4);
  return mode;
}

// Divider decrement that cannot overflow, whatever a saved state held.
i32 count_down(i32 value) {
  return value > INT_MIN ? value - 1 : value;
}

// Half-frame clock of a pulse channel: its length counter, then its sweep.
// Bit 5 of the first register halts the length counter; here that empties it,
// and the silence rules stop consulting it while the bit is set.
void clock_pulse_length_and_sweep(u8* reg, i32& length, i32& sweep_divider, i32& sweep_silent,
                                  int negate_extra) {
  if (!(reg[0] & 0x20)) {
    if (length > 0) {
      length--;
    }
  } else {
    length = 0;
  }

  sweep_divider = count_down(sweep_divider);
  if (sweep_divider > 0) {
    sweep_silent = 0;
    return;
  }
  int shift = reg[1] & 7;
  if (!(reg[1] & 0x80) || shift == 0) {
    sweep_silent = 0;
    return;
  }
  sweep_divider = ((reg[1] >> 4) & 7) + 1;
  int period = (reg[3] & 7) * 256 + reg[2];
  int change = period >> shift;
  // A period below 8 would be an ultrasonic tone; the sweep unit mutes it.
  if (period <= 7) {
    sweep_silent = 1;
    return;
  }
  sweep_silent = 0;
  int target;
  if (reg[1] & 0x08) {
    // The two pulses' negated sweeps differ by one: pulse 2 lands one period
    // unit below pulse 1 (negate_extra is 0 for pulse 1, 1 for pulse 2).
    target = period - change - negate_extra;
  } else {
    target = period + change;
  }
  reg[2] = static_cast<u8>(target);
  reg[3] = static_cast<u8>((reg[3] & 0xF8) | ((target >> 8) & 7));
}

void clock_noise_length(Apu& apu) {
  if (!(apu.noise_reg[0] & 0x20)) {
    if (apu.noise_length > 0) {
      apu.noise_length--;
    }
  } else {
    apu.noise_length = 0;
  }
}

// Quarter-frame clock of an envelope. Bit 4 of the channel's first register
// selects a constant volume (bits 0-3); otherwise the decay level falls by one
// every (bits 0-3) + 1 clocks, and bit 5 makes it loop from 0 back to 15.
void clock_envelope(u8 reg0, i32& volume, i32& level, i32& divider, i32& silent) {
  if (reg0 & 0x10) {
    volume = reg0 & 15;
    silent = 0;
    return;
  }
  divider = count_down(divider);
  if (divider >= 0) {
    volume = level;
  } else {
    divider = (reg0 & 15) + 1;
    if (level > 0) {
      level--;
      volume = level;
    } else if (reg0 & 0x20) {
      level = 15;
      volume = 15;
    } else {
      level = 0;
      volume = 0;
    }
  }
  silent = volume == 0 ? 1 : 0;
}

// The triangle's linear counter: reloaded from $4008 after a write to $400B,
// otherwise counting down to 0. Bit 7 of $4008 keeps the reload request set,
// holding the counter at its reload value.
void clock_linear_counter(Apu& apu) {
  if (apu.tri_reload) {
    apu.tri_linear = apu.tri_reg[0] & 0x7F;
  } else if (apu.tri_linear > 0) {
    apu.tri_linear--;
  }
  apu.tri_reload = apu.tri_reg[0] & 0x80;
}

}  // namespace

void apu_run_sequencer(Apu& apu) {
  // Frame interrupt. The request is raised only while the CPU's I flag is
  // clear at the moment of the step; a step that finds I set is lost.
  while (apu.seq_irq_due < apu.time) {
    int mode = advance_step(apu, apu.seq_irq_step);
    if (irq_lane[mode][apu.seq_irq_step] && !(apu.frame_reg & 0x40) && apu.console != nullptr &&
        !(apu.console->p & flag_i)) {
      apu.console->irq_pending = 1;
    }
    apu.seq_irq_due += sequencer_period;
  }

  // Length counters and sweeps.
  while (apu.seq_length_due < apu.time) {
    apu.seq_length_due += sequencer_period;
    int mode = advance_step(apu, apu.seq_length_step);
    if (length_lane[mode][apu.seq_length_step]) {
      clock_pulse_length_and_sweep(apu.pulse1_reg, apu.pulse1_length, apu.pulse1_sweep_divider,
                                   apu.pulse1_sweep_silent, 0);
      clock_pulse_length_and_sweep(apu.pulse2_reg, apu.pulse2_length, apu.pulse2_sweep_divider,
                                   apu.pulse2_sweep_silent, 1);
      if (apu.tri_reload == 0 && apu.tri_length > 0) {
        apu.tri_length--;
      }
      clock_noise_length(apu);
    }
  }

  // Envelopes and the triangle's linear counter.
  while (apu.seq_env_due < apu.time) {
    apu.seq_env_due += sequencer_period;
    int mode = advance_step(apu, apu.seq_env_step);
    if (envelope_lane[mode][apu.seq_env_step]) {
      clock_envelope(apu.pulse1_reg[0], apu.pulse1_volume, apu.pulse1_env_level, apu.pulse1_env_divider,
                     apu.pulse1_env_silent);
      clock_envelope(apu.pulse2_reg[0], apu.pulse2_volume, apu.pulse2_env_level, apu.pulse2_env_divider,
                     apu.pulse2_env_silent);
      clock_linear_counter(apu);
      clock_envelope(apu.noise_reg[0], apu.noise_volume, apu.noise_env_level, apu.noise_env_divider,
                     apu.noise_env_silent);
    }
  }
}

float apu_rebase_silent(Apu& apu) {
  // Whole sequencer periods keep every lane's phase; the clock and the due
  // clocks are integers or near them and far below 2^24, so the subtraction
  // is exact in single precision.
  constexpr float threshold = 2.0f * silent_rebase_cycles;
  while (apu.time >= threshold) {
    apu.time -= static_cast<float>(silent_rebase_cycles);
    apu.seq_irq_due -= silent_rebase_cycles;
    apu.seq_length_due -= silent_rebase_cycles;
    apu.seq_env_due -= silent_rebase_cycles;
  }
  return threshold;
}
