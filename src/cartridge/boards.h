// The seven cartridge boards. Each one turns its register writes into bank
// windows: byte offsets into the console's rom_data of the four 8 KB windows
// the CPU sees at $8000-$FFFF and the eight 1 KB windows of pattern memory.
// A CPU read or a pattern fetch is then an index and one addition.
//
// Offsets are always reduced modulo the size of the ROM they address (PRG or
// CHR) before they are stored, and the loader keeps a further rom_guard_bytes
// of zeros behind the image: a window that starts inside the image therefore
// never reads outside rom_data, whatever bank number a program writes.
#pragma once

#include "cartridge/mapper.h"
#include "core/types.h"

struct Console;

// offset modulo size; 0 when there is no ROM of that kind.
inline u32 reduce_offset(u32 offset, u32 size) {
  return size == 0 ? 0 : offset % size;
}

// What the CPU and the PPU see of the cartridge.
struct BankWindows {
  const u8* rom = nullptr;    // rom_data: PRG first, then CHR
  u8* pattern_ram = nullptr;  // the PPU's first 8 KB, used when there is no CHR-ROM
  u32 prg_size = 0;
  u32 chr_size = 0;
  bool chr_rom = false;  // patterns come from CHR-ROM (else from pattern RAM)
  u32 prg[4] = {};       // offsets of the 8 KB at $8000, $A000, $C000, $E000
  u32 chr[8] = {};       // offsets of the 1 KB at PPU $0000, $0400, ... $1C00 (CHR-ROM starts at prg_size)
};

// The windows of a console's image: PRG windows at 0, CHR windows on the
// first 8 KB of CHR-ROM.
BankWindows bank_windows(Console& console);

// `count` windows from window `first` show consecutive parts of rom_data
// from offset on (8 KB parts for PRG, 1 KB parts for CHR).
void map_prg(BankWindows& windows, int first, int count, u32 offset);
void map_chr(BankWindows& windows, int first, int count, u32 offset);

// Publishes the eight pattern windows as the board's pattern_window, for a
// board whose fetches never move them; it calls this whenever its pattern
// windows may have moved (init, a register write, a state load).
void publish_pattern_windows(mapper& board, const BankWindows& windows);

inline u8 window_read(const BankWindows& windows, u16 address) {
  return windows.rom[windows.prg[(address >> 13) & 3] + (address & 0x1FFF)];
}

// The pattern byte at a PPU address, as chr_pointer gives it: above $1FFF
// the start of video memory (callers pass only pattern addresses).
inline const u8* window_pattern(const BankWindows& windows, u16 address) {
  if (address > 0x1FFF)
    return windows.pattern_ram;
  if (!windows.chr_rom)
    return windows.pattern_ram + address;
  return windows.rom + windows.chr[address >> 10] + (address & 0x3FF);
}

class mapper_none : public mapper {
 public:
  BankWindows windows;

  int init() override;
  u8 cpu_read(u16 address) override { return window_read(windows, address); }
  void cpu_write(u16 address, u8 value) override;
  const u8* chr_pointer(u16 address) override { return window_pattern(windows, address); }
  void state_fields(StateVisitor& v) override;
};

class mapper_prgswitch : public mapper {
 public:
  u32 prg_bank[2] = {0, 0};  // offsets of the 16 KB at $8000 and at $C000
  BankWindows windows;

  int init() override;
  u8 cpu_read(u16 address) override { return window_read(windows, address); }
  void cpu_write(u16 address, u8 value) override;
  const u8* chr_pointer(u16 address) override { return window_pattern(windows, address); }
  void state_fields(StateVisitor& v) override;
  void update_windows() override;
};

class mapper_axrom : public mapper {
 public:
  u32 prg_bank = 0;  // offset of the 32 KB at $8000
  BankWindows windows;

  int init() override;
  u8 cpu_read(u16 address) override { return window_read(windows, address); }
  void cpu_write(u16 address, u8 value) override;
  const u8* chr_pointer(u16 address) override { return window_pattern(windows, address); }
  void state_fields(StateVisitor& v) override;
  void update_windows() override;
};

class mapper_mmc1 : public mapper {
 public:
  u8 shift_reg = 0;
  u8 shift_count = 0;
  u8 control = 0;
  u32 prg_bank[2] = {0, 0};  // offsets of the 16 KB at $8000 and $C000
  u32 chr_bank[2] = {0, 0};  // offsets (including prg_size) of the 4 KB at PPU $0000 and $1000
  BankWindows windows;

  int init() override;
  u8 cpu_read(u16 address) override { return window_read(windows, address); }
  void cpu_write(u16 address, u8 value) override;
  const u8* chr_pointer(u16 address) override { return window_pattern(windows, address); }
  void state_fields(StateVisitor& v) override;
  void update_windows() override;

 private:
  void deliver(u16 address, u8 value);
};

class mapper_mmc3 : public mapper {
 public:
  u8 bank_select = 0;
  u32 prg_bank[4] = {0, 0, 0, 0};              // offsets of the 8 KB at $8000, $A000, $C000, $E000
  u32 chr_bank[8] = {0, 0, 0, 0, 0, 0, 0, 0};  // offsets (including prg_size) of the eight 1 KB
  u32 irq_latch = 0;
  i32 irq_counter = 0;
  u32 irq_enabled = 0;
  u32 irq_reload = 0;
  u32 last_chr_address = 0;
  BankWindows windows;

  int init() override;
  u8 cpu_read(u16 address) override { return window_read(windows, address); }
  void cpu_write(u16 address, u8 value) override;
  const u8* chr_pointer(u16 address) override;
  void state_fields(StateVisitor& v) override;
  void update_windows() override;
  bool first_fetch_acts(u16 table) const override {
    return (last_chr_address & 0x1000) == 0 && (table & 0x1000) != 0;
  }

 private:
  void bank_data(u8 value);
  void clock_counter();
  u32 chr_offset(u32 kilobyte_bank) const;
};

// MMC2 (mapper 9) and MMC4 (mapper 10) share their registers and the latches
// that switch pattern banks; they differ only in the size of their
// switchable PRG window: 8 KB at $8000 with the last 24 KB fixed, or 16 KB
// at $8000 with the last 16 KB fixed.
struct LatchBoardState {
  u32 prg_bank = 0;                // offset in rom_data of the switchable PRG window
  u32 chr_bank[4] = {0, 0, 0, 0};  // from the start of CHR-ROM: FD/0, FE/0, FD/1, FE/1
  u32 latch0 = 0;                  // 0 ($FD) or 1 ($FE): indexes chr_bank[0..1]
  u32 latch1 = 2;                  // 2 ($FD) or 3 ($FE): indexes chr_bank[2..3]
  u32 window = 0x2000;             // size of the switchable PRG window
};

// Power-up with a switchable window of `window` bytes; the register writes;
// the pattern fetch that reads through the latched banks and moves the
// latches; the state block; the PRG windows after a load.
void latch_board_init(mapper& board, LatchBoardState& latch, BankWindows& windows, u32 window);
void latch_board_write(mapper& board, LatchBoardState& latch, BankWindows& windows, u16 address, u8 value);
const u8* latch_board_pattern(LatchBoardState& latch, const BankWindows& windows, u16 address);
void latch_board_state(StateVisitor& v, mapper& board, LatchBoardState& latch, const BankWindows& windows);
void latch_board_map(const LatchBoardState& latch, BankWindows& windows);

class mapper_mmc2 : public mapper {
 public:
  LatchBoardState latch;
  BankWindows windows;

  int init() override;
  u8 cpu_read(u16 address) override { return window_read(windows, address); }
  void cpu_write(u16 address, u8 value) override { latch_board_write(*this, latch, windows, address, value); }
  const u8* chr_pointer(u16 address) override { return latch_board_pattern(latch, windows, address); }
  void state_fields(StateVisitor& v) override { latch_board_state(v, *this, latch, windows); }
  void update_windows() override { latch_board_map(latch, windows); }
};

class mapper_mmc4 : public mapper {
 public:
  LatchBoardState latch;
  BankWindows windows;

  int init() override;
  u8 cpu_read(u16 address) override { return window_read(windows, address); }
  void cpu_write(u16 address, u8 value) override { latch_board_write(*this, latch, windows, address, value); }
  const u8* chr_pointer(u16 address) override { return latch_board_pattern(latch, windows, address); }
  void state_fields(StateVisitor& v) override { latch_board_state(v, *this, latch, windows); }
  void update_windows() override { latch_board_map(latch, windows); }
};
