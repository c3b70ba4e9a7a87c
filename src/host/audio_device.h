// The audio device: SDL2 pulls 44100 Hz unsigned 8-bit mono from the audio
// ring on its own thread.
#pragma once

struct AudioRing;

// Opens the device, paused, with the callback draining the ring. When the
// device cannot be opened the process ends with status 1 and one line on
// stderr naming the reason.
void audio_open(AudioRing& ring);
