// What the instructions do: addressing-mode wrap rules, flags and costs.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "cpu/cpu.h"
#include "ppu/ppu.h"
#include "support/test_console.h"

namespace {

int step(Console& c) {
  c.cycle_budget = 1;
  cpu_execute(c);
  return static_cast<int>((1 - c.cycle_budget) / ticks_per_cpu_cycle);
}

struct Case {
  std::string name;
  std::vector<u8> code;                       // placed at $8000
  std::function<void(Console&)> setup;        // registers and memory before
  std::function<void(const Console&)> check;  // after one instruction
  int cycles;
};

void run_case(const Case& test) {
  SCOPED_TRACE(test.name);
  auto c = make_test_console();
  step(*c);  // reset to $8000
  place_code(*c, 0x8000, test.code);
  if (test.setup)
    test.setup(*c);
  EXPECT_EQ(step(*c), test.cycles);
  test.check(*c);
}

TEST(Instructions, AddressingModesWrapAsTheHardwareDoes) {
  const Case cases[] = {
      {"LDA $80,X wraps in page zero",
       {0xB5, 0x80},
       [](Console& c) { c.x = 0x90, c.memory[0x10] = 0x5A; },
       [](const Console& c) { EXPECT_EQ(c.a, 0x5A); },
       4},
      {"ASL $F0,X writes within page zero",
       {0x16, 0xF0},
       [](Console& c) { c.x = 0x20, c.memory[0x10] = 0x41; },
       [](const Console& c) {
         EXPECT_EQ(c.memory[0x10], 0x82);
         EXPECT_EQ(c.memory[0x110], 0);
       },
       6},
      {"INC $FF,X reaches $0000",
       {0xF6, 0xFF},
       [](Console& c) { c.x = 1, c.memory[0x00] = 7; },
       [](const Console& c) { EXPECT_EQ(c.memory[0x00], 8); },
       6},
      {"LDX $F0,Y wraps in page zero",
       {0xB6, 0xF0},
       [](Console& c) { c.y = 0x11, c.memory[0x01] = 0x33; },
       [](const Console& c) { EXPECT_EQ(c.x, 0x33); },
       4},
      {"LDA ($FF,X) takes its high byte from $0000",
       {0xA1, 0xFF},
       [](Console& c) { c.x = 0, c.memory[0xFF] = 0x34, c.memory[0x00] = 0x02, c.memory[0x234] = 0x77; },
       [](const Console& c) { EXPECT_EQ(c.a, 0x77); },
       6},
      {"LDA ($FF),Y takes its pointer from $00FF and $0000",
       {0xB1, 0xFF},
       [](Console& c) { c.y = 1, c.memory[0xFF] = 0x33, c.memory[0x00] = 0x02, c.memory[0x234] = 0x66; },
       [](const Console& c) { EXPECT_EQ(c.a, 0x66); },
       5},
      {"LDA $FFFF,X wraps to $0001 with no extra cycle",
       {0xBD, 0xFF, 0xFF},
       [](Console& c) { c.x = 2, c.memory[0x01] = 0x99; },
       [](const Console& c) { EXPECT_EQ(c.a, 0x99); },
       4},
      {"LDA $00F0,Y crosses a page with no extra cycle",
       {0xB9, 0xF0, 0x00},
       [](Console& c) { c.y = 0x20, c.memory[0x110] = 0x12; },
       [](const Console& c) { EXPECT_EQ(c.a, 0x12); },
       4},
      {"STA $0700,X mirrors into work RAM",
       {0x9D, 0x00, 0x17},
       [](Console& c) { c.x = 0xFF, c.a = 0xAB; },
       [](const Console& c) { EXPECT_EQ(c.memory[0x7FF], 0xAB); },
       5},
  };
  for (const Case& test : cases)
    run_case(test);
}

TEST(Instructions, JumpIndirectTakesItsHighByteFromTheSamePage) {
  auto c = make_test_console();
  step(*c);
  place_code(*c, 0x8000, {0x6C, 0xFF, 0x10});
  c->memory[0x10FF] = 0x00;  // $10FF mirrors $00FF
  c->memory[0x00FF] = 0x34;
  c->memory[0x0000] = 0x12;  // $1000 mirrors $0000
  c->memory[0x0100] = 0x56;  // would be the high byte without the page wrap
  EXPECT_EQ(step(*c), 5);
  EXPECT_EQ(c->pc, 0x1234);
}

TEST(Instructions, ArithmeticAndFlags) {
  const Case cases[] = {
      {"ADC $50+$50 overflows into N",
       {0x69, 0x50},
       [](Console& c) { c.a = 0x50, c.p = 0x20; },
       [](const Console& c) {
         EXPECT_EQ(c.a, 0xA0);
         EXPECT_EQ(c.p, 0x20 | flag_v | flag_n);
       },
       2},
      {"ADC carries out and in",
       {0x69, 0x01},
       [](Console& c) { c.a = 0xFF, c.p = 0x20 | flag_c; },
       [](const Console& c) {
         EXPECT_EQ(c.a, 0x01);
         EXPECT_EQ(c.p, 0x20 | flag_c);
       },
       2},
      {"ADC ignores decimal mode",
       {0x69, 0x19},
       [](Console& c) { c.a = 0x19, c.p = 0x20 | flag_d; },
       [](const Console& c) {
         EXPECT_EQ(c.a, 0x32);
         EXPECT_EQ(c.p, 0x20 | flag_d);
       },
       2},
      {"SBC $50-$B0 borrows and overflows",
       {0xE9, 0xB0},
       [](Console& c) { c.a = 0x50, c.p = 0x20 | flag_c; },
       [](const Console& c) {
         EXPECT_EQ(c.a, 0xA0);
         EXPECT_EQ(c.p, 0x20 | flag_v | flag_n);
       },
       2},
      {"SBC without borrow keeps C",
       {0xE9, 0x10},
       [](Console& c) { c.a = 0x10, c.p = 0x20 | flag_c; },
       [](const Console& c) {
         EXPECT_EQ(c.a, 0x00);
         EXPECT_EQ(c.p, 0x20 | flag_c | flag_z);
       },
       2},
      {"SBC with carry clear subtracts one more",
       {0xE9, 0x01},
       [](Console& c) { c.a = 0x05, c.p = 0x20; },
       [](const Console& c) {
         EXPECT_EQ(c.a, 0x03);
         EXPECT_EQ(c.p, 0x20 | flag_c);
       },
       2},
      {"CMP $10 with $20 sets N only",
       {0xC9, 0x20},
       [](Console& c) { c.a = 0x10, c.p = 0x20 | flag_c | flag_z; },
       [](const Console& c) {
         EXPECT_EQ(c.a, 0x10);
         EXPECT_EQ(c.p, 0x20 | flag_n);
       },
       2},
      {"CPX equal sets Z and C",
       {0xE0, 0x42},
       [](Console& c) { c.x = 0x42, c.p = 0x20; },
       [](const Console& c) { EXPECT_EQ(c.p, 0x20 | flag_z | flag_c); },
       2},
      {"BIT copies bits 7 and 6 and tests A AND M",
       {0x24, 0x10},
       [](Console& c) { c.a = 0x01, c.p = 0x20, c.memory[0x10] = 0xC0; },
       [](const Console& c) { EXPECT_EQ(c.p, 0x20 | flag_n | flag_v | flag_z); },
       3},
      {"LSR A shifts bit 0 into C and clears N",
       {0x4A},
       [](Console& c) { c.a = 0x81, c.p = 0x20 | flag_n; },
       [](const Console& c) {
         EXPECT_EQ(c.a, 0x40);
         EXPECT_EQ(c.p, 0x20 | flag_c);
       },
       2},
      {"ROL A brings the old carry into bit 0",
       {0x2A},
       [](Console& c) { c.a = 0x80, c.p = 0x20 | flag_c; },
       [](const Console& c) {
         EXPECT_EQ(c.a, 0x01);
         EXPECT_EQ(c.p, 0x20 | flag_c);
       },
       2},
      {"ROR zp brings the old carry into bit 7",
       {0x66, 0x10},
       [](Console& c) { c.p = 0x20 | flag_c, c.memory[0x10] = 0x02; },
       [](const Console& c) {
         EXPECT_EQ(c.memory[0x10], 0x81);
         EXPECT_EQ(c.p, 0x20 | flag_n);
       },
       5},
      {"DEC wraps to $FF",
       {0xC6, 0x10},
       [](Console& c) { c.p = 0x20, c.memory[0x10] = 0x00; },
       [](const Console& c) {
         EXPECT_EQ(c.memory[0x10], 0xFF);
         EXPECT_EQ(c.p, 0x20 | flag_n);
       },
       5},
      {"EOR sets Z",
       {0x49, 0xFF},
       [](Console& c) { c.a = 0xFF, c.p = 0x20; },
       [](const Console& c) {
         EXPECT_EQ(c.a, 0x00);
         EXPECT_EQ(c.p, 0x20 | flag_z);
       },
       2},
  };
  for (const Case& test : cases)
    run_case(test);
}

TEST(Instructions, BranchesCostThreeWhenTakenTwoWhenNot) {
  const Case cases[] = {
      {"BNE taken",
       {0xD0, 0x10},
       [](Console& c) { c.p = 0x20; },
       [](const Console& c) { EXPECT_EQ(c.pc, 0x8012); },
       3},
      {"BNE not taken",
       {0xD0, 0x10},
       [](Console& c) { c.p = 0x20 | flag_z; },
       [](const Console& c) { EXPECT_EQ(c.pc, 0x8002); },
       2},
      {"BNE taken backwards into another page",
       {0xD0, 0x80},
       [](Console& c) { c.p = 0x20; },
       [](const Console& c) { EXPECT_EQ(c.pc, 0x7F82); },
       3},
      {"BMI taken",
       {0x30, 0x02},
       [](Console& c) { c.p = 0x20 | flag_n; },
       [](const Console& c) { EXPECT_EQ(c.pc, 0x8004); },
       3},
      {"BVS not taken",
       {0x70, 0x02},
       [](Console& c) { c.p = 0x20; },
       [](const Console& c) { EXPECT_EQ(c.pc, 0x8002); },
       2},
      {"BCS taken",
       {0xB0, 0xFE},
       [](Console& c) { c.p = 0x20 | flag_c; },
       [](const Console& c) { EXPECT_EQ(c.pc, 0x8000); },
       3},
  };
  for (const Case& test : cases)
    run_case(test);
}

TEST(Instructions, StackInstructionsKeepTheirBitsAsDescribed) {
  const Case cases[] = {
      {"PHP pushes B and bit 5 set",
       {0x08},
       [](Console& c) { c.p = 0x24, c.s = 0xFF; },
       [](const Console& c) {
         EXPECT_EQ(c.memory[0x1FF], 0x34);
         EXPECT_EQ(c.p, 0x24);
       },
       3},
      {"PLP keeps all eight bits as pulled",
       {0x28},
       [](Console& c) { c.s = 0xFE, c.memory[0x1FF] = 0x00; },
       [](const Console& c) { EXPECT_EQ(c.p, 0x00); },
       4},
      {"RTI stores p with B clear and bit 5 set, pc without +1",
       {0x40},
       [](Console& c) { c.s = 0xFC, c.memory[0x1FD] = 0x00, c.memory[0x1FE] = 0x34, c.memory[0x1FF] = 0x92; },
       [](const Console& c) {
         EXPECT_EQ(c.p, 0x20);
         EXPECT_EQ(c.pc, 0x9234);
       },
       6},
      {"PLA sets N and Z",
       {0x68},
       [](Console& c) { c.s = 0xFE, c.p = 0x20, c.memory[0x1FF] = 0x80; },
       [](const Console& c) {
         EXPECT_EQ(c.a, 0x80);
         EXPECT_EQ(c.p, 0x20 | flag_n);
       },
       4},
      {"TXS changes no flag",
       {0x9A},
       [](Console& c) { c.x = 0, c.p = 0x20; },
       [](const Console& c) {
         EXPECT_EQ(c.s, 0);
         EXPECT_EQ(c.p, 0x20);
       },
       2},
      {"TSX sets N",
       {0xBA},
       [](Console& c) { c.s = 0x80, c.p = 0x20; },
       [](const Console& c) {
         EXPECT_EQ(c.x, 0x80);
         EXPECT_EQ(c.p, 0x20 | flag_n);
       },
       2},
  };
  for (const Case& test : cases)
    run_case(test);
}

TEST(Instructions, JsrPushesItsLastOperandByteAndRtsReturnsPastIt) {
  auto c = make_test_console();
  step(*c);
  place_code(*c, 0x8000, {0x20, 0x00, 0x90});
  place_code(*c, 0x9000, {0x60});
  c->s = 0xFF;
  EXPECT_EQ(step(*c), 6);
  EXPECT_EQ(c->memory[0x1FF], 0x80);
  EXPECT_EQ(c->memory[0x1FE], 0x02);
  EXPECT_EQ(c->pc, 0x9000);
  EXPECT_EQ(step(*c), 6);
  EXPECT_EQ(c->pc, 0x8003);
  EXPECT_EQ(c->s, 0xFF);
}

TEST(Instructions, ReadModifyWriteTouchesThePpuDataPortOnceEach) {
  auto c = make_test_console();
  step(*c);
  // Point the PPU at $2000 and leave $11 in its read buffer's next byte.
  c->ppu->vram_addr = 0x2000;
  c->ppu->vram[0x2000] = 0x11;
  c->ppu->read_buffer = 0x40;
  place_code(*c, 0x8000, {0xEE, 0x07, 0x20});  // INC $2007
  EXPECT_EQ(step(*c), 6);
  // The read returned the old buffer ($40) and advanced to $2001; the write
  // stored $41 there and advanced to $2002.
  EXPECT_EQ(c->ppu->vram_addr, 0x2002);
  EXPECT_EQ(c->ppu->vram[0x2001], 0x41);
  EXPECT_EQ(c->ppu->read_buffer, 0x11);
}

}  // namespace
