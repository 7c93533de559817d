// Event dispatch: finding the handler an instance runs for an event (through the parents of its
// object, and for collisions through the other object's ancestors too), performing it with the
// current event set and a nesting limit, holding events back while a room change is pending, the
// walk every event phase of a step makes over an event's object list, and time-line moments.
// Main thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "object/Object_Class.h"
#include "object/Object_Lists.h"
#include "room/Instance_Class.h"

// The most events that may be in progress at once; one more is refused.
constexpr int32_t kMaxEventNesting = 32;

// The handler of (kind, number) for object `objectIndex`: its own or its nearest ancestor's; for
// a collision that found none there and whose number names an object, the handler of this chain
// for the other object's parent, then grandparent and so on. `found` receives the index of the
// object that holds the handler (`objectIndex` when none is found). Null when there is none.
// A kind outside 0..11 or a negative number is reported ("Invalid event argument", fatal).
CEvent* FindEventHandler(int32_t objectIndex, int32_t kind, int32_t number, int32_t* found);

// Performs the handler FindEventHandler finds for (objectIndex, kind, number) with self and other.
// With no handler nothing happens. With kMaxEventNesting events already in progress it reports
// "PerformEvent recursion depth failure - check for infinite loops, check objects for parenting"
// as a fatal run-time error and runs nothing. While the handler runs the current event is (the
// object holding the handler, kind, number), so a collision keeps the other object's index as
// its number; the previous event comes back afterwards. No room-change test.
void PerformEvent(CInstance* self, CInstance* other, int32_t objectIndex, int32_t kind, int32_t number);
// PerformEvent for the handler of an explicitly given object (event_perform_object,
// event_inherited, the room start's create events). While a room change is pending only the
// create event of a persistent self runs.
void PerformObjectEvent(CInstance* self, CInstance* other, int32_t objectIndex, int32_t kind, int32_t number);
// The common entry: PerformObjectEvent with self's object index; nothing for a null self.
void PerformInstanceEvent(CInstance* self, CInstance* other, int32_t kind, int32_t number);
// Performs the event on every instance of the current room's active list in order (each one's
// next link read first), skipping marked and deactivated instances. Nothing when a room change is
// pending at the start; an event that asks for one holds back the rest of the walk except the
// create event of persistent instances.
void PerformEventAll(int32_t kind, int32_t number);
// Runs moment `moment` of time line `timeLine` for self and other: a script moment through
// Script_Execute without arguments, a handler moment through CEvent::Execute. Meanwhile the
// current event is (time line, kEventTypeTimeLine, the moment's time). Nothing while a room
// change is pending, for a time line that does not exist or a moment it does not have. Moments
// are not counted as nested events.
void PerformTimelineEvent(CInstance* self, CInstance* other, int32_t timeLine, int32_t moment);

// True while a room change is pending: events other than a persistent instance's create event
// are held back.
bool Event_RoomChangePending();

// The walk of one event phase over the event object list of (kind, number): for each listed
// object, in list order, that object's own instances in list order, passing over instances marked
// as destroyed, deactivated or stamped after `stamp`, and calling visit(instance) for the others.
// The next list node is read before each visit. The list of objects is taken at the start, so
// events that rebuild the lists do not disturb the walk; the walk over an object's instances ends
// when a visit deletes that object.
template <typename Visit>
void Event_WalkObjectList(int32_t kind, int32_t number, int64_t stamp, Visit visit) {
  const int32_t count = ObjectLists_Count(kind, number);
  if (count == 0) return;
  const int32_t* listed = ObjectLists_Objects(kind, number);
  const std::vector<int32_t> objects(listed, listed + count);
  for (int32_t index : objects) {
    CObject* object = Object_Find(index);
    if (object == nullptr) continue;
    for (auto* node = object->m_Instances.First(); node != nullptr;) {
      auto* next = node->next;
      CInstance* instance = node->item;
      if (instance->IsLive() && instance->i_createstamp <= stamp) {
        visit(instance);
        if (Object_Find(index) != object) break;
      }
      node = next;
    }
  }
}

// One dispatch of an event phase: a fresh dispatch stamp, then PerformInstanceEvent(instance,
// instance, kind, number) for every instance Event_WalkObjectList visits.
void Event_DispatchObjectList(int32_t kind, int32_t number);

// The library initialisation code: nothing fills its table, so there is nothing to run: false.
bool RunLibraryInitCode();
// Frees the library initialisation code: nothing to free.
void FreeLibraryInitCode();
