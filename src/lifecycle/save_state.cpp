#include "lifecycle/save_state.h"

#include <cmath>
#include <cstring>

#include "audio/apu.h"
#include "cartridge/mapper.h"
#include "core/console.h"
#include "core/state_io.h"
#include "cpu/idle_loop.h"
#include "lifecycle/file_write.h"
#include "lifecycle/save_place.h"
#include "lifecycle/session.h"
#include "platform/platform.h"
#include "ppu/ppu.h"
#include "text/message.h"

namespace {

// The CPU's balance is a few thousand ticks at most between frames; anything
// beyond 2^20 ticks (over 20000 CPU cycles) was never written by a console.
constexpr float max_cycle_budget = 1048576.0f;

// Offsets inside the PPU's block.
constexpr std::size_t ppu_write_toggle = 6;
constexpr std::size_t ppu_fine_x = 15;
constexpr std::size_t ppu_nametable_base = 16;

// The APU's block: 16 register bytes, then 23 words. Word indices of the
// fields whose values index tables or scale the output.
constexpr std::size_t apu_words = 16;
constexpr int apu_pulse1_volume = 8;
constexpr int apu_pulse2_volume = 9;
constexpr int apu_noise_volume = 10;
constexpr int apu_pulse1_env_level = 14;
constexpr int apu_pulse2_env_level = 19;

u16 read_u16(const u8* p) {
  return static_cast<u16>(p[0] | (p[1] << 8));
}
u32 read_u32(const u8* p) {
  return static_cast<u32>(p[0]) | (static_cast<u32>(p[1]) << 8) | (static_cast<u32>(p[2]) << 16) |
         (static_cast<u32>(p[3]) << 24);
}
float read_f32(const u8* p) {
  u32 raw = read_u32(p);
  float value;
  std::memcpy(&value, &raw, 4);
  return value;
}

bool console_fields_valid(const u8* file) {
  float budget = read_f32(file + 15);
  if (!std::isfinite(budget) || std::fabs(budget) > max_cycle_budget)
    return false;
  for (std::size_t offset = 26; offset < state_memory_offset; offset += 4) {
    if (read_u32(file + offset) > 1)
      return false;  // the three interrupt latches
  }
  return true;
}

bool ppu_block_valid(const u8* block) {
  if (read_u32(block + ppu_write_toggle) > 1)
    return false;
  if (block[ppu_fine_x] > 7)
    return false;
  for (int i = 0; i < 4; ++i) {
    u16 base = read_u16(block + ppu_nametable_base + 2 * i);
    if (base != 0x2000 && base != 0x2400 && base != 0x2800 && base != 0x2C00)
      return false;
  }
  return true;
}

bool apu_block_valid(const u8* block) {
  for (int word :
       {apu_pulse1_volume, apu_pulse2_volume, apu_noise_volume, apu_pulse1_env_level, apu_pulse2_env_level}) {
    u32 value = read_u32(block + apu_words + 4 * static_cast<std::size_t>(word));
    if (value > 15)
      return false;
  }
  return true;
}

bool console_ready(const Console& console) {
  return console.memory && console.ppu && console.ppu->vram && console.apu && console.mapper;
}

}  // namespace

StateLayout state_layout(std::size_t mapper_bytes) {
  StateLayout layout;
  layout.mapper_offset = state_mapper_offset;
  layout.mapper_bytes = mapper_bytes;
  layout.ppu_offset = layout.mapper_offset + mapper_bytes;
  layout.apu_offset = layout.ppu_offset + ppu_state_bytes;
  layout.total_bytes = layout.apu_offset + apu_state_bytes;
  return layout;
}

std::string state_file_path(const std::string& rom_path, int slot) {
  return strip_extension(rom_path) + "(" + std::to_string(slot) + ").sav";
}

std::vector<u8> save_state_bytes(Console& console) {
  if (!console_ready(console))
    return {};
  StateWriter out;
  out.bytes.reserve(state_layout(static_cast<std::size_t>(console.mapper->state_size())).total_bytes);
  out.put_bytes(reinterpret_cast<const u8*>(state_signature), state_signature_bytes);
  out.put_u32(state_format);
  out.put_f32(console.cycle_budget);
  out.put_u8(console.a);
  out.put_u8(console.x);
  out.put_u8(console.y);
  out.put_u8(console.p);
  out.put_u8(console.s);
  out.put_u16(console.pc);
  out.put_u32(console.irq_pending);
  out.put_u32(console.nmi_pending);
  out.put_u32(console.reset_pending);
  out.put_bytes(console.memory.get(), state_memory_bytes);
  console.mapper->save_state(out);
  ppu_save(*console.ppu, out);
  apu_save_state(*console.apu, out);
  return std::move(out.bytes);
}

bool load_state_bytes(Console& console, const u8* data, std::size_t size) {
  if (!console_ready(console) || data == nullptr)
    return false;
  int mapper_bytes = console.mapper->state_size();
  if (mapper_bytes < 0)
    return false;
  StateLayout layout = state_layout(static_cast<std::size_t>(mapper_bytes));

  // Everything is checked before anything is applied: the length for this
  // board, the signature and format, then the fields that index memories or
  // tables. The PPU and APU take their blocks as they are, so their fields are
  // checked here by their place in the file.
  if (size != layout.total_bytes)
    return false;
  if (std::memcmp(data, state_signature, state_signature_bytes) != 0)
    return false;
  if (read_u32(data + state_signature_bytes) != state_format)
    return false;
  if (!console_fields_valid(data))
    return false;
  if (!ppu_block_valid(data + layout.ppu_offset))
    return false;
  if (!apu_block_valid(data + layout.apu_offset))
    return false;

  // The mapper checks its own block (bank offsets against this image, latch
  // values) and refuses it without changing anything; it goes first so that a
  // refusal still leaves the whole console as it was.
  StateReader mapper_in(data + layout.mapper_offset, layout.mapper_bytes);
  if (!console.mapper->load_state(mapper_in))
    return false;
  idle_loop_forget(console);  // the banks may have moved

  StateReader in(data, size);
  in.position = 15;
  console.cycle_budget = in.get_f32();
  console.a = in.get_u8();
  console.x = in.get_u8();
  console.y = in.get_u8();
  console.p = in.get_u8();
  console.s = in.get_u8();
  console.pc = in.get_u16();
  console.irq_pending = in.get_u32();
  console.nmi_pending = in.get_u32();
  console.reset_pending = in.get_u32();
  in.get_bytes(console.memory.get(), state_memory_bytes);

  StateReader ppu_in(data + layout.ppu_offset, ppu_state_bytes);
  ppu_load(*console.ppu, ppu_in);
  StateReader apu_in(data + layout.apu_offset, apu_state_bytes);
  apu_load_state(*console.apu, apu_in);
  return true;
}

bool write_state_file(Console& console, const std::string& path) {
  if (!console_ready(console))
    return false;
  return write_file_atomically(path, save_state_bytes(console));
}

bool read_state_file(Console& console, const std::string& path) {
  if (!console_ready(console))
    return false;
  int mapper_bytes = console.mapper->state_size();
  if (mapper_bytes < 0)
    return false;
  std::size_t expected = state_layout(static_cast<std::size_t>(mapper_bytes)).total_bytes;
  // One byte more than a state holds is enough to tell a longer file.
  std::vector<u8> bytes;
  bool longer = false;
  if (!read_file_prefix(path, expected, bytes, &longer) || longer)
    return false;
  return load_state_bytes(console, bytes.data(), bytes.size());
}

bool save_slot(Session& session, int slot) {
  if (!session.current)
    return false;
  Console& console = *session.current;
  std::vector<u8> bytes = save_state_bytes(console);
  SavePlace place = bytes.empty()
                        ? SavePlace::none
                        : write_save_file(save_file(console.rom_path, slot), bytes.data(), bytes.size());
  if (place == SavePlace::none) {
    show_message(session.platform, "Unable to Save State %d", slot);
    return false;
  }
  show_message(session.platform, "Saved State %d", slot);
  if (place == SavePlace::saves_folder)
    console.saves_folder_used = true;
  note_saves_folder(session);
  return true;
}

bool load_slot(Session& session, int slot) {
  if (!session.current)
    return false;
  Console& console = *session.current;
  SaveFile file = save_file(console.rom_path, slot);
  SavePlace place = save_place_to_read(file);
  if (place == SavePlace::none || !read_state_file(console, save_path(file, place))) {
    show_message(session.platform, "Unable to Load State %d", slot);
    return false;
  }
  show_message(session.platform, "Loaded State %d", slot);
  if (place == SavePlace::saves_folder)
    console.saves_folder_used = true;
  note_saves_folder(session);
  return true;
}

void poll_state_hotkeys(Session& session) {
  static constexpr int keys[state_slots] = {vk_f1, vk_f2, vk_f3, vk_f4};
  for (int i = 0; i < state_slots; ++i) {
    bool down = session.platform != nullptr && session.platform->key_down(keys[i]);
    session.state_key_pressed[i] = down && !session.state_key_held[i];
    session.state_key_held[i] = down;
  }
  if (!session.current)
    return;

  for (int slot = 1; slot <= state_slots; ++slot) {
    if (!session.state_key_pressed[slot - 1])
      continue;
    // Shift is read per key, at the moment the key is served.
    if (session.platform != nullptr && session.platform->key_down(vk_shift))
      save_slot(session, slot);
    else
      load_slot(session, slot);
  }
}
