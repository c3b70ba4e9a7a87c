// The audio device: SDL2 pulls 44100 Hz unsigned 8-bit mono from the audio
// ring on its own thread.
#pragma once

#include <string>

struct AudioRing;

// Opens the device, paused, with the callback draining the ring. Returns an
// empty string, or SDL's reason when the device cannot be opened.
std::string audio_open(AudioRing& ring);
