#include "support/fixtures.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "cpu/cpu.h"
#include "cpu/idle_loop.h"
#include "lifecycle/power.h"
#include "ppu/ppu.h"

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "corvel-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr)
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code error;
  if (!path_.empty())
    std::filesystem::remove_all(path_, error);
}

std::vector<u8> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<u8>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::vector<u8>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void write_text(const std::string& path, const std::string& text) {
  write_file(path, std::vector<u8>(text.begin(), text.end()));
}

std::vector<u8> make_image(const ImageShape& shape) {
  std::vector<u8> image(16 + shape.prg_banks * 16384 + shape.chr_banks * 8192, shape.fill);
  const u8 header[16] = {'N',
                         'E',
                         'S',
                         0x1A,
                         static_cast<u8>(shape.prg_banks),
                         static_cast<u8>(shape.chr_banks),
                         static_cast<u8>(((shape.mapper & 0x0F) << 4) | (shape.battery ? 2 : 0)),
                         static_cast<u8>(shape.mapper & 0xF0)};
  std::memcpy(image.data(), header, 16);
  // JMP $8000 at the start of every bank, or the same place in whatever
  // window holds it, and every vector pointing there.
  for (int bank = 0; bank < shape.prg_banks; ++bank) {
    const u8 jump[3] = {0x4C, 0x00, 0x80}, vectors[6] = {0x00, 0x80, 0x00, 0x80, 0x00, 0x80};
    std::memcpy(&image[16 + bank * 16384], jump, 3);
    std::memcpy(&image[16 + bank * 16384 + 0x3FFA], vectors, 6);
  }
  return image;
}

std::string write_image(const ScratchDir& dir, const std::string& name, const ImageShape& shape) {
  write_file(dir / name, make_image(shape));
  return dir / name;
}

std::string cartridge(const std::string& name) {
  return std::string(CORVEL_CARTRIDGE_DIR) + "/" + name + ".nes";
}

std::string public_rom(const std::string& relative_path) {
  const std::string path = std::string(CORVEL_SOURCE_DIR) + "/../shared/roms/" + relative_path;
  return std::filesystem::exists(path) ? path : std::string();
}

ToolRun run_headless(const std::string& arguments) {
  ScratchDir dir;
  const int status = std::system(
      ("'" + std::string(CORVEL_HEADLESS) + "' " + arguments + " >/dev/null 2>'" + (dir / "err") + "'")
          .c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_text(dir / "err")};
}

TestBoard::TestBoard() {
  name = "Test";
  place(0x8000, {0x4C, 0x00, 0x80});  // JMP $8000
  place(0xFFFA, {0x00, 0x80, 0x00, 0x80, 0x00, 0x80});
}

void TestBoard::place(u16 address, const std::vector<u8>& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i)
    prg[(address - 0x8000 + i) & 0x7FFF] = bytes[i];
  if (console != nullptr)
    idle_loop_forget(*console);  // the code changed behind the bus, not by a bank switch
}

TestConsole::TestConsole(int mirroring) {
  auto owned = std::make_unique<TestBoard>();
  board = owned.get();
  owned->mirroring = mirroring;
  console.mapper = std::move(owned);
  console.prg_size = 0x8000;
  power_up(console, nullptr, nullptr, 0);
  apply_mirroring(ppu());
  cpu_take_reset(console);
  console.cycle_budget = 0;
}

TestConsole::~TestConsole() {
  close_console(console, 1);
}

Ppu& TestConsole::ppu() {
  return *console.ppu;
}

u8& TestConsole::vram_at(u16 ppu_address) {
  return console.ppu->vram[ppu_map_address(*console.ppu, ppu_address)];
}

u32 rgb_of(int colour_number) {
  const u8* rgb = nes_palette[colour_number & 0x3F];
  return (u32{rgb[0]} << 16) | (u32{rgb[1]} << 8) | rgb[2];
}

// Every test process keeps the saves folder in a scratch folder of its own,
// never in the home directory of whoever runs the tests; the headless tool
// started by a test inherits it.
namespace {
const ScratchDir data_home;
[[maybe_unused]] const int data_home_set = ::setenv("XDG_DATA_HOME", data_home.path().c_str(), 1);
}  // namespace
