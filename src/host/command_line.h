// corvel's command line: [--help] [--version] [--] [IMAGE.nes]
#pragma once

#include <string>

struct CommandLine {
  enum Action { run, help, version, usage_error } action = run;
  bool has_image = false;  // without one, the gallery shows
  std::string image;
  std::string error;  // what is wrong, for usage_error
};

// An argument that names an existing file is always the image, whatever it
// begins with; "--" ends the options.
CommandLine parse_command_line(int argc, char** argv);

// The usage line and the keys, as --help prints them.
extern const char corvel_usage_text[];
