#include "object/Object_Class.h"

#include <cstring>

#include "base/ErrorSink.h"
#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"
#include "platform/NameTable.h"
#include "room/Event_Class.h"
#include "room/Event_State.h"

Hash<CObject> ObjectTable(512, kHashDelete);

namespace {

// The name of the record at each index (none for an index without a record or a name).
NameTable g_ObjectNames;

// Whether a comes before b in table order: buckets in index order, and within a bucket the order
// of insertion, which is rising index order (an index is entered once per table, each load in
// rising order, each added object above every index before it).
bool ComesFirstInTable(int32_t a, int32_t b) {
  const int32_t bucketA = ObjectTable.BucketOf(a);
  const int32_t bucketB = ObjectTable.BucketOf(b);
  return bucketA != bucketB ? bucketA < bucketB : a < b;
}

bool ValidEventArguments(int32_t kind, int32_t number) {
  if (kind >= 0 && kind < kEventKindCount && number >= 0) return true;
  ReportRuntimeError("Invalid event argument", true);
  return false;
}

// The own handler of (kind, number) when present; the caller has checked the arguments.
CEvent* OwnHandler(const CObject* object, int32_t kind, int32_t number) {
  const CObject::EventRow& row = object->m_Events[kind];
  if (number >= row.count) return nullptr;
  CEvent* event = row.events[number];
  return (event != nullptr && event->IsPresent()) ? event : nullptr;
}

// The handler of (kind, number) on `object` or its nearest ancestor. The parent links never
// form a loop (Object_LinkParents cuts them), and the walk is bounded besides.
CEvent* HandlerInChain(const CObject* object, int32_t kind, int32_t number, int32_t* foundIn = nullptr) {
  int64_t steps = static_cast<int64_t>(Object_Count()) + 1;
  for (const CObject* o = object; o != nullptr && steps > 0; o = o->GetParent(), --steps) {
    if (CEvent* event = OwnHandler(o, kind, number)) {
      if (foundIn != nullptr) *foundIn = o->m_Index;
      return event;
    }
  }
  return nullptr;
}


}  // namespace

CObject::CObject(int32_t index) : m_Index(index) {}

CObject::~CObject() {
  Clear();
  ClearInstanceLists();
}

void CObject::Clear() {
  for (EventRow& row : m_Events) {
    for (int32_t n = 0; n < row.count; ++n) delete row.events[n];
    MemoryManager::Free(row.events);
    row = EventRow();
  }
  MemoryManager::Free(m_Name);
  m_Name = nullptr;
  m_Flags = kObjectVisible;
  m_SpriteIndex = -1;
  m_Depth = 0;
  m_ParentIndex = -1;
  m_MaskIndex = -1;
  m_PhysicsEnabled = m_PhysicsSensor = m_PhysicsAwake = m_PhysicsKinematic = false;
  m_PhysicsShape = m_PhysicsGroup = 0;
  m_PhysicsDensity = m_PhysicsRestitution = m_PhysicsLinearDamping = m_PhysicsAngularDamping = 0;
  m_PhysicsFriction = 0;
  m_PhysicsPoints.clear();
  m_Parent = nullptr;
}

void CObject::SetName(const char* name) {
  TakeName(name != nullptr && name[0] != '\0' ? MemoryManager::DuplicateText(name) : nullptr);
}

void CObject::TakeName(char* name) {
  MemoryManager::Free(m_Name);
  m_Name = name;
  if (ObjectTable.Find(m_Index) == this) g_ObjectNames.Set(m_Index, m_Name);
}

CEvent* CObject::GetEvent(int32_t kind, int32_t number) const {
  if (!ValidEventArguments(kind, number)) return nullptr;
  return OwnHandler(this, kind, number);
}

CEvent* CObject::FindHandler(int32_t kind, int32_t number, int32_t* foundIn) const {
  if (!ValidEventArguments(kind, number)) return nullptr;
  if (CEvent* event = HandlerInChain(this, kind, number, foundIn)) return event;
  if (kind != EVENT_COLLISION) return nullptr;
  const CObject* other = Object_Find(number);
  if (other == nullptr) return nullptr;
  // A handler for an ancestor of the other object: the nearest ancestor first.
  int64_t steps = static_cast<int64_t>(Object_Count()) + 1;
  for (const CObject* a = other->GetParent(); a != nullptr && steps > 0; a = a->GetParent(), --steps) {
    if (CEvent* event = HandlerInChain(this, kind, a->m_Index, foundIn)) return event;
  }
  return nullptr;
}

bool CObject::HasEvent(int32_t kind, int32_t number) const {
  if (kind < 0 || kind >= kEventKindCount || number < 0) return false;
  return HandlerInChain(this, kind, number) != nullptr;
}

bool CObject::HasAncestor(int32_t index) const {
  int64_t steps = static_cast<int64_t>(Object_Count()) + 1;
  for (const CObject* a = GetParent(); a != nullptr && steps > 0; a = a->GetParent(), --steps) {
    if (a->m_Index == index) return true;
  }
  return false;
}

CEvent*& CObject::EventSlot(int32_t kind, int32_t number) {
  EventRow& row = m_Events[kind];
  if (number >= row.count) {
    // Exactly to the slot asked for (a step of one); the new slots are null.
    const int32_t count = row.count;
    Grow_Reserve(row.events, row.count, static_cast<int64_t>(number) + 1, 1);
    std::memset(static_cast<void*>(row.events + count), 0, sizeof(CEvent*) * static_cast<size_t>(row.count - count));
  }
  return row.events[number];
}

int32_t CObject::EventCount(int32_t kind) const {
  return (kind >= 0 && kind < kEventKindCount) ? m_Events[kind].count : 0;
}

void CObject::AddInstance(CInstance* instance) {
  m_Instances.Add(instance);
  Object_ForSelfAndAncestors(this, [instance](CObject* o) { o->m_InstancesRecursive.Add(instance); });
}

void CObject::RemoveInstance(CInstance* instance) {
  m_Instances.Remove(instance);
  Object_ForSelfAndAncestors(this, [instance](CObject* o) { o->m_InstancesRecursive.Remove(instance); });
}

void CObject::ClearInstanceLists() {
  m_Instances.Clear();
  m_InstancesRecursive.Clear();
}

bool CObject::Compile() {
  for (int32_t kind = 0; kind < kEventKindCount; ++kind) {
    for (int32_t number = 0; number < m_Events[kind].count; ++number) {
      CEvent* event = m_Events[kind].events[number];
      if (event == nullptr) continue;
      Event_SetType(kind);
      Event_SetNumber(number);
      if (!event->Compile()) return false;
    }
  }
  return true;
}

// ---- The table ----

CObject* Object_Find(int32_t index) { return ObjectTable.Find(index); }

bool Object_Exists(int32_t index) { return Object_Find(index) != nullptr; }

const char* Object_GetName(int32_t index) {
  const CObject* object = Object_Find(index);
  return (object != nullptr && object->m_Name != nullptr) ? object->m_Name : "<undefined>";
}

int32_t Object_FindByName(const char* name) {
  int32_t found = -1;
  g_ObjectNames.ForEachMatch(name, NameCase::kExact, [&found](int32_t index) {
    if (found < 0 || ComesFirstInTable(index, found)) found = index;
  });
  return found;
}

void Object_TableInsert(int32_t index, CObject* object) {
  ObjectTable.Insert(index, object);
  g_ObjectNames.Set(index, object->m_Name);
}

void Object_TableRemove(int32_t index) {
  ObjectTable.Remove(index, kHashDelete);
  g_ObjectNames.Set(index, nullptr);
}

void Object_TableClear() {
  ObjectTable.Clear(kHashDelete);
  g_ObjectNames.FreeAll();
}