// Compiled code entries: one CCode per piece of script the runtime can run, made either from
// script text (compiled by the four compiler phases) or from a code index of the game data.
#pragma once

#include <cstdint>
#include <functional>

#include "variable/ScriptValue.h"

class CInstance;
struct CodeNode;

// A read-only view of 32-bit words. Its destructor releases the words only when it owns them
// (the views of an entry made from a code index point into the loaded game data).
struct VMDecoded;

class VMBuffer {
 public:
  VMBuffer() = default;
  VMBuffer(const uint32_t* words, int32_t sizeBytes, bool owned)
      : m_size(sizeBytes), m_data(words), m_owned(owned) {}
  virtual ~VMBuffer();
  VMBuffer(const VMBuffer&) = delete;
  VMBuffer& operator=(const VMBuffer&) = delete;

  // Whoever changes the words or their size on a buffer that may have run calls
  // VM_NoteScriptChange (code/VM_State.h).
  int32_t m_size = 0;                 // in bytes
  const uint32_t* m_data = nullptr;   // the words
  bool m_owned = false;               // released with the view (MemoryManager block)
  // The machine's decoded steps for these words (code/VM_Decoded.h), made at the first run on
  // the fast paths and freed with the buffer.
  VMDecoded* m_decoded = nullptr;
};

// A function of the program that a code entry runs in place of script code: it gets the instances
// the code runs for and the result value to fill.
using CodeNativeFunction = std::function<void(CInstance* self, CInstance* other, ScriptValue* result)>;

enum CodeKind : int32_t {
  CODE_PROGRAM = 1,     // a list of statements
  CODE_EXPRESSION = 2,  // one expression
  CODE_CONSTANT = 3,    // an expression folded to one constant value
};

class CCode {
 public:
  // An entry made from text; the text is borrowed and must outlive the entry.
  CCode(const char* text, bool isExpression);
  // An entry made from a code index of the game data: its bytecode, name, source and line
  // information point into the loaded game data (an index outside the CODE chunk gives an entry
  // with no code and an empty source). An index of 0 or more joins the data-code list.
  static CCode* CCodeFromIndex(int32_t codeIndex, bool isExpression);
  // An entry that runs `function` instead of script code: compiled already, with no source and
  // no bytecode, on the machine and on the tree interpreter alike. It stays out of the data-code
  // list. Handlers and scripts of fixtures are made this way without compiling any text.
  static CCode* FromNative(CodeNativeFunction function, const char* name = nullptr);
  // An entry made from a code index leaves the data-code list. The code tree is freed (with the
  // constant that shares its value); an entry made from text also releases its generated code,
  // line information, source copy and name.
  virtual ~CCode();
  CCode(const CCode&) = delete;
  CCode& operator=(const CCode&) = delete;

  // Compiles an entry made from text under `name` (white space in it becomes '_'): the compiler
  // phases build the code tree, an expression that folds to one constant becomes kind 3, and
  // while UseVM is true the bytecode generator (when installed) writes the code. False with the
  // code error recorded when a phase fails, or when the entry is already compiled.
  bool Compile(const char* name);

  CCode* m_next = nullptr;        // the data-code list
  int32_t m_kind = CODE_PROGRAM;  // CodeKind
  bool m_compiled = false;
  const char* m_source = nullptr;  // the script text
  CodeNode* m_tree = nullptr;      // the code tree, null until compiled
  ScriptValue m_constant{};        // a folded constant's value (payload shared with the tree)
  // The bytecode, null when there is none. Whoever replaces it on an entry a script may hold
  // calls VM_NoteScriptChange (code/VM_State.h).
  VMBuffer* m_code = nullptr;
  VMBuffer* m_lineInfo = nullptr;  // the line-info table, null when there is none
  const char* m_sourceCopy = nullptr;  // the text the machine shows in reports and to the debugger
  char* m_name = nullptr;          // own copy (text entries) or the game data's name
  int32_t m_codeIndex = -1;        // index in the CODE chunk, -1 for text entries
  CodeNativeFunction m_native;      // set only on entries made by FromNative
  bool m_madeFromText = true;

 private:
  CCode() = default;
};

// The bytecode generator, installed once it exists: writes the code and line-info buffers of a
// freshly compiled program or expression (either may stay null). While none is installed, text
// entries have no bytecode.
using CodeGeneratorHook = void (*)(CCode* code, VMBuffer** codeOut, VMBuffer** lineInfoOut);
void Code_SetGeneratorHook(CodeGeneratorHook hook);

// The data-code list: every entry made from a code index of 0 or more, newest first.
CCode* Code_DataCodeList();
int32_t Code_DataCodeCount();

// The game code table (room and instance creation code, referred to by index).
// Appends an entry and answers its index. With a CODE chunk the data reference is a code index
// (-1 stores a null slot); without one it is the offset of the code's text in the game image (0:
// an entry with no text).
int32_t Code_Add(int32_t dataReference, bool isExpression);
// The entry at `index`, or null when the index is negative or not below the count.
CCode* Code_Get(int32_t index);
int32_t Code_Count();
// Destroys every entry of the table and empties it.
void Code_FreeAll();
// The code subsystem as in a fresh process: the table freed, the data-code list forgotten, the
// bytecode generator and the tree interpreter installed, the constants, the compiler's scratch
// and the user variable names released.
void Code_Reset();

// Runs an entry for `self` and `other` (code/Code_Exec.cpp). On the virtual machine the answer is
// always true (the machine reports its own failures); a folded constant copies its value into
// `result`; on the tree interpreter false means a code error was recorded.
bool Code_Execute(CInstance* self, CInstance* other, CCode* code, ScriptValue* result);
// Code_Execute; a failure is reported as a non-fatal run-time error and the error flag cleared.
bool Code_ExecuteAndReport(CInstance* self, CInstance* other, CCode* code, ScriptValue* result);
// Code_Execute; a failure makes the result the string "ERROR".
bool Code_Evaluate(CInstance* self, CInstance* other, CCode* code, ScriptValue* result);
