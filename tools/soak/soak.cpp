// The soak run: nine consoles with sound off (the gallery's previews) run in
// turn, one frame each per round, for an hour of emulated time each, and the
// run checks that nothing drifts or grows on the way:
// - the APU's frame sequencer keeps raising its interrupt step every 29780
//   CPU cycles (29781 allowed), without lost or doubled steps, and its clock
//   stays small (with sound off it is moved back by whole sequencer periods,
//   so single-precision time never loses whole cycles);
// - the picture keeps changing (the cartridge moves something every frame);
// - the resident memory stays where it was after the first minute.
//
//   corvel-soak [--frames N] [--consoles K] ROM
//
// N defaults to 216000 frames per console (an hour at 60 frames a second),
// K to 9. Prints a line every ten emulated minutes; exits 0 when every check
// held, 1 when one failed, 66 when the image cannot be loaded.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "audio/apu.h"
#include "cartridge/ines.h"
#include "core/console.h"
#include "core/scheduler.h"
#include "lifecycle/power.h"
#include "ppu/ppu.h"

namespace {

constexpr long frames_per_minute = 3600;
// The four-step sequence: an interrupt step every four sequencer steps.
constexpr long interrupt_period = 4L * sequencer_period;  // 29780
constexpr int interrupt_step = 3;
// What one frame of about 29780.5 CPU cycles does to the APU clock.
constexpr double cycles_per_frame = dots_per_frame / 3.0;
constexpr int picture_sample_frames = 60;
constexpr int frozen_samples_allowed = 10;
constexpr long rss_growth_allowed_kb = 4096;

long resident_kb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

u64 picture_hash(const Ppu& ppu) {
  u64 hash = 1469598103934665603ull;
  for (int i = 0; i < frame_buffer_bytes; ++i) {
    hash ^= ppu.frame_buffer[i];
    hash *= 1099511628211ull;
  }
  return hash;
}

// Follows one console's sequencer from frame to frame in absolute CPU cycles.
// The APU's own clock is moved back now and then; a frame that ends with the
// clock about one frame later than before had no rebase, one that ends near
// where it started had one (or more).
struct SequencerWatch {
  bool started = false;
  float last_time = 0;
  long offset = 0;  // cycles the APU's clock has been moved back in total
  long last_due = 0;
  int last_step = 0;
  long last_interrupt = -1;
  long interrupts = 0;
  long shortest = 0;
  long longest = 0;
  float highest_clock = 0;
  std::string fault;

  void observe(const Apu& apu) {
    if (apu.time > highest_clock)
      highest_clock = apu.time;
    if (!started) {
      started = true;
      remember(apu);
      return;
    }
    const double advance = static_cast<double>(apu.time) - last_time;
    const long rebases = std::lround((cycles_per_frame - advance) / static_cast<double>(interrupt_period));
    offset += rebases * interrupt_period;
    const long due = apu.sequencer.irq_due + offset;
    const long elapsed = due - last_due;
    if (elapsed % sequencer_period != 0) {
      fault = "sequencer step moved by " + std::to_string(elapsed) + " cycles, not whole steps";
      return;
    }
    const long steps = elapsed / sequencer_period;
    if (steps < 4 || steps > 5) {
      fault = std::to_string(steps) + " sequencer steps in one frame";
      return;
    }
    if (apu.frame_reg & 0x80) {
      fault = "the cartridge chose the five-step sequence, which has no interrupt step";
      return;
    }
    for (long s = 1; s <= steps; ++s) {
      if ((last_step + s) % 4 != interrupt_step)
        continue;
      const long at = last_due + (s - 1) * sequencer_period;
      if (last_interrupt >= 0) {
        const long period = at - last_interrupt;
        if (interrupts == 1 || period < shortest)
          shortest = period;
        if (interrupts == 1 || period > longest)
          longest = period;
        if (period != interrupt_period && period != interrupt_period + 1)
          fault = "frame interrupt period " + std::to_string(period) + " cycles";
      }
      last_interrupt = at;
      ++interrupts;
    }
    if ((last_step + steps) % 4 != apu.sequencer.irq_step) {
      fault = "sequencer step index out of order";
      return;
    }
    remember(apu);
  }

 private:
  void remember(const Apu& apu) {
    last_time = apu.time;
    last_due = apu.sequencer.irq_due + offset;
    last_step = apu.sequencer.irq_step;
  }
};

struct PictureWatch {
  u64 last_hash = 0;
  int frozen = 0;
  int longest_frozen = 0;
  long samples = 0;

  void observe(const Ppu& ppu) {
    const u64 hash = picture_hash(ppu);
    if (samples > 0 && hash == last_hash) {
      ++frozen;
      if (frozen > longest_frozen)
        longest_frozen = frozen;
    } else {
      frozen = 0;
    }
    last_hash = hash;
    ++samples;
  }
};

struct Soaked {
  std::unique_ptr<Console> console;
  SequencerWatch sequencer;
  PictureWatch picture;
};

int usage() {
  std::fprintf(stderr, "usage: corvel-soak [--frames N] [--consoles K] ROM\n");
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  long frames = 216000;
  int consoles = 9;
  std::string rom;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--frames" && i + 1 < argc) {
      frames = std::strtol(argv[++i], nullptr, 10);
    } else if (arg == "--consoles" && i + 1 < argc) {
      consoles = static_cast<int>(std::strtol(argv[++i], nullptr, 10));
    } else if (!arg.empty() && arg[0] != '-' && rom.empty()) {
      rom = arg;
    } else {
      return usage();
    }
  }
  if (rom.empty() || frames <= 0 || consoles <= 0)
    return usage();

  std::vector<Soaked> soaked(static_cast<std::size_t>(consoles));
  for (Soaked& one : soaked) {
    one.console = std::make_unique<Console>();
    if (!load_rom(*one.console, rom) || power_up(*one.console, nullptr, nullptr, 0) != 1) {
      std::fprintf(stderr, "cannot load %s\n", rom.c_str());
      return 66;
    }
  }

  std::printf("soak: %d consoles, %ld frames each, %s\n", consoles, frames, rom.c_str());
  const auto started = std::chrono::steady_clock::now();
  long rss_baseline = -1;
  long rss_highest = 0;
  bool failed = false;
  for (long frame = 1; frame <= frames && !failed; ++frame) {
    for (Soaked& one : soaked) {
      run_frames(*one.console, 0);
      one.sequencer.observe(*one.console->apu);
      if (frame % picture_sample_frames == 0)
        one.picture.observe(*one.console->ppu);
    }
    for (std::size_t i = 0; i < soaked.size(); ++i) {
      const Soaked& one = soaked[i];
      if (!one.sequencer.fault.empty()) {
        std::printf("FAIL console %zu frame %ld: %s\n", i, frame, one.sequencer.fault.c_str());
        failed = true;
      }
      if (one.picture.frozen > frozen_samples_allowed) {
        std::printf("FAIL console %zu frame %ld: the picture has not changed for %d seconds\n", i, frame,
                    one.picture.frozen);
        failed = true;
      }
    }
    if (frame % frames_per_minute == 0 || frame == frames) {
      const long rss = resident_kb();
      if (rss_baseline < 0)
        rss_baseline = rss;
      if (rss > rss_highest)
        rss_highest = rss;
      if (rss > rss_baseline + rss_growth_allowed_kb) {
        std::printf("FAIL frame %ld: resident memory grew from %ld KB to %ld KB\n", frame, rss_baseline, rss);
        failed = true;
      }
      if (frame % (10 * frames_per_minute) == 0 || frame == frames) {
        const SequencerWatch& first = soaked[0].sequencer;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf(
            "minute %.1f: rss %ld KB (first minute %ld KB), interrupt period %ld-%ld cycles over %ld "
            "interrupts, APU clock below %.0f, %.0f frames/s\n",
            static_cast<double>(frame) / frames_per_minute, rss, rss_baseline, first.shortest, first.longest,
            first.interrupts, static_cast<double>(first.highest_clock),
            static_cast<double>(frame) * consoles / seconds);
        std::fflush(stdout);
      }
    }
  }

  long interrupts = 0;
  long shortest = interrupt_period * 2;
  long longest = 0;
  float highest_clock = 0;
  int longest_frozen = 0;
  for (Soaked& one : soaked) {
    interrupts += one.sequencer.interrupts;
    if (one.sequencer.interrupts > 1) {
      shortest = std::min(shortest, one.sequencer.shortest);
      longest = std::max(longest, one.sequencer.longest);
    }
    highest_clock = std::max(highest_clock, one.sequencer.highest_clock);
    longest_frozen = std::max(longest_frozen, one.picture.longest_frozen);
    close_console(*one.console, 1);
  }
  // An hour of four-step sequence holds frames * cycles_per_frame / 29780
  // interrupt steps per console; missing ones show a stalled sequencer.
  const long expected =
      static_cast<long>(static_cast<double>(frames) * cycles_per_frame / interrupt_period) - 2;
  if (!failed && interrupts < expected * consoles) {
    std::printf("FAIL only %ld interrupt steps, expected at least %ld\n", interrupts, expected * consoles);
    failed = true;
  }
  std::printf(
      "%s: %ld interrupt steps, period %ld-%ld cycles, APU clock below %.0f, picture unchanged for at "
      "most %d s, rss %ld KB after the first minute, highest %ld KB\n",
      failed ? "FAILED" : "passed", interrupts, shortest, longest, static_cast<double>(highest_clock),
      longest_frozen, rss_baseline, rss_highest);
  return failed ? 1 : 0;
}
