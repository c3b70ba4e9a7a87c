// Where a game's save files live: the battery file and the four state slots.
//
// Each file has two places. Beside the image under its usual name
// (Game.sav, Game(1).sav ... Game(4).sav), which is where players look for
// it, and in the per-user saves folder, where it can always be written:
//   <saves folder>/<image name cut at its last dot>-<h>.sav     battery
//   <saves folder>/<image name cut at its last dot>-<h>(N).sav  slot N
// h is the FNV-1a hash of the image's real folder, so that two images of the
// same name in different folders keep apart, and one image reached by a
// relative path, a symbolic link or the recent list finds the same files.
//
// The saves folder is used when the image's folder cannot be written (an
// installed demo, read-only media), and when the file beside the image is of
// the other kind: Game(1).sav is both the battery file of Game(1).nes and
// slot 1 of Game.nes. A state file begins with "CorvelState" and a battery
// file does not; a file of the other kind is never read as this kind and
// never replaced.
#pragma once

#include <cstddef>
#include <string>

#include "core/types.h"

enum class SaveKind { battery, state };

// Where a save file lies or went.
enum class SavePlace { none, beside_image, saves_folder };

struct SaveFile {
  SaveKind kind = SaveKind::battery;
  std::string beside_image;  // the usual name, next to the image
  std::string saves_folder;  // the name in the per-user saves folder
};

// The battery file (slot 0) or state slot 1-4 of an image.
SaveFile save_file(const std::string& rom_path, int slot);

// 32-bit FNV-1a of the bytes of a string.
u32 fnv1a_32(const std::string& bytes);

// Where to read the file from: the saves folder when it holds a file of this
// kind there, else beside the image when that is of this kind, else none.
SavePlace save_place_to_read(const SaveFile& file);
const std::string& save_path(const SaveFile& file, SavePlace place);

// Writes the whole file, each time to a temporary file renamed into place.
// The saves folder is used when the file is already there; else the place
// beside the image when its folder is writable and the file there is absent
// or a writable file of this kind; else (and after a failed write beside the
// image) the saves folder, created when needed. Returns where the file went,
// or none when neither place could take it.
SavePlace write_save_file(const SaveFile& file, const u8* data, std::size_t size);
