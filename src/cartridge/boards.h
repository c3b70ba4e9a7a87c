// The seven cartridge boards. Each one keeps its switchable windows as byte
// offsets into the console's rom_data, computed when a register is written,
// so that a CPU read or a pattern fetch is a range test and one addition.
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

// Pointers the read paths use, taken once the image and the PPU exist.
struct BoardMemory {
  const u8* rom = nullptr;      // rom_data: PRG first, then CHR
  const u8* chr_rom = nullptr;  // rom + prg_size
  u8* pattern_ram = nullptr;    // the PPU's first 8 KB, used when there is no CHR-ROM
  u32 prg_size = 0;
  u32 chr_size = 0;
  bool has_chr_rom = false;
};

BoardMemory board_memory(Console& console);

class mapper_none : public mapper {
 public:
  int init() override;
  u8 cpu_read(u16 address) override;
  void cpu_write(u16 address, u8 value) override;
  const u8* chr_pointer(u16 address) override;
  void state_fields(StateVisitor& v) override;

 private:
  BoardMemory memory_;
  u32 upper_window_ = 0;  // $C000-$FFFF: 0 for a 16 KB PRG-ROM (a mirror), else 16384
};

class mapper_prgswitch : public mapper {
 public:
  u32 prg_bank[2] = {0, 0};  // offsets of the 16 KB at $8000 and at $C000

  int init() override;
  u8 cpu_read(u16 address) override;
  void cpu_write(u16 address, u8 value) override;
  const u8* chr_pointer(u16 address) override;
  void state_fields(StateVisitor& v) override;

 private:
  BoardMemory memory_;
};

class mapper_axrom : public mapper {
 public:
  u32 prg_bank = 0;  // offset of the 32 KB at $8000

  int init() override;
  u8 cpu_read(u16 address) override;
  void cpu_write(u16 address, u8 value) override;
  const u8* chr_pointer(u16 address) override;
  void state_fields(StateVisitor& v) override;

 private:
  BoardMemory memory_;
};

class mapper_mmc1 : public mapper {
 public:
  u8 shift_reg = 0;
  u8 shift_count = 0;
  u8 control = 0;
  u32 prg_bank[2] = {0, 0};  // offsets of the 16 KB at $8000 and $C000
  u32 chr_bank[2] = {0, 0};  // offsets (including prg_size) of the 4 KB at PPU $0000 and $1000

  int init() override;
  u8 cpu_read(u16 address) override;
  void cpu_write(u16 address, u8 value) override;
  const u8* chr_pointer(u16 address) override;
  void state_fields(StateVisitor& v) override;
  void state_loaded() override;

 private:
  void deliver(u16 address, u8 value);
  BoardMemory memory_;
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

  int init() override;
  u8 cpu_read(u16 address) override;
  void cpu_write(u16 address, u8 value) override;
  const u8* chr_pointer(u16 address) override;
  void state_fields(StateVisitor& v) override;

 private:
  void bank_data(u8 value);
  void clock_counter();
  u32 chr_offset(u32 kilobyte_bank) const;
  BoardMemory memory_;
};

// MMC2 (mapper 9) and MMC4 (mapper 10) differ only in the size of their
// switchable PRG window: 8 KB at $8000 with the last 24 KB fixed, or 16 KB at
// $8000 with the last 16 KB fixed. MMC4 is MMC2 with the larger window.
struct LatchBoardState {
  u32 prg_bank = 0;                // offset in rom_data of the switchable PRG window
  u32 chr_bank[4] = {0, 0, 0, 0};  // from the start of CHR-ROM: FD/0, FE/0, FD/1, FE/1
  u32 latch0 = 0;                  // 0 ($FD) or 1 ($FE): indexes chr_bank[0..1]
  u32 latch1 = 2;                  // 2 ($FD) or 3 ($FE): indexes chr_bank[2..3]
};

class mapper_mmc2 : public mapper {
 public:
  LatchBoardState latch;

  int init() override;
  u8 cpu_read(u16 address) override;
  void cpu_write(u16 address, u8 value) override;
  const u8* chr_pointer(u16 address) override;
  void state_fields(StateVisitor& v) override;

 protected:
  // Powers up with a switchable window of `window` bytes at $8000.
  void power_up_windows(u32 window);

 private:
  BoardMemory memory_;
  u32 window_ = 0x2000;  // size of the switchable PRG window
  u32 fixed_base_ = 0;   // rom_data offset of what follows the window: max(0, prg_size - (32 KB - window))
};

class mapper_mmc4 : public mapper_mmc2 {
 public:
  int init() override;
};
