// Writes a picture as an 8-bit RGB PNG file: the headless tool's
// --screenshot and the desktop shell's screenshots.
#pragma once

#include <string>

#include "core/types.h"

// rgb holds width x height pixels of red, green, blue, rows top to bottom.
// The file is written the crash-safe way every Corvel file is written (see
// lifecycle/file_write.h). Returns false, with a one-line reason in *error
// (when given), if the file cannot be written; any old file stays as it was.
bool write_png(const std::string& path, const u8* rgb, int width, int height, std::string* error);
