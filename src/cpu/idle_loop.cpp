// Finding wait loops and spending their turns without executing them.
#include "cpu/idle_loop.h"

#include "core/bus.h"
#include "cpu/cpu.h"

namespace {

constexpr u8 opcode_jmp = 0x4C;

// The reads a wait loop may begin with: their length (0 for any other
// opcode), what they do and with which register.
struct WaitRead {
  int length;
  u8 kind;
  u8 reg;
};

WaitRead wait_read(u8 opcode) {
  switch (opcode) {
    case 0xA5:  // LDA zp
      return {2, idle_kind_load, 0};
    case 0xA6:  // LDX zp
      return {2, idle_kind_load, 1};
    case 0xA4:  // LDY zp
      return {2, idle_kind_load, 2};
    case 0x24:  // BIT zp
      return {2, idle_kind_bit, 0};
    case 0xC5:  // CMP zp
      return {2, idle_kind_compare, 0};
    case 0xE4:  // CPX zp
      return {2, idle_kind_compare, 1};
    case 0xC4:  // CPY zp
      return {2, idle_kind_compare, 2};
    case 0xAD:  // LDA abs
      return {3, idle_kind_load, 0};
    case 0xAE:  // LDX abs
      return {3, idle_kind_load, 1};
    case 0xAC:  // LDY abs
      return {3, idle_kind_load, 2};
    case 0x2C:  // BIT abs
      return {3, idle_kind_bit, 0};
    case 0xCD:  // CMP abs
      return {3, idle_kind_compare, 0};
    case 0xEC:  // CPX abs
      return {3, idle_kind_compare, 1};
    case 0xCC:  // CPY abs
      return {3, idle_kind_compare, 2};
    default:
      return {0, idle_kind_jump, 0};
  }
}

// The flag a conditional branch tests (in bits 6-7 of its opcode) and the
// value that takes it (bit 5).
bool branch_condition(u8 opcode, u8& mask, u8& value) {
  if ((opcode & 0x1F) != 0x10)
    return false;
  static constexpr u8 tested[4] = {flag_n, flag_v, flag_c, flag_z};
  mask = tested[opcode >> 6];
  value = (opcode & 0x20) ? mask : 0;
  return true;
}

}  // namespace

void idle_loop_examine(Console& console, u16 start) {
  IdleLoop& known = console.fast.idle_loop;
  known.rejected = start;
  // Only code in the cartridge: code in work RAM could be changed by the loop
  // itself, and nothing tells us when the cartridge's RAM changes.
  if (start < 0x8000 || start > 0xFFF0)
    return;

  IdleLoop loop;
  loop.start = start;
  const u8 opcode = bus_read(console, start);
  loop.first_ticks = ticks_per_cpu_cycle * static_cast<float>(cycle_table[opcode]);
  const u16 operand = static_cast<u16>(start + 1);
  if (opcode == opcode_jmp) {
    const u16 target = static_cast<u16>(bus_read(console, operand) | (bus_read(console, operand + 1) << 8));
    if (target != start)
      return;
  } else {
    const WaitRead read = wait_read(opcode);
    const int length = read.length;
    if (length == 0)
      return;
    loop.kind = read.kind;
    loop.reg = read.reg;
    loop.address = bus_read(console, operand);
    if (length == 3)
      loop.address = static_cast<u16>(loop.address | (bus_read(console, operand + 1) << 8));
    // Anything but work RAM and the PPU's status (at $2002 and its mirrors)
    // may change by being read, or on its own.
    if (loop.address >= 0x2000 && (loop.address >= 0x4000 || (loop.address & 7) != 2))
      return;
    const u16 branch = static_cast<u16>(start + length);
    const u8 branch_opcode = bus_read(console, branch);
    if (!branch_condition(branch_opcode, loop.taken_mask, loop.taken_value))
      return;
    if (static_cast<i8>(bus_read(console, branch + 1)) != -(length + 2))
      return;
    loop.branch = branch;
    loop.second_ticks =
        ticks_per_cpu_cycle * static_cast<float>(cycle_table[branch_opcode]) + ticks_per_cpu_cycle;
  }
  loop.rejected = known.rejected;
  known = loop;
}

float idle_loop_whole_turns(const IdleLoop& loop, float budget) {
  if (!idle_loop_whole_ticks(budget))
    return budget;
  // In a run of k turns from the loop's start, the last step begins with
  // budget - (k - 1) * turn - last_offset, which must be positive.
  const int turn = static_cast<int>(loop.first_ticks + loop.second_ticks);
  const int last_offset = loop.branch == no_idle_loop ? 0 : static_cast<int>(loop.first_ticks);
  const int room = static_cast<int>(budget) - last_offset;
  if (room < 1)
    return budget;
  const int turns = (room - 1) / turn + 1;
  return budget - static_cast<float>(turns * turn);
}
