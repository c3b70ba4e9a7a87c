// The iNES image loader and the ROM Info text.
//
// An iNES file is a 16-byte header followed by the PRG-ROM (16 KB units) and
// the CHR-ROM (8 KB units). Header byte 6 holds the nametable arrangement,
// battery and trainer bits and the low nibble of the mapper number; byte 10
// the TV system and two informational flags. Byte 7 (the upper mapper nibble
// in later header versions) is not read: many old images carry junk there.
#include "cartridge/ines.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "cartridge/mapper.h"
#include "core/console.h"
#include "platform/platform.h"

namespace {

constexpr long header_bytes = 16;

}  // namespace

int load_rom(Console& console, const std::string& path) {
  // Only a regular file: opening a FIFO or a device would block or never end.
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return 0;
  }
  if (info.st_size < header_bytes || info.st_size > max_image_bytes) {
    return 0;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return 0;
  }
  std::vector<u8> image(static_cast<std::size_t>(info.st_size));
  file.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
  const std::size_t got = static_cast<std::size_t>(file.gcount());
  if (got < image.size() && !file.eof()) {
    return 0;
  }
  // The file may have shrunk since stat: what arrived is the image.
  image.resize(got);
  if (image.size() < static_cast<std::size_t>(header_bytes) || image[0] != 'N' || image[1] != 'E' ||
      image[2] != 'S' || image[3] != 0x1A) {
    return 0;
  }
  const u32 prg_size = image[4] * 16384u;
  const u32 chr_size = image[5] * 8192u;
  if (prg_size == 0) {
    // Every board needs PRG-ROM for its vectors and fixed banks.
    return 0;
  }

  // Image data behind the header: PRG, then CHR, zero-padded when the file
  // is short, and a guard of zeros so no bank window can run off the end.
  std::vector<u8> rom(static_cast<std::size_t>(prg_size) + chr_size + rom_guard_bytes, 0);
  const std::size_t available = image.size() - header_bytes;
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
