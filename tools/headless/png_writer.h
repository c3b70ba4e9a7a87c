// Writes a picture as an 8-bit RGB PNG file (the headless tool's screenshots).
#pragma once

#include <string>

#include "core/types.h"

// rgb holds width x height pixels of red, green, blue, rows top to bottom.
// Returns false, with a one-line reason in *error (when given), if the file
// cannot be written; a partly written file is removed.
bool write_png(const std::string& path, const u8* rgb, int width, int height, std::string* error);
