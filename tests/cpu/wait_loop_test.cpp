// Counting off a wait loop's turns must leave the console exactly as
// executing them does. Each image runs in two consoles, one of them with a
// trace hook, which makes the CPU execute every step; after every frame the
// whole save state, the picture and the sound so far must be the same.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cartridge/ines.h"
#include "core/console.h"
#include "core/scheduler.h"
#include "lifecycle/power.h"
#include "lifecycle/save_state.h"
#include "platform/platform.h"
#include "ppu/ppu.h"

namespace {

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

  static void keep_chunk(void* user, const i16* samples, int count, int) {
    auto* self = static_cast<RunningImage*>(user);
    self->sound.insert(self->sound.end(), samples, samples + count);
  }

  bool start(const std::string& path, bool traced) {
    if (load_rom(console, path) <= 0)
      return false;
    console.platform = &platform;
    if (power_up(console, keep_chunk, this, 1) <= 0)
      return false;
    if (traced) {
      console.trace_hook = [](const Console&, void*) {};
    }
    return true;
  }
  ~RunningImage() { close_console(console, 1); }
};

void expect_same_frames(const std::string& path, int frames) {
  auto plain = std::make_unique<RunningImage>();
  auto traced = std::make_unique<RunningImage>();
  ASSERT_TRUE(plain->start(path, false)) << path;
  ASSERT_TRUE(traced->start(path, true)) << path;
  for (int frame = 0; frame < frames; ++frame) {
    plain->platform.frame = traced->platform.frame = frame;
    run_frames(plain->console, 0);
    run_frames(traced->console, 0);
    ASSERT_EQ(save_state_bytes(plain->console), save_state_bytes(traced->console))
        << path << " frame " << frame;
    ASSERT_EQ(0, std::memcmp(plain->console.ppu->frame_buffer.get(), traced->console.ppu->frame_buffer.get(),
                             frame_buffer_bytes))
        << path << " frame " << frame;
    ASSERT_EQ(plain->sound, traced->sound) << path << " frame " << frame;
  }
  EXPECT_GT(plain->sound.size(), 0u);
}

std::string cartridge(const char* name) {
  return std::string(CORVEL_CARTRIDGE_DIR) + "/" + name + ".nes";
}

TEST(WaitLoops, CountingOffTurnsChangesNothing) {
  for (const char* name : {"cpu_wait_loops", "cpu_interrupts", "sound_notes", "picture_scroll",
                           "mapper_mmc3_irq", "picture_mmc3_split"}) {
    expect_same_frames(cartridge(name), 200);
  }
}

TEST(WaitLoops, CountingOffTurnsChangesNothingInAGame) {
  expect_same_frames(cartridge("demo"), 1500);
}

TEST(WaitLoops, CountingOffTurnsChangesNothingInPublicDemos) {
  const char* override_dir = std::getenv("CORVEL_SHARED_ROMS");
  const std::string dir = override_dir != nullptr ? override_dir : CORVEL_SOURCE_DIR "/../shared/roms";
  const std::string path = dir + "/demos/spritecans-2011/spritecans.nes";
  if (!std::filesystem::exists(path))
    GTEST_SKIP() << "public test ROMs not present";
  expect_same_frames(path, 600);
}

}  // namespace
