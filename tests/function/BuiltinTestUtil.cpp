#include "BuiltinTestUtil.h"

#include "code/Code_CodeGen.h"
#include "code/Code_Compile.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/Code_Main.h"
#include "code/VM_Variables.h"
#include "function/Function_Math.h"
#include "platform/MemoryManager.h"
#include "os/OS_Messages.h"
#include "variable/Variable_Main.h"

namespace builtintest {

ScriptValue Share(const ScriptValue& v) {
  ScriptValue copy{};
  CopyValue(&copy, &v);
  return copy;
}

ScriptValue Int32(int32_t i) {
  ScriptValue v{};
  v.i32 = i;
  v.kind = VALUE_INT32;
  return v;
}

ScriptValue Int64(int64_t i) {
  ScriptValue v{};
  v.i64 = i;
  v.kind = VALUE_INT64;
  return v;
}

ScriptValue Undefined() {
  ScriptValue v{};
  SetUndefined(&v);
  return v;
}

ScriptValue NoText() { return Str(nullptr); }

Answer Read(const ScriptValue& result) {
  Answer answer;
  answer.kind = result.Kind();
  if (answer.kind == VALUE_REAL) answer.real = result.real;
  if (answer.kind == VALUE_STRING) {
    answer.noText = result.str == nullptr;
    if (result.str != nullptr) answer.text = result.str;
  }
  return answer;
}

void BuiltinTest::SetUp() {
  RuntimeTest::SetUp();
  Error_SetDialogSwitch(false);
  Run_SetRunning(true);
  RegisterMathFunctions();
  InitGlobalVariables();
  m_savedConsole = OutputConsole;
  OutputConsole = &m_console;
}

void BuiltinTest::TearDown() {
  OutputConsole = m_savedConsole;
  RuntimeTest::TearDown();
}

Answer BuiltinTest::Call(const char* name, std::vector<ScriptValue> args, ScriptValue* raw) {
  int32_t number = -1;
  Answer answer;
  if (!FindFunctionIndex(name, &number)) {
    ADD_FAILURE() << "no built-in " << name;
    return answer;
  }
  ScriptValue result{};
  g_VM.CurrentBuiltinName = g_VM.functions[number].name;
  g_VM.functions[number].func(&result, &m_self, &m_other, static_cast<int32_t>(args.size()),
                                  args.empty() ? nullptr : args.data());
  for (ScriptValue& v : args) ReleaseValue(&v);
  answer = Read(result);
  if (raw != nullptr) {
    *raw = result;
  } else {
    ReleaseValue(&result);
  }
  return answer;
}

double BuiltinTest::CallReal(const char* name, std::vector<ScriptValue> args) {
  const Answer answer = Call(name, std::move(args));
  EXPECT_EQ(answer.kind, VALUE_REAL) << name;
  return answer.real;
}

std::string BuiltinTest::TakeError(bool* fatal) {
  const std::string text = Error_GetLast() != nullptr ? Error_GetLast() : "";
  if (fatal != nullptr) *fatal = Error_IsEnding();
  Error_ResetState();
  Error_SetDialogSwitch(false);
  Run_SetRunning(true);
  return text;
}

Answer BuiltinTest::RunScript(const std::string& source) {
  Answer answer;
  g_VM.UseVM = true;
  Code_SetGeneratorHook(CodeGen_GenerateForEntry);
  CCode code(source.c_str(), false);
  if (!code.Compile("test")) {
    ADD_FAILURE() << "does not compile: " << source << "\n" << (Code_GetLastError() ? Code_GetLastError() : "");
    return answer;
  }
  ScriptValue result{};
  Code_Execute(&m_self, &m_other, &code, &result);
  answer = Read(result);
  ReleaseValue(&result);
  return answer;
}

}  // namespace builtintest
