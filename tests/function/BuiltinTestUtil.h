// The fixture of the built-in tests: a fresh registry holding the maths group, calls by name with
// argument arrays as the virtual machine makes them, what a call reported, and short scripts
// compiled and run on the virtual machine.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "room/Instance_Class.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"
#include "variable/ScriptValue.h"

namespace builtintest {

using testsupport::Str;

// What a call answered.
struct Answer {
  ValueKind kind = VALUE_REAL;
  double real = 0.0;      // kind 0
  std::string text;       // kind 1 (empty for no text)
  bool noText = false;    // kind 1 with no text at all
};

// The same double, NaN included (-0 and 0 count as the same, as scripts see them).
inline bool SameReal(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return a == b;
}

// A new counted reference to what `v` holds (an array argument shares the caller's array).
ScriptValue Share(const ScriptValue& v);
ScriptValue Int32(int32_t i);
ScriptValue Int64(int64_t i);
ScriptValue Undefined();
ScriptValue NoText();
Answer Read(const ScriptValue& result);

class BuiltinTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Calls the built-in registered under `name` with these arguments (released afterwards) and
  // answers its result. `raw` receives the result value itself when given (the caller releases it).
  Answer Call(const char* name, std::vector<ScriptValue> args, ScriptValue* raw = nullptr);
  double CallReal(const char* name, std::vector<ScriptValue> args);

  // The run-time error reported since the last call of this (empty when none) and whether it
  // ended the game; both are cleared, so the next call starts afresh.
  std::string TakeError(bool* fatal = nullptr);

  // Compiles a program and runs it on the virtual machine; answers its return value.
  Answer RunScript(const std::string& source);

  testsupport::RecordingConsole m_console;
  tagIConsole* m_savedConsole = nullptr;
  CInstance m_self{0, 0, 100001, -1, false};
  CInstance m_other{0, 0, 100002, -1, false};
};

}  // namespace builtintest
