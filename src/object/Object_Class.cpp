#include "object/Object_Class.h"

#include <cstring>

cARRAY_CLASS<CObject> ObjectTable;

namespace {

// Runs `visit` on the object and each of its ancestors, nearest first. The parent links come from
// the game data and may loop: the walk ends when it comes back to the first object and in any case
// after as many steps as there are objects. Adding and removing walk alike, so they stay paired.
template <typename Visit>
void ForSelfAndAncestors(CObject* object, Visit visit) {
  int64_t steps = ObjectTable.GetLength();
  for (CObject* o = object; o != nullptr && steps > 0; o = o->GetParent(), --steps) {
    visit(o);
    if (o->GetParent() == object) break;
  }
}

}  // namespace

CObject::CObject(int32_t index, int32_t parentIndex) : m_Index(index), m_ParentIndex(parentIndex) {}

CObject* CObject::GetParent() const {
  CObject* parent = Object_Find(m_ParentIndex);
  return parent == this ? nullptr : parent;
}

void CObject::AddInstance(CInstance* instance) {
  m_Instances.Add(instance);
  ForSelfAndAncestors(this, [instance](CObject* o) { o->m_InstancesRecursive.Add(instance); });
}

void CObject::RemoveInstance(CInstance* instance) {
  m_Instances.Remove(instance);
  ForSelfAndAncestors(this, [instance](CObject* o) { o->m_InstancesRecursive.Remove(instance); });
}

CObject* Object_Find(int32_t index) { return ObjectTable.Get(index); }

const char* Object_GetName(int32_t index) {
  const CObject* object = Object_Find(index);
  return (object != nullptr && object->m_Name != nullptr) ? object->m_Name : "<undefined>";
}

int32_t Object_Add(int32_t parentIndex) {
  const int32_t index = ObjectTable.GetLength();
  ObjectTable.SetLength(index + 1);
  ObjectTable[index] = new CObject(index, parentIndex);
  return index;
}

void Object_FreeAll() { ObjectTable.SetLength(0); }

int32_t Object_FindByName(const char* name) {
  if (name == nullptr) return -1;
  const int32_t count = ObjectTable.GetLength();
  for (int32_t i = 0; i < count; ++i) {
    const CObject* object = Object_Find(i);
    if (object != nullptr && object->m_Name != nullptr && std::strcmp(object->m_Name, name) == 0) return i;
  }
  return -1;
}
