// What the tests share: scratch folders, files, iNES images built on the
// fly, a scripted platform, the headless tool, screenshots, and a console on
// a test board that serves programs and patterns from arrays.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cartridge/mapper.h"
#include "core/console.h"
#include "core/types.h"
#include "platform/platform.h"

// A folder of the test's own, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::vector<u8> read_file(const std::string& path);
std::string read_text(const std::string& path);
void write_file(const std::string& path, const std::vector<u8>& bytes);
void write_text(const std::string& path, const std::string& text);

// An iNES image whose PRG banks hold `fill` but for a JMP to itself at the
// start of every 16 KB and vectors pointing there; CHR banks hold `fill` too.
struct ImageShape {
  int mapper = 0;
  int prg_banks = 2;  // 16 KB units
  int chr_banks = 1;  // 8 KB units
  bool battery = false;
  u8 fill = 0xEA;
};
std::vector<u8> make_image(const ImageShape& shape);
std::string write_image(const ScratchDir& dir, const std::string& name, const ImageShape& shape = {});

// Keys held by the test; messages and audio pauses recorded.
class ScriptPlatform : public Platform {
 public:
  std::set<int> held;
  std::vector<std::string> messages;
  std::vector<bool> audio_pauses;
  bool key_down(int key) override { return held.count(key) != 0; }
  void show_message(const std::string& text) override { messages.push_back(text); }
  void message_box(const std::string& title, const std::string& text) override {
    messages.push_back(title + ": " + text);
  }
  void pause_audio(bool paused) override { audio_pauses.push_back(paused); }
};

// Our cartridges, and a public ROM (empty when ../shared is not there).
std::string cartridge(const std::string& name);
std::string public_rom(const std::string& relative_path);

// The headless tool with arguments (shell words); its stderr is kept.
struct ToolRun {
  int status = -1;
  std::string err;
};
ToolRun run_headless(const std::string& arguments);

// A board that serves a 32 KB program and 8 KB of patterns from arrays and
// records every pattern address the PPU asks for. Its program starts as a
// JMP to itself at $8000, where the reset vector points.
class TestBoard : public mapper {
 public:
  std::vector<u8> prg = std::vector<u8>(0x8000, 0xEA);
  std::vector<u8> chr = std::vector<u8>(0x2000 + 16, 0);
  std::vector<u16> fetches;

  TestBoard();
  int init() override { return 1; }
  u8 cpu_read(u16 address) override { return prg[address & 0x7FFF]; }
  void cpu_write(u16, u8) override {}
  const u8* chr_pointer(u16 address) override {
    fetches.push_back(address);
    return chr.data() + (address & 0x1FFF);
  }
  void state_fields(StateVisitor& v) override { mirroring_field(v, mirroring); }
  // Puts bytes into the program at a CPU address and tells the CPU its code
  // changed.
  void place(u16 address, const std::vector<u8>& bytes);
};

// A powered-up console (sound off, the reset taken) on a TestBoard.
struct TestConsole {
  Console console;
  TestBoard* board;
  explicit TestConsole(int mirroring = mirroring_vertical);
  ~TestConsole();
  Ppu& ppu();
  u8& vram_at(u16 ppu_address);  // the byte behind an address, after folding
};
u32 rgb_of(int colour_number);  // $RRGGBB
