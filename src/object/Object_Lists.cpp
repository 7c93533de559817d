#include "object/Object_Lists.h"

#include <cstring>
#include <unordered_set>

#include "object/Object_Class.h"
#include "object/Object_Main.h"
#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"
#include "room/Event_Names.h"

CollisionPairList CollisionPairs;

namespace {

// The lists grow by this many entries at a time.
constexpr int32_t kGrowStep = 5;

struct EventObjectEntry {
  int32_t* objects = nullptr;  // memory-manager block of `capacity` indices
  int32_t capacity = 0;
};

struct EventObjectListTable {
  EventObjectEntry entries[kEventKindCount][kEventObjectNumbers];
  int32_t counts[kEventKindCount][kEventObjectNumbers] = {};
};
EventObjectListTable g_lists;


void BuildEntry(int32_t kind, int32_t number) {
  EventObjectEntry& entry = g_lists.entries[kind][number];
  int32_t& count = g_lists.counts[kind][number];
  count = 0;
  const int32_t objects = Object_Count();
  for (int32_t i = 0; i < objects; ++i) {
    const CObject* object = Object_Find(i);
    if (object == nullptr || object->FindHandler(kind, number) == nullptr) continue;
    Grow_Reserve(entry.objects, entry.capacity, static_cast<int64_t>(count) + 1, kGrowStep);
    entry.objects[count++] = i;
  }
}

void BuildKind(int32_t kind, int32_t lastNumber) {
  std::memset(g_lists.counts[kind], 0, sizeof(g_lists.counts[kind]));
  for (int32_t n = 0; n <= lastNumber; ++n) BuildEntry(kind, n);
}

}  // namespace

void ObjectLists_Build() {
  // Keys run to 255: the frame step dispatches every key code from these lists.
  struct KindRange {
    int32_t kind;
    int32_t lastNumber;
  };
  const KindRange built[] = {
      {EVENT_CREATE, 0},   {EVENT_DESTROY, 0},   {EVENT_ALARM, 12},   {EVENT_STEP, 16},
      {EVENT_COLLISION, -1}, {EVENT_KEYBOARD, 255}, {EVENT_MOUSE, 128}, {EVENT_OTHER, 128},
      {EVENT_DRAW, 0},     {EVENT_KEYPRESS, 255}, {EVENT_KEYRELEASE, 255},
  };
  for (const KindRange& k : built) BuildKind(k.kind, k.lastNumber);
  ObjectLists_BuildCollisionPairs();
}

void ObjectLists_BuildCollisionPairs() {
  MemoryManager::Free(CollisionPairs.pairs);
  CollisionPairs = CollisionPairList();
  std::unordered_set<uint64_t> stored;  // (lower index, higher index)
  const int32_t objects = Object_Count();
  for (int32_t i = 0; i < objects; ++i) {
    CObject* object = Object_Find(i);
    if (object == nullptr) continue;
    for (int32_t j = 0; j < objects; ++j) {
      if (object->FindHandler(EVENT_COLLISION, j) == nullptr) continue;
      const uint64_t key = (static_cast<uint64_t>(i < j ? i : j) << 32) | static_cast<uint32_t>(i < j ? j : i);
      if (!stored.insert(key).second) continue;
      Grow_Reserve(CollisionPairs.pairs, CollisionPairs.capacity, static_cast<int64_t>(CollisionPairs.count) + 1, kGrowStep);
      CollisionPairs.pairs[CollisionPairs.count++] = {i, j, object, Object_Find(j)};
    }
  }
}

void ObjectLists_ForgetObject(int32_t index) {
  int32_t kept = 0;
  for (int32_t p = 0; p < CollisionPairs.count; ++p) {
    CollisionPair pair = CollisionPairs.pairs[p];
    if (pair.first == index) continue;
    if (pair.second == index) pair.secondObject = nullptr;
    CollisionPairs.pairs[kept++] = pair;
  }
  CollisionPairs.count = kept;
}

void ObjectLists_Free() {
  for (auto& kind : g_lists.entries) {
    for (EventObjectEntry& entry : kind) {
      MemoryManager::Free(entry.objects);
      entry = EventObjectEntry();
    }
  }
  std::memset(g_lists.counts, 0, sizeof(g_lists.counts));
  MemoryManager::Free(CollisionPairs.pairs);
  CollisionPairs = CollisionPairList();
}

int32_t ObjectLists_Count(int32_t kind, int32_t number) {
  if (kind < 0 || kind >= kEventKindCount || number < 0 || number >= kEventObjectNumbers) return 0;
  return g_lists.counts[kind][number];
}

const int32_t* ObjectLists_Objects(int32_t kind, int32_t number) {
  if (ObjectLists_Count(kind, number) == 0) return nullptr;
  return g_lists.entries[kind][number].objects;
}
