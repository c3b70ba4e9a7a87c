// What the fuzz harnesses feed their inputs through. The harnesses (libFuzzer
// builds) and the regression test of the ordinary test build share these
// functions, so an input that once broke Corvel is replayed exactly as it was
// found. Each function returns normally for every input; a fault shows as a
// sanitizer report, a crash or an abort from one of the checks below.
//
// Header-only and inline: the regression test and each harness compile it
// into their own binary.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "cartridge/ines.h"
#include "core/console.h"
#include "core/scheduler.h"
#include "lifecycle/power.h"
#include "lifecycle/save_state.h"

namespace fuzz {

// A check that holds for every input; a failure is a fault in Corvel.
inline void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
  }
}

// One scratch directory per process, for the files the entry points read;
// removed with its contents when the process ends normally.
inline const std::string& scratch_directory() {
  static const struct Directory {
    std::string path = (std::filesystem::temp_directory_path() / "corvel-fuzz-XXXXXX").string();
    Directory() { require(::mkdtemp(path.data()) != nullptr, "a scratch directory"); }
    ~Directory() {
      std::error_code error;
      std::filesystem::remove_all(path, error);
    }
  } directory;
  return directory.path;
}

inline void write_whole_file(const std::string& path, const u8* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  require(out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size)).flush().good(),
          "scratch file written");
}

// Releases a console without touching any battery file.
struct ConsoleCloser {
  Console* console;
  ~ConsoleCloser() { close_console(*console, 1); }
};

// --- Images -----------------------------------------------------------------

// The input is a whole image file. It is loaded, powered up with sound on and
// run for 30 frames when the loader takes it; the console must then take
// back the state it saves.
inline void run_image(const u8* data, std::size_t size) {
  const std::string path = scratch_directory() + "/image.nes";
  write_whole_file(path, data, size);
  auto console = std::make_unique<Console>();
  if (!load_rom(*console, path))
    return;
  ConsoleCloser closer{console.get()};
  require(console->mapper != nullptr, "a loaded image has a board");
  require(console->rom_data.size() >= std::size_t{console->prg_size} + console->chr_size + rom_guard_bytes,
          "rom_data covers the declared banks and the guard");
  require(!rom_info_text(*console).empty(), "ROM Info has a text");
  if (power_up(
          *console, [](void*, const i16*, int, int) {}, nullptr, 1) <= 0)
    return;
  run_frames(*console, 29);
  // Whatever the image did to its board, the console takes back its state.
  const std::vector<u8> state = save_state_bytes(*console);
  require(load_state_bytes(*console, state.data(), state.size()), "a console loads its own state");
}

// --- Save states --------------------------------------------------------------

// The boards a state can be loaded into, as iNES mapper numbers.
constexpr int board_numbers[] = {0, 1, 2, 4, 7, 9, 10};
constexpr int board_count = static_cast<int>(sizeof board_numbers / sizeof board_numbers[0]);

// A small image of a board: PRG banks of pseudo-random bytes (the CPU runs
// through them, writing to the board's registers along the way) behind a
// start-up routine that turns on the picture, NMI and the frame interrupt.
inline std::vector<u8> synthetic_image(int board) {
  const int number = board_numbers[board];
  const bool chr_ram = number == 2 || number == 7;
  const int prg_banks = number == 0 ? 2 : 8;  // 16 KB units
  const int chr_banks = chr_ram ? 0 : (number == 0 ? 1 : 4);
  std::vector<u8> image(16 + prg_banks * 16384 + chr_banks * 8192, 0);
  // Filler from a linear congruential generator, different for each board.
  u32 state = 0x2545F491u + static_cast<u32>(number);
  for (std::size_t i = 16; i < image.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    image[i] = static_cast<u8>(state >> 24);
  }
  std::memcpy(image.data(), "NES\x1A", 4);
  image[4] = static_cast<u8>(prg_banks);
  image[5] = static_cast<u8>(chr_banks);
  image[6] = static_cast<u8>((number << 4) | 0x02);  // battery RAM
  // Each 16 KB bank ends in the same start-up routine and vectors, so the
  // reset lands in it whichever bank the board shows at $C000-$FFFF.
  // SEI; $40 to $4017, $80 to $2000, $1E to $2001 (NMI and picture on);
  // $00 to $4017 (frame interrupt on); CLI; JMP $8000 into the random bytes.
  static const u8 start[] = {0x78, 0xA9, 0x40, 0x8D, 0x17, 0x40, 0xA9, 0x80, 0x8D, 0x00, 0x20, 0xA9, 0x1E,
                             0x8D, 0x01, 0x20, 0xA9, 0x00, 0x8D, 0x17, 0x40, 0x58, 0x4C, 0x00, 0x80};
  for (int bank = 0; bank < prg_banks; ++bank) {
    u8* end = image.data() + 16 + (bank + 1) * 16384;
    u8* routine = end - 0x100;  // $FF00
    std::memcpy(routine, start, sizeof start);
    routine[sizeof start] = 0x40;                                // RTI at $FF19: NMI and IRQ return at once
    const u8 vectors[6] = {0x19, 0xFF, 0x00, 0xFF, 0x19, 0xFF};  // NMI, reset, IRQ
    std::memcpy(end - 6, vectors, sizeof vectors);
  }
  return image;
}

// A running console of the board: powered up (sound off, as most consoles
// in the gallery are) and run for a few frames.
inline std::unique_ptr<Console> running_console(int board) {
  auto console = std::make_unique<Console>();
  static std::string paths[board_count];
  if (paths[board].empty()) {
    paths[board] = scratch_directory() + "/board" + std::to_string(board_numbers[board]) + ".nes";
    const std::vector<u8> image = synthetic_image(board);
    write_whole_file(paths[board], image.data(), image.size());
  }
  require(load_rom(*console, paths[board]) == 1, "synthetic image loads");
  require(power_up(*console, nullptr, nullptr, 0) == 1, "synthetic image powers up");
  run_frames(*console, 2);
  return console;
}

// The input describes a state file as an edit of one the console saved:
//   byte 0     the board (index into board_numbers)
//   byte 1     bit 7: change the length by (bits 0-6) - 64 bytes;
//              bit 6: go through a file (read_state_file) instead of memory
//   bytes 2-4  where the edit starts (little-endian, modulo the length)
//   bytes 5-   the bytes written from there on (clipped at the end)
// A real state file is about 50 KB; describing it as an edit keeps the seeds
// small and lets the fuzzer reach every field.
inline void run_state(const u8* data, std::size_t size) {
  if (size < 5)
    return;
  const int board = data[0] % board_count;
  auto console = running_console(board);
  ConsoleCloser closer{console.get()};

  std::vector<u8> state = save_state_bytes(*console);
  require(load_state_bytes(*console, state.data(), state.size()), "a console loads its own state");
  const std::vector<u8> before = state;
  if (data[1] & 0x80) {
    const long change = static_cast<long>(data[1] & 0x7F) - 64;
    state.resize(static_cast<std::size_t>(static_cast<long>(state.size()) + change), 0xA5);
  }
  if (!state.empty()) {
    std::size_t at = (data[2] | data[3] << 8 | data[4] << 16) % state.size();
    for (std::size_t i = 5; i < size && at < state.size(); ++i, ++at)
      state[at] = data[i];
  }

  bool loaded;
  if (data[1] & 0x40) {
    const std::string path = scratch_directory() + "/state(1).sav";
    write_whole_file(path, state.data(), state.size());
    loaded = read_state_file(*console, path);
  } else {
    loaded = load_state_bytes(*console, state.data(), state.size());
  }
  if (!loaded) {
    // A refused file changes nothing: the console saves what it held before.
    require(save_state_bytes(*console) == before, "a refused state leaves the console as it was");
    return;
  }
  run_frames(*console, 1);
  // Whatever the console reached from an accepted state, it can save and
  // take back.
  std::vector<u8> again = save_state_bytes(*console);
  require(load_state_bytes(*console, again.data(), again.size()), "a state reached from a loaded one loads");
  run_frames(*console, 0);
}

}  // namespace fuzz
