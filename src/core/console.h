// One emulated machine: the 6502's registers and interrupt latches, the CPU
// memory array, and the PPU, APU and cartridge it owns. Several consoles can
// live side by side (the gallery runs nine); nothing here is global.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/types.h"

class mapper;
class Platform;
struct Ppu;
struct Apu;
using MapperPointer = std::unique_ptr<mapper>;

// Status register bits.
enum : u8 {
  flag_c = 0x01,
  flag_z = 0x02,
  flag_i = 0x04,
  flag_d = 0x08,
  flag_b = 0x10,
  flag_unused = 0x20,
  flag_v = 0x40,
  flag_n = 0x80,
};

// The CPU's balance is kept in ticks of 1/16 PPU dot: 48 ticks per CPU cycle.
constexpr float ticks_per_dot = 16.0f;
constexpr float ticks_per_cpu_cycle = 48.0f;

// The loader keeps this many zero bytes past the declared PRG and CHR data, so
// that a bank window that starts inside the image can never run off its end.
constexpr u32 rom_guard_bytes = 32768;

// A wait loop the CPU is known to spin in: a read of work RAM or of the PPU's
// status followed by a conditional branch back to it, or a jump to itself. Found when such a
// branch or jump is taken; forgotten whenever the cartridge's banks may have
// changed. While the CPU spins in it without anything changing, its turns
// only spend time, and the run loops advance them in bulk (see idle_loop.h).
constexpr u32 no_idle_loop = 0x10000;
struct IdleLoop {
  u32 start = no_idle_loop;     // the first instruction
  u32 branch = no_idle_loop;    // the branch back; no_idle_loop for a jump to itself
  u32 rejected = no_idle_loop;  // the last address found not to start such a loop
  u16 address = 0;              // the byte the first instruction reads (work RAM or $2002)
  u8 kind = 0;                  // what it does with it (see idle_loop.h)
  u8 reg = 0;                   // the register it loads or compares: 0 A, 1 X, 2 Y
  u8 taken_mask = 0;            // the branch is taken when (p & taken_mask) == taken_value
  u8 taken_value = 0;
  float first_ticks = 0;   // the cost of the first instruction
  float second_ticks = 0;  // the cost of the taken branch (0 for a jump to itself)
};

// The fast paths of the run loop: steps of a wait loop counted off instead of
// executed, the CPU run through a line's dots in one go, a line's pixels
// drawn in runs when something could see them, the APU's cycles paid when
// something could see them. They give the same
// pictures, sound and states as the exact model, in which the CPU and the PPU
// take turns dot by dot and every payment clocks the APU; `on` chooses.
struct FastPaths {
  bool on = true;
  IdleLoop idle_loop;  // the wait loop the CPU was last seen in
  int apu_owed = 0;    // whole APU cycles owed for dots of this line that passed
  int apu_paying = 0;  // the owed count at which the APU could act; 0 when not known
  // While the CPU runs through several of a line's dots in one go: the dot
  // the run ends at (0 otherwise), and what the APU is owed at a step at dot
  // s less the whole cycles of dots 0 to s (see catch_up.cpp).
  int run_end = 0;
  int run_owed_base = 0;
};

struct Console {
  // Cartridge, filled by load_rom.
  std::string rom_path;
  u32 rom_size = 0;  // file size minus the 16-byte header
  MapperPointer mapper;
  i32 tv_system = -1;
  u32 prg_size = 0;
  u32 chr_size = 0;
  // prg_size + chr_size bytes of image data (zero-padded when the file is
  // short), followed by rom_guard_bytes of zeros.
  std::vector<u8> rom_data;

  // CPU.
  float cycle_budget = 0;  // ticks; may be negative between calls
  u8 a = 0, x = 0, y = 0;
  u8 p = 0x24;
  u8 s = 0xFF;
  u16 pc = 0;
  u32 irq_pending = 0;
  u32 nmi_pending = 0;
  u32 reset_pending = 0;

  u8 pad_shift = 0;  // controller shift register; bit 0 is read next

  std::unique_ptr<u8[]> memory;  // 65536 bytes, indexed by CPU address
  std::unique_ptr<Ppu> ppu;
  std::unique_ptr<Apu> apu;
  float apu_cycles = 0;  // CPU cycles owed to the APU

  // Where keys are read and messages go. Not owned; may be null.
  Platform* platform = nullptr;

  // The battery file's bookkeeping, kept by the lifecycle: $6000-$7FFF as
  // last read from or written to the file, and whether a save file of this
  // console was read from or written to the per-user saves folder.
  std::vector<u8> battery_saved;
  bool saves_folder_used = false;

  // The fast paths' own state, apart from the hardware's (see catch_up.h).
  FastPaths fast;

  // Set by the headless tool's --blargg: the test-result protocol's writes of
  // $80 ("running") to $6000 are counted, so that a program that starts and
  // finishes within one frame is seen to have run.
  bool count_result_writes = false;
  u32 result_running_writes = 0;

  // Called before every instruction when set (the headless tool's --trace).
  void (*trace_hook)(const Console& console, void* user) = nullptr;
  void* trace_user = nullptr;

  Console();
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
};

// The CPU memory bus. Reads of work RAM and of the cartridge, nearly all of
// them, are decided here; the registers in between go out of line.
u8 bus_read_registers(Console& console, u16 address);
void bus_write(Console& console, u16 address, u8 value);

// Sprite DMA: copies a page of the memory array into sprite memory and
// charges the CPU for the transfer: 513 cycles, a read and a write for each
// of the 256 bytes and one cycle to start.
void sprite_dma(Console& console, u8 page);
constexpr float sprite_dma_ticks = 513 * ticks_per_cpu_cycle;
