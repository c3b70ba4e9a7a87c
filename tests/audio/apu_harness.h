// An APU wired to a console and a chunk collector, for the APU's tests.
#pragma once

#include <vector>

#include "audio/apu.h"
#include "core/console.h"

struct ApuHarness {
  Console console;
  Apu apu;
  std::vector<i16> samples;  // every chunk delivered, in order
  int chunk_calls = 0;
  int create_result = 0;

  explicit ApuHarness(bool sound_on) {
    console.p = 0;  // I clear: frame interrupts are taken
    apu.console = &console;
    create_result = apu_create(apu, sound_on ? 1 : 0, 44100, 2205, &ApuHarness::collect, this);
  }
  ~ApuHarness() { apu_free(apu); }
  ApuHarness(const ApuHarness&) = delete;
  ApuHarness& operator=(const ApuHarness&) = delete;

  static void collect(void* user, const i16* chunk, int count, int /*rate*/) {
    auto* self = static_cast<ApuHarness*>(user);
    self->samples.insert(self->samples.end(), chunk, chunk + count);
    self->chunk_calls++;
  }

  void write(u16 address, u8 value) { apu_write(apu, address, value); }

  // One CPU cycle per call, as the CPU hands them over during a rendered line.
  void run_cycles(int cycles) {
    for (int i = 0; i < cycles; i++) {
      apu_run(apu, 1.0f);
    }
    apu_sync(apu);  // so that tests can look at the channels' fields
  }
};
