#include "room/Room_Run.h"

#include <utility>

#include "base/ErrorSink.h"
#include "base/VCL.h"
#include "code/Code_Main.h"
#include "extension/Extension_Main.h"
#include "graphics/Graphics_Window.h"
#include "io/IO_Main.h"
#include "object/Object_Class.h"
#include "object/Object_Lists.h"
#include "option/Option_Main.h"
#include "particle/Particle_Effect.h"
#include "platform/MemoryManager.h"
#include "room/Event_Dispatch.h"
#include "room/Event_Names.h"
#include "room/Room_Class.h"
#include "room/Room_Draw.h"
#include "room/Room_Main.h"
#include "room/Room_View.h"
#include "run/Run_Global.h"
#include "variable/ScriptValue.h"

RoomRunState g_RoomRun;
CRoom*& CurrentRoom = g_RoomRun.current;

namespace {

// The other-event numbers of the transitions.
constexpr int32_t kEventGameStart = 2;
constexpr int32_t kEventGameEnd = 3;
constexpr int32_t kEventRoomStart = 4;
constexpr int32_t kEventRoomEnd = 5;

void DeleteLiveRooms() {
  GrowArray<CRoom*>& rooms = g_RoomRun.rooms;
  for (int32_t i = 0; i < rooms.Count(); ++i) {
    if (rooms[i] == g_RoomRun.current) g_RoomRun.current = nullptr;
    delete rooms[i];
    rooms[i] = nullptr;
  }
}

void EmptyCarried() {
  GrowArray<CInstance*>& carried = g_RoomRun.carried;
  for (int32_t i = 0; i < carried.Count(); ++i) Instance_Delete(carried[i]);
  carried.Clear();
}

void RunCode(CInstance* self, CCode* code) {
  ScriptValue result{};
  Code_ExecuteAndReport(self, self, code, &result);
  ReleaseValue(&result);
}

// The instance of `room`'s active list with `id`, or null.
CInstance* FindInRoom(CRoom* room, int32_t id) {
  for (CInstance* instance = room->m_Active.first; instance != nullptr; instance = instance->i_next) {
    if (instance->i_id == id) return instance;
  }
  return nullptr;
}

// A persistent room entered again: its instances come back into their objects' lists (unless
// deactivated) and into the id map.
void RelinkStoredRoom(CRoom* room) {
  for (CInstance* instance = room->m_Active.first; instance != nullptr; instance = instance->i_next) {
    if (instance->i_deactivated == 0 && instance->i_object != nullptr) instance->i_object->AddInstance(instance);
    InstanceIdMap.Insert(instance->i_id, instance);
  }
  for (CInstance* instance = room->m_Deactivated.first; instance != nullptr; instance = instance->i_next) {
    InstanceIdMap.Insert(instance->i_id, instance);
  }
}

// A persistent room left: its instances leave their objects' lists and the id map, and stay in
// the room.
void SetStoredRoomAside(CRoom* room) {
  for (CInstance* instance = room->m_Active.first; instance != nullptr; instance = instance->i_next) {
    if (instance->i_marked != 0 || instance->i_persistent != 0) continue;
    if (instance->i_object != nullptr) instance->i_object->RemoveInstance(instance);
    Instance_ForgetId(instance);
  }
  for (CInstance* instance = room->m_Deactivated.first; instance != nullptr; instance = instance->i_next) {
    Instance_ForgetId(instance);
  }
}

// The carried instances join `room`: an instance of the same id takes their state, else a new
// instance is made from them. Each is marked as carried, so that it gets no create event.
void PlaceCarried(CRoom* room) {
  GrowArray<CInstance*>& carried = g_RoomRun.carried;
  for (int32_t i = 0; i < carried.Count(); ++i) {
    CInstance* from = carried[i];
    CInstance* instance = FindInRoom(room, from->i_id);
    if (instance != nullptr) {
      instance->Copy(from, true);
      instance->RebuildPhysicsBody(room);
    } else {
      instance = new CInstance(from->i_x, from->i_y, from->i_id, from->i_objindex, false);
      instance->Copy(from, true);
      instance->RebuildPhysicsBody(room);
      room->m_Active.Insert(instance);
      InstanceIdMap.Insert(instance->i_id, instance);
    }
    instance->i_carriedover = 1;
    Instance_Delete(from);
  }
  carried.Free();
}

// The create event and creation code of each instance the fresh copy made, in definition order.
void CreateNewInstances(CRoom* room) {
  GrowArray<int32_t> ids = std::move(room->m_PendingCreateIds);
  for (int32_t i = 0; i < ids.Count(); ++i) {
    CInstance* instance = Instance_Find(ids[i]);
    if (instance == nullptr) continue;
    if (instance->i_carriedover != 0) {
      instance->i_carriedover = 0;
      continue;
    }
    if (instance->i_marked != 0) continue;
    PerformObjectEvent(instance, instance, instance->i_objindex, EVENT_CREATE, 0);
    if (instance->i_creationcode != nullptr) RunCode(instance, instance->i_creationcode);
    instance->i_createdone = 1;
  }
  ids.Free();
}

}  // namespace

void FreeCarriedInstances() {
  EmptyCarried();
  g_RoomRun.carried.Free();
}

void Room_RunReset() {
  DeleteLiveRooms();
  g_RoomRun.rooms.Free();
  FreeCarriedInstances();
  g_RoomRun = RoomRunState{};
}

void StartGame() {
  DebugConsole->Output("StartGame()\n");
  ObjectLists_Build();
  RoomRunState& run = g_RoomRun;
  run.score = 0;
  run.lives = -1;
  g_RoomDraw.cursorSprite = -1;
  run.stepCounter = 0;
  run.transitionKind = 0;
  RunLibraryInitCode();
  if (!Extension_Initialise()) return;
  run.started = true;
  GR_Window_SetCursor(g_Options.showCursor ? 0 : -1);
  DeleteLiveRooms();
  run.rooms.SetCount(Room_Count());
  EmptyCarried();
  const int32_t first = Room_First();
  if (first < 0) {
    ShowRuntimeError("The game has no room to start: its room order is empty.", false);
    Run_SetNewRoom(kNewRoomQuit);
    return;
  }
  StartRoom(first, true);
  DebugConsole->Output("StartGame() - DONE\n");
  MemoryManager::ReportTotal();
}

void StartRoom(int32_t index, bool first) {
  Run_SetNewRoom(kNewRoomNone);
  if (first) IO_Clear();
  Effect_Clear();
  if (index < 0) return;
  RoomRunState& run = g_RoomRun;
  if (index >= run.rooms.Count()) run.rooms.SetCount(int64_t{index} + 1);
  run.currentIndex = index;
  CRoom* room = run.rooms[index];
  const bool fresh = room == nullptr;
  if (fresh) {
    room = new CRoom();
    run.rooms[index] = room;
    run.current = room;
    room->Copy(Room_Data(index), true);
  } else {
    run.current = room;
    RelinkStoredRoom(room);
  }
  Room_UpdateWindowSize();
  PlaceCarried(room);
  if (fresh) CreateNewInstances(room);
  room->RemoveMarked();
  if (first) {
    PerformEventAll(EVENT_OTHER, kEventGameStart);
    room->RemoveMarked();
  }
  if (fresh && room->m_CreationCode != nullptr) {
    CInstance* scratch = new CInstance(0.0f, 0.0f, 0, 0, false);
    RunCode(scratch, room->m_CreationCode);
    Instance_Delete(scratch);
  }
  PerformEventAll(EVENT_OTHER, kEventRoomStart);
  room->RemoveMarked();
}

void EndRoom(bool endingGame) {
  RoomRunState& run = g_RoomRun;
  CRoom* room = run.current;
  if (room == nullptr) return;
  room->RemoveMarked();
  const int32_t newRoom = Run_GetNewRoom();
  Run_SetNewRoom(kNewRoomNone);
  PerformEventAll(EVENT_OTHER, kEventRoomEnd);
  room->RemoveMarked();
  if (endingGame) {
    PerformEventAll(EVENT_OTHER, kEventGameEnd);
    room->RemoveMarked();
  }
  Run_SetNewRoom(newRoom);
  IO_ClearVirtualKeys();

  EmptyCarried();
  run.carried.Free();
  run.carried.Reserve(10);
  for (CInstance* instance = room->m_Active.first; instance != nullptr; instance = instance->i_next) {
    if (instance->i_persistent == 0 || instance->i_marked != 0 || instance->i_deactivated != 0) continue;
    CInstance* copy = new CInstance(instance->i_x, instance->i_y, instance->i_id, instance->i_objindex, false);
    copy->Copy(instance, false);
    run.carried.Push(copy);
    instance->i_marked = 1;
  }
  room->RemoveMarked();

  if (room->m_Persistent) {
    SetStoredRoomAside(room);
  } else {
    if (run.currentIndex >= 0 && run.currentIndex < run.rooms.Count() && run.rooms[run.currentIndex] == room) {
      run.rooms[run.currentIndex] = nullptr;
    }
    delete room;
  }
  run.current = nullptr;
}

void GotoRoom(int32_t index) {
  EndRoom(false);
  StartRoom(index, false);
}

void EndGame() {
  RoomRunState& run = g_RoomRun;
  if (!run.started) return;
  EndRoom(true);
  DeleteLiveRooms();
  run.rooms.Free();
  FreeCarriedInstances();
  run.started = false;
  if (Extension_Finalise()) GR_Window_SetCursor(0);
}
