// The text of the About box.
#pragma once

#include <cstdio>
#include <string>

#include "lifecycle/version.h"

// The version, two lines of credits and the build's date and time in the
// compiler's forms ("Jan 14 2013", "17:38:36"), separated by blank lines.
inline std::string about_text() {
  char text[512];
  std::snprintf(text, sizeof text,
                "Corvel Version %d.%d.%03d\n\n"
                "A desktop emulator of the NES home video game console.\n\n"
                "Thanks to everyone who documented the NES hardware.\n\n"
                "Compiled on %s, %s.",
                version_major, version_minor, version_build, __DATE__, __TIME__);
  return text;
}
