#include "script/Script_Class.h"

#include <cstdio>

#include "base/VCL.h"
#include "code/Code_Main.h"
#include "code/VM_State.h"
#include "platform/MemoryManager.h"
#include "runner/GameData_Code.h"
#include "support/BoundedReader.h"
#include "support/CStream.h"

namespace {
// The seed of the substitution that scrambles a stored text stream.
constexpr int32_t kTextStreamSeed = 60418;
}  // namespace

CScript::~CScript() {
  DropCode();
  CStream::Delete(m_textStream);
  MemoryManager::Free(m_text);
}

// Every change of a script's code starts here, so this is where call steps learn of it.
void CScript::DropCode() {
  if (m_ownsCode) delete m_code;
  m_code = nullptr;
  m_ownsCode = true;
  VM_NoteScriptChange();
}

void CScript::SetBorrowedCode(CCode* code) {
  DropCode();
  m_code = code;
  m_ownsCode = false;
}

bool CScript::Load(const BoundedReader& image, uint64_t entry) {
  CStream::Delete(m_textStream);
  m_textStream = nullptr;
  DropCode();
  MemoryManager::Free(m_text);
  m_text = nullptr;
  m_codeIndex = -1;

  BoundedReader r = image.At(entry, 8);
  uint32_t nameOffset = 0, second = 0;
  r.U32(&nameOffset);
  r.U32(&second);
  if (!r.Ok() || !image.TextAt(nameOffset, &m_name)) {
    DebugConsole->Output("Game data: a script entry at offset %llu lies outside the file\n",
                         static_cast<unsigned long long>(entry));
    return false;
  }
  if (CodeChunkPresent()) {
    if (second >= static_cast<uint32_t>(CodeEntryCount())) {
      DebugConsole->Output("Game data: script %s names code entry %u, which the code chunk does not hold\n",
                           m_name != nullptr ? m_name : "", second);
      return false;
    }
    m_codeIndex = static_cast<int32_t>(second);
    return true;
  }
  const char* text = nullptr;
  if (!image.TextAt(second, &text)) {
    DebugConsole->Output("Game data: the text of script %s lies outside the file\n", m_name != nullptr ? m_name : "");
    return false;
  }
  if (text != nullptr) m_text = MemoryManager::DuplicateText(text);
  return true;
}

bool CScript::Compile() {
  DropCode();
  if (CodeChunkPresent()) {
    m_code = CCode::CCodeFromIndex(m_codeIndex, false);
    return true;
  }
  m_code = new CCode(GetText(), false);
  char name[1024];
  std::snprintf(name, sizeof(name), "Script.%s", m_name != nullptr ? m_name : "");
  return m_code->Compile(name);
}

const char* CScript::GetText() {
  if (m_text != nullptr) return m_text;
  if (m_textStream == nullptr) {
    m_text = MemoryManager::DuplicateText("");
    return m_text;
  }
  CStream copy;
  copy.CopyFrom(m_textStream, 0, false);
  copy.SubstituteBytes(kTextStreamSeed, 0, 0);
  copy.SetPosition(0);
  copy.ReadString(&m_text);
  if (m_text == nullptr) m_text = MemoryManager::DuplicateText("");
  return m_text;
}
