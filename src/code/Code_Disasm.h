// The text disassembler of virtual-machine code: one line per instruction, written through a
// console's Output:
//   "%08x : " offset, the instruction's bytes as "%02x", padding to column 36, the mnemonic with
//   its type suffixes, padding to column 46, the operand (or a branch's target offset), "\n".
#pragma once

#include <cstdint>

class VMBuffer;
class tagIConsole;

// Prints the instruction at byte `offset` of the `sizeBytes` bytes at `words` and answers the
// offset of the next one. An instruction whose word or operand runs past the end is printed with
// the bytes that are there and "<truncated>", and the answer is `sizeBytes`.
int32_t DisassembleInstruction(const uint32_t* words, int32_t sizeBytes, int32_t offset, tagIConsole* console);

// Prints every instruction of the buffer, from offset 0 to its end. A null or empty buffer prints
// nothing.
void DisassembleCode(const VMBuffer* code, tagIConsole* console);
