// The PPU's CPU-visible registers ($2000-$2007), the folding of PPU addresses
// onto the 16 KB video memory, the palette memory rule, and the PPU's block in
// a save state. The line renderers live in render_background.cpp and
// render_sprites.cpp.
#include "ppu/ppu.h"

#include <cstring>
#include <new>

#include "cartridge/mapper.h"
#include "core/console.h"
#include "core/state_io.h"

// Red, green and blue of the 64 colour numbers the PPU can output. Numbers
// $xD-$xF are black (the hardware's $0D is "blacker than black"; we draw it as
// plain black like the others).
const u8 nes_palette[64][3] = {
    {0x75, 0x75, 0x75}, {0x27, 0x1B, 0x8F}, {0x00, 0x00, 0xAB}, {0x47, 0x00, 0x9F},
    {0x8F, 0x00, 0x77}, {0xAB, 0x00, 0x13}, {0xA7, 0x00, 0x00}, {0x7F, 0x0B, 0x00},
    {0x43, 0x2F, 0x00}, {0x00, 0x47, 0x00}, {0x00, 0x51, 0x00}, {0x00, 0x3F, 0x17},
    {0x1B, 0x3F, 0x5F}, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00},

    {0xBC, 0xBC, 0xBC}, {0x00, 0x73, 0xEF}, {0x23, 0x3B, 0xEF}, {0x83, 0x00, 0xF3},
    {0xBF, 0x00, 0xBF}, {0xE7, 0x00, 0x5B}, {0xDB, 0x2B, 0x00}, {0xCB, 0x4F, 0x0F},
    {0x8B, 0x73, 0x00}, {0x00, 0x97, 0x00}, {0x00, 0xAB, 0x00}, {0x00, 0x93, 0x3B},
    {0x00, 0x83, 0x8B}, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00},

    {0xFF, 0xFF, 0xFF}, {0x3F, 0xBF, 0xFF}, {0x5F, 0x97, 0xFF}, {0xA7, 0x8B, 0xFD},
    {0xF7, 0x7B, 0xFF}, {0xFF, 0x77, 0xB7}, {0xFF, 0x77, 0x63}, {0xFF, 0x9B, 0x3B},
    {0xF3, 0xBF, 0x3F}, {0x83, 0xD3, 0x13}, {0x4F, 0xDF, 0x4B}, {0x58, 0xF8, 0x98},
    {0x00, 0xEB, 0xDB}, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00},

    {0xFF, 0xFF, 0xFF}, {0xAB, 0xE7, 0xFF}, {0xC7, 0xD7, 0xFF}, {0xD7, 0xCB, 0xFF},
    {0xFF, 0xC7, 0xFF}, {0xFF, 0xC7, 0xDB}, {0xFF, 0xBF, 0xB3}, {0xFF, 0xDB, 0xAB},
    {0xFF, 0xE7, 0xA3}, {0xE3, 0xFF, 0xA3}, {0xAB, 0xF3, 0xBF}, {0xB3, 0xFF, 0xCF},
    {0x9F, 0xFF, 0xF3}, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00},
};

int ppu_create(Ppu& ppu) {
  int result = 1;
  ppu.vram.reset(new (std::nothrow) u8[vram_bytes]());
  ppu.oam.reset(new (std::nothrow) u8[oam_bytes]());
  if (!ppu.vram || !ppu.oam) {
    result = -1;
  }
  // The picture and the flag plane are rewritten every frame before they are
  // read, so they need no clearing.
  // One spare byte: the background renderer stores each pixel as four bytes.
  ppu.frame_buffer.reset(new (std::nothrow) u8[frame_buffer_bytes + 1]);
  ppu.pixel_flags.reset(new (std::nothrow) u8[screen_width * screen_height]);
  if (!ppu.frame_buffer || !ppu.pixel_flags) {
    result = -2;
  }

  for (SpriteSlot& slot : ppu.sprite_slots) {
    slot = SpriteSlot{};
  }
  ppu.ctrl = 0;
  ppu.mask = 0;
  ppu.status = 0;
  ppu.oam_addr = 0;
  ppu.reserved[0] = 0;
  ppu.reserved[1] = 0;
  ppu.write_toggle = 0;
  ppu.read_buffer = 0;
  ppu.vram_addr = 0;
  ppu.temp_addr = 0;
  ppu.fine_x = 0;
  ppu.frame_counter = 0;
  ppu.status_read_flag = 0;
  ppu.nmi_window = 0;
  ppu.nmi_suppressed = 0;
  ppu.sprite0_hit_done = 0;
  std::memcpy(ppu.palette_rgb, nes_palette, sizeof ppu.palette_rgb);
  ppu.background_colours.valid = false;
  return result;
}

void ppu_free(Ppu& ppu) {
  ppu.vram.reset();
  ppu.oam.reset();
  ppu.frame_buffer.reset();
  ppu.pixel_flags.reset();
}

u16 ppu_map_address(const Ppu& ppu, u16 address) {
  address &= 0x3FFF;
  // $3000-$3EFF repeats the nametable space below it.
  if (address >= 0x3000 && address < 0x3F00) {
    address -= 0x1000;
  }
  if (address >= 0x2000 && address < 0x3000) {
    // Only 2 KB of nametable memory exist on the console; the cartridge wires
    // the four logical nametables onto them.
    const i32 mirroring = ppu.console && ppu.console->mapper ? ppu.console->mapper->mirroring : -1;
    switch (mirroring) {
      case mirroring_vertical:
        return address >= 0x2800 ? static_cast<u16>(address - 0x800) : address;
      case mirroring_horizontal:
        if (address >= 0x2800) {
          return static_cast<u16>(0x2400 + (address & 0x3FF));
        }
        return address >= 0x2400 ? static_cast<u16>(0x2000 + (address & 0x3FF)) : address;
      case mirroring_single_lower:
        return static_cast<u16>(0x2000 + (address & 0x3FF));
      case mirroring_single_upper:
        return static_cast<u16>(0x2400 + (address & 0x3FF));
      default:
        return address;
    }
  }
  if (address >= 0x3F00) {
    return static_cast<u16>(0x3F00 + (address & 0x1F));
  }
  return address;
}

namespace {

void advance_vram_addr(Ppu& ppu) {
  ppu.vram_addr = static_cast<u16>(ppu.vram_addr + ((ppu.ctrl & ctrl_increment_32) ? 32 : 1));
}

void data_write(Ppu& ppu, u8 value) {
  const u16 a = ppu_map_address(ppu, ppu.vram_addr);
  if (a < 0x3F00) {
    // Pattern addresses land in video memory too, never in the cartridge.
    ppu.vram[a] = value;
  } else if ((a & 0x0F) == 0) {
    // $3F00 and $3F10: colour 0 of every palette is one shared backdrop, so
    // the renderers can look up colour 0 of any palette and get it.
    for (int i = 0; i < 32; i += 4) {
      ppu.vram[0x3F00 + i] = value;
    }
  } else if ((a & 0x03) != 0) {
    ppu.vram[a] = value;
  }
  // The other colour-0 entries ($3F04, $3F08, ... $3F1C) keep the backdrop.
  advance_vram_addr(ppu);
}

u8 data_read(Ppu& ppu) {
  const u16 v = ppu.vram_addr;
  u8 result = ppu.read_buffer;
  if (v <= 0x1FFF) {
    ppu.read_buffer = *ppu.console->mapper->chr_pointer(v);
  } else {
    ppu.read_buffer = ppu.vram[ppu_map_address(ppu, v)];
  }
  if (v >= 0x3F00 && v <= 0x3FFF) {
    // Palette reads are answered at once; the buffer takes the nametable byte
    // that lies under the palette.
    result = ppu.vram[ppu_map_address(ppu, v)];
    ppu.read_buffer = ppu.vram[ppu_map_address(ppu, static_cast<u16>(v - 0x1000))];
  }
  advance_vram_addr(ppu);
  return result;
}

}  // namespace

u8 ppu_read(Ppu& ppu, u16 address) {
  switch (address & 7) {
    case 2: {
      const u8 result = ppu.status;
      ppu.write_toggle = 0;
      ppu.status_read_flag = 1;
      ppu.status &= static_cast<u8>(~status_vblank);
      return result;
    }
    case 4: {
      const u8 value = ppu.oam[ppu.oam_addr];
      // Attribute bits 2-4 do not exist in sprite memory and read as 0.
      return (ppu.oam_addr & 3) == 2 ? static_cast<u8>(value & 0xE3) : value;
    }
    case 7:
      return data_read(ppu);
    default:
      return 0;
  }
}

void ppu_write(Ppu& ppu, u16 address, u8 value) {
  switch (address & 7) {
    case 0:
      ppu.ctrl = value;
      ppu.temp_addr = static_cast<u16>((ppu.temp_addr & ~0x0C00) | ((value & 3) << 10));
      // A $2000 write in the dots around the rise of the vblank flag can cost
      // the frame its NMI. The suppression opens when mask bit 7 is set.
      if (ppu.nmi_window && (ppu.mask & mask_emphasis_blue)) {
        ppu.nmi_suppressed = 1;
      }
      break;
    case 1:
      ppu.mask = value;
      break;
    case 2:
      break;
    case 3:
      ppu.oam_addr = value;
      break;
    case 4:
      ppu.oam[ppu.oam_addr] = value;
      ppu.oam_addr = static_cast<u8>(ppu.oam_addr + 1);
      break;
    case 5:
      if (ppu.write_toggle == 0) {
        ppu.fine_x = value & 7;
        ppu.temp_addr = static_cast<u16>((ppu.temp_addr & ~0x001F) | (value >> 3));
      } else {
        ppu.temp_addr =
            static_cast<u16>((ppu.temp_addr & ~0x73E0) | ((value & 7) << 12) | ((value >> 3) << 5));
      }
      ppu.write_toggle ^= 1;
      break;
    case 6:
      if (ppu.write_toggle == 0) {
        ppu.temp_addr = static_cast<u16>((ppu.temp_addr & 0x80FF) | ((value & 0x3F) << 8));
      } else {
        ppu.temp_addr = static_cast<u16>((ppu.temp_addr & 0xFF00) | value);
        ppu.vram_addr = ppu.temp_addr;
      }
      ppu.write_toggle ^= 1;
      break;
    case 7:
      data_write(ppu, value);
      break;
  }
}

bool ppu_write_meets_picture(const Ppu& ppu, u16 address, u8 value) {
  switch (address & 7) {
    case 0:
      return ((ppu.ctrl ^ value) & ctrl_background_1000) != 0;
    case 1:
      return ((ppu.mask ^ value) & (mask_background | mask_background_left)) != 0;
    case 5:
      // The second write only reaches temp_addr, read at the end of the line.
      return ppu.write_toggle == 0 && (value & 7) != ppu.fine_x;
    case 6:
      // So does the first.
      return ppu.write_toggle != 0;
    case 7:
      return true;
    default:
      return false;
  }
}

// The save block: the registers and scroll latches, the nametable bases,
// then the whole of video memory and sprite memory. The write toggle, fine X
// and the nametable bases index memories and tables, so they must hold
// values the hardware can hold.
void ppu_state(Ppu& ppu, StateVisitor& v) {
  v.u8_field(ppu.ctrl);
  v.u8_field(ppu.mask);
  v.u8_field(ppu.status);
  v.u8_field(ppu.oam_addr);
  v.u8_field(ppu.reserved[0]);
  v.u8_field(ppu.reserved[1]);
  v.u32_field(ppu.write_toggle, 0, 1);
  v.u8_field(ppu.read_buffer);
  v.u16_field(ppu.vram_addr);
  v.u16_field(ppu.temp_addr);
  v.u8_field(ppu.fine_x, 7);
  for (u16& base : ppu.nametable_base) {
    const u16 value = v.u16_field(base);
    v.require(value >= 0x2000 && value <= 0x2C00 && (value & 0x3FF) == 0);
  }
  v.bytes(ppu.vram.get(), vram_bytes);
  v.bytes(ppu.oam.get(), oam_bytes);
}

void ppu_save(const Ppu& ppu, StateWriter& out) {
  ppu_state(const_cast<Ppu&>(ppu), out);
}

bool ppu_load(Ppu& ppu, const u8* block, std::size_t size) {
  StateChecker check(block, size);
  ppu_state(ppu, check);
  if (!check.complete())
    return false;
  StateApplier apply(block, size);
  ppu_state(ppu, apply);
  return true;
}
