// A writer killed (SIGKILL: no handler, no cleanup) while it rewrites a
// state file leaves one complete version behind, the one it had finished
// last or the one it was writing: never a torn mixture or a short file.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "cartridge/ines.h"
#include "core/console.h"
#include "lifecycle/power.h"
#include "lifecycle/save_state.h"
#include "support/fixtures.h"

namespace {

// Each version carries its number in the first 2 KB of work RAM, in a form
// that a torn or mixed file cannot imitate.
constexpr std::size_t marker_bytes = 2048;
u8 marker_byte(u32 version, std::size_t index) {
  return static_cast<u8>((version ^ static_cast<u32>(index / 4) * 0x9E3779B9u) >> (8 * (index % 4)));
}

struct Game {
  Console console;
  explicit Game(const std::string& image) {
    EXPECT_TRUE(load_rom(console, image) && power_up(console, nullptr, nullptr, 0) == 1);
  }
  ~Game() { close_console(console, 1); }
  // The version the state file holds, or 0 when it is refused or its marker
  // is not one whole version.
  u32 version_in(const std::string& state) {
    if (!read_state_file(console, state))
      return 0;
    const u8* m = console.memory.get();
    const u32 version = m[0] | m[1] << 8 | m[2] << 16 | static_cast<u32>(m[3]) << 24;
    for (std::size_t i = 0; i < marker_bytes; ++i)
      if (m[i] != marker_byte(version, i))
        return 0;
    return version;
  }
};

TEST(KilledWriter, LeavesOneCompleteVersionEveryTime) {
  ScratchDir dir;
  Game game(write_image(dir, "game.nes"));
  const std::string path = state_file_path(game.console.rom_path, 1);
  std::mt19937 random(20261206);
  u32 first = 1;
  for (int round = 0; round < 40; ++round) {
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {  // the writer: version after version, "ready" after the first
      for (u32 version = first;; ++version) {
        for (std::size_t i = 0; i < marker_bytes; ++i)
          game.console.memory[i] = marker_byte(version, i);
        if (!write_state_file(game.console, path) || ::write(pipe_ends[1], "r", 1) != 1)
          ::_exit(1);
      }
    }
    ::close(pipe_ends[1]);
    char said = 0;
    const bool ready = ::read(pipe_ends[0], &said, 1) == 1;
    if (round % 4 != 0)
      ::usleep(std::uniform_int_distribution<useconds_t>(0, 12000)(random));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(pipe_ends[0]);
    ASSERT_TRUE(ready) << "round " << round;
    const u32 version = game.version_in(path);
    ASSERT_GE(version, first) << "round " << round << ": torn, incomplete or older";
    first = version + 1;
  }
}

}  // namespace
