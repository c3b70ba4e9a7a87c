// Corvel's desktop shell: corvel [IMAGE.nes]
//
// With an image on the command line the game starts at once and enters the
// recent list; without one the gallery of recent images shows.

#include <FL/Fl.H>

#include "audio/audio_ring.h"
#include "host/gl_view.h"
#include "host/host.h"

namespace {

// The played console changes (the device is paused meanwhile): what is left
// of the old console's last chunk is dropped, never played.
void set_playing(void* user, bool playing) {
  AudioRing& ring = *static_cast<AudioRing*>(user);
  audio_ring_clear(ring);
  ring.playing.store(playing, std::memory_order_release);
}

}  // namespace

int main(int argc, char** argv) {
  // The audio device's thread reads the ring until the process is gone, so
  // it is the process's ring rather than the host's.
  AudioRing& ring = process_audio_ring();
  Host host(ring);
  host.session.platform = &host.platform;
  host.session.on_chunk = audio_push;
  host.session.on_chunk_user = &ring;
  host.session.set_playing = set_playing;
  host.session.set_playing_user = &ring;

  Fl::visual(FL_RGB);
  create_main_window(host);
  watch_for_quit(host);
  gl_setup(host.presentation, *host.view);
  // argv[1] is the path as given; the recent list records its absolute form.
  host_startup(host, argc > 1 ? argv[1] : nullptr);
  message_loop(host);
  host_shutdown(host);
  return 0;
}
