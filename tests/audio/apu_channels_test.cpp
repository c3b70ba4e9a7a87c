#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "apu_harness.h"
#include "audio/blip_buf.h"

namespace {

// The high/low pattern of pulse 1 over one duty cycle, indexed by duty step:
// '1' where the channel sent its full level, '0' where it sent 0.
std::string duty_pattern(u8 duty) {
  ApuHarness h(true);
  h.write(0x4015, 0x01);
  h.write(0x4000, static_cast<u8>((duty << 6) | 0x3F));  // constant volume 15, length halted
  h.write(0x4002, 20);
  h.write(0x4003, 0x00);
  std::string pattern(8, '?');
  for (int i = 0; i < 3 * 8 * 42; i++) {
    h.run_cycles(1);
    pattern[h.apu.pulse[0].duty_step] =
        h.apu.pulse[0].level == 15000 ? '1' : (h.apu.pulse[0].level == 0 ? '0' : 'x');
  }
  return pattern;
}

TEST(ApuPulse, DutySettingsGiveTheirHighLowPatterns) {
  struct Case {
    u8 duty;
    const char* pattern;
  };
  const Case cases[] = {{0, "01111111"}, {1, "00111111"}, {2, "00001111"}, {3, "01111111"}};
  for (const Case& c : cases) {
    EXPECT_EQ(duty_pattern(c.duty), c.pattern) << int(c.duty);
  }
}

TEST(ApuPulse, DutyThreeIsTheSameWaveAsDutyZero) {
  EXPECT_EQ(duty_pattern(3), duty_pattern(0));
}

TEST(ApuPulse, DutyStepLastsTwoTimerPeriods) {
  for (int period : {0, 9, 100, 0x7FF}) {
    ApuHarness h(true);
    h.write(0x4015, 0x01);
    h.write(0x4000, 0x3F);
    h.write(0x4002, static_cast<u8>(period));
    h.write(0x4003, static_cast<u8>(period >> 8));
    h.run_cycles(10);
    const i32 due = h.apu.pulse[0].due;
    const i32 step = h.apu.pulse[0].duty_step;
    h.run_cycles(8 * (2 * period + 2));
    EXPECT_EQ(h.apu.pulse[0].due - due, 8 * (2 * period + 2)) << period;
    EXPECT_EQ(h.apu.pulse[0].duty_step, step) << period;
  }
}

TEST(ApuPulse, SilencedPulseFallsToZeroOnceAndWaitsJustAhead) {
  ApuHarness h(true);
  h.write(0x4015, 0x03);
  h.write(0x4004, 0x3F);
  h.write(0x4006, 50);
  h.write(0x4007, 0x00);
  int guard = 0;
  while (h.apu.pulse[1].level == 0 && guard++ < 1000) {
    h.run_cycles(1);
  }
  ASSERT_EQ(h.apu.pulse[1].level, 15000);
  // The fall comes at the step that was already due, then the due clock
  // stays within one cycle ahead of the APU's.
  const i32 due = h.apu.pulse[1].due;
  h.write(0x4015, 0x01);
  while (h.apu.time <= static_cast<float>(due)) {
    EXPECT_EQ(h.apu.pulse[1].level, 15000);
    h.run_cycles(1);
  }
  EXPECT_EQ(h.apu.pulse[1].level, 0);
  for (int i = 0; i < 500; i++) {
    h.run_cycles(1);
    ASSERT_GE(static_cast<float>(h.apu.pulse[1].due), h.apu.time);
    ASSERT_LE(static_cast<float>(h.apu.pulse[1].due), h.apu.time + 1.0f);
    ASSERT_EQ(h.apu.pulse[1].level, 0);
  }
}

TEST(ApuPulse, SilenceRules) {
  struct Case {
    const char* name;
    u8 reg0;
    u8 sweep;
    int period;
    u8 length;  // written to $4003: $18 loads 2, $08 loads 254
    u8 enable;
    bool sounding;
  };
  const Case cases[] = {
      {"constant volume, enabled", 0x3F, 0x00, 100, 0x18, 0x01, true},
      {"channel disabled", 0x3F, 0x00, 100, 0x18, 0x00, false},
      {"period below 8, sweep off", 0xBF, 0x00, 5, 0x18, 0x01, true},
      {"sweep-silent, high duty bit set", 0xBF, 0x81, 5, 0x18, 0x01, false},
      {"sweep-silent, high duty bit clear", 0x7F, 0x81, 5, 0x18, 0x01, true},
      {"constant volume 0 still steps", 0x30, 0x00, 100, 0x18, 0x01, true},
      {"length spent, not halted", 0x1F, 0x00, 100, 0x18, 0x01, false},
      {"length running", 0x1F, 0x00, 100, 0x08, 0x01, true},
      {"envelope run down", 0x00, 0x00, 100, 0x08, 0x01, false},
      {"envelope still decaying", 0x0F, 0x00, 100, 0x08, 0x01, true},
  };
  for (const Case& c : cases) {
    ApuHarness h(true);
    h.write(0x4015, c.enable);
    h.write(0x4000, c.reg0);
    h.write(0x4001, c.sweep);
    h.write(0x4002, static_cast<u8>(c.period));
    h.write(0x4003, c.length);
    h.run_cycles(10 * 29780);
    const i32 step = h.apu.pulse[0].duty_step;
    h.run_cycles(3 * (2 * c.period + 2) + 1);  // three duty steps
    const bool stepped = h.apu.pulse[0].duty_step != step;
    EXPECT_EQ(stepped, c.sounding) << c.name;
    if (!c.sounding) {
      EXPECT_EQ(h.apu.pulse[0].level, 0) << c.name;
      EXPECT_LE(static_cast<float>(h.apu.pulse[0].due), h.apu.time + 1.0f) << c.name;
    }
  }
}

TEST(ApuTriangle, StepsEveryTimerPlusOneCyclesThroughItsSequence) {
  ApuHarness h(true);
  h.write(0x4015, 0x04);
  h.write(0x4008, 0xFF);
  h.write(0x400A, 9);
  h.write(0x400B, 0x08);
  h.run_cycles(1);  // the linear counter loads at clock 0
  std::vector<int> change_cycles;
  int last_step = h.apu.triangle.step;
  for (int cycle = 1; cycle <= 64 * 10; cycle++) {
    h.run_cycles(1);
    if (h.apu.triangle.step != last_step) {
      EXPECT_EQ(h.apu.triangle.step, (last_step + 1) & 31);
      last_step = h.apu.triangle.step;
      change_cycles.push_back(cycle);
      // 0 up to 15, then 15 down to 0.
      const int value = last_step < 16 ? last_step : 31 - last_step;
      EXPECT_EQ(h.apu.triangle.level, value * 1024) << "step " << last_step;
    }
  }
  ASSERT_EQ(change_cycles.size(), 64u);
  for (size_t i = 1; i < change_cycles.size(); i++) {
    EXPECT_EQ(change_cycles[i] - change_cycles[i - 1], 10) << i;
  }
}

TEST(ApuTriangle, UltrasonicOrCountedOutTriangleHoldsItsLevel) {
  struct Case {
    const char* name;
    int timer;
    u8 linear;
    u8 enable;
    bool at_once;  // silent from the next call, not from the next quarter-frame
  };
  const Case cases[] = {
      {"timer 8", 8, 0xFF, 0x04, true},
      {"timer 0", 0, 0xFF, 0x04, true},
      {"disabled", 100, 0xFF, 0x00, true},
      {"linear counter reloaded with 0", 100, 0x80, 0x04, false},
  };
  for (const Case& c : cases) {
    ApuHarness h(true);
    h.write(0x4015, 0x04);
    h.write(0x4008, 0xFF);
    h.write(0x400A, 50);
    h.write(0x400B, 0x08);
    h.run_cycles(1 + 51 * 5);  // a few steps up from the start
    const int level_before = h.apu.triangle.level;
    ASSERT_GT(level_before, 0);
    h.write(0x4015, c.enable);
    h.write(0x4008, c.linear);
    h.write(0x400A, static_cast<u8>(c.timer));
    h.write(0x400B, static_cast<u8>(0x08 | (c.timer >> 8)));
    h.run_cycles(7445);
    const int level = h.apu.triangle.level;
    const int step = h.apu.triangle.step;
    if (c.at_once) {
      EXPECT_EQ(level, level_before) << c.name;
    }
    h.run_cycles(2000);
    EXPECT_EQ(h.apu.triangle.level, level) << c.name;
    EXPECT_EQ(h.apu.triangle.step, step) << c.name;
    EXPECT_EQ(h.apu.triangle.due, static_cast<i32>(h.apu.time)) << c.name;
  }
}

// Length of the noise shift register's sequence from its power-up value 1.
int noise_sequence_length(u8 mode) {
  ApuHarness h(true);
  h.write(0x4015, 0x08);
  h.write(0x400C, 0x3F);
  h.write(0x400E, static_cast<u8>(mode | 0x00));  // 4 cycles per shift
  h.write(0x400F, 0x00);
  h.run_cycles(1);
  std::vector<int> seen(1 << 15, -1);
  for (int shifts = 0; shifts < 40000; shifts++) {
    const int value = h.apu.noise.shift;
    if (seen[value] >= 0) {
      return shifts - seen[value];
    }
    seen[value] = shifts;
    // The level follows bit 0 of the register: full volume when it is 0.
    EXPECT_EQ(h.apu.noise.level, (value & 1) ? 0 : 15000) << shifts;
    h.run_cycles(4);
  }
  return -1;
}

TEST(ApuNoise, LongModeRunsThrough32767States) {
  EXPECT_EQ(noise_sequence_length(0x00), 32767);
}

TEST(ApuNoise, ShortModeRepeatsWithin93Steps) {
  const int length = noise_sequence_length(0x80);
  EXPECT_TRUE(length == 93 || length == 31) << length;
}

TEST(ApuNoise, ShiftsAtTheTablePeriod) {
  const int periods[16] = {4, 8, 16, 32, 64, 96, 128, 160, 202, 254, 380, 508, 762, 1016, 2034, 4068};
  for (int index = 0; index < 16; index++) {
    ApuHarness h(true);
    h.write(0x4015, 0x08);
    h.write(0x400C, 0x3F);
    h.write(0x400E, static_cast<u8>(index));
    h.write(0x400F, 0x00);
    h.run_cycles(5000);
    const i32 due = h.apu.noise.due;
    h.run_cycles(3 * periods[index]);
    EXPECT_EQ(h.apu.noise.due - due, 3 * periods[index]) << index;
  }
}

TEST(ApuNoise, SilentNoiseHoldsItsLevel) {
  ApuHarness h(true);
  h.write(0x4015, 0x08);
  h.write(0x400C, 0x3F);
  h.write(0x400E, 0x00);
  h.write(0x400F, 0x00);
  int guard = 0;
  while (h.apu.noise.level == 0 && guard++ < 1000) {
    h.run_cycles(1);
  }
  ASSERT_EQ(h.apu.noise.level, 15000);
  h.write(0x4015, 0x00);
  const int shift = h.apu.noise.shift;
  h.run_cycles(1000);
  EXPECT_EQ(h.apu.noise.level, 15000);
  EXPECT_EQ(h.apu.noise.shift, shift);
}

TEST(ApuChunks, FirstChunkComesAfter89489CyclesAndMovesTheClocksBack) {
  ApuHarness h(true);
  h.run_cycles(89488);
  EXPECT_EQ(h.chunk_calls, 0);
  const i32 irq_due = h.apu.sequencer.irq_due;
  h.run_cycles(1);
  EXPECT_EQ(h.chunk_calls, 1);
  EXPECT_EQ(h.samples.size(), 2205u);
  EXPECT_EQ(h.apu.time, 0.0f);
  EXPECT_EQ(h.apu.sequencer.irq_due, irq_due - 89489);
}

TEST(ApuChunks, FrameEndsAtTheWholeClockButMovesBackByTheChunkOnly) {
  ApuHarness h(true);
  h.run_cycles(89480);
  const i32 irq_due = h.apu.sequencer.irq_due;
  apu_run(h.apu, 20.5f);
  EXPECT_EQ(h.chunk_calls, 1);
  EXPECT_EQ(h.apu.time, 11.5f);
  EXPECT_EQ(h.apu.sequencer.irq_due, irq_due - 89489);
}

TEST(ApuChunks, SurplusSamplesAddUpToASecondChunkInOneCall) {
  // In long calls the frame ends well past the chunk boundary, while the
  // clocks move back by the chunk's clocks only; the surplus stays in the
  // buffer until it fills a chunk of its own.
  ApuHarness h(true);
  int double_calls = 0;
  for (int call = 0; call < 12000; call++) {
    const int before = h.chunk_calls;
    apu_run(h.apu, 2266.6667f);
    ASSERT_LE(h.chunk_calls - before, 2);
    if (h.chunk_calls - before == 2) {
      double_calls++;
    }
    ASSERT_LT(blip_buf_avail(h.apu.blip), 2205);
    ASSERT_LT(h.apu.time, 89489.0f + 2267.0f);
  }
  EXPECT_GT(double_calls, 0);
  EXPECT_EQ(h.samples.size(), static_cast<size_t>(h.chunk_calls) * 2205);
}

TEST(ApuChunks, SoundOffNeverDeliversButStillInterrupts) {
  ApuHarness h(false);
  h.write(0x4015, 0x0F);
  h.write(0x4000, 0x3F);
  h.write(0x4003, 0x00);
  h.run_cycles(200000);
  EXPECT_EQ(h.chunk_calls, 0);
  EXPECT_EQ(h.apu.pulse[0].level, 0);
  EXPECT_EQ(h.console.irq_pending, 1u);
}

TEST(ApuChunks, LongRunIsCutIntoPiecesTheBufferCanHold) {
  ApuHarness h(true);
  apu_run(h.apu, 1000000.0f);
  EXPECT_EQ(h.chunk_calls, 11);
  EXPECT_LT(blip_buf_avail(h.apu.blip), 2205);
}

// Frequency of the delivered sound, from its rising zero crossings.
double measured_frequency(const std::vector<i16>& samples, size_t from) {
  double mean = 0;
  for (size_t i = from; i < samples.size(); i++) {
    mean += samples[i];
  }
  mean /= static_cast<double>(samples.size() - from);
  long first = -1;
  long last = -1;
  int rises = 0;
  bool high = samples[from] > mean;
  for (size_t i = from + 1; i < samples.size(); i++) {
    const bool now = samples[i] > mean;
    if (now && !high) {
      if (first < 0) {
        first = static_cast<long>(i);
      } else {
        rises++;
      }
      last = static_cast<long>(i);
    }
    high = now;
  }
  if (rises == 0) {
    return 0;
  }
  return 44100.0 * rises / static_cast<double>(last - first);
}

TEST(ApuSound, ChannelsSoundAtTheirRegisterPitch) {
  struct Case {
    const char* name;
    u16 base;
    u8 enable;
    u8 reg0;
    int timer;
    double hertz;
  };
  const Case cases[] = {
      {"pulse 1, A4", 0x4000, 0x01, 0xBF, 253, 1789773.0 / (16 * 254)},
      {"pulse 2, E5", 0x4004, 0x02, 0xBF, 169, 1789773.0 / (16 * 170)},
      {"triangle, A3", 0x4008, 0x04, 0xFF, 253, 1789773.0 / (32 * 254)},
  };
  for (const Case& c : cases) {
    ApuHarness h(true);
    h.write(0x4015, c.enable);
    h.write(c.base, c.reg0);
    h.write(c.base + 2, static_cast<u8>(c.timer));
    h.write(c.base + 3, static_cast<u8>(c.timer >> 8));
    for (int i = 0; i < 20; i++) {
      apu_run(h.apu, 113.66667f);  // a scanline's worth at a time
    }
    h.run_cycles(1789773 / 2);
    ASSERT_GE(h.samples.size(), 5 * 2205u);
    EXPECT_NEAR(measured_frequency(h.samples, 2205), c.hertz, c.hertz * 0.005) << c.name;
  }
}

TEST(ApuSound, LevelsSumInTheBuffer) {
  ApuHarness h(true);
  h.run_cycles(2 * 89489);
  for (size_t i = 0; i < h.samples.size(); i++) {
    ASSERT_EQ(h.samples[i], 0) << "silence at power-up, sample " << i;
  }
  // Two constant-volume pulses in the same phase step by twice one's height.
  h.write(0x4015, 0x03);
  h.write(0x4000, 0x3F);
  h.write(0x4004, 0x3F);
  h.write(0x4003, 0x07);
  h.write(0x4007, 0x07);
  h.run_cycles(3 * 89489);
  i16 peak = 0;
  for (i16 s : h.samples) {
    peak = std::max(peak, s);
  }
  EXPECT_GT(peak, 25000);
  EXPECT_LE(peak, 30000);
}

}  // namespace
