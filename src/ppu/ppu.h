// The picture processing unit of one console: its registers and scroll
// latches, 16 KB of video memory, sprite memory, the sprite slots selected for
// the next line, the finished picture and the colour table.
#pragma once

#include <cstddef>
#include <memory>

#include "core/types.h"

struct Console;
class StateVisitor;
class StateWriter;

constexpr int screen_width = 256;
constexpr int screen_height = 240;
constexpr int frame_buffer_bytes = screen_width * screen_height * 3;
constexpr int vram_bytes = 16384;
constexpr int oam_bytes = 256;
constexpr int ppu_state_bytes = 16664;

// $2000, the control register.
constexpr u8 ctrl_nmi = 0x80;              // request an NMI at the vertical blank
constexpr u8 ctrl_sprites_16 = 0x20;       // 8x16 sprites
constexpr u8 ctrl_background_1000 = 0x10;  // background patterns at $1000
constexpr u8 ctrl_sprites_1000 = 0x08;     // 8x8 sprite patterns at $1000
constexpr u8 ctrl_increment_32 = 0x04;     // $2007 steps the address by 32
// $2001, the mask register.
constexpr u8 mask_emphasis_blue = 0x80;
constexpr u8 mask_sprites = 0x10;
constexpr u8 mask_background = 0x08;
constexpr u8 mask_sprites_left = 0x04;     // sprites in the leftmost 8 columns
constexpr u8 mask_background_left = 0x02;  // background in the leftmost 8 columns
constexpr u8 mask_rendering = mask_background | mask_sprites;
// $2002, the status register.
constexpr u8 status_vblank = 0x80;
constexpr u8 status_sprite0_hit = 0x40;
constexpr u8 status_overflow = 0x20;

// The background tile row under a line's next pixel: its two pattern bytes,
// its palette (0-3) and the pixel's column within it.
struct TileRow {
  u8 lo = 0;
  u8 hi = 0;
  int palette = 0;
  int c = 0;
  bool fetched = false;  // every line starts with a fresh fetch
};

// The line being drawn: its pixels are drawn up to `drawn`, and the CPU has
// run past pixel `due` - 1. What lies between waits for the next catch-up.
// `acting_fetch` is the pixel whose draw makes the next pattern fetch that a
// board whose fetches can interrupt acts on (screen_width when none does),
// as the registers stand; unknown_fetch after a catch-up, since the access
// that follows may change it.
constexpr int unknown_fetch = -1;
struct LineCursor {
  u8* out = nullptr;
  u8* flags = nullptr;
  int drawn = 0;
  int due = 0;
  int acting_fetch = unknown_fetch;
  TileRow tile;
};

// One sprite chosen for the next line (an empty slot has oam_index 255).
struct SpriteSlot {
  u8 oam_index = 255;
  u16 pattern_address = 0;
  u8 pattern_lo = 0;
  u8 pattern_hi = 0;
  u8 sprite_x = 0;
  u8 sprite_palette = 0;
  u8 sprite_flags = 0;  // bit 0 behind the background, bit 1 horizontal flip
};

// The background's colours as the pixel loop uses them, kept from line to line
// and worked out again only when the palette bytes they come from change:
// the sixteen colours (RGB, red in the low byte), and for each of the four
// palettes the RGB bytes of every run of four pixel values. A run's index has
// the four low-plane bits in its low nibble and the four high-plane bits in
// its high nibble, leftmost pixel in bit 3 and bit 7.
struct BackgroundColours {
  u8 palette_bytes[16] = {};
  bool valid = false;
  u32 colours[16] = {};
  u8 quads[4][256][12] = {};
};

struct Ppu {
  Console* console = nullptr;
  u8 ctrl = 0;
  u8 mask = 0;
  u8 status = 0;
  u8 oam_addr = 0;
  u8 reserved[2] = {0, 0};
  u32 write_toggle = 0;
  u8 read_buffer = 0;
  u16 vram_addr = 0;  // bits 0-4 coarse X, 5-9 coarse Y, 10-11 nametable, 12-14 fine Y
  u16 temp_addr = 0;
  u8 fine_x = 0;
  u32 frame_counter = 0;
  u32 status_read_flag = 0;
  u32 nmi_window = 0;
  u32 nmi_suppressed = 0;
  u32 sprite0_hit_done = 0;
  u16 nametable_base[4] = {0x2000, 0x2400, 0x2000, 0x2400};
  std::unique_ptr<u8[]> vram;  // 16384 bytes, by folded PPU address
  std::unique_ptr<u8[]> oam;   // 256 bytes: 64 sprites of Y, tile, attributes, X
  SpriteSlot sprite_slots[8];
  std::unique_ptr<u8[]> frame_buffer;  // 256 x 240 RGB, lines top to bottom
  std::unique_ptr<u8[]> pixel_flags;   // 256 x 240: 0 transparent, 1 background, 2 sprite
  u8 palette_rgb[64][3] = {};
  BackgroundColours background_colours;  // derived from vram and palette_rgb, never saved
  LineCursor line;                       // never saved: nothing waits between frames
};

// The NES colours, red, green, blue for each colour number.
extern const u8 nes_palette[64][3];

int ppu_create(Ppu& ppu);  // 1, or -1 / -2 when an allocation failed
void ppu_free(Ppu& ppu);
u8 ppu_read(Ppu& ppu, u16 address);  // address $2000-$2007
void ppu_write(Ppu& ppu, u16 address, u8 value);
// Whether a register access can see or change how the line's pixels still
// owed are drawn: only then must they be drawn before it. The background
// reads video memory through vram_addr, fine X, the pattern table bit of
// ctrl and the background bits of mask; the status and sprite memory are
// only touched in the sprite stage after the pixels.
inline bool ppu_read_meets_picture(u16 address) {
  return (address & 7) == 7;  // $2007 moves vram_addr and fetches through the board
}
bool ppu_write_meets_picture(const Ppu& ppu, u16 address, u8 value);
u16 ppu_map_address(const Ppu& ppu, u16 address);
// The save block, each field once with its range (see core/state_io.h).
void ppu_state(Ppu& ppu, StateVisitor& v);
void ppu_save(const Ppu& ppu, StateWriter& out);
// Checks a whole block and applies it; false, changing nothing, when it is
// not one block or a field is out of its range.
bool ppu_load(Ppu& ppu, const u8* block, std::size_t size);

// A line's pixels go to out and flags (256 each, out with one spare byte);
// ppu_draw_due draws those the CPU has run past.
void ppu_begin_line(Ppu& ppu, u8* out, u8* flags);
void ppu_draw_due(Ppu& ppu);
// The pixel whose draw makes the line's next pattern fetch that the board
// acts on (see mapper::first_fetch_acts), with the registers as they stand;
// screen_width when there is none.
int ppu_next_acting_fetch(const Ppu& ppu);

// The line renderers: each visible line's pixels, interleaved with CPU time.
void render_background_line(Console& console, int line);
void render_sprites_line(Console& console, int line);
// The pre-render line's first 320 dots: the pattern fetches of a visible
// line, with nothing drawn; the sprite slots start the frame empty.
void render_prerender_line(Console& console);

// Pattern address fetched for a sprite slot with no sprite: tile $FF, and
// boards that watch the PPU address bus (MMC3) see it. It is always taken
// from the table at $1000. (The hardware takes it from the sprites' own
// table: with 8x8 sprites at $0000 and the background at $1000, its A12
// falls on every line, while here it stays high through lines without
// sprites, and an MMC3 counts no edge on them.)
constexpr u16 empty_sprite_slot_address = 0x1FF0;
