// The boards' rules that their cartridges reach badly: no bank number a
// program writes makes a board read outside the image, and the MMC3 counter
// counts only rising edges of A12.
#include "cartridge/boards.h"
#include "cartridge/ines.h"
#include "core/console.h"
#include "lifecycle/power.h"
#include "ppu/ppu.h"
#include "support/fixtures.h"

namespace {

struct BoardConsole {
  ScratchDir dir;
  Console console;
  BoardConsole(int number, int prg_banks, int chr_banks) {
    ImageShape shape;
    shape.mapper = number;
    shape.prg_banks = prg_banks;
    shape.chr_banks = chr_banks;
    EXPECT_EQ(load_rom(console, write_image(dir, "board.nes", shape)), 1);
    EXPECT_EQ(power_up(console, nullptr, nullptr, 0), 1);
  }
  ~BoardConsole() { close_console(console, 1); }
  mapper& board() { return *console.mapper; }
  // Every CPU window's ends and every 1 KB of patterns (both latch states)
  // lie in rom_data, guard included, or in video memory.
  bool reads_inside() {
    const u8* rom = console.rom_data.data();
    const u8* vram = console.ppu->vram.get();
    for (u32 a = 0x8000; a <= 0xFFFF; a += 0x1FFF)
      board().cpu_read(static_cast<u16>(a));
    for (u16 a :
         {0x0FE0, 0x1FE0, 0x0000, 0x0FD0, 0x1FD0, 0x03F7, 0x07F7, 0x0BF7, 0x0FF7, 0x13F7, 0x1BF7, 0x1FF7}) {
      const u8* p = board().chr_pointer(a);
      if (!((p >= rom && p + 16 <= rom + console.rom_data.size()) ||
            (p >= vram && p + 16 <= vram + vram_bytes)))
        return false;
    }
    return true;
  }
};

TEST(BankBounds, NoWrittenBankReadsOutsideTheImage) {
  const int layouts[][2] = {{1, 0}, {1, 1}, {3, 3}, {5, 0}, {10, 5}, {32, 32}};  // 16 KB and 8 KB units
  for (int number : {0, 1, 2, 4, 7, 9, 10}) {
    for (const auto& layout : layouts) {
      SCOPED_TRACE(testing::Message() << "mapper " << number << ", " << layout[0] << " x 16 KB");
      BoardConsole b(number, layout[0], layout[1]);
      for (int value = 0; value < 256; ++value) {
        for (u16 address = 0x8000; address >= 0x8000; address = static_cast<u16>(address + 0x1000)) {
          if (number == 1) {  // MMC1 loads its registers one bit per write
            for (int bit = 0; bit < 5; ++bit)
              b.board().cpu_write(address, static_cast<u8>((value >> bit) & 1));
          } else if (number == 4) {  // MMC3: every register, both modes of each kind
            b.board().cpu_write(0x8000, static_cast<u8>(((address >> 12) & 7) | (value & 0xC0)));
            b.board().cpu_write(0x8001, static_cast<u8>(value));
          } else {
            b.board().cpu_write(address, static_cast<u8>(value));
          }
          ASSERT_TRUE(b.reads_inside()) << address << " " << value;
        }
      }
    }
  }
}

// A bank number loses high bits until the bank fits; only a 4 MB ROM keeps
// bit 7 of a 16 KB bank number, and a ROM too small for any bank gives bank 0.
TEST(BankBounds, BankNumbersFitTheRom) {
  const u32 cases[][4] = {{0x80, 16384, 4194304, 128 * 16384},
                          {0x81, 16384, 4194304, 129 * 16384},
                          {0x80, 16384, 4194304 / 2, 0},
                          {0x45, 8192, 524288, 5 * 8192},
                          {0x03, 16384, 0, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(fit_bank(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[2];
}

// The counter sees the PPU's pattern addresses: a rising edge of A12 (a
// fetch from $1xxx after one from $0xxx) loads the latch when the counter is
// 0 or a reload was asked for, and otherwise counts down; reaching 0 with
// interrupts enabled requests one, unless the CPU masks interrupts.
TEST(Mmc3Counter, RequestsOnEveryLatchPlusOneEdges) {
  struct Case {
    const char* what;
    u8 latch;
    bool enabled, masked;
    std::vector<int> requests;  // edges (1-based) that request
  };
  const Case cases[] = {{"latch 3", 3, true, false, {4, 8, 12}},
                        {"latch 0: every edge", 0, true, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
                        {"disabled", 3, false, false, {}},
                        {"masked: lost, not held", 3, true, true, {}}};
  for (const Case& c : cases) {
    BoardConsole b(4, 2, 1);
    b.console.p = c.masked ? flag_i : 0;
    b.board().cpu_write(0xC000, c.latch);
    b.board().cpu_write(0xC001, 0);
    b.board().cpu_write(c.enabled ? 0xE001 : 0xE000, 0);
    std::vector<int> requests;
    for (int edge = 1; edge <= 12; ++edge) {
      b.board().chr_pointer(0x0000);
      b.board().chr_pointer(0x0FF0);  // still low: no edge
      b.board().chr_pointer(0x1000);
      b.board().chr_pointer(0x1FF0);  // still high: no edge
      if (b.console.irq_pending)
        requests.push_back(edge);
      b.console.irq_pending = 0;
    }
    EXPECT_EQ(requests, c.requests) << c.what;
  }
}

}  // namespace
