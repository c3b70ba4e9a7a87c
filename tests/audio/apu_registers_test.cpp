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
  return out.bytes;
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
  apu.pulse1_length = 9;
  apu.time = 123.0f;
  apu.noise_shift = 0x1234;
  apu.pulse2_reg[1] = 0x88;
  apu.seq_irq_due = 500;
  ASSERT_EQ(apu_create(apu, 0, 44100, 2205, nullptr, nullptr), 1);
  EXPECT_EQ(apu.console, &console);
  EXPECT_EQ(apu.pulse1_length, 0);
  EXPECT_EQ(apu.time, 0.0f);
  EXPECT_EQ(apu.noise_shift, 1);
  EXPECT_EQ(apu.pulse2_reg[1], 0);
  EXPECT_EQ(apu.seq_irq_due, 0);
  EXPECT_EQ(apu.pulse1_duty_step, 1);
  EXPECT_EQ(apu.pulse2_duty_step, 1);
  EXPECT_EQ(apu.tri_step, 1);
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
    EXPECT_EQ(h.apu.pulse1_length, c.length) << int(c.value);
    EXPECT_EQ(h.apu.pulse2_length, c.length) << int(c.value);
    EXPECT_EQ(h.apu.tri_length, c.length) << int(c.value);
    EXPECT_EQ(h.apu.noise_length, c.length) << int(c.value);
  }
}

TEST(Apu, PulseLengthWriteRestartsTheEnvelope) {
  ApuHarness h(false);
  h.write(0x4000, 0x05);
  h.write(0x4004, 0x0B);
  h.apu.pulse1_env_level = 3;
  h.apu.pulse2_env_level = 0;
  h.write(0x4003, 0x08);
  h.write(0x4007, 0x08);
  EXPECT_EQ(h.apu.pulse1_length, 254);
  EXPECT_EQ(h.apu.pulse1_env_level, 15);
  EXPECT_EQ(h.apu.pulse1_env_divider, 5);
  EXPECT_EQ(h.apu.pulse2_env_level, 15);
  EXPECT_EQ(h.apu.pulse2_env_divider, 11);
}

TEST(Apu, NoiseLengthWriteRestartsOnlyTheLength) {
  ApuHarness h(false);
  h.write(0x400C, 0x05);
  h.apu.noise_env_level = 3;
  h.apu.noise_env_divider = 2;
  h.write(0x400F, 0x08);
  EXPECT_EQ(h.apu.noise_length, 254);
  EXPECT_EQ(h.apu.noise_env_level, 3);
  EXPECT_EQ(h.apu.noise_env_divider, 2);
}

TEST(Apu, TriangleLengthWriteRequestsALinearReload) {
  ApuHarness h(false);
  h.write(0x400B, 0x08);
  EXPECT_EQ(h.apu.tri_reload, 1);
  EXPECT_EQ(h.apu.tri_length, 254);
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
  h.apu.pulse1_length = -3;  // never negative in play, but not "running"
  h.apu.pulse2_length = 1;
  h.apu.tri_length = 0;
  h.apu.noise_length = 200;
  EXPECT_EQ(apu_read_status(h.apu, 0x4015), 0x0A);
  EXPECT_EQ(apu_read_status(h.apu, 0x4016), 0);
  EXPECT_EQ(apu_read_status(h.apu, 0x4014), 0);
  // Reading changes nothing.
  EXPECT_EQ(apu_read_status(h.apu, 0x4015), 0x0A);
  EXPECT_EQ(h.apu.noise_length, 200);
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
  EXPECT_EQ(h.apu.tri_length, copy.tri_length);
  EXPECT_EQ(h.apu.noise_length, copy.noise_length);
  EXPECT_EQ(h.apu.seq_irq_due, copy.seq_irq_due);
}

TEST(Apu, FrameRegisterWriteNeitherResetsNorClocksTheSequencer) {
  ApuHarness h(false);
  h.run_cycles(10000);
  Apu before = h.apu;
  h.write(0x4017, 0xC0);
  EXPECT_EQ(h.apu.frame_reg, 0xC0);
  EXPECT_EQ(h.apu.seq_irq_step, before.seq_irq_step);
  EXPECT_EQ(h.apu.seq_length_step, before.seq_length_step);
  EXPECT_EQ(h.apu.seq_env_step, before.seq_env_step);
  EXPECT_EQ(h.apu.seq_irq_due, before.seq_irq_due);
  EXPECT_EQ(h.apu.seq_env_due, before.seq_env_due);
}

TEST(ApuState, BlockIs108BytesInTheRecordedOrder) {
  ApuHarness h(false);
  const u16 registers[] = {0x4000, 0x4001, 0x4002, 0x4003, 0x4004, 0x4005, 0x4006,
                           0x4007, 0x4008, 0x400A, 0x400B, 0x400C, 0x400E, 0x400F};
  u8 value = 0x11;
  for (u16 address : registers) {
    h.write(address, value);
    value = static_cast<u8>(value + 0x11);
  }
  h.write(0x4015, 0x0B);
  h.write(0x4017, 0x40);
  h.apu.pulse1_sweep_silent = 1;
  h.apu.pulse2_env_silent = 1;
  h.apu.noise_volume = 9;
  h.apu.pulse2_sweep_divider = 6;
  h.apu.tri_linear = 77;

  std::vector<u8> block = save_block(h.apu);
  ASSERT_EQ(block.size(), 108u);
  ASSERT_EQ(block.size(), static_cast<size_t>(apu_state_bytes));
  EXPECT_EQ(block[0], 0x0B);
  EXPECT_EQ(block[1], 0x40);
  value = 0x11;
  for (int i = 0; i < 14; i++) {
    EXPECT_EQ(block[2 + i], value) << "register byte " << i;
    value = static_cast<u8>(value + 0x11);
  }
  struct Word {
    int offset;
    i32 expected;
  };
  const Word words[] = {
      {16, 1},                           // pulse1_sweep_silent
      {20, 0},                           // reserved
      {36, 1},                           // pulse2_env_silent
      {56, 9},                           // noise_volume
      {60, 0},                           // reserved
      {64, h.apu.pulse1_sweep_divider},  //
      {68, h.apu.pulse1_length},         //
      {72, 15},                          // pulse1_env_level
      {84, 6},                           // pulse2_sweep_divider
      {88, h.apu.pulse2_length},         //
      {100, 1},                          // tri_reload
      {104, 77},                         // tri_linear
  };
  for (const Word& w : words) {
    EXPECT_EQ(word_at(block, w.offset), w.expected) << "offset " << w.offset;
  }
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
  loaded.apu.tri_length = 42;
  loaded.apu.noise_length = 17;
  loaded.apu.noise_env_level = 4;
  const float time = loaded.apu.time;
  const i32 irq_due = loaded.apu.seq_irq_due;
  StateReader in(block.data(), block.size());
  apu_load_state(loaded.apu, in);
  EXPECT_TRUE(in.ok);
  EXPECT_EQ(in.remaining(), 0u);

  EXPECT_EQ(save_block(loaded.apu), block);
  EXPECT_EQ(loaded.apu.pulse1_length, saved.apu.pulse1_length);
  EXPECT_EQ(loaded.apu.tri_length, 42);
  EXPECT_EQ(loaded.apu.noise_length, 17);
  EXPECT_EQ(loaded.apu.noise_env_level, 4);
  EXPECT_EQ(loaded.apu.time, time);
  EXPECT_EQ(loaded.apu.seq_irq_due, irq_due);
}

TEST(ApuState, ReservedWordsAreIgnoredWhenRead) {
  ApuHarness h(false);
  std::vector<u8> block = save_block(h.apu);
  for (int offset : {20, 32, 40, 60, 80}) {
    block[offset] = 0xFF;
  }
  StateReader in(block.data(), block.size());
  apu_load_state(h.apu, in);
  std::vector<u8> again = save_block(h.apu);
  for (int offset : {20, 32, 40, 60, 80}) {
    EXPECT_EQ(word_at(again, offset), 0) << offset;
  }
}

TEST(ApuState, ShortBlockLeavesTheFieldsItDoesNotReach) {
  ApuHarness source(false);
  source.write(0x4015, 0x05);
  source.apu.pulse1_sweep_silent = 1;
  std::vector<u8> block = save_block(source.apu);
  block.resize(22);  // the 16 register bytes, one word and half of the next

  ApuHarness h(false);
  h.apu.pulse1_env_silent = 1;
  h.apu.tri_linear = 33;
  StateReader in(block.data(), block.size());
  apu_load_state(h.apu, in);
  EXPECT_EQ(h.apu.status_reg, 0x05);
  EXPECT_EQ(h.apu.pulse1_sweep_silent, 1);
  EXPECT_EQ(h.apu.pulse1_env_silent, 1);
  EXPECT_EQ(h.apu.tri_linear, 33);
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
    StateReader in(out.bytes.data(), out.bytes.size());
    apu_load_state(h.apu, in);
    for (int i = 0; i < 200; i++) {
      apu_run(h.apu, 113.666664f);
    }
    h.run_cycles(3 * 89489);
    EXPECT_GE(h.chunk_calls, 3) << std::hex << extreme;
  }
}

}  // namespace
