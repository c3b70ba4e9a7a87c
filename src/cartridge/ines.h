// iNES image loading and the ROM Info text.
#pragma once

#include <string>

struct Console;

// Images larger than this are refused.
constexpr long max_image_bytes = 16L * 1024 * 1024;

// Reads an image into the console's cartridge fields and builds its mapper.
// Returns 1 on success, 0 (console untouched) on any failure.
int load_rom(Console& console, const std::string& path);

// The text of the ROM Info box for a loaded console.
std::string rom_info_text(const Console& console);
// Shows it in a message box titled "ROM Info" through the console's platform.
void show_rom_info(Console& console);
