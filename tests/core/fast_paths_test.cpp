// The fast paths against the exact model. Every cartridge of ours, and each
// public ROM when ../shared is there, runs in two consoles, one with the fast
// paths and one without; after every frame the picture, the sound so far and
// the whole saved state must be the same. The images are dealt round four
// shards, so that the test runs in parallel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cartridge/ines.h"
#include "core/catch_up.h"
#include "core/console.h"
#include "core/scheduler.h"
#include "lifecycle/power.h"
#include "lifecycle/save_state.h"
#include "platform/platform.h"
#include "ppu/ppu.h"

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

  static void keep_chunk(void* user, const i16* samples, int count, int) {
    auto* self = static_cast<RunningImage*>(user);
    self->sound.insert(self->sound.end(), samples, samples + count);
  }

  bool start(const std::string& path, bool fast) {
    console.fast.on = fast;
    console.platform = &platform;
    return load_rom(console, path) == 1 && power_up(console, keep_chunk, this, 1) == 1;
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
  const char* override_dir = std::getenv("CORVEL_SHARED_ROMS");
  const std::string shared = override_dir != nullptr ? override_dir : CORVEL_SOURCE_DIR "/../shared/roms";
  for (const std::string& dir : {std::string(CORVEL_CARTRIDGE_DIR), shared}) {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      if (it->path().extension() == ".nes")
        found.push_back(it->path().string());
    }
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

// An MMC3 image whose background patterns come from $1000, so that A12 rises
// at a background fetch in the middle of the pixels (every image above takes
// them from $0000, and A12 rises only in the sprite stage). The counter's
// latch is 0: every rise requests the interrupt. The main loop switches the
// background to $1000 after a delay that changes every time and waits in a
// loop on a byte of work RAM; the interrupt handler switches it back to
// $0000 and ends the wait. The NMI handler leaves A12 low with a pattern
// read, and moves the scroll and changes the mask from frame to frame.
std::vector<u8> upper_background_mmc3_image() {
  const std::vector<u8> reset = {
      0x78,                                // SEI
      0xA9, 0x3F, 0x8D, 0x06, 0x20,        // LDA #$3F, STA $2006
      0xA9, 0x00, 0x8D, 0x06, 0x20,        // LDA #$00, STA $2006
      0xA9, 0x0F, 0x8D, 0x07, 0x20,        // the background palette: $0F, $16, $2A, $12
      0xA9, 0x16, 0x8D, 0x07, 0x20,        //
      0xA9, 0x2A, 0x8D, 0x07, 0x20,        //
      0xA9, 0x12, 0x8D, 0x07, 0x20,        //
      0xA9, 0x00, 0x8D, 0x00, 0xC0,        // latch 0
      0x8D, 0x01, 0xC0, 0x8D, 0x01, 0xE0,  // reload, requests on
      0xA9, 0x80, 0x8D, 0x00, 0x20,        // NMI on
      0x58,                                // CLI
      0xA9, 0x00, 0x85, 0x02,              // $8030: LDA #$00, STA $02
      0xE6, 0x01, 0xA5, 0x01,              // INC $01, LDA $01
      0x29, 0x07, 0xAA,                    // AND #$07, TAX
      0xCA, 0x10, 0xFD,                    // DEX, BPL: a delay of 1 to 8 turns
      0xA9, 0x90, 0x8D, 0x00, 0x20,        // background from $1000
      0xA5, 0x02, 0xF0, 0xFC,              // $8043: LDA $02, BEQ $8043
      0x4C, 0x30, 0x80,                    // JMP $8030
  };
  const std::vector<u8> nmi = {
      0x48,                                // $8050: PHA
      0xA9, 0x00, 0x8D, 0x06, 0x20,        // LDA #$00, STA $2006
      0x8D, 0x06, 0x20,                    // STA $2006
      0xAD, 0x07, 0x20,                    // LDA $2007: a pattern read from $0000
      0xE6, 0x00, 0xA5, 0x00,              // INC $00, LDA $00
      0x8D, 0x05, 0x20, 0x8D, 0x05, 0x20,  // the scroll from the frame count
      0x29, 0x16, 0x09, 0x08,              // AND #$16, ORA #$08: sprites, clipping
      0x8D, 0x01, 0x20,                    // STA $2001
      0x68, 0x40,                          // PLA, RTI
  };
  const std::vector<u8> irq = {
      0x48,                                // $8070: PHA
      0xA9, 0x80, 0x8D, 0x00, 0x20,        // background from $0000
      0x85, 0x02,                          // STA $02: the wait ends
      0x8D, 0x00, 0xE0, 0x8D, 0x01, 0xE0,  // requests off and on
      0x68, 0x40,                          // PLA, RTI
  };
  constexpr int prg = 0x8000;
  constexpr int chr = 0x2000;
  std::vector<u8> image = {'N', 'E', 'S', 0x1A, prg / 0x4000, chr / 0x2000, 0x40, 0x00};
  image.resize(16 + prg + chr, 0);
  // Every 8 KB bank holds the same code and vectors, whichever banks the
  // board shows.
  for (int bank = 0; bank < prg / 0x2000; ++bank) {
    u8* base = image.data() + 16 + bank * 0x2000;
    std::copy(reset.begin(), reset.end(), base);
    std::copy(nmi.begin(), nmi.end(), base + 0x50);
    std::copy(irq.begin(), irq.end(), base + 0x70);
    const u8 vectors[6] = {0x50, 0x80, 0x00, 0x80, 0x70, 0x80};
    std::copy(vectors, vectors + 6, base + 0x1FFA);
  }
  // Tile 0 differs between the two pattern tables.
  for (int i = 0; i < chr; ++i)
    image[16 + prg + i] = static_cast<u8>((i * 37) ^ (i >> 5) ^ (i >= 0x1000 ? 0x5A : 0));
  return image;
}

TEST(FastPaths, GiveTheExactModelsResultsWhenABackgroundFetchClocksTheMmc3) {
  const std::string path = ::testing::TempDir() + "upper_background_mmc3.nes";
  const std::vector<u8> image = upper_background_mmc3_image();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  expect_same_frames(path);
  std::filesystem::remove(path);
}

}  // namespace
