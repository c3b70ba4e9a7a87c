// Frame timing: dots per frame, the odd-frame skip, the vblank flag and NMI.
#include <gtest/gtest.h>

#include "core/catch_up.h"
#include "core/scheduler.h"
#include "cpu/cpu.h"
#include "ppu/ppu.h"
#include "support/test_console.h"

namespace {

// Counts the instructions run, so that the dots handed to the CPU can be
// worked out exactly from the balance.
void count_instruction(const Console&, void* user) {
  ++*static_cast<long*>(user);
}

struct DotMeter {
  Console& console;
  long instructions = 0;
  explicit DotMeter(Console& c) : console(c) {
    set_fast_paths(console, false);  // every instruction is counted
    console.trace_hook = count_instruction;
    console.trace_user = &instructions;
  }
  // Dots given to the CPU by one call of run_frames; the program is one
  // JMP to itself (3 cycles) and no interrupt is taken.
  long frame_dots(int extra_frames = 0) {
    instructions = 0;
    float before = console.cycle_budget;
    run_frames(console, extra_frames);
    double given = console.cycle_budget - before + 144.0 * instructions;
    return static_cast<long>(given / ticks_per_dot + 0.5);
  }
};

std::unique_ptr<Console> quiet_console() {
  auto c = make_test_console();
  place_code(*c, 0x8000, {0x4C, 0x00, 0x80});  // JMP $8000
  c->cycle_budget = 1;
  cpu_execute(*c);  // take the reset now so that it is not counted
  return c;
}

TEST(Scheduler, RunsExtraFramesPlusOne) {
  auto c = quiet_console();
  DotMeter meter(*c);
  EXPECT_EQ(meter.frame_dots(-1), 0);
  EXPECT_EQ(meter.frame_dots(0), dots_per_frame);
  EXPECT_EQ(meter.frame_dots(8), 9L * dots_per_frame);
  EXPECT_EQ(c->ppu->frame_counter, 10u);
}

TEST(Scheduler, BackgroundShownMakesEveryOtherFrameOneDotShorter) {
  auto c = quiet_console();
  DotMeter meter(*c);
  c->ppu->mask = 0x08;
  long first = meter.frame_dots();
  long second = meter.frame_dots();
  long third = meter.frame_dots();
  EXPECT_EQ(first, dots_per_frame - 1);  // frame_counter 0 is even
  EXPECT_EQ(second, dots_per_frame);
  EXPECT_EQ(third, dots_per_frame - 1);
}

TEST(Scheduler, SpritesAloneNeverSkipADot) {
  auto c = quiet_console();
  DotMeter meter(*c);
  c->ppu->mask = 0x10;
  for (int frame = 0; frame < 4; frame++)
    EXPECT_EQ(meter.frame_dots(), dots_per_frame);
}

TEST(Scheduler, VisibleLinesKeepTheirLengthWithSpritesOff) {
  auto c = quiet_console();
  DotMeter meter(*c);
  c->ppu->mask = 0x00;
  EXPECT_EQ(meter.frame_dots(), dots_per_frame);
  c->ppu->mask = 0x18;
  EXPECT_EQ(meter.frame_dots(1), 2L * dots_per_frame - 1);
}

TEST(Scheduler, VblankFlagIsSetAndClearedWithTheOtherStatusBits) {
  auto c = quiet_console();
  run_frames(*c, 0);
  EXPECT_EQ(c->ppu->status & 0x80, 0) << "cleared at the end of vertical blank";
  c->ppu->status = 0x60;
  c->ppu->sprite0_hit_done = 1;
  run_frames(*c, 0);
  EXPECT_EQ(c->ppu->status & 0xE0, 0);
  EXPECT_EQ(c->ppu->sprite0_hit_done, 0u);
}

TEST(Scheduler, OneNmiPerFrameWhenEnabledInTime) {
  auto c = quiet_console();
  place_code(*c, 0xFFFA, {0x00, 0x90});
  place_code(*c, 0x9000, {0xE6, 0x10, 0x40});  // INC $10, RTI
  c->ppu->ctrl = 0x80;
  run_frames(*c, 4);
  EXPECT_EQ(c->memory[0x10], 5);
}

TEST(Scheduler, NoNmiWhenEnabledOnlyAfterTheDecision) {
  auto c = quiet_console();
  place_code(*c, 0xFFFA, {0x00, 0x90});
  place_code(*c, 0x9000, {0xE6, 0x10, 0x40});
  c->ppu->ctrl = 0x00;
  run_frames(*c, 0);
  EXPECT_EQ(c->nmi_pending, 0u);
  EXPECT_EQ(c->memory[0x10], 0);
}

TEST(Scheduler, FrameStartsWithVblankSoAResetIsTakenInItsFirstDots) {
  auto c = make_test_console();
  place_code(*c, 0xFFFC, {0x00, 0x90});
  cpu_run(*c, 1);
  EXPECT_EQ(c->reset_pending, 0u);
  EXPECT_EQ(c->pc, 0x9000);
}

}  // namespace
