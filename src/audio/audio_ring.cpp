#include "audio/audio_ring.h"

AudioRing& process_audio_ring() {
  static AudioRing ring;
  return ring;
}

void audio_push(void* user, const i16* samples, int count, int /*rate*/) {
  AudioRing& ring = *static_cast<AudioRing*>(user);
  // Only this thread writes ring_write, so its own last store can be read relaxed.
  int write = ring.ring_write.load(std::memory_order_relaxed);
  // Playback jumps to the start of the chunk about to be written.
  ring.ring_read.store(write, std::memory_order_relaxed);
  for (int i = 0; i < count; i++) {
    ring.audio_ring[write] = audio_sample_byte(samples[i]);
    write = write + 1 == audio_ring_size ? 0 : write + 1;
  }
  // Publish once, after every byte it covers is written.
  ring.ring_write.store(write, std::memory_order_release);
}

void audio_ring_clear(AudioRing& ring) {
  ring.ring_read.store(ring.ring_write.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

void audio_callback(AudioRing& ring, u8* stream, int length) {
  for (int i = 0; i < length; i++) {
    int read = ring.ring_read.load(std::memory_order_relaxed);
    if (ring.playing.load(std::memory_order_relaxed) &&
        read != ring.ring_write.load(std::memory_order_acquire)) {
      stream[i] = ring.audio_ring[read];
      ring.ring_read.store(read + 1 == audio_ring_size ? 0 : read + 1, std::memory_order_relaxed);
    } else {
      stream[i] = audio_silence;
    }
  }
}
