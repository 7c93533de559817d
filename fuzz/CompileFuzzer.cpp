// libFuzzer harness for the compiler: the input's first byte chooses what the rest is, and the
// rest is script text (up to its first zero byte) compiled through every phase, the bytecode
// generator and the disassembler:
//   bit 0  an expression (else a program)
//   bit 1  also disassemble the rest taken as raw bytecode words
// A compile error is an answer, not a finding; a crash, a sanitizer report, a hang or an
// unbounded allocation is.
#include "FuzzCommon.h"
#include "code/Code_CodeGen.h"
#include "code/Code_Compile.h"
#include "code/Code_Disasm.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/Code_Main.h"
#include "code/VM_State.h"
#include "script/Script_Main.h"
#include "variable/Variable_Main.h"

namespace {

void Nothing(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) {}

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
    if (code->Compile("fuzz") && code->m_code != nullptr) DisassembleCode(code->m_code, &console);
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
    delete[] words;
  }
  return 0;
}
