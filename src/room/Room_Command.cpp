#include "room/Room_Command.h"

#include <cinttypes>
#include <cstdio>

#include "base/ErrorSink.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Support.h"
#include "object/Object_Class.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "room/Event_Dispatch.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "room/Room_Main.h"
#include "room/Room_Run.h"
#include "run/Run_Global.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"

namespace {

constexpr int32_t kEventCreate = 0;
constexpr int32_t kEventDestroy = 1;

void ReportNumber(const char* prefix, int32_t number, bool fatal) {
  ReportRuntimeError(Command_NumberMessage(prefix, number).c_str(), fatal);
}

// A fatal room request error: reported, and the game is asked to quit.
void RoomRequestFailed(const char* message) {
  ReportRuntimeError(message, true);
  Run_SetNewRoom(kNewRoomQuit);
}

// ---- Activation ----

void SetDeactivated(CInstance* instance, bool deactivated) {
  instance->i_deactivated = deactivated ? 1 : 0;
  ActivationChangeList.Add(instance);
}

// Every instance of both lists of the current room (changes are deferred, so either list may hold
// instances of either state); the next one is taken before the visit.
template <typename Visit>
void WalkBothLists(Visit visit) {
  if (CurrentRoom == nullptr) return;
  for (ActiveList* list : {&CurrentRoom->m_Active, &CurrentRoom->m_Deactivated}) {
    for (CInstance* instance = list->first; instance != nullptr;) {
      CInstance* const next = instance->i_next;
      visit(instance);
      instance = next;
    }
  }
}

bool IsOfObject(const CInstance* instance, int32_t objectIndex) {
  return instance->i_objindex == objectIndex ||
         (instance->i_object != nullptr && instance->i_object->HasAncestor(objectIndex));
}

// Sets every not destroyed instance whose flag is `!deactivated` and that `select` accepts to
// `deactivated`.
template <typename Select>
void ChangeMatching(bool deactivated, Select select) {
  WalkBothLists([&](CInstance* instance) {
    if (instance->i_marked != 0 || (instance->i_deactivated != 0) == deactivated) return;
    if (select(instance)) SetDeactivated(instance, deactivated);
  });
}

void ChangeTarget(CInstance* self, CInstance* other, int32_t target, bool deactivated) {
  const bool objectChecked = deactivated;
  switch (target) {
    case -1:
    case -2: {
      CInstance* instance = target == -1 ? self : other;
      if (instance != nullptr && instance->i_marked == 0) SetDeactivated(instance, deactivated);
      return;
    }
    case -3:
      ChangeMatching(deactivated, [](CInstance*) { return true; });
      return;
    default:
      break;
  }
  if (target >= 100000) {
    CInstance* instance = Instance_Find(target);
    if (instance != nullptr && instance->i_marked == 0 && (instance->i_deactivated != 0) != deactivated) {
      SetDeactivated(instance, deactivated);
    }
    return;
  }
  if (objectChecked && !Object_Exists(target)) return;
  ChangeMatching(deactivated, [target](CInstance* instance) { return IsOfObject(instance, target); });
}

// Whether the instance lies wholly outside the region: by its bounding box when it has a sprite
// or a mask sprite, else by its position.
bool OutsideRegion(CInstance* instance, float left, float top, float right, float bottom) {
  if (Sprite_Exists(instance->i_spriteindex) || Sprite_Exists(instance->i_maskindex)) {
    Instance_UpdateBoundingBox(instance);
    const int32_t* box = instance->i_bbox;
    return left > box[2] || box[0] > right || top > box[3] || box[1] > bottom;
  }
  return left > instance->i_x || instance->i_x > right || top > instance->i_y || instance->i_y > bottom;
}

void ChangeRegion(float left, float top, float width, float height, bool inside, bool deactivated) {
  const float right = left + width;
  const float bottom = top + height;
  ChangeMatching(deactivated, [&](CInstance* instance) {
    return OutsideRegion(instance, left, top, right, bottom) != inside;
  });
}

// One coordinate of the margin wrap.
float WrapMargin(float v, float size, float m) {
  if (v < -m) v = size + v + 2 * m;
  if (v > size + m) v = v - size - 2 * m;
  return v;
}

}  // namespace

std::string Command_NumberMessage(const char* prefix, int32_t number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%" PRId32, number);
  return std::string(prefix != nullptr ? prefix : "") + digits;
}

// ---- Instances ----

CInstance* Command_CreateInstance(int32_t objectIndex, float x, float y) {
  if (!Object_Exists(objectIndex) || CurrentRoom == nullptr) {
    ReportNumber("Creating instance for non-existing object: ", objectIndex, false);
    return nullptr;
  }
  CInstance* instance = CurrentRoom->AddInstance(x, y, objectIndex);
  PerformInstanceEvent(instance, instance, kEventCreate, 0);
  return instance;
}

void Command_DestroyInstance(CInstance* instance) {
  if (instance == nullptr || instance->i_destroydone != 0) return;
  instance->i_destroydone = 1;
  PerformInstanceEvent(instance, instance, kEventDestroy, 0);
  instance->i_marked = 1;
}

void Command_ChangeInstance(CInstance* instance, int32_t objectIndex, bool perform) {
  if (!Object_Exists(objectIndex)) {
    ReportNumber("Asking to change into non-existing object: ", objectIndex, false);
    return;
  }
  if (instance == nullptr || objectIndex == instance->i_objindex) return;
  if (perform && instance->i_destroydone == 0) PerformInstanceEvent(instance, instance, kEventDestroy, 0);
  instance->ChangeObject(objectIndex);
  if (perform) PerformInstanceEvent(instance, instance, kEventCreate, 0);
}

void Command_SetSprite(CInstance* instance, int32_t sprite) {
  if (!Sprite_Exists(sprite)) {
    ReportNumber("Setting instance to non-existing sprite: ", sprite, false);
    return;
  }
  if (instance != nullptr) instance->SetSpriteIndex(sprite);
}

CInstance* Command_CopyInstance(CInstance* self, bool perform) {
  if (self == nullptr || CurrentRoom == nullptr) return nullptr;
  CInstance* copy = CurrentRoom->AddInstance(self->i_x, self->i_y, self->i_objindex);
  const int32_t id = copy->i_id;
  copy->Copy(self, true);
  copy->i_id = id;
  DepthChangeQueue.Add(copy);
  if (perform) PerformInstanceEvent(copy, copy, kEventCreate, 0);
  return copy;
}

void Command_PositionDestroy(float x, float y) {
  if (CurrentRoom == nullptr) return;
  for (CInstance* instance = CurrentRoom->m_Active.first; instance != nullptr;) {
    CInstance* const next = instance->i_next;
    if (instance->IsLive() && instance->i_destroydone == 0 && instance->CollidePoint(x, y, true)) {
      Command_DestroyInstance(instance);
    }
    instance = next;
  }
}

void Command_PositionChange(float x, float y, int32_t objectIndex, bool perform) {
  if (!Object_Exists(objectIndex)) {
    ReportNumber("Asking to change into non-existing object: ", objectIndex, false);
    return;
  }
  if (CurrentRoom == nullptr) return;
  for (CInstance* instance = CurrentRoom->m_Active.first; instance != nullptr;) {
    CInstance* const next = instance->i_next;
    if (instance->IsLive() && instance->CollidePoint(x, y, true)) Command_ChangeInstance(instance, objectIndex, perform);
    instance = next;
  }
}

// ---- Room and game requests ----

void Command_GotoRoom(int32_t room) {
  Run_SetNewRoom(room);
  g_RoomRun.transitionKind = 0;
  if (!Room_Exists(room)) RoomRequestFailed(Command_NumberMessage("Unexisting room number: ", room).c_str());
}

void Command_RestartRoom() { Command_GotoRoom(g_RoomRun.currentIndex); }

void Command_PreviousRoom() {
  if (g_RoomRun.currentIndex == Room_First()) {
    RoomRequestFailed("Moving to previous room before the first room.");
    return;
  }
  Command_GotoRoom(Room_Previous(g_RoomRun.currentIndex));
}

void Command_NextRoom() {
  if (g_RoomRun.currentIndex == Room_Last()) {
    RoomRequestFailed("Moving to next room after the last room.");
    return;
  }
  Command_GotoRoom(Room_Next(g_RoomRun.currentIndex));
}

void Command_EndGame() { Run_SetNewRoom(kNewRoomEndGame); }

void RequestGameEnd() { Command_EndGame(); }

void Command_RestartGame() { Run_SetNewRoom(kNewRoomRestart); }

// ---- Moves ----

void Command_MoveSnap(CInstance* instance, float hsnap, float vsnap) {
  if (instance == nullptr) return;
  float x = instance->i_x;
  float y = instance->i_y;
  if (hsnap > 0) x = num::ToFloat(num::RoundHalfEven(static_cast<double>(x) / hsnap) * hsnap);
  if (vsnap > 0) y = num::ToFloat(num::RoundHalfEven(static_cast<double>(y) / vsnap) * vsnap);
  instance->SetPosition(x, y);
}

void Command_MoveWrap(CInstance* instance, bool horizontal, bool vertical) {
  if (instance == nullptr || CurrentRoom == nullptr) return;
  float w = 0.0f, h = 0.0f;
  if (const CSprite* sprite = Sprite_Data(instance->i_spriteindex)) {
    w = static_cast<float>(sprite->m_width) * instance->i_imagescalex;
    h = static_cast<float>(sprite->m_height) * instance->i_imagescaley;
  }
  const float W = static_cast<float>(CurrentRoom->m_Width);
  const float H = static_cast<float>(CurrentRoom->m_Height);
  float x = instance->i_x;
  float y = instance->i_y;
  if (horizontal) {
    if (instance->i_hspeed < 0 && x < 0) x = W + x + w;
    if (instance->i_hspeed > 0 && x >= W) x = x - W - w;
  }
  if (vertical) {
    if (instance->i_vspeed < 0 && y < 0) y = H + y + h;
    if (instance->i_vspeed > 0 && y >= H) y = y - H - h;
  }
  instance->SetPosition(x, y);
}

void Command_MoveWrapMargin(CInstance* instance, bool horizontal, bool vertical, float margin) {
  if (instance == nullptr || CurrentRoom == nullptr) return;
  float x = instance->i_x;
  float y = instance->i_y;
  if (horizontal) x = WrapMargin(x, static_cast<float>(CurrentRoom->m_Width), margin);
  if (vertical) y = WrapMargin(y, static_cast<float>(CurrentRoom->m_Height), margin);
  instance->SetPosition(x, y);
}

void Command_MoveTowardsPoint(CInstance* instance, float x, float y, float speed) {
  if (instance == nullptr) return;
  instance->SetHSpeed(x - instance->i_x);
  instance->SetVSpeed(y - instance->i_y);
  instance->SetSpeed(speed);
}

// ---- Screen ----

void Command_SaveScreen(const char* name) {
  if (name == nullptr || name[0] == '\0') {
    ReportRuntimeError("Trying to save screen to empty image file name.", false);
    return;
  }
  int32_t width = g_GraphicsDevice.clientWidth;
  int32_t height = g_GraphicsDevice.clientHeight;
  uint8_t* pixels = ReadSurfacePixels(width, height, 0, 0, &width, &height);
  if (pixels == nullptr) return;
  SwapRedBlue(pixels, width, height);
  write_png_file(name, pixels, width, height);
  MemoryManager::Free(pixels);
}

// ---- Deactivation and activation ----

void Command_DeactivateAll(CInstance* self, bool notMe) {
  ChangeMatching(true, [](CInstance*) { return true; });
  if (notMe && self != nullptr && self->i_marked == 0) SetDeactivated(self, false);
}

void Command_DeactivateObject(CInstance* self, CInstance* other, int32_t target) {
  ChangeTarget(self, other, target, true);
}

void Command_ActivateAll() { ChangeMatching(false, [](CInstance*) { return true; }); }

void Command_ActivateObject(CInstance* self, CInstance* other, int32_t target) {
  ChangeTarget(self, other, target, false);
}

void Command_DeactivateRegion(CInstance* self, float left, float top, float width, float height, bool inside,
                              bool notMe) {
  ChangeRegion(left, top, width, height, inside, true);
  if (notMe && self != nullptr && self->i_marked == 0 && self->i_deactivated != 0) SetDeactivated(self, false);
}

void Command_ActivateRegion(float left, float top, float width, float height, bool inside) {
  ChangeRegion(left, top, width, height, inside, false);
}
