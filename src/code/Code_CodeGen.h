// The bytecode generator: turns the code tree of a freshly compiled program or expression into
// virtual-machine code. One walk over the tree emits instruction words into a growable word
// buffer, keeps a compile-time stack of the types of the items the emitted code leaves on the
// machine's value stack (inserting conversions where an instruction needs a particular type),
// and resolves forward and backward jumps through labels.
//
// String constants are written as indexes into the runtime part of the string table
// (Strings_AddRuntime), never as addresses. The generator writes no line information: the
// line-info table of generated code is always empty.
//
// Main thread only; one generator at a time.
#pragma once

#include <cstdint>

#include "code/VM_Exec.h"
#include "code/VM_Format.h"

struct CodeNode;
class CCode;

// A jump target. Branches to a label that is not placed yet are written with offset 0 and
// remembered; placing the label patches them.
struct CodeLabel {
  explicit CodeLabel(const char* labelName) : name(labelName) {}
  ~CodeLabel();
  CodeLabel(const CodeLabel&) = delete;
  CodeLabel& operator=(const CodeLabel&) = delete;

  CodeLabel* link = nullptr;  // the continue or break target before this one
  const char* name;           // for debugging: "End", "Else", "Repeat", ...
  int32_t offset = 0;         // code offset in bytes, 0 until placed
  int32_t* pending = nullptr;  // byte offsets of branch words waiting for this label
  int32_t pendingCount = 0;
  int32_t pendingCapacity = 0;
  uint8_t placed = 0;
  int32_t breakCount = 0;  // break statements that jumped here
};

// The number of type codes the type stack holds before it grows onto the heap.
constexpr int32_t kTypeStackSize = 1024;

class CodeGenerator {
 public:
  CodeGenerator() = default;
  ~CodeGenerator();
  CodeGenerator(const CodeGenerator&) = delete;
  CodeGenerator& operator=(const CodeGenerator&) = delete;

  // Creates the two writers with the given capacities in bytes; the type stack and both targets
  // start empty.
  void Init(int32_t codeCapacity, int32_t lineInfoCapacity);

  // ---- Emission primitives (all through the code writer) ----
  // A word with one type; a word with two types.
  void EmitWord(uint8_t opcode, uint8_t type, int32_t immediate = 0);
  void EmitWord2(uint8_t opcode, uint8_t type1, uint8_t type2, int32_t immediate = 0);
  // A word with one type followed by an operand of that type, read from `operand`
  // (VMTypeSize(type) bytes: a double, an int64, an int32 or a bool word; none for .e, whose
  // value is the immediate).
  void EmitPushConstant(uint8_t opcode, uint8_t type, int32_t immediate, const void* operand);
  // A word with two types followed by an operand of the first type.
  void EmitWord2Operand(uint8_t opcode, uint8_t type1, uint8_t type2, int32_t immediate, const void* operand);
  // A word written as it is (the leaving form of popenv).
  void EmitRawWord(uint32_t word);
  void EmitBranch(uint8_t opcode, CodeLabel* label);
  void PlaceLabel(CodeLabel* label);
  int32_t CodeSize() const;

  // ---- The type stack ----
  void PushType(int32_t type);
  int32_t PopType();         // 15 when empty
  int32_t PeekType() const;  // 15 when empty
  int32_t TypeDepth() const { return m_typeDepth; }

  VMWriteBuffer* m_code = nullptr;      // the instruction stream
  VMWriteBuffer* m_lineInfo = nullptr;  // the line-information table (left empty)

  int32_t m_typeInline[kTypeStackSize] = {};
  int32_t* m_types = m_typeInline;  // the inline array, or a heap block once it outgrew it
  int32_t m_typeDepth = 0;
  int32_t m_typeCapacity = kTypeStackSize;

  CodeLabel* m_continueTarget = nullptr;
  CodeLabel* m_breakTarget = nullptr;

  // The types of the switch values on the machine's stack since the innermost continue target
  // was set: a continue leaves those switches, so it pops their values before it jumps.
  int32_t* m_switchTypes = nullptr;  // MemoryManager block
  int32_t m_switchCount = 0;
  int32_t m_switchCapacity = 0;
  int32_t m_switchBase = 0;  // first entry that belongs to the current continue target
};

// Generates the statements of a block root (kind 1000) in order; any other root generates
// nothing. Nothing is added at the end: the machine stops at the end of the stream.
void GenerateProgram(CodeGenerator* generator, const CodeNode* root);
// Generates the expression and converts its value to .v, so that the code leaves one whole value.
void GenerateExpression(CodeGenerator* generator, const CodeNode* root);
// Sets each writer's size to the bytes written and hands both to the caller, who owns them from
// then on; the generator forgets them.
void FinishCode(CodeGenerator* generator, VMBuffer** code, VMBuffer** lineInfo);

// The generator as CCode::Compile calls it: generates the entry's tree (a program, or an
// expression for kind 2) into new code and line-info buffers.
void CodeGen_GenerateForEntry(CCode* code, VMBuffer** codeOut, VMBuffer** lineInfoOut);

// Nothing to release: every generator lives for one compilation.
void CodeGen_Shutdown();
