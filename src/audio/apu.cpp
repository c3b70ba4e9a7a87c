// The APU record's life: creation, register writes, the status read, the save
// block and the run loop that ties the frame sequencer and the channels
// together. The sequencer lives in apu_sequencer.cpp, the channels' output in
// apu_channels.cpp.
#include "audio/apu.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

#include "audio/apu_internal.h"
#include "audio/blip_buf.h"
#include "core/state_io.h"

namespace {

// The length counter's load values in half-frames (length clocks), indexed by
// bits 3-7 of the channel's last register.
constexpr u8 length_table[32] = {10, 254, 20, 2,  40, 4,  80, 6,  160, 8,  60, 10, 14, 12, 26, 14,
                                 12, 16,  24, 18, 48, 20, 96, 22, 192, 24, 72, 26, 16, 28, 32, 30};

// A chunk of more than this many samples, or a rate at or above the CPU clock,
// would not fit the buffer's arithmetic.
constexpr int max_chunk_samples = 1 << 20;

// Keeps the record's owner and resets every other field to its power-up value.
void apu_reset_fields(Apu& apu) {
  Console* console = apu.console;
  apu = Apu{};
  apu.console = console;
}

}  // namespace

int apu_length_load(u8 value) {
  return length_table[value >> 3];
}

int apu_create(Apu& apu, int sound_on, int sample_rate, int chunk_samples, ChunkCallback on_chunk,
               void* on_chunk_user) {
  apu_reset_fields(apu);
  apu.sound_on = sound_on;
  apu.sample_rate = sample_rate;
  apu.chunk_samples = chunk_samples;
  apu.on_chunk = on_chunk;
  apu.on_chunk_user = on_chunk_user;
  if (!sound_on) {
    return 1;
  }
  if (chunk_samples <= 0 || chunk_samples > max_chunk_samples || sample_rate <= 0 ||
      sample_rate >= apu.clock_rate) {
    return -1;
  }
  // Room for four chunks: one being filled, one waiting, and the surplus that
  // builds up because each frame ends a few clocks past the chunk boundary.
  apu.blip = blip_buf_create(4 * chunk_samples);
  if (apu.blip == nullptr) {
    return -1;
  }
  blip_buf_set_rates(apu.blip, apu.clock_rate, sample_rate);
  apu.chunk_clocks = blip_buf_clocks_needed(apu.blip, chunk_samples);
  apu.chunk = static_cast<i16*>(std::calloc(static_cast<std::size_t>(chunk_samples), sizeof(i16)));
  if (apu.chunk == nullptr) {
    return -2;
  }
  return 1;
}

void apu_free(Apu& apu) {
  if (!apu.sound_on) {
    return;
  }
  std::free(apu.chunk);
  apu.chunk = nullptr;
  blip_buf_destroy(apu.blip);
  apu.blip = nullptr;
}

void apu_write(Apu& apu, u16 address, u8 value) {
  // The calls before the write saw the old registers.
  if (apu.sound_on) {
    apu_flush_channels(apu);
  }
  apu_invalidate(apu);
  if (address >= 0x4000 && address <= 0x4007) {
    Pulse& pulse = apu.pulse[(address >> 2) & 1];
    pulse.reg[address & 3] = value;
    if ((address & 3) == 3) {
      // Writing the high period bits also loads the length counter and
      // restarts the envelope from full volume.
      pulse.length = apu_length_load(value);
      pulse.env.level = 15;
      pulse.env.divider = pulse.reg[0] & 15;
    }
    return;
  }
  switch (address) {
    case 0x4008:
      apu.triangle.reg[0] = value;
      break;
    case 0x400A:
      apu.triangle.reg[1] = value;
      break;
    case 0x400B:
      // Also asks the linear counter to reload at the next quarter-frame.
      apu.triangle.reg[2] = value;
      apu.triangle.reload = 1;
      apu.triangle.length = apu_length_load(value);
      break;
    case 0x400C:
      apu.noise.reg[0] = value;
      break;
    case 0x400E:
      apu.noise.reg[1] = value;
      break;
    case 0x400F:
      // Only the length counter is loaded; the noise envelope keeps running.
      apu.noise.reg[2] = value;
      apu.noise.length = apu_length_load(value);
      break;
    case 0x4015:
      // A channel switched off loses its remaining length at once.
      apu.status_reg = value;
      if (!(value & 0x01)) {
        apu.pulse[0].length = 0;
      }
      if (!(value & 0x02)) {
        apu.pulse[1].length = 0;
      }
      if (!(value & 0x04)) {
        apu.triangle.length = 0;
      }
      if (!(value & 0x08)) {
        apu.noise.length = 0;
      }
      break;
    case 0x4017:
      // The sequencer is free-running: this only selects the mode and the
      // interrupt inhibit for the steps to come.
      apu.frame_reg = value;
      break;
    default:
      // $4009, $400D, the delta-modulation channel's $4010-$4013, and
      // anything else the bus might route here.
      break;
  }
}

void apu_set_shortcuts(Apu& apu, bool on) {
  if (apu.sound_on)
    apu_flush_channels(apu);
  apu.fast.off = !on;
  apu_invalidate(apu);
}

u8 apu_read_status(Apu& apu, u16 address) {
  if (address != 0x4015) {
    return 0;
  }
  u8 status = 0;
  if (apu.pulse[0].length > 0) {
    status |= 0x01;
  }
  if (apu.pulse[1].length > 0) {
    status |= 0x02;
  }
  if (apu.triangle.length > 0) {
    status |= 0x04;
  }
  if (apu.noise.length > 0) {
    status |= 0x08;
  }
  return status;
}

namespace {

// Everything apu_run does once a clock is due: the sequencer, the channels,
// chunk delivery, and the shortcut for the calls to come.
void apu_run_full(Apu& apu) {
  const bool stepped = apu_run_sequencer(apu);
  if (apu.fast.off) {
    if (apu.sound_on) {
      apu_run_channels(apu, true);
      apu_deliver_chunks(apu);
    } else {
      apu_rebase_silent(apu);
    }
    apu.fast.limit = -1.0f;
    apu.fast.idle_channels = 0;
    return;
  }
  if (!apu.sound_on) {
    const float rebase_at = apu_rebase_silent(apu);
    apu.fast.limit = std::min(
        rebase_at, static_cast<float>(
                       std::min({apu.sequencer.irq_due, apu.sequencer.length_due, apu.sequencer.env_due})));
    apu.fast.idle_channels = 0;
    return;
  }
  const u32 idle = apu_run_channels(apu, stepped || apu.fast.silence_stale);
  apu.fast.silence_stale = 0;
  apu_deliver_chunks(apu);
  // Sounding channels are left out: their work can wait (see
  // sounding_channels). A silent pulse that has not yet fallen to zero cannot.
  float limit = static_cast<float>(
      std::min({apu.sequencer.irq_due, apu.sequencer.length_due, apu.sequencer.env_due, apu.chunk_clocks}));
  const u32 waiting = idle | apu.fast.sounding_channels;
  if (!(waiting & idle_pulse1)) {
    limit = std::min(limit, static_cast<float>(apu.pulse[0].due));
  }
  if (!(waiting & idle_pulse2)) {
    limit = std::min(limit, static_cast<float>(apu.pulse[1].due));
  }
  apu.fast.limit = limit;
  apu.fast.idle_channels = idle;
}

// One stretch of the run loop. Most calls hand over a single cycle in which
// nothing is due; they only move the clock (and the idle channels with it).
inline void apu_step(Apu& apu, float cycles) {
  // First the work the quiet calls before this one put off, up to the clock
  // of the last of them and with the state they saw.
  if (apu.sound_on) {
    apu_flush_channels(apu);
  }
  apu.time += cycles;
  if (apu.time < apu.fast.limit) {
    if (apu.fast.idle_channels != 0) {
      apu_follow_idle(apu);
    }
    return;
  }
  apu_run_full(apu);
}

}  // namespace

namespace {

// The exponent field of a float.
u32 binade(float value) {
  return std::bit_cast<u32>(value) >> 23;
}

// A silent pulse's due clock after the quiet calls 1..n from clock t0: the
// call reaching t0 + j moves it to t0 + j + 1 (truncated) when it lies below
// t0 + j. After one move it lies below again two calls later when t0 is whole
// and at the very next call when it is not.
i32 follow_pulse_due(i32 due, float t0, int n) {
  const double first = std::floor(static_cast<double>(due) - static_cast<double>(t0)) + 1.0;
  const int j1 = first < 1.0 ? 1 : (first > n ? n + 1 : static_cast<int>(first));
  if (j1 > n)
    return due;
  const int period = t0 == std::floor(t0) ? 2 : 1;
  const int last = j1 + period * ((n - j1) / period);
  return static_cast<i32>((t0 + static_cast<float>(last)) + 1.0f);
}

}  // namespace

// Adding whole cycles to the clock is exact as long as the clock stays within
// one binade (between the same two powers of two, below 2^23): then the calls'
// sum t0 + j is the clock each of them would reach, and the calls that find
// nothing due are those with t0 + j below fast_limit.
int apu_run_quiet_cycles(Apu& apu, int count) {
  const float t0 = apu.time;
  if (!(t0 >= 1.0f) || !(t0 < 8388608.0f) || binade(t0) != binade(t0 + static_cast<float>(count)))
    return 0;
  const double room = static_cast<double>(apu.fast.limit) - static_cast<double>(t0);
  if (!(room > 1.0))
    return 0;
  const double fit = std::ceil(room) - 1.0;
  const int n = fit < count ? static_cast<int>(fit) : count;
  const float time = t0 + static_cast<float>(n);
  const u32 idle = apu.fast.idle_channels;
  if (idle & idle_pulse1)
    apu.pulse[0].due = follow_pulse_due(apu.pulse[0].due, t0, n);
  if (idle & idle_pulse2)
    apu.pulse[1].due = follow_pulse_due(apu.pulse[1].due, t0, n);
  apu.time = time;
  if (idle & idle_triangle)
    apu.triangle.due = static_cast<i32>(time);
  if (idle & idle_noise)
    apu.noise.due = static_cast<i32>(time);
  return n;
}

void apu_run_full_step(Apu& apu, float cycles) {
  // The CPU hands over at most a few thousand cycles at a time. Longer runs are
  // cut into pieces so that one frame of the buffer never outgrows it.
  while (cycles > apu_max_run_cycles) {
    apu_step(apu, apu_max_run_cycles);
    cycles -= apu_max_run_cycles;
  }
  apu_step(apu, cycles);
}

// The save block: the last register values, then 23 words of channel state.
// The reserved words keep the block's layout stable. What is not in the block
// (the triangle's length, the noise envelope and length, the clock, the
// sequencer and the channels' positions) keeps its value through a load.
void apu_state(Apu& apu, StateVisitor& v) {
  Pulse& pulse1 = apu.pulse[0];
  Pulse& pulse2 = apu.pulse[1];
  v.u8_field(apu.status_reg);
  v.u8_field(apu.frame_reg);
  v.bytes(pulse1.reg, 4);
  v.bytes(pulse2.reg, 4);
  v.bytes(apu.triangle.reg, 3);
  v.bytes(apu.noise.reg, 3);
  v.i32_field(pulse1.sweep_silent);
  v.reserved_u32();
  v.i32_field(pulse1.env.silent);
  v.i32_field(pulse2.sweep_silent);
  v.reserved_u32();
  v.i32_field(pulse2.env.silent);
  v.reserved_u32();
  v.i32_field(apu.noise.env.silent);
  // Volumes and decay levels scale the output: 0-15.
  v.i32_field(pulse1.env.volume, 0, 15);
  v.i32_field(pulse2.env.volume, 0, 15);
  v.i32_field(apu.noise.env.volume, 0, 15);
  v.reserved_u32();
  v.i32_field(pulse1.sweep_divider);
  v.i32_field(pulse1.length);
  v.i32_field(pulse1.env.level, 0, 15);
  v.i32_field(pulse1.env.divider);
  v.reserved_u32();
  v.i32_field(pulse2.sweep_divider);
  v.i32_field(pulse2.length);
  v.i32_field(pulse2.env.level, 0, 15);
  v.i32_field(pulse2.env.divider);
  v.i32_field(apu.triangle.reload);
  v.i32_field(apu.triangle.linear);
}

void apu_before_load(Apu& apu) {
  // The calls before the load saw the old state.
  apu_sync(apu);
}

void apu_after_load(Apu& apu) {
  apu_invalidate(apu);
}

void apu_save_state(const Apu& apu, StateWriter& out) {
  apu_state(const_cast<Apu&>(apu), out);
}

bool apu_load_state(Apu& apu, const u8* block, std::size_t size) {
  StateChecker check(block, size);
  apu_state(apu, check);
  if (!check.complete())
    return false;
  apu_before_load(apu);
  StateApplier apply(block, size);
  apu_state(apu, apply);
  apu_after_load(apu);
  return true;
}
