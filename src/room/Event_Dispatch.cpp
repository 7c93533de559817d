#include "room/Event_Dispatch.h"

#include "base/ErrorSink.h"
#include "room/Event_Class.h"
#include "room/Event_State.h"
#include "room/Room_Class.h"
#include "run/Run_Global.h"
#include "script/Script_Main.h"
#include "timeline/TimeLine_Main.h"
#include "variable/ScriptValue.h"

namespace {

// Whether a pending room change lets this event through.
bool PassesRoomChange(const CInstance* self, int32_t kind) {
  return !Event_RoomChangePending() || (kind == EVENT_CREATE && self != nullptr && self->i_persistent != 0);
}

}  // namespace

bool Event_RoomChangePending() { return Run_GetNewRoom() != kNewRoomNone; }

CEvent* FindEventHandler(int32_t objectIndex, int32_t kind, int32_t number, int32_t* found) {
  if (found != nullptr) *found = objectIndex;
  const CObject* object = Object_Find(objectIndex);
  if (object == nullptr) return nullptr;
  return object->FindHandler(kind, number, found);
}

void PerformEvent(CInstance* self, CInstance* other, int32_t objectIndex, int32_t kind, int32_t number) {
  int32_t found = objectIndex;
  CEvent* handler = FindEventHandler(objectIndex, kind, number, &found);
  if (handler == nullptr) return;
  EventNesting nesting(kMaxEventNesting);
  if (!nesting.Entered()) {
    ReportRuntimeError("PerformEvent recursion depth failure - check for infinite loops, check objects for parenting",
                       true);
    return;
  }
  EventScope scope(found, kind, number);
  handler->Execute(self, other);
}

void PerformObjectEvent(CInstance* self, CInstance* other, int32_t objectIndex, int32_t kind, int32_t number) {
  if (!PassesRoomChange(self, kind)) return;
  PerformEvent(self, other, objectIndex, kind, number);
}

void PerformInstanceEvent(CInstance* self, CInstance* other, int32_t kind, int32_t number) {
  if (self == nullptr) return;
  PerformObjectEvent(self, other, self->i_objindex, kind, number);
}

void PerformEventAll(int32_t kind, int32_t number) {
  if (Event_RoomChangePending() || CurrentRoom == nullptr) return;
  for (CInstance* instance = CurrentRoom->m_Active.first; instance != nullptr;) {
    CInstance* next = instance->i_next;
    if (instance->IsLive() && PassesRoomChange(instance, kind)) {
      PerformEvent(instance, instance, instance->i_objindex, kind, number);
    }
    instance = next;
  }
}

void PerformTimelineEvent(CInstance* self, CInstance* other, int32_t timeLine, int32_t moment) {
  if (Event_RoomChangePending()) return;
  const CTimeLine* line = TimeLine_Data(timeLine);
  if (line == nullptr || moment < 0 || moment >= line->GetCount()) return;
  const TimeLineAction action = line->GetEvent(moment);
  EventScope scope(timeLine, kEventTypeTimeLine, line->GetTime(moment));
  if (TimeLine_IsScriptAction(action)) {
    ScriptValue result{};
    Script_Execute(TimeLine_ActionScript(action), self, other, 0, &result, nullptr);
    ReleaseValue(&result);
  } else if (CEvent* event = TimeLine_ActionEvent(action)) {
    event->Execute(self, other);
  }
}

void Event_DispatchObjectList(int32_t kind, int32_t number) {
  const int64_t stamp = Instance_TakeDispatchStamp();
  Event_WalkObjectList(kind, number, stamp,
                       [kind, number](CInstance* instance) { PerformInstanceEvent(instance, instance, kind, number); });
}

bool RunLibraryInitCode() { return false; }

void FreeLibraryInitCode() {}
