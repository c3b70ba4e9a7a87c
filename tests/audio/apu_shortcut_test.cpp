// The run loop skips calls in which nothing is due, puts off the sounding
// channels' work until something is due, and between register writes and
// sequencer steps looks only at the channels that are due. These tests drive
// two APUs through the same writes and calls, one of them forced through the
// whole work every time, and require identical results.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "apu_harness.h"
#include "core/state_io.h"

namespace {

void expect_same_state(const Apu& a, const Apu& b, long call) {
  ASSERT_EQ(a.time, b.time) << "call " << call;
  const i32 fields_a[] = {a.pulse[0].due,       a.pulse[1].due,      a.triangle.due,      a.noise.due,
                          a.pulse[0].level,     a.pulse[1].level,    a.triangle.level,    a.noise.level,
                          a.noise.shift,        a.triangle.step,     a.pulse[0].length,   a.triangle.linear,
                          a.pulse[0].duty_step, a.sequencer.irq_due, a.sequencer.env_step};
  const i32 fields_b[] = {b.pulse[0].due,       b.pulse[1].due,      b.triangle.due,      b.noise.due,
                          b.pulse[0].level,     b.pulse[1].level,    b.triangle.level,    b.noise.level,
                          b.noise.shift,        b.triangle.step,     b.pulse[0].length,   b.triangle.linear,
                          b.pulse[0].duty_step, b.sequencer.irq_due, b.sequencer.env_step};
  for (size_t i = 0; i < std::size(fields_a); i++) {
    ASSERT_EQ(fields_a[i], fields_b[i]) << "field " << i << " at call " << call;
  }
}

// Random register writes between calls of the sizes the CPU hands over.
void run_differential(bool sound, unsigned stream, long calls) {
  ApuHarness shortcut(sound);
  ApuHarness full(sound);
  std::mt19937 random(stream);
  const u16 registers[] = {0x4000, 0x4001, 0x4002, 0x4003, 0x4004, 0x4005, 0x4006, 0x4007,
                           0x4008, 0x400A, 0x400B, 0x400C, 0x400E, 0x400F, 0x4015, 0x4017};
  const float sizes[] = {1.0f,       1.0f,       1.0f, 1.0f,        1.0f,      1.0f,
                         2.6666667f, 4.3333335f, 7.0f, 113.666664f, 2266.6667f};
  for (long call = 0; call < calls; call++) {
    if (random() % 400 == 0) {
      const u16 address = registers[random() % std::size(registers)];
      u8 value = static_cast<u8>(random());
      if (address == 0x4015 && random() % 4 != 0) {
        value |= 0x0F;  // mostly keep the channels on
      }
      if (address == 0x4017) {
        value &= 0x80;
      }
      shortcut.write(address, value);
      full.write(address, value);
    }
    const float cycles = sizes[random() % std::size(sizes)];
    shortcut.console.p = full.console.p = (random() % 50 == 0) ? flag_i : 0;
    apu_run(shortcut.apu, cycles);
    full.apu.fast.limit = -1.0f;      // never skip a call
    full.apu.fast.silence_stale = 1;  // and always work out every channel's silence
    apu_run(full.apu, cycles);
    ASSERT_EQ(shortcut.console.irq_pending, full.console.irq_pending) << "call " << call;
    shortcut.console.irq_pending = full.console.irq_pending = 0;
    // Now and then bring the put-off work up to date and compare every
    // field; in between the shortcut runs as it does in a console.
    if (call % 997 == 0) {
      apu_sync(shortcut.apu);
      expect_same_state(shortcut.apu, full.apu, call);
    }
    if (::testing::Test::HasFatalFailure()) {
      return;
    }
  }
  EXPECT_EQ(shortcut.samples, full.samples);
  if (sound) {
    EXPECT_GT(shortcut.chunk_calls, 10);
  }
}

TEST(ApuShortcut, SameSoundAndStateAsTheFullPathWithSoundOn) {
  for (unsigned stream : {1u, 2u, 3u}) {
    run_differential(true, stream, 400000);
  }
}

TEST(ApuShortcut, SameStateAsTheFullPathWithSoundOff) {
  run_differential(false, 7u, 400000);
}

TEST(ApuShortcut, StateLoadTakesEffectAtTheNextCall) {
  ApuHarness h(true);
  h.write(0x4015, 0x01);
  h.write(0x4000, 0x3F);
  h.write(0x4002, 100);
  h.write(0x4003, 0x00);
  h.run_cycles(1000);
  // A state with pulse 1 disabled: it must fall silent without any write.
  Apu silent = h.apu;
  silent.status_reg = 0;
  StateWriter out;
  apu_save_state(silent, out);
  ASSERT_TRUE(apu_load_state(h.apu, out.bytes_out.data(), out.bytes_out.size()));
  h.run_cycles(300);
  EXPECT_EQ(h.apu.pulse[0].level, 0);
  const i32 step = h.apu.pulse[0].duty_step;
  h.run_cycles(2000);
  EXPECT_EQ(h.apu.pulse[0].duty_step, step);
}

// The renderer hands over the cycles of the dots in which the CPU runs nothing
// as one batch; it must leave the APU exactly as that many one-cycle calls do,
// from whole and fractional clocks and with silent or sounding channels.
TEST(ApuShortcut, BatchOfSingleCyclesEqualsSingleCalls) {
  for (bool sound : {true, false}) {
    ApuHarness batch(sound);
    ApuHarness single(sound);
    std::mt19937 random(11);
    const float odd_sizes[] = {2.6666667f, 4.3333335f, 1.0f, 7.0f, 0.33333334f};
    for (long round = 0; round < 20000; round++) {
      if (random() % 40 == 0) {
        const u16 address = static_cast<u16>(0x4000 + random() % 16);
        const u8 value = static_cast<u8>(random());
        batch.write(address, value);
        single.write(address, value);
      }
      const float odd = odd_sizes[random() % std::size(odd_sizes)];
      apu_run(batch.apu, odd);
      apu_run(single.apu, odd);
      if (random() % 2 == 0) {
        // A whole clock, as after a run of whole cycles.
        batch.apu.time = single.apu.time = std::floor(single.apu.time);
      }
      const int count = static_cast<int>(random() % 120);
      apu_run_single_cycles(batch.apu, count);
      for (int i = 0; i < count; i++) {
        apu_run(single.apu, 1.0f);
      }
      ASSERT_EQ(batch.console.irq_pending, single.console.irq_pending) << "round " << round;
      if (round % 97 == 0) {
        apu_sync(batch.apu);
        apu_sync(single.apu);
        expect_same_state(batch.apu, single.apu, round);
        if (::testing::Test::HasFatalFailure()) {
          return;
        }
      }
    }
    EXPECT_EQ(batch.samples, single.samples);
  }
}

}  // namespace
