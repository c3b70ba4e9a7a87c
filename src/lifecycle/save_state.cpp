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

bool console_ready(const Console& console) {
  return console.memory && console.ppu && console.ppu->vram && console.apu && console.mapper;
}

// The whole file, each field once: the signature and format number, the
// CPU's registers and interrupt latches, the memory array up to $7FFF, then
// the blocks of the board, the PPU and the APU. (The signature is compared
// before the file is checked: see signature_matches.)
void state_file(Console& console, StateVisitor& v) {
  u8 signature[state_signature_bytes];
  std::memcpy(signature, state_signature, state_signature_bytes);
  v.bytes(signature, state_signature_bytes);
  u32 format = state_format;
  v.u32_field(format, state_format, state_format);
  v.f32_field(console.cycle_budget, max_cycle_budget);
  v.u8_field(console.a);
  v.u8_field(console.x);
  v.u8_field(console.y);
  v.u8_field(console.p);
  v.u8_field(console.s);
  v.u16_field(console.pc);
  v.u32_field(console.irq_pending, 0, 1);
  v.u32_field(console.nmi_pending, 0, 1);
  v.u32_field(console.reset_pending, 0, 1);
  v.bytes(console.memory.get(), state_memory_bytes);
  console.mapper->state_fields(v);
  ppu_state(*console.ppu, v);
  apu_state(*console.apu, v);
}

bool signature_matches(const u8* data, std::size_t size) {
  return size >= state_signature_bytes && std::memcmp(data, state_signature, state_signature_bytes) == 0;
}

}  // namespace

std::string state_file_path(const std::string& rom_path, int slot) {
  return strip_extension(rom_path) + "(" + std::to_string(slot) + ").sav";
}

std::vector<u8> save_state_bytes(Console& console) {
  if (!console_ready(console))
    return {};
  StateWriter out;
  state_file(console, out);
  return std::move(out.bytes_out);
}

bool load_state_bytes(Console& console, const u8* data, std::size_t size) {
  if (!console_ready(console) || data == nullptr || !signature_matches(data, size))
    return false;
  // Everything is checked before anything is applied: the length for this
  // board, the format, and every field against its range.
  StateChecker check(data, size);
  state_file(console, check);
  if (!check.complete())
    return false;
  apu_before_load(*console.apu);
  StateApplier apply(data, size);
  state_file(console, apply);
  console.mapper->update_windows();
  apu_after_load(*console.apu);
  idle_loop_forget(console);  // the banks may have moved
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
  const std::size_t expected = state_fixed_bytes + static_cast<std::size_t>(console.mapper->state_size());
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
