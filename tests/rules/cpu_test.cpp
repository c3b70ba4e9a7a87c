// The CPU's run loop: time in ticks of 1/16 dot (48 a cycle), debts carried
// from call to call, and requests served reset, NMI, IRQ, each before the
// next instruction. The cpu_* cartridges check the instructions themselves.
// The controller port too: a headless cartridge has no keys to press.
#include "cpu/cpu.h"
#include "core/bus.h"
#include "support/fixtures.h"

namespace {

// Runs one step (a request or an instruction) and returns the cycles charged.
int step(Console& c) {
  c.cycle_budget = 1;
  cpu_execute(c);
  return static_cast<int>((1 - c.cycle_budget) / ticks_per_cpu_cycle);
}

TEST(CpuRunLoop, TimeAndRequests) {
  TestConsole t;  // NOPs from $8003 on
  Console& c = t.console;
  t.board->place(0x8000, {0xEA, 0xEA, 0xEA});
  c.cycle_budget = -100;
  c.apu_cycles = 0;
  cpu_run(c, 1);  // nothing runs, the APU is owed a third of a cycle
  EXPECT_EQ(c.pc, 0x8000);
  EXPECT_FLOAT_EQ(c.cycle_budget, -84);
  EXPECT_FLOAT_EQ(c.apu_cycles, 1.0f / 3.0f);
  c.cycle_budget = 0;
  cpu_run(c, 3);  // one 2-cycle NOP; its debt is carried
  EXPECT_EQ(c.pc, 0x8001);
  EXPECT_FLOAT_EQ(c.cycle_budget, -48);

  t.board->place(0xFFFA, {0x00, 0x90, 0x00, 0x80, 0x00, 0xA0});
  c.p = 0x20;
  c.reset_pending = c.nmi_pending = c.irq_pending = 1;
  EXPECT_EQ(step(c), 7);
  EXPECT_EQ(c.pc, 0x8000);
  EXPECT_EQ(step(c), 7);
  EXPECT_EQ(c.pc, 0x9000);
  EXPECT_EQ(c.memory[0x1FD], 0x20) << "P pushed with B clear";
  EXPECT_EQ(step(c), 7);
  EXPECT_EQ(c.pc, 0xA000);
  // An interrupt taken at the end of a call pushes the next instruction out.
  c.nmi_pending = 1;
  c.cycle_budget = 0;
  cpu_run(c, 1);
  EXPECT_FLOAT_EQ(c.cycle_budget, 16 - 7 * 48);
}

// Undocumented opcodes are one-byte no-ops of their base cost.
TEST(CpuRunLoop, UndocumentedOpcodesAreOneByteNoOps) {
  TestConsole t;
  t.board->place(0x8000, {0x04, 0xE8, 0x02, 0xFF});
  EXPECT_EQ(step(t.console), 3);
  EXPECT_EQ(step(t.console), 2);  // INX
  EXPECT_EQ(t.console.x, 1);
  EXPECT_EQ(step(t.console), 2);  // $02 does not halt
  EXPECT_EQ(step(t.console), 7);
  EXPECT_EQ(t.console.pc, 0x8004);
}

// The controller port: a write with bit 0 set latches the keys held at that
// moment; eight reads give A, B, Select, Start, Up, Down, Left, Right, and
// later reads 0.
TEST(ControllerPort, LatchesThenShiftsInZeros) {
  ScriptPlatform keys;
  TestConsole t;
  t.console.platform = &keys;
  keys.held = {vk_space, vk_right};
  bus_write(t.console, 0x4016, 1);
  keys.held = {vk_x};  // pressed after the latch: seen at the next one
  bus_write(t.console, 0x4016, 0);
  std::vector<int> bits;
  for (int i = 0; i < 10; i++)
    bits.push_back(bus_read(t.console, 0x4016) & 1);
  EXPECT_EQ(bits, (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 1, 0, 0}));
}

}  // namespace
