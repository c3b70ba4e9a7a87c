// Saves state slot 1 of DIRECTORY/game.nes again and again, each version
// marked with its number, and says "ready" once the first is complete.
//
//   corvel-killed-writer DIRECTORY FIRST_VERSION
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cartridge/ines.h"
#include "core/console.h"
#include "files/killed_writer.h"
#include "lifecycle/power.h"
#include "lifecycle/save_state.h"

int main(int argc, char** argv) {
  if (argc != 3)
    return 64;
  const std::string directory = argv[1];
  auto console = std::make_unique<Console>();
  if (!load_rom(*console, directory + "/game.nes") || power_up(*console, nullptr, nullptr, 0) != 1)
    return 1;
  const std::string path = state_file_path(console->rom_path, 1);
  for (u32 version = static_cast<u32>(std::strtoul(argv[2], nullptr, 10));; ++version) {
    for (std::size_t i = 0; i < marker_bytes; ++i)
      console->memory[i] = marker_byte(version, i);
    if (!write_state_file(*console, path))
      return 1;
    if (std::puts("ready") < 0 || std::fflush(stdout) != 0)
      return 1;
  }
}
