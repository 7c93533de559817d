#include "variable/Variable_Main.h"

#include <cmath>
#include <cstring>

#include "base/VCL.h"
#include "buffer/IBuffer.h"
#include "base/ErrorSink.h"
#include "option/Option_Main.h"
#include "platform/MemoryManager.h"
#include "platform/NameTable.h"
#include "platform/Numeric.h"
#include "room/Instance_Select.h"
#include "variable/ValueWalk.h"

VariableState g_Variables;

static_assert(kTargetAll == kSelectAll, "one number names every instance");

namespace {

// The fewest bytes one saved list entry takes: a one-byte name (its terminator) and a value's
// four-byte kind word.
constexpr int64_t kMinSavedEntryBytes = 5;

int32_t BucketOf(int32_t id) { return static_cast<int32_t>(static_cast<uint32_t>(id) & 63u); }

// The entry of a built-in variable id, or null for an id outside the registered table.
const BuiltinVariableEntry* BuiltinEntry(int32_t id) {
  if (id < 0 || id >= g_Variables.builtinCount) return nullptr;
  return &g_Variables.builtins[id];
}

// ---- Buffer reads that trust nothing ----

// Bytes a read may still take from the position (a wrap buffer reads round: its whole size).
int64_t BytesLeft(const IBuffer* buffer) {
  const int64_t size = buffer->m_Size;
  if (buffer->m_Type == BUFFER_WRAP) return size;
  const int64_t position = buffer->m_Position > 0 ? buffer->m_Position : 0;
  return size > position ? size - position : 0;
}

// Whether a `size`-byte element still fits once the position is rounded up to the alignment.
bool Fits(const IBuffer* buffer, int64_t size) {
  if (buffer->m_Type == BUFFER_WRAP) return buffer->m_Size >= size;
  const int64_t alignment = buffer->m_Alignment > 1 ? buffer->m_Alignment : 1;
  const int64_t position = buffer->m_Position > 0 ? buffer->m_Position : 0;
  const int64_t aligned = (position + alignment - 1) / alignment * alignment;
  return aligned + size <= static_cast<int64_t>(buffer->m_Size);
}

// A plain read past the end answers -3, which would pass for a number: test first.
bool ReadS32(IBuffer* buffer, int32_t* out) {
  if (!Fits(buffer, 4)) return false;
  ScriptValue got{};
  if (buffer->Read(BUFFER_S32, &got) != 0 || got.Kind() != VALUE_REAL) {
    ReleaseValue(&got);
    return false;
  }
  *out = num::TruncInt32(got.real);
  return true;
}

bool WriteS32(IBuffer* buffer, int32_t number) {
  const double payload = number;
  return buffer->Write(BUFFER_S32, &payload) == 0;
}

CVariableList* GlobalList() {
  if (g_Variables.globals == nullptr) g_Variables.globals = new CVariableList();
  return g_Variables.globals;
}

}  // namespace

// ---- Built-in variables ----

void RegisterBuiltinVariable(const char* name, BuiltinVariableGetter getter, BuiltinVariableSetter setter) {
  if (g_Variables.builtinCount >= kMaxBuiltinVariables) {
    ShowMessage("INTERNAL ERROR: Adding too many variables");
    return;
  }
  BuiltinVariableEntry& entry = g_Variables.builtins[g_Variables.builtinCount++];
  entry.name = g_Variables.builtinNames.Name(g_Variables.builtinNames.Add(name ? name : ""));
  entry.getter = getter;
  entry.setter = setter;
  entry.canSet = setter != nullptr ? 1 : 0;
}

int32_t FindBuiltinVariable(const char* name) { return g_Variables.builtinNames.FindFirst(name); }

const char* BuiltinVariableName(int32_t index) {
  const BuiltinVariableEntry* entry = BuiltinEntry(index);
  if (entry == nullptr || entry->name == nullptr) return "<unknown built-in variable>";
  return entry->name;
}

void ClearBuiltinVariables() {
  for (int32_t i = 0; i < kMaxBuiltinVariables; ++i) g_Variables.builtins[i] = BuiltinVariableEntry{};
  g_Variables.builtinCount = 0;
  g_Variables.builtinNames.FreeAll();
}

// ---- Nodes ----

VariableNode* AllocVariableNode(int32_t id) {
  VariableNode* node = g_Variables.freeNodes;
  if (node != nullptr) {
    g_Variables.freeNodes = node->chainNext;
    --g_Variables.freeNodeCount;
    *node = VariableNode{};
  } else {
    node = static_cast<VariableNode*>(MemoryManager::Alloc(sizeof(VariableNode), __FILE__, __LINE__, true));
  }
  node->id = id;
  return node;
}

void FreeVariableNode(VariableNode* node) {
  if (node == nullptr) return;
  ReleaseValue(&node->value);
  node->bucketNext = nullptr;
  node->chainNext = g_Variables.freeNodes;
  g_Variables.freeNodes = node;
  ++g_Variables.freeNodeCount;
}

int32_t VariableNodeFreeCount() { return g_Variables.freeNodeCount; }

// ---- CVariableList ----

CVariableList::CVariableList() : m_Buckets{}, m_LastAdded(nullptr), m_Count(0), m_Epoch(++g_Variables.listEpochs) {}

CVariableList::~CVariableList() { Clear(); }

void CVariableList::Clear() {
  // Every node is on the chain, so emptying the buckets of the chain's nodes empties them all
  // (an empty list has nothing to do).
  for (VariableNode* node = m_LastAdded; node != nullptr;) {
    VariableNode* older = node->chainNext;
    m_Buckets[BucketOf(node->id)] = nullptr;
    FreeVariableNode(node);
    node = older;
  }
  m_LastAdded = nullptr;
  m_Count = 0;
  m_Epoch = ++g_Variables.listEpochs;
}

VariableNode* CVariableList::Find(int32_t id) const {
  for (VariableNode* node = m_Buckets[BucketOf(id)]; node != nullptr; node = node->bucketNext) {
    if (node->id == id) return node;
  }
  return nullptr;
}

void CVariableList::Link(VariableNode* node) {
  VariableNode*& head = m_Buckets[BucketOf(node->id)];
  node->bucketNext = head;
  head = node;
  node->chainNext = m_LastAdded;
  m_LastAdded = node;
  ++m_Count;
}

bool CVariableList::Exists(int32_t id) const { return Find(id) != nullptr; }

bool CVariableList::Get(int32_t id, int32_t arrayIndex, ScriptValue* out) {
  g_Variables.arrayIndexError.flag = 0;
  g_Variables.instanceMissing = 0;
  const VariableNode* node = Find(id);
  if (node != nullptr) return GetValueElement(out, &node->value, arrayIndex);
  ReleaseValue(out);
  if (g_Options.uninitialisedVariables) {
    SetReal(out, kUninitialisedValue);
    return false;
  }
  SetReal(out, 0.0);
  return true;
}

bool CVariableList::Set(int32_t id, int32_t arrayIndex, const ScriptValue* value) {
  g_Variables.arrayIndexError.flag = 0;
  VariableNode* node = FindOrAdd(id);
  SetValueElement(&node->value, value, arrayIndex);
  return g_Variables.arrayIndexError.flag == 0;
}

VariableNode* CVariableList::FindOrAdd(int32_t id) {
  VariableNode* node = Find(id);
  if (node != nullptr) return node;
  node = AllocVariableNode(id);
  Link(node);
  return node;
}

void CVariableList::CopyFrom(const CVariableList* other) {
  if (other == this) return;
  Clear();
  if (other == nullptr) return;
  // The ids of the other list are distinct already, so no search is needed.
  for (const VariableNode* head : other->m_Buckets) {
    for (const VariableNode* from = head; from != nullptr; from = from->bucketNext) {
      VariableNode* node = AllocVariableNode(from->id);
      DuplicateValue(&node->value, &from->value);
      Link(node);
    }
  }
}

bool CVariableList::Save(IBuffer* buffer) const {
  if (!WriteS32(buffer, m_Count)) return false;
  for (const VariableNode* head : m_Buckets) {
    for (const VariableNode* node = head; node != nullptr; node = node->bucketNext) {
      if (buffer->WriteString(VariableName(node->id)) != 0) return false;
      if (!WriteValueToBuffer(&node->value, buffer)) return false;
    }
  }
  return true;
}

bool CVariableList::Load(IBuffer* buffer) {
  Clear();
  int32_t count;
  if (!ReadS32(buffer, &count)) return false;
  if (count <= 0) return true;
  // A count the rest of the buffer cannot hold is corrupt: nothing is allocated for it.
  if (static_cast<int64_t>(count) * kMinSavedEntryBytes > BytesLeft(buffer)) return false;

  for (int32_t i = 0; i < count; ++i) {
    if (BytesLeft(buffer) < kMinSavedEntryBytes) return false;
    char* name = buffer->ReadString();
    const int32_t id = FindUserVariable(name);
    bool read;
    if (id < 0) {
      // A variable the running game no longer has: its value is read and dropped so that the
      // next entry is read from the right place.
      DebugConsole->Output("WARNING: Load game failed to find variable \"%s\"\n", name != nullptr ? name : "");
      ScriptValue scratch{};
      read = ReadValueFromBuffer(&scratch, buffer);
      ReleaseValue(&scratch);
    } else if (VariableNode* existing = Find(id)) {
      // The same name twice: the later value replaces the earlier one.
      ReleaseValue(&existing->value);
      read = ReadValueFromBuffer(&existing->value, buffer);
    } else {
      // Read in place: an array's owner is the address of the value that holds it.
      VariableNode* node = AllocVariableNode(id);
      read = ReadValueFromBuffer(&node->value, buffer);
      if (read) Link(node); else FreeVariableNode(node);
    }
    MemoryManager::Free(name);
    if (!read) return false;
  }
  return true;
}

void CVariableList::Dump(tagIConsole* console) const {
  for (const VariableNode* head : m_Buckets) {
    for (const VariableNode* node = head; node != nullptr; node = node->bucketNext) {
      console->Output("%s(%d) = ", VariableName(node->id), node->id);
      PrintValue(console, &node->value);
      console->Output("\n");
    }
  }
}

// ---- Printing ----

namespace {

// `depth` counts the arrays around the value; `repeat` tells whether one of them was printed
// before in this walk.
void PrintValueAt(tagIConsole* console, const ScriptValue* value, int depth, ValueWalk* walk, bool repeat) {
  constexpr int32_t kPrintLimit = 30;  // rows, and elements per row
  if (repeat) walk->Charge(value);
  switch (value->Kind()) {
    case VALUE_REAL: {
      const double real = value->real;
      // NaN fails every comparison and so prints through "%f".
      if (real >= -2147483648.0 && real <= 2147483647.0 && std::trunc(real) == real) {
        console->Output("%d", num::TruncInt32(real));
      } else {
        console->Output("%f", real);
      }
      break;
    }
    case VALUE_STRING:
      console->Output("\"%s\"", value->str != nullptr ? value->str : "");
      break;
    case VALUE_ARRAY: {
      const ValueArray* array = value->arr;
      if (depth >= kMaxValueNesting || !walk->Enter(array, &repeat)) {
        console->Output("{ ... }");
        break;
      }
      console->Output("{ ");
      if (array != nullptr) {
        const int32_t rows = array->rowCount < kPrintLimit ? array->rowCount : kPrintLimit;
        for (int32_t r = 0; r < rows; ++r) {
          const ValueRow& row = array->rows[r];
          const int32_t columns = row.length < kPrintLimit ? row.length : kPrintLimit;
          console->Output("{ ");
          for (int32_t c = 0; c < columns; ++c) {
            if (c > 0) console->Output(" ,");
            PrintValueAt(console, &row.elements[c], depth + 1, walk, repeat);
          }
          if (row.length > kPrintLimit) console->Output(" ... ");
          console->Output("},  ");
        }
        if (array->rowCount > kPrintLimit) console->Output(" ... ");
      }
      console->Output(" }");
      break;
    }
    case VALUE_INT64:
      console->Output("%lld", static_cast<long long>(value->i64));
      break;
    case VALUE_INT32:
      console->Output("%d", value->i32);
      break;
    case VALUE_UNDEFINED:
      console->Output("undefined");
      break;
    case VALUE_PTR:
      console->Output("%p", value->ptr);
      break;
    default:
      break;
  }
}

}  // namespace

void PrintValue(tagIConsole* console, const ScriptValue* value) {
  ValueWalk walk;
  PrintValueAt(console, value, 0, &walk, false);
}

// ---- Access ----

bool GetInstanceVariable(CInstance* instance, int32_t id, int32_t arrayIndex, ScriptValue* out) {
  if (id < kBuiltinVariableIdLimit) {
    // Only registered entries with a getter are called; any other id is refused.
    const BuiltinVariableEntry* entry = BuiltinEntry(id);
    if (entry == nullptr || entry->getter == nullptr) return false;
    return entry->getter(instance, arrayIndex, out);
  }
  if (instance == nullptr || instance->i_variables == nullptr) return false;
  return instance->i_variables->Get(id, arrayIndex, out);
}

bool SetInstanceVariable(CInstance* instance, int32_t id, int32_t arrayIndex, const ScriptValue* value) {
  if (id < kBuiltinVariableIdLimit) {
    const BuiltinVariableEntry* entry = BuiltinEntry(id);
    if (entry == nullptr || entry->canSet != 1 || entry->setter == nullptr) return false;
    return entry->setter(instance, arrayIndex, value);
  }
  if (instance == nullptr || instance->i_variables == nullptr) return false;
  instance->i_variables->Set(id, arrayIndex, value);
  return true;
}

bool GetGlobalVariable(int32_t id, int32_t arrayIndex, ScriptValue* out) {
  return GlobalList()->Get(id, arrayIndex, out);
}

bool SetGlobalVariable(int32_t id, int32_t arrayIndex, const ScriptValue* value) {
  return GlobalList()->Set(id, arrayIndex, value);
}

bool GetVariable(int32_t target, int32_t id, int32_t arrayIndex, ScriptValue* out) {
  g_Variables.instanceMissing = 0;
  CInstance* found = Instance_SelectForRead(target);
  if (found == nullptr) {
    g_Variables.instanceMissing = 1;
    return false;
  }
  return GetInstanceVariable(found, id, arrayIndex, out);
}

bool SetVariable(int32_t target, int32_t id, int32_t arrayIndex, const ScriptValue* value) {
  bool result = false;
  bool reached = false;
  // Self, other, global and the rest are resolved by the caller.
  if (target < 0 && target != kTargetAll) return false;
  // Instances that changed object this step are not in their new object's lists yet: the relink
  // queue is searched too.
  Instance_SelectForWrite(target, [&](CInstance* instance) {
    result = SetInstanceVariable(instance, id, arrayIndex, value);
    reached = true;
    return true;
  });
  if (!reached) FatalError("Unable to find any instance for object index '%d'", target);
  return result;
}

// ---- Global variables ----

bool IsGlobalDeclared(int32_t id) {
  const int64_t position = static_cast<int64_t>(id) - kUserVariableBase;
  if (position < 0 || position >= g_Variables.declaredGlobals.GetLength()) return false;
  return g_Variables.declaredGlobals[static_cast<int32_t>(position)] != 0;
}

VariableNode* DeclareGlobalVariable(int32_t id) {
  const int64_t position = static_cast<int64_t>(id) - kUserVariableBase;
  if (position < 0) return nullptr;
  const int64_t length = g_Variables.declaredGlobals.GetLength();
  if (position >= length) {
    // Whole steps of 1,000 entries, as many as it takes to cover the position. The position is
    // at most INT32_MAX - 100,000, so the new length stays within an int32.
    const int64_t steps = (position + 1 - length + kDeclaredGlobalsStep - 1) / kDeclaredGlobalsStep;
    g_Variables.declaredGlobals.SetLength(static_cast<int32_t>(length + steps * kDeclaredGlobalsStep));
  }
  g_Variables.declaredGlobals[static_cast<int32_t>(position)] = 1;
  return GlobalList()->FindOrAdd(id);
}

void InitGlobalVariables() {
  delete g_Variables.globals;
  g_Variables.globals = new CVariableList();
  g_Variables.declaredGlobals.SetLength(0);
  g_Variables.declaredGlobals.SetLength(kDeclaredGlobalsInitial);
}

bool SaveGlobalVariables(IBuffer* buffer) {
  if (!GlobalList()->Save(buffer)) return false;
  const int32_t length = g_Variables.declaredGlobals.GetLength();
  if (!WriteS32(buffer, length)) return false;
  for (int32_t i = 0; i < length; ++i) {
    if (!WriteS32(buffer, g_Variables.declaredGlobals[i] != 0 ? 1 : 0)) return false;
  }
  return true;
}

bool LoadGlobalVariables(IBuffer* buffer) {
  if (!GlobalList()->Load(buffer)) return false;
  int32_t length;
  if (!ReadS32(buffer, &length)) return false;
  if (length < 0) length = 0;
  // A length the rest of the buffer cannot hold is corrupt: the table is left as it was.
  if (static_cast<int64_t>(length) * 4 > BytesLeft(buffer)) return false;
  g_Variables.declaredGlobals.SetLength(length);
  for (int32_t i = 0; i < length; ++i) {
    int32_t word;
    if (!ReadS32(buffer, &word)) return false;
    g_Variables.declaredGlobals[i] = word != 0 ? 1 : 0;
  }
  return true;
}

void FreeVariables() {
  ClearBuiltinVariables();
  delete g_Variables.globals;
  g_Variables.globals = nullptr;
  g_Variables.declaredGlobals.SetLength(0);
}

void Variable_Reset() {
  FreeVariables();
  while (VariableNode* node = g_Variables.freeNodes) {
    g_Variables.freeNodes = node->chainNext;
    MemoryManager::Free(node);
  }
  // The list epochs go on from where they were: lists of before the reset may still be compared.
  const uint64_t epochs = g_Variables.listEpochs;
  g_Variables = VariableState{};
  g_Variables.listEpochs = epochs;
}
