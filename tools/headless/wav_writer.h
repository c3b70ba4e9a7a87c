// Writes samples as a 16-bit mono PCM WAV file.
#pragma once

#include <string>
#include <vector>

#include "core/types.h"

// Writes the file the crash-safe way every Corvel file is written (see
// lifecycle/file_write.h). Returns false and sets *error (when given) to one
// line saying why, leaving any old file at path untouched.
bool write_wav(const std::string& path, const std::vector<i16>& samples, int sample_rate, std::string* error);
