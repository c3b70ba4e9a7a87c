// The PPU's CPU-visible registers, video memory folding and save block.
#include <gtest/gtest.h>

#include "core/state_io.h"
#include "ppu_test_support.h"

namespace {

TEST(PpuCreate, StartsWithClearRegistersEmptySlotsAndTheColourTable) {
  TestConsole t;
  Ppu& ppu = t.ppu();
  EXPECT_EQ(ppu.ctrl, 0);
  EXPECT_EQ(ppu.mask, 0);
  EXPECT_EQ(ppu.status, 0);
  EXPECT_EQ(ppu.vram_addr, 0);
  EXPECT_EQ(ppu.frame_counter, 0u);
  for (const SpriteSlot& slot : ppu.sprite_slots) {
    EXPECT_EQ(slot.oam_index, 255);
  }
  for (int i = 0; i < vram_bytes; ++i) {
    ASSERT_EQ(ppu.vram[i], 0) << i;
  }
  EXPECT_EQ(ppu.palette_rgb[0x16][0], 0xDB);
  EXPECT_EQ(ppu.palette_rgb[0x16][1], 0x2B);
  EXPECT_EQ(ppu.palette_rgb[0x2B][2], 0x98);
  EXPECT_EQ(ppu.palette_rgb[0x30][0], 0xFF);
  ppu_free(ppu);
  EXPECT_EQ(ppu.vram, nullptr);
  EXPECT_EQ(ppu.frame_buffer, nullptr);
}

TEST(PpuPalette, BackdropWriteReachesAllEightColourZeroEntries) {
  TestConsole t;
  t.set_address(0x3F10);
  t.write(0x2007, 0x0F);
  for (int i = 0; i < 32; i += 4) {
    EXPECT_EQ(t.ppu().vram[0x3F00 + i], 0x0F) << i;
  }
  t.set_address(0x3F14);
  t.write(0x2007, 0x20);
  for (int i = 0; i < 32; i += 4) {
    EXPECT_EQ(t.ppu().vram[0x3F00 + i], 0x0F) << i;
  }
  // The ignored write still advances the address.
  EXPECT_EQ(t.ppu().vram_addr, 0x3F15);
}

TEST(PpuPalette, OtherEntriesAndMirrorsAboveThePaletteAreStored) {
  TestConsole t;
  t.set_address(0x3F25);  // folds onto $3F05
  t.write(0x2007, 0x2A);
  EXPECT_EQ(t.ppu().vram[0x3F05], 0x2A);
  t.set_address(0x3FE0);  // folds onto the backdrop
  t.write(0x2007, 0x11);
  EXPECT_EQ(t.ppu().vram[0x3F1C], 0x11);
}

TEST(PpuData, PaletteReadIsImmediateAndBuffersTheNametableBelow) {
  TestConsole t(mirroring_horizontal);
  t.vram_at(0x2F01) = 0x77;  // horizontal: $2F01 is $2701 of block $2400
  ASSERT_EQ(t.ppu().vram[0x2701], 0x77);
  t.set_palette(1, 0x21);
  t.set_address(0x3F01);
  EXPECT_EQ(t.read(0x2007), 0x21);
  EXPECT_EQ(t.ppu().read_buffer, 0x77);
  t.set_address(0x2000);
  EXPECT_EQ(t.read(0x2007), 0x77);
}

TEST(PpuData, ReadsAreDelayedByOneThroughTheBuffer) {
  TestConsole t;
  t.ppu().read_buffer = 0x99;
  t.ppu().vram[0x2000] = 0x12;
  t.ppu().vram[0x2001] = 0x34;
  t.set_address(0x2000);
  EXPECT_EQ(t.read(0x2007), 0x99);
  EXPECT_EQ(t.read(0x2007), 0x12);
  EXPECT_EQ(t.read(0x2007), 0x34);
}

TEST(PpuData, PatternWritesGoToVideoMemoryAndReadsGoThroughTheBoard) {
  TestConsole t;
  t.board->chr[0x0123] = 0xAB;
  t.set_address(0x0123);
  t.write(0x2007, 0x5C);
  EXPECT_EQ(t.ppu().vram[0x0123], 0x5C);
  EXPECT_EQ(t.board->chr[0x0123], 0xAB);
  t.board->fetches.clear();
  t.set_address(0x0123);
  t.read(0x2007);
  EXPECT_EQ(t.read(0x2007), 0xAB);
  ASSERT_GE(t.board->fetches.size(), 1u);
  EXPECT_EQ(t.board->fetches[0], 0x0123);
}

TEST(PpuData, AddressStepFollowsControlBitTwo) {
  TestConsole t;
  t.set_address(0x2000);
  t.write(0x2007, 1);
  t.read(0x2007);
  EXPECT_EQ(t.ppu().vram_addr, 0x2002);
  t.write(0x2000, 0x04);
  t.write(0x2007, 1);
  t.read(0x2007);
  EXPECT_EQ(t.ppu().vram_addr, 0x2042);
}

TEST(PpuData, AddressCountsOnPastTheTopOfVideoMemory) {
  TestConsole t;
  t.ppu().vram_addr = 0x3FFF;
  t.write(0x2007, 0x01);
  EXPECT_EQ(t.ppu().vram_addr, 0x4000);
  t.write(0x2007, 0x02);  // $4000 folds onto $0000
  EXPECT_EQ(t.ppu().vram[0x0000], 0x02);
}

struct MirrorCase {
  int mirroring;
  u16 written;
  u16 read_back;
};

TEST(PpuData, NametableWritesAreReadBackThroughTheirMirror) {
  const MirrorCase cases[] = {
      {mirroring_vertical, 0x2800, 0x2000},     {mirroring_vertical, 0x2C05, 0x2405},
      {mirroring_horizontal, 0x2400, 0x2000},   {mirroring_horizontal, 0x2C00, 0x2800},
      {mirroring_single_lower, 0x2C10, 0x2010}, {mirroring_single_upper, 0x2010, 0x2810},
      {mirroring_vertical, 0x3005, 0x2005},     {mirroring_horizontal, 0x3EFF, 0x2AFF},
  };
  for (const MirrorCase& c : cases) {
    TestConsole t(c.mirroring);
    t.set_address(c.written);
    t.write(0x2007, 0xC3);
    t.set_address(c.read_back);
    t.read(0x2007);
    EXPECT_EQ(t.read(0x2007), 0xC3) << std::hex << c.written << " " << c.read_back;
  }
}

struct FoldCase {
  int mirroring;
  u16 address;
  u16 folded;
};

TEST(PpuMapAddress, FoldsEveryRegionOfTheAddressSpace) {
  const FoldCase cases[] = {
      {mirroring_vertical, 0x0000, 0x0000},     {mirroring_vertical, 0x1FFF, 0x1FFF},
      {mirroring_vertical, 0x4123, 0x0123},     {mirroring_vertical, 0x2000, 0x2000},
      {mirroring_vertical, 0x27FF, 0x27FF},     {mirroring_vertical, 0x2800, 0x2000},
      {mirroring_vertical, 0x2FFF, 0x27FF},     {mirroring_horizontal, 0x23FF, 0x23FF},
      {mirroring_horizontal, 0x2400, 0x2000},   {mirroring_horizontal, 0x27FF, 0x23FF},
      {mirroring_horizontal, 0x2800, 0x2400},   {mirroring_horizontal, 0x2FFF, 0x27FF},
      {mirroring_single_lower, 0x2765, 0x2365}, {mirroring_single_lower, 0x2C01, 0x2001},
      {mirroring_single_upper, 0x2001, 0x2401}, {mirroring_single_upper, 0x2FFF, 0x27FF},
      {mirroring_vertical, 0x3000, 0x2000},     {mirroring_vertical, 0x3EFF, 0x26FF},
      {mirroring_vertical, 0x3F00, 0x3F00},     {mirroring_vertical, 0x3F1F, 0x3F1F},
      {mirroring_vertical, 0x3F20, 0x3F00},     {mirroring_vertical, 0x3FFF, 0x3F1F},
      {mirroring_vertical, 0xFF05, 0x3F05},     {7, 0x2C44, 0x2C44},
  };
  for (const FoldCase& c : cases) {
    TestConsole t(c.mirroring < 4 ? c.mirroring : 0);
    t.board->mirroring = c.mirroring;
    EXPECT_EQ(ppu_map_address(t.ppu(), c.address), c.folded)
        << "mirroring " << c.mirroring << " address " << std::hex << c.address;
  }
}

TEST(PpuStatus, ReadClearsOnlyVblankAndResetsTheWriteToggle) {
  TestConsole t;
  t.ppu().status = 0xE0;
  t.write(0x2005, 0x08);  // first write: toggle now 1
  EXPECT_EQ(t.read(0x2002), 0xE0);
  EXPECT_EQ(t.ppu().status, 0x60);
  EXPECT_EQ(t.ppu().status_read_flag, 1u);
  EXPECT_EQ(t.ppu().write_toggle, 0u);
  t.write(0x2005, 0x15);  // a first write again: fine X
  EXPECT_EQ(t.ppu().fine_x, 5);
  EXPECT_EQ(t.read(0x2002), 0x60);
}

TEST(PpuStatus, WriteOnlyRegistersReadAsZeroWithoutSideEffects) {
  TestConsole t;
  t.write(0x2000, 0xFF);
  t.write(0x2001, 0xFF);
  t.write(0x2003, 0x40);
  t.write(0x2005, 0x10);
  const Ppu before = [&] {
    Ppu copy;
    copy.write_toggle = t.ppu().write_toggle;
    copy.oam_addr = t.ppu().oam_addr;
    copy.vram_addr = t.ppu().vram_addr;
    return copy;
  }();
  for (u16 address : {0x2000, 0x2001, 0x2003, 0x2005, 0x2006}) {
    EXPECT_EQ(t.read(address), 0) << std::hex << address;
  }
  EXPECT_EQ(t.ppu().write_toggle, before.write_toggle);
  EXPECT_EQ(t.ppu().oam_addr, before.oam_addr);
  EXPECT_EQ(t.ppu().vram_addr, before.vram_addr);
  t.write(0x2002, 0xFF);
  EXPECT_EQ(t.ppu().status, 0);
}

TEST(PpuOam, AttributeBytesReadWithoutTheirMissingBits) {
  TestConsole t;
  t.write(0x2003, 0x02);
  t.write(0x2004, 0xFF);
  EXPECT_EQ(t.ppu().oam_addr, 0x03);
  t.write(0x2003, 0x02);
  EXPECT_EQ(t.read(0x2004), 0xE3);
  EXPECT_EQ(t.read(0x2004), 0xE3);
  EXPECT_EQ(t.ppu().oam_addr, 0x02);
  t.ppu().oam[0x41] = 0xFF;  // a tile byte keeps all its bits
  t.write(0x2003, 0x41);
  EXPECT_EQ(t.read(0x2004), 0xFF);
}

TEST(PpuOam, WritesWrapFromTheLastByteToTheFirst) {
  TestConsole t;
  t.write(0x2003, 0xFF);
  t.write(0x2004, 0x11);
  t.write(0x2004, 0x22);
  EXPECT_EQ(t.ppu().oam[0xFF], 0x11);
  EXPECT_EQ(t.ppu().oam[0x00], 0x22);
  EXPECT_EQ(t.ppu().oam_addr, 0x01);
}

// Register writes and the scroll latch bits they set, from a known latch.
struct LatchCase {
  const char* what;
  u16 temp_before;
  u32 toggle_before;
  u16 register_address;
  u8 value;
  u16 temp_after;
  u8 fine_x_after;
};

TEST(PpuScrollLatch, WritesSetTheirBitsOfTheTemporaryAddress) {
  const LatchCase cases[] = {
      {"$2000 nametable bits", 0x7FFF, 0, 0x2000, 0x01, 0x77FF, 0},
      {"$2000 second vertical nametable", 0x0000, 1, 0x2000, 0xFE, 0x0800, 0},
      {"$2005 first: coarse and fine X", 0x7FFF, 0, 0x2005, 0x7D, 0x7FEF, 5},
      {"$2005 second: coarse and fine Y", 0x0C1F, 1, 0x2005, 0x5E, 0x6D7F, 0},
      {"$2006 first: high six bits, bit 14 cleared", 0x40FF, 0, 0x2006, 0xFF, 0x3FFF, 0},
      {"$2006 first keeps bit 15", 0x80AB, 0, 0x2006, 0x21, 0xA1AB, 0},
      {"$2006 second: low byte", 0x2155, 1, 0x2006, 0xC8, 0x21C8, 0},
  };
  for (const LatchCase& c : cases) {
    TestConsole t;
    t.ppu().temp_addr = c.temp_before;
    t.ppu().write_toggle = c.toggle_before;
    t.write(c.register_address, c.value);
    EXPECT_EQ(t.ppu().temp_addr, c.temp_after) << c.what;
    EXPECT_EQ(t.ppu().fine_x, c.fine_x_after) << c.what;
  }
}

TEST(PpuScrollLatch, SecondAddressWriteLoadsTheCurrentAddress) {
  TestConsole t;
  t.write(0x2006, 0x23);
  EXPECT_EQ(t.ppu().vram_addr, 0);
  EXPECT_EQ(t.ppu().write_toggle, 1u);
  t.write(0x2006, 0x45);
  EXPECT_EQ(t.ppu().vram_addr, 0x2345);
  EXPECT_EQ(t.ppu().write_toggle, 0u);
  // $2005 and $2006 share the toggle.
  t.write(0x2005, 0x00);
  t.write(0x2006, 0x12);
  EXPECT_EQ(t.ppu().vram_addr, 0x2312);
}

TEST(PpuNmi, ControlWriteInTheWindowSuppressesOnlyWithMaskBitSeven) {
  struct Case {
    u32 window;
    u8 mask;
    u32 suppressed;
  };
  const Case cases[] = {{1, 0x80, 1}, {1, 0x1E, 0}, {0, 0x80, 0}};
  for (const Case& c : cases) {
    TestConsole t;
    t.ppu().nmi_window = c.window;
    t.ppu().mask = c.mask;
    t.write(0x2000, 0x00);
    EXPECT_EQ(t.ppu().nmi_suppressed, c.suppressed) << c.window << " " << int{c.mask};
  }
}

void fill_distinct(TestConsole& t) {
  Ppu& ppu = t.ppu();
  ppu.ctrl = 0x81;
  ppu.mask = 0x1E;
  ppu.status = 0xC0;
  ppu.oam_addr = 0x44;
  ppu.write_toggle = 1;
  ppu.read_buffer = 0x5A;
  ppu.vram_addr = 0x2C3D;
  ppu.temp_addr = 0x1234;
  ppu.fine_x = 6;
  ppu.nametable_base[0] = 0x2000;
  ppu.nametable_base[1] = 0x2400;
  ppu.nametable_base[2] = 0x2800;
  ppu.nametable_base[3] = 0x2C00;
  for (int i = 0; i < vram_bytes; ++i) {
    ppu.vram[i] = static_cast<u8>(i * 7 + (i >> 8));
  }
  for (int i = 0; i < oam_bytes; ++i) {
    ppu.oam[i] = static_cast<u8>(255 - i);
  }
}

TEST(PpuState, LoadRestoresEverySavedFieldButNotTheFrameState) {
  TestConsole source;
  fill_distinct(source);
  StateWriter out;
  ppu_save(source.ppu(), out);

  TestConsole target;
  target.ppu().frame_counter = 77;
  target.ppu().sprite0_hit_done = 1;
  ASSERT_TRUE(ppu_load(target.ppu(), out.bytes_out.data(), out.bytes_out.size()));
  const Ppu& a = source.ppu();
  const Ppu& b = target.ppu();
  EXPECT_EQ(b.ctrl, a.ctrl);
  EXPECT_EQ(b.mask, a.mask);
  EXPECT_EQ(b.status, a.status);
  EXPECT_EQ(b.oam_addr, a.oam_addr);
  EXPECT_EQ(b.write_toggle, a.write_toggle);
  EXPECT_EQ(b.read_buffer, a.read_buffer);
  EXPECT_EQ(b.vram_addr, a.vram_addr);
  EXPECT_EQ(b.temp_addr, a.temp_addr);
  EXPECT_EQ(b.fine_x, a.fine_x);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(b.nametable_base[i], a.nametable_base[i]);
  }
  EXPECT_EQ(0, std::memcmp(b.vram.get(), a.vram.get(), vram_bytes));
  EXPECT_EQ(0, std::memcmp(b.oam.get(), a.oam.get(), oam_bytes));
  EXPECT_EQ(b.frame_counter, 77u);
  EXPECT_EQ(b.sprite0_hit_done, 1u);
}

// A block that is short or holds a value the hardware cannot hold is refused
// and changes nothing.
TEST(PpuState, LoadRefusesShortBlocksAndOutOfRangeFields) {
  TestConsole t;
  fill_distinct(t);
  StateWriter out;
  ppu_save(t.ppu(), out);
  const std::vector<u8> good = out.bytes_out;
  constexpr int write_toggle = 6, fine_x = 15, nametable_base = 16;  // offsets in the block
  struct Corruption {
    int offset;
    u8 value;
  };
  const Corruption corruptions[] = {
      {nametable_base + 1, 0x30}, {nametable_base + 6, 0x01}, {nametable_base + 7, 0x2D}, {fine_x, 8},
      {write_toggle, 2},          {write_toggle + 3, 1},
  };
  TestConsole target;
  for (const Corruption& c : corruptions) {
    std::vector<u8> bytes = good;
    bytes[c.offset] = c.value;
    EXPECT_FALSE(ppu_load(target.ppu(), bytes.data(), bytes.size())) << c.offset;
  }
  EXPECT_FALSE(ppu_load(target.ppu(), good.data(), good.size() - 1));
  EXPECT_EQ(target.ppu().fine_x, 0) << "nothing of a refused block is applied";
  EXPECT_TRUE(ppu_load(target.ppu(), good.data(), good.size()));
}

}  // namespace
