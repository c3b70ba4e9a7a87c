// The background renderer: one visible line of the picture, produced pixel by
// pixel with the CPU running one PPU dot before each pixel, so that a scroll,
// palette or mask write made in the middle of a line shows from the pixel
// where it happens (status-bar splits, raster effects).
//
// The scroll position lives in vram_addr (coarse X in bits 0-4, coarse Y in
// 5-9, the nametable in 10-11, fine Y in 12-14) and fine_x. During the 256
// pixels vram_addr is only read: each tile fetch recomputes where the scrolled
// picture is, so a $2006 write in mid-line moves the picture from the next tile
// on. At the end of the line vram_addr steps one pixel row down and takes its
// horizontal part back from temp_addr, which is how a $2005 write made during
// the line reaches the next one.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "cartridge/mapper.h"
#include "core/console.h"
#include "cpu/cpu.h"
#include "cpu/idle_loop.h"
#include "ppu/ppu.h"

namespace {

// Where a background tile row comes from.
struct BackgroundTile {
  u16 pattern_address;
  u8 palette;  // attribute palette 0-3
  u8 column;   // the column within the tile row under the pixel, 0-7
};

// Where the line's scrolled picture begins, worked out from vram_addr,
// fine_x and ctrl as they stand; tile(k) finds the tile under horizontal
// offset k of the line (k = 0 is the line's first pixel). The picture is
// 512 x 512 pixels of four nametables; X and Y wrap around it.
struct ScrollOrigin {
  const u8* vram;
  const u16* nametable_base;
  int x0;               // the picture's X at the line's first pixel
  int nametable_row;    // 2 for the lower two nametables, else 0
  int tile_row;         // the first tile index of the tile row, 32 per row
  int attribute_row;    // offset of the row's attribute bytes in a nametable
  int attribute_shift;  // 4 for the lower half of an attribute's 4 x 4 tiles
  int pattern_row;      // the pattern table plus the pixel row within a tile

  explicit ScrollOrigin(const Ppu& ppu) : vram(ppu.vram.get()), nametable_base(ppu.nametable_base) {
    const u16 v = ppu.vram_addr;
    x0 = 256 * ((v >> 10) & 1) + 8 * (v & 31) + ppu.fine_x;
    const int y = 256 * ((v >> 11) & 1) + 8 * ((v >> 5) & 31) + ((v >> 12) & 7);
    // Tile rows 30 and 31 lie below the 30 rows of a nametable: the PPU reads
    // the attribute bytes there as if they were tile numbers.
    const int row = (y >> 3) & 31;
    nametable_row = 2 * ((y >> 8) & 1);
    tile_row = 32 * row;
    // One attribute byte covers 4 x 4 tiles, two bits per 2 x 2 quarter.
    attribute_row = 0x3C0 + 8 * (row >> 2);
    attribute_shift = 4 * ((row >> 1) & 1);
    pattern_row = ((ppu.ctrl & 0x10) ? 0x1000 : 0x0000) + (y & 7);
  }

  BackgroundTile tile(int k) const {
    const int x = x0 + k;
    const int column = (x >> 3) & 31;
    const int base = nametable_base[nametable_row + ((x >> 8) & 1)];
    const u8 attribute = vram[(base + attribute_row + (column >> 2)) & 0x3FFF];
    BackgroundTile tile;
    tile.pattern_address = static_cast<u16>(pattern_row + 16 * vram[(base + tile_row + column) & 0x3FFF]);
    tile.palette = static_cast<u8>((attribute >> ((column & 2) + attribute_shift)) & 3);
    tile.column = static_cast<u8>(x & 7);
    return tile;
  }
};

// Steps vram_addr one pixel row down, then restores its horizontal part.
inline void advance_row(Ppu& ppu) {
  u16 v = ppu.vram_addr;
  if ((v & 0x7000) != 0x7000) {
    v = static_cast<u16>(v + 0x1000);
  } else {
    v &= static_cast<u16>(~0x7000);
    int coarse_y = (v >> 5) & 31;
    if (coarse_y == 29) {
      // The last tile row of a nametable: continue in the one below.
      coarse_y = 0;
      v ^= 0x0800;
    } else if (coarse_y == 31) {
      // Rows 30 and 31 (reachable only by writing them) wrap within the
      // same nametable.
      coarse_y = 0;
    } else {
      ++coarse_y;
    }
    v = static_cast<u16>((v & ~0x03E0) | (coarse_y << 5));
  }
  ppu.vram_addr = static_cast<u16>((v & ~0x041F) | (ppu.temp_addr & 0x041F));
}

// For each pattern byte, its eight bits spread out one per byte, leftmost
// pixel (bit 7) first: the low plane's spread plus twice the high plane's is
// the tile row's eight pixel values.
constexpr std::array<u64, 256> make_pattern_spread() {
  std::array<u64, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    for (int column = 0; column < 8; ++column) {
      if (byte & (0x80 >> column))
        table[byte] |= u64{1} << (8 * column);
    }
  }
  return table;
}
constexpr std::array<u64, 256> pattern_spread = make_pattern_spread();

// The state of one line's background while its pixels are drawn.
struct LineDrawer {
  Ppu& ppu;
  mapper& board;
  u8* out;
  u8* flags;
  // The tile row being drawn: its two pattern bytes, its palette (0-3) and
  // the column of the current pixel within it. Every line starts with a
  // fresh fetch.
  struct TileRow {
    u8 lo = 0;
    u8 hi = 0;
    int palette = 0;
    int c = 0;
    bool fetched = false;
  };
  TileRow tile_row = {};
  // The colours, checked against the palette bytes before every run of
  // pixels: the palette can only change when the CPU runs.
  BackgroundColours& colours_cache = ppu.background_colours;
  const u32* colours = colours_cache.colours;

  void refresh_colours() {
    BackgroundColours& cache = colours_cache;
    const u8* bytes = ppu.vram.get() + 0x3F00;
    if (cache.valid && std::memcmp(bytes, cache.palette_bytes, 16) == 0)
      return;
    for (int p = 0; p < 4; ++p) {
      if (!cache.valid || std::memcmp(bytes + 4 * p, cache.palette_bytes + 4 * p, 4) != 0)
        make_quads(cache, bytes, p);
    }
    std::memcpy(cache.palette_bytes, bytes, 16);
    cache.valid = true;
  }

  void make_quads(BackgroundColours& cache, const u8* bytes, int p) {
    for (int v = 0; v < 4; ++v) {
      const u8* rgb = ppu.palette_rgb[bytes[4 * p + v] & 0x3F];
      cache.colours[4 * p + v] = rgb[0] | (rgb[1] << 8) | (rgb[2] << 16);
    }
    for (int index = 0; index < 256; ++index) {
      for (int i = 0; i < 4; ++i) {
        const int value = ((index >> (3 - i)) & 1) | (((index >> (7 - i)) & 1) << 1);
        std::memcpy(cache.quads[p][index] + 3 * i, &cache.colours[4 * p + value], 3);
      }
    }
  }

  // Fetches the tile under pixel x: one pattern fetch through the board.
  TileRow fetch(const ScrollOrigin& origin, int x) {
    const BackgroundTile tile = origin.tile(x);
    const u8* pattern = pattern_at(board, tile.pattern_address);
    return TileRow{pattern[0], pattern[8], tile.palette, tile.column, true};
  }

  void put(int x, u32 colour) {
    // Four bytes at once; the fourth is overwritten by the next pixel (the
    // frame buffer has one spare byte after the last).
    std::memcpy(out + 3 * x, &colour, 4);
  }

  // Draws the pixels x to end - 1 with mask as it stands for all of them.
  void draw(int x, int end, u8 mask) {
    if (!(mask & 0x08)) {
      // Background off: the backdrop, and no pattern fetch at all.
      for (; x < end; ++x) {
        flags[x] = 0;
        put(x, colours[0]);
      }
      return;
    }
    if (!(mask & 0x02)) {
      // The leftmost 8 columns are clipped to the backdrop; the first fetch
      // waits for column 8.
      for (; x < end && x < 8; ++x) {
        flags[x] = 0;
        put(x, colours[0]);
      }
    }
    // The tile row is kept in a local while the pixels are stored, which the
    // byte stores cannot alias.
    const ScrollOrigin origin(ppu);
    TileRow row = tile_row;
    while (x < end) {
      ++row.c;
      if (row.c > 7 || !row.fetched)
        row = fetch(origin, x);
      // The rest of this tile row, or of the run if it ends first.
      const int count = std::min(8 - row.c, end - x);
      u8* flag = flags + x;
      u8* pixel = out + 3 * x;
      if (count == 8) {
        // A whole tile row: the eight flags in one store (a value is opaque
        // when either of its bits is set), then each half's twelve colour
        // bytes from the palette's table.
        const u64 opaque = pattern_spread[row.lo | row.hi];
        std::memcpy(flag, &opaque, 8);
        const u8(*quads)[12] = colours_cache.quads[row.palette];
        std::memcpy(pixel, quads[(row.lo >> 4) | (row.hi & 0xF0)], 12);
        std::memcpy(pixel + 12, quads[(row.lo & 0x0F) | ((row.hi & 0x0F) << 4)], 12);
      } else {
        // Part of a tile row, pixel by pixel: the value of column k is in
        // byte k of the two planes spread out. Colour 0 of every palette is
        // the backdrop: palette memory keeps $3F00, $3F04, $3F08 and $3F0C
        // equal. Each colour is stored as four bytes; the fourth is
        // overwritten by the next pixel (the frame buffer has one spare byte
        // after the last).
        u64 values = (pattern_spread[row.lo] | (pattern_spread[row.hi] << 1)) >> (8 * row.c);
        const u32* row_colours = colours + 4 * row.palette;
        for (int i = 0; i < count; ++i) {
          const int value = static_cast<int>(values & 3);
          values >>= 8;
          flag[i] = value != 0;
          std::memcpy(pixel + 3 * i, &row_colours[value], 4);
        }
      }
      x += count;
      row.c += count - 1;
    }
    tile_row = row;
  }
};

// What the APU is owed after 0, 1 and 2 one-dot steps since its last
// payment: cpu_run adds a third of a cycle per dot and pays at 1.0.
constexpr float owed_after_dots[3] = {0.0f, 1.0f / 3.0f, 1.0f / 3.0f + 1.0f / 3.0f};

int owed_phase(float owed) {
  for (int phase = 0; phase < 3; ++phase) {
    if (owed == owed_after_dots[phase])
      return phase;
  }
  return -1;
}

// The line's pixels one dot at a time, exactly as the description of the
// hardware reads; used when the APU is owed an unusual amount.
void draw_pixels_dot_by_dot(Console& console, LineDrawer& drawer) {
  for (int x = 0; x < screen_width; ++x) {
    cpu_run(console, 1.0f);
    drawer.refresh_colours();
    drawer.draw(x, x + 1, console.ppu->mask);
  }
}

// Pixels of the line that wait to be drawn: drawn up to `drawn`, due up to
// `due`. The CPU ran up to `due` without touching anything the picture
// depends on, so they are all drawn with the registers as they stand.
struct PendingPixels {
  LineDrawer& drawer;
  int drawn = 0;
  int due = 0;
};

void draw_pending(void* context) {
  auto& pending = *static_cast<PendingPixels*>(context);
  if (pending.drawn >= pending.due)
    return;
  pending.drawer.refresh_colours();
  pending.drawer.draw(pending.drawn, pending.due, pending.drawer.ppu.mask);
  pending.drawn = pending.due;
}

// Whole APU cycles owed for past dots. Until the clock would reach a point
// where something is due, the calls they stand for only move the clock, which
// nothing reads but the APU's own registers: so they are made when the CPU
// next reaches those registers, or before the step in which the APU could
// have something due, or at the end of the line.
struct OwedApuCycles {
  Apu& apu;
  int count = 0;

  void pay() {
    apu_run_single_cycles(apu, count);
    count = 0;
  }
  // Before a CPU step: pays if any owed call could find something due (with
  // a margin for the clock's rounding).
  void pay_if_due() {
    if (count > 0 && apu.time + static_cast<float>(count) + 2.0f >= apu.fast.limit)
      pay();
  }
};

void pay_owed_apu_cycles(void* context) {
  static_cast<OwedApuCycles*>(context)->pay();
}

// The smallest count of owed cycles at which pay_if_due pays (the APU could
// have something due), with the clock and limit as they stand.
int first_paying_count(const Apu& apu) {
  const auto pays = [&apu](int count) {
    return count > 0 && apu.time + static_cast<float>(count) + 2.0f >= apu.fast.limit;
  };
  const double gap = static_cast<double>(apu.fast.limit) - static_cast<double>(apu.time) - 2.0;
  if (!(gap < 65536.0))
    return 65536;  // further than any line reaches
  int count = gap < 1.0 ? 1 : static_cast<int>(std::ceil(gap));
  while (count > 1 && pays(count - 1))
    --count;
  while (!pays(count))
    ++count;
  return count;
}

// The CPU is due to step at dot x, with the balance b it has at every step of
// a run of one-dot calls (0 < b <= 16). When it is settled in a wait loop,
// each step costs a whole number of dots, 3 per cycle, and leaves the balance
// at b again for the next: so the steps can be counted off, up to the end of
// the line or to the step before which the APU could have something due.
// Returns the dot after the last step counted off, with the balance, phase
// and owed cycles as the run would have left them there; x when the CPU must
// run the step.
//
// When the board sees the pattern fetches (draw_each_step), the pixels before
// each step are drawn first, as the run draws them, and the counting stops
// at a step before which the fetches raised a request the CPU would take.
int skip_wait_loop(Console& console, OwedApuCycles& owed, int& phase, int x, PendingPixels* draw_each_step) {
  const float b = console.cycle_budget;
  if (!(b > 0.0f && b <= ticks_per_dot && idle_loop_whole_ticks(b)) || !idle_loop_settled(console))
    return x;
  // A step at dot x + d finds owed.count + (phase + d) / 3 cycles owed; the
  // steps counted off must all find fewer than would be paid.
  const int paying = first_paying_count(owed.apu);
  const int limit = std::min(screen_width, x + 3 * std::max(0, paying - owed.count) - phase);
  u16 pc = console.pc;
  int step_x = x;
  int last_x = x;
  float last_ticks = 0.0f;
  for (;;) {
    console.pc = pc;
    last_ticks = idle_loop_step_ticks(console);
    last_x = step_x;
    pc = idle_loop_next_pc(console);
    step_x += static_cast<int>(last_ticks / ticks_per_dot);
    if (step_x >= limit)
      break;
    if (draw_each_step != nullptr) {
      draw_each_step->due = step_x;
      draw_pending(draw_each_step);
      if (console.irq_pending && !(console.p & flag_i))
        break;
    }
  }
  console.pc = pc;
  console.cycle_budget = b - last_ticks;
  phase += last_x - x;
  owed.count += phase / 3;
  phase %= 3;
  return last_x + 1;
}

// The pixels as draw_pixels_dot_by_dot makes them, faster. A dot in which the
// CPU's balance stays at or below zero runs no instruction; the dots between
// two instructions are paid for together. And an instruction that touches
// neither the PPU's nor the cartridge's registers changes nothing the picture
// depends on: the pixels wait, and are drawn in one go when the bus is about
// to reach one of those registers (with the registers as they stood before
// the access) or at the end of the line. The APU's third of a cycle per dot
// is counted as a phase, and the whole cycles it is owed are paid, one call
// each as one-dot calls of cpu_run would pay them, when anything could see
// the difference (see OwedApuCycles).
//
// An MMC3 counts the pattern fetches and raises an interrupt from them, which
// the CPU sees: with that board the pixels are drawn as soon as their dot has
// passed, so that every fetch happens at its own moment.
//
// A CPU settled in a wait loop has its steps counted off (skip_wait_loop).
void draw_pixels_in_runs(Console& console, LineDrawer& drawer, int phase) {
  OwedApuCycles owed{*console.apu};
  const bool fetches_seen_by_cpu = drawer.board.number == 4;
  // Traced steps are never counted off.
  const bool may_skip = console.trace_hook == nullptr;
  PendingPixels pending{drawer};
  console.before_picture_change = draw_pending;
  console.picture_change_context = &pending;
  console.before_apu_access = pay_owed_apu_cycles;
  console.apu_access_context = &owed;
  int x = 0;
  while (x < screen_width) {
    const float budget = console.cycle_budget;
    if (budget + ticks_per_dot > 0.0f) {
      console.cycle_budget = budget + ticks_per_dot;
      if (++phase == 3) {
        phase = 0;
        ++owed.count;
      }
      owed.pay_if_due();
      pending.due = x;
      if (may_skip && idle_loop_at(console)) {
        const int after = skip_wait_loop(console, owed, phase, x, fetches_seen_by_cpu ? &pending : nullptr);
        if (after != x) {
          x = after;
          if (fetches_seen_by_cpu) {
            pending.due = x;
            draw_pending(&pending);
          }
          continue;
        }
      }
      cpu_execute(console);
      ++x;
    } else {
      // The balance is a whole number of ticks, so this is exact.
      int run = static_cast<int>(-budget) / static_cast<int>(ticks_per_dot);
      if (run > screen_width - x)
        run = screen_width - x;
      console.cycle_budget = budget + ticks_per_dot * static_cast<float>(run);
      phase += run;
      owed.count += phase / 3;
      phase %= 3;
      x += run;
    }
    if (fetches_seen_by_cpu) {
      pending.due = x;
      draw_pending(&pending);
    }
  }
  pending.due = screen_width;
  draw_pending(&pending);
  console.before_picture_change = nullptr;
  console.picture_change_context = nullptr;
  console.before_apu_access = nullptr;
  console.apu_access_context = nullptr;
  owed.pay();
  console.apu_cycles = owed_after_dots[phase];
}

// The line's 256 pixels into out and flags, with the CPU running one dot
// before each of them; mask, ctrl and the palette are read at every pixel,
// since the CPU may have just changed them.
void run_pixels(Console& console, u8* out, u8* flags) {
  LineDrawer drawer{*console.ppu, *console.mapper, out, flags};
  drawer.refresh_colours();
  const int phase = owed_phase(console.apu_cycles);
  if (phase >= 0)
    draw_pixels_in_runs(console, drawer, phase);
  else
    draw_pixels_dot_by_dot(console, drawer);
}

}  // namespace

void render_background_line(Console& console, int line) {
  Ppu& ppu = *console.ppu;
  mapper& board = *console.mapper;
  run_pixels(console, ppu.frame_buffer.get() + line * screen_width * 3,
             ppu.pixel_flags.get() + line * screen_width);

  // The sprite stage gets the next 64 dots, in eight slots of 8.
  if (ppu.mask & 0x10) {
    render_sprites_line(console, line);
  } else {
    for (int slot = 0; slot < 8; ++slot) {
      cpu_run(console, 8.0f);
    }
  }

  // MMC2 and MMC4 switch pattern banks when they see certain tiles fetched.
  // The hardware fetches the first two tiles of the next line here; they lie
  // one nametable width to the right of where this line began.
  if (board.number == 9 || board.number == 10) {
    const ScrollOrigin origin(ppu);
    board.chr_pointer(origin.tile(256).pattern_address);
    board.chr_pointer(origin.tile(264).pattern_address);
  }

  if (ppu.mask & 0x18) {
    advance_row(ppu);
  }
  cpu_run(console, 21.0f);
}

// The pre-render line fetches patterns as a visible line does, and the
// boards that watch the PPU address bus see those fetches: with background
// patterns at $0000 and sprites at $1000, the MMC3 counter gets its edge at
// dot 264 here as on every visible line. Nothing else of a visible line
// happens. The pixels are worked out only for their fetches and go to a line
// nobody sees; pixel_flags, status and vram_addr stay as they are.
//
// No sprites are selected here, and the selection made on line 239 was for a
// line the PPU never shows: the slots start the frame empty, so line 0 shows
// no sprite, and the sprite fetches here and on line 0 are the empty slots'.
void render_prerender_line(Console& console) {
  Ppu& ppu = *console.ppu;
  for (SpriteSlot& slot : ppu.sprite_slots) {
    slot.oam_index = 255;
  }
  // One spare byte: each pixel is stored as four bytes (see LineDrawer::put).
  u8 unseen_pixels[screen_width * 3 + 1];
  u8 unseen_flags[screen_width];
  run_pixels(console, unseen_pixels, unseen_flags);

  // The sprite stage's time, with the eight fetches of empty slots when
  // sprites are shown. MMC2 and MMC4 get no prefetch here.
  if (ppu.mask & 0x10) {
    for (int slot = 0; slot < 8; ++slot) {
      cpu_run(console, 8.0f);
      pattern_at(*console.mapper, empty_sprite_slot_address);
    }
  } else {
    for (int slot = 0; slot < 8; ++slot) {
      cpu_run(console, 8.0f);
    }
  }
}
