// Instances: one running copy of an object, with its position, motion, sprite and image state,
// alarms, path and time-line state, depth, flags and script variables.
//
// Ownership: an instance belongs to exactly one holder: a room list (the depth-sorted active list
// or the deactivated list, threaded through i_next / i_prev; i_list names it), the array of
// persistent instances carried to the next room, or the scope of the code that made a scratch
// instance outside any room. Every instance of a room is also entered in the global id map.
// Other places refer to an instance without owning it: its object's instance lists, the three
// pending-change queues and the current drawing instance. Instance_Delete is the one way an
// instance leaves the world: it takes it out of every one of those places and deletes it.
//
// Object and depth changes made while a step runs are deferred: ChangeObject queues the instance
// for a relink and a depth change, a depth assignment queues a depth change, and activation
// changes are queued too; the frame step applies the queues between event phases.
//
// Creation stamp: every new instance stores the value of one 64-bit creation counter. A dispatch
// over instances takes a value with Instance_TakeDispatchStamp and skips instances whose stamp is
// greater, so instances created while it runs wait for the next one.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <limits>
#include <unordered_set>
#include <vector>

#include "platform/Hash.h"

class CCode;
class CObject;
class CPhysicsObject;
class CRoom;
class CSkeletonInstance;
class CSprite;
class CVariableList;
struct ActiveList;

constexpr int32_t kAlarmCount = 12;

class CInstance {
 public:
  // An instance of object `objectIndex` at (x, y) with the given id, the creation counter's value
  // as its stamp and an empty variable list. Every field takes its default, then the object is
  // bound with SetObject (joining the object's instance lists when `link` is set).
  CInstance(float x, float y, int32_t id, int32_t objectIndex, bool link);
  // Leaves its object's instance lists (also those of the object it had before a pending object
  // change), destroys its physics body and releases its variables and skeleton. The room list,
  // the id map and the queues are Instance_Delete's to leave first.
  ~CInstance();
  CInstance(const CInstance&) = delete;
  CInstance& operator=(const CInstance&) = delete;

  // Binds the instance to an object: it leaves the current object's lists and stores the index
  // (-1 is stored as 0). An index that names no object makes i_object null and changes nothing
  // else. Otherwise the instance joins the object's lists when `link` is set, and takes the
  // object's mask, depth, solid, visible and persistent flags and its sprite (SetSpriteIndex).
  void SetObject(int32_t objectIndex, bool link);
  // Sets the sprite. With an existing sprite the frame count is the sprite's and the skeleton
  // state is made again for a skeleton sprite; with none the frame count is 0. The image index
  // goes back to 0 when its integer part (toward zero) is not below the frame count.
  void SetSpriteIndex(int32_t sprite);
  // The skeleton state, made on first use when the sprite is a skeleton sprite with skeleton
  // data; null when there is none.
  CSkeletonInstance* GetSkeleton();
  // The number of images: 0 without a sprite, the frame count of an ordinary sprite, and for a
  // skeleton sprite the current animation's duration times the current room's speed (30 without
  // a room) plus one half, toward zero.
  int32_t GetImageNumber();

  // Starts a change of object that Relink completes: the instance is queued for a relink, keeps
  // the object it has now in i_previousobject (unless a change is already pending) and takes the
  // new index. When the new object exists it takes its mask, depth, flags and sprite, is queued
  // for a depth change, and its physics body is made again for the new object in the current
  // room. It stays in the old object's lists until the relink.
  void ChangeObject(int32_t objectIndex);
  // Completes a pending change: leaves the lists of the object it had before the first change,
  // joins its current object's lists and, unless deactivated, moves to its new depth in the
  // current room's active list (only when that list holds it).
  void Relink();
  // Makes this instance a copy of `source` (instance_copy, room copies, carried instances): it
  // leaves its object's lists, clears i_carriedover, then copies the id, the sprite and image
  // state, depth, precise flag, position and motion, the bounding box and its dirty flag, the
  // visible, solid and persistent flags, the object (joining its lists when `link` is set), the
  // alarms, the variables (values duplicated), the marked and deactivated flags, the path state
  // except its start point, the time-line state, the creation code, i_wasoutside and a fresh copy
  // of the source's skeleton state. The creation stamp, i_destroydone, i_createdone, the physics
  // body, a pending object change, the list links and the sort depth stay this instance's own.
  void Copy(const CInstance* source, bool link);

  // Gives the instance the body its object describes, in `room`'s physics world: nothing unless
  // the object has physics on, the sprite exists and the room has a world. A circle needs two
  // shape points and a polygon three that span an area: with fewer the error is shown
  // ("Corrupt shape data for <object>\n", not fatal, for a circle) and no body is built.
  void BuildPhysicsBody(CRoom* room);
  // Destroys the body, if any, and builds it again.
  void RebuildPhysicsBody(CRoom* room);

  // ---- Geometry and motion (Instance_Motion.cpp) ----
  // Angles are degrees, counter-clockwise with y pointing down. Values are computed in double and
  // narrowed to the float fields.

  // Set the fields and mark the bounding box dirty when a value changed.
  void SetPosition(double x, double y);
  void SetMaskIndex(int32_t index);
  void SetImageXScale(double scale);
  void SetImageYScale(double scale);
  void SetImageAngle(double angle);
  // Stores the direction reduced modulo 360 into 0..360 by one remainder (a negative remainder
  // comes up by 360), so a huge value costs nothing and NaN stays NaN; then recomputes hspeed and
  // vspeed (Instance_ComputeHVSpeed).
  void SetDirection(double direction);
  // When the value changed: stores it, then recomputes hspeed and vspeed.
  void SetSpeed(double speed);
  // When the value changed: stores it, then recomputes speed and direction.
  void SetHSpeed(double hspeed);
  void SetVSpeed(double vspeed);
  // hspeed += speed cos(direction), vspeed -= speed sin(direction), then speed and direction are
  // recomputed (motion_add, gravity).
  void AddMotion(double direction, double speed);
  // Alarm `index` for 0 <= index < kAlarmCount; any other index reads -1 and is not written.
  int32_t GetAlarm(int32_t index) const;
  void SetAlarm(int32_t index, int32_t value);
  // Clamp into 0..1 (NaN becomes 0) and store.
  void SetPathPosition(double position);
  void SetPathPositionPrevious(double position);
  // Stores the path speed as given.
  void SetPathSpeed(double speed);
  // One step of friction (speed moves toward 0 by it, stopping at 0 rather than changing sign),
  // then of gravity (AddMotion in the gravity direction).
  void ApplyFrictionGravity();
  // Advances along the path by path speed x the point speed at the position / (100 x scale) /
  // the path's length (nothing with a scale of 0), applies the end action when the position
  // leaves 0..1 and moves to the point at the new position, leaving hspeed, vspeed and speed 0
  // and the direction at the heading just travelled. True when the end was reached with a
  // non-zero path speed; false, changing nothing, without a path of positive length.
  bool PathStep();

  // ---- Collision tests (Instance_Collision.cpp) ----
  // Each test first brings the bounding box up to date (Instance_UpdateBoundingBox). Rough
  // tests compare boxes only; precise ones ask the collision sprite's masks (or the skeleton).

  // Whether the point lies in the box (left <= px < right + 1, top <= py < bottom + 1) of an
  // unmarked instance whose collision sprite has frames; precisely, the mask at (floor px,
  // floor py) when the collision sprite is precise.
  bool CollidePoint(double px, double py, bool precise);
  // Whether the ellipse inscribed in the rectangle meets the instance.
  bool CollideEllipse(double x1, double y1, double x2, double y2, bool precise);
  // Whether the segment meets the instance.
  bool CollideLine(double x1, double y1, double x2, double y2, bool precise);

  // Whether the instance takes part in the world: neither destroyed (waiting for removal) nor
  // deactivated. Selectors, with blocks and variable access reach only live instances.
  bool IsLive() const { return i_marked == 0 && i_deactivated == 0; }

  uint8_t i_bboxdirty = 1;     // bounding box must be recomputed before use
  uint8_t i_visible = 0;
  uint8_t i_solid = 0;
  uint8_t i_persistent = 0;
  uint8_t i_marked = 0;        // destroyed, waiting for removal from its room
  uint8_t i_deactivated = 0;   // to be (or already) held in the room's deactivated list
  uint8_t i_destroydone = 0;   // the destroy event was performed (it runs at most once)
  uint8_t i_carriedover = 0;   // a persistent instance re-created in a new room
  uint8_t i_createdone = 0;    // the create event was performed
  int64_t i_createstamp = 0;   // the creation counter when the instance was made
  int32_t i_id = 0;
  int32_t i_objindex = 0;
  CObject* i_object = nullptr;
  CPhysicsObject* i_physicsobject = nullptr;  // owned
  CSkeletonInstance* i_skeleton = nullptr;    // owned
  int32_t i_spriteindex = -1;
  float i_imageindex = 0.0f;
  float i_imagespeed = 1.0f;
  float i_imagescalex = 1.0f;
  float i_imagescaley = 1.0f;
  float i_imageangle = 0.0f;
  float i_imagealpha = 1.0f;
  int32_t i_imageblend = 0xFFFFFF;
  int32_t i_maskindex = -1;
  uint8_t i_precise = 0;
  float i_x = 0.0f;
  float i_y = 0.0f;
  float i_xstart = 0.0f;
  float i_ystart = 0.0f;
  float i_xprevious = 0.0f;
  float i_yprevious = 0.0f;
  float i_direction = 0.0f;
  float i_speed = 0.0f;
  float i_friction = 0.0f;
  float i_gravitydir = 270.0f;
  float i_gravity = 0.0f;
  float i_hspeed = 0.0f;
  float i_vspeed = 0.0f;
  CInstance* i_next = nullptr;  // links of the room list that holds the instance
  CInstance* i_prev = nullptr;
  ActiveList* i_list = nullptr;  // the room list that holds the instance, null when none
  float i_depth = 0.0f;
  float i_sortdepth = 0.0f;  // the depth the instance had when last inserted into an active list
  int32_t i_timelineindex = -1;
  float i_timelinepositionprevious = 0.0f;
  float i_timelineposition = 0.0f;
  float i_timelinespeed = 1.0f;
  uint8_t i_timelinerunning = 0;
  uint8_t i_timelineloop = 0;
  uint8_t i_wasoutside = 0;  // outside the room at the last outside check
  int32_t i_pathindex = -1;
  float i_pathposition = 0.0f;
  float i_pathpositionprevious = 0.0f;
  float i_pathspeed = 0.0f;
  float i_pathscale = 1.0f;
  float i_pathorientation = 0.0f;
  int32_t i_pathend = 0;  // 0 stop, 1 restart, 2 continue, 3 reverse
  float i_pathxstart = 0.0f;
  float i_pathystart = 0.0f;
  // What every frame reads of each instance lies above, within its first few cache lines; what
  // lies below is read by fewer phases.
  int32_t i_bbox[4] = {0, 0, 0, 0};  // left, top, right, bottom (inclusive)
  int32_t i_timer[kAlarmCount] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  CVariableList* i_variables = nullptr;  // owned
  CCode* i_creationcode = nullptr;       // from the room's instance definition, not owned
  CObject* i_previousobject = nullptr;   // the object before a pending object change

 private:
  // Mask, depth, the solid, visible and persistent flags and the sprite from i_object.
  void TakeObjectDefaults();
  void LeaveObjectLists();
  void DestroyPhysicsBody();
};

// A room's instance list: the active list is kept in ascending i_sortdepth from first to last;
// the deactivated list uses the same links in the order instances were appended. An instance is
// in at most one list at a time.
struct ActiveList {
  CInstance* first = nullptr;
  CInstance* last = nullptr;
  int32_t count = 0;
  // No instance in the list has a sort depth above this (it may be above them all): an instance
  // inserted at this depth or deeper goes at the end without a walk.
  float depthBound = -std::numeric_limits<float>::infinity();

  // Inserts by i_depth, after every instance of the same sort depth, and records the depth used
  // as i_sortdepth.
  void Insert(CInstance* instance);
  // Adds the instance at the end, whatever its depth.
  void Append(CInstance* instance);
  // Links the neighbours to each other; the instance's own links are left as they were. An
  // instance this list does not hold is left alone.
  void Remove(CInstance* instance);
};

// A queue of instances waiting for a deferred change, each at most once, in the order they were
// first added.
class InstanceQueue {
 public:
  // The instance's position: its old one when it is already queued, else the new last one.
  int32_t Add(CInstance* instance);
  // The instance at `index`, null outside the queue.
  CInstance* Get(int32_t index) const;
  int32_t Count() const { return static_cast<int32_t>(m_items.size()); }
  bool Contains(CInstance* instance) const { return m_members.count(instance) != 0; }
  // Takes the instance out, keeping the order of the others; false when it was not queued.
  bool Remove(CInstance* instance);
  // Empties the queue.
  void Reset();

 private:
  std::vector<CInstance*> m_items;
  std::unordered_set<CInstance*> m_members;
};

// ---- The instances of the world ----

// Instance id -> instance, 512 buckets by id AND 511, each a chain in insertion order. Holds
// every instance of a room; removing an entry never deletes the instance.
extern Hash<CInstance>& InstanceIdMap;
// The first instance of the id's chain with that id; null when there is none and for every
// negative id.
CInstance* Instance_Find(int32_t id);

// Instances whose object changed, waiting to move to the new object's lists.
extern InstanceQueue& RelinkQueue;
// Instances whose depth changed, waiting to move to their new place in the active list.
extern InstanceQueue& DepthChangeQueue;
// Instances activated or deactivated (their flag already changed), waiting to move between the
// active and deactivated lists.
extern InstanceQueue& ActivationChangeList;

// Drops every entry of the id map that holds this instance; the instance stays where it is.
void Instance_ForgetId(CInstance* instance);

// The creation counter: every new instance stores its value.
int64_t Instance_CreationCounter();
// The counter's value for one dispatch over instances; the counter then grows by one.
int64_t Instance_TakeDispatchStamp();

// The instance whose sprite is being drawn, or null.
CInstance* Instance_GetDrawing();
void Instance_SetDrawing(CInstance* instance);

// The one removal: takes the instance out of its room list, the id map (every entry that holds
// this instance), its object's lists, the three queues and the current drawing instance, then
// deletes it. Null does nothing.
void Instance_Delete(CInstance* instance);
// At shutdown: deletes every instance of the id map (Instance_Delete); the map is empty.
void Instance_DeleteAll();
// Forgets every instance without deleting any (their owners delete them) and sets the creation
// counter back to 0: an empty id map, empty queues, no drawing instance.
void Instances_Reset();

// ---- Bounding box, collision and motion of instances (Instance_Collision.cpp, Instance_Motion.cpp) ----

// The sprite whose box and masks stand for the instance in collisions: the mask sprite when
// i_maskindex is 0 or more, else the sprite; null when that index names no sprite.
CSprite* Instance_CollisionSprite(const CInstance* instance);
// Recomputes i_bbox and i_precise from the collision sprite's box, origin and precise flag, the
// position, scales and angle, and clears i_bboxdirty. Without a collision sprite the box is the
// position truncated (both corners), not precise. Every side is rounded to the nearest integer
// (ties to even) through the numeric helpers, so huge or NaN values give the x86 answer.
void Compute_BoundingBox(CInstance* instance);
// The box a collision test uses: the skeleton's box when the instance has a skeleton that answers
// one (then precise, not dirty), else the box recomputed when it is dirty.
void Instance_UpdateBoundingBox(CInstance* instance);
// Speed and direction from hspeed and vspeed (each snapped to a whole number within 0.0001, the
// direction reduced modulo 360); marks the box dirty.
void Instance_ComputeSpeedDirection(CInstance* instance);
// hspeed and vspeed from speed and direction (each snapped to a whole number within 0.0001); marks
// the box dirty.
void Instance_ComputeHVSpeed(CInstance* instance);
// Starts following `path`: a negative index only stores it; a missing path, one without positive
// length or a negative scale leaves i_pathindex -1. Otherwise the position starts at 0 (speed
// 0 or more) or 1, the speed, scale, orientation and end action are stored, the instance moves to
// the path's point at that position unless `relative`, and the anchor (where the path's first
// point goes) is chosen so that the point at that position is where the instance stands.
void Instance_PathStart(CInstance* instance, int32_t path, double speed, double scale, double orientation,
                        bool relative, int32_t endAction);
// Whether the rectangle (corners in any order) meets the instance: by boxes, then, when precise
// is asked and the instance is precise, by the collision sprite's masks (or the skeleton).
bool Instance_CollideRect(CInstance* instance, double x1, double y1, double x2, double y2, bool precise);
// Whether two instances meet: never with itself or when either is marked; boxes must overlap and
// both collision sprites have frames; precisely, solid pixels of both must meet when either
// collision sprite is precise.
bool Collision_Instance(CInstance* instance, CInstance* other, bool precise);
