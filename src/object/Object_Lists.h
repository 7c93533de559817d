// The event object lists and the collision pairs: for each event kind and number, the objects
// whose event table (own or inherited) handles that event, and the pairs of objects with a
// collision handler for each other. The frame step walks these instead of every instance. They
// are rebuilt when the game starts and whenever the inheritance or the handlers change, and are
// read-only in between. Main thread only.
#pragma once

#include <cstdint>

class CObject;

// The event numbers kept per kind (0..255); a number outside them always has an empty list.
constexpr int32_t kEventObjectNumbers = 256;

// One collision pair: the first object has (or inherits) a collision handler for the second.
struct CollisionPair {
  int32_t first;
  int32_t second;
  CObject* firstObject;
  CObject* secondObject;  // null when that index has no record
};

struct CollisionPairList {
  int32_t count = 0;
  int32_t capacity = 0;
  CollisionPair* pairs = nullptr;  // memory-manager block of `capacity` records
};
extern CollisionPairList CollisionPairs;

// Rebuilds every event object list, then the collision pairs. Lists built: create 0, destroy 0,
// alarm 0..12, step 0..16, keyboard, key press and key release 0..255, mouse and other 0..128,
// draw 0. Collisions have no list (the pairs serve), nor has kind 11.
void ObjectLists_Build();
// Rebuilds the collision pairs: for each object i in ascending order and each index j, when i
// finds a collision handler for j, the pair (i, j) unless i and j already form a pair. So a
// pair is stored once, first the lower object when both have handlers.
void ObjectLists_BuildCollisionPairs();
// Drops the pairs whose first object is `index` and clears the record of the pairs whose second
// object it is (the object is being deleted).
void ObjectLists_ForgetObject(int32_t index);
// Frees every list and the pairs.
void ObjectLists_Free();

// The objects listed for (kind, number), in ascending index order, and how many there are; 0
// for a number or kind outside the lists.
int32_t ObjectLists_Count(int32_t kind, int32_t number);
const int32_t* ObjectLists_Objects(int32_t kind, int32_t number);
