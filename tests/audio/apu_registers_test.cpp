#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "apu_harness.h"
#include "audio/blip_buf.h"
#include "core/state_io.h"

namespace {

std::vector<u8> save_block(const Apu& apu) {
  StateWriter out;
  apu_save_state(apu, out);
  return out.bytes_out;
}

i32 word_at(const std::vector<u8>& block, int offset) {
  return static_cast<i32>(block[offset] | (block[offset + 1] << 8) | (block[offset + 2] << 16) |
                          (static_cast<u32>(block[offset + 3]) << 24));
}

TEST(Apu, CreateWithSoundOnMakesTheBufferAndChunkArray) {
  ApuHarness h(true);
  EXPECT_EQ(h.create_result, 1);
  ASSERT_NE(h.apu.blip, nullptr);
  ASSERT_NE(h.apu.chunk, nullptr);
  EXPECT_EQ(h.apu.blip->size, 8820);
  EXPECT_EQ(h.apu.blip->factor, 110968677908897u);
  EXPECT_EQ(h.apu.clock_rate, 1789773);
  EXPECT_EQ(h.apu.chunk_samples, 2205);
  for (int i = 0; i < 2205; i++) {
    ASSERT_EQ(h.apu.chunk[i], 0);
  }
}

TEST(Apu, CreateWithSoundOffMakesNeither) {
  ApuHarness h(false);
  EXPECT_EQ(h.create_result, 1);
  EXPECT_EQ(h.apu.blip, nullptr);
  EXPECT_EQ(h.apu.chunk, nullptr);
  EXPECT_EQ(h.apu.sound_on, 0);
}

TEST(Apu, CreateStartsFromPowerUpValuesAndKeepsTheConsole) {
  Console console;
  Apu apu;
  apu.console = &console;
  apu.pulse[0].length = 9;
  apu.time = 123.0f;
  apu.noise.shift = 0x1234;
  apu.pulse[1].reg[1] = 0x88;
  apu.sequencer.irq_due = 500;
  ASSERT_EQ(apu_create(apu, 0, 44100, 2205, nullptr, nullptr), 1);
  EXPECT_EQ(apu.console, &console);
  EXPECT_EQ(apu.pulse[0].length, 0);
  EXPECT_EQ(apu.time, 0.0f);
  EXPECT_EQ(apu.noise.shift, 1);
  EXPECT_EQ(apu.pulse[1].reg[1], 0);
  EXPECT_EQ(apu.sequencer.irq_due, 0);
  EXPECT_EQ(apu.pulse[0].duty_step, 1);
  EXPECT_EQ(apu.pulse[1].duty_step, 1);
  EXPECT_EQ(apu.triangle.step, 1);
  apu_free(apu);
}

TEST(Apu, CreateRefusesRatesTheBufferCannotHold) {
  struct Case {
    int sample_rate;
    int chunk_samples;
  };
  for (Case c : {Case{44100, 0}, Case{44100, -5}, Case{0, 2205}, Case{2000000, 2205}}) {
    Apu apu;
    EXPECT_EQ(apu_create(apu, 1, c.sample_rate, c.chunk_samples, nullptr, nullptr), -1)
        << c.sample_rate << " " << c.chunk_samples;
    EXPECT_EQ(apu.blip, nullptr);
    apu_free(apu);
  }
}

TEST(Apu, FreeReleasesWhatSoundOnMade) {
  Apu apu;
  ASSERT_EQ(apu_create(apu, 1, 44100, 2205, nullptr, nullptr), 1);
  apu_free(apu);
  EXPECT_EQ(apu.blip, nullptr);
  EXPECT_EQ(apu.chunk, nullptr);
  apu_free(apu);  // a second free finds nothing to release
}

TEST(Apu, LastRegisterWriteLoadsTheLengthCounter) {
  struct Case {
    u8 value;
    int length;
  };
  const Case cases[] = {{0x00, 10}, {0x08, 254}, {0x18, 2}, {0x40, 160}, {0xB8, 22}, {0xC8, 24}, {0xF8, 30}};
  for (const Case& c : cases) {
    ApuHarness h(false);
    h.write(0x4003, c.value);
    h.write(0x4007, c.value);
    h.write(0x400B, c.value);
    h.write(0x400F, c.value);
    EXPECT_EQ(h.apu.pulse[0].length, c.length) << int(c.value);
    EXPECT_EQ(h.apu.pulse[1].length, c.length) << int(c.value);
    EXPECT_EQ(h.apu.triangle.length, c.length) << int(c.value);
    EXPECT_EQ(h.apu.noise.length, c.length) << int(c.value);
  }
}

TEST(Apu, PulseLengthWriteRestartsTheEnvelope) {
  ApuHarness h(false);
  h.write(0x4000, 0x05);
  h.write(0x4004, 0x0B);
  h.apu.pulse[0].env.level = 3;
  h.apu.pulse[1].env.level = 0;
  h.write(0x4003, 0x08);
  h.write(0x4007, 0x08);
  EXPECT_EQ(h.apu.pulse[0].length, 254);
  EXPECT_EQ(h.apu.pulse[0].env.level, 15);
  EXPECT_EQ(h.apu.pulse[0].env.divider, 5);
  EXPECT_EQ(h.apu.pulse[1].env.level, 15);
  EXPECT_EQ(h.apu.pulse[1].env.divider, 11);
}

TEST(Apu, NoiseLengthWriteRestartsOnlyTheLength) {
  ApuHarness h(false);
  h.write(0x400C, 0x05);
  h.apu.noise.env.level = 3;
  h.apu.noise.env.divider = 2;
  h.write(0x400F, 0x08);
  EXPECT_EQ(h.apu.noise.length, 254);
  EXPECT_EQ(h.apu.noise.env.level, 3);
  EXPECT_EQ(h.apu.noise.env.divider, 2);
}

TEST(Apu, TriangleLengthWriteRequestsALinearReload) {
  ApuHarness h(false);
  h.write(0x400B, 0x08);
  EXPECT_EQ(h.apu.triangle.reload, 1);
  EXPECT_EQ(h.apu.triangle.length, 254);
}

TEST(Apu, ClearedEnableBitsEmptyTheirLengthCounters) {
  struct Case {
    u8 status;
    u8 expected_status_read;
  };
  const Case cases[] = {{0x00, 0x00}, {0x0F, 0x0F}, {0x01, 0x01}, {0x02, 0x02},
                        {0x04, 0x04}, {0x08, 0x08}, {0x0A, 0x0A}, {0xF0, 0x00}};
  for (const Case& c : cases) {
    ApuHarness h(false);
    h.write(0x4015, 0x0F);
    for (u16 address : {0x4003, 0x4007, 0x400B, 0x400F}) {
      h.write(address, 0x08);
    }
    EXPECT_EQ(apu_read_status(h.apu, 0x4015), 0x0F);
    h.write(0x4015, c.status);
    EXPECT_EQ(h.apu.status_reg, c.status);
    EXPECT_EQ(apu_read_status(h.apu, 0x4015), c.expected_status_read) << int(c.status);
    // Setting a bit again does not bring the length back.
    h.write(0x4015, 0x0F);
    EXPECT_EQ(apu_read_status(h.apu, 0x4015), c.expected_status_read) << int(c.status);
  }
}

TEST(Apu, StatusReadReportsRunningLengthCountersOnly) {
  ApuHarness h(false);
  h.apu.pulse[0].length = -3;  // never negative in play, but not "running"
  h.apu.pulse[1].length = 1;
  h.apu.triangle.length = 0;
  h.apu.noise.length = 200;
  EXPECT_EQ(apu_read_status(h.apu, 0x4015), 0x0A);
  EXPECT_EQ(apu_read_status(h.apu, 0x4016), 0);
  EXPECT_EQ(apu_read_status(h.apu, 0x4014), 0);
  // Reading changes nothing.
  EXPECT_EQ(apu_read_status(h.apu, 0x4015), 0x0A);
  EXPECT_EQ(h.apu.noise.length, 200);
}

TEST(Apu, UnusedAddressesChangeNothing) {
  ApuHarness h(false);
  h.write(0x4000, 0x3F);
  h.write(0x400B, 0x10);
  std::vector<u8> before = save_block(h.apu);
  Apu copy = h.apu;
  for (u16 address : {0x4009, 0x400D, 0x4010, 0x4011, 0x4012, 0x4013, 0x4014, 0x4016, 0x4018, 0x3FFF}) {
    h.write(address, 0xFF);
  }
  EXPECT_EQ(save_block(h.apu), before);
  EXPECT_EQ(h.apu.triangle.length, copy.triangle.length);
  EXPECT_EQ(h.apu.noise.length, copy.noise.length);
  EXPECT_EQ(h.apu.sequencer.irq_due, copy.sequencer.irq_due);
}

TEST(Apu, FrameRegisterWriteNeitherResetsNorClocksTheSequencer) {
  ApuHarness h(false);
  h.run_cycles(10000);
  Apu before = h.apu;
  h.write(0x4017, 0xC0);
  EXPECT_EQ(h.apu.frame_reg, 0xC0);
  EXPECT_EQ(h.apu.sequencer.irq_step, before.sequencer.irq_step);
  EXPECT_EQ(h.apu.sequencer.length_step, before.sequencer.length_step);
  EXPECT_EQ(h.apu.sequencer.env_step, before.sequencer.env_step);
  EXPECT_EQ(h.apu.sequencer.irq_due, before.sequencer.irq_due);
  EXPECT_EQ(h.apu.sequencer.env_due, before.sequencer.env_due);
}

TEST(ApuState, LoadRestoresTheBlockAndKeepsEverythingElse) {
  ApuHarness saved(false);
  saved.write(0x4000, 0x9F);
  saved.write(0x4003, 0x08);
  saved.write(0x400B, 0x08);
  saved.write(0x4015, 0x0F);
  saved.run_cycles(20000);
  std::vector<u8> block = save_block(saved.apu);

  ApuHarness loaded(false);
  loaded.run_cycles(3000);
  loaded.apu.triangle.length = 42;
  loaded.apu.noise.length = 17;
  loaded.apu.noise.env.level = 4;
  const float time = loaded.apu.time;
  const i32 irq_due = loaded.apu.sequencer.irq_due;
  EXPECT_TRUE(apu_load_state(loaded.apu, block.data(), block.size()));

  EXPECT_EQ(save_block(loaded.apu), block);
  EXPECT_EQ(loaded.apu.pulse[0].length, saved.apu.pulse[0].length);
  EXPECT_EQ(loaded.apu.triangle.length, 42);
  EXPECT_EQ(loaded.apu.noise.length, 17);
  EXPECT_EQ(loaded.apu.noise.env.level, 4);
  EXPECT_EQ(loaded.apu.time, time);
  EXPECT_EQ(loaded.apu.sequencer.irq_due, irq_due);
}

TEST(ApuState, ReservedWordsAreIgnoredWhenRead) {
  ApuHarness h(false);
  std::vector<u8> block = save_block(h.apu);
  for (int offset : {20, 32, 40, 60, 80}) {
    block[offset] = 0xFF;
  }
  EXPECT_TRUE(apu_load_state(h.apu, block.data(), block.size()));
  std::vector<u8> again = save_block(h.apu);
  for (int offset : {20, 32, 40, 60, 80}) {
    EXPECT_EQ(word_at(again, offset), 0) << offset;
  }
}

TEST(ApuState, ExtremeWordsInALoadedBlockRunSafely) {
  // The loader checks volumes and envelope levels (0-15) before the block
  // gets here; every other word may hold anything a file holds.
  const int checked[] = {8, 9, 10, 14, 19};  // word indices of the checked fields
  for (u32 extreme : {0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu, 0x00000010u}) {
    ApuHarness h(true);
    StateWriter out;
    for (int i = 0; i < 16; i++) {
      out.put_u8(static_cast<u8>(0xFF - i * 7));  // registers: all channels on, odd settings
    }
    for (int word = 0; word < 23; word++) {
      const bool valid_only = std::find(std::begin(checked), std::end(checked), word) != std::end(checked);
      out.put_u32(valid_only ? 15 : extreme);
    }
    ASSERT_TRUE(apu_load_state(h.apu, out.bytes_out.data(), out.bytes_out.size()));
    for (int i = 0; i < 200; i++) {
      apu_run(h.apu, 113.666664f);
    }
    h.run_cycles(3 * 89489);
    EXPECT_GE(h.chunk_calls, 3) << std::hex << extreme;
  }
}

}  // namespace
