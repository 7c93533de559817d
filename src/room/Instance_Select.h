// Which instances an instance selector reaches. Four users choose, each in its own way, and their
// choices stand side by side here so that a difference is a visible column, not a copy:
//
//                   all (-3)     instance id (100,000 up)     object index (0 .. 99,999)
//   variable read   first live   exists, not destroyed        first live of the object's list, else
//                                (a deactivated one answers)  of the relink queue, else of the
//                                                             activation-change list
//   variable write  every live   exists, not destroyed        every live of the object's list, then
//                                (a deactivated one answers)  of the relink queue
//   with (machine)  every live   exists and live              every live of the object's list, the
//                                                             relink queue and the activation-change
//                                                             list; none when no object has the index
//   with (tree)     every live   exists and live              every live of the object's list only
//
// "Live" is CInstance::IsLive. The object's list is its descendant-instances list (the object and
// the objects that have it as an ancestor, in the order the instances joined) and its walk stops
// at an empty entry. A queue entry counts when it is live and its object index is the selector,
// whether or not an object has that index (except for the machine's with, as above). Other
// negative selectors reach nothing here (the tree's with looks them up as object indices, which
// find none): self, other, global and the rest are the callers' own.
//
// Every walk takes the next instance before it calls the visitor, and calls it in the order the
// table gives. A visitor answers whether the walk goes on; a walk answers false when its visitor
// stopped it. Nothing here allocates.
//
// Main thread only.
#pragma once

#include <cstdint>

#include "object/Object_Class.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"

// The selector that names every instance of the current room.
constexpr int32_t kSelectAll = -3;
// Selectors from here up are instance ids; below it (from 0) object indices.
constexpr int32_t kSelectFirstInstanceId = 100000;

// Which pending-change queues an object-index walk also searches after the object's list.
enum class SelectQueues { kNone, kRelink, kRelinkAndActivation };

// ---- The pieces every user shares ----

// The instance of that id when it exists and is live; null otherwise (with blocks).
CInstance* Instance_FindLive(int32_t id);
// The instance of that id when it exists and is not destroyed, deactivated or not; null otherwise
// (variable access).
CInstance* Instance_FindNotDestroyed(int32_t id);

// The live instances of the current room's active list, in list order; nothing without a room.
template <typename Visit>
bool Instance_WalkRoomLive(Visit visit) {
  if (CurrentRoom == nullptr) return true;
  for (CInstance* instance = CurrentRoom->m_Active.first; instance != nullptr;) {
    CInstance* const next = instance->i_next;
    if (instance->IsLive() && !visit(instance)) return false;
    instance = next;
  }
  return true;
}

// The live entries of a pending-change queue whose object index is `objectIndex`, in queue order.
// The count is read again after every visit.
template <typename Visit>
bool Instance_WalkQueueLive(const InstanceQueue& queue, int32_t objectIndex, Visit visit) {
  for (int32_t k = 0; k < queue.Count(); ++k) {
    CInstance* instance = queue.Get(k);
    if (instance != nullptr && instance->IsLive() && instance->i_objindex == objectIndex && !visit(instance)) {
      return false;
    }
  }
  return true;
}

// The live instances of the object's descendant-instances list (none when no object has the
// index), then the queues `queues` names.
template <typename Visit>
bool Instance_WalkObjectLive(int32_t objectIndex, SelectQueues queues, Visit visit) {
  if (CObject* object = Object_Find(objectIndex)) {
    for (auto* node = object->m_InstancesRecursive.First(); node != nullptr && node->item != nullptr;) {
      auto* const next = node->next;
      if (node->item->IsLive() && !visit(node->item)) return false;
      node = next;
    }
  }
  if (queues == SelectQueues::kNone) return true;
  if (!Instance_WalkQueueLive(RelinkQueue, objectIndex, visit)) return false;
  if (queues == SelectQueues::kRelink) return true;
  return Instance_WalkQueueLive(ActivationChangeList, objectIndex, visit);
}

// ---- The four choices ----

// Variable read: the one instance that answers for `target`, or null.
CInstance* Instance_SelectForRead(int32_t target);

// Variable write: every instance that receives a value written through `target`.
template <typename Visit>
bool Instance_SelectForWrite(int32_t target, Visit visit) {
  if (target == kSelectAll) return Instance_WalkRoomLive(visit);
  if (target < 0) return true;
  if (target >= kSelectFirstInstanceId) {
    CInstance* instance = Instance_FindNotDestroyed(target);
    return instance == nullptr || visit(instance);
  }
  return Instance_WalkObjectLive(target, SelectQueues::kRelink, visit);
}

// With block on the virtual machine: every instance the block runs for, in the order found.
template <typename Visit>
bool Instance_SelectForMachineWith(int32_t selector, Visit visit) {
  if (selector == kSelectAll) return Instance_WalkRoomLive(visit);
  if (selector < 0) return true;
  if (selector >= kSelectFirstInstanceId) {
    CInstance* instance = Instance_FindLive(selector);
    return instance == nullptr || visit(instance);
  }
  if (Object_Find(selector) == nullptr) return true;
  return Instance_WalkObjectLive(selector, SelectQueues::kRelinkAndActivation, visit);
}

// With statement on the tree interpreter: every instance the statement runs for, in order.
template <typename Visit>
bool Instance_SelectForTreeWith(int32_t target, Visit visit) {
  if (target == kSelectAll) return Instance_WalkRoomLive(visit);
  if (target >= kSelectFirstInstanceId) {
    CInstance* instance = Instance_FindLive(target);
    return instance == nullptr || visit(instance);
  }
  return Instance_WalkObjectLive(target, SelectQueues::kNone, visit);  // other negatives too
}
