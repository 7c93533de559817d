// Instance queries and collision commands: which instances lie at a point, in a rectangle,
// ellipse or along a line, the nearest and furthest instance, counts and existence, free-place
// tests, and the moves into contact with, out of and off other instances.
//
// Target convention of an object argument `obj`: -3 every instance of the current room's active
// list in list order; from 100,000 the instance with that id; any other value an object index
// whose candidates are its descendant-instances list (none when no object has the index).
// Destroyed and deactivated candidates are skipped. -1 and -2 name no object here: the built-ins
// that take them for the caller and the other instance resolve them with Query_ResolveSelfOther
// first. The no-one answer of the built-ins is -4.
//
// Nothing here reports an error. Main thread only.
#pragma once

#include <cstdint>

#include "room/Instance_Select.h"

class CInstance;

constexpr int32_t kQueryNoOne = -4;
// The distance answer when there is no candidate.
constexpr float kQueryNoDistance = 1000000.0f;

// -1 becomes the id of `self`, -2 the id of `other` (each stays as it is when that instance is
// null, so it names nothing); every other value stays.
int32_t Query_ResolveSelfOther(int32_t obj, const CInstance* self, const CInstance* other);

// The candidates of `obj`, in order; the visitor answers whether the walk goes on, the walk
// whether it was not stopped.
template <typename Visit>
bool Query_WalkTarget(int32_t obj, Visit visit) {
  if (obj == kSelectAll) return Instance_WalkRoomLive(visit);
  if (obj >= kSelectFirstInstanceId) {
    CInstance* instance = Instance_FindLive(obj);
    return instance == nullptr || visit(instance);
  }
  if (obj < 0) return true;
  return Instance_WalkObjectLive(obj, SelectQueues::kNone, visit);
}

// The first candidate whose test succeeds, never `self` when notMe is set; null when none.
CInstance* Command_CollisionPoint(CInstance* self, float x, float y, int32_t obj, bool precise, bool notMe);
CInstance* Command_CollisionRectangle(CInstance* self, float x1, float y1, float x2, float y2, int32_t obj,
                                      bool precise, bool notMe);
// The ellipse inscribed in the rectangle.
CInstance* Command_CollisionEllipse(CInstance* self, float x1, float y1, float x2, float y2, int32_t obj,
                                    bool precise, bool notMe);
CInstance* Command_CollisionLine(CInstance* self, float x1, float y1, float x2, float y2, int32_t obj, bool precise,
                                 bool notMe);
// The first candidate whose mask covers the point (always precise).
CInstance* Command_InstancePosition(float x, float y, int32_t obj);
bool Command_PositionMeeting(float x, float y, int32_t obj);
// With `self` moved to (floor x, floor y) for the test: the first candidate that meets it.
CInstance* Command_InstancePlace(CInstance* self, double x, double y, int32_t obj);
bool Command_PlaceMeeting(CInstance* self, int32_t obj, double x, double y);
// Whether no solid (PlaceFree) or no (PlaceEmpty) live instance of the active list meets `self`
// moved to (x, y); `self` is put back afterwards (its box left dirty).
bool Command_PlaceFree(CInstance* self, double x, double y);
bool Command_PlaceEmpty(CInstance* self, double x, double y);

// By the squared distance from (x, y) to the candidates' positions; the first in list order wins
// a tie. Only -3 and object indices: an instance id gives null.
CInstance* Command_InstanceNearest(double x, double y, int32_t obj);
CInstance* Command_InstanceFurthest(double x, double y, int32_t obj);
// The live candidates; an object index also counts the live instances changed into exactly that
// object during this step (still in the relink queue).
int32_t Command_InstanceNumber(int32_t obj);
// Whether a live candidate exists: -1 the caller, -2 the other instance; an object index also
// looks at the live instances of exactly that object activated during this step.
bool Command_InstanceExists(CInstance* self, CInstance* other, int32_t obj);
// The n-th live candidate (from 0); an instance id only for n = 0. Null otherwise.
CInstance* Command_InstanceFind(int32_t obj, int32_t n);

// The distance between the bounding boxes of `candidate` and `self`; kQueryNoDistance when the
// candidate is null, is `self`, or is destroyed or deactivated.
float Instance_BoxDistance(CInstance* candidate, CInstance* self);
// The distance from (x, y) to the bounding box of `self` (0 inside it).
double Instance_PointDistance(CInstance* self, double x, double y);
// The smallest box distance to a candidate of `obj` (-2: the other instance); kQueryNoDistance
// when none.
float Command_DistanceToObject(CInstance* self, CInstance* other, int32_t obj);

// Moves one pixel at a time in `direction` (degrees) while the next place is free, at most the
// max distance rounded (1000 steps when it is 0 or below); nothing when the current place is not
// free. `all` tests against every instance, else against solid ones.
void Command_MoveContact(CInstance* self, double direction, double maxDistance, bool all);
// Moves one pixel at a time in `direction` while the place is not free, at most as many steps as
// Command_MoveContact; answers whether the final place is free.
bool Command_MoveOutside(CInstance* self, double direction, double maxDistance, bool all);
// Bounces off what the next step would meet: plainly by negating speeds, or (advanced) by
// probing directions around the current one.
void Command_MoveBounce(CInstance* self, bool advanced, bool all);
// Up to 100 tries of a random free place (snapped when a snap is above 0) that keeps the
// bounding box in the room.
void Command_MoveRandom(CInstance* self, int32_t hsnap, int32_t vsnap);
// Whether each coordinate with a snap above 0 lies within 0.001 of a multiple of it.
bool Command_PlaceSnapped(const CInstance* self, double hsnap, double vsnap);
