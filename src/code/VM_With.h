// With-blocks: pushenv chooses the instances an instance selector names and starts the first
// pass of the body with the first of them as self and the entering instance as other; popenv
// moves to the next one or ends the block and restores self and other.
//
// The block's state is a record of 4-byte items on the value stack (top item first):
//   single: 0, saved other, saved self
//   pair:   the second instance, 0, saved other, saved self
//   list:   -1, entries left, list block, saved other, saved self
// Items that stand for an instance or for the list block are references into the run's
// reference table; a list block holds one instance pointer per entry, entry 0 null, and is
// walked from its end.
#pragma once

#include <cstdint>

#include "code/VM_Exec.h"

uint8_t* DoPushEnv(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
uint8_t* DoPopEnv(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* context);
