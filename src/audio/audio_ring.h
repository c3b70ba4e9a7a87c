// The played console's sound on its way to the audio device.
//
// The APU delivers chunks of 16-bit samples on the emulation thread;
// audio_push turns each into unsigned 8-bit bytes in a one-second ring. The
// audio device's own thread drains the ring through audio_callback and plays
// silence (128) whenever nothing new is there or no console is playing.
//
// The ring never holds more than the newest chunk: each push first moves the
// play position to where the new chunk begins, dropping whatever of the
// previous one was not yet played. Latency stays within one chunk, and an
// emulation that runs fast loses samples instead of building up delay.
//
// Threads: ring_write has one writer (the push), which stores it with release
// once the chunk's bytes are in place; the callback loads it with acquire.
// ring_read has two writers, the callback advancing it and the push resetting
// it, with no lock between them: a callback that runs during a push may play a
// few bytes of the old chunk or the new one out of place, which is inaudible.
#pragma once

#include <atomic>

#include "core/types.h"

constexpr int audio_ring_size = 44100;
constexpr u8 audio_silence = 128;

struct AudioRing {
  u8 audio_ring[audio_ring_size] = {};
  std::atomic<int> ring_write{0};  // where the next pushed byte goes
  std::atomic<int> ring_read{0};   // the next byte to play
  // Whether a console is being played; kept in step with the current console
  // by whoever opens and closes consoles. While it is false the callback plays
  // silence and leaves the ring alone.
  std::atomic<bool> playing{false};
};

// The one ring of the process, shared with the audio device's thread.
AudioRing& process_audio_ring();

// The APU's chunk callback (ChunkCallback): ring is an AudioRing. rate is not
// used: the device runs at the APU's rate.
void audio_push(void* ring, const i16* samples, int count, int rate);

// Drops whatever waits to be played. Call while the device is paused.
void audio_ring_clear(AudioRing& ring);

// Fills length bytes of stream; called on the audio device's thread.
void audio_callback(AudioRing& ring, u8* stream, int length);

// One 16-bit sample as an unsigned 8-bit byte: its high byte plus 128.
inline u8 audio_sample_byte(i16 sample) {
  return static_cast<u8>((sample >> 8) + 128);
}
