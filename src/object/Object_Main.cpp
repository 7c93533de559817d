#include "object/Object_Main.h"

#include <cstdio>
#include <vector>

#include "base/VCL.h"
#include "object/Object_Class.h"
#include "object/Object_Lists.h"
#include "platform/MemoryManager.h"
#include "room/Event_Class.h"
#include "room/Event_State.h"
#include "room/Instance_Class.h"
#include "runner/GameData.h"
#include "support/BoundedReader.h"

namespace {

struct ObjectTableState {
  int32_t count = 0;        // object slots: the chunk's count plus objects added since
  uint32_t spriteFlags = 0;  // see Object_SpriteFlagBits
};
ObjectTableState g_objects;

constexpr int32_t kMaxParentIndex = 99999;
// Event numbers of every kind but collisions stay below this.
constexpr int32_t kEventNumberLimit = 256;
// The most event-table slots the loader allocates for one chunk.
constexpr int64_t kEventSlotBudget = int64_t{1} << 24;

uint32_t Flag(int32_t word, int32_t flag) { return word != 0 ? static_cast<uint32_t>(flag) : 0u; }

// Reads the physics block at the reader's cursor.
bool LoadPhysics(CObject* object, BoundedReader& r, int32_t version) {
  int32_t enabled = 0, sensor = 0, points = 0;
  r.I32(&enabled);
  r.I32(&sensor);
  r.I32(&object->m_PhysicsShape);
  r.Read(&object->m_PhysicsDensity);
  r.Read(&object->m_PhysicsRestitution);
  r.I32(&object->m_PhysicsGroup);
  r.Read(&object->m_PhysicsLinearDamping);
  r.Read(&object->m_PhysicsAngularDamping);
  r.I32(&points);
  object->m_PhysicsEnabled = enabled != 0;
  object->m_PhysicsSensor = sensor != 0;
  if (version >= 9) {
    int32_t awake = 0, kinematic = 0;
    r.Read(&object->m_PhysicsFriction);
    r.I32(&awake);
    r.I32(&kinematic);
    object->m_PhysicsAwake = awake != 0;
    object->m_PhysicsKinematic = kinematic != 0;
  } else {
    object->m_PhysicsFriction = 0.2f;
    object->m_PhysicsAwake = true;
    object->m_PhysicsKinematic = false;
  }
  if (!r.Ok() || points < 0 || !r.Fits(static_cast<uint64_t>(points), 8)) return false;
  object->m_PhysicsPoints.resize(static_cast<size_t>(points));
  for (CObject::Point& p : object->m_PhysicsPoints) {
    r.Read(&p.x);
    r.Read(&p.y);
  }
  return r.Ok();
}

// Reads the event block at the reader's cursor into the object's table.
bool LoadEvents(CObject* object, BoundedReader& r, int64_t* slotBudget) {
  const int32_t index = object->m_Index;
  uint32_t kinds = 0;
  if (!r.U32(&kinds) || kinds > static_cast<uint32_t>(kEventKindCount) || !r.Fits(kinds, 4)) {
    DebugConsole->Output("Game data: object %d stores %u event kinds (at most %d are taken)\n", index, kinds,
                         kEventKindCount);
    return false;
  }
  for (int32_t kind = 0; kind < static_cast<int32_t>(kinds); ++kind) {
    uint32_t listOffset = 0, count = 0;
    r.U32(&listOffset);
    BoundedReader list = r.At(listOffset, r.ImageSize() - std::min<uint64_t>(listOffset, r.ImageSize()));
    if (!list.U32(&count) || !list.Fits(count, 4)) {
      DebugConsole->Output("Game data: the event list of kind %d of object %d lies outside the file\n", kind, index);
      return false;
    }
    const int32_t limit = kind == EVENT_COLLISION ? g_objects.count : kEventNumberLimit;
    for (uint32_t e = 0; e < count; ++e) {
      uint32_t recordOffset = 0;
      int32_t number = 0;
      list.U32(&recordOffset);
      BoundedReader record = r.At(recordOffset, 4);
      if (!record.I32(&number)) {
        DebugConsole->Output("Game data: an event record of object %d lies outside the file\n", index);
        return false;
      }
      if (number < 0 || number >= limit) {
        DebugConsole->Output("Game data: object %d has an event of kind %d with number %d\n", index, kind, number);
        return false;
      }
      const int32_t grow = number + 1 - object->EventCount(kind);
      if (grow > 0 && (*slotBudget -= grow) < 0) {
        DebugConsole->Output("Game data: the objects' event tables are larger than the loader takes\n");
        return false;
      }
      CEvent*& slot = object->EventSlot(kind, number);
      if (slot == nullptr) slot = new CEvent();
      if (!slot->LoadFromData(r, recordOffset)) return false;
    }
  }
  return true;
}

bool LoadEntry(CObject* object, const BoundedReader& image, uint64_t entry, int32_t version, int64_t* slotBudget) {
  object->Clear();
  BoundedReader r = image.At(entry, image.ImageSize() - std::min<uint64_t>(entry, image.ImageSize()));
  int32_t sprite = 0, visible = 0, solid = 0, persistent = 0;
  uint32_t nameOffset = 0;
  r.U32(&nameOffset);
  r.I32(&sprite);
  r.I32(&visible);
  r.I32(&solid);
  r.I32(&object->m_Depth);
  r.I32(&persistent);
  r.I32(&object->m_ParentIndex);
  r.I32(&object->m_MaskIndex);
  if (!r.Ok()) {
    DebugConsole->Output("Game data: object %d lies outside the file\n", object->m_Index);
    return false;
  }
  if ((static_cast<uint32_t>(sprite) & 0x70000000u) == 0) {
    g_objects.spriteFlags |= static_cast<uint32_t>(sprite) & 0x80000000u;
    sprite = static_cast<int32_t>(static_cast<uint32_t>(sprite) & 0x7FFFFFFFu);
  }
  object->m_SpriteIndex = sprite;
  object->m_Flags = static_cast<int32_t>(Flag(visible, kObjectVisible) | Flag(solid, kObjectSolid) |
                                         Flag(persistent, kObjectPersistent));
  if (version >= 6 && !LoadPhysics(object, r, version)) {
    DebugConsole->Output("Game data: the physics block of object %d lies outside the file\n", object->m_Index);
    return false;
  }
  return LoadEvents(object, r, slotBudget);
}


}  // namespace

int32_t Object_Count() { return g_objects.count; }

uint32_t Object_SpriteFlagBits() { return g_objects.spriteFlags; }

void Object_Init() {
  ObjectLists_Free();
  Object_TableClear();
  g_objects = ObjectTableState();
}

bool Object_Load(CObject* object, const BoundedReader& image, uint64_t entry, int32_t version) {
  int64_t budget = kEventSlotBudget;
  return LoadEntry(object, image, entry, version, &budget);
}

bool Object_LoadChunk(BoundedReader& chunk) {
  uint32_t count = 0;
  if (!chunk.U32(&count) || count > INT32_MAX || !chunk.Fits(count, 4)) {
    DebugConsole->Output("Game data: the object chunk holds fewer entries than its count %u\n", count);
    return false;
  }
  g_objects.count = static_cast<int32_t>(count);
  int64_t budget = kEventSlotBudget;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t entry = 0;
    chunk.U32(&entry);
    if (entry == 0) continue;
    CObject* object = new CObject(static_cast<int32_t>(i));
    const char* name = nullptr;
    uint32_t nameOffset = 0;
    BoundedReader head = chunk.At(entry, 4);
    head.U32(&nameOffset);
    if (!head.Ok() || !chunk.TextAt(nameOffset, &name) ||
        !LoadEntry(object, chunk, entry, g_GameData.GameHeaderVersion, &budget)) {
      if (head.Ok() && name == nullptr && nameOffset != 0) {
        DebugConsole->Output("Game data: the name of object %u lies outside the file\n", i);
      }
      delete object;
      return false;
    }
    object->SetName(name);
    Object_TableInsert(static_cast<int32_t>(i), object);
  }
  Object_LinkParents();
  return true;
}

void Object_LinkParents() {
  Object_ForEach([](CObject* object) {
    const int32_t parent = object->m_ParentIndex;
    object->m_Parent = (parent >= 0 && parent <= kMaxParentIndex) ? Object_Find(parent) : nullptr;
  });
  // Cut loops: walk up from each record not yet seen; meeting a record of the current walk
  // again means the last record's parent closes a loop.
  enum : uint8_t { kUnseen, kOnPath, kDone };
  std::vector<uint8_t> state(static_cast<size_t>(g_objects.count), kUnseen);
  std::vector<CObject*> path;
  auto stateOf = [&](const CObject* o) -> uint8_t& { return state[static_cast<size_t>(o->m_Index)]; };
  Object_ForEach([&](CObject* object) {
    path.clear();
    CObject* o = object;
    while (o != nullptr && stateOf(o) == kUnseen) {
      stateOf(o) = kOnPath;
      path.push_back(o);
      o = o->m_Parent;
    }
    if (o != nullptr && stateOf(o) == kOnPath) {
      DebugConsole->Output("Object %d: its parents loop back to it; the chain of parents ends there\n",
                           path.back()->m_Index);
      path.back()->m_Parent = nullptr;
    }
    for (CObject* p : path) stateOf(p) = kDone;
  });
}

bool Object_Prepare() {
  DebugConsole->Output("Preparing %d objects:\n", g_objects.count);
  bool ok = true;
  Object_ForEach([&ok](CObject* object) {
    if (!ok) return;
    DebugConsole->Output("\tObjects %d: %s\n", object->m_Index, Object_GetName(object->m_Index));
    Event_SetObject(object->m_Index);
    ok = object->Compile();
  });
  if (!ok) return false;
  Object_LinkParents();
  return true;
}

int32_t Object_Add() {
  const int32_t index = g_objects.count;
  CObject* object = new CObject(index);
  char name[32];
  std::snprintf(name, sizeof(name), "__newobject%d", index);
  object->SetName(name);
  Object_TableInsert(index, object);
  ++g_objects.count;
  return index;
}

bool Object_Delete(int32_t index) {
  CObject* object = Object_Find(index);
  if (object == nullptr) return false;
  // No instance may keep the record: neither as its object nor as the object it is leaving by a
  // pending change. Deactivated instances and those waiting for a relink are not in the record's
  // lists, so the id map is searched as well.
  auto forget = [object](CInstance* instance) {
    if (instance->i_object == object) instance->i_object = nullptr;
    if (instance->i_previousobject == object) instance->i_previousobject = nullptr;
  };
  for (auto* node = object->m_Instances.First(); node != nullptr; node = node->next) forget(node->item);
  Hash<CInstance>::Bucket* buckets = InstanceIdMap.Buckets();
  for (int32_t b = 0; b <= InstanceIdMap.Mask(); ++b) {
    for (auto* node = buckets[b].head; node != nullptr; node = node->next) forget(node->value);
  }
  for (int32_t i = 0; i < RelinkQueue.Count(); ++i) forget(RelinkQueue.Get(i));
  object->ClearInstanceLists();
  Object_TableRemove(index);
  ObjectLists_ForgetObject(index);
  Object_LinkParents();
  Object_RebuildInstanceLists();
  return true;
}

bool Object_SetParent(int32_t index, int32_t parentIndex) {
  CObject* object = Object_Find(index);
  if (object == nullptr) return false;
  const CObject* parent = Object_Find(parentIndex);
  if (parent != nullptr && (parent == object || parent->HasAncestor(index))) return false;  // a loop
  object->m_ParentIndex = parentIndex;
  Object_LinkParents();
  Object_RebuildInstanceLists();
  return true;
}

void Object_RebuildInstanceLists() {
  Object_ForEach([](CObject* object) { object->m_InstancesRecursive.Clear(); });
  Object_ForEach([](CObject* object) {
    for (auto* node = object->m_Instances.First(); node != nullptr; node = node->next) {
      CInstance* instance = node->item;
      Object_ForSelfAndAncestors(object, [instance](CObject* o) { o->m_InstancesRecursive.Add(instance); });
    }
  });
}

void Object_ClearInstanceLists() {
  Object_ForEach([](CObject* object) { object->ClearInstanceLists(); });
}

void Object_FreeAll() { Object_Init(); }

void Object_Finalise() {}
