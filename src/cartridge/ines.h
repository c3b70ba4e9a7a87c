// iNES image loading and the ROM Info text.
#pragma once

#include <string>

struct Console;

// Images larger than this are refused.
constexpr long max_image_bytes = 16L * 1024 * 1024;

// Why an image did not load.
enum class LoadFailure {
  none,
  not_found,
  permission_denied,
  not_a_file,  // a directory, a device, a FIFO
  shorter_than_header,
  too_large,
  not_ines,
  no_prg_rom,
};

struct LoadReport {
  LoadFailure failure = LoadFailure::none;
  bool padded = false;  // the file was shorter than its header declares
};

// Reads an image into the console's cartridge fields and builds its mapper.
// Returns 1 on success, 0 (console untouched) on any failure; the report, when
// given, says why, or that a short image was padded with zeros.
int load_rom(Console& console, const std::string& path, LoadReport* report = nullptr);

// The on-screen text for a failed load ("Cannot Open: File Not Found").
const char* load_failure_text(LoadFailure failure);

// The text of the ROM Info box for a loaded console.
std::string rom_info_text(const Console& console);
// Shows it in a message box titled "ROM Info" through the console's platform.
void show_rom_info(Console& console);
