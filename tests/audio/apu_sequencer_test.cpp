#include <gtest/gtest.h>

#include <vector>

#include "apu_harness.h"

namespace {

constexpr int frame_cycles = 29780;

// Runs cycles one at a time and returns the cycle numbers (counted from the
// start, 1-based: the call that brought the clock to n) at which the frame
// interrupt was raised, taking each request as the CPU would.
std::vector<long> irq_cycles(ApuHarness& h, long cycles) {
  std::vector<long> raised;
  for (long n = 1; n <= cycles; n++) {
    apu_run(h.apu, 1.0f);
    if (h.console.irq_pending) {
      raised.push_back(n);
      h.console.irq_pending = 0;
    }
  }
  return raised;
}

TEST(ApuSequencer, FirstFrameInterruptComesAtClock14890) {
  ApuHarness h(false);
  h.run_cycles(14890);
  EXPECT_EQ(h.console.irq_pending, 0u);
  EXPECT_EQ(h.apu.sequencer.irq_step, 2);
  h.run_cycles(1);
  EXPECT_EQ(h.console.irq_pending, 1u);
  EXPECT_EQ(h.apu.sequencer.irq_step, 3);
}

TEST(ApuSequencer, FrameInterruptRepeatsEvery29780Cycles) {
  ApuHarness h(false);
  std::vector<long> raised = irq_cycles(h, 14891 + 10 * frame_cycles);
  ASSERT_EQ(raised.size(), 11u);
  for (size_t i = 0; i < raised.size(); i++) {
    EXPECT_EQ(raised[i], 14891 + static_cast<long>(i) * frame_cycles);
  }
}

TEST(ApuSequencer, InterruptIsDroppedWhileTheIFlagIsSet) {
  ApuHarness h(false);
  h.console.p = flag_i;
  h.run_cycles(14891);
  EXPECT_EQ(h.console.irq_pending, 0u);
  // Clearing I later does not bring the lost request back.
  h.console.p = 0;
  h.run_cycles(frame_cycles - 1);
  EXPECT_EQ(h.console.irq_pending, 0u);
  h.run_cycles(1);
  EXPECT_EQ(h.console.irq_pending, 1u);
}

TEST(ApuSequencer, NoInterruptInFiveStepModeOrWhenInhibited) {
  for (u8 frame : {u8{0x80}, u8{0x40}, u8{0xC0}}) {
    ApuHarness h(false);
    h.write(0x4017, frame);
    EXPECT_TRUE(irq_cycles(h, 10 * frame_cycles).empty()) << int(frame);
  }
}

TEST(ApuSequencer, LengthCountersCountHalfFramesInBothModes) {
  struct Case {
    u8 frame_reg;
    int cycles;
    int clocks;
  };
  // Four-step: steps 1 and 3 of every 4 (the first at clock 0). Five-step:
  // steps 1 and 4 of every 5.
  const Case cases[] = {
      {0x00, 1, 1}, {0x00, 14891, 2}, {0x00, 29781, 3}, {0x00, 4 * frame_cycles + 1, 9},
      {0x80, 1, 1}, {0x80, 22336, 2}, {0x80, 37226, 3}, {0x80, 5 * 7445 * 4 + 1, 9},
  };
  for (const Case& c : cases) {
    ApuHarness h(false);
    h.write(0x4017, c.frame_reg);
    h.write(0x4015, 0x0F);
    h.write(0x4003, 0x08);  // 254
    h.write(0x4007, 0x08);
    h.write(0x400B, 0x08);
    h.write(0x400F, 0x08);
    h.write(0x4008, 0x00);
    h.run_cycles(c.cycles);
    EXPECT_EQ(h.apu.pulse[0].length, 254 - c.clocks) << int(c.frame_reg) << " " << c.cycles;
    EXPECT_EQ(h.apu.pulse[1].length, 254 - c.clocks);
    EXPECT_EQ(h.apu.noise.length, 254 - c.clocks);
    // The triangle's count waits while a linear reload is requested: the
    // half-frame clock at clock 0 comes before the quarter-frame clock of the
    // same step, which does the reload and clears the request.
    EXPECT_EQ(h.apu.triangle.length, 254 - c.clocks + 1);
  }
}

TEST(ApuSequencer, LengthCounterStopsAtZero) {
  ApuHarness h(false);
  h.write(0x4015, 0x01);
  h.write(0x4003, 0x18);  // 2
  h.run_cycles(3 * frame_cycles);
  EXPECT_EQ(h.apu.pulse[0].length, 0);
  EXPECT_EQ(apu_read_status(h.apu, 0x4015), 0);
}

TEST(ApuSequencer, HaltBitEmptiesTheLengthCounterAtTheNextLengthClock) {
  for (u16 base : {u16{0x4000}, u16{0x4004}, u16{0x400C}}) {
    ApuHarness h(false);
    h.write(0x4015, 0x0F);
    h.write(base, 0x30);
    h.write(base + 3, 0x08);
    EXPECT_NE(apu_read_status(h.apu, 0x4015), 0);
    h.run_cycles(1);  // the length clock at clock 0
    EXPECT_EQ(apu_read_status(h.apu, 0x4015), 0) << base;
  }
}

TEST(ApuSequencer, TriangleLengthHoldsWhileTheLinearReloadIsRequested) {
  ApuHarness h(false);
  h.write(0x4015, 0x04);
  h.write(0x4008, 0x80);  // control: the reload request never clears
  h.write(0x400B, 0x08);
  h.run_cycles(4 * frame_cycles);
  EXPECT_EQ(h.apu.triangle.length, 254);
  EXPECT_EQ(h.apu.triangle.linear, 0);
  h.write(0x4008, 0x7F);  // reloads once more, then counts down
  h.run_cycles(frame_cycles);
  // Two half-frame clocks; the first still found the request set.
  EXPECT_EQ(h.apu.triangle.length, 253);
  EXPECT_EQ(h.apu.triangle.reload, 0);
}

TEST(ApuSequencer, LinearCounterReloadsThenCountsDownQuarterFrames) {
  ApuHarness h(false);
  h.write(0x4008, 0x05);
  h.write(0x400B, 0x08);
  h.run_cycles(1);  // quarter-frame at clock 0: reload
  EXPECT_EQ(h.apu.triangle.linear, 5);
  EXPECT_EQ(h.apu.triangle.reload, 0);
  for (int expected : {4, 3, 2, 1, 0, 0}) {
    h.run_cycles(7445);
    EXPECT_EQ(h.apu.triangle.linear, expected);
  }
}

// Quarter-frame clocks until the envelope of pulse 1 reaches volume 0, after
// a restart through $4003.
int clocks_to_silence(u8 reg0) {
  ApuHarness h(false);
  h.write(0x4000, reg0);
  h.write(0x4003, 0x08);
  for (int clocks = 1; clocks <= 200; clocks++) {
    h.run_cycles(clocks == 1 ? 1 : 7445);
    if (h.apu.pulse[0].env.volume == 0) {
      EXPECT_EQ(h.apu.pulse[0].env.silent, 1);
      return clocks;
    }
    EXPECT_EQ(h.apu.pulse[0].env.silent, 0);
  }
  return -1;
}

TEST(ApuSequencer, EnvelopeDecaysOneLevelPerDividerPeriod) {
  // The divider runs from its reload value down past zero: a period of n
  // gives n + 2 clocks per level after the first, which comes after n + 1.
  struct Case {
    u8 reg0;
    int clocks;
  };
  const Case cases[] = {{0x00, 1 + 14 * 2}, {0x01, 2 + 14 * 3}, {0x03, 4 + 14 * 5}};
  for (const Case& c : cases) {
    EXPECT_EQ(clocks_to_silence(c.reg0), c.clocks) << int(c.reg0);
  }
}

TEST(ApuSequencer, LoopingEnvelopeRestartsAtFifteen) {
  ApuHarness h(false);
  h.write(0x4000, 0x20);
  h.write(0x4003, 0x08);
  int wraps = 0;
  int last = 15;
  for (int i = 0; i < 100; i++) {
    h.run_cycles(i == 0 ? 1 : 7445);
    if (h.apu.pulse[0].env.volume == 15 && last == 0) {
      wraps++;
    }
    last = h.apu.pulse[0].env.volume;
    EXPECT_LE(h.apu.pulse[0].env.volume, 15);
  }
  EXPECT_GE(wraps, 2);
}

TEST(ApuSequencer, ConstantVolumeClearsTheSilentFlag) {
  ApuHarness h(false);
  h.write(0x400C, 0x00);
  h.write(0x400F, 0x08);
  h.run_cycles(40 * 7445);
  EXPECT_EQ(h.apu.noise.env.silent, 1);
  h.write(0x400C, 0x17);
  h.run_cycles(7445);
  EXPECT_EQ(h.apu.noise.env.silent, 0);
  EXPECT_EQ(h.apu.noise.env.volume, 7);
}

// Sets pulse n's period and sweep, then gives it one half-frame clock.
Apu sweep_once(int pulse, int period, u8 sweep) {
  ApuHarness h(false);
  const u16 base = pulse == 1 ? 0x4000 : 0x4004;
  h.write(base + 1, sweep);
  h.write(base + 2, static_cast<u8>(period));
  h.write(base + 3, static_cast<u8>(0x08 | (period >> 8)));
  h.run_cycles(1);
  return h.apu;
}

int pulse_period(const u8* reg) {
  return (reg[3] & 7) * 256 + reg[2];
}

TEST(ApuSequencer, SweepMovesThePeriodByItsShift) {
  struct Case {
    int pulse;
    int period;
    u8 sweep;
    int result;
  };
  const Case cases[] = {
      {1, 100, 0x89, 50},                                // negate, shift 1
      {2, 100, 0x89, 49},                                // pulse 2 lands one lower
      {1, 100, 0x81, 150},                               // add, shift 1
      {2, 100, 0x81, 150},                               //
      {1, 0x400, 0x82, 0x500}, {2, 0x700, 0x81, 0x280},  // past 11 bits: the high bits are lost
      {1, 100, 0x80, 100},                               // shift 0: no change
      {1, 100, 0x09, 100},                               // not enabled
      {1, 5, 0x81, 5},                                   // below 8: no change
  };
  for (const Case& c : cases) {
    Apu apu = sweep_once(c.pulse, c.period, c.sweep);
    const u8* reg = c.pulse == 1 ? apu.pulse[0].reg : apu.pulse[1].reg;
    EXPECT_EQ(pulse_period(reg), c.result) << c.pulse << " " << c.period << " " << int(c.sweep);
    EXPECT_EQ(reg[3] & 0xF8, 0x08) << "length bits kept";
  }
}

TEST(ApuSequencer, SweepFlagsPeriodsBelowEight) {
  EXPECT_EQ(sweep_once(1, 7, 0x81).pulse[0].sweep_silent, 1);
  EXPECT_EQ(sweep_once(2, 3, 0x81).pulse[1].sweep_silent, 1);
  EXPECT_EQ(sweep_once(1, 8, 0x81).pulse[0].sweep_silent, 0);
  EXPECT_EQ(sweep_once(1, 7, 0x01).pulse[0].sweep_silent, 0);  // sweep off
}

TEST(ApuSequencer, SweepDividerSetsTheRate) {
  // Divider period field 2 reloads to 3: the period changes every third
  // half-frame clock after the first.
  ApuHarness h(false);
  h.write(0x4001, 0xA1);  // enabled, divider 2, add, shift 1
  h.write(0x4002, 64);
  h.write(0x4003, 0x08);
  std::vector<int> periods;
  for (int i = 0; i < 7; i++) {
    h.run_cycles(i == 0 ? 1 : 2 * 7445);
    periods.push_back(pulse_period(h.apu.pulse[0].reg));
  }
  EXPECT_EQ(periods, (std::vector<int>{96, 96, 96, 144, 144, 144, 216}));
}

// The frame interrupt's period must not drift, however long the console runs:
// the clock is a float, and past 2^24 cycles it could no longer count single
// cycles. Sound on rebases every chunk; sound off rebases by whole sequencer
// periods. 2000 frames (59.6 million cycles) is well past 2^24.
TEST(ApuSequencer, InterruptPeriodHoldsForThousandsOfFramesInOneCycleSteps) {
  for (bool sound : {false, true}) {
    ApuHarness h(sound);
    std::vector<long> raised = irq_cycles(h, 2000L * frame_cycles);
    ASSERT_EQ(raised.size(), 2000u) << sound;
    for (size_t i = 1; i < raised.size(); i++) {
      ASSERT_EQ(raised[i] - raised[i - 1], frame_cycles) << "sound " << sound << " interrupt " << i;
    }
    EXPECT_LT(h.apu.time, 3.0f * frame_cycles);
  }
}

TEST(ApuSequencer, InterruptPeriodHoldsForThousandsOfFramesInFractionalSteps) {
  // The CPU owes the APU a third of a cycle per dot and hands it over once a
  // whole cycle has built up, so each call carries a little more than 1.0 and
  // sometimes a larger, fractional amount.
  const float dots_pattern[] = {1, 1, 1, 1, 8, 1, 13, 1, 1, 18, 21, 1, 1};
  for (bool sound : {false, true}) {
    ApuHarness h(sound);
    float owed = 0;
    long dots = 0;
    std::vector<long> raised_dots;
    size_t next = 0;
    while (raised_dots.size() < 2000) {
      const float step = dots_pattern[next];
      next = (next + 1) % std::size(dots_pattern);
      dots += static_cast<long>(step);
      owed = owed + step / 3;
      if (owed >= 1.0f) {
        apu_run(h.apu, owed);
        owed = 0;
        if (h.console.irq_pending) {
          raised_dots.push_back(dots);
          h.console.irq_pending = 0;
        }
      }
      ASSERT_LT(dots, 2100L * 3 * frame_cycles) << "interrupts stopped, sound " << sound;
    }
    for (size_t i = 1; i < raised_dots.size(); i++) {
      // A request is seen at the end of the call that passes its step, and a
      // call may carry up to 7 cycles (21 dots): each end can be that late.
      const long cycles = (raised_dots[i] - raised_dots[i - 1] + 1) / 3;
      ASSERT_GE(cycles, frame_cycles - 14) << "sound " << sound << " interrupt " << i;
      ASSERT_LE(cycles, frame_cycles + 14) << "sound " << sound << " interrupt " << i;
    }
    // Fractional amounts are rounded as they are added to the float clock, so
    // the period is not exactly 29780 on average; but it must not change the
    // longer the console runs.
    auto mean_interval = [&raised_dots](size_t first, size_t count) {
      return double(raised_dots[first + count] - raised_dots[first]) / 3 / count;
    };
    EXPECT_NEAR(mean_interval(0, 1999), frame_cycles, 8) << sound;
    EXPECT_NEAR(mean_interval(1899, 100), mean_interval(0, 100), 0.5) << sound;
  }
}

}  // namespace
