#include "test_console.h"

#include "cpu/idle_loop.h"
#include "lifecycle/power.h"
#include "ppu/ppu.h"

std::unique_ptr<Console> make_test_console(test_mapper** board) {
  auto console = std::make_unique<Console>();
  auto mapper_object = std::make_unique<test_mapper>();
  test_mapper* raw = mapper_object.get();
  raw->prg[0x7FFC] = 0x00;  // reset vector -> $8000
  raw->prg[0x7FFD] = 0x80;
  console->mapper = std::move(mapper_object);
  console->prg_size = 0x8000;
  power_up(*console, nullptr, nullptr, 0);
  if (board != nullptr)
    *board = raw;
  return console;
}

void place_code(Console& console, u16 address, const std::vector<u8>& bytes) {
  auto* board = static_cast<test_mapper*>(console.mapper.get());
  for (size_t i = 0; i < bytes.size(); i++)
    board->prg[(address - 0x8000 + i) & 0x7FFF] = bytes[i];
  // The code changed behind the bus, not by a bank switch.
  idle_loop_forget(console);
}
