// Finding wait loops and spending their turns without executing them.
#include "cpu/idle_loop.h"

#include <cmath>

#include "core/bus.h"
#include "cpu/cpu.h"

namespace {

constexpr u8 opcode_jmp = 0x4C;

// The reads a wait loop may begin with, and the length of each.
int read_length(u8 opcode) {
  switch (opcode) {
    case 0xA5:  // LDA zp
    case 0xA6:  // LDX zp
    case 0xA4:  // LDY zp
    case 0x24:  // BIT zp
    case 0xC5:  // CMP zp
    case 0xE4:  // CPX zp
    case 0xC4:  // CPY zp
      return 2;
    case 0xAD:  // LDA abs
    case 0xAE:  // LDX abs
    case 0xAC:  // LDY abs
    case 0x2C:  // BIT abs
    case 0xCD:  // CMP abs
    case 0xEC:  // CPX abs
    case 0xCC:  // CPY abs
      return 3;
    default:
      return 0;
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

// The flags a compare of reg with m leaves in N, Z and C.
u8 compare_flags(u8 reg, u8 m) {
  return static_cast<u8>(zn_table[static_cast<u8>(reg - m)] | (reg >= m ? flag_c : 0));
}

// Whether the balance is a whole number of ticks, small enough that adding and
// subtracting whole costs is exact.
bool whole_ticks(float budget) {
  return std::fabs(budget) < 16777216.0f && budget == std::floor(budget);
}

}  // namespace

void idle_loop_examine(Console& console, u16 start) {
  IdleLoop& known = console.idle_loop;
  known.rejected = start;
  // Only code in the cartridge: code in work RAM could be changed by the loop
  // itself, and nothing tells us when the cartridge's RAM changes.
  if (start < 0x8000 || start > 0xFFF0)
    return;

  IdleLoop loop;
  loop.start = start;
  loop.opcode = bus_read(console, start);
  loop.first_ticks = ticks_per_cpu_cycle * static_cast<float>(cycle_table[loop.opcode]);
  const u16 operand = static_cast<u16>(start + 1);
  if (loop.opcode == opcode_jmp) {
    const u16 target = static_cast<u16>(bus_read(console, operand) | (bus_read(console, operand + 1) << 8));
    if (target != start)
      return;
  } else {
    const int length = read_length(loop.opcode);
    if (length == 0)
      return;
    loop.address = bus_read(console, operand);
    if (length == 3)
      loop.address = static_cast<u16>(loop.address | (bus_read(console, operand + 1) << 8));
    if (loop.address >= 0x2000)
      return;  // anything but work RAM may change by being read, or on its own
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

bool idle_loop_settled(const Console& c) {
  const IdleLoop& loop = c.idle_loop;
  if (c.reset_pending | c.nmi_pending)
    return false;
  if (c.irq_pending && !(c.p & flag_i))
    return false;
  if (loop.branch == no_idle_loop)
    return loop.start != no_idle_loop;  // a jump to itself
  const u8 m = c.memory[loop.address & 0x07FF];
  u8 mask = flag_n | flag_z;
  u8 flags = zn_table[m];
  switch (loop.opcode) {
    case 0xA5:
    case 0xAD:
      if (c.a != m)
        return false;
      break;
    case 0xA6:
    case 0xAE:
      if (c.x != m)
        return false;
      break;
    case 0xA4:
    case 0xAC:
      if (c.y != m)
        return false;
      break;
    case 0x24:
    case 0x2C:
      mask = flag_n | flag_v | flag_z;
      flags = static_cast<u8>((m & (flag_n | flag_v)) | ((c.a & m) == 0 ? flag_z : 0));
      break;
    case 0xC5:
    case 0xCD:
      mask = flag_n | flag_z | flag_c;
      flags = compare_flags(c.a, m);
      break;
    case 0xE4:
    case 0xEC:
      mask = flag_n | flag_z | flag_c;
      flags = compare_flags(c.x, m);
      break;
    case 0xC4:
    case 0xCC:
      mask = flag_n | flag_z | flag_c;
      flags = compare_flags(c.y, m);
      break;
    default:
      return false;
  }
  return (c.p & mask) == flags && (c.p & loop.taken_mask) == loop.taken_value;
}

bool idle_loop_run(Console& console) {
  if (!idle_loop_settled(console))
    return false;
  const IdleLoop& loop = console.idle_loop;
  float budget = console.cycle_budget - idle_loop_step_ticks(console);
  console.pc = idle_loop_next_pc(console);
  // Whole turns from the loop's start: in a run of k turns the last step
  // begins with budget - (k - 1) * turn - last_offset, which must be positive.
  if (console.pc == loop.start && budget > 0 && whole_ticks(budget)) {
    const int turn = static_cast<int>(loop.first_ticks + loop.second_ticks);
    const int last_offset = loop.branch == no_idle_loop ? 0 : static_cast<int>(loop.first_ticks);
    const int room = static_cast<int>(budget) - last_offset;
    if (room >= 1) {
      const int turns = (room - 1) / turn + 1;
      budget -= static_cast<float>(turns * turn);
    }
  }
  console.cycle_budget = budget;
  return true;
}
