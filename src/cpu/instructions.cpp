// The documented 6502 instruction set, without decimal arithmetic. Every
// undocumented opcode is a one-byte no-op that only costs its cycles.
//
// Each instruction makes its opcode and operand fetches, its pointer reads, one
// read of the operand if it needs the value and one write if it stores a
// result: there are no dummy reads or writes, so a read-modify-write of $2007
// touches the PPU's data port exactly twice.
#include "cpu/instructions.h"
#include "core/bus.h"

#include "cpu/cpu.h"
#include "cpu/idle_loop.h"

namespace {

// ---- Operand fetch and effective addresses --------------------------------

u8 fetch(Console& c) {
  return bus_read(c, c.pc++);
}

u16 fetch_word(Console& c) {
  u8 low = fetch(c);
  return static_cast<u16>(low | (fetch(c) << 8));
}

u16 addr_zp(Console& c) {
  return fetch(c);
}
u16 addr_zpx(Console& c) {
  return static_cast<u8>(fetch(c) + c.x);
}
u16 addr_zpy(Console& c) {
  return static_cast<u8>(fetch(c) + c.y);
}
u16 addr_abs(Console& c) {
  return fetch_word(c);
}
u16 addr_absx(Console& c) {
  return static_cast<u16>(fetch_word(c) + c.x);
}
u16 addr_absy(Console& c) {
  return static_cast<u16>(fetch_word(c) + c.y);
}

// (zp,X): both pointer bytes come from page zero, wrapping within it.
u16 addr_indx(Console& c) {
  u8 pointer = static_cast<u8>(fetch(c) + c.x);
  u8 low = bus_read(c, pointer);
  u8 high = bus_read(c, static_cast<u8>(pointer + 1));
  return static_cast<u16>(low | (high << 8));
}

// (zp),Y: the pointer's high byte wraps within page zero too.
u16 addr_indy(Console& c) {
  u8 pointer = fetch(c);
  u8 low = bus_read(c, pointer);
  u8 high = bus_read(c, static_cast<u8>(pointer + 1));
  return static_cast<u16>((low | (high << 8)) + c.y);
}

// ---- Flags ------------------------------------------------------------------

void set_zn(Console& c, u8 value) {
  c.p = static_cast<u8>((c.p & ~(flag_z | flag_n)) | zn_table[value]);
}

void set_flag(Console& c, u8 flag, bool on) {
  c.p = static_cast<u8>(on ? (c.p | flag) : (c.p & ~flag));
}

// ---- Operations on a value --------------------------------------------------

void op_ora(Console& c, u8 m) {
  set_zn(c, c.a |= m);
}
void op_and(Console& c, u8 m) {
  set_zn(c, c.a &= m);
}
void op_eor(Console& c, u8 m) {
  set_zn(c, c.a ^= m);
}
void op_lda(Console& c, u8 m) {
  set_zn(c, c.a = m);
}
void op_ldx(Console& c, u8 m) {
  set_zn(c, c.x = m);
}
void op_ldy(Console& c, u8 m) {
  set_zn(c, c.y = m);
}

void op_adc(Console& c, u8 m) {
  unsigned result = c.a + m + (c.p & flag_c);
  set_flag(c, flag_c, result > 0xFF);
  set_flag(c, flag_v, (~(c.a ^ m) & (c.a ^ result) & 0x80) != 0);
  c.a = static_cast<u8>(result);
  set_zn(c, c.a);
}

void op_sbc(Console& c, u8 m) {
  unsigned result = static_cast<u16>(c.a - m - (1 - (c.p & flag_c)));
  set_flag(c, flag_c, (result & 0xFF00) == 0);
  set_flag(c, flag_v, ((c.a ^ m) & (c.a ^ result) & 0x80) != 0);
  c.a = static_cast<u8>(result);
  set_zn(c, c.a);
}

void compare(Console& c, u8 reg, u8 m) {
  set_flag(c, flag_c, reg >= m);
  set_zn(c, static_cast<u8>(reg - m));
}
void op_cmp(Console& c, u8 m) {
  compare(c, c.a, m);
}
void op_cpx(Console& c, u8 m) {
  compare(c, c.x, m);
}
void op_cpy(Console& c, u8 m) {
  compare(c, c.y, m);
}

void op_bit(Console& c, u8 m) {
  c.p = static_cast<u8>((c.p & ~(flag_n | flag_v | flag_z)) | (m & (flag_n | flag_v)) |
                        ((c.a & m) == 0 ? flag_z : 0));
}

// Shifts and rotates return the result; the caller stores it.
u8 op_asl(Console& c, u8 m) {
  set_flag(c, flag_c, m & 0x80);
  u8 r = static_cast<u8>(m << 1);
  set_zn(c, r);
  return r;
}
u8 op_lsr(Console& c, u8 m) {
  set_flag(c, flag_c, m & 0x01);
  u8 r = static_cast<u8>(m >> 1);
  set_zn(c, r);
  return r;
}
u8 op_rol(Console& c, u8 m) {
  u8 r = static_cast<u8>((m << 1) | (c.p & flag_c));
  set_flag(c, flag_c, m & 0x80);
  set_zn(c, r);
  return r;
}
u8 op_ror(Console& c, u8 m) {
  u8 r = static_cast<u8>(((c.p & flag_c) << 7) | (m >> 1));
  set_flag(c, flag_c, m & 0x01);
  set_zn(c, r);
  return r;
}
u8 op_inc(Console& c, u8 m) {
  u8 r = static_cast<u8>(m + 1);
  set_zn(c, r);
  return r;
}
u8 op_dec(Console& c, u8 m) {
  u8 r = static_cast<u8>(m - 1);
  set_zn(c, r);
  return r;
}

// Reads the operand at an address, one read, one write.
void modify(Console& c, u16 address, u8 (*op)(Console&, u8)) {
  u8 m = bus_read(c, address);
  bus_write(c, address, op(c, m));
}

// A branch back over one read (-4 or -5) may close a wait loop.
int branch(Console& c, bool condition) {
  i8 displacement = static_cast<i8>(fetch(c));
  if (!condition)
    return 0;
  c.pc = static_cast<u16>(c.pc + displacement);
  if (displacement == -4 || displacement == -5)
    idle_loop_consider(c, c.pc);
  return 1;
}

void push_word(Console& c, u16 value) {
  stack_push(c, static_cast<u8>(value >> 8));
  stack_push(c, static_cast<u8>(value));
}

u16 pull_word(Console& c) {
  u8 low = stack_pull(c);
  return static_cast<u16>(low | (stack_pull(c) << 8));
}

}  // namespace

// The eight addressing modes of the ALU group (ORA, AND, EOR, ADC, LDA, CMP,
// SBC) sit at the same low nibbles in every row pair.
#define ALU_GROUP(base, op)           \
  case base + 0x01:                   \
    op(c, bus_read(c, addr_indx(c))); \
    break;                            \
  case base + 0x05:                   \
    op(c, bus_read(c, addr_zp(c)));   \
    break;                            \
  case base + 0x09:                   \
    op(c, fetch(c));                  \
    break;                            \
  case base + 0x0D:                   \
    op(c, bus_read(c, addr_abs(c)));  \
    break;                            \
  case base + 0x11:                   \
    op(c, bus_read(c, addr_indy(c))); \
    break;                            \
  case base + 0x15:                   \
    op(c, bus_read(c, addr_zpx(c)));  \
    break;                            \
  case base + 0x19:                   \
    op(c, bus_read(c, addr_absy(c))); \
    break;                            \
  case base + 0x1D:                   \
    op(c, bus_read(c, addr_absx(c))); \
    break;

// ASL, ROL, LSR, ROR: zp, accumulator, abs, zp,X, abs,X.
#define SHIFT_GROUP(base, op)    \
  case base + 0x06:              \
    modify(c, addr_zp(c), op);   \
    break;                       \
  case base + 0x0A:              \
    c.a = op(c, c.a);            \
    break;                       \
  case base + 0x0E:              \
    modify(c, addr_abs(c), op);  \
    break;                       \
  case base + 0x16:              \
    modify(c, addr_zpx(c), op);  \
    break;                       \
  case base + 0x1E:              \
    modify(c, addr_absx(c), op); \
    break;

int execute_instruction(Console& c, u8 opcode) {
  switch (opcode) {
    ALU_GROUP(0x00, op_ora)
    ALU_GROUP(0x20, op_and)
    ALU_GROUP(0x40, op_eor)
    ALU_GROUP(0x60, op_adc)
    ALU_GROUP(0xA0, op_lda)
    ALU_GROUP(0xC0, op_cmp)
    ALU_GROUP(0xE0, op_sbc)

    // STA: the ALU group's modes without the immediate.
    case 0x81:
      bus_write(c, addr_indx(c), c.a);
      break;
    case 0x85:
      bus_write(c, addr_zp(c), c.a);
      break;
    case 0x8D:
      bus_write(c, addr_abs(c), c.a);
      break;
    case 0x91:
      bus_write(c, addr_indy(c), c.a);
      break;
    case 0x95:
      bus_write(c, addr_zpx(c), c.a);
      break;
    case 0x99:
      bus_write(c, addr_absy(c), c.a);
      break;
    case 0x9D:
      bus_write(c, addr_absx(c), c.a);
      break;

      SHIFT_GROUP(0x00, op_asl)
      SHIFT_GROUP(0x20, op_rol)
      SHIFT_GROUP(0x40, op_lsr)
      SHIFT_GROUP(0x60, op_ror)

    case 0xC6:
      modify(c, addr_zp(c), op_dec);
      break;
    case 0xCE:
      modify(c, addr_abs(c), op_dec);
      break;
    case 0xD6:
      modify(c, addr_zpx(c), op_dec);
      break;
    case 0xDE:
      modify(c, addr_absx(c), op_dec);
      break;
    case 0xE6:
      modify(c, addr_zp(c), op_inc);
      break;
    case 0xEE:
      modify(c, addr_abs(c), op_inc);
      break;
    case 0xF6:
      modify(c, addr_zpx(c), op_inc);
      break;
    case 0xFE:
      modify(c, addr_absx(c), op_inc);
      break;

    case 0x86:
      bus_write(c, addr_zp(c), c.x);
      break;
    case 0x8E:
      bus_write(c, addr_abs(c), c.x);
      break;
    case 0x96:
      bus_write(c, addr_zpy(c), c.x);
      break;
    case 0x84:
      bus_write(c, addr_zp(c), c.y);
      break;
    case 0x8C:
      bus_write(c, addr_abs(c), c.y);
      break;
    case 0x94:
      bus_write(c, addr_zpx(c), c.y);
      break;

    case 0xA2:
      op_ldx(c, fetch(c));
      break;
    case 0xA6:
      op_ldx(c, bus_read(c, addr_zp(c)));
      break;
    case 0xAE:
      op_ldx(c, bus_read(c, addr_abs(c)));
      break;
    case 0xB6:
      op_ldx(c, bus_read(c, addr_zpy(c)));
      break;
    case 0xBE:
      op_ldx(c, bus_read(c, addr_absy(c)));
      break;
    case 0xA0:
      op_ldy(c, fetch(c));
      break;
    case 0xA4:
      op_ldy(c, bus_read(c, addr_zp(c)));
      break;
    case 0xAC:
      op_ldy(c, bus_read(c, addr_abs(c)));
      break;
    case 0xB4:
      op_ldy(c, bus_read(c, addr_zpx(c)));
      break;
    case 0xBC:
      op_ldy(c, bus_read(c, addr_absx(c)));
      break;

    case 0xC0:
      op_cpy(c, fetch(c));
      break;
    case 0xC4:
      op_cpy(c, bus_read(c, addr_zp(c)));
      break;
    case 0xCC:
      op_cpy(c, bus_read(c, addr_abs(c)));
      break;
    case 0xE0:
      op_cpx(c, fetch(c));
      break;
    case 0xE4:
      op_cpx(c, bus_read(c, addr_zp(c)));
      break;
    case 0xEC:
      op_cpx(c, bus_read(c, addr_abs(c)));
      break;
    case 0x24:
      op_bit(c, bus_read(c, addr_zp(c)));
      break;
    case 0x2C:
      op_bit(c, bus_read(c, addr_abs(c)));
      break;

    case 0x10:
      return branch(c, !(c.p & flag_n));
    case 0x30:
      return branch(c, c.p & flag_n);
    case 0x50:
      return branch(c, !(c.p & flag_v));
    case 0x70:
      return branch(c, c.p & flag_v);
    case 0x90:
      return branch(c, !(c.p & flag_c));
    case 0xB0:
      return branch(c, c.p & flag_c);
    case 0xD0:
      return branch(c, !(c.p & flag_z));
    case 0xF0:
      return branch(c, c.p & flag_z);

    // BRK only requests an IRQ and skips its padding byte; the request is
    // taken like any other, when I is clear.
    case 0x00:
      c.pc++;
      c.irq_pending = 1;
      break;
    // JSR pushes the address of its own last operand byte.
    case 0x20: {
      u8 low = fetch(c);
      u8 high = bus_read(c, c.pc);
      push_word(c, c.pc);
      c.pc = static_cast<u16>(low | (high << 8));
      break;
    }
    case 0x40:
      c.p = static_cast<u8>((stack_pull(c) & 0xCF) | flag_unused);
      c.pc = pull_word(c);
      break;
    case 0x60:
      c.pc = static_cast<u16>(pull_word(c) + 1);
      break;
    case 0x4C: {
      const u16 from = static_cast<u16>(c.pc - 1);
      c.pc = fetch_word(c);
      if (c.pc == from)
        idle_loop_consider(c, from);
      break;
    }
    // JMP (abs): the pointer's high byte is read from the same page.
    case 0x6C: {
      u16 pointer = fetch_word(c);
      u8 low = bus_read(c, pointer);
      u8 high = bus_read(c, static_cast<u16>((pointer & 0xFF00) | ((pointer + 1) & 0xFF)));
      c.pc = static_cast<u16>(low | (high << 8));
      break;
    }

    case 0x08:
      stack_push(c, c.p | flag_b | flag_unused);
      break;
    case 0x28:
      c.p = stack_pull(c);
      break;
    case 0x48:
      stack_push(c, c.a);
      break;
    case 0x68:
      op_lda(c, stack_pull(c));
      break;

    case 0x18:
      set_flag(c, flag_c, false);
      break;
    case 0x38:
      set_flag(c, flag_c, true);
      break;
    case 0x58:
      set_flag(c, flag_i, false);
      break;
    case 0x78:
      set_flag(c, flag_i, true);
      break;
    case 0xB8:
      set_flag(c, flag_v, false);
      break;
    case 0xD8:
      set_flag(c, flag_d, false);
      break;
    case 0xF8:
      set_flag(c, flag_d, true);
      break;

    case 0xAA:
      set_zn(c, c.x = c.a);
      break;
    case 0xA8:
      set_zn(c, c.y = c.a);
      break;
    case 0x8A:
      set_zn(c, c.a = c.x);
      break;
    case 0x98:
      set_zn(c, c.a = c.y);
      break;
    case 0xBA:
      set_zn(c, c.x = c.s);
      break;
    case 0x9A:
      c.s = c.x;
      break;
    case 0xE8:
      set_zn(c, ++c.x);
      break;
    case 0xC8:
      set_zn(c, ++c.y);
      break;
    case 0xCA:
      set_zn(c, --c.x);
      break;
    case 0x88:
      set_zn(c, --c.y);
      break;

    // NOP and every undocumented opcode: the opcode byte alone, and its cycles.
    default:
      break;
  }
  return 0;
}
