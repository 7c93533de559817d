#include "function/Function_Motion.h"

#include "base/ErrorSink.h"
#include "function/Function_Args.h"
#include "platform/Numeric.h"
#include "room/Instance_Class.h"
#include "room/Instance_Query.h"
#include "room/Room_Command.h"
#include "room/Room_Main.h"
#include "variable/ScriptValue.h"

namespace {

// The arguments of a call: reals, rounded, truncated, narrowed to float, or flags (0.5 and up).
struct Args : ArgList {
  Args(int32_t count, const ScriptValue* values) : ArgList{count, values} {}
  int32_t Trunc(int32_t i) const { return num::TruncInt32(Real(i)); }
};

// An instance answer: its id, or -4 for none.
void SetInstance(ScriptValue* result, const CInstance* instance) {
  SetReal(result, instance != nullptr ? instance->i_id : kQueryNoOne);
}

void SetBool(ScriptValue* result, bool value) { SetReal(result, value ? 1.0 : 0.0); }

// ---- Places and moves ----

void MoveRandom(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_MoveRandom(self, a.Int(0), a.Int(1));
}

void PlaceFree(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetBool(result, Command_PlaceFree(self, a.Real(0), a.Real(1)));
}

void PlaceEmpty(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetBool(result, Command_PlaceEmpty(self, a.Real(0), a.Real(1)));
}

void PlaceMeeting(ScriptValue* result, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  const int32_t obj = Query_ResolveSelfOther(a.Int(2), self, other);
  SetBool(result, Command_PlaceMeeting(self, obj, a.Real(0), a.Real(1)));
}

void PlaceSnapped(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetBool(result, Command_PlaceSnapped(self, a.Real(0), a.Real(1)));
}

void MoveSnap(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_MoveSnap(self, a.Single(0), a.Single(1));
}

void MoveTowardsPoint(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_MoveTowardsPoint(self, a.Single(0), a.Single(1), a.Single(2));
}

void MoveContact(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  if (self == nullptr) return;
  if (Command_PlaceFree(self, self->i_x, self->i_y)) {
    Command_MoveContact(self, a.Real(0), -1.0, false);
  } else {
    Command_MoveOutside(self, a.Real(0), -1.0, false);
  }
}

void MoveContactSolid(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_MoveContact(self, a.Real(0), a.Real(1), false);
}

void MoveContactAll(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_MoveContact(self, a.Real(0), a.Real(1), true);
}

void MoveOutsideSolid(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_MoveOutside(self, a.Real(0), a.Real(1), false);
}

void MoveOutsideAll(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_MoveOutside(self, a.Real(0), a.Real(1), true);
}

// move_bounce and move_bounce_solid.
void MoveBounceSolid(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_MoveBounce(self, a.Flag(0), false);
}

void MoveBounceAll(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_MoveBounce(self, a.Flag(0), true);
}

void MoveWrap(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_MoveWrapMargin(self, a.Flag(0), a.Flag(1), a.Single(2));
}

void MotionSet(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  if (self == nullptr) return;
  self->SetDirection(a.Real(0));
  self->SetSpeed(a.Real(1));
}

void MotionAdd(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  if (self != nullptr) self->AddMotion(a.Real(0), a.Real(1));
}

void DistanceToPoint(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetReal(result, Instance_PointDistance(self, a.Real(0), a.Real(1)));
}

void DistanceToObject(ScriptValue* result, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetReal(result, Command_DistanceToObject(self, other, a.Trunc(0)));
}

// ---- Paths ----

// An absolute start puts the instance on the path's first point (its last for a negative speed);
// a relative one leads it along the path from where it is.
void PathStart(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  if (self == nullptr) return;
  Instance_PathStart(self, a.Int(0), a.Real(1), 1.0, 0.0, !a.Flag(3), a.Int(2));
}

void PathEnd(ScriptValue*, CInstance* self, CInstance*, int32_t, ScriptValue*) {
  if (self != nullptr) Instance_PathStart(self, -1, 0.0, 1.0, 0.0, false, 0);
}

// ---- Collision and instance queries ----

void CollisionPoint(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetInstance(result, Command_CollisionPoint(self, a.Single(0), a.Single(1), a.Int(2), a.Flag(3), a.Flag(4)));
}

void CollisionRectangle(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetInstance(result, Command_CollisionRectangle(self, a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Int(4),
                                                 a.Flag(5), a.Flag(6)));
}

void CollisionCircle(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  const float x = a.Single(0), y = a.Single(1), r = a.Single(2);
  SetInstance(result, Command_CollisionEllipse(self, x - r, y - r, x + r, y + r, a.Int(3), a.Flag(4), a.Flag(5)));
}

void CollisionEllipse(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetInstance(result, Command_CollisionEllipse(self, a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Int(4),
                                               a.Flag(5), a.Flag(6)));
}

void CollisionLine(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetInstance(result, Command_CollisionLine(self, a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Int(4),
                                            a.Flag(5), a.Flag(6)));
}

void InstanceFind(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetInstance(result, Command_InstanceFind(a.Trunc(0), a.Trunc(1)));
}

void InstanceExists(ScriptValue* result, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetBool(result, Command_InstanceExists(self, other, a.Trunc(0)));
}

void InstanceNumber(ScriptValue* result, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  const int32_t obj = a.Int(0);
  if (obj == -1 || obj == -2) {
    const CInstance* instance = obj == -1 ? self : other;
    SetBool(result, instance != nullptr && instance->IsLive());
    return;
  }
  SetReal(result, Command_InstanceNumber(obj));
}

void InstancePosition(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetInstance(result, Command_InstancePosition(a.Single(0), a.Single(1), a.Trunc(2)));
}

void InstanceNearest(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetInstance(result, Command_InstanceNearest(a.Real(0), a.Real(1), a.Trunc(2)));
}

void InstanceFurthest(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetInstance(result, Command_InstanceFurthest(a.Real(0), a.Real(1), a.Trunc(2)));
}

void InstancePlace(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetInstance(result, Command_InstancePlace(self, a.Real(0), a.Real(1), a.Trunc(2)));
}

// ---- Instances ----

void InstanceCreate(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  for (int32_t i = 0; i < 3; ++i) {
    if (ArgValue(argc, args, i)->Kind() == VALUE_STRING) {
      ReportRuntimeError("instance_create( ) error: Illegal type", false);
      SetReal(result, -1.0);
      return;
    }
  }
  const Args a(argc, args);
  CInstance* instance = Command_CreateInstance(a.Trunc(2), a.Single(0), a.Single(1));
  SetReal(result, instance != nullptr ? instance->i_id : -1.0);
}

void InstanceCopy(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  CInstance* copy = Command_CopyInstance(self, a.Single(0) >= 0.5f);
  SetReal(result, copy != nullptr ? copy->i_id : 0.0);
}

void InstanceChange(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_ChangeInstance(self, a.Trunc(0), a.Single(1) >= 0.5f);
}

void InstanceDestroy(ScriptValue*, CInstance* self, CInstance*, int32_t, ScriptValue*) {
  Command_DestroyInstance(self);
}

void InstanceSprite(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_SetSprite(self, a.Trunc(0));
}

void PositionEmpty(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  SetBool(result, Command_InstancePosition(a.Single(0), a.Single(1), kSelectAll) == nullptr);
}

void PositionMeeting(ScriptValue* result, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  const int32_t obj = Query_ResolveSelfOther(a.Trunc(2), self, other);
  SetBool(result, Command_PositionMeeting(a.Single(0), a.Single(1), obj));
}

void PositionDestroy(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_PositionDestroy(a.Single(0), a.Single(1));
}

void PositionChange(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_PositionChange(a.Single(0), a.Single(1), a.Trunc(2), a.Single(3) >= 0.5f);
}

// ---- Deactivation and activation ----

void InstanceDeactivateAll(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_DeactivateAll(self, a.Flag(0));
}

void InstanceDeactivateObject(ScriptValue*, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_DeactivateObject(self, other, a.Int(0));
}

void InstanceDeactivateRegion(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_DeactivateRegion(self, a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Single(4) >= 0.5f,
                           a.Single(5) >= 0.5f);
}

void InstanceActivateAll(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) { Command_ActivateAll(); }

void InstanceActivateObject(ScriptValue*, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_ActivateObject(self, other, a.Int(0));
}

void InstanceActivateRegion(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_ActivateRegion(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Single(4) >= 0.5f);
}

// ---- Rooms and the game ----

void RoomGoto(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  Command_GotoRoom(a.Int(0));
}

void RoomGotoPrevious(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) { Command_PreviousRoom(); }

void RoomGotoNext(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) { Command_NextRoom(); }

void RoomPrevious(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  const int32_t room = a.Int(0);
  SetReal(result, Room_Exists(room) ? Room_Previous(room) : -1);
}

void RoomNext(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a(argc, args);
  const int32_t room = a.Int(0);
  SetReal(result, Room_Exists(room) ? Room_Next(room) : -1);
}

void RoomRestart(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) { Command_RestartRoom(); }

void GameEnd(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) { Command_EndGame(); }

void GameRestart(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) { Command_RestartGame(); }

// In registration order, which fixes the call numbers. The group's other families (motion
// planning, saved games, transitions, sleep, geometry) take their places between these.
const BuiltinSpec kMotionBuiltins[] = {
    {"move_random", MoveRandom, 2},
    {"place_free", PlaceFree, 2},
    {"place_empty", PlaceEmpty, 2},
    {"place_meeting", PlaceMeeting, 3},
    {"place_snapped", PlaceSnapped, 2},
    {"move_snap", MoveSnap, 2},
    {"move_towards_point", MoveTowardsPoint, 3},
    {"move_contact", MoveContact, 1},
    {"move_contact_solid", MoveContactSolid, 2},
    {"move_contact_all", MoveContactAll, 2},
    {"move_outside_solid", MoveOutsideSolid, 2},
    {"move_outside_all", MoveOutsideAll, 2},
    {"move_bounce", MoveBounceSolid, 1},
    {"move_bounce_solid", MoveBounceSolid, 1},
    {"move_bounce_all", MoveBounceAll, 1},
    {"move_wrap", MoveWrap, 3},
    {"motion_set", MotionSet, 2},
    {"motion_add", MotionAdd, 2},
    {"distance_to_point", DistanceToPoint, 2},
    {"distance_to_object", DistanceToObject, 1},
    {"path_start", PathStart, 4},
    {"path_end", PathEnd, 0},
    {"collision_point", CollisionPoint, 5},
    {"collision_rectangle", CollisionRectangle, 7},
    {"collision_circle", CollisionCircle, 6},
    {"collision_ellipse", CollisionEllipse, 7},
    {"collision_line", CollisionLine, 7},
    {"instance_find", InstanceFind, 2},
    {"instance_exists", InstanceExists, 1},
    {"instance_number", InstanceNumber, 1},
    {"instance_position", InstancePosition, 3},
    {"instance_nearest", InstanceNearest, 3},
    {"instance_furthest", InstanceFurthest, 3},
    {"instance_place", InstancePlace, 3},
    {"instance_create", InstanceCreate, 3},
    {"instance_copy", InstanceCopy, 1},
    {"instance_change", InstanceChange, 2},
    {"instance_destroy", InstanceDestroy, 0},
    {"instance_sprite", InstanceSprite, 1},
    {"position_empty", PositionEmpty, 2},
    {"position_meeting", PositionMeeting, 3},
    {"position_destroy", PositionDestroy, 2},
    {"position_change", PositionChange, 4},
    {"instance_deactivate_all", InstanceDeactivateAll, 1},
    {"instance_deactivate_object", InstanceDeactivateObject, 1},
    {"instance_deactivate_region", InstanceDeactivateRegion, 6},
    {"instance_activate_all", InstanceActivateAll, 0},
    {"instance_activate_object", InstanceActivateObject, 1},
    {"instance_activate_region", InstanceActivateRegion, 5},
    {"room_goto", RoomGoto, 1},
    {"room_goto_previous", RoomGotoPrevious, 0},
    {"room_goto_next", RoomGotoNext, 0},
    {"room_previous", RoomPrevious, 1},
    {"room_next", RoomNext, 1},
    {"room_restart", RoomRestart, 0},
    {"game_end", GameEnd, 0},
    {"game_restart", GameRestart, 0},
};

}  // namespace

void RegisterMotionFunctions() { RegisterBuiltinTable(kMotionBuiltins); }
