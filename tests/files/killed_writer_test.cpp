// A writer killed (SIGKILL: no handler, no cleanup) while it rewrites a
// state file leaves one complete version behind, the one it had finished
// last or the one it was writing: never a torn mixture or a short file.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "cartridge/ines.h"
#include "core/console.h"
#include "files/killed_writer.h"
#include "lifecycle/power.h"
#include "lifecycle/save_state.h"
#include "support/fixtures.h"

namespace {

// The version the file holds, or 0 when a console refuses it or its marker
// is not one whole version.
u32 version_in(const std::string& state, const std::string& image) {
  auto console = std::make_unique<Console>();
  if (!load_rom(*console, image) || power_up(*console, nullptr, nullptr, 0) != 1 ||
      !read_state_file(*console, state))
    return 0;
  const u8* m = console->memory.get();
  const u32 version = m[0] | m[1] << 8 | m[2] << 16 | static_cast<u32>(m[3]) << 24;
  for (std::size_t i = 0; i < marker_bytes; ++i) {
    if (m[i] != marker_byte(version, i))
      return 0;
  }
  close_console(*console, 1);
  return version;
}

TEST(KilledWriter, LeavesOneCompleteVersionEveryTime) {
  ScratchDir dir;
  write_image(dir, "game.nes");
  std::mt19937 random(20261206);
  u32 first = 1;
  for (int round = 0; round < 40; ++round) {
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(pipe_ends[1], STDOUT_FILENO);
      ::execl(CORVEL_KILLED_WRITER, CORVEL_KILLED_WRITER, dir.path().c_str(), std::to_string(first).c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(pipe_ends[1]);
    char said[6] = {};
    const bool ready = ::read(pipe_ends[0], said, 6) == 6;
    if (round % 4 != 0)
      ::usleep(std::uniform_int_distribution<useconds_t>(0, 12000)(random));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(pipe_ends[0]);
    ASSERT_TRUE(ready) << "round " << round;
    const u32 version = version_in(dir / "game(1).sav", dir / "game.nes");
    ASSERT_GE(version, first) << "round " << round << ": torn, incomplete or older";
    first = version + 1;
  }
}

}  // namespace
