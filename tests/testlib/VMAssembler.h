// A small assembler for bytecode tests: turns instruction text into code words, so that every
// instruction can be run before a compiler produces bytecode.
//
// One instruction per line; "//" starts a comment; "name:" defines a label (alone or before an
// instruction). Mnemonics take their type suffixes as in the disassembly, first type first:
//   push.d 2.5   push.i 7   push.l 5000000000   push.b 1   push.e -3   push.f 1.5
//   push.s 2                   string-table index (push.7 N: the debugger's watch strings)
//   push.v IMM REF             instance selector in the immediate, variable reference
//   pop.v.T IMM REF   pop.i.T IMM REF   pop.e.T N M   (distance and adjustment in 4-byte units)
//   dup.T COUNT-1   popz.T   ret.v   exit.i   neg.T   not.T   conv.A.B   add.A.B ... sgt.A.B
//   b LABEL   bt LABEL   bf LABEL   pushenv LABEL   popenv LABEL   popenv break (leaving form)
//   call.i FUNCTION ARGC       FUNCTION: a call number or @name (looked up in the registry)
//   break IMM                  .word VALUE (a raw word)
// A variable reference is a number or @name[:flags]: the variable of that name (GetVariableId),
// whole and with the selector in the immediate unless the flags say otherwise: 'e' an element
// (index popped), 's' selector popped, 'b' add 100,000 to the selector.
// Branch arguments are labels or signed word offsets. Errors throw std::runtime_error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "code/Code_Main.h"

namespace testsupport {

std::vector<uint32_t> Assemble(const std::string& text);

// The operand word of a variable reference.
uint32_t VarReference(int32_t id, bool whole = true, bool selectorInWord = true, bool bias = false);

// A code buffer owning a memory-manager copy of the words.
std::unique_ptr<VMBuffer> MakeCodeBuffer(const std::vector<uint32_t>& words);
// Assembles the text into a code buffer.
std::unique_ptr<VMBuffer> AssembleCode(const std::string& text);

// Installs a game string table holding the texts (a null entry stands for offset 0) while it
// lives, and clears the table afterwards.
class StringTableFixture {
 public:
  explicit StringTableFixture(const std::vector<const char*>& texts);
  ~StringTableFixture();
  StringTableFixture(const StringTableFixture&) = delete;
  StringTableFixture& operator=(const StringTableFixture&) = delete;

 private:
  std::vector<uint8_t> m_data;
  std::vector<uint32_t> m_entries;
};

}  // namespace testsupport
