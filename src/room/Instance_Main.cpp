// The instances of the world: the id map, the creation counter, the pending-change queues, the
// current drawing instance, and the one function through which an instance leaves them all.
#include <algorithm>

#include "object/Object_Class.h"
#include "room/Instance_Class.h"

namespace {

// What is reset by assignment; the id map beside it is emptied in place.
struct InstanceBook {
  int64_t creationCounter = 0;
  InstanceQueue relink;
  InstanceQueue depthChange;
  InstanceQueue activationChange;
  CInstance* drawing = nullptr;
};

struct InstanceWorld {
  Hash<CInstance> idMap{512, kHashKeep};  // entries never own their instances
  InstanceBook book;
};
InstanceWorld g_instances;

// Drops every entry of the id's chain that holds this instance.
void ForgetInMap(CInstance* instance) {
  Hash<CInstance>::Bucket& bucket = g_instances.idMap.Buckets()[g_instances.idMap.BucketOf(instance->i_id)];
  for (Hash<CInstance>::Node* node = bucket.head; node != nullptr;) {
    Hash<CInstance>::Node* next = node->next;
    if (node->value == instance) g_instances.idMap.RemoveNode(node, kHashKeep);
    node = next;
  }
}

}  // namespace

Hash<CInstance>& InstanceIdMap = g_instances.idMap;
InstanceQueue& RelinkQueue = g_instances.book.relink;
InstanceQueue& DepthChangeQueue = g_instances.book.depthChange;
InstanceQueue& ActivationChangeList = g_instances.book.activationChange;

int32_t InstanceQueue::Add(CInstance* instance) {
  if (m_members.insert(instance).second) {
    m_items.push_back(instance);
    return static_cast<int32_t>(m_items.size()) - 1;
  }
  return static_cast<int32_t>(std::find(m_items.begin(), m_items.end(), instance) - m_items.begin());
}

CInstance* InstanceQueue::Get(int32_t index) const {
  return (index >= 0 && index < Count()) ? m_items[static_cast<size_t>(index)] : nullptr;
}

bool InstanceQueue::Remove(CInstance* instance) {
  if (m_members.erase(instance) == 0) return false;
  m_items.erase(std::find(m_items.begin(), m_items.end(), instance));
  return true;
}

void InstanceQueue::Reset() {
  m_items.clear();
  m_members.clear();
}

CInstance* Instance_Find(int32_t id) {
  if (id < 0) return nullptr;
  return g_instances.idMap.Find(id);
}

void Instance_ForgetId(CInstance* instance) {
  if (instance != nullptr) ForgetInMap(instance);
}

int64_t Instance_CreationCounter() { return g_instances.book.creationCounter; }

int64_t Instance_TakeDispatchStamp() { return g_instances.book.creationCounter++; }

CInstance* Instance_GetDrawing() { return g_instances.book.drawing; }

void Instance_SetDrawing(CInstance* instance) { g_instances.book.drawing = instance; }

void Instance_Delete(CInstance* instance) {
  if (instance == nullptr) return;
  if (instance->i_list != nullptr) instance->i_list->Remove(instance);
  ForgetInMap(instance);
  InstanceBook& book = g_instances.book;
  book.relink.Remove(instance);
  book.depthChange.Remove(instance);
  book.activationChange.Remove(instance);
  if (book.drawing == instance) book.drawing = nullptr;
  delete instance;  // the destructor leaves the object lists
}

void Instance_DeleteAll() {
  Hash<CInstance>& map = g_instances.idMap;
  for (int32_t b = 0; b <= map.Mask(); ++b) {
    while (Hash<CInstance>::Node* node = map.Buckets()[b].head) {
      CInstance* instance = node->value;
      map.RemoveNode(node, kHashKeep);
      Instance_Delete(instance);
    }
  }
}

void Instances_Reset() {
  g_instances.idMap.Clear(kHashKeep);
  g_instances.book = InstanceBook();
}
