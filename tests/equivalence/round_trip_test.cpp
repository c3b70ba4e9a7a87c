// Saving and loading: a console that loads the state it saved runs on exactly
// as it ran after saving. Pictures, memory, registers and the board's and
// the PPU's blocks are compared frame by frame; the APU's clock and sequencer
// are not in the file, so its block is left out, and so is the frame parity:
// the stretches compared are an even number of frames long.
#include "audio/apu.h"
#include "core/console.h"
#include "core/scheduler.h"
#include "lifecycle/save_state.h"
#include "lifecycle/session.h"
#include "ppu/ppu.h"
#include "support/fixtures.h"

namespace {

std::vector<std::vector<u8>> record_frames(Console& console, int frames) {
  std::vector<std::vector<u8>> shots;
  for (int i = 0; i < frames; ++i) {
    run_frames(console, 0);
    std::vector<u8> shot = save_state_bytes(console);
    shot.resize(shot.size() - apu_state_bytes);
    shot.insert(shot.end(), console.ppu->frame_buffer.get(),
                console.ppu->frame_buffer.get() + frame_buffer_bytes);
    shots.push_back(std::move(shot));
  }
  return shots;
}

struct Case {
  std::string image;
  int saved_after;  // frames
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.image.substr(c.image.find_last_of('/') + 1);
}

class RoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(RoundTrip, FramesAfterLoadingAreTheFramesAfterSaving) {
  if (GetParam().image.empty())
    GTEST_SKIP() << "public test ROMs not present";
  ScriptPlatform platform;
  Session session;
  session.platform = &platform;
  ASSERT_TRUE(open_rom(session, GetParam().image, 0));
  Console& console = *session.current;
  for (int i = 0; i < GetParam().saved_after; ++i)
    run_frames(console, 0);
  const std::vector<u8> state = save_state_bytes(console);
  const auto first = record_frames(console, 8);
  ASSERT_TRUE(load_state_bytes(console, state.data(), state.size()));
  const auto second = record_frames(console, 8);
  for (std::size_t i = 0; i < first.size(); ++i)
    EXPECT_TRUE(first[i] == second[i]) << "frame " << i;
}

// Random motion; MMC3 interrupts, saved while the counter is between its
// reload and its request; MMC2's latches; many sprites with music.
INSTANTIATE_TEST_SUITE_P(Images, RoundTrip,
                         ::testing::Values(Case{cartridge("lifecycle_motion"), 37},
                                           Case{cartridge("mapper_mmc3_irq"), 41},
                                           Case{cartridge("picture_mmc3_split"), 5},
                                           Case{cartridge("mapper_mmc2_screen"), 9},
                                           Case{public_rom("demos/spritecans-2011/spritecans.nes"), 90}));

}  // namespace
