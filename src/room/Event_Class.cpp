#include "room/Event_Class.h"

#include <cstdio>

#include "base/VCL.h"
#include "code/Code_Error.h"
#include "code/Code_Main.h"
#include "object/Object_Class.h"
#include "room/Event_Names.h"
#include "room/Event_State.h"
#include "room/Instance_Variables.h"
#include "runner/GameData_Code.h"
#include "support/BoundedReader.h"

namespace {

// Where an event entry and its action record keep what the handler needs.
constexpr uint64_t kEntryActionWord = 2;
constexpr uint64_t kActionCodeIndexWord = 8;
constexpr uint64_t kActionTextWord = 15;
constexpr uint64_t kActionRecordSize = 16 * 4;

}  // namespace

CEvent::~CEvent() { delete m_code; }

bool CEvent::LoadFromData(const BoundedReader& image, uint64_t entry) {
  delete m_code;
  m_code = nullptr;
  m_text = nullptr;
  BoundedReader record = image.At(entry, (kEntryActionWord + 1) * 4);
  uint32_t action = 0;
  if (!record.ReadAt(kEntryActionWord * 4, &action)) {
    DebugConsole->Output("Game data: an event entry at offset %llu lies outside the file\n",
                         static_cast<unsigned long long>(entry));
    return false;
  }
  if (action == 0) return true;
  BoundedReader actionRecord = image.At(action, kActionRecordSize);
  if (!actionRecord.Ok()) {
    DebugConsole->Output("Game data: the action record at offset %u lies outside the file\n", action);
    return false;
  }
  if (CodeChunkPresent()) {
    int32_t codeIndex = 0;
    actionRecord.ReadAt(kActionCodeIndexWord * 4, &codeIndex);
    if (codeIndex < 0 || codeIndex >= CodeEntryCount()) {
      DebugConsole->Output("Game data: an action names code entry %d, which the code chunk does not hold\n",
                           codeIndex);
      return false;
    }
    m_text = "";
    m_code = CCode::CCodeFromIndex(codeIndex, false);
    return true;
  }
  uint32_t textOffset = 0;
  actionRecord.ReadAt(kActionTextWord * 4, &textOffset);
  const char* text = nullptr;
  if (!image.TextAt(textOffset, &text)) {
    DebugConsole->Output("Game data: the code text of the action at offset %u lies outside the file\n", action);
    return false;
  }
  m_text = text;
  m_code = new CCode(text != nullptr ? text : "", false);
  return true;
}

bool CEvent::Compile() {
  if (CodeChunkPresent() || m_code == nullptr) return true;
  char name[1024];
  // The event name is formatted into a shared buffer, so take it before the object's name.
  const char* eventName = GetEventName(Event_GetType(), Event_GetNumber());
  std::snprintf(name, sizeof(name), "Object.%s.%s.%d", Object_GetName(Event_GetObject()), eventName,
                Event_GetAction());
  if (m_code->Compile(name)) return true;
  char message[2048];
  const char* error = Code_GetLastError();
  std::snprintf(message, sizeof(message), "COMPILATION ERROR in code action\n%s", error != nullptr ? error : "");
  ReportRuntimeError(message, true);
  return false;
}

void CEvent::Execute(CInstance* self, CInstance* other) {
  const bool relative = ActionRelative;
  ActionRelative = false;
  ScriptValue result{};
  Code_ExecuteAndReport(self, other, m_code, &result);
  ReleaseValue(&result);
  ActionRelative = relative;
}
