// The bytecode format of the virtual machine: instruction words, opcodes, type codes, operand
// sizes, variable references and instance selectors.
//
// A piece of code is a stream of little-endian 32-bit words addressed by byte offset. Each
// instruction is one word:
//   bits 24-31  opcode
//   bits 16-19  first type code (t1)
//   bits 20-23  second type code (t2)
//   bits 0-15   a signed 16-bit immediate
// Branch words (b, bt, bf, pushenv, popenv) use bits 0-23 as one signed offset in words,
// relative to the branch word itself. When opcode bit 6 (0x40) is set, an operand whose size is
// given by t1 follows the word.
#pragma once

#include <cstdint>

// ---- Opcodes ----

enum VMOpcode : uint8_t {
  OP_CONV = 0x03,
  OP_MUL = 0x04,
  OP_DIV = 0x05,
  OP_REM = 0x06,
  OP_MOD = 0x07,
  OP_ADD = 0x08,
  OP_SUB = 0x09,
  OP_AND = 0x0A,
  OP_OR = 0x0B,
  OP_XOR = 0x0C,
  OP_NEG = 0x0D,
  OP_NOT = 0x0E,
  OP_SHL = 0x0F,
  OP_SHR = 0x10,
  OP_SLT = 0x11,
  OP_SLE = 0x12,
  OP_SEQ = 0x13,
  OP_SNE = 0x14,
  OP_SGE = 0x15,
  OP_SGT = 0x16,
  OP_POP = 0x41,
  OP_DUP = 0x82,
  OP_RET = 0x9D,
  OP_EXIT = 0x9E,
  OP_POPZ = 0x9F,
  OP_B = 0xB7,
  OP_BT = 0xB8,
  OP_BF = 0xB9,
  OP_PUSHENV = 0xBB,
  OP_POPENV = 0xBC,
  OP_PUSH = 0xC0,
  OP_CALL = 0xDA,
  OP_BREAK = 0xFF,
};

// ---- Type codes ----

enum VMType : uint8_t {
  VT_DOUBLE = 0,   // ".d"
  VT_FLOAT = 1,    // ".f"
  VT_INT = 2,      // ".i"
  VT_LONG = 3,     // ".l"
  VT_BOOL = 4,     // ".b"
  VT_VAR = 5,      // ".v": a whole ScriptValue on the stack
  VT_STRING = 6,   // ".s": a text handle on the stack
  VT_DEBUGSTR = 7, // push only: a string of the debugger's watch code, pushed as a ".s" item
  VT_ERROR = 15,   // ".e": the immediate
};

// The words the debugger support and the run loop write over an instruction to stop there.
constexpr uint32_t kBreakpointWord = 0xFFFF0000u;
constexpr uint32_t kStepBreakWord = 0xFF0F0000u;
// The break form of popenv that leaves a with-block early.
constexpr uint32_t kPopEnvLeaveWord = 0xBCF00000u;
constexpr uint32_t kPopEnvLeaveType = 0xF0u;  // bits 16-23 of that word
// Break immediates.
constexpr uint16_t kBreakIndexCheck = 0xFFFFu;

// ---- Instruction word fields ----

constexpr uint8_t WordOpcode(uint32_t word) { return static_cast<uint8_t>(word >> 24); }
constexpr uint8_t WordT1(uint32_t word) { return static_cast<uint8_t>((word >> 16) & 0xFu); }
constexpr uint8_t WordT2(uint32_t word) { return static_cast<uint8_t>((word >> 20) & 0xFu); }
constexpr uint8_t WordTypes(uint32_t word) { return static_cast<uint8_t>((word >> 16) & 0xFFu); }
// The immediate, sign-extended.
constexpr int32_t WordImmediate(uint32_t word) {
  return static_cast<int32_t>(static_cast<int16_t>(static_cast<uint16_t>(word & 0xFFFFu)));
}
constexpr uint16_t WordImmediateBits(uint32_t word) { return static_cast<uint16_t>(word & 0xFFFFu); }
// The branch offset in words, sign-extended from 24 bits.
constexpr int32_t WordBranchOffset(uint32_t word) {
  const uint32_t field = word & 0x00FFFFFFu;
  return (field & 0x00800000u) ? static_cast<int32_t>(field) - 0x01000000 : static_cast<int32_t>(field);
}

constexpr uint32_t MakeWord(uint8_t opcode, uint8_t t1, uint8_t t2 = 0, int32_t immediate = 0) {
  return (static_cast<uint32_t>(opcode) << 24) | (static_cast<uint32_t>(t2 & 0xFu) << 20) |
         (static_cast<uint32_t>(t1 & 0xFu) << 16) | (static_cast<uint32_t>(immediate) & 0xFFFFu);
}
constexpr uint32_t MakeBranchWord(uint8_t opcode, int32_t offsetWords) {
  return (static_cast<uint32_t>(opcode) << 24) | (static_cast<uint32_t>(offsetWords) & 0x00FFFFFFu);
}

// Word classes, as every tool that walks code sees them.
constexpr bool IsOperandForm(uint8_t opcode) { return (opcode & 0x40u) != 0; }
constexpr bool IsBranchForm(uint8_t opcode) { return (opcode & 0x20u) != 0 && !IsOperandForm(opcode); }
constexpr bool IsOneTypeForm(uint8_t opcode) { return (opcode & 0xA0u) == 0x80u; }
constexpr bool IsTwoTypeForm(uint8_t opcode) { return (opcode & 0xA0u) == 0u; }

// ---- Sizes ----

// Operand bytes of a type code: 8 for .d and .l, 4 for .f .i .b .v .s, 0 for every other code.
constexpr int32_t VMTypeSize(uint32_t type) {
  switch (type) {
    case VT_DOUBLE:
    case VT_LONG: return 8;
    case VT_FLOAT:
    case VT_INT:
    case VT_BOOL:
    case VT_VAR:
    case VT_STRING: return 4;
    default: return 0;
  }
}
// The operand sizes the run loop uses: as VMTypeSize, and code 7 (a debugger string index) 4.
constexpr int32_t VMOperandSize(uint32_t type) { return type == VT_DEBUGSTR ? 4 : VMTypeSize(type); }
// Stack bytes of an item: 8 for .d and .l, 16 for .v, 4 for .f .i .b .s, 0 above 6.
constexpr int32_t VMStackSize(uint32_t type) {
  switch (type) {
    case VT_DOUBLE:
    case VT_LONG: return 8;
    case VT_VAR: return 16;
    case VT_FLOAT:
    case VT_INT:
    case VT_BOOL:
    case VT_STRING: return 4;
    default: return 0;
  }
}

// The mnemonic of an opcode byte, "unknown" for bytes that are not opcodes.
const char* OpcodeName(uint8_t opcode);
// ".d" ".f" ".i" ".l" ".b" ".v" ".s" ".e", and "" for the other codes.
const char* TypeSuffixName(uint32_t type);

// ---- Variable references (operand of push.v, pop.v and pop.i) ----

constexpr uint32_t kVarIdMask = 0x1FFFFFFFu;      // bits 0-28: the variable id
constexpr uint32_t kVarSelectorInWord = 1u << 29;  // the instance selector is the immediate
constexpr uint32_t kVarSelectorBias = 1u << 30;    // add 100,000 to the selector
constexpr uint32_t kVarWhole = 1u << 31;           // the whole variable, no element index popped
constexpr int32_t kInstanceIdBase = 100000;

// ---- Instance selectors ----

enum VMInstanceSelector : int32_t {
  SEL_SELF = -1,
  SEL_OTHER = -2,
  SEL_ALL = -3,
  SEL_NOONE = -4,
  SEL_GLOBAL = -5,
  SEL_NOT_SPECIFIED = -6,  // global when the variable was declared global, else self
  SEL_LOCAL = -7,
  SEL_LOCAL_OR_SELF = -8,  // local when the running code's locals hold it, else self
};
