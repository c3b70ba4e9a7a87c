#include "host/audio_device.h"

#include <SDL.h>

#include "audio/audio_ring.h"

namespace {

constexpr int device_rate = 44100;
constexpr int device_buffer_frames = 2205;  // 50 ms, one chunk of the APU

void SDLCALL fill_stream(void* user, Uint8* stream, int length) {
  audio_callback(*static_cast<AudioRing*>(user), stream, length);
}

std::string failure(const char* what) {
  std::string reason = SDL_GetError();
  return std::string(what) + ": " + (reason.empty() ? "unknown reason" : reason);
}

}  // namespace

std::string audio_open(AudioRing& ring) {
  // SDL would otherwise turn SIGINT and SIGTERM into quit events that this
  // program never reads, and Ctrl+C or a session's logout could not end it.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_Init(SDL_INIT_AUDIO) < 0)
    return failure("SDL_Init");
  SDL_AudioSpec desired{};
  desired.freq = device_rate;
  desired.format = AUDIO_U8;
  desired.channels = 1;
  desired.samples = device_buffer_frames;
  desired.callback = fill_stream;
  desired.userdata = &ring;
  // No obtained format is asked for: SDL converts to whatever the hardware
  // needs, and the callback always sees this one. The device starts paused.
  if (SDL_OpenAudio(&desired, nullptr) < 0)
    return failure("SDL_OpenAudio");
  return std::string();
}
