// The sprite stage of a visible line. It runs after the line's background
// pixels, in the 64 dots where the hardware fetches sprite patterns, and does
// two things: it draws the (up to eight) sprites that were chosen on the
// previous line, then chooses the sprites for the next line from sprite
// memory. The hardware works the same way, one line ahead, which is why a
// sprite whose Y byte is y first appears on line y + 1.
//
// Sprites meet the background through pixel_flags: the background renderer
// has just written 0 (transparent) or 1 (opaque) for every pixel of the line,
// and the first sprite pixel to land on a pixel writes 2 there, so that lower
// numbered sprites win over higher numbered ones even when they are hidden
// behind the background.
#include "cartridge/mapper.h"
#include "core/console.h"
#include "cpu/cpu.h"
#include "ppu/ppu.h"

namespace {

// Pattern address fetched for a slot with no sprite: the hardware fetches
// tile $FF there, and boards that watch the PPU address bus (MMC3) see it.
constexpr u16 empty_slot_address = 0x1FF0;

void draw_sprite(Ppu& ppu, SpriteSlot& slot, int line) {
  const u8 mask = ppu.mask;
  u8* flags = ppu.pixel_flags.get() + line * screen_width;
  u8* out = ppu.frame_buffer.get() + line * screen_width * 3;
  const u8* vram = ppu.vram.get();
  const bool behind = slot.sprite_flags & 1;
  const bool flip = slot.sprite_flags & 2;
  const int palette_address = 0x3F10 + 4 * (slot.sprite_palette & 3);
  u8 lo = slot.pattern_lo;
  u8 hi = slot.pattern_hi;

  for (int i = 0; i < 8; ++i) {
    const int x = slot.sprite_x + i;
    if (x > 255) {
      break;  // nothing wraps round to the left edge
    }
    int value;
    if (flip) {
      value = ((hi & 1) << 1) | (lo & 1);
      lo = static_cast<u8>(lo >> 1);
      hi = static_cast<u8>(hi >> 1);
    } else {
      value = ((hi >> 7) << 1) | (lo >> 7);
      lo = static_cast<u8>(lo << 1);
      hi = static_cast<u8>(hi << 1);
    }
    if (!(mask & 0x04) && x <= 7) {
      continue;  // clipped in the leftmost 8 columns
    }
    if (value == 0) {
      continue;
    }
    const u8 f = flags[x];
    // Sprite zero over an opaque background pixel. The hit is never
    // reported at column 255, nor on the last line of the picture.
    if (slot.oam_index == 0 && x <= 254 && line <= 238 && f != 0 && !ppu.sprite0_hit_done) {
      ppu.status |= 0x40;
      ppu.sprite0_hit_done = 1;
    }
    if (f >= 2) {
      continue;  // an earlier sprite owns the pixel
    }
    flags[x] = 2;
    if (behind && f == 1) {
      continue;  // hidden behind the background, but it still claims the pixel
    }
    const u8* rgb = ppu.palette_rgb[vram[palette_address + value] & 0x3F];
    out[3 * x] = rgb[0];
    out[3 * x + 1] = rgb[1];
    out[3 * x + 2] = rgb[2];
  }
  slot.pattern_lo = lo;
  slot.pattern_hi = hi;
}

// Chooses the first eight sprites in sprite memory that cover the next line.
void select_sprites(Ppu& ppu, int line, int height, int table_8x8) {
  for (SpriteSlot& slot : ppu.sprite_slots) {
    slot.oam_index = 255;
  }
  const u8* oam = ppu.oam.get();
  int count = 0;
  for (int n = 0; n < 64; ++n) {
    const u8* sprite = oam + 4 * n;
    const int row = line - sprite[0];
    if (row < 0 || row >= height) {
      continue;
    }
    if (count == 8) {
      // A ninth sprite on the line: overflow. The search stops here.
      ppu.status |= 0x20;
      break;
    }
    int tile = sprite[1];
    const u8 attributes = sprite[2];
    int table;
    int r;
    if (height == 16) {
      // 8x16 sprites choose their pattern table with bit 0 of the tile number
      // and use the even tile above the odd one.
      table = (tile & 1) ? 0x1000 : 0x0000;
      tile &= 0xFE;
      const bool upper = row <= 7;
      if (attributes & 0x80) {
        if (upper) {
          tile += 1;
          r = 7 - row;
        } else {
          r = 15 - row;
        }
      } else if (upper) {
        r = row;
      } else {
        tile += 1;
        r = row - 8;
      }
    } else {
      table = table_8x8;
      r = (attributes & 0x80) ? 7 - row : row;
    }
    SpriteSlot& slot = ppu.sprite_slots[count++];
    slot.oam_index = static_cast<u8>(n);
    slot.sprite_x = sprite[3];
    slot.pattern_address = static_cast<u16>(table + 16 * tile + r);
    slot.sprite_palette = attributes & 3;
    slot.sprite_flags = static_cast<u8>(((attributes >> 5) & 1) | (((attributes >> 6) & 1) << 1));
  }
}

}  // namespace

void render_sprites_line(Console& console, int line) {
  Ppu& ppu = *console.ppu;
  mapper& board = *console.mapper;
  // Height and pattern table for the selection at the end, taken now even if
  // the CPU changes ctrl while the slots are drawn.
  const u8 ctrl = ppu.ctrl;
  const int height = (ctrl & 0x20) ? 16 : 8;
  const int table_8x8 = (ctrl & 0x08) ? 0x1000 : 0x0000;

  int s = 0;
  for (; s < 8; ++s) {
    cpu_run(console, 8.0f);
    SpriteSlot& slot = ppu.sprite_slots[s];
    if (slot.oam_index == 255) {
      pattern_at(board, empty_slot_address);
      continue;
    }
    if (!(ppu.mask & 0x10)) {
      // Sprites switched off during the stage: the remaining slots only
      // pass their time, without a fetch.
      ++s;
      break;
    }
    const u8* pattern = pattern_at(board, slot.pattern_address);
    slot.pattern_lo = pattern[0];
    slot.pattern_hi = pattern[8];
    draw_sprite(ppu, slot, line);
  }
  for (; s < 8; ++s) {
    cpu_run(console, 8.0f);
  }

  select_sprites(ppu, line, height, table_8x8);
}
