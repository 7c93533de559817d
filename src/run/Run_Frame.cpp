#include "run/Run_Frame.h"

#include <cstdlib>
#include <vector>

#include "base/VCL.h"
#include "debug/Debug_State.h"
#include "debug/Profiler.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Frame.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Window.h"
#include "io/IO_Main.h"
#include "object/Object_Lists.h"
#include "option/Option_Main.h"
#include "os/OS_Clock.h"
#include "os/OS_Messages.h"
#include "os/OS_Window.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "room/Event_Dispatch.h"
#include "room/Event_Names.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "room/Room_Draw.h"
#include "room/Room_Run.h"
#include "sprite/Sprite_Main.h"
#include "run/Run_Global.h"
#include "run/Run_Startup.h"
#include "timeline/TimeLine_Main.h"

FrameLoopState g_FrameLoop;

namespace {

constexpr int32_t kAlarmNumbers = 12;
constexpr int32_t kStepNormal = 0;
constexpr int32_t kStepBegin = 1;
constexpr int32_t kStepEnd = 2;
constexpr int32_t kOtherOutside = 0;
constexpr int32_t kOtherBoundary = 1;
constexpr int32_t kOtherAnimationEnd = 7;
constexpr int32_t kOtherEndOfPath = 8;
constexpr int32_t kOtherOutsideView = 40;
constexpr int32_t kOtherBoundaryView = 50;

// After a phase: the deferred changes applied; true when the step must end (a room change).
bool PhaseEnds() {
  UpdateActiveLists();
  return Run_GetNewRoom() != kNewRoomNone;
}

void HandleStep(int32_t number) { Event_DispatchObjectList(EVENT_STEP, number); }

void HandleAlarm() {
  const int64_t stamp = Instance_TakeDispatchStamp();
  for (int32_t number = 0; number < kAlarmNumbers; ++number) {
    Event_WalkObjectList(EVENT_ALARM, number, stamp, [number](CInstance* instance) {
      int32_t& alarm = instance->i_timer[number];
      if (alarm < 0) return;
      --alarm;
      if (alarm == 0) PerformInstanceEvent(instance, instance, EVENT_ALARM, number);
    });
  }
}

// The keyboard events from the step's input: for keys 8 to 255 in order, the keyboard event of a
// key held or pressed, the key-press event of a key pressed and the key-release event of a key
// released, each its own dispatch; then keyboard, key-press and key-release number 1 when any
// key had that state, else number 0.
void DispatchKeyboardEvents() {
  bool anyHeld = false, anyPressed = false, anyReleased = false;
  for (int32_t key = 8; key < kInputKeys; ++key) {
    const bool pressed = IO_KeyPressed(key);
    const bool released = IO_KeyReleased(key);
    if (IO_KeyDown(key) || pressed) {
      anyHeld = true;
      Event_DispatchObjectList(EVENT_KEYBOARD, key);
    }
    if (pressed) {
      anyPressed = true;
      Event_DispatchObjectList(EVENT_KEYPRESS, key);
    }
    if (released) {
      anyReleased = true;
      Event_DispatchObjectList(EVENT_KEYRELEASE, key);
    }
  }
  Event_DispatchObjectList(EVENT_KEYBOARD, anyHeld ? 1 : 0);
  Event_DispatchObjectList(EVENT_KEYPRESS, anyPressed ? 1 : 0);
  Event_DispatchObjectList(EVENT_KEYRELEASE, anyReleased ? 1 : 0);
}

// Whether the room point (x, y) lies on the instance, precise shapes tested precisely.
bool UnderMouse(CInstance* instance, int32_t x, int32_t y) { return instance->CollidePoint(x, y, true); }

// One dispatch of mouse event `number` over the instances under the room point (x, y).
void DispatchUnderMouse(int32_t number, int32_t x, int32_t y) {
  Event_WalkObjectList(EVENT_MOUSE, number, Instance_TakeDispatchStamp(), [number, x, y](CInstance* instance) {
    if (UnderMouse(instance, x, y)) PerformInstanceEvent(instance, instance, EVENT_MOUSE, number);
  });
}

constexpr int32_t kMouseNoButton = 3;
constexpr int32_t kMouseAnyPressed = 12;
constexpr int32_t kMouseAnyReleased = 13;
constexpr int32_t kMouseEnter = 10;
constexpr int32_t kMouseLeave = 11;
constexpr int32_t kMouseWheelUp = 60;
constexpr int32_t kMouseWheelDown = 61;

// The mouse events from device 0's step input: buttons held, pressed and released (each on the
// instances under the mouse, then globally), entering and leaving instances, and the wheel.
void HandleMouse() {
  FrameLoopState& f = g_FrameLoop;
  f.previousMouseX = f.mouseX;
  f.previousMouseY = f.mouseY;
  f.mouseX = GR_Window_GetMouseX(0);
  f.mouseY = GR_Window_GetMouseY(0);
  const int32_t x = f.mouseX, y = f.mouseY;
  bool anyHeld = false;
  for (int32_t button = 1; button <= kInputButtons; ++button) {
    if (IO_DeviceButtonDown(button, 0) || IO_DeviceButtonPressed(button, 0)) {
      anyHeld = true;
      DispatchUnderMouse(button - 1, x, y);
      Event_DispatchObjectList(EVENT_MOUSE, 49 + button);
    }
  }
  if (!anyHeld) DispatchUnderMouse(kMouseNoButton, x, y);
  for (int32_t button = 1; button <= kInputButtons; ++button) {
    if (!IO_DeviceButtonPressed(button, 0)) continue;
    DispatchUnderMouse(3 + button, x, y);
    Event_DispatchObjectList(EVENT_MOUSE, kMouseAnyPressed);
    Event_DispatchObjectList(EVENT_MOUSE, 52 + button);
  }
  for (int32_t button = 1; button <= kInputButtons; ++button) {
    if (!IO_DeviceButtonReleased(button, 0)) continue;
    DispatchUnderMouse(6 + button, x, y);
    Event_DispatchObjectList(EVENT_MOUSE, kMouseAnyReleased);
    Event_DispatchObjectList(EVENT_MOUSE, 55 + button);
  }
  const int32_t px = f.previousMouseX, py = f.previousMouseY;
  Event_WalkObjectList(EVENT_MOUSE, kMouseEnter, Instance_TakeDispatchStamp(), [=](CInstance* instance) {
    if (UnderMouse(instance, x, y) && !UnderMouse(instance, px, py)) {
      PerformInstanceEvent(instance, instance, EVENT_MOUSE, kMouseEnter);
    }
  });
  Event_WalkObjectList(EVENT_MOUSE, kMouseLeave, Instance_TakeDispatchStamp(), [=](CInstance* instance) {
    if (UnderMouse(instance, px, py) && !UnderMouse(instance, x, y)) {
      PerformInstanceEvent(instance, instance, EVENT_MOUSE, kMouseLeave);
    }
  });
  if (IO_WheelUp(0)) Event_DispatchObjectList(EVENT_MOUSE, kMouseWheelUp);
  if (IO_WheelDown(0)) Event_DispatchObjectList(EVENT_MOUSE, kMouseWheelDown);
}

// Animation over every instance of the room; answers whether one has a running time line and
// (through `anyPath`) whether one has a path.
bool Animate(bool* anyPath) {
  bool anyTimeLine = false;
  *anyPath = false;
  for (CInstance* instance = CurrentRoom->m_Active.first; instance != nullptr;) {
    CInstance* next = instance->i_next;
    instance->i_xprevious = instance->i_x;
    instance->i_yprevious = instance->i_y;
    instance->i_pathpositionprevious = instance->i_pathposition;
    instance->i_imageindex += instance->i_imagespeed;
    const int32_t frames = instance->GetImageNumber();
    if (num::TruncInt32(instance->i_imageindex) >= frames) {
      instance->i_imageindex -= static_cast<float>(frames);
      PerformInstanceEvent(instance, instance, EVENT_OTHER, kOtherAnimationEnd);
    } else if (instance->i_imageindex < 0.0f) {
      instance->i_imageindex += static_cast<float>(frames);
      PerformInstanceEvent(instance, instance, EVENT_OTHER, kOtherAnimationEnd);
    }
    if (instance->i_timelinerunning != 0) anyTimeLine = true;
    if (instance->i_pathindex >= 0) *anyPath = true;
    instance = next;
  }
  return anyTimeLine;
}

// The moments of `line` from index `from` up to, not including, index `to`, ascending; or from
// `from` down to, not including, `to`, descending.
void PerformMoments(CInstance* instance, int32_t timeLine, int32_t from, int32_t to) {
  if (from <= to) {
    for (int32_t i = from; i < to && !instance->i_marked; ++i) PerformTimelineEvent(instance, instance, timeLine, i);
  } else {
    for (int32_t i = from; i > to && !instance->i_marked; --i) PerformTimelineEvent(instance, instance, timeLine, i);
  }
}

void HandleTimeLines() {
  const int64_t stamp = Instance_TakeDispatchStamp();
  for (CInstance* instance = CurrentRoom->m_Active.first; instance != nullptr;) {
    CInstance* next = instance->i_next;
    const CTimeLine* line = TimeLine_Data(instance->i_timelineindex);
    if (instance->i_marked == 0 && instance->i_deactivated == 0 && instance->i_createstamp <= stamp &&
        instance->i_timelinerunning != 0 && line != nullptr && line->GetCount() > 0) {
      const int32_t index = instance->i_timelineindex;
      const float start = instance->i_timelineposition;
      const float speed = instance->i_timelinespeed;
      if (speed == 0.0f) {
        PerformMoments(instance, index, line->FindAtOrAfter(instance->i_timelinepositionprevious),
                       line->FindAtOrAfter(start));
      } else if (speed > 0.0f) {
        PerformMoments(instance, index, line->FindAtOrAfter(start), line->FindAtOrAfter(start + speed));
        if (instance->i_timelineposition == start) instance->i_timelineposition = start + speed;
      } else {
        PerformMoments(instance, index, line->FindAtOrBefore(start), line->FindAtOrAfter(start + speed) - 1);
        if (instance->i_timelineposition == start) instance->i_timelineposition = start + speed;
      }
      instance->i_timelinepositionprevious = start;
      // The time line may have gone with the events.
      if (instance->i_timelineloop != 0 && (line = TimeLine_Data(index)) != nullptr && line->GetCount() > 0) {
        const float last = static_cast<float>(line->GetTime(line->GetCount() - 1));
        if (speed >= 0.0f && instance->i_timelineposition > last) instance->i_timelineposition = 0.0f;
        if (speed < 0.0f && instance->i_timelineposition < 0.0f) instance->i_timelineposition = last;
      }
    }
    instance = next;
  }
}

// Motion: for every instance of the active list, friction and gravity, then the path step (with
// the end-of-path event for instances older than the phase), then the move by hspeed and vspeed.
// Answers whether a physics world stepped instead: never, rooms step no world here.
bool HandleInstanceMovement() {
  ProfilerScope scope(kProfileHandleInstanceMovement);
  const int64_t stamp = Instance_TakeDispatchStamp();
  for (CInstance* instance = CurrentRoom->m_Active.first; instance != nullptr;) {
    CInstance* next = instance->i_next;
    instance->ApplyFrictionGravity();
    if (instance->PathStep() && instance->i_createstamp <= stamp) {
      PerformInstanceEvent(instance, instance, EVENT_OTHER, kOtherEndOfPath);
    }
    instance->SetPosition(static_cast<double>(instance->i_x) + instance->i_hspeed,
                          static_cast<double>(instance->i_y) + instance->i_vspeed);
    instance = next;
  }
  return false;
}

// An instance has a mask when its sprite or mask index names a sprite; its box is then brought up
// to date. Without one its position stands for it.
bool HasMask(CInstance* instance) {
  if (!Sprite_Exists(instance->i_spriteindex) && !Sprite_Exists(instance->i_maskindex)) return false;
  Instance_UpdateBoundingBox(instance);
  return true;
}

// A rectangle of room pixels, inclusive.
struct Area {
  double left, top, right, bottom;
  bool Holds(double x, double y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// Whether the instance's box (or position) lies wholly outside the area.
bool WhollyOutside(CInstance* instance, const Area& area) {
  if (!HasMask(instance)) return !area.Holds(instance->i_x, instance->i_y);
  const int32_t* b = instance->i_bbox;
  return b[2] < area.left || b[0] > area.right || b[3] < area.top || b[1] > area.bottom;
}

// Whether the instance's box (or position) is not wholly inside the area.
bool NotWhollyInside(CInstance* instance, const Area& area) {
  if (!HasMask(instance)) return !area.Holds(instance->i_x, instance->i_y);
  const int32_t* b = instance->i_bbox;
  return b[0] < area.left || b[2] > area.right || b[1] < area.top || b[3] > area.bottom;
}

// The outside-room event (once per exit, through the instance's was-outside byte), the
// intersect-boundary event (every step the instance is not wholly inside), then, with views
// enabled, the outside-view and boundary-view events of each visible view.
void HandleOther() {
  ProfilerScope scope(kProfileHandleOther);
  const Area room = {0.0, 0.0, static_cast<double>(CurrentRoom->m_Width), static_cast<double>(CurrentRoom->m_Height)};
  Event_WalkObjectList(EVENT_OTHER, kOtherOutside, Instance_TakeDispatchStamp(), [&room](CInstance* instance) {
    if (!WhollyOutside(instance, room)) {
      instance->i_wasoutside = 0;
    } else if (instance->i_wasoutside == 0) {
      PerformInstanceEvent(instance, instance, EVENT_OTHER, kOtherOutside);
      instance->i_wasoutside = 1;
    }
  });
  Event_WalkObjectList(EVENT_OTHER, kOtherBoundary, Instance_TakeDispatchStamp(), [&room](CInstance* instance) {
    if (NotWhollyInside(instance, room)) PerformInstanceEvent(instance, instance, EVENT_OTHER, kOtherBoundary);
  });
  if (CurrentRoom->m_ViewsEnabled == 0) return;
  // Each view's rectangle, its sides rounded to whole pixels.
  auto viewArea = [](const RoomView& v) {
    return Area{static_cast<double>(num::RoundInt32(v.xview)), static_cast<double>(num::RoundInt32(v.yview)),
                static_cast<double>(num::RoundInt32(static_cast<double>(v.xview) + v.wview)),
                static_cast<double>(num::RoundInt32(static_cast<double>(v.yview) + v.hview))};
  };
  const int64_t outsideStamp = Instance_TakeDispatchStamp();
  for (int32_t view = 0; view < kRoomViewCount; ++view) {
    if (CurrentRoom->m_Views[view].visible == 0) continue;
    const Area area = viewArea(CurrentRoom->m_Views[view]);
    Event_WalkObjectList(EVENT_OTHER, kOtherOutsideView + view, outsideStamp, [&area, view](CInstance* instance) {
      if (WhollyOutside(instance, area)) PerformInstanceEvent(instance, instance, EVENT_OTHER, kOtherOutsideView + view);
    });
  }
  const int64_t boundaryStamp = Instance_TakeDispatchStamp();
  for (int32_t view = 0; view < kRoomViewCount; ++view) {
    if (CurrentRoom->m_Views[view].visible == 0) continue;
    const Area area = viewArea(CurrentRoom->m_Views[view]);
    Event_WalkObjectList(EVENT_OTHER, kOtherBoundaryView + view, boundaryStamp, [&area, view](CInstance* instance) {
      if (NotWhollyInside(instance, area)) PerformInstanceEvent(instance, instance, EVENT_OTHER, kOtherBoundaryView + view);
    });
  }
}

// Both instances back to where they were before this step's motion, path positions included.
void MoveBack(CInstance* a, CInstance* b) {
  for (CInstance* instance : {a, b}) {
    instance->SetPosition(instance->i_xprevious, instance->i_yprevious);
    instance->i_pathposition = instance->i_pathpositionprevious;
  }
}

// One meeting of two colliding instances: solid ones go back first; both collision events run;
// then, when one is solid, both take their step again and go back once more if they still meet.
void Collide(CInstance* a, CInstance* b) {
  if (a->i_solid != 0 || b->i_solid != 0) MoveBack(a, b);
  PerformInstanceEvent(a, b, EVENT_COLLISION, b->i_objindex);
  PerformInstanceEvent(b, a, EVENT_COLLISION, a->i_objindex);
  if (a->i_solid == 0 && b->i_solid == 0) return;
  for (CInstance* instance : {a, b}) {
    instance->PathStep();
    instance->SetPosition(static_cast<double>(instance->i_x) + instance->i_hspeed,
                          static_cast<double>(instance->i_y) + instance->i_vspeed);
  }
  if (Collision_Instance(a, b, true)) MoveBack(a, b);
}

// The collision events: for each pair (A, B) of objects, in the pairs' order, every live instance
// of A against every live instance of B that it meets precisely.
void HandleCollision() {
  ProfilerScope scope(kProfileHandleCollision);
  // The pairs as they stand: events that rebuild them do not disturb the walk.
  const std::vector<CollisionPair> pairs(CollisionPairs.pairs, CollisionPairs.pairs + CollisionPairs.count);
  for (const CollisionPair& pair : pairs) {
    CObject* first = Object_Find(pair.first);
    if (first == nullptr || first->m_Instances.First() == nullptr) continue;
    const int64_t stamp = Instance_TakeDispatchStamp();
    auto takesPart = [stamp](const CInstance* instance) {
      return instance->IsLive() && instance->i_createstamp <= stamp;
    };
    for (auto* node = first->m_Instances.First(); node != nullptr;) {
      auto* next = node->next;
      CInstance* a = node->item;
      CObject* second = Object_Find(pair.second);
      if (takesPart(a) && second != nullptr) {
        for (auto* other = second->m_Instances.First(); other != nullptr;) {
          auto* otherNext = other->next;
          CInstance* b = other->item;
          if (takesPart(b) && takesPart(a) && Collision_Instance(a, b, true)) {
            Collide(a, b);
            if (Object_Find(pair.second) != second || Object_Find(pair.first) != first) break;
          }
          other = otherNext;
        }
      }
      if (Object_Find(pair.first) != first) break;
      node = next;
    }
  }
}

}  // namespace

void UpdateActiveLists() {
  if (RelinkQueue.Count() > 0) {
    for (int32_t i = 0; i < RelinkQueue.Count(); ++i) RelinkQueue.Get(i)->Relink();
    RelinkQueue.Reset();
  }
  if (DepthChangeQueue.Count() > 0) {
    if (CurrentRoom != nullptr) {
      // Removing clears an instance's list, so the ones taken out are remembered to go back in.
      std::vector<CInstance*> moved;
      for (int32_t i = 0; i < DepthChangeQueue.Count(); ++i) {
        CInstance* instance = DepthChangeQueue.Get(i);
        if (instance->i_deactivated == 0 && instance->i_list == &CurrentRoom->m_Active) {
          CurrentRoom->m_Active.Remove(instance);
          moved.push_back(instance);
        }
      }
      for (CInstance* instance : moved) CurrentRoom->m_Active.Insert(instance);
    }
    DepthChangeQueue.Reset();
  }
  if (ActivationChangeList.Count() > 0) {
    if (CurrentRoom != nullptr) CurrentRoom->UpdateDeactivated();
    ActivationChangeList.Reset();
  }
}

void EnterMainLoop() {
  const int64_t now = Timing_GetMicroseconds();
  g_FrameLoop.lastWake = now;
  g_FrameLoop.fpsBase = now;
  g_FrameLoop.fps = 0;
  g_FrameLoop.frameCounter = 0;
  PumpMessages();
  DebugConsole->Output("**********************************.\n");
  DebugConsole->Output("Entering main loop.\n");
  DebugConsole->Output("**********************************.\n");
  MemoryManager::EnterMainLoop(-1, "Current Memory Stats");
  g_FrameLoop.stepTimeBase = Timing_GetMicroseconds();
}

void RunMainTick() {
  FrameLoopState& f = g_FrameLoop;
  const int64_t now = Timing_GetMicroseconds();
  if (now < f.lastWake) f.lastWake = now;
  int32_t speed = 60;
  if (CurrentRoom != nullptr) {
    if (CurrentRoom->m_Speed <= 0) CurrentRoom->m_Speed = 1;
    speed = CurrentRoom->m_Speed;
  }
  const int64_t elapsed = now - f.lastWake;
  long double exact = 1000000.0L / speed - static_cast<long double>(elapsed);
  if (exact < 0) exact = 0;
  if (exact > 1000000.0L) exact = 1000000.0L;
  float narrowed = static_cast<float>(static_cast<int64_t>(exact));
  if (narrowed > 1000000.0f) narrowed = 1000000.0f;
  const int64_t wait = static_cast<int64_t>(narrowed);
  if (f.sleepOption) Timing_Wait(wait);
  if (!Run_IsRunning()) return;
  f.lastWake = now + wait;

  if (f.lastWake < f.fpsBase) f.fpsBase = f.lastWake;
  if (f.lastWake / 1000000 > f.fpsBase / 1000000) {
    f.fps = f.frameCounter;
    f.frameCounter = 0;
    f.fpsBase = f.lastWake;
  }
  ++f.frameCounter;

  if (!f.debuggerPaused) {
    if (f.resizeCountdown > 1) {
      GR_ApplyWindowSize();
      --f.resizeCountdown;
    } else if (f.resizeCountdown == 1) {
      GR_D3D_Reset();
      f.resizeCountdown = 0;
    }
    GR_D3D_Start_Frame();
    RunFrameStep();
    GR_D3D_Finish_Frame(Run_GetNewRoom() < 0 && g_RenderStates.drawEvents);
    if (Run_GameSwitchPending()) Run_SetNewRoom(kNewRoomQuit);
    ++f.framesRun;
    const int32_t code = Run_GetNewRoom();
    if (code == kNewRoomEndGame || code == kNewRoomQuit) {
      Run_SetRunning(false);
      return;
    }
    if (code == kNewRoomRestart) {
      EndGame();
      StartGame();
    } else if (code != kNewRoomNone) {
      GotoRoom(code);
    }
    if (f.frameLimit > 0 && f.framesRun >= f.frameLimit) {
      Run_SetRunning(false);
      return;
    }
  }
  DebuggerFrame();
}

void RunFrameStep() {
  if (CurrentRoom == nullptr) return;
  FrameLoopState& f = g_FrameLoop;
  const int64_t now = Timing_GetMicroseconds();
  f.deltaTime = now - f.stepTimeBase;
  f.stepTimeBase = now;
  IO_StartStep();
  if (g_Options.freezeWhenInactive && !OS_Window().isActive()) return;

  bool anyPath = false;
  const bool anyTimeLine = Animate(&anyPath);
  HandleStep(kStepBegin);
  if (PhaseEnds()) return;
  if (anyTimeLine) {
    HandleTimeLines();
    if (PhaseEnds()) return;
  }
  HandleAlarm();
  if (PhaseEnds()) return;
  DispatchKeyboardEvents();
  if (PhaseEnds()) return;
  HandleMouse();
  if (PhaseEnds()) return;
  HandleStep(kStepNormal);
  if (PhaseEnds()) return;
  const bool physicsStepped = HandleInstanceMovement();
  if (PhaseEnds()) return;
  HandleOther();
  if (PhaseEnds()) return;
  if (!physicsStepped) {
    HandleCollision();
    if (PhaseEnds()) return;
  }
  HandleStep(kStepEnd);
  if (PhaseEnds()) return;

  CurrentRoom->RemoveMarked();
  if (g_RenderStates.drawEvents) {
    DrawRoom();
    UpdateActiveLists();
  }
  CurrentRoom->ScrollBackgrounds();
  UpdateActiveLists();
  ++g_RoomRun.stepCounter;
}
