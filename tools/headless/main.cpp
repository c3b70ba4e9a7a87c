// corvel-headless: runs an image with no window and no audio device, for
// tests, benchmarks and scripted use.
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "audio/apu.h"
#include "cartridge/ines.h"
#include "core/catch_up.h"
#include "core/console.h"
#include "core/controller.h"
#include "core/scheduler.h"
#include "cpu/cpu.h"
#include "input_script.h"
#include "lifecycle/png_writer.h"
#include "lifecycle/power.h"
#include "lifecycle/save_state.h"
#include "lifecycle/session.h"
#include "lifecycle/version.h"
#include "platform/platform.h"
#include "ppu/ppu.h"
#include "result_protocol.h"
#include "text/message.h"
#include "wav_writer.h"

namespace {

// A SIGINT, SIGTERM or SIGHUP: the run stops after the current frame, writes
// what was asked for, closes its consoles and exits with 128 + the signal.
volatile std::sig_atomic_t stop_signal = 0;

void on_stop_signal(int number) {
  stop_signal = number;
}

void install_stop_handlers() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  for (int number : {SIGINT, SIGTERM, SIGHUP})
    sigaction(number, &action, nullptr);
}

enum ExitCode {
  exit_ran = 0,
  exit_test_failed = 1,
  exit_no_result = 3,
  exit_usage = 64,
  exit_state_refused = 65,
  exit_cannot_load = 66,
};

const char usage_text[] =
    "usage: corvel-headless [--frames N] [--screenshot OUT.png] [--audio OUT.wav] [--input SCRIPT]\n"
    "                       [--trace OUT.log] [--entry HEX] [--blargg] [--bench]\n"
    "                       [--load-state N] [--save-state N] [--sound on|off] [--consoles K]\n"
    "                       [--help] [--version] [--] ROM\n";

// --help adds the keys: the buttons an input script holds.
const char keys_text[] =
    "\n"
    "Runs ROM with no window and no audio device. An input script (--input) has\n"
    "lines \"FRAME BUTTONS\": from frame FRAME on, BUTTONS are held, from\n"
    "  A  A          B  B          s  Select     S  Start\n"
    "  U  Up         D  Down       L  Left       R  Right\n"
    "or - for none.\n";

enum class Parsed { run, help, version, error };

struct Options {
  long frames = 600;
  std::string screenshot;
  std::string audio;
  std::string input;
  std::string trace;
  long entry = -1;
  bool blargg = false;
  bool bench = false;
  int load_state = 0;
  int save_state = 0;
  bool sound = true;
  int consoles = 1;
  std::string rom;
};

bool parse_number(const std::string& text, int base, long low, long high, long& out) {
  if (text.empty())
    return false;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, base);
  if (*end != '\0' || value < low || value > high)
    return false;
  out = value;
  return true;
}

bool names_a_file(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

// Returns an empty string when the options are good, else what is wrong.
// An argument that names an existing file is the image, whatever it begins
// with; "--" ends the options.
std::string parse_options(int argc, char** argv, Options& options, Parsed& parsed) {
  bool options_ended = false;
  parsed = Parsed::run;
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    if (options_ended || names_a_file(arg)) {
      if (!options.rom.empty())
        return "only one image can be given";
      options.rom = arg;
      continue;
    }
    auto value = [&](std::string& out) {
      if (i + 1 >= argc)
        return false;
      out = argv[++i];
      return true;
    };
    std::string text;
    long number = 0;
    if (arg == "--") {
      options_ended = true;
    } else if (arg == "--help" || arg == "-h") {
      parsed = Parsed::help;
      return "";
    } else if (arg == "--version") {
      parsed = Parsed::version;
      return "";
    } else if (arg == "--blargg") {
      options.blargg = true;
    } else if (arg == "--bench") {
      options.bench = true;
    } else if (arg == "--frames") {
      if (!value(text) || !parse_number(text, 10, 0, 100000000, options.frames))
        return "--frames needs a count";
    } else if (arg == "--screenshot") {
      if (!value(options.screenshot))
        return "--screenshot needs a file name";
    } else if (arg == "--audio") {
      if (!value(options.audio))
        return "--audio needs a file name";
    } else if (arg == "--input") {
      if (!value(options.input))
        return "--input needs a file name";
    } else if (arg == "--trace") {
      if (!value(options.trace))
        return "--trace needs a file name";
    } else if (arg == "--entry") {
      if (!value(text) || !parse_number(text, 16, 0, 0xFFFF, options.entry))
        return "--entry needs a hex address";
    } else if (arg == "--load-state" || arg == "--save-state") {
      if (!value(text) || !parse_number(text, 10, 1, 4, number))
        return arg + " needs a slot 1-4";
      (arg == "--load-state" ? options.load_state : options.save_state) = static_cast<int>(number);
    } else if (arg == "--sound") {
      if (!value(text) || (text != "on" && text != "off"))
        return "--sound needs on or off";
      options.sound = text == "on";
    } else if (arg == "--consoles") {
      if (!value(text) || !parse_number(text, 10, 1, 64, number))
        return "--consoles needs a count 1-64";
      options.consoles = static_cast<int>(number);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return "unknown option " + arg;
    } else if (options.rom.empty()) {
      options.rom = arg;
    } else {
      return "only one image can be given";
    }
  }
  if (options.rom.empty())
    return "no image given";
  return "";
}

// Scripted keys instead of a keyboard; on-screen messages go to stderr.
class HeadlessPlatform : public Platform {
 public:
  InputScript script;
  long frame = 0;

  bool key_down(int virtual_key) override {
    u8 buttons = buttons_at(script, frame);
    for (int bit = 0; bit < 8; bit++) {
      if (controller_keys[bit] == virtual_key)
        return buttons & (1 << bit);
    }
    return false;
  }
  void show_message(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  void message_box(const std::string& title, const std::string& text) override {
    std::fprintf(stderr, "%s:\n%s\n", title.c_str(), text.c_str());
  }
  void pause_audio(bool) override {}
};

void write_trace_line(const Console& c, void* user) {
  std::fprintf(static_cast<FILE*>(user), "%04X A:%02X X:%02X Y:%02X P:%02X SP:%02X\n", c.pc, c.a, c.x, c.y,
               c.p, c.s);
}

bool read_file(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

// --audio: every chunk the running game's APU delivers.
void collect_samples(void* user, const i16* samples, int count, int /*sample_rate*/) {
  auto* all = static_cast<std::vector<i16>*>(user);
  all->insert(all->end(), samples, samples + count);
}

// --screenshot: the last finished picture of the first console.
bool write_screenshot(const Console& console, const std::string& path) {
  std::string error;
  if (write_png(path, console.ppu->frame_buffer.get(), screen_width, screen_height, &error))
    return true;
  std::fprintf(stderr, "corvel-headless: %s\n", error.c_str());
  return false;
}

int run(const Options& options) {
  HeadlessPlatform platform;
  if (!options.input.empty()) {
    std::string text, error;
    if (!read_file(options.input, text)) {
      std::fprintf(stderr, "corvel-headless: cannot read input script %s\n", options.input.c_str());
      return exit_usage;
    }
    if (!parse_input_script(text, platform.script, error)) {
      std::fprintf(stderr, "corvel-headless: %s\n", error.c_str());
      return exit_usage;
    }
  }

  // The first console is the running game, opened as the shell opens one
  // (battery file read at power-up, written at the end); the others run
  // silent beside it, as gallery previews do, and never write it.
  Session session;
  session.platform = &platform;
  session.game_sound = options.sound ? 1 : 0;
  std::vector<i16> samples;
  if (!options.audio.empty()) {
    session.on_chunk = collect_samples;
    session.on_chunk_user = &samples;
  }
  if (!open_rom(session, options.rom, 0)) {
    std::fprintf(stderr, "corvel-headless: cannot load image %s\n", options.rom.c_str());
    return exit_cannot_load;
  }
  std::vector<Console*> consoles = {session.current.get()};
  std::vector<std::unique_ptr<Console>> companions;
  // The running game writes its battery file; the companions never do.
  auto close_all = [&] {
    for (auto& companion : companions)
      close_console(*companion, 1);
    close_current(session);
  };
  for (int k = 1; k < options.consoles; k++) {
    auto console = std::make_unique<Console>();
    console->platform = &platform;
    if (!load_rom(*console, options.rom) || power_up(*console, nullptr, nullptr, 0) <= 0) {
      std::fprintf(stderr, "corvel-headless: cannot power up %s\n", options.rom.c_str());
      close_console(*console, 1);
      close_all();
      return exit_cannot_load;
    }
    consoles.push_back(console.get());
    companions.push_back(std::move(console));
  }
  for (Console* console : consoles) {
    if (options.entry >= 0) {
      cpu_take_reset(*console);
      console->pc = static_cast<u16>(options.entry);
      console->s = 0xFD;
    }
  }
  Console& first = *consoles[0];

  if (options.load_state && !load_slot(session, options.load_state)) {
    close_all();
    return exit_state_refused;
  }

  FILE* trace = nullptr;
  if (!options.trace.empty()) {
    trace = std::fopen(options.trace.c_str(), "w");
    if (trace == nullptr) {
      std::fprintf(stderr, "corvel-headless: cannot write %s\n", options.trace.c_str());
      close_all();
      return exit_usage;
    }
    // Every instruction is traced: the exact model, with no wait-loop turn
    // counted off.
    set_fast_paths(first, false);
    first.trace_hook = write_trace_line;
    first.trace_user = trace;
  }

  ResultWatch watch;
  first.count_result_writes = options.blargg;
  auto start = std::chrono::steady_clock::now();
  long frames_run = 0;
  for (long frame = 0; frame < options.frames; frame++) {
    platform.frame = frame;
    for (Console* console : consoles)
      run_frames(*console, 0);
    frames_run++;
    keep_battery(session, 1);
    if (options.blargg) {
      watch_result(first, watch);
      if (watch.finished)
        break;
    }
    if (stop_signal != 0)
      break;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (trace != nullptr)
    std::fclose(trace);

  int code = exit_ran;
  if (options.bench) {
    long total = frames_run * static_cast<long>(consoles.size());
    double fps = seconds > 0 ? static_cast<double>(total) / seconds : 0;
    std::printf("frames: %ld seconds: %.3f fps: %.1f\n", total, seconds, fps);
    if (consoles.size() > 1)
      std::printf("consoles: %zu fps per console: %.1f\n", consoles.size(), fps / consoles.size());
  }
  if (options.blargg) {
    std::string text = result_text(first);
    if (!text.empty())
      std::printf("%s\n", text.c_str());
    if (watch.finished) {
      std::printf("status: %d\n", watch.status);
      code = watch.status == 0 ? exit_ran : exit_test_failed;
    } else {
      std::printf("status: none (no result within %ld frames)\n", options.frames);
      code = exit_no_result;
    }
  }
  if (!options.screenshot.empty() && !write_screenshot(first, options.screenshot) && code == exit_ran)
    code = exit_usage;
  if (!options.audio.empty()) {
    std::string error;
    if (!write_wav(options.audio, samples, 44100, &error)) {
      std::fprintf(stderr, "corvel-headless: %s\n", error.c_str());
      if (code == exit_ran)
        code = exit_usage;
    }
  }
  if (options.save_state)
    save_slot(session, options.save_state);
  close_all();
  if (stop_signal != 0)
    code = 128 + stop_signal;
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  Parsed parsed = Parsed::run;
  std::string error = parse_options(argc, argv, options, parsed);
  if (parsed == Parsed::help) {
    std::printf("%s%s", usage_text, keys_text);
    return exit_ran;
  }
  if (parsed == Parsed::version) {
    std::printf("corvel-headless %d.%d.%d\n", version_major, version_minor, version_build);
    return exit_ran;
  }
  if (!error.empty()) {
    std::fprintf(stderr, "corvel-headless: %s\n%s", error.c_str(), usage_text);
    return exit_usage;
  }
  install_stop_handlers();
  return run(options);
}
