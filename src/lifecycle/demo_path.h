// Where the demo cartridge that ships with Corvel lives, seen from the program.
#pragma once

#include <string>

// Finds demo.nes beside the program that runs: first in the build tree
// (<dir of executable>/cartridges/demo.nes), then in the installed data
// directory (<prefix>/share/corvel/demo.nes for <prefix>/bin/corvel).
// executable_path is the program's own path (absolute, or relative to the
// working directory; a bare name counts as the working directory). Returns
// the path of the first candidate that is a regular file, or "" when there
// is none.
std::string find_demo_cartridge(const std::string& executable_path);
