// The four tone generators together, and the delivery of finished samples.
//
// Nothing here runs per CPU cycle or per output sample. Each channel keeps the
// clock of its next output change (its due clock); when the APU's clock has
// passed it, the channel moves one step along its waveform and the difference
// from the last level it sent goes into the band-limited buffer as a step at
// that exact cycle. The buffer does the resampling to 44100 Hz.
#include <initializer_list>

#include "audio/apu_internal.h"

namespace {

// A triangle or noise channel is either silent (idle) or sounding.
u32 idle_none_sounding(u32 channel, u32& sounding) {
  sounding |= channel;
  return 0;
}

}  // namespace

void apu_sync(Apu& apu) {
  if (apu.sound_on)
    apu_flush_channels(apu);
}

void apu_flush_channels(Apu& apu) {
  if (apu.fast.sounding_channels == 0)
    return;
  apu_run_channels(apu, false);
}

u32 apu_run_channels(Apu& apu, bool recheck) {
  const u8 enable = apu.status_reg;
  if (recheck) {
    u32 idle = 0;
    u32 sounding = 0;
    bool on = false;
    idle |= pulse_run(apu.pulse[0], apu.blip, apu.time, enable & 0x01, on) ? idle_pulse1 : 0;
    sounding |= on ? idle_pulse1 : 0;
    idle |= pulse_run(apu.pulse[1], apu.blip, apu.time, enable & 0x02, on) ? idle_pulse2 : 0;
    sounding |= on ? idle_pulse2 : 0;
    idle |= triangle_run(apu.triangle, apu.blip, apu.time, enable & 0x04)
                ? idle_triangle
                : idle_none_sounding(idle_triangle, sounding);
    idle |= noise_run(apu.noise, apu.blip, apu.time, enable & 0x08)
                ? idle_noise
                : idle_none_sounding(idle_noise, sounding);
    apu.fast.sounding_channels = sounding;
    return idle;
  }
  // Idle channels only follow the clock; of the others, only those whose due
  // clock has passed have anything to do.
  u32 idle = apu.fast.idle_channels;
  apu_follow_idle(apu);
  if (!(idle & idle_pulse1) && apu.pulse[0].due < apu.time) {
    bool on = false;
    idle |= pulse_run(apu.pulse[0], apu.blip, apu.time, enable & 0x01, on) ? idle_pulse1 : 0;
  }
  if (!(idle & idle_pulse2) && apu.pulse[1].due < apu.time) {
    bool on = false;
    idle |= pulse_run(apu.pulse[1], apu.blip, apu.time, enable & 0x02, on) ? idle_pulse2 : 0;
  }
  if (!(idle & idle_triangle) && apu.triangle.due < apu.time) {
    idle |= triangle_run(apu.triangle, apu.blip, apu.time, enable & 0x04) ? idle_triangle : 0;
  }
  if (!(idle & idle_noise) && apu.noise.due < apu.time) {
    idle |= noise_run(apu.noise, apu.blip, apu.time, enable & 0x08) ? idle_noise : 0;
  }
  return idle;
}

void apu_deliver_chunks(Apu& apu) {
  // The clocks needed change only when a frame ends: they are kept from the
  // last delivery (or creation) instead of being worked out on every call.
  const i32 needed = apu.chunk_clocks;
  if (apu.time < static_cast<float>(needed)) {
    return;
  }
  // The frame ends at the whole part of the clock, but everything moves back
  // by only the clocks the chunk needed: the few surplus samples stay in the
  // buffer, and once they add up to a chunk, two chunks leave in one call.
  blip_buf_end_frame(apu.blip, static_cast<u32>(apu.time));
  apu.time -= static_cast<float>(needed);
  for (i32* due : {&apu.pulse[0].due, &apu.pulse[1].due, &apu.triangle.due, &apu.noise.due,
                   &apu.sequencer.irq_due, &apu.sequencer.length_due, &apu.sequencer.env_due}) {
    *due -= needed;
  }
  while (blip_buf_avail(apu.blip) >= apu.chunk_samples) {
    const i32 count = blip_buf_read(apu.blip, apu.chunk, apu.chunk_samples, 0);
    if (apu.on_chunk != nullptr) {
      apu.on_chunk(apu.on_chunk_user, apu.chunk, count, apu.sample_rate);
    }
  }
  apu.chunk_clocks = blip_buf_clocks_needed(apu.blip, apu.chunk_samples);
}
