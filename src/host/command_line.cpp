#include "host/command_line.h"

#include <sys/stat.h>

const char corvel_usage_text[] =
    "usage: corvel [--help] [--version] [--] [IMAGE.nes]\n"
    "\n"
    "Opens IMAGE.nes, or without one the gallery of recent images.\n"
    "\n"
    "Keys:\n"
    "  Arrow keys        D-pad\n"
    "  Space             A\n"
    "  X                 B\n"
    "  Shift             Select\n"
    "  Enter             Start\n"
    "  V (held)          fast-forward\n"
    "  F1 - F4           load save state 1-4\n"
    "  Shift + F1 - F4   save state 1-4\n"
    "  P                 pause\n"
    "  M                 mute\n"
    "  F11               full screen (F11 or Escape leaves it)\n"
    "  F12               screenshot to the pictures folder\n"
    "  Escape            quit\n"
    "A gamepad plays too: d-pad or left stick, east button A, south button B,\n"
    "Back Select, Start Start.\n";

namespace {

bool names_a_file(const char* argument) {
  struct stat info;
  return ::stat(argument, &info) == 0;
}

}  // namespace

CommandLine parse_command_line(int argc, char** argv) {
  CommandLine line;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool is_option =
        !options_ended && argument.size() > 1 && argument[0] == '-' && !names_a_file(argv[i]);
    if (is_option && argument == "--") {
      options_ended = true;
    } else if (is_option && (argument == "--help" || argument == "-h")) {
      line.action = CommandLine::help;
      return line;
    } else if (is_option && argument == "--version") {
      line.action = CommandLine::version;
      return line;
    } else if (is_option) {
      line.action = CommandLine::usage_error;
      line.error = "unknown option " + argument;
      return line;
    } else if (line.has_image) {
      line.action = CommandLine::usage_error;
      line.error = "only one image can be given";
      return line;
    } else {
      line.has_image = true;
      line.image = argument;
    }
  }
  return line;
}
