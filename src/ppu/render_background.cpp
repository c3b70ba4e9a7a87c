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
#include <cstring>

#include "cartridge/mapper.h"
#include "core/catch_up.h"
#include "core/console.h"
#include "cpu/cpu.h"
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
    pattern_row = ((ppu.ctrl & ctrl_background_1000) ? 0x1000 : 0x0000) + (y & 7);
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
    if (!(mask & mask_background)) {
      // Background off: the backdrop, and no pattern fetch at all.
      for (; x < end; ++x) {
        flags[x] = 0;
        put(x, colours[0]);
      }
      return;
    }
    if (!(mask & mask_background_left)) {
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
      if (row.c > 7 || !row.fetched) {
        if (((origin.x0 + x) & 7) == 0 && end - x >= 8) {
          x = draw_whole_tiles(origin, x, end, row);
          continue;
        }
        row = fetch(origin, x);
      }
      // Part of a tile row, pixel by pixel: the rest of it, or of the run if
      // that ends first. The value of column k is in byte k of the two
      // planes spread out. Colour 0 of every palette is the backdrop:
      // palette memory keeps $3F00, $3F04, $3F08 and $3F0C equal. Each colour
      // is stored as four bytes; the fourth is overwritten by the next pixel
      // (the frame buffer has one spare byte after the last).
      const int count = std::min(8 - row.c, end - x);
      u8* flag = flags + x;
      u8* pixel = out + 3 * x;
      u64 values = (pattern_spread[row.lo] | (pattern_spread[row.hi] << 1)) >> (8 * row.c);
      const u32* row_colours = colours + 4 * row.palette;
      for (int i = 0; i < count; ++i) {
        const int value = static_cast<int>(values & 3);
        values >>= 8;
        flag[i] = value != 0;
        std::memcpy(pixel + 3 * i, &row_colours[value], 4);
      }
      x += count;
      row.c += count - 1;
    }
    tile_row = row;
  }

  // Draws whole tile rows from pixel x, where one begins, while eight pixels
  // remain before end, fetching them in order as fetch() would; leaves the
  // last in row and returns the pixel after it. Along one nametable's row of
  // 32 tiles the name and attribute bytes lie side by side (a nametable base
  // is one of $2000-$2C00, so they lie within video memory). A board that
  // sees its fetches is shown the first and the last of the row (see
  // mapper::first_fetch_acts) when it publishes its windows.
  int draw_whole_tiles(const ScrollOrigin& origin, int x, int end, TileRow& row) {
    // The table's four windows; when they lie in a row, as with every board
    // but the MMC3, one pointer reaches the whole table.
    const u8* const* windows = board.pattern_window;
    const u8* const* quarter = windows + ((origin.pattern_row >> 10) & 4);
    const u8* table = nullptr;
    if (quarter[0] != nullptr && quarter[1] == quarter[0] + 0x400 && quarter[2] == quarter[0] + 0x800 &&
        quarter[3] == quarter[0] + 0xC00)
      table = quarter[0];
    const bool shown = windows[0] != nullptr && board.fetches_interrupt;
    if (shown)
      board.chr_pointer(origin.tile(x).pattern_address);
    u16 address = 0;
    u8 lo = 0;
    u8 hi = 0;
    int palette = 0;
    while (end - x >= 8) {
      const int picture_x = origin.x0 + x;
      const int base = origin.nametable_base[origin.nametable_row + ((picture_x >> 8) & 1)];
      const u8* names = origin.vram + base + origin.tile_row;
      const u8* attributes = origin.vram + base + origin.attribute_row;
      const int first = (picture_x >> 3) & 31;
      const int last = std::min(32, first + (end - x) / 8);
      for (int column = first; column < last; ++column) {
        address = static_cast<u16>(origin.pattern_row + 16 * names[column]);
        const u8* pattern;
        if (table != nullptr)
          pattern = table + (address & 0x0FFF);
        else if (windows[0] != nullptr)
          pattern = windows[(address >> 10) & 7] + (address & 0x03FF);
        else
          pattern = board.chr_pointer(address);
        lo = pattern[0];
        hi = pattern[8];
        palette = (attributes[column >> 2] >> ((column & 2) + origin.attribute_shift)) & 3;
        // The eight flags in one store (a value is opaque when either of its
        // bits is set), then each half's twelve colour bytes from the
        // palette's table.
        const u64 opaque = pattern_spread[lo | hi];
        std::memcpy(flags + x, &opaque, 8);
        const u8(*quads)[12] = colours_cache.quads[palette];
        std::memcpy(out + 3 * x, quads[(lo >> 4) | (hi & 0xF0)], 12);
        std::memcpy(out + 3 * x + 12, quads[(lo & 0x0F) | ((hi & 0x0F) << 4)], 12);
        x += 8;
      }
    }
    if (shown)
      board.chr_pointer(address);
    row = TileRow{lo, hi, palette, 7, true};
    return x;
  }
};

}  // namespace

void ppu_begin_line(Ppu& ppu, u8* out, u8* flags) {
  ppu.line = LineCursor{};
  ppu.line.out = out;
  ppu.line.flags = flags;
}

// mask, ctrl and the palette as they stand hold for every pixel drawn: the
// CPU has not touched them since the first of these pixels was due.
void ppu_draw_due(Ppu& ppu) {
  LineCursor& line = ppu.line;
  LineDrawer drawer{ppu, *ppu.console->mapper, line.out, line.flags};
  drawer.tile_row = line.tile;
  drawer.refresh_colours();
  drawer.draw(line.drawn, line.due, ppu.mask);
  line.tile = drawer.tile_row;
  line.drawn = line.due;
}

// Between two catch-ups every fetch of the line comes from the one pattern
// table that ctrl names, so only the first can act. It comes with the first
// pixel drawn (with the leftmost columns clipped, the first past them) when
// the line has fetched nothing yet, else where the tile row ends.
int ppu_next_acting_fetch(const Ppu& ppu) {
  if (!(ppu.mask & mask_background))
    return screen_width;  // no fetch at all
  const u16 table = (ppu.ctrl & ctrl_background_1000) ? 0x1000 : 0x0000;
  if (!ppu.console->mapper->first_fetch_acts(table))
    return screen_width;
  const LineCursor& line = ppu.line;
  int x = line.drawn;
  if (!(ppu.mask & mask_background_left))
    x = std::max(x, 8);
  if (line.tile.fetched)
    x += 7 - line.tile.c;
  return std::min(x, screen_width);
}

void render_background_line(Console& console, int line) {
  Ppu& ppu = *console.ppu;
  mapper& board = *console.mapper;
  ppu_begin_line(ppu, ppu.frame_buffer.get() + line * screen_width * 3,
                 ppu.pixel_flags.get() + line * screen_width);
  run_line_pixels(console);

  // The sprite stage gets the next 64 dots, in eight slots of 8.
  if (ppu.mask & mask_sprites) {
    render_sprites_line(console, line);
  } else {
    for (int slot = 0; slot < 8; ++slot) {
      cpu_run(console, 8.0f);
    }
  }

  // The hardware fetches the first two tiles of the next line here; they lie
  // one nametable width to the right of where this line began. Only boards
  // whose latches watch the fetched tiles (MMC2, MMC4) are told.
  if (board.sees_line_prefetch) {
    const ScrollOrigin origin(ppu);
    board.chr_pointer(origin.tile(256).pattern_address);
    board.chr_pointer(origin.tile(264).pattern_address);
  }

  if (ppu.mask & mask_rendering) {
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
  ppu_begin_line(ppu, unseen_pixels, unseen_flags);
  run_line_pixels(console);
  ppu_begin_line(ppu, nullptr, nullptr);  // nothing waits for the scratch line

  // The sprite stage's time, with the eight fetches of empty slots when
  // sprites are shown. MMC2 and MMC4 get no prefetch here.
  if (ppu.mask & mask_sprites) {
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
