// The cartridge board: which part of the image the CPU sees at $8000-$FFFF,
// which part the PPU sees as pattern memory, how the four logical nametables
// fold onto the PPU's 2 KB, and for some boards an interrupt source. Every
// board is one class derived from `mapper`; the rest of the system reaches the
// cartridge only through its virtual operations.
#pragma once

#include <cstddef>
#include <memory>

#include "core/types.h"

struct Console;
struct Ppu;
class StateVisitor;
class StateWriter;

// Nametable arrangements.
enum : i32 {
  mirroring_vertical = 0,
  mirroring_horizontal = 1,
  mirroring_single_lower = 2,
  mirroring_single_upper = 3,
};

class mapper {
 public:
  Console* console = nullptr;
  const char* name = "";
  u8 number = 0;
  i32 mirroring = 0;
  u32 battery = 0;
  u32 trainer = 0;
  u32 bus_conflicts = 0;
  u32 extra_ram = 0;
  // Where the eight 1 KB windows of pattern memory lie, for boards whose
  // pattern fetches never move them (see publish_pattern_windows): the
  // renderers then read patterns without a call. Null for the boards whose
  // latches switch banks at a fetch (MMC2, MMC4).
  const u8* pattern_window[8] = {};
  // What the renderers need to know of the board: its pattern fetches can
  // raise an interrupt the CPU sees at once (MMC3), so the board sees its
  // fetches, each at its own dot; its latches watch the fetches of the next
  // line's first two tiles, made at the end of each visible line (MMC2, MMC4).
  bool fetches_interrupt = false;
  bool sees_line_prefetch = false;

  virtual ~mapper() = default;
  // Sets the name, number and power-up windows; publishes the arrangement.
  virtual int init() = 0;
  virtual u8 cpu_read(u16 address) = 0;  // $8000-$FFFF
  virtual void cpu_write(u16 address, u8 value) = 0;
  // The pattern byte at a PPU address; the byte 8 further on is the tile
  // row's second plane. Also the board's view of the PPU address bus.
  virtual const u8* chr_pointer(u16 address) = 0;
  // The state block: writes it, or checks a whole block and applies it
  // (false, changing nothing, when it is not this board's block or a field is
  // out of range for this image). Both are state_fields at work.
  virtual void save_state(StateWriter& out);
  virtual bool load_state(const u8* block, std::size_t size);
  // Size in bytes of the block save_state writes.
  int state_size();

  // The state block's fields, each once, in order, with its range: the
  // mirroring first, then the board's own (see core/state_io.h).
  virtual void state_fields(StateVisitor& v) = 0;
  // Works out what follows from the board's registers: its bank windows and
  // the published pattern windows. After a state block is applied, and
  // whenever the board's own registers change.
  virtual void update_windows() {}

  // For a board whose fetches can interrupt: whether the first of a row of
  // fetches from one pattern table (`table` is 0 or $1000), made now, would
  // act on the board; the fetches after it in the row never do, and of them
  // the board keeps only the address of the last (so the renderers may show
  // it just the first and the last). The MMC3 counts the rises of address
  // line A12, so only a fetch from $1000-$1FFF after one from $0000-$0FFF
  // acts.
  virtual bool first_fetch_acts(u16 table) const {
    (void)table;
    return false;
  }
};

// The mirroring code as the first field of every board's block.
void mirroring_field(StateVisitor& v, i32& mirroring);

// The pattern byte at a PPU address below $2000, as chr_pointer gives it:
// straight from the published windows, unless the board must see the fetch.
inline const u8* pattern_at(mapper& board, u16 address) {
  const u8* window = board.pattern_window[(address >> 10) & 7];
  if (window != nullptr && !board.fetches_interrupt)
    return window + (address & 0x03FF);
  return board.chr_pointer(address);
}

// Builds the board for an iNES mapper number and stores it in the console.
// Unsupported numbers show "Unsupported Mapper: %02X" and run as mapper_none.
mapper* create_mapper(Console& console, int number);

// Publishes the mapper's arrangement as the PPU's four nametable bases.
void apply_mirroring(Ppu& ppu);

// Turns a written bank number into the offset of a bank of bank_size bytes,
// dropping high bits until the bank lies inside `rom_size` bytes.
u32 fit_bank(u32 value, u32 bank_size, u32 rom_size);
