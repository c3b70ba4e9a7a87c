// The frame sequencer: a divider of the CPU clock that steps every 7445 CPU
// cycles (about 240 times a second) and, through three lanes, clocks the
// length counters and sweeps (half-frames), the envelopes and the triangle's
// linear counter (quarter-frames), and raises the frame interrupt.
//
// Four-step mode (bit 7 of $4017 clear) repeats every 29780 cycles, 60 times
// a second, and interrupts at its last step. Five-step mode repeats every
// 37225 cycles, leaves one step of the five without any clock and never
// interrupts.
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
  return (apu.frame_reg & frame_five_step) ? 1 : 0;
}

// Advances a lane's step index in the current mode and returns that mode.
int advance_step(const Apu& apu, i32& step) {
  int mode = five_step(apu);
  step = (step + 1) % (mode ? 5 : 4);
  return mode;
}

}  // namespace

// An envelope's quarter-frame clock. A constant volume simply is the volume;
// otherwise the decay level falls by one every (bits 0-3) + 1 clocks, and
// the halt bit makes it loop from 0 back to 15.
void envelope_quarter_frame(Envelope& env, u8 reg0) {
  if (reg0 & reg0_constant_volume) {
    env.volume = reg0 & 15;
    env.silent = 0;
    return;
  }
  env.divider = apu_count_down(env.divider);
  if (env.divider >= 0) {
    env.volume = env.level;
  } else {
    env.divider = (reg0 & 15) + 1;
    if (env.level > 0) {
      env.level--;
      env.volume = env.level;
    } else if (reg0 & reg0_length_halt) {
      env.level = 15;
      env.volume = 15;
    } else {
      env.level = 0;
      env.volume = 0;
    }
  }
  env.silent = env.volume == 0 ? 1 : 0;
}

bool apu_run_sequencer(Apu& apu) {
  // Frame interrupt. The request is raised only while the CPU's I flag is
  // clear at the moment of the step; a step that finds I set is lost.
  while (apu.sequencer.irq_due < apu.time) {
    int mode = advance_step(apu, apu.sequencer.irq_step);
    if (irq_lane[mode][apu.sequencer.irq_step] && !(apu.frame_reg & frame_irq_inhibit) &&
        apu.console != nullptr && !(apu.console->p & flag_i)) {
      apu.console->irq_pending = 1;
    }
    apu.sequencer.irq_due += sequencer_period;
  }

  // Length counters and sweeps.
  bool stepped = false;
  while (apu.sequencer.length_due < apu.time) {
    stepped = true;
    apu.sequencer.length_due += sequencer_period;
    int mode = advance_step(apu, apu.sequencer.length_step);
    if (length_lane[mode][apu.sequencer.length_step]) {
      pulse_half_frame(apu.pulse[0], 0);
      pulse_half_frame(apu.pulse[1], 1);
      triangle_half_frame(apu.triangle);
      noise_half_frame(apu.noise);
    }
  }

  // Envelopes and the triangle's linear counter.
  while (apu.sequencer.env_due < apu.time) {
    stepped = true;
    apu.sequencer.env_due += sequencer_period;
    int mode = advance_step(apu, apu.sequencer.env_step);
    if (envelope_lane[mode][apu.sequencer.env_step]) {
      envelope_quarter_frame(apu.pulse[0].env, apu.pulse[0].reg[0]);
      envelope_quarter_frame(apu.pulse[1].env, apu.pulse[1].reg[0]);
      triangle_quarter_frame(apu.triangle);
      envelope_quarter_frame(apu.noise.env, apu.noise.reg[0]);
    }
  }
  return stepped;
}

float apu_rebase_silent(Apu& apu) {
  // Whole sequencer periods keep every lane's phase; the clock and the due
  // clocks are integers or near them and far below 2^24, so the subtraction
  // is exact in single precision.
  constexpr float threshold = 2.0f * silent_rebase_cycles;
  while (apu.time >= threshold) {
    apu.time -= static_cast<float>(silent_rebase_cycles);
    apu.sequencer.irq_due -= silent_rebase_cycles;
    apu.sequencer.length_due -= silent_rebase_cycles;
    apu.sequencer.env_due -= silent_rebase_cycles;
  }
  return threshold;
}
