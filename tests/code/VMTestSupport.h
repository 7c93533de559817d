// Shared pieces of the virtual machine tests: a fixture that prepares the variable store and
// runs assembled code with errors suppressed, and a holder for values that releases them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/Code_Main.h"
#include "code/VM_Exec.h"
#include "code/VM_Variables.h"
#include "script/Script_Main.h"
#include "testlib/RuntimeTest.h"
#include "testlib/VMAssembler.h"
#include "variable/ScriptValue.h"
#include "variable/Variable_Main.h"

namespace vmtest {

// A value that is released when it goes.
struct Value {
  ScriptValue v;
  Value() { SetReal(&v, 0.0); }
  ~Value() { ReleaseValue(&v); }
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
};

// The sentinel a result starts as, so that an untouched result can be recognised.
constexpr double kUntouched = -12345.5;

struct RunResult {
  ScriptValue value{};
  bool completed = false;   // VMExecute's answer
  std::string error;        // the fatal error text, "" when none
  ~RunResult() { ReleaseValue(&value); }
  bool Untouched() const { return value.Kind() == VALUE_REAL && value.real == kUntouched; }
  bool IsReal(double x) const { return value.Kind() == VALUE_REAL && value.real == x; }
  std::string Text() const { return value.Kind() == VALUE_STRING && value.str ? value.str : ""; }
};

class VMTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    InitGlobalVariables();
    g_ErrorSuppressed.store(true);
  }
  void TearDown() override {
    EXPECT_EQ(g_VM.current, nullptr);
    EXPECT_EQ(VMLocalsInUse(), 0);
    for (CCode* code : m_scripts) delete code;
    m_scripts.clear();
    RuntimeTest::TearDown();
  }

  // Runs the assembled text; the result starts as kUntouched.
  void Run(RunResult* r, const std::string& text, CInstance* self = nullptr, CInstance* other = nullptr) {
    auto code = testsupport::AssembleCode(text);
    RunCode(r, code.get(), self, other);
  }
  void RunCode(RunResult* r, VMBuffer* code, CInstance* self = nullptr, CInstance* other = nullptr) {
    SetReal(&r->value, kUntouched);
    VM_ClearLastErrorText();
    g_ErrorFlag.store(false);
    r->completed = VMExecute("test", self, other, code, &r->value, nullptr, nullptr);
    r->error = VM_GetLastErrorText();
  }

  // Adds a script whose code is the assembled text (no bytecode for an empty text); answers its
  // call number.
  int32_t AddScript(const char* name, const std::string& text) {
    const int32_t index = Script_Add(name);
    CCode* code = new CCode("", false);
    if (!text.empty()) code->m_code = testsupport::AssembleCode(text).release();
    code->m_name = DuplicateString(name);
    m_scripts.push_back(code);
    Script_SetCode(index, code);
    return kScriptCallBase + index;
  }

  // Sets a global variable (by name) to a value.
  int32_t SetGlobal(const char* name, const ScriptValue& value) {
    const int32_t id = GetVariableId(name);
    SetGlobalVariable(id, kWholeValueIndex, &value);
    return id;
  }
  double GlobalReal(const char* name) {
    Value v;
    GetGlobalVariable(GetVariableId(name), kWholeValueIndex, &v.v);
    return v.v.Kind() == VALUE_REAL ? v.v.real : -999999.0;
  }
  std::string GlobalText(const char* name) {
    Value v;
    GetGlobalVariable(GetVariableId(name), kWholeValueIndex, &v.v);
    return v.v.Kind() == VALUE_STRING && v.v.str ? v.v.str : "<not a text>";
  }

  std::vector<CCode*> m_scripts;
};

inline ScriptValue MakeInt32(int32_t x) {
  ScriptValue v{};
  v.i32 = x;
  v.kind = VALUE_INT32;
  return v;
}
inline ScriptValue MakeInt64(int64_t x) {
  ScriptValue v{};
  v.i64 = x;
  v.kind = VALUE_INT64;
  return v;
}

}  // namespace vmtest
