// MMC3: bank registers, CHR inversion, PRG modes and the scanline counter.
#include <gtest/gtest.h>

#include "board_fixture.h"
#include "cartridge/boards.h"
#include "core/console.h"
#include "core/state_io.h"

namespace {

constexpr u32 kPrg = 524288;  // 64 banks of 8 KB
constexpr u32 kChr = 262144;  // 256 banks of 1 KB

// The pattern fetches of one rendered line as the renderers make them with
// background patterns at $0000 and sprite patterns at $1000: 32 background
// tiles, then eight sprite slots (all empty: $1FF0). The pre-render line
// makes the same fetches.
void render_line(mapper& board) {
  for (int tile = 0; tile < 32; ++tile) {
    board.chr_pointer(static_cast<u16>(0x0000 + tile * 16 + 3));
  }
  for (int slot = 0; slot < 8; ++slot) {
    board.chr_pointer(0x1FF0);
  }
}

// Runs the lines first to last (-1 is the pre-render line) and returns those
// that raised the IRQ (the latch is taken and cleared after each line, as a
// CPU would).
std::vector<int> lines_with_irq(BoardFixture& cart, int first, int last) {
  std::vector<int> hits;
  for (int line = first; line <= last; ++line) {
    render_line(cart.board());
    if (cart.console.irq_pending) {
      hits.push_back(line);
      cart.console.irq_pending = 0;
    }
  }
  return hits;
}

void start_counter(BoardFixture& cart, u8 latch) {
  cart.console.p = 0x00;  // interrupts enabled
  cart.board().cpu_write(0xC000, latch);
  cart.board().cpu_write(0xC001, 0);
  cart.board().cpu_write(0xE001, 0);
}

}  // namespace

TEST(Mmc3, PowersUpOnTheSecondLastAndLastBanksWithChrAtTheImageStart) {
  BoardFixture cart(4, kPrg, kChr);
  EXPECT_TRUE(cart.cpu_window_is(0x8000, 0x2000, kPrg - 16384));
  EXPECT_TRUE(cart.cpu_window_is(0xA000, 0x2000, kPrg - 16384));
  EXPECT_TRUE(cart.cpu_window_is(0xC000, 0x2000, kPrg - 16384));
  EXPECT_TRUE(cart.cpu_window_is(0xE000, 0x2000, kPrg - 8192));
  for (u16 address = 0; address < 0x2000; address += 0x400) {
    EXPECT_EQ(cart.board().chr_pointer(address), cart.rom());
  }
}

TEST(Mmc3, BankDataFollowsTheSelectedRegister) {
  struct Case {
    u8 select;
    u8 value;
    int window;         // chr_bank index
    u32 kilobyte;       // expected 1 KB bank at that window
    int second_window;  // -1 when the register sets one window
  };
  const Case cases[] = {
      {0x00, 8, 0, 8, 1},    {0x00, 9, 0, 9, 1},  {0x01, 20, 2, 20, 3},    {0x02, 5, 4, 5, -1},
      {0x03, 6, 5, 6, -1},   {0x04, 7, 6, 7, -1}, {0x05, 255, 7, 255, -1}, {0x80, 8, 4, 8, 5},
      {0x81, 20, 6, 20, 7},  {0x82, 8, 0, 8, -1}, {0x83, 9, 1, 9, -1},     {0x84, 10, 2, 10, -1},
      {0x85, 11, 3, 11, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.select) << " " << int(c.value));
    BoardFixture cart(4, kPrg, kChr);
    cart.board().cpu_write(0x8000, c.select);
    cart.board().cpu_write(0x8001, c.value);
    auto& mmc3 = cart.as<mapper_mmc3>();
    EXPECT_EQ(mmc3.chr_bank[c.window], kPrg + c.kilobyte * 1024);
    if (c.second_window >= 0) {
      EXPECT_EQ(mmc3.chr_bank[c.second_window], kPrg + (c.kilobyte + 1) * 1024);
    }
    for (int i = 0; i < 8; ++i) {
      if (i != c.window && i != c.second_window) {
        EXPECT_EQ(mmc3.chr_bank[i], 0u) << i;
      }
    }
    const u16 window_address = static_cast<u16>(c.window * 0x400);
    EXPECT_EQ(cart.board().chr_pointer(static_cast<u16>(window_address + 0x3F5)),
              cart.rom() + kPrg + c.kilobyte * 1024 + 0x3F5);
  }
}

TEST(Mmc3, PrgRegistersAndModes) {
  struct Case {
    u8 select;
    u8 value;
    u32 banks[4];  // 8 KB banks at $8000, $A000, $C000, $E000
  };
  const Case cases[] = {
      {0x06, 3, {3, 62, 62, 63}},     {0x46, 3, {62, 62, 3, 63}}, {0x07, 9, {62, 9, 62, 63}},
      {0x47, 9, {62, 9, 62, 63}},     {0x86, 4, {4, 62, 62, 63}}, {0x06, 0x45, {5, 62, 62, 63}},
      {0x07, 0xFF, {62, 63, 62, 63}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.select) << " " << int(c.value));
    BoardFixture cart(4, kPrg, kChr);
    cart.board().cpu_write(0x8000, c.select);
    cart.board().cpu_write(0x8001, c.value);
    for (int w = 0; w < 4; ++w) {
      EXPECT_TRUE(cart.cpu_window_is(static_cast<u16>(0x8000 + w * 0x2000), 0x2000, c.banks[w] * 8192)) << w;
    }
  }
}

TEST(Mmc3, SwitchingPrgModeMovesTheFixedBankOnlyAtTheNextWrite) {
  BoardFixture cart(4, kPrg, kChr);
  auto& mmc3 = cart.as<mapper_mmc3>();
  cart.board().cpu_write(0x8000, 0x06);
  cart.board().cpu_write(0x8001, 3);
  cart.board().cpu_write(0x8000, 0x46);
  EXPECT_EQ(mmc3.prg_bank[0], 3u * 8192);  // nothing moves yet
  cart.board().cpu_write(0x8001, 4);
  EXPECT_EQ(mmc3.prg_bank[0], kPrg - 16384);
  EXPECT_EQ(mmc3.prg_bank[2], 4u * 8192);
}

TEST(Mmc3, ChangingInversionLeavesWindowsAlreadySet) {
  BoardFixture cart(4, kPrg, kChr);
  auto& mmc3 = cart.as<mapper_mmc3>();
  cart.board().cpu_write(0x8000, 0x82);
  cart.board().cpu_write(0x8001, 8);
  EXPECT_EQ(mmc3.chr_bank[0], kPrg + 8192);
  cart.board().cpu_write(0x8000, 0x02);
  EXPECT_EQ(mmc3.chr_bank[0], kPrg + 8192);
  EXPECT_EQ(mmc3.chr_bank[4], 0u);
  cart.board().cpu_write(0x8001, 1);
  EXPECT_EQ(mmc3.chr_bank[0], kPrg + 8192);
  EXPECT_EQ(mmc3.chr_bank[4], kPrg + 1024);
}

TEST(Mmc3, RegistersAreDecodedByAddressBitsFifteenToThirteenAndZero) {
  BoardFixture cart(4, kPrg, kChr, mirroring_vertical);
  auto& mmc3 = cart.as<mapper_mmc3>();
  cart.board().cpu_write(0x9FFE, 0x07);  // even: bank select
  EXPECT_EQ(mmc3.bank_select, 0x07);
  cart.board().cpu_write(0x9FFF, 5);  // odd: bank data
  EXPECT_EQ(mmc3.prg_bank[1], 5u * 8192);
  cart.board().cpu_write(0xBFFE, 0xFF);  // arrangement: bit 0 only
  EXPECT_EQ(cart.board().mirroring, mirroring_horizontal);
  EXPECT_EQ(cart.console.ppu->nametable_base[2], 0x2400);
  cart.board().cpu_write(0xA000, 0xFE);
  EXPECT_EQ(cart.board().mirroring, mirroring_vertical);
  cart.board().cpu_write(0xA001, 0xFF);  // no RAM protect: nothing changes
  EXPECT_EQ(cart.board().mirroring, mirroring_vertical);
  cart.board().cpu_write(0xDFFE, 42);
  EXPECT_EQ(mmc3.irq_latch, 42u);
  cart.board().cpu_write(0xDFFF, 0);
  EXPECT_EQ(mmc3.irq_reload, 1u);
  cart.board().cpu_write(0xFFFF, 0);
  EXPECT_EQ(mmc3.irq_enabled, 1u);
  cart.board().cpu_write(0xFFFE, 0);
  EXPECT_EQ(mmc3.irq_enabled, 0u);
}

// Latch N set during vertical blank: the pre-render line's edge loads it,
// the request falls on line N - 1 and then every N + 1 lines; latch 0
// requests on every line, the pre-render line included.
TEST(Mmc3, CounterRequestsOnLineLatchMinusOneThenEveryLatchPlusOneLines) {
  struct Case {
    u8 latch;
    std::vector<int> lines;
  };
  const Case cases[] = {
      {3, {2, 6, 10, 14, 18}},
      {0, {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
      {1, {0, 2, 4, 6, 8, 10, 12, 14, 16, 18}},
      {8, {7, 16}},
      {20, {19}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.latch));
    BoardFixture cart(4, kPrg, kChr);
    start_counter(cart, c.latch);
    EXPECT_EQ(lines_with_irq(cart, -1, 19), c.lines);
  }
}

TEST(Mmc3, CounterReloadsOnEdgeAfterReachingZero) {
  BoardFixture cart(4, kPrg, kChr);
  auto& mmc3 = cart.as<mapper_mmc3>();
  start_counter(cart, 3);
  render_line(cart.board());
  EXPECT_EQ(mmc3.irq_counter, 3);
  EXPECT_EQ(mmc3.irq_reload, 0u);
  EXPECT_EQ(cart.console.irq_pending, 0u) << "a reload to a nonzero latch requests nothing";
  for (int i = 0; i < 3; ++i) {
    render_line(cart.board());
  }
  EXPECT_EQ(mmc3.irq_counter, 0);
  EXPECT_EQ(cart.console.irq_pending, 1u);
  cart.console.irq_pending = 0;
  cart.board().cpu_write(0xC000, 7);  // a new latch is taken at the next reload
  render_line(cart.board());
  EXPECT_EQ(mmc3.irq_counter, 7);
  EXPECT_EQ(cart.console.irq_pending, 0u);
}

TEST(Mmc3, OnlyRisingEdgesOfA12Count) {
  BoardFixture cart(4, kPrg, kChr);
  auto& mmc3 = cart.as<mapper_mmc3>();
  start_counter(cart, 10);
  cart.board().chr_pointer(0x1000);  // rising edge: reload to 10
  EXPECT_EQ(mmc3.irq_counter, 10);
  cart.board().chr_pointer(0x1FF0);  // A12 stays high
  cart.board().chr_pointer(0x1234);
  EXPECT_EQ(mmc3.irq_counter, 10);
  cart.board().chr_pointer(0x0FFF);  // falling edge
  EXPECT_EQ(mmc3.irq_counter, 10);
  cart.board().chr_pointer(0x3000);  // not a pattern address: ignored, A12 not recorded
  EXPECT_EQ(mmc3.last_chr_address, 0x0FFFu);
  EXPECT_EQ(mmc3.irq_counter, 10);
  cart.board().chr_pointer(0x1000);
  EXPECT_EQ(mmc3.irq_counter, 9);
}

TEST(Mmc3, DisabledCounterStillCountsButRequestsNothing) {
  BoardFixture cart(4, kPrg, kChr);
  auto& mmc3 = cart.as<mapper_mmc3>();
  start_counter(cart, 2);
  cart.board().cpu_write(0xE000, 0);
  EXPECT_TRUE(lines_with_irq(cart, -1, 10).empty());
  EXPECT_EQ(mmc3.irq_counter, 0);  // lines 1, 4, 7 and 10 reached zero silently
  cart.board().cpu_write(0xE001, 0);
  EXPECT_EQ(lines_with_irq(cart, 11, 14), std::vector<int>({13}));  // reload to 2, 1, 0
}

TEST(Mmc3, RequestWhileInterruptsAreMaskedIsLost) {
  BoardFixture cart(4, kPrg, kChr);
  start_counter(cart, 3);
  for (int line = -1; line <= 1; ++line) {
    render_line(cart.board());
  }
  cart.console.p = flag_i | flag_unused;
  render_line(cart.board());  // line 2 would request
  EXPECT_EQ(cart.console.irq_pending, 0u);
  cart.console.p = 0x00;
  EXPECT_EQ(lines_with_irq(cart, 3, 7), std::vector<int>({6}));  // a whole period later
}

TEST(Mmc3, DisablingDoesNotWithdrawAPendingRequest) {
  BoardFixture cart(4, kPrg, kChr);
  start_counter(cart, 0);
  render_line(cart.board());
  ASSERT_EQ(cart.console.irq_pending, 1u);
  cart.board().cpu_write(0xE000, 0);
  EXPECT_EQ(cart.console.irq_pending, 1u);
}

TEST(Mmc3, ChrRamServesPatternsAndStillClocksTheCounter) {
  BoardFixture cart(4, kPrg, 0);
  start_counter(cart, 1);
  cart.board().cpu_write(0x8000, 0x00);
  cart.board().cpu_write(0x8001, 40);
  EXPECT_EQ(cart.board().chr_pointer(0x0456), cart.vram() + 0x0456);
  EXPECT_EQ(cart.board().chr_pointer(0x1FF0), cart.vram() + 0x1FF0);
  // The fetch at $1FF0 above was an edge and took the latch.
  EXPECT_EQ(lines_with_irq(cart, -1, 4), std::vector<int>({-1, 1, 3}));
}

TEST(Mmc3, StateSavedMidPeriodContinuesTheCount) {
  BoardFixture original(4, kPrg, kChr);
  start_counter(original, 4);
  for (int line = 0; line < 3; ++line) {
    render_line(original.board());
  }
  original.board().chr_pointer(0x1000);  // A12 high at the moment of saving
  StateWriter out;
  original.board().save_state(out);

  BoardFixture restored(4, kPrg, kChr);
  restored.console.p = 0x00;
  ASSERT_TRUE(restored.board().load_state(out.bytes_out.data(), out.bytes_out.size()));
  // The next fetch in the low half and the one after in the high half make
  // the edge that the original board would have seen.
  const std::vector<int> expected = lines_with_irq(original, 3, 12);
  EXPECT_EQ(lines_with_irq(restored, 3, 12), expected);
  EXPECT_FALSE(expected.empty());
}
