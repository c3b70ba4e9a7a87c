// The iNES image loader and the ROM Info text.
//
// An iNES file is a 16-byte header followed by the PRG-ROM (16 KB units) and
// the CHR-ROM (8 KB units). Header byte 6 holds the nametable arrangement,
// battery and trainer bits and the low nibble of the mapper number; byte 10
// the TV system and two informational flags. Byte 7 (the upper mapper nibble
// in later header versions) is not read: many old images carry junk there.
#include "cartridge/ines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "cartridge/mapper.h"
#include "core/console.h"
#include "platform/platform.h"

namespace {

constexpr long header_bytes = 16;

// Reads the whole of an open regular file of at most max_image_bytes.
LoadFailure read_image(int fd, std::vector<u8>& image) {
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    return LoadFailure::not_a_file;
  if (info.st_size > max_image_bytes)
    return LoadFailure::too_large;
  image.resize(static_cast<std::size_t>(info.st_size));
  std::size_t filled = 0;
  while (filled < image.size()) {
    ssize_t got = ::read(fd, image.data() + filled, image.size() - filled);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return errno == EISDIR ? LoadFailure::not_a_file : LoadFailure::not_found;
    if (got == 0)
      break;  // the file shrank since fstat: what arrived is the image
    filled += static_cast<std::size_t>(got);
  }
  image.resize(filled);
  if (image.size() < static_cast<std::size_t>(header_bytes))
    return LoadFailure::shorter_than_header;
  return LoadFailure::none;
}

}  // namespace

const char* load_failure_text(LoadFailure failure) {
  switch (failure) {
    case LoadFailure::not_found:
      return "Cannot Open: File Not Found";
    case LoadFailure::permission_denied:
      return "Cannot Open: Permission Denied";
    case LoadFailure::not_a_file:
      return "Cannot Open: Not a File";
    case LoadFailure::shorter_than_header:
      return "Cannot Open: Shorter Than a Header";
    case LoadFailure::too_large:
      return "Cannot Open: Over 16 MB";
    case LoadFailure::not_ines:
      return "Cannot Open: Not an iNES Image";
    case LoadFailure::no_prg_rom:
      return "Cannot Open: No PRG-ROM";
    case LoadFailure::none:
      break;
  }
  return "";
}

int load_rom(Console& console, const std::string& path, LoadReport* report) {
  LoadReport ignored;
  LoadReport& result = report != nullptr ? *report : ignored;
  result = LoadReport();
  auto fail = [&](LoadFailure failure) {
    result.failure = failure;
    return 0;
  };
  auto fail_errno = [&] {
    return fail(errno == EACCES || errno == EPERM ? LoadFailure::permission_denied : LoadFailure::not_found);
  };

  // O_NONBLOCK keeps a FIFO from stalling the open; only a regular file is
  // read (a FIFO or a device would block or never end).
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return fail_errno();
  std::vector<u8> image;
  LoadFailure failure = read_image(fd, image);
  ::close(fd);
  if (failure != LoadFailure::none)
    return fail(failure);
  if (image[0] != 'N' || image[1] != 'E' || image[2] != 'S' || image[3] != 0x1A)
    return fail(LoadFailure::not_ines);
  const u32 prg_size = image[4] * 16384u;
  const u32 chr_size = image[5] * 8192u;
  if (prg_size == 0) {
    // Every board needs PRG-ROM for its vectors and fixed banks.
    return fail(LoadFailure::no_prg_rom);
  }

  // Image data behind the header: PRG, then CHR, zero-padded when the file
  // is short, and a guard of zeros so no bank window can run off the end.
  std::vector<u8> rom(static_cast<std::size_t>(prg_size) + chr_size + rom_guard_bytes, 0);
  const std::size_t available = image.size() - header_bytes;
  result.padded = available < static_cast<std::size_t>(prg_size) + chr_size;
  std::copy_n(image.begin() + header_bytes, std::min<std::size_t>(available, prg_size + chr_size),
              rom.begin());

  console.rom_path = path;
  console.rom_size = static_cast<u32>(available);
  console.prg_size = prg_size;
  console.chr_size = chr_size;
  console.rom_data = std::move(rom);

  const u8 flags6 = image[6];
  const u8 flags10 = image[10];
  mapper* board = create_mapper(console, flags6 >> 4);
  board->console = &console;
  board->mirroring = 1 - (flags6 & 1);
  board->battery = (flags6 >> 1) & 1;
  board->trainer = (flags6 >> 2) & 1;
  board->extra_ram = (flags10 >> 4) & 1;
  board->bus_conflicts = (flags10 >> 5) & 1;
  console.tv_system = (flags10 & 1) ? 0 : (flags10 & 2) ? 1 : -1;
  return 1;
}

std::string rom_info_text(const Console& console) {
  const mapper* board = console.mapper.get();
  if (board == nullptr) {
    return std::string();
  }
  auto present = [](u32 flag) { return flag ? "Present" : "Not Present"; };
  // The Mirroring line names how the two nametables are laid out, which is
  // the opposite word: vertical mirroring puts them side by side.
  char text[512];
  std::snprintf(text, sizeof text,
                "ROM Size:   \t%d KB\n\nPRG-ROM Count: \t%d B\nCHR-ROM Count: \t%d B\n\n"
                "Mirroring: \t%s\nSRAM:          \t%s\nTrainer:       \t%s\nExtra RAM:    \t%s\n"
                "Bus Conflicts: \t%s\n\nMapper:       \t0x%02X (%d: %s)",
                static_cast<int>(console.rom_size / 1024), static_cast<int>(console.prg_size),
                static_cast<int>(console.chr_size), board->mirroring == 0 ? "Horizontal" : "Vertical",
                present(board->battery), present(board->trainer), present(board->extra_ram),
                present(board->bus_conflicts), board->number, board->number, board->name);
  return text;
}

void show_rom_info(Console& console) {
  if (console.platform == nullptr) {
    return;
  }
  console.platform->message_box("ROM Info", rom_info_text(console));
}
