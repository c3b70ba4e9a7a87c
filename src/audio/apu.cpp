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
  switch (address) {
    case 0x4000:
    case 0x4001:
    case 0x4002:
      apu.pulse1_reg[address - 0x4000] = value;
      break;
    case 0x4003:
      // Writing the high period bits also loads the length counter and
      // restarts the envelope from full volume.
      apu.pulse1_reg[3] = value;
      apu.pulse1_length = apu_length_load(value);
      apu.pulse1_env_level = 15;
      apu.pulse1_env_divider = apu.pulse1_reg[0] & 15;
      break;
    case 0x4004:
    case 0x4005:
    case 0x4006:
      apu.pulse2_reg[address - 0x4004] = value;
      break;
    case 0x4007:
      apu.pulse2_reg[3] = value;
      apu.pulse2_length = apu_length_load(value);
      apu.pulse2_env_level = 15;
      apu.pulse2_env_divider = apu.pulse2_reg[0] & 15;
      break;
    case 0x4008:
      apu.tri_reg[0] = value;
      break;
    case 0x400A:
      apu.tri_reg[1] = value;
      break;
    case 0x400B:
      // Also asks the linear counter to reload at the next quarter-frame.
      apu.tri_reg[2] = value;
      apu.tri_reload = 1;
      apu.tri_length = apu_length_load(value);
      break;
    case 0x400C:
      apu.noise_reg[0] = value;
      break;
    case 0x400E:
      apu.noise_reg[1] = value;
      break;
    case 0x400F:
      // Only the length counter is loaded; the noise envelope keeps running.
      apu.noise_reg[2] = value;
      apu.noise_length = apu_length_load(value);
      break;
    case 0x4015:
      // A channel switched off loses its remaining length at once.
      apu.status_reg = value;
      if (!(value & 0x01)) {
        apu.pulse1_length = 0;
      }
      if (!(value & 0x02)) {
        apu.pulse2_length = 0;
      }
      if (!(value & 0x04)) {
        apu.tri_length = 0;
      }
      if (!(value & 0x08)) {
        apu.noise_length = 0;
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

u8 apu_read_status(Apu& apu, u16 address) {
  if (address != 0x4015) {
    return 0;
  }
  u8 status = 0;
  if (apu.pulse1_length > 0) {
    status |= 0x01;
  }
  if (apu.pulse2_length > 0) {
    status |= 0x02;
  }
  if (apu.tri_length > 0) {
    status |= 0x04;
  }
  if (apu.noise_length > 0) {
    status |= 0x08;
  }
  return status;
}

namespace {

// Everything apu_run does once a clock is due: the sequencer, the channels,
// chunk delivery, and the shortcut for the calls to come.
void apu_run_full(Apu& apu) {
  const bool stepped = apu_run_sequencer(apu);
  if (!apu.sound_on) {
    const float rebase_at = apu_rebase_silent(apu);
    apu.fast_limit = std::min(
        rebase_at, static_cast<float>(std::min({apu.seq_irq_due, apu.seq_length_due, apu.seq_env_due})));
    apu.idle_channels = 0;
    return;
  }
  const u32 idle = apu_run_channels(apu, stepped || apu.silence_stale);
  apu.silence_stale = 0;
  apu_deliver_chunks(apu);
  // Sounding channels are left out: their work can wait (see
  // sounding_channels). A silent pulse that has not yet fallen to zero cannot.
  float limit =
      static_cast<float>(std::min({apu.seq_irq_due, apu.seq_length_due, apu.seq_env_due, apu.chunk_clocks}));
  const u32 waiting = idle | apu.sounding_channels;
  if (!(waiting & idle_pulse1)) {
    limit = std::min(limit, static_cast<float>(apu.pulse1_due));
  }
  if (!(waiting & idle_pulse2)) {
    limit = std::min(limit, static_cast<float>(apu.pulse2_due));
  }
  apu.fast_limit = limit;
  apu.idle_channels = idle;
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
  if (apu.time < apu.fast_limit) {
    if (apu.idle_channels != 0) {
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
  const double room = static_cast<double>(apu.fast_limit) - static_cast<double>(t0);
  if (!(room > 1.0))
    return 0;
  const double fit = std::ceil(room) - 1.0;
  const int n = fit < count ? static_cast<int>(fit) : count;
  const float time = t0 + static_cast<float>(n);
  const u32 idle = apu.idle_channels;
  if (idle & idle_pulse1)
    apu.pulse1_due = follow_pulse_due(apu.pulse1_due, t0, n);
  if (idle & idle_pulse2)
    apu.pulse2_due = follow_pulse_due(apu.pulse2_due, t0, n);
  apu.time = time;
  if (idle & idle_triangle)
    apu.tri_due = static_cast<i32>(time);
  if (idle & idle_noise)
    apu.noise_due = static_cast<i32>(time);
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
// The five reserved words keep the block's layout stable; they are written as
// zero and skipped when read.
void apu_save_state(const Apu& apu, StateWriter& out) {
  out.put_u8(apu.status_reg);
  out.put_u8(apu.frame_reg);
  out.put_bytes(apu.pulse1_reg, 4);
  out.put_bytes(apu.pulse2_reg, 4);
  out.put_bytes(apu.tri_reg, 3);
  out.put_bytes(apu.noise_reg, 3);
  const i32 words[23] = {apu.pulse1_sweep_silent,
                         0,
                         apu.pulse1_env_silent,
                         apu.pulse2_sweep_silent,
                         0,
                         apu.pulse2_env_silent,
                         0,
                         apu.noise_env_silent,
                         apu.pulse1_volume,
                         apu.pulse2_volume,
                         apu.noise_volume,
                         0,
                         apu.pulse1_sweep_divider,
                         apu.pulse1_length,
                         apu.pulse1_env_level,
                         apu.pulse1_env_divider,
                         0,
                         apu.pulse2_sweep_divider,
                         apu.pulse2_length,
                         apu.pulse2_env_level,
                         apu.pulse2_env_divider,
                         apu.tri_reload,
                         apu.tri_linear};
  for (i32 word : words) {
    out.put_i32(word);
  }
}

// Reads the block back in place. A short block leaves the fields it does not
// reach unchanged. Everything not in the block (the triangle's length, the
// noise envelope and length, the clock, the sequencer and the channels'
// positions) keeps its value from before the load.
void apu_load_state(Apu& apu, StateReader& in) {
  if (apu.sound_on) {
    apu_flush_channels(apu);
  }
  apu_invalidate(apu);
  auto byte = [&in](u8& field) {
    if (in.remaining() >= 1) {
      field = in.get_u8();
    }
  };
  auto word = [&in](i32& field) {
    if (in.remaining() >= 4) {
      field = in.get_i32();
    }
  };
  i32 reserved = 0;
  byte(apu.status_reg);
  byte(apu.frame_reg);
  for (u8& value : apu.pulse1_reg) {
    byte(value);
  }
  for (u8& value : apu.pulse2_reg) {
    byte(value);
  }
  for (u8& value : apu.tri_reg) {
    byte(value);
  }
  for (u8& value : apu.noise_reg) {
    byte(value);
  }
  i32* const fields[23] = {&apu.pulse1_sweep_silent,
                           &reserved,
                           &apu.pulse1_env_silent,
                           &apu.pulse2_sweep_silent,
                           &reserved,
                           &apu.pulse2_env_silent,
                           &reserved,
                           &apu.noise_env_silent,
                           &apu.pulse1_volume,
                           &apu.pulse2_volume,
                           &apu.noise_volume,
                           &reserved,
                           &apu.pulse1_sweep_divider,
                           &apu.pulse1_length,
                           &apu.pulse1_env_level,
                           &apu.pulse1_env_divider,
                           &reserved,
                           &apu.pulse2_sweep_divider,
                           &apu.pulse2_length,
                           &apu.pulse2_env_level,
                           &apu.pulse2_env_divider,
                           &apu.tri_reload,
                           &apu.tri_linear};
  for (i32* field : fields) {
    word(*field);
  }
}
