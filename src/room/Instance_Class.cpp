#include "room/Instance_Class.h"

#include "object/Object_Class.h"
#include "variable/Variable_Main.h"

Hash<CInstance> InstanceIdMap(512, kHashDelete);

CInstance::CInstance(float x, float y, int32_t id, int32_t objectIndex, bool link) {
  SetObject(objectIndex, link);
  i_x = x;
  i_y = y;
  i_id = id;
  i_variables = new CVariableList();
}

CInstance::~CInstance() {
  if (i_object != nullptr) i_object->RemoveInstance(this);
  delete i_variables;
}

void CInstance::SetObject(int32_t objectIndex, bool link) {
  if (i_object != nullptr) i_object->RemoveInstance(this);
  i_objindex = objectIndex == -1 ? 0 : objectIndex;
  i_object = Object_Find(objectIndex);
  if (i_object == nullptr) return;
  if (link) i_object->AddInstance(this);
  i_bboxdirty = 1;
}

void ActiveList::Insert(CInstance* instance) {
  ++count;
  instance->i_sortdepth = instance->i_depth;
  if (first == nullptr) {
    first = last = instance;
    instance->i_next = instance->i_prev = nullptr;
    return;
  }
  // Instances of an equal sort depth are passed, so the new one goes after them.
  CInstance* at = first;
  while (at != nullptr && !(at->i_sortdepth > instance->i_depth)) at = at->i_next;
  if (at == nullptr) {
    instance->i_prev = last;
    instance->i_next = nullptr;
    last->i_next = instance;
    last = instance;
    return;
  }
  instance->i_next = at;
  instance->i_prev = at->i_prev;
  if (at->i_prev != nullptr) at->i_prev->i_next = instance; else first = instance;
  at->i_prev = instance;
}

void ActiveList::Append(CInstance* instance) {
  ++count;
  instance->i_next = nullptr;
  instance->i_prev = last;
  if (last != nullptr) last->i_next = instance; else first = instance;
  last = instance;
}

void ActiveList::Remove(CInstance* instance) {
  if (instance->i_prev != nullptr) instance->i_prev->i_next = instance->i_next; else first = instance->i_next;
  if (instance->i_next != nullptr) instance->i_next->i_prev = instance->i_prev; else last = instance->i_prev;
  --count;
}

CInstance* Instance_Find(int32_t id) {
  if (id < 0) return nullptr;
  return InstanceIdMap.Find(id);
}
