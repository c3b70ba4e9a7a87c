// Save, run on, load, run on again: the frames after the load must be the
// frames after the save. Runs real programs (cartridges/lifecycle_*).
#include <gtest/gtest.h>

#include <cstring>

#include "audio/apu.h"
#include "cartridge/boards.h"
#include "core/console.h"
#include "core/scheduler.h"
#include "core/state_io.h"
#include "lifecycle/save_state.h"
#include "lifecycle/session.h"
#include "lifecycle_support.h"
#include "ppu/ppu.h"

namespace {

using namespace lifecycle_test;

// What one frame leaves behind, apart from the sound hardware.
struct FrameSnapshot {
  std::vector<u8> picture;
  std::vector<u8> memory;  // $0000-$7FFF
  std::vector<u8> ppu_block;
  std::vector<u8> mapper_block;
  u8 a, x, y, p, s;
  u16 pc;
  float cycle_budget;
  u32 irq_pending, nmi_pending;

  bool operator==(const FrameSnapshot&) const = default;
};

FrameSnapshot snapshot(Console& console) {
  FrameSnapshot shot;
  shot.picture.assign(console.ppu->frame_buffer.get(), console.ppu->frame_buffer.get() + frame_buffer_bytes);
  shot.memory.assign(console.memory.get(), console.memory.get() + 0x8000);
  StateWriter board;
  console.mapper->save_state(board);
  shot.mapper_block = board.bytes_out;
  StateWriter ppu;
  ppu_save(*console.ppu, ppu);
  shot.ppu_block = ppu.bytes_out;
  shot.a = console.a;
  shot.x = console.x;
  shot.y = console.y;
  shot.p = console.p;
  shot.s = console.s;
  shot.pc = console.pc;
  shot.cycle_budget = console.cycle_budget;
  shot.irq_pending = console.irq_pending;
  shot.nmi_pending = console.nmi_pending;
  return shot;
}

std::vector<FrameSnapshot> run_and_record(Console& console, int frames) {
  std::vector<FrameSnapshot> shots;
  for (int i = 0; i < frames; ++i) {
    run_frames(console, 0);
    shots.push_back(snapshot(console));
  }
  return shots;
}

std::vector<u8> apu_block(Console& console) {
  StateWriter apu;
  apu_save_state(*console.apu, apu);
  return apu.bytes_out;
}

std::string cartridge(const char* name) {
  return std::string(CORVEL_CARTRIDGE_DIR) + "/" + name + ".nes";
}

class RoundTrip : public ::testing::Test {
 protected:
  ScriptPlatform platform;
  Session session;
  void SetUp() override { session.platform = &platform; }
};

// The frame parity (which frame skips a dot) is not in the file, so the
// stretches compared here are an even number of frames long.
TEST_F(RoundTrip, FramesAfterLoadingMatchTheFramesAfterSaving) {
  ASSERT_TRUE(open_rom(session, cartridge("lifecycle_motion"), 0));
  Console& console = *session.current;
  for (int i = 0; i < 37; ++i)
    run_frames(console, 0);
  std::vector<u8> state = save_state_bytes(console);
  std::vector<FrameSnapshot> first = run_and_record(console, 8);
  std::vector<u8> first_apu = apu_block(console);

  ASSERT_TRUE(load_state_bytes(console, state.data(), state.size()));
  std::vector<FrameSnapshot> second = run_and_record(console, 8);
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_TRUE(first[i].picture == second[i].picture) << "picture of frame " << i;
    EXPECT_TRUE(first[i].memory == second[i].memory) << "memory after frame " << i;
    EXPECT_TRUE(first[i].ppu_block == second[i].ppu_block) << "PPU after frame " << i;
    EXPECT_EQ(first[i].pc, second[i].pc) << i;
    EXPECT_EQ(first[i].cycle_budget, second[i].cycle_budget) << i;
    EXPECT_TRUE(first[i] == second[i]) << "frame " << i;
  }
  // The program writes every sound register each frame and never reads the
  // length counters, so the registers themselves come out the same.
  std::vector<u8> second_apu = apu_block(console);
  EXPECT_TRUE(std::equal(first_apu.begin(), first_apu.begin() + 16, second_apu.begin()));
}

// Saved by one console and loaded into a fresh one of the same image: the
// fresh console's sound sequencer and frame count start elsewhere, which the
// file does not cover; the picture and the CPU must still follow.
TEST_F(RoundTrip, AStateCarriesOverToAFreshConsole) {
  std::string path = cartridge("lifecycle_motion");
  ASSERT_TRUE(open_rom(session, path, 0));
  for (int i = 0; i < 40; ++i)
    run_frames(*session.current, 0);
  std::vector<u8> state = save_state_bytes(*session.current);
  std::vector<FrameSnapshot> first = run_and_record(*session.current, 6);

  ASSERT_TRUE(open_rom(session, path, 0));
  ASSERT_TRUE(load_state_bytes(*session.current, state.data(), state.size()));
  std::vector<FrameSnapshot> second = run_and_record(*session.current, 6);
  for (std::size_t i = 0; i < first.size(); ++i)
    EXPECT_TRUE(first[i] == second[i]) << "frame " << i;
}

// Index of the first line of the picture that differs between two frames,
// or -1 when they are the same.
int first_differing_line(const std::vector<u8>& a, const std::vector<u8>& b) {
  for (int line = 0; line < screen_height; ++line) {
    std::size_t at = static_cast<std::size_t>(line) * screen_width * 3;
    if (std::memcmp(a.data() + at, b.data() + at, screen_width * 3) != 0)
      return line;
  }
  return -1;
}

// The MMC3 program sets a new counter period in every interrupt, so at most
// frame ends the counter is part way between its reload and its request.
TEST_F(RoundTrip, Mmc3InterruptLandsOnTheSameLineAfterLoading) {
  ASSERT_TRUE(open_rom(session, cartridge("lifecycle_mmc3_irq"), 0));
  Console& console = *session.current;
  auto& board = static_cast<mapper_mmc3&>(*console.mapper);

  // Run until a frame ends with the counter reloaded, counting, enabled.
  int frames = 0;
  for (; frames < 200; ++frames) {
    run_frames(console, 0);
    if (frames >= 10 && frames % 2 == 0 && board.irq_enabled && board.irq_counter > 0 && !console.irq_pending)
      break;
  }
  ASSERT_LT(frames, 200) << "the counter never stood part way at a frame end";
  const u8 interrupts_before = console.memory[0x0003];  // irq_count in the zero page
  const i32 counter = board.irq_counter;
  const u32 latch = board.irq_latch;
  std::vector<u8> state = save_state_bytes(console);
  std::vector<FrameSnapshot> first = run_and_record(console, 4);
  ASSERT_NE(console.memory[0x0003], interrupts_before) << "the program's interrupts must keep coming";

  board.irq_counter = 0;
  board.irq_latch = 0;
  board.irq_enabled = 0;
  board.last_chr_address = 0;
  ASSERT_TRUE(load_state_bytes(console, state.data(), state.size()));
  EXPECT_EQ(board.irq_counter, counter);
  EXPECT_EQ(board.irq_latch, latch);
  std::vector<FrameSnapshot> second = run_and_record(console, 4);
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first_differing_line(first[i].picture, second[i].picture), -1) << "frame " << i;
    EXPECT_TRUE(first[i].mapper_block == second[i].mapper_block) << "frame " << i;
    EXPECT_TRUE(first[i] == second[i]) << "frame " << i;
  }
}

}  // namespace
