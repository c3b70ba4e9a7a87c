// The APU's frame sequencer, length counters, envelopes, sweeps and linear
// counter, as tables: the sound cartridge hears their effect, these tests
// see the counts.
#include <vector>

#include "audio/apu.h"
#include "core/console.h"

#include "support/fixtures.h"

namespace {

constexpr int quarter = 7445;  // CPU cycles between sequencer steps
constexpr int frame_cycles = 4 * quarter;

// An APU with sound off, wired to a console whose I flag is clear.
struct Harness {
  Console console;
  Apu apu;
  explicit Harness(int sound = 0) {
    console.p = 0;
    apu.console = &console;
    apu_create(apu, sound, 44100, 2205, nullptr, nullptr);
  }
  ~Harness() { apu_free(apu); }
  void write(u16 address, u8 value) { apu_write(apu, address, value); }
  // One CPU cycle per call, as the CPU hands them over during a line.
  void run(long cycles) {
    for (long i = 0; i < cycles; i++)
      apu_run(apu, 1.0f);
    apu_sync(apu);
  }
  // The cycles (1-based) at which the frame interrupt was raised.
  std::vector<long> interrupts(long cycles) {
    std::vector<long> raised;
    for (long n = 1; n <= cycles; n++) {
      apu_run(apu, 1.0f);
      if (console.irq_pending)
        raised.push_back(n);
      console.irq_pending = 0;
    }
    return raised;
  }
};

TEST(ApuSequencer, FrameInterrupt) {
  Harness h;
  EXPECT_EQ(h.interrupts(14891 + 2 * frame_cycles),
            (std::vector<long>{14891, 14891 + frame_cycles, 14891 + 2 * frame_cycles}));
  for (u8 frame : {u8{frame_five_step}, u8{frame_irq_inhibit}}) {
    Harness off;
    off.write(0x4017, frame);
    EXPECT_TRUE(off.interrupts(3 * frame_cycles).empty()) << int{frame};
  }
  // A step that finds I set loses its request; clearing I does not bring it back.
  Harness masked;
  masked.console.p = flag_i;
  masked.run(14891);
  masked.console.p = 0;
  EXPECT_EQ(masked.interrupts(frame_cycles), (std::vector<long>{frame_cycles}));
}

// Half-frames count the length counters (steps 1 and 3 of 4, from clock 0;
// steps 1 and 4 of 5). The triangle's waits while a linear reload is asked.
TEST(ApuSequencer, LengthCountersCountHalfFrames) {
  struct Case {
    u8 frame_reg;
    int cycles;
    int clocks;
  };
  const Case cases[] = {{0x00, 1, 1},     {0x00, 14891, 2}, {0x00, 4 * frame_cycles + 1, 9},
                        {0x80, 22336, 2}, {0x80, 37226, 3}, {0x80, 20 * quarter + 1, 9}};
  for (const Case& c : cases) {
    Harness h;
    h.write(0x4017, c.frame_reg);
    h.write(0x4015, 0x0F);
    for (u16 last : {0x4003, 0x4007, 0x400B, 0x400F})
      h.write(last, 0x08);  // length 254
    h.run(c.cycles);
    const std::vector<int> lengths = {h.apu.pulse[0].length, h.apu.pulse[1].length, h.apu.noise.length,
                                      h.apu.triangle.length};
    EXPECT_EQ(lengths, (std::vector<int>{254 - c.clocks, 254 - c.clocks, 254 - c.clocks, 255 - c.clocks}))
        << int{c.frame_reg} << " " << c.cycles;
  }
  // The length table; the halt bit empties the counter at the next clock;
  // $4015 reports the running counters and clears those it disables.
  Harness h;
  h.write(0x4015, 0x0F);
  const int loads[][2] = {{0x00, 10}, {0x08, 254}, {0x18, 2}, {0xF8, 30}, {0xC0, 192}};
  for (const auto& load : loads) {
    h.write(0x4003, static_cast<u8>(load[0]));
    EXPECT_EQ(h.apu.pulse[0].length, load[1]);
  }
  h.write(0x400C, 0x30);
  h.write(0x400F, 0x08);
  h.write(0x4007, 0x08);
  EXPECT_EQ(apu_read_status(h.apu, 0x4015), 0x0B);
  h.run(1);
  EXPECT_EQ(apu_read_status(h.apu, 0x4015), 0x03);
  h.write(0x4015, 0x01);
  EXPECT_EQ(apu_read_status(h.apu, 0x4015), 0x01);
}

// Quarter-frame clocks until pulse 1's envelope reaches volume 0: a divider
// period of n gives n + 2 clocks per level after the first.
TEST(ApuSequencer, Envelopes) {
  for (const auto& [reg0, clocks] : {std::pair<u8, int>{0x00, 29}, {0x01, 44}, {0x03, 74}}) {
    Harness h;
    h.write(0x4000, reg0);
    h.write(0x4003, 0x08);
    int n = 0;
    for (h.run(1), n = 1; h.apu.pulse[0].env.volume != 0 && n < 200; ++n)
      h.run(quarter);
    EXPECT_EQ(n, clocks) << int{reg0};
    EXPECT_EQ(h.apu.pulse[0].env.silent, 1);
  }
  Harness looping;  // the halt bit loops the envelope from 0 back to 15
  looping.write(0x4000, 0x20);
  looping.write(0x4003, 0x08);
  looping.run(1 + 30 * quarter);
  EXPECT_EQ(looping.apu.pulse[0].env.volume, 15);
  Harness constant;
  constant.write(0x400C, 0x17);
  constant.run(1);
  EXPECT_EQ(constant.apu.noise.env.volume, 7);
}

int period_after_sweep(int pulse, int period, u8 sweep) {
  Harness h;
  const u16 base = pulse == 1 ? 0x4000 : 0x4004;
  h.write(base + 1, sweep);
  h.write(base + 2, static_cast<u8>(period));
  h.write(base + 3, static_cast<u8>(0x08 | (period >> 8)));
  h.run(1);
  const Pulse& p = h.apu.pulse[pulse - 1];
  return p.sweep_silent ? -1 : (p.reg[3] & 7) * 256 + p.reg[2];
}

TEST(ApuSequencer, Sweeps) {
  struct Case {
    int pulse, period;
    u8 sweep;
    int result;  // -1: muted
  };
  const Case cases[] = {
      {1, 100, 0x89, 50},  {2, 100, 0x89, 49},       // negated: pulse 2 lands one lower
      {1, 100, 0x81, 150}, {2, 0x700, 0x81, 0x280},  // past 11 bits the high bits go
      {1, 100, 0x80, 100}, {1, 100, 0x09, 100},      // shift 0, or not enabled
      {1, 7, 0x81, -1},    {2, 3, 0x81, -1},        {1, 8, 0x81, 12},
  };
  for (const Case& c : cases)
    EXPECT_EQ(period_after_sweep(c.pulse, c.period, c.sweep), c.result) << c.pulse << " " << c.period;
  // Divider field 2 reloads to 3: the period moves every third half-frame.
  Harness h;
  h.write(0x4001, 0xA1);
  h.write(0x4002, 64);
  h.write(0x4003, 0x08);
  std::vector<int> periods;
  for (int i = 0; i < 7; i++) {
    h.run(i == 0 ? 1 : 2 * quarter);
    periods.push_back(h.apu.pulse[0].reg[2] + 256 * (h.apu.pulse[0].reg[3] & 7));
  }
  EXPECT_EQ(periods, (std::vector<int>{96, 96, 96, 144, 144, 144, 216}));
}

TEST(ApuSequencer, LinearCounter) {
  Harness h;
  h.write(0x4008, 0x05);
  h.write(0x400B, 0x08);
  std::vector<int> values;
  for (int i = 0; i < 7; i++) {
    h.run(i == 0 ? 1 : quarter);
    values.push_back(h.apu.triangle.linear);
  }
  EXPECT_EQ(values, (std::vector<int>{5, 4, 3, 2, 1, 0, 0}));
  // The control bit holds the reload, and the length counter with it.
  h.write(0x4008, 0x80 | 0x05);
  h.write(0x400B, 0x08);
  h.run(4 * frame_cycles);
  EXPECT_EQ(h.apu.triangle.linear, 5);
  EXPECT_EQ(h.apu.triangle.length, 254);
  // Timers of 8 or less would give an ultrasonic tone: the triangle holds its step.
  for (const auto& [timer, moves] : {std::pair<u8, bool>{8, false}, {9, true}}) {
    Harness sounding(1);
    sounding.write(0x4015, 0x04);
    sounding.write(0x4008, 0x7F);
    sounding.write(0x400A, timer);
    sounding.write(0x400B, 0x08);
    sounding.run(200);
    EXPECT_EQ(sounding.apu.triangle.step != Triangle{}.step, moves) << int{timer};
  }
}

// The clock is a float; the frame interrupt's period must hold far past 2^24
// cycles, with sound on and off.
TEST(ApuSequencer, FrameInterruptPeriodHoldsForThousandsOfFrames) {
  for (int sound : {0, 1}) {
    Harness h(sound);
    long last = 0;
    for (long cycle = 20; cycle <= 2000L * frame_cycles; cycle += 20) {
      apu_run(h.apu, 20.0f);
      if (h.console.irq_pending) {
        ASSERT_TRUE(last == 0 || cycle - last == frame_cycles) << "sound " << sound << " at " << cycle;
        last = cycle, h.console.irq_pending = 0;
      }
    }
  }
}

}  // namespace
