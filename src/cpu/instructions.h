// The instruction set: what each opcode does to the console.
#pragma once

#include "core/console.h"

// The stack is page $01 of the memory array, reached directly, not through the bus.
inline void stack_push(Console& console, u8 value) {
  console.memory[0x100 + console.s] = value;
  console.s = static_cast<u8>(console.s - 1);
}

inline u8 stack_pull(Console& console) {
  console.s = static_cast<u8>(console.s + 1);
  return console.memory[0x100 + console.s];
}

// Executes the instruction whose opcode has just been fetched (pc points past
// it). Returns the cycles beyond the opcode's base cost: 1 for a taken branch.
int execute_instruction(Console& console, u8 opcode);
