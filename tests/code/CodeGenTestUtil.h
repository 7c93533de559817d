// Shared pieces of the bytecode generator tests: compiling a text through CCode::Compile with the
// generator installed, comparing the result with assembled text, and running it on the machine.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "code/Code_CodeGen.h"
#include "code/Code_Compile.h"
#include "code/Code_Constant.h"
#include "code/Code_Disasm.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/Code_Main.h"
#include "code/VM_Exec.h"
#include "code/VM_Variables.h"
#include "runner/GameData_Strings.h"
#include "script/Script_Main.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"
#include "testlib/VMAssembler.h"
#include "variable/ScriptValue.h"
#include "variable/Variable_Main.h"

namespace codegentest {

// The words of a code buffer (none for null).
inline std::vector<uint32_t> Words(const VMBuffer* code) {
  if (code == nullptr || code->m_data == nullptr) return {};
  return std::vector<uint32_t>(code->m_data, code->m_data + code->m_size / 4);
}

// The disassembly of words, for failure messages.
inline std::string Listing(const std::vector<uint32_t>& words) {
  testsupport::RecordingConsole console;
  int32_t offset = 0;
  const int32_t size = static_cast<int32_t>(words.size() * 4);
  while (offset < size) offset = DisassembleInstruction(words.data(), size, offset, &console);
  return console.Text();
}

// A built-in that answers the sum of its real arguments.
inline void SumBuiltin(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  double sum = 0;
  for (int32_t i = 0; i < argc; ++i) {
    if (args[i].Kind() == VALUE_REAL) sum += args[i].real;
  }
  SetReal(result, sum);
}

class CodeGenTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    InitGlobalVariables();
    g_ErrorSuppressed.store(true);
    RegisterBuiltinFunction("f", &SumBuiltin, -1);
  }
  void TearDown() override {
    m_codes.clear();
    RuntimeTest::TearDown();
  }

  // Compiles the text (kept alive by the fixture) and answers the entry; the compilation must
  // succeed.
  CCode* Compile(const std::string& text, bool expression = false) {
    m_texts.push_back(std::make_unique<std::string>(text));
    m_codes.push_back(std::make_unique<CCode>(m_texts.back()->c_str(), expression));
    CCode* code = m_codes.back().get();
    EXPECT_TRUE(code->Compile("test")) << text << ": " << (Code_GetLastError() ? Code_GetLastError() : "");
    return code;
  }

  // Compiles the text and checks its code against the assembled text.
  void ExpectCode(const std::string& text, bool expression, const std::string& assembly) {
    const std::vector<uint32_t> actual = Words(Compile(text, expression)->m_code);
    const std::vector<uint32_t> expected = testsupport::Assemble(assembly);
    EXPECT_EQ(actual, expected) << "source: " << text << "\n--- generated:\n"
                                << Listing(actual) << "--- expected:\n"
                                << Listing(expected);
  }

  // Compiles and runs a program (or expression) with no instances; answers the run's result,
  // which starts as the real -12345.
  double RunReal(const std::string& text, bool expression = false) {
    ScriptValue result{};
    SetReal(&result, -12345.0);
    Run(text, expression, &result);
    const double answer = result.Kind() == VALUE_REAL ? result.real : -99999.0;
    ReleaseValue(&result);
    return answer;
  }
  std::string RunText(const std::string& text, bool expression = false) {
    ScriptValue result{};
    SetReal(&result, -12345.0);
    Run(text, expression, &result);
    const std::string answer = result.Kind() == VALUE_STRING && result.str ? result.str : "<not a text>";
    ReleaseValue(&result);
    return answer;
  }

  double GlobalReal(const char* name) {
    ScriptValue v{};
    GetGlobalVariable(GetVariableId(name), kWholeValueIndex, &v);
    const double answer = v.Kind() == VALUE_REAL ? v.real : -99999.0;
    ReleaseValue(&v);
    return answer;
  }

 private:
  void Run(const std::string& text, bool expression, ScriptValue* result) {
    CCode* code = Compile(text, expression);
    ASSERT_NE(code->m_code, nullptr) << text;
    VM_ClearLastErrorText();
    const bool completed =
        VMExecute("test", nullptr, nullptr, code->m_code, result, code->m_lineInfo, code->m_sourceCopy);
    EXPECT_TRUE(completed) << text << "\n" << Listing(Words(code->m_code));
    EXPECT_STREQ(VM_GetLastErrorText(), "") << text << "\n" << Listing(Words(code->m_code));
  }

  std::vector<std::unique_ptr<std::string>> m_texts;
  std::vector<std::unique_ptr<CCode>> m_codes;
};

}  // namespace codegentest
