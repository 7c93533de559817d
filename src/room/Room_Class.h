// Rooms: the place instances live in while the game runs. A room holds its instances in two
// lists, the depth-sorted active list and the deactivated list; changes to which list or object
// an instance belongs to are queued during a step and applied between event phases.
#pragma once

#include <cstdint>

#include "platform/List.h"
#include "room/Instance_Class.h"

class CRoom {
 public:
  CRoom() = default;
  // Deletes the instances of both lists, removing each from the id map.
  ~CRoom();
  CRoom(const CRoom&) = delete;
  CRoom& operator=(const CRoom&) = delete;

  // A new instance of the object at (x, y) with the next instance id, linked into its object's
  // lists, inserted into the active list by depth and entered into the id map. No event runs.
  CInstance* AddInstance(float x, float y, int32_t objectIndex);
  // Remove every instance of one list from the id map and delete it; the list becomes empty.
  void DeleteActiveInstances();
  void DeleteDeactivatedInstances();

  ActiveList m_Active;       // ascending sort depth
  ActiveList m_Deactivated;  // in the order instances were deactivated
};

// The room being run; null before the first room.
extern CRoom* CurrentRoom;

// Instances whose object changed during the current step, waiting to move to the new object's
// lists.
extern List<CInstance> RelinkQueue;
// Instances activated or deactivated during the current step (their flag already changed),
// waiting to move between the active and deactivated lists.
extern List<CInstance> ActivationChangeList;

// The last instance id handed out; a new instance takes the next one.
void Room_SetLastInstanceId(int32_t id);
int32_t Room_GetLastInstanceId();
