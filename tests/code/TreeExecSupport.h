// Shared pieces of the tree interpreter tests: a fixture that prepares the variable store, the
// constants, a room and a few test built-ins, compiles script text and runs it through
// Code_Execute, and reports what came out (result, console lines, recorded error).
#pragma once

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "code/Code_Compile.h"
#include "code/Code_Constant.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/Code_Main.h"
#include "code/VM_Exec.h"
#include "code/VM_Variables.h"
#include "extension/Extension_Main.h"
#include "object/Object_Class.h"
#include "platform/MemoryManager.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "script/Script_Main.h"
#include "variable/ScriptValue.h"
#include "variable/Variable_Main.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

namespace treetest {

using testsupport::RecordingConsole;


// The text form of a value for comparisons: strings quoted, "undefined", reals as the runtime
// prints them.
inline std::string Describe(const ScriptValue& value) {
  switch (value.Kind()) {
    case VALUE_UNDEFINED:
      return "undefined";
    case VALUE_STRING:
      return "\"" + std::string(value.str != nullptr ? value.str : "") + "\"";
    default: {
      char* text = ValueToString(&value);
      std::string copy = text;
      MemoryManager::Free(text);
      return copy;
    }
  }
}

// What one run left behind.
struct Outcome {
  bool ok = false;          // Code_Execute's answer
  std::string value;        // Describe(result)
  bool nullText = false;    // the result is a string value with no text at all
  std::string console;      // what the run wrote on OutputConsole
  std::string error;        // the recorded code error's message ("" after success)
  int32_t errorOffset = -1;  // its offset in the (one-line) source
  std::string errorText;    // the whole recorded text
};

// The offset of the '@' in a table source (-1 when there is none) and the source without it.
inline int32_t ErrorMark(const std::string& marked, std::string* source) {
  const size_t at = marked.find('@');
  *source = marked;
  if (at == std::string::npos) return -1;
  source->erase(at, 1);
  return static_cast<int32_t>(at);
}

// Test built-ins, registered by the fixture:
//   print(...)  writes its arguments' text forms separated by spaces and a line feed
//   nan()       answers NaN
// Test built-in variables: argument0 .. argument15 and argument_count (the argument slots),
// id (read-only: self's instance id) and ro (read-only: 7).
class TreeExecTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Compiles a program (g_VM.UseVM decides whether bytecode is generated) and runs it for m_self
  // and m_other. A '@' in the source marks where the expected error is and is taken out
  // before compiling (see ErrorMark).
  Outcome Run(const std::string& source);
  // Compiles and runs with self and other given.
  Outcome RunFor(const std::string& source, CInstance* self, CInstance* other);

  // Adds scripts by name first (so that they may call each other), then compiles each text.
  void AddScripts(const std::vector<std::pair<std::string, std::string>>& scripts);

  // A variable of an instance by name; "<none>" when it cannot be read.
  std::string InstanceVariable(CInstance* instance, const char* name, int32_t index = kWholeValueIndex);
  std::string GlobalVariable(const char* name);

  CInstance* AddInstance(int32_t object) { return m_room.AddInstance(0, 0, object); }

  RecordingConsole m_console;
  tagIConsole* m_savedConsole = nullptr;
  CRoom m_room;
  CInstance m_self{0, 0, 1, -1, false};
  CInstance m_other{0, 0, 2, -1, false};
  std::deque<std::string> m_sources;  // texts borrowed by compiled entries
  std::vector<CCode*> m_scripts;
};

}  // namespace treetest
