#include "TreeExecSupport.h"

#include "room/Instance_Variables.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

namespace treetest {

namespace {

void Print(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  std::string line;
  for (int32_t i = 0; i < argc; ++i) {
    if (i > 0) line += ' ';
    char* text = ValueToString(&args[i]);
    line += text;
    MemoryManager::Free(text);
  }
  OutputConsole->Output("%s\n", line.c_str());
}

void Nan(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  SetReal(result, std::numeric_limits<double>::quiet_NaN());
}

bool GetId(CInstance* self, int32_t, ScriptValue* out) {
  ReleaseValue(out);
  SetReal(out, self != nullptr ? self->i_id : -4);
  return true;
}
bool GetSeven(CInstance*, int32_t, ScriptValue* out) {
  ReleaseValue(out);
  SetReal(out, 7);
  return true;
}

}  // namespace

void TreeExecTest::SetUp() {
  RuntimeTest::SetUp();
  g_VM.UseVM = false;
  Error_SetDialogSwitch(false);
  InitGlobalVariables();
  RegisterBuiltinConstants();
  RegisterBuiltinFunction("print", Print, -1);
  RegisterBuiltinFunction("nan", Nan, 0);
  RegisterGlobalVariables();
  RegisterBuiltinVariable("id", GetId, nullptr);
  RegisterBuiltinVariable("ro", GetSeven, nullptr);
  Room_SetLastInstanceId(100000);
  CurrentRoom = &m_room;
  m_savedConsole = OutputConsole;
  OutputConsole = &m_console;
}

void TreeExecTest::TearDown() {
  OutputConsole = m_savedConsole;
  for (CCode* code : m_scripts) delete code;
  m_scripts.clear();
  Script_FreeAll();
  CurrentRoom = nullptr;
  m_room.DeleteActiveInstances();
  m_room.DeleteDeactivatedInstances();
  RuntimeTest::TearDown();
}

Outcome TreeExecTest::Run(const std::string& source) { return RunFor(source, &m_self, &m_other); }

Outcome TreeExecTest::RunFor(const std::string& marked, CInstance* self, CInstance* other) {
  Outcome outcome;
  std::string source;
  ErrorMark(marked, &source);
  CCode code(source.c_str(), false);
  if (!code.Compile("test")) {
    ADD_FAILURE() << "does not compile: " << source << "\n" << (Code_GetLastError() ? Code_GetLastError() : "");
    return outcome;
  }
  m_console.Clear();
  ScriptValue result{};
  SetReal(&result, -12345.0);
  outcome.ok = Code_Execute(self, other, &code, &result);
  outcome.value = Describe(result);
  outcome.nullText = result.Kind() == VALUE_STRING && result.str == nullptr;
  ReleaseValue(&result);
  outcome.console = m_console.Text();
  if (!outcome.ok && Code_GetLastError() != nullptr) {
    outcome.errorText = Code_GetLastError();
    const std::string marker = "at position ";
    const size_t at = outcome.errorText.rfind(marker);
    if (at != std::string::npos) {
      const size_t colon = outcome.errorText.find(": ", at);
      outcome.errorOffset = std::atoi(outcome.errorText.c_str() + at + marker.size()) - 1;
      if (colon != std::string::npos) outcome.error = outcome.errorText.substr(colon + 2);
    }
  }
  Code_ClearErrorFlag();
  return outcome;
}

void TreeExecTest::AddScripts(const std::vector<std::pair<std::string, std::string>>& scripts) {
  std::vector<int32_t> indices;
  for (const auto& script : scripts) indices.push_back(Script_Add(script.first.c_str()));
  for (size_t i = 0; i < scripts.size(); ++i) {
    m_sources.push_back(scripts[i].second);
    CCode* code = new CCode(m_sources.back().c_str(), false);
    m_scripts.push_back(code);
    ASSERT_TRUE(code->Compile(scripts[i].first.c_str()))
        << scripts[i].first << ": " << (Code_GetLastError() ? Code_GetLastError() : "");
    Script_SetCode(indices[i], code);
  }
}

std::string TreeExecTest::InstanceVariable(CInstance* instance, const char* name, int32_t index) {
  ScriptValue value{};
  const bool read = GetInstanceVariable(instance, GetVariableId(name), index, &value);
  const std::string text = read ? Describe(value) : "<none>";
  ReleaseValue(&value);
  return text;
}

std::string TreeExecTest::GlobalVariable(const char* name) {
  ScriptValue value{};
  const bool read = GetGlobalVariable(GetVariableId(name), kWholeValueIndex, &value);
  const std::string text = read ? Describe(value) : "<none>";
  ReleaseValue(&value);
  return text;
}

}  // namespace treetest
