#include "code/Code_Main.h"

#include <cstring>
#include <utility>

#include "code/Code_CodeGen.h"
#include "code/Code_Compile.h"
#include "code/Code_Constant.h"
#include "code/Code_Error.h"
#include "code/Code_Exec.h"
#include "code/VM_Decoded.h"
#include "code/Code_Tree.h"
#include "code/Code_TreeExec.h"
#include "code/VM_State.h"
#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"
#include "runner/GameData_Code.h"
#include "variable/Variable_Names.h"

namespace {

// The game code table.
// The code entries' state: the bytecode generator, the data-code list (entries made from a code
// index, linked through m_next) and the game code table. Code_Reset assigns a fresh record.
struct CodeState {
  CodeGeneratorHook generator = &CodeGen_GenerateForEntry;
  CCode* dataCodeList = nullptr;
  int32_t dataCodeCount = 0;
  GrowArray<CCode*> table;
};
CodeState g_code;

bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

void UnlinkFromDataCodeList(CCode* code) {
  for (CCode** link = &g_code.dataCodeList; *link != nullptr; link = &(*link)->m_next) {
    if (*link == code) {
      *link = code->m_next;
      code->m_next = nullptr;
      --g_code.dataCodeCount;
      return;
    }
  }
}

}  // namespace

VMBuffer::~VMBuffer() {
  VMFreeDecoded(m_decoded);
  VM_NoteScriptChange();
  if (m_owned) MemoryManager::Free(const_cast<uint32_t*>(m_data));
}

CCode::CCode(const char* text, bool isExpression)
    : m_kind(isExpression ? CODE_EXPRESSION : CODE_PROGRAM), m_source(text), m_madeFromText(true) {}

CCode* CCode::CCodeFromIndex(int32_t codeIndex, bool isExpression) {
  CCode* code = new CCode();
  code->m_madeFromText = false;
  code->m_codeIndex = codeIndex;
  if (const GameCodeEntry* entry = GameData_GetCodeEntry(codeIndex)) {
    const int32_t length = entry->lengthBytes > 0 ? entry->lengthBytes : 0;
    code->m_code = new VMBuffer(entry->words, length, false);
    code->m_name = const_cast<char*>(entry->name);
    code->m_source = GameData_DebugSource(codeIndex);
    const uint32_t* words = nullptr;
    int32_t size = 0;
    if (GameData_DebugLineInfo(codeIndex, &words, &size)) code->m_lineInfo = new VMBuffer(words, size, false);
  } else {
    code->m_source = "";
  }
  code->m_sourceCopy = code->m_source;
  code->m_compiled = true;
  code->m_kind = isExpression ? CODE_EXPRESSION : CODE_PROGRAM;
  if (codeIndex >= 0) {
    code->m_next = g_code.dataCodeList;
    g_code.dataCodeList = code;
    ++g_code.dataCodeCount;
  }
  return code;
}

CCode* CCode::FromNative(CodeNativeFunction function, const char* name) {
  CCode* code = new CCode();
  code->m_madeFromText = true;  // so the name copy below is the entry's own
  code->m_source = "";
  code->m_sourceCopy = code->m_source;
  code->m_compiled = true;
  code->m_name = MemoryManager::DuplicateText(name != nullptr ? name : "");
  code->m_native = std::move(function);
  return code;
}

CCode::~CCode() {
  if (!m_madeFromText && m_codeIndex >= 0) UnlinkFromDataCodeList(this);
  // A folded constant shares its payload with the tree's root, which frees it.
  const bool constantShared = m_kind == CODE_CONSTANT && m_tree != nullptr;
  if (!constantShared) ReleaseValue(&m_constant);
  CodeNode_Delete(m_tree);
  m_tree = nullptr;
  // The views of an entry made from a code index do not own their words; those of generated
  // code do. Either way the view objects are this entry's.
  delete m_code;
  delete m_lineInfo;
  VM_NoteScriptChange();
  if (m_madeFromText) {
    if (m_sourceCopy != m_source) MemoryManager::Free(const_cast<char*>(m_sourceCopy));
    MemoryManager::Free(m_name);
  }
}

bool CCode::Compile(const char* name) {
  // An entry made from a code index came compiled and keeps the game data's name.
  if (m_madeFromText) {
    const char* given = name ? name : "";
    const size_t length = std::strlen(given);
    if (static_cast<size_t>(MemoryManager::GetSize(m_name)) < length + 1) {
      MemoryManager::Free(m_name);
      m_name = static_cast<char*>(
          MemoryManager::Alloc(static_cast<uint32_t>(length + 1), __FILE__, __LINE__, false));
    }
    for (size_t i = 0; i <= length; ++i) m_name[i] = IsWhiteSpace(given[i]) ? '_' : given[i];
  }

  Code_ClearErrorFlag();  // a compilation starts
  if (m_compiled) {
    Code_SetError(this, 0, "Internal Error: Recompiling compiled code.");
    return false;
  }
  // The failing phase recorded the error. An expression that folded to one constant comes back
  // as CODE_CONSTANT, sharing the root's payload.
  if (!Compiler_CompileTree(this)) return false;
  m_compiled = true;

  if (g_VM.UseVM) {
    if (m_sourceCopy != m_source) MemoryManager::Free(const_cast<char*>(m_sourceCopy));
    m_sourceCopy = MemoryManager::DuplicateText(m_source ? m_source : "");
    if (m_kind != CODE_CONSTANT && g_code.generator != nullptr) {
      delete m_code;
      delete m_lineInfo;
      m_code = nullptr;
      m_lineInfo = nullptr;
      g_code.generator(this, &m_code, &m_lineInfo);
      if (m_code != nullptr && m_code->m_size == 0) {
        delete m_code;
        m_code = nullptr;
      }
      VM_NoteScriptChange();
    }
  }
  return true;
}

void Code_SetGeneratorHook(CodeGeneratorHook hook) { g_code.generator = hook; }

CCode* Code_DataCodeList() { return g_code.dataCodeList; }

int32_t Code_DataCodeCount() { return g_code.dataCodeCount; }

int32_t Code_Add(int32_t dataReference, bool isExpression) {
  CCode* code = nullptr;
  if (CodeChunkPresent()) {
    if (dataReference != -1) code = CCode::CCodeFromIndex(dataReference, isExpression);
  } else if (dataReference == 0) {
    code = new CCode("", isExpression);
  } else {
    // An offset that names no text inside the image gives an entry with no text.
    const char* text = GameData_TextAt(dataReference);
    code = new CCode(text ? text : "", isExpression);
  }

  // The first growth makes room for every entry of the code chunk; then the table doubles.
  if (g_code.table.Count() >= Grow_MaxCount(sizeof(CCode*))) {  // the table cannot grow any further
    delete code;
    return -1;
  }
  if (g_code.table.Capacity() == 0) g_code.table.Reserve(CodeEntryCount());
  g_code.table.Push(code);
  return g_code.table.Count() - 1;
}

CCode* Code_Get(int32_t index) {
  if (index < 0 || index >= g_code.table.Count()) return nullptr;
  return g_code.table[index];
}

int32_t Code_Count() { return g_code.table.Count(); }

void Code_FreeAll() {
  for (int32_t i = 0; i < g_code.table.Count(); ++i) delete g_code.table[i];
  g_code.table.Free();
}

void Code_Reset() {
  Code_FreeAll();
  g_code = CodeState{};
  Code_SetTreeInterpreter(TreeRunProgram, TreeRunExpression);
  FreeConstants();
  Compiler_FreeScratch();
  FreeUserVariables();
}
