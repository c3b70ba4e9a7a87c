// Crash-safe file writing, shared by the battery, save-state and settings
// files: the new contents go to a temporary file beside the target, are
// flushed to the disk, and only then take the target's name, so a crash or a
// full disk never leaves a half-written file behind.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/types.h"

// Writes size bytes as the whole new contents of path. Returns false, leaving
// any existing file as it was, when the file cannot be written:
// - an existing target that is not a regular file or not writable is refused;
// - a symbolic link is followed, and the file it names is the one replaced;
// - an existing file keeps its permission bits;
// - when no temporary file can be made in the directory (but the target
//   exists and is writable) the target is rewritten in place.
bool write_file_atomically(const std::string& path, const u8* data, std::size_t size);

inline bool write_file_atomically(const std::string& path, const std::vector<u8>& data) {
  return write_file_atomically(path, data.data(), data.size());
}

// For the files a user asks for (screenshots, sound recordings): writes them
// atomically, or sets error, when given, to "cannot write PATH" with the
// system's reason, and returns false.
bool write_output_file(const std::string& path, const std::vector<u8>& bytes, std::string* error);

// Follows symbolic links (also ones whose target does not exist yet) and
// returns the path of the file they finally name. A path that is not a link
// comes back unchanged; a loop of links gives an empty string.
std::string resolve_links(const std::string& path);

// The directory part of a path: "." for a bare name, "/" for the root.
std::string directory_of(const std::string& path);

// Creates the directory and any missing parents. True when it exists as a
// directory afterwards.
bool make_directories(const std::string& path);

// Reads at most limit bytes of a regular file into out. Returns false when the
// path is not a regular file or cannot be opened. more_follows is set when
// the file holds more than limit bytes.
bool read_file_prefix(const std::string& path, std::size_t limit, std::vector<u8>& out,
                      bool* more_follows = nullptr);
