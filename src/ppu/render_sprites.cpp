// The sprite stage of a visible line. It runs after the line's background
// pixels, in the 64 dots where the hardware fetches sprite patterns, and does
// two things: it draws the (up to eight) sprites that were chosen on the
// previous line, then chooses the sprites for the next line from sprite
// memory. The hardware works the same way, one line ahead, which is why a
// sprite whose Y byte is y first appears on line y + 1, and why line 0 never
// shows a sprite: the pre-render line before it selects none.
//
// Sprites meet the background through pixel_flags: the background renderer
// has just written 0 (transparent) or 1 (opaque) for every pixel of the line,
// and the first sprite pixel to land on a pixel writes 2 there, so that lower
// numbered sprites win over higher numbered ones even when they are hidden
// behind the background.
#include <algorithm>
#include <array>

#include "cartridge/mapper.h"
#include "core/console.h"
#include "cpu/cpu.h"
#include "ppu/ppu.h"

namespace {

// Each byte with its bits in the opposite order.
constexpr std::array<u8, 256> make_reversed() {
  std::array<u8, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      if (byte & (1 << bit))
        table[byte] = static_cast<u8>(table[byte] | (0x80 >> bit));
    }
  }
  return table;
}
constexpr std::array<u8, 256> reversed = make_reversed();

// The slot's pattern bytes are shift registers: each pixel of the sprite that
// lies on the line (left of column 256) shifts them once, left, or right when
// the sprite is flipped, and they keep what is left.
void shift_out(SpriteSlot& slot, bool flip) {
  const int shifts = std::min(8, screen_width - slot.sprite_x);
  if (shifts >= 8) {
    slot.pattern_lo = 0;
    slot.pattern_hi = 0;
  } else if (flip) {
    slot.pattern_lo = static_cast<u8>(slot.pattern_lo >> shifts);
    slot.pattern_hi = static_cast<u8>(slot.pattern_hi >> shifts);
  } else {
    slot.pattern_lo = static_cast<u8>(slot.pattern_lo << shifts);
    slot.pattern_hi = static_cast<u8>(slot.pattern_hi << shifts);
  }
}

void draw_sprite(Ppu& ppu, SpriteSlot& slot, int line) {
  const bool behind = slot.sprite_flags & 1;
  const bool flip = slot.sprite_flags & 2;
  // The leftmost pixel in bit 7 of both planes.
  const u8 lo = flip ? reversed[slot.pattern_lo] : slot.pattern_lo;
  const u8 hi = flip ? reversed[slot.pattern_hi] : slot.pattern_hi;
  shift_out(slot, flip);
  if ((lo | hi) == 0)
    return;  // a transparent row

  u8* flags = ppu.pixel_flags.get() + line * screen_width;
  u8* out = ppu.frame_buffer.get() + line * screen_width * 3;
  const u8* palette = ppu.vram.get() + 0x3F10 + 4 * (slot.sprite_palette & 3);
  const int first = (ppu.mask & mask_sprites_left) ? 0 : 8;  // the leftmost 8 columns may be clipped
  // Sprite zero over an opaque background pixel. The hit is never reported
  // at column 255, nor on the last line of the picture.
  bool hit_test = slot.oam_index == 0 && line <= 238 && !ppu.sprite0_hit_done;
  const int end = std::min(8, screen_width - slot.sprite_x);  // nothing wraps round to the left edge
  for (int i = 0; i < end; ++i) {
    const int x = slot.sprite_x + i;
    const int value = (((hi << i) & 0x80) >> 6) | (((lo << i) & 0x80) >> 7);
    if (value == 0 || x < first) {
      continue;
    }
    const u8 f = flags[x];
    if (hit_test && x <= 254 && f != 0) {
      ppu.status |= status_sprite0_hit;
      ppu.sprite0_hit_done = 1;
      hit_test = false;
    }
    if (f >= 2) {
      continue;  // an earlier sprite owns the pixel
    }
    flags[x] = 2;
    if (behind && f == 1) {
      continue;  // hidden behind the background, but it still claims the pixel
    }
    const u8* rgb = ppu.palette_rgb[palette[value] & 0x3F];
    out[3 * x] = rgb[0];
    out[3 * x + 1] = rgb[1];
    out[3 * x + 2] = rgb[2];
  }
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
      ppu.status |= status_overflow;
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
  const int height = (ctrl & ctrl_sprites_16) ? 16 : 8;
  const int table_8x8 = (ctrl & ctrl_sprites_1000) ? 0x1000 : 0x0000;

  int s = 0;
  for (; s < 8; ++s) {
    cpu_run(console, 8.0f);
    SpriteSlot& slot = ppu.sprite_slots[s];
    if (slot.oam_index == 255) {
      pattern_at(board, empty_sprite_slot_address);
      continue;
    }
    if (!(ppu.mask & mask_sprites)) {
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
