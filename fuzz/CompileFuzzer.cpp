// libFuzzer harness for the compiler: the input's first byte chooses what the rest is, and the
// rest is script text (up to its first zero byte) compiled through every phase, the bytecode
// generator, the disassembler and the translator into decoded steps:
//   bit 0  an expression (else a program)
//   bit 1  also disassemble and translate the rest taken as raw bytecode words
// A compile error is an answer, not a finding; a crash, a sanitizer report, a hang or an
// unbounded allocation is.
#include "FuzzCommon.h"
#include "code/Code_CodeGen.h"
#include "code/Code_Compile.h"
#include "code/Code_Disasm.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/Code_Main.h"
#include "code/VM_Decoded.h"
#include "code/VM_State.h"
#include "script/Script_Main.h"
#include "variable/Variable_Main.h"

namespace {

void Nothing(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) {}

// Translates the words into decoded steps and drops them (any words must translate safely).
void Translate(const uint32_t* words, int32_t bytes) {
  VMDecoded decoded;
  VMTranslate(words, bytes, &decoded);
  decoded.steps.Free();
  decoded.stepAt.Free();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Setup();
  g_VM.UseVM = true;
  Code_SetGeneratorHook(&CodeGen_GenerateForEntry);
  // A few functions of each kind for the texts to call: any number of arguments, a fixed number,
  // and a script.
  RegisterBuiltinFunction("f", &Nothing, -1);
  RegisterBuiltinFunction("g", &Nothing, 2);
  RegisterBuiltinFunction("show_message", &Nothing, 1);
  Script_Add("scr");
  InitGlobalVariables();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input input(data, size);
  const uint8_t mode = input.Byte();
  const std::string text = input.Rest();
  fuzz::NullConsole console;
  try {
    CCode* code = new CCode(text.c_str(), (mode & 1) != 0);
    if (code->Compile("fuzz") && code->m_code != nullptr) {
      DisassembleCode(code->m_code, &console);
      Translate(code->m_code->m_data, code->m_code->m_size);
    }
    delete code;
  } catch (const fuzz::FatalExit&) {
  }
  Code_ClearErrorFlag();
  if ((mode & 2) != 0 && !text.empty()) {
    const int32_t bytes = static_cast<int32_t>(text.size());
    uint32_t* words = new uint32_t[(text.size() + 3) / 4]();
    std::memcpy(words, text.data(), text.size());
    for (int32_t offset = 0; offset < bytes;) {
      const int32_t next = DisassembleInstruction(words, bytes, offset, &console);
      if (next <= offset) __builtin_trap();  // the listing must move on
      offset = next;
    }
    Translate(words, bytes);
    delete[] words;
  }
  return 0;
}
