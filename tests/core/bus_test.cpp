// CPU address decoding, mirrors, sprite DMA and the controller port.
#include <gtest/gtest.h>

#include <set>

#include "audio/apu.h"
#include "core/bus.h"
#include "core/controller.h"
#include "platform/platform.h"
#include "ppu/ppu.h"
#include "support/test_console.h"

namespace {

TEST(Bus, WorkRamIsMirroredFourTimes) {
  auto c = make_test_console();
  bus_write(*c, 0x0000, 0x5A);
  EXPECT_EQ(bus_read(*c, 0x0800), 0x5A);
  EXPECT_EQ(bus_read(*c, 0x1000), 0x5A);
  EXPECT_EQ(bus_read(*c, 0x1800), 0x5A);
  bus_write(*c, 0x1FFF, 0xA5);
  EXPECT_EQ(c->memory[0x07FF], 0xA5);
  EXPECT_EQ(c->memory[0x1FFF], 0) << "the mirror range itself is never stored";
}

TEST(Bus, PpuRegistersRepeatEveryEightBytes) {
  auto c = make_test_console();
  bus_write(*c, 0x2008, 0x80);
  EXPECT_EQ(c->ppu->ctrl, 0x80);
  bus_write(*c, 0x3FF9, 0x1E);
  EXPECT_EQ(c->ppu->mask, 0x1E);
  c->ppu->status = 0xE0;
  EXPECT_EQ(bus_read(*c, 0x3FFA), 0xE0);
  EXPECT_EQ(c->ppu->status, 0x60) << "the read went to $2002 and cleared bit 7";
}

TEST(Bus, ApuRegistersReadZeroAndWritesDoNotStick) {
  auto c = make_test_console();
  for (u16 address = 0x4000; address <= 0x4014; address++)
    EXPECT_EQ(bus_read(*c, address), 0) << address;
  bus_write(*c, 0x4000, 0xBF);
  bus_write(*c, 0x4011, 0x7F);
  EXPECT_EQ(bus_read(*c, 0x4000), 0);
  EXPECT_EQ(bus_read(*c, 0x4011), 0);
  EXPECT_EQ(c->apu->pulse1_reg[0], 0xBF) << "the write reached the APU";
}

TEST(Bus, SecondControllerPortReadsZeroAndItsWritesGoToTheApu) {
  auto c = make_test_console();
  bus_write(*c, 0x4017, 0xC0);
  EXPECT_EQ(c->apu->frame_reg, 0xC0);
  EXPECT_EQ(bus_read(*c, 0x4017), 0);
}

TEST(Bus, PlainMemoryAndBatteryRamBelowTheCartridge) {
  test_mapper* board = nullptr;
  auto c = make_test_console(&board);
  std::vector<u8> before = board->prg;
  bus_write(*c, 0x5000, 0x12);
  bus_write(*c, 0x6000, 0x34);
  bus_write(*c, 0x7FFF, 0x56);
  EXPECT_EQ(bus_read(*c, 0x5000), 0x12);
  EXPECT_EQ(bus_read(*c, 0x6000), 0x34);
  EXPECT_EQ(bus_read(*c, 0x7FFF), 0x56);
  EXPECT_EQ(board->prg, before) << "the board never sees $4018-$7FFF";
}

TEST(Bus, CartridgeSpaceGoesToTheBoard) {
  test_mapper* board = nullptr;
  auto c = make_test_console(&board);
  bus_write(*c, 0x8123, 0x77);
  EXPECT_EQ(board->prg[0x123], 0x77);
  EXPECT_EQ(bus_read(*c, 0x8123), 0x77);
  EXPECT_EQ(c->memory[0x8123], 0);
}

TEST(SpriteDma, CopiesThePageStartingAtTheSpriteAddressAndWraps) {
  auto c = make_test_console();
  for (int i = 0; i < 256; i++)
    c->memory[0x0200 + i] = static_cast<u8>(i);
  c->ppu->oam_addr = 0x10;
  c->cycle_budget = 0;
  bus_write(*c, 0x4014, 0x02);
  EXPECT_EQ(c->ppu->oam[0x10], 0x00);
  EXPECT_EQ(c->ppu->oam[0xFF], 0xEF);
  EXPECT_EQ(c->ppu->oam[0x00], 0xF0);
  EXPECT_EQ(c->ppu->oam[0x0F], 0xFF);
  EXPECT_EQ(c->ppu->oam_addr, 0x10);
  EXPECT_FLOAT_EQ(c->cycle_budget, -512) << "the stall is charged at the write";
}

TEST(SpriteDma, ReadsTheMemoryArrayNotTheBus) {
  auto c = make_test_console();
  c->memory[0x0000] = 0x99;  // would be visible through the $0800 mirror
  for (int i = 0; i < 256; i++)
    c->ppu->oam[i] = 0xAA;
  bus_write(*c, 0x4014, 0x08);
  EXPECT_EQ(c->ppu->oam[0], 0);
  for (int i = 0; i < 256; i++)
    c->ppu->oam[i] = 0xAA;
  bus_write(*c, 0x4014, 0xFF);  // the last page of the array: zeros, not the cartridge
  std::set<u8> values(c->ppu->oam.get(), c->ppu->oam.get() + 256);
  EXPECT_EQ(values, std::set<u8>{0});
}

class KeyboardPlatform : public NullPlatform {
 public:
  std::set<int> held;
  u8 pad = 0;  // buttons held on a gamepad
  bool key_down(int key) override { return held.count(key) != 0; }
  u8 pad_buttons() override { return pad; }
};

std::vector<int> read_bits(Console& c, int count) {
  std::vector<int> bits;
  for (int i = 0; i < count; i++)
    bits.push_back(bus_read(c, 0x4016));
  return bits;
}

TEST(Controller, LatchesTheKeysOnAWriteOfOne) {
  auto c = make_test_console();
  KeyboardPlatform keys;
  c->platform = &keys;
  keys.held = {vk_space, vk_right};
  bus_write(*c, 0x4016, 1);
  bus_write(*c, 0x4016, 0);
  EXPECT_EQ(read_bits(*c, 8), (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(read_bits(*c, 3), (std::vector<int>{0, 0, 0})) << "later reads give 0";
}

TEST(Controller, EachKeyMapsToItsButton) {
  const int keys_in_order[8] = {vk_space, vk_x, vk_shift, vk_return, vk_up, vk_down, vk_left, vk_right};
  for (int bit = 0; bit < 8; bit++) {
    auto c = make_test_console();
    KeyboardPlatform keys;
    c->platform = &keys;
    keys.held = {keys_in_order[bit]};
    bus_write(*c, 0x4016, 1);
    EXPECT_EQ(c->pad_shift, 1 << bit) << bit;
  }
}

TEST(Controller, AButtonIsHeldWhenTheKeyOrTheGamepadHoldsIt) {
  auto c = make_test_console();
  KeyboardPlatform keys;
  c->platform = &keys;
  keys.held = {vk_space, vk_up};  // A and Up from the keyboard
  keys.pad = 0x01 | 0x08 | 0x80;  // A, Start and Right from the pad
  bus_write(*c, 0x4016, 1);
  EXPECT_EQ(c->pad_shift, 0x01 | 0x08 | 0x10 | 0x80);
  keys.pad = 0x20;  // pressed after the latch: seen at the next one
  EXPECT_EQ(c->pad_shift, 0x01 | 0x08 | 0x10 | 0x80);
  bus_write(*c, 0x4016, 1);
  EXPECT_EQ(c->pad_shift, 0x01 | 0x10 | 0x20);
}

TEST(Controller, KeysPressedAfterTheLatchWaitForTheNextOne) {
  auto c = make_test_console();
  KeyboardPlatform keys;
  c->platform = &keys;
  bus_write(*c, 0x4016, 1);
  keys.held = {vk_space};
  bus_write(*c, 0x4016, 0);  // a write of 0 does not latch
  EXPECT_EQ(bus_read(*c, 0x4016), 0);
  bus_write(*c, 0x4016, 3);  // bit 0 set latches, the other bits are ignored
  EXPECT_EQ(bus_read(*c, 0x4016), 1);
}

TEST(Controller, ReadsShiftEvenWhileTheStrobeIsHigh) {
  auto c = make_test_console();
  KeyboardPlatform keys;
  c->platform = &keys;
  keys.held = {vk_space, vk_x};
  bus_write(*c, 0x4016, 1);
  EXPECT_EQ(read_bits(*c, 3), (std::vector<int>{1, 1, 0}));
}

}  // namespace
