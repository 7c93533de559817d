// Instances: one running copy of an object, with its flags, position, depth and script variables.
// Every instance created in a room is held in exactly one of that room's two instance lists
// (threaded through i_next / i_prev) and in the global id map.
#pragma once

#include <cstdint>

#include "platform/Hash.h"

class CObject;
class CVariableList;

class CInstance {
 public:
  // An instance of object `objectIndex` at (x, y) with the given id and an empty variable list.
  // With `link` set it is entered into its object's instance lists.
  CInstance(float x, float y, int32_t id, int32_t objectIndex, bool link);
  // Unlinks the instance from its object's lists and releases its variables. The room lists and
  // the id map are the caller's to leave first.
  ~CInstance();
  CInstance(const CInstance&) = delete;
  CInstance& operator=(const CInstance&) = delete;

  // Binds the instance to another object: it leaves the current object's lists, stores the index
  // (-1 is stored as 0) and, when the object exists and `link` is set, joins the new object's
  // lists. An index that names no object leaves i_object null.
  void SetObject(int32_t objectIndex, bool link);

  uint8_t i_bboxdirty = 1;    // bounding box must be recomputed before use
  uint8_t i_visible = 0;
  uint8_t i_solid = 0;
  uint8_t i_persistent = 0;
  uint8_t i_marked = 0;       // destroyed, waiting for removal from its room
  uint8_t i_deactivated = 0;  // to be (or already) held in the room's deactivated list
  int32_t i_id = 0;
  int32_t i_objindex = 0;
  CObject* i_object = nullptr;
  float i_x = 0.0f;
  float i_y = 0.0f;
  CVariableList* i_variables = nullptr;  // owned
  CInstance* i_next = nullptr;  // links of the room list that holds the instance
  CInstance* i_prev = nullptr;
  float i_depth = 0.0f;
  float i_sortdepth = 0.0f;  // the depth the instance had when last inserted into an active list
};

// A room's instance list: the active list is kept in ascending i_sortdepth from first to last;
// the deactivated list uses the same links in the order instances were appended.
struct ActiveList {
  CInstance* first = nullptr;
  CInstance* last = nullptr;
  int32_t count = 0;

  // Inserts by depth, after every instance of the same sort depth, and records the depth used.
  void Insert(CInstance* instance);
  // Adds the instance at the end, whatever its depth.
  void Append(CInstance* instance);
  // Links the neighbours to each other; the instance's own links are left as they were.
  void Remove(CInstance* instance);
};

// Instance id -> instance, for every instance in a room.
extern Hash<CInstance> InstanceIdMap;

// The instance with that id; null when there is none, and for every negative id.
CInstance* Instance_Find(int32_t id);
