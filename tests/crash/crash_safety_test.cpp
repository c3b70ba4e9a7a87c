// A process killed (SIGKILL: no handler, no cleanup) while it rewrites a save
// state, a battery file or the settings file must leave one complete version
// of the file behind: the one it had last finished, or the one it was
// writing, never a torn mixture or a short file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "cartridge/ines.h"
#include "core/console.h"
#include "crash/crash_files.h"
#include "lifecycle/lifecycle_support.h"
#include "lifecycle/power.h"
#include "lifecycle/recent_list.h"
#include "lifecycle/save_state.h"
#include "lifecycle/session.h"

namespace {

using lifecycle_test::read_file;
using lifecycle_test::ScratchDir;

// NROM with a battery: a program that jumps to itself.
std::vector<u8> looping_image() {
  std::vector<u8> image(16 + 32768 + 8192, 0);
  const u8 header[] = {'N', 'E', 'S', 0x1A, 2, 1, 0x02};
  std::memcpy(image.data(), header, sizeof header);
  u8* prg = image.data() + 16;
  prg[0] = 0x4C;  // JMP $8000
  prg[1] = 0x00;
  prg[2] = 0x80;
  for (int vector = 0x7FFA; vector < 0x8000; vector += 2) {
    prg[vector] = 0x00;
    prg[vector + 1] = 0x80;
  }
  return image;
}

// A running writer whose stdout the test reads.
struct Writer {
  pid_t pid = -1;
  int output = -1;
};

Writer start_writer(const std::string& kind, const std::string& directory, u32 first_version) {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0)
    return {};
  const std::string version = std::to_string(first_version);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipe_ends[1], STDOUT_FILENO);
    ::close(pipe_ends[0]);
    ::close(pipe_ends[1]);
    ::execl(CORVEL_CRASH_WRITER, CORVEL_CRASH_WRITER, kind.c_str(), directory.c_str(), version.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(pipe_ends[1]);
  return {pid, pipe_ends[0]};
}

// Blocks until the writer says it finished its first version; false when it
// ended without saying so.
bool wait_until_ready(const Writer& writer) {
  std::string said;
  char c;
  while (said.find("ready\n") == std::string::npos) {
    if (::read(writer.output, &c, 1) != 1)
      return false;
    said += c;
  }
  return true;
}

// Where a state file's copy of the memory array begins: after the signature,
// the format number and 23 bytes of CPU registers and latches.
constexpr std::size_t state_memory_file_offset = 38;

// The version a file on disk holds, or nothing when it is not one complete
// version of its kind.
std::optional<u32> state_version(const std::string& path, const std::string& image_path) {
  const std::vector<u8> bytes = read_file(path);
  if (bytes.size() != state_fixed_bytes + 4u ||
      std::memcmp(bytes.data(), state_signature, state_signature_bytes) != 0)
    return std::nullopt;
  const std::optional<u32> version = crash_files::read_marker(bytes.data() + state_memory_file_offset);
  // The whole file must also be one a console accepts.
  auto console = std::make_unique<Console>();
  if (!load_rom(*console, image_path) || power_up(*console, nullptr, nullptr, 0) != 1)
    return std::nullopt;
  const bool accepted = read_state_file(*console, path);
  close_console(*console, 1);
  return accepted ? version : std::nullopt;
}

std::optional<u32> battery_version(const std::string& path) {
  const std::vector<u8> bytes = read_file(path);
  if (bytes.size() != static_cast<std::size_t>(battery_ram_bytes))
    return std::nullopt;
  return crash_files::read_marker(bytes.data());
}

std::optional<u32> settings_version(const std::string& path) {
  const std::string text = lifecycle_test::read_text(path);
  const std::size_t start = text.find("version-");
  if (start == std::string::npos)
    return std::nullopt;
  const u32 version = static_cast<u32>(std::strtoul(text.c_str() + start + 8, nullptr, 10));
  std::string expected;
  for (int i = 0; i < recent_count; ++i)
    expected += crash_files::recent_entry(version, i) + "\n";
  if (text != expected)
    return std::nullopt;
  return version;
}

struct FileKind {
  const char* kind;
  const char* file_name;
};

void PrintTo(const FileKind& file, std::ostream* out) {
  *out << file.file_name;
}

class KilledWriter : public ::testing::TestWithParam<FileKind> {};

TEST_P(KilledWriter, LeavesOneCompleteVersionEveryTime) {
  const FileKind& file = GetParam();
  ScratchDir directory;
  ASSERT_FALSE(directory.path().empty());
  const std::string image_path = directory / "game.nes";
  lifecycle_test::write_file(image_path, looping_image());
  const std::string path = directory / file.file_name;

  // Kills land at spread-out moments of the loop: right after the first
  // version, and up to a few writes later. The order is fixed so a failure
  // can be run again.
  std::mt19937 random(20261206);
  std::uniform_int_distribution<int> delay_us(0, 12000);
  constexpr int rounds = 40;
  u32 first_version = 1;
  int rounds_past_first = 0;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Writer writer = start_writer(file.kind, directory.path(), first_version);
    ASSERT_GT(writer.pid, 0);
    const bool ready = wait_until_ready(writer);
    const int delay = round % 4 == 0 ? 0 : delay_us(random);
    if (ready && delay > 0)
      ::usleep(static_cast<useconds_t>(delay));
    ::kill(writer.pid, SIGKILL);
    int status = 0;
    ::waitpid(writer.pid, &status, 0);
    ::close(writer.output);
    ASSERT_TRUE(ready) << "the writer ended before its first version";
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    std::optional<u32> version;
    if (std::string(file.kind) == "state")
      version = state_version(path, image_path);
    else if (std::string(file.kind) == "battery")
      version = battery_version(path);
    else
      version = settings_version(path);
    ASSERT_TRUE(version.has_value()) << file.file_name << " is torn or incomplete";
    // The first version was finished before the kill: the file holds it or
    // a later one, never an older one.
    ASSERT_GE(*version, first_version);
    if (*version > first_version)
      ++rounds_past_first;
    first_version = *version + 1;
  }
  // How many kills came after a later version was finished depends on the
  // machine's speed, so it is only reported.
  std::printf("%s: %d of %d kills came after version %u was complete\n", file.kind, rounds_past_first, rounds,
              first_version - 1);
}

INSTANTIATE_TEST_SUITE_P(Files, KilledWriter,
                         ::testing::Values(FileKind{"state", "game(1).sav"}, FileKind{"battery", "game.sav"},
                                           FileKind{"settings", "CorvelSettings.txt"}),
                         [](const ::testing::TestParamInfo<FileKind>& info) {
                           return std::string(info.param.kind);
                         });

}  // namespace
