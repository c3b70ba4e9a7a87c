// The fast paths against the exact model. Every cartridge of ours, and each
// public ROM when ../shared is there, runs in two consoles, one with the fast
// paths and one without; after every frame the picture, the sound so far and
// the whole saved state must be the same. The images are dealt round four
// shards, so that the test runs in parallel.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "cartridge/ines.h"
#include "core/scheduler.h"
#include "lifecycle/power.h"
#include "lifecycle/save_state.h"
#include "ppu/ppu.h"
#include "support/fixtures.h"

namespace {

constexpr int shards = 4;
// The exact model is slow in the sanitizer build, which runs fewer frames.
#if defined(__SANITIZE_ADDRESS__)
constexpr int frames = 40;
#else
constexpr int frames = 300;
#endif

// Presses Start now and then and otherwise cycles through the pad, so that a
// game leaves its title screen and moves about.
class PadPlatform : public NullPlatform {
 public:
  int frame = 0;
  bool key_down(int key) override {
    if (frame % 300 >= 130 && frame % 300 < 136)
      return key == vk_return;
    static const int moves[] = {vk_right, vk_up, vk_left, vk_down, vk_space, vk_x};
    return key == moves[(frame / 23) % 6] || (key == vk_space && frame % 7 == 0);
  }
};

struct RunningImage {
  Console console;
  PadPlatform platform;
  std::vector<i16> sound;

  bool start(const std::string& path, bool fast) {
    console.fast.on = fast;
    console.platform = &platform;
    const auto keep = [](void* user, const i16* samples, int count, int) {
      auto& sound = static_cast<RunningImage*>(user)->sound;
      sound.insert(sound.end(), samples, samples + count);
    };
    return load_rom(console, path) == 1 && power_up(console, keep, this, 1) == 1;
  }
  ~RunningImage() { close_console(console, 1); }
};

void expect_same_frames(const std::string& path) {
  auto fast = std::make_unique<RunningImage>();
  auto exact = std::make_unique<RunningImage>();
  ASSERT_TRUE(fast->start(path, true));
  ASSERT_TRUE(exact->start(path, false));
  for (int frame = 0; frame < frames; ++frame) {
    fast->platform.frame = exact->platform.frame = frame;
    run_frames(fast->console, 0);
    run_frames(exact->console, 0);
    ASSERT_EQ(0, std::memcmp(fast->console.ppu->frame_buffer.get(), exact->console.ppu->frame_buffer.get(),
                             frame_buffer_bytes))
        << "picture, frame " << frame;
    ASSERT_EQ(fast->sound, exact->sound) << "sound, frame " << frame;
    ASSERT_EQ(save_state_bytes(fast->console), save_state_bytes(exact->console)) << "state, frame " << frame;
  }
}

std::vector<std::string> images() {
  std::vector<std::string> found;
  for (const char* dir : {CORVEL_CARTRIDGE_DIR, CORVEL_SOURCE_DIR "/../shared/roms"}) {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
      if (it->path().extension() == ".nes")
        found.push_back(it->path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

class FastPaths : public ::testing::TestWithParam<int> {};

TEST_P(FastPaths, GiveTheExactModelsPicturesSoundAndStates) {
  const std::vector<std::string> all = images();
  ASSERT_FALSE(all.empty());
  for (std::size_t i = static_cast<std::size_t>(GetParam()); i < all.size(); i += shards) {
    SCOPED_TRACE(all[i]);
    expect_same_frames(all[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(Shards, FastPaths, ::testing::Range(0, shards));

}  // namespace
