#include "script/Script_Main.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/VCL.h"
#include "code/Code_Error.h"
#include "code/Code_Main.h"
#include "code/VM_Exec.h"
#include "code/VM_State.h"
#include "code/VM_Variables.h"
#include "platform/GrowArray.h"
#include "platform/NameTable.h"
#include "script/Script_Class.h"
#include "support/BoundedReader.h"

namespace {

// The script table: per index the script (null for an empty slot) and its name (null for an
// empty slot).
struct ScriptTableState {
  GrowArray<CScript*> scripts{64};
  NameTable names;
};
ScriptTableState g_scripts;

}  // namespace

void Script_Reset() { Script_FreeAll(); }

void Script_FreeAll() {
  for (int32_t i = 0; i < g_scripts.scripts.Count(); ++i) delete g_scripts.scripts[i];
  g_scripts.scripts.Free();
  g_scripts.names.FreeAll();
  VM_NoteScriptChange();
}

bool Script_LoadChunk(BoundedReader& chunk) {
  uint32_t count = 0;
  if (!chunk.U32(&count) || count > INT32_MAX || !chunk.Fits(count, 4)) {
    DebugConsole->Output("Game data: the script chunk holds fewer entries than its count %u\n", count);
    return false;
  }
  Script_Reset();
  g_scripts.scripts.SetCount(count);
  VM_NoteScriptChange();
  g_scripts.names.Set(static_cast<int32_t>(count) - 1, nullptr);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t entry = 0;
    chunk.U32(&entry);
    if (entry == 0) continue;
    CScript* script = new CScript();
    if (!script->Load(chunk, entry)) {
      delete script;
      return false;
    }
    g_scripts.scripts[static_cast<int32_t>(i)] = script;
    g_scripts.names.Set(static_cast<int32_t>(i), script->m_name);
  }
  return true;
}

bool Script_Prepare() {
  for (int32_t i = 0; i < g_scripts.scripts.Count(); ++i) {
    CScript* script = g_scripts.scripts[i];
    if (script == nullptr || script->Compile()) continue;
    const char* error = Code_GetLastError();
    const std::string text = std::string("COMPILATION ERROR in Script: ") + Script_GetName(i) + "\n" +
                             (error != nullptr ? error : "");
    ShowRuntimeError(text.c_str(), true);
    return false;
  }
  return true;
}

int32_t Script_Count() { return g_scripts.scripts.Count(); }

bool Script_Exists(int32_t index) { return Script_Data(index) != nullptr; }

CScript* Script_Data(int32_t index) {
  if (index < 0 || index >= g_scripts.scripts.Count()) return nullptr;
  return g_scripts.scripts[index];
}

const char* Script_GetName(int32_t index) {
  if (Script_Data(index) == nullptr || g_scripts.names.Name(index) == nullptr) return "<undefined>";
  return g_scripts.names.Name(index);
}

// Only filled slots hold a name.
int32_t Script_FindByName(const char* name) { return g_scripts.names.FindFirst(name); }

CCode* Script_GetCode(int32_t index) {
  const CScript* script = Script_Data(index);
  return script != nullptr ? script->GetCode() : nullptr;
}

int32_t Script_Add(const char* name) {
  CScript* script = new CScript();
  const int32_t index = g_scripts.names.Add(name != nullptr ? name : "");
  script->m_name = g_scripts.names.Name(index);
  g_scripts.scripts.Push(script);
  VM_NoteScriptChange();
  return index;
}

bool Script_SetCode(int32_t index, CCode* code) {
  CScript* script = Script_Data(index);
  if (script == nullptr) return false;
  script->SetBorrowedCode(code);
  return true;
}

bool Script_Execute(int32_t index, CInstance* self, CInstance* other, int32_t count, ScriptValue* result,
                    const ScriptValue* arguments) {
  const CScript* script = Script_Data(index);
  if (script == nullptr) return false;
  CCode* code = script->GetCode();
  if (code == nullptr || (code->m_code != nullptr && code->m_code->m_size <= 0)) return true;

  // The caller's slots are moved aside whole and come back whole.
  ScriptValue saved[kArgumentSlotCount];
  std::memcpy(static_cast<void*>(saved), g_VM.argumentSlots, sizeof(saved));
  const int32_t savedCount = g_VM.argumentCount, savedUsed = g_VM.argumentsUsed;
  const int32_t taken = count < 0 ? 0 : (count > kArgumentSlotCount ? kArgumentSlotCount : count);
  for (int32_t i = 0; i < kArgumentSlotCount; ++i) {
    if (i < taken && arguments != nullptr) {
      CopyValue(VM_ArgumentSlotToWrite(i), &arguments[i]);
    } else {
      SetReal(VM_ArgumentSlotToWrite(i), 0.0);
    }
  }
  g_VM.argumentCount = taken;

  const bool ok = Code_Evaluate(self, other, code, result);
  if (!ok) {
    const char* error = Code_GetLastError();
    const std::string text = std::string("In script ") + Script_GetName(index) + ":\n" + (error != nullptr ? error : "");
    Code_SetLastError(text.c_str());
  }

  // Whatever the script left in any slot is released before the caller's slots come back.
  for (ScriptValue& slot : g_VM.argumentSlots) ReleaseValue(&slot);
  std::memcpy(static_cast<void*>(g_VM.argumentSlots), saved, sizeof(saved));
  g_VM.argumentCount = savedCount;
  g_VM.argumentsUsed = savedUsed;
  return ok;
}
