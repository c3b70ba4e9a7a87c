// The run loop's time accounting, reset and interrupt handling.
#include <gtest/gtest.h>

#include "cpu/cpu.h"
#include "support/test_console.h"

namespace {

// Runs exactly one step (reset, interrupt or instruction) and returns the CPU
// cycles it was charged.
int step(Console& c) {
  c.cycle_budget = 1;
  cpu_execute(c);
  return static_cast<int>((1 - c.cycle_budget) / ticks_per_cpu_cycle);
}

std::unique_ptr<Console> console_at_8000() {
  auto c = make_test_console();
  step(*c);  // the reset
  c->cycle_budget = 0;
  return c;
}

TEST(CpuEngine, PowerUpTakesTheResetVectorFirst) {
  auto c = make_test_console();
  place_code(*c, 0xFFFC, {0x34, 0x92});
  EXPECT_EQ(step(*c), 7);
  EXPECT_EQ(c->pc, 0x9234);
  EXPECT_EQ(c->reset_pending, 0u);
}

TEST(CpuEngine, ResetChangesOnlyTheProgramCounter) {
  auto c = console_at_8000();
  c->a = 1, c->x = 2, c->y = 3, c->p = 0xC3, c->s = 0x80;
  c->reset_pending = 1;
  step(*c);
  EXPECT_EQ(c->pc, 0x8000);
  EXPECT_EQ(c->a, 1);
  EXPECT_EQ(c->x, 2);
  EXPECT_EQ(c->y, 3);
  EXPECT_EQ(c->p, 0xC3);
  EXPECT_EQ(c->s, 0x80);
}

TEST(CpuEngine, BudgetAtOrBelowZeroRunsNothingButPaysTheApuItsShare) {
  auto c = console_at_8000();
  c->cycle_budget = -100;
  c->apu_cycles = 0;
  cpu_run(*c, 1);
  EXPECT_EQ(c->pc, 0x8000);
  EXPECT_FLOAT_EQ(c->cycle_budget, -84);
  EXPECT_FLOAT_EQ(c->apu_cycles, 1.0f / 3.0f);
}

TEST(CpuEngine, ThreeDotsRunOneTwoCycleInstructionAndCarryTheDebt) {
  auto c = console_at_8000();  // NOPs everywhere
  cpu_run(*c, 3);
  EXPECT_EQ(c->pc, 0x8001);
  EXPECT_FLOAT_EQ(c->cycle_budget, -48);
  cpu_run(*c, 1);
  EXPECT_EQ(c->pc, 0x8001);
  EXPECT_FLOAT_EQ(c->cycle_budget, -32);
}

TEST(CpuEngine, OneDotCallsPayTheApuOneWholeCycleEveryThirdCall) {
  auto c = console_at_8000();
  c->apu_cycles = 0;
  cpu_run(*c, 1);
  cpu_run(*c, 1);
  EXPECT_GT(c->apu_cycles, 0.6f);
  cpu_run(*c, 1);
  EXPECT_EQ(c->apu_cycles, 0.0f);
}

TEST(CpuEngine, NmiPushesPcAndStatusWithBreakClearAndLeavesIAlone) {
  auto c = console_at_8000();
  place_code(*c, 0xFFFA, {0x00, 0x90});
  c->s = 0xFD;
  c->p = 0x30 | flag_c;  // B and bit 5 set in p itself
  c->pc = 0x8123;
  c->nmi_pending = 1;
  EXPECT_EQ(step(*c), 7);
  EXPECT_EQ(c->s, 0xFA);
  EXPECT_EQ(c->memory[0x1FD], 0x81);
  EXPECT_EQ(c->memory[0x1FC], 0x23);
  EXPECT_EQ(c->memory[0x1FB], 0x21);  // bit 4 clear, bit 5 set
  EXPECT_EQ(c->p, 0x31);              // I not set on entry
  EXPECT_EQ(c->pc, 0x9000);
  EXPECT_EQ(c->nmi_pending, 0u);
}

TEST(CpuEngine, RequestsAreServedResetThenNmiThenIrq) {
  auto c = console_at_8000();
  place_code(*c, 0xFFFA, {0x00, 0x90, 0x00, 0x80, 0x00, 0xA0});
  c->p = 0x20;
  c->reset_pending = c->nmi_pending = c->irq_pending = 1;
  EXPECT_EQ(step(*c), 7);
  EXPECT_EQ(c->pc, 0x8000);
  EXPECT_EQ(step(*c), 7);
  EXPECT_EQ(c->pc, 0x9000);
  EXPECT_EQ(step(*c), 7);
  EXPECT_EQ(c->pc, 0xA000);
  EXPECT_EQ(c->irq_pending, 0u);
}

TEST(CpuEngine, IrqWaitsWhileIIsSetAndIsTakenRightAfterCli) {
  auto c = console_at_8000();
  place_code(*c, 0x8000, {0xEA, 0x58, 0xEA});  // NOP, CLI, NOP
  place_code(*c, 0xFFFE, {0x00, 0xA0});
  c->p = 0x24;
  c->irq_pending = 1;
  step(*c);
  EXPECT_EQ(c->pc, 0x8001);
  step(*c);  // CLI
  EXPECT_EQ(c->pc, 0x8002);
  step(*c);
  EXPECT_EQ(c->pc, 0xA000) << "the IRQ comes before the next instruction";
}

TEST(CpuEngine, IrqLatchedByBrkIsTakenAfterPlpClearsI) {
  auto c = console_at_8000();
  // SEI, BRK, pad, LDA #0, PHA, PLP
  place_code(*c, 0x8000, {0x78, 0x00, 0xFF, 0xA9, 0x00, 0x48, 0x28, 0xEA});
  place_code(*c, 0xFFFE, {0x00, 0xA0});
  step(*c);
  EXPECT_EQ(step(*c), 7);  // BRK only requests
  EXPECT_EQ(c->pc, 0x8003);
  EXPECT_EQ(c->irq_pending, 1u);
  step(*c);
  step(*c);
  step(*c);  // PLP of $00
  EXPECT_EQ(c->p, 0x00);
  step(*c);
  EXPECT_EQ(c->pc, 0xA000);
}

TEST(CpuEngine, BrkPushesTheAddressTwoBytesPastIt) {
  auto c = console_at_8000();
  place_code(*c, 0x8000, {0x00, 0xFF});
  place_code(*c, 0xFFFE, {0x00, 0xA0});
  c->p = 0x20;
  c->s = 0xFF;
  step(*c);
  step(*c);
  EXPECT_EQ(c->pc, 0xA000);
  EXPECT_EQ(c->memory[0x1FF], 0x80);
  EXPECT_EQ(c->memory[0x1FE], 0x02);
  EXPECT_EQ(c->memory[0x1FD], 0x20);  // B clear in the pushed status
}

TEST(CpuEngine, InterruptAtTheEndOfACallDelaysTheNextInstruction) {
  auto c = console_at_8000();
  place_code(*c, 0xFFFA, {0x00, 0x90});
  c->nmi_pending = 1;
  cpu_run(*c, 1);  // balance 16: the NMI is taken, 7 cycles charged
  EXPECT_EQ(c->pc, 0x9000);
  EXPECT_FLOAT_EQ(c->cycle_budget, 16 - 336);
}

TEST(CpuEngine, StackWrapsWithinPageOne) {
  auto c = console_at_8000();
  place_code(*c, 0x8000, {0xA9, 0x42, 0x48, 0x68});  // LDA #$42, PHA, PLA
  c->s = 0x00;
  step(*c);
  step(*c);
  EXPECT_EQ(c->memory[0x100], 0x42);
  EXPECT_EQ(c->s, 0xFF);
  step(*c);
  EXPECT_EQ(c->s, 0x00);
  EXPECT_EQ(c->a, 0x42);
}

TEST(CpuEngine, UndocumentedOpcodesAreOneByteNoOps) {
  auto c = console_at_8000();
  place_code(*c, 0x8000, {0x04, 0xE8, 0xA7, 0x02, 0xFF});  // $04 then its "operand" INX
  EXPECT_EQ(step(*c), 3);
  EXPECT_EQ(c->pc, 0x8001);
  EXPECT_EQ(step(*c), 2);  // INX
  EXPECT_EQ(c->x, 1);
  EXPECT_EQ(step(*c), 3);  // $A7
  EXPECT_EQ(step(*c), 2);  // $02 does not halt
  EXPECT_EQ(step(*c), 7);  // $FF
  EXPECT_EQ(c->pc, 0x8005);
}

}  // namespace
