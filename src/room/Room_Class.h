// Rooms: the place instances live in while the game runs. A room holds its instances in two
// lists, the depth-sorted active list and the deactivated list; changes to which list or object
// an instance belongs to are queued during a step and applied between event phases
// (room/Instance_Class.h).
#pragma once

#include <cstdint>

#include "room/Instance_Class.h"

class CPhysicsWorld;

class CRoom {
 public:
  CRoom() = default;
  // Destroys the physics world, then deletes the instances of both lists.
  ~CRoom();
  CRoom(const CRoom&) = delete;
  CRoom& operator=(const CRoom&) = delete;

  // A new instance of the object at (x, y) with the next instance id, linked into its object's
  // lists, given its physics body, inserted into the active list by depth and entered into the
  // id map. No event runs.
  CInstance* AddInstance(float x, float y, int32_t objectIndex);
  // Deletes one instance of this room (Instance_Delete).
  void RemoveInstance(CInstance* instance);
  // Deletes every instance of the active list marked as destroyed, after taking it out of the
  // depth-change queue.
  void RemoveMarked();
  // Delete every instance of one list; the list becomes empty.
  void DeleteActiveInstances();
  void DeleteDeactivatedInstances();

  int32_t m_Speed = 30;                        // steps per second
  ActiveList m_Active;                         // ascending sort depth
  ActiveList m_Deactivated;                    // in the order instances were deactivated
  CPhysicsWorld* m_PhysicsWorld = nullptr;     // owned, null when the room has no physics
};

// The room being run; null before the first room.
extern CRoom* CurrentRoom;

// The last instance id handed out; a new instance takes the next one.
void Room_SetLastInstanceId(int32_t id);
int32_t Room_GetLastInstanceId();
