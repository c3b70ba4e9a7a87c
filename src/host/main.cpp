// Corvel's desktop shell: corvel [--help] [--version] [--] [IMAGE.nes]
//
// With an image on the command line the game starts at once and enters the
// recent list; without one the gallery of recent images shows.

#include <FL/Fl.H>

#include <cstdio>

#include "audio/audio_ring.h"
#include "host/command_line.h"
#include "host/gl_view.h"
#include "host/host.h"
#include "lifecycle/display_options.h"
#include "lifecycle/version.h"

namespace {

constexpr int exit_usage = 64;

// The played console changes (the device is paused meanwhile): what is left
// of the old console's last chunk is dropped, never played. Whether the new
// one is heard also depends on the pause and the mute.
void set_playing(void* user, bool playing) {
  Host& host = *static_cast<Host*>(user);
  audio_ring_clear(host.ring);
  host.console_playing = playing;
  update_audio(host);
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLine command_line = parse_command_line(argc, argv);
  switch (command_line.action) {
    case CommandLine::help:
      std::fputs(corvel_usage_text, stdout);
      return 0;
    case CommandLine::version:
      std::printf("corvel %d.%d.%d\n", version_major, version_minor, version_build);
      return 0;
    case CommandLine::usage_error:
      std::fprintf(stderr, "corvel: %s\n%s", command_line.error.c_str(), corvel_usage_text);
      return exit_usage;
    case CommandLine::run:
      break;
  }

  // The audio device's thread reads the ring until the process is gone, so
  // it is the process's ring rather than the host's.
  AudioRing& ring = process_audio_ring();
  Host host(ring);
  host.session.platform = &host.platform;
  host.session.on_chunk = audio_push;
  host.session.on_chunk_user = &ring;
  host.session.set_playing = set_playing;
  host.session.set_playing_user = &host;
  host.presentation.options = read_display_options(options_path());

  Fl::visual(FL_RGB);
  create_main_window(host);
  watch_for_quit(host);
  gl_setup(host.presentation, *host.view);
  // The image's path as given; the recent list records its absolute form.
  host_startup(host, command_line.has_image ? command_line.image.c_str() : nullptr);
  message_loop(host);
  host_shutdown(host);
  return 0;
}
