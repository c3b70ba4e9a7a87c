// No bank number a program can write makes a board read outside the image:
// every register of every board gets every value, with PRG-ROMs of 16 KB,
// odd sizes and large ones, with CHR-ROM of odd size and with CHR RAM, and
// after each write the ends of every window are read. Under the sanitizer
// build a stray read stops the test; the pointer checks catch it otherwise.
#include <functional>

#include <gtest/gtest.h>

#include "board_fixture.h"
#include "cartridge/boards.h"

namespace {

struct Layout {
  u32 prg, chr;
};

const Layout layouts[] = {
    {16384, 0}, {16384, 8192}, {49152, 24576}, {81920, 0}, {131072, 8192}, {163840, 40960}, {524288, 262144},
};

const int board_numbers[] = {0, 1, 2, 4, 7, 9, 10};

// True when p lies in rom_data with room for a tile row's two planes, or in
// the PPU's video memory.
bool pattern_pointer_ok(const BoardFixture& cart, const u8* p) {
  const u8* rom = cart.rom();
  const u8* vram = cart.vram();
  const bool in_rom = p >= rom && p + 16 <= rom + cart.console.rom_data.size();
  const bool in_vram = p >= vram && p + 16 <= vram + vram_bytes;
  return in_rom || in_vram;
}

// Reads the first and last byte of every CPU window and fetches the first and
// last row of every 1 KB of pattern space, through both latch states on the
// latch boards. Returns false at the first pointer outside.
bool probe_every_window(BoardFixture& cart, unsigned& checksum) {
  for (u32 start = 0x8000; start <= 0xE000; start += 0x2000) {
    checksum += cart.board().cpu_read(static_cast<u16>(start));
    checksum += cart.board().cpu_read(static_cast<u16>(start + 0x1FFF));
  }
  static const u16 fetches[] = {0x0000, 0x03F7, 0x0400, 0x07F7, 0x0800, 0x0BF7, 0x0C00, 0x0FF7, 0x1000,
                                0x13F7, 0x1400, 0x17F7, 0x1800, 0x1BF7, 0x1C00, 0x1FF7, 0x0FE0, 0x0000,
                                0x0FF7, 0x0FD0, 0x1FE0, 0x1000, 0x1FF7, 0x1FD0, 0x2000, 0x3FFF};
  for (u16 address : fetches) {
    const u8* p = cart.board().chr_pointer(address);
    if (!pattern_pointer_ok(cart, p)) {
      ADD_FAILURE() << "pattern fetch at " << address << " left the image";
      return false;
    }
    checksum += p[0] + p[8] + p[15];
  }
  return true;
}

// Stored PRG offsets lie inside PRG-ROM; stored CHR offsets inside CHR-ROM
// (or, for MMC3 right after power-up, at the start of the image).
void expect_offsets_reduced(BoardFixture& cart, const Layout& layout) {
  mapper& board = cart.board();
  auto chr_ok = [&](u32 absolute) {
    return absolute == 0 || (absolute >= layout.prg && absolute < layout.prg + std::max(layout.chr, 1u));
  };
  if (auto* b = dynamic_cast<mapper_prgswitch*>(&board)) {
    EXPECT_LT(b->prg_bank[0], layout.prg);
    EXPECT_LT(b->prg_bank[1], layout.prg);
  } else if (auto* b = dynamic_cast<mapper_axrom*>(&board)) {
    EXPECT_LT(b->prg_bank, layout.prg);
  } else if (auto* b = dynamic_cast<mapper_mmc1*>(&board)) {
    for (int i = 0; i < 2; ++i) {
      EXPECT_LT(b->prg_bank[i], layout.prg);
      EXPECT_TRUE(chr_ok(b->chr_bank[i]) || layout.chr == 0);
    }
  } else if (auto* b = dynamic_cast<mapper_mmc3*>(&board)) {
    for (u32 bank : b->prg_bank) {
      EXPECT_LT(bank, layout.prg);
    }
    for (u32 bank : b->chr_bank) {
      EXPECT_TRUE(chr_ok(bank));
    }
  } else if (auto* b = dynamic_cast<mapper_mmc2*>(&board)) {  // MMC2 and MMC4
    EXPECT_LT(b->latch.prg_bank, layout.prg);
    for (u32 bank : b->latch.chr_bank) {
      EXPECT_LE(bank, layout.chr == 0 ? 0 : layout.chr - 1);
    }
  }
}

// Every register write a program could make on this board, one at a time.
void for_each_register_write(int number, const std::function<void(BoardFixture&, u16, u8)>& visit,
                             BoardFixture& cart) {
  switch (number) {
    case 1:
      // Serial writes: each PRG mode and CHR mode, every value to every register.
      for (u8 control : {0x00, 0x04, 0x08, 0x0C, 0x10, 0x1C}) {
        cart.mmc1_write(0x8000, control);
        for (u16 address : {0xA000, 0xC000, 0xE000}) {
          for (int value = 0; value < 32; ++value) {
            cart.mmc1_write(address, static_cast<u8>(value));
            visit(cart, address, static_cast<u8>(value));
          }
        }
      }
      break;
    case 4:
      for (int select = 0; select < 256; select += 0x01) {
        if ((select & 0x38) != 0) {
          continue;  // bits 3-5 have no function
        }
        cart.board().cpu_write(0x8000, static_cast<u8>(select));
        for (int value = 0; value < 256; ++value) {
          cart.board().cpu_write(0x8001, static_cast<u8>(value));
          visit(cart, 0x8001, static_cast<u8>(value));
        }
      }
      break;
    default:
      for (u32 address = 0x8000; address <= 0xF000; address += 0x1000) {
        for (int value = 0; value < 256; ++value) {
          cart.board().cpu_write(static_cast<u16>(address), static_cast<u8>(value));
          visit(cart, static_cast<u16>(address), static_cast<u8>(value));
        }
      }
      break;
  }
}

}  // namespace

TEST(BankBounds, NoWrittenBankReadsOutsideTheImage) {
  for (int number : board_numbers) {
    for (const Layout& layout : layouts) {
      SCOPED_TRACE(testing::Message()
                   << "mapper " << number << " PRG " << layout.prg << " CHR " << layout.chr);
      BoardFixture cart(number, layout.prg, layout.chr);
      unsigned checksum = 0;
      ASSERT_TRUE(probe_every_window(cart, checksum));
      bool ok = true;
      for_each_register_write(
          number,
          [&](BoardFixture& c, u16, u8) {
            if (ok) {
              ok = probe_every_window(c, checksum);
              expect_offsets_reduced(c, layout);
            }
          },
          cart);
      EXPECT_TRUE(ok);
    }
  }
}

TEST(BankBounds, PowerUpWindowsOfSmallImagesStayInside) {
  for (int number : board_numbers) {
    for (u32 chr : {0u, 8192u}) {
      SCOPED_TRACE(testing::Message() << "mapper " << number << " CHR " << chr);
      BoardFixture cart(number, 16384, chr);
      unsigned checksum = 0;
      EXPECT_TRUE(probe_every_window(cart, checksum));
      expect_offsets_reduced(cart, Layout{16384, chr});
    }
  }
}
