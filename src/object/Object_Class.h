// Objects: the templates that instances are made from. Each object may have a parent, and an
// object index used as a target (with, variable access) stands for the instances of that object
// and of every object that has it as an ancestor. So every object keeps two lists: its own
// instances, and the instances of itself and all its descendants, both in the order in which the
// instances were linked.
#pragma once

#include <cstdint>

#include "platform/SLinkedList.h"
#include "platform/cARRAY_CLASS.h"

class CInstance;

class CObject {
 public:
  // An object at `index` of the object table whose parent is the object at `parentIndex` (-1 or
  // any index that names no object: none).
  CObject(int32_t index, int32_t parentIndex);
  ~CObject() = default;
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;

  // The parent object, or null when there is none (an object never counts as its own parent).
  CObject* GetParent() const;

  // Links the instance into this object's own list and into the descendant-instances list of this
  // object and of every ancestor; RemoveInstance takes it out of the same lists.
  void AddInstance(CInstance* instance);
  void RemoveInstance(CInstance* instance);

  int32_t m_Index;
  int32_t m_ParentIndex;
  const char* m_Name = nullptr;  // the object's name (borrowed from the game data), or null
  SLinkedList<CInstance> m_Instances;           // instances of exactly this object
  SLinkedList<CInstance> m_InstancesRecursive;  // instances of this object and its descendants
};

// The object table, indexed by object index; a slot may be empty.
extern cARRAY_CLASS<CObject> ObjectTable;

// The object at `index`, or null for an index outside the table or an empty slot.
CObject* Object_Find(int32_t index);
// The name of the object at `index`, or "<undefined>" when there is no such object or it has no
// name.
const char* Object_GetName(int32_t index);
// The first object, in table order, whose name equals `name` exactly (case matters); -1 when
// none does.
int32_t Object_FindByName(const char* name);
// Appends a new object with the given parent and answers its index.
int32_t Object_Add(int32_t parentIndex);
// Destroys every object; the table is empty afterwards.
void Object_FreeAll();
