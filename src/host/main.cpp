// Corvel's desktop shell: corvel [IMAGE.nes]
//
// With an image on the command line the game starts at once and enters the
// recent list; without one the gallery of recent images shows.

#include <FL/Fl.H>

#include "audio/audio_ring.h"
#include "host/gl_view.h"
#include "host/host.h"

namespace {

// The audio device's thread reads the ring until the process is gone, so it
// lives in static storage rather than with the host.
AudioRing audio_ring_storage;

void set_playing(void* ring, bool playing) {
  static_cast<AudioRing*>(ring)->playing.store(playing, std::memory_order_release);
}

}  // namespace

int main(int argc, char** argv) {
  Host host(audio_ring_storage);
  host.session.platform = &host.platform;
  host.session.on_chunk = audio_push;
  host.session.on_chunk_user = &audio_ring_storage;
  host.session.set_playing = set_playing;
  host.session.set_playing_user = &audio_ring_storage;

  Fl::visual(FL_RGB);
  create_main_window(host);
  gl_setup(host.presentation, *host.view);
  // argv[1] is the path as given; the recent list records its absolute form.
  host_startup(host, argc > 1 ? argv[1] : nullptr);
  message_loop(host);
  host_shutdown(host);
  return 0;
}
