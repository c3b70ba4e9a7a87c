// Save states on public test programs (skipped when the ROM folder is absent).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "core/console.h"
#include "core/scheduler.h"
#include "lifecycle/save_state.h"
#include "lifecycle/session.h"
#include "lifecycle_support.h"
#include "ppu/ppu.h"

namespace {

using namespace lifecycle_test;

// The folder sits beside the project; CORVEL_SHARED_ROMS may point elsewhere.
std::string public_rom(const std::string& name) {
  const char* override_dir = std::getenv("CORVEL_SHARED_ROMS");
  std::string dir = override_dir != nullptr ? override_dir : CORVEL_SOURCE_DIR "/../shared/roms";
  std::string path = dir + "/" + name;
  return file_exists(path) ? path : std::string();
}

class PublicRomState : public ::testing::Test {
 protected:
  ScriptPlatform platform;
  Session session;
  void SetUp() override { session.platform = &platform; }
};

// An instruction test reports through $6000. Its state, saved part way and
// loaded into a freshly opened console, finishes the run and passes.
TEST_F(PublicRomState, InstructionTestFinishesFromAStateSavedPartWay) {
  std::string path = public_rom("instr_test-v5/rom_singles/02-implied.nes");
  if (path.empty())
    GTEST_SKIP() << "public test ROMs not present";
  // Frames until the status leaves $80, or -1.
  auto run_to_result = [](Console& console) {
    for (int frames = 0; frames < 600; ++frames) {
      if (console.memory[0x6001] == 0xDE && console.memory[0x6000] < 0x80)
        return frames;
      run_frames(console, 0);
    }
    return -1;
  };

  ASSERT_TRUE(open_rom(session, path, 0));
  const int from_power_up = run_to_result(*session.current);
  ASSERT_GT(from_power_up, 60);

  constexpr int saved_at = 40;
  ASSERT_TRUE(open_rom(session, path, 0));
  for (int i = 0; i < saved_at; ++i)
    run_frames(*session.current, 0);
  ASSERT_EQ(session.current->memory[0x6000], 0x80) << "still running when saved";
  std::vector<u8> state = save_state_bytes(*session.current);

  ASSERT_TRUE(open_rom(session, path, 0));
  Console& console = *session.current;
  ASSERT_TRUE(load_state_bytes(console, state.data(), state.size()));
  const int after_load = run_to_result(console);
  EXPECT_EQ(console.memory[0x6000], 0x00) << reinterpret_cast<const char*>(&console.memory[0x6004]);
  EXPECT_EQ(after_load, from_power_up - saved_at) << "the run resumes where it was saved";
}

// Many moving sprites and music: the pictures after loading are the pictures
// after saving.
TEST_F(PublicRomState, SpriteDemoShowsTheSamePicturesAfterLoading) {
  std::string path = public_rom("demos/spritecans-2011/spritecans.nes");
  if (path.empty())
    GTEST_SKIP() << "public test ROMs not present";
  ASSERT_TRUE(open_rom(session, path, 0));
  Console& console = *session.current;
  for (int i = 0; i < 90; ++i)
    run_frames(console, 0);
  std::vector<u8> state = save_state_bytes(console);
  std::vector<std::vector<u8>> pictures;
  for (int i = 0; i < 10; ++i) {
    run_frames(console, 0);
    pictures.emplace_back(console.ppu->frame_buffer.get(),
                          console.ppu->frame_buffer.get() + frame_buffer_bytes);
  }
  EXPECT_NE(pictures.front(), pictures.back()) << "the sprites must move";
  ASSERT_TRUE(load_state_bytes(console, state.data(), state.size()));
  for (int i = 0; i < 10; ++i) {
    run_frames(console, 0);
    EXPECT_EQ(0, std::memcmp(pictures[i].data(), console.ppu->frame_buffer.get(), frame_buffer_bytes))
        << "frame " << i;
  }
}

}  // namespace
