// The frame schedule: dots per frame and the odd-frame skip. The CPU runs a
// JMP to itself (3 cycles) under the exact model, so the dots it was given
// follow from its balance and the instructions counted.
#include <cmath>

#include "core/catch_up.h"
#include "core/scheduler.h"
#include "cpu/cpu.h"
#include "ppu/ppu.h"
#include "support/fixtures.h"

namespace {

struct Meter {
  TestConsole t;
  long instructions = 0;
  Meter() {
    set_fast_paths(t.console, false);  // every instruction is counted
    t.console.trace_user = &instructions;
    t.console.trace_hook = [](const Console&, void* user) { ++*static_cast<long*>(user); };
  }
  long frame_dots(int extra_frames) {
    instructions = 0;
    const float before = t.console.cycle_budget;
    run_frames(t.console, extra_frames);
    return std::lround((t.console.cycle_budget - before + 144.0 * instructions) / ticks_per_dot);
  }
};

TEST(FrameTiming, DotsPerFrame) {
  struct Case {
    const char* what;
    u8 mask;
    int extra_frames;
    long dots;
  };
  const Case cases[] = {
      {"no frame", 0x00, -1, 0},
      {"one frame", 0x00, 0, 89342},
      {"nine frames", 0x00, 8, 9 * 89342},
      {"background: an even frame skips a dot", mask_background, 0, 89341},
      {"background: two frames skip one dot", mask_background, 1, 2 * 89342 - 1},
      {"sprites alone skip none", mask_sprites, 1, 2 * 89342},
  };
  for (const Case& c : cases) {
    Meter meter;
    meter.t.ppu().mask = c.mask;
    EXPECT_EQ(meter.frame_dots(c.extra_frames), c.dots) << c.what;
  }
}

}  // namespace
