// A looping writer for the crash-safety test: it rewrites one kind of file
// (a save state, a battery file or the settings file) over and over with the
// same functions the emulator uses, each time as a new version that can be
// told apart from the others, until it is killed.
//
//   corvel-crash-writer state|battery|settings DIRECTORY FIRST_VERSION
//
// DIRECTORY/game.nes is an NROM image with a battery; the files written are
// DIRECTORY/game(1).sav, DIRECTORY/game.sav and DIRECTORY/CorvelSettings.txt.
// Version v of every kind is recognisable by its contents alone (see
// crash_files.h). After the first version is complete the writer prints
// "ready" on stdout, so the test kills it only while it loops.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "cartridge/ines.h"
#include "core/console.h"
#include "core/scheduler.h"
#include "crash/crash_files.h"
#include "lifecycle/power.h"
#include "lifecycle/recent_list.h"
#include "lifecycle/save_state.h"
#include "lifecycle/session.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: corvel-crash-writer state|battery|settings DIRECTORY FIRST_VERSION\n");
    return 64;
  }
  const std::string kind = argv[1];
  const std::string directory = argv[2];
  u32 version = static_cast<u32>(std::strtoul(argv[3], nullptr, 10));

  bool announced = false;
  auto announce = [&] {
    if (!announced) {
      std::puts("ready");
      std::fflush(stdout);
      announced = true;
    }
  };

  if (kind == "settings") {
    ::setenv("CORVEL_CONFIG_DIR", directory.c_str(), 1);
    Session session;
    read_recent_list(session);
    for (;; ++version) {
      crash_files::fill_recent_list(session.recent, version);
      if (!write_recent_list(session)) {
        std::fprintf(stderr, "settings file not written\n");
        return 1;
      }
      announce();
    }
  }

  auto console = std::make_unique<Console>();
  if (!load_rom(*console, directory + "/game.nes") || power_up(*console, nullptr, nullptr, 0) != 1) {
    std::fprintf(stderr, "image not loaded\n");
    return 1;
  }
  const std::string state_path = state_file_path(console->rom_path, 1);
  for (;; ++version) {
    if (kind == "state") {
      // Every version is a different moment of a running console.
      run_frames(*console, 0);
      crash_files::fill_marker(console->memory.get(), version);
      if (!write_state_file(*console, state_path)) {
        std::fprintf(stderr, "state not written\n");
        return 1;
      }
    } else if (kind == "battery") {
      crash_files::fill_marker(console->memory.get() + battery_ram_start, version);
      if (!write_battery_file(*console)) {
        std::fprintf(stderr, "battery file not written\n");
        return 1;
      }
    } else {
      std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
      return 64;
    }
    announce();
  }
}
