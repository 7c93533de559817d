// Objects: the definitions that instances are made from. An object holds the defaults of its new
// instances (sprite, mask, depth, flags, physics settings), its parent in the inheritance tree
// and its event table: per event kind a row of handlers indexed by event number.
//
// Every object keeps two instance lists: its own instances, and the instances of itself and of
// all its descendants (what an object index reaches as a target of with and of variable access).
// The lists hold the instances without owning them; the rooms own the instances.
//
// The object table maps an object index to its record. Iterating it goes bucket by bucket (index
// modulo 512) and within a bucket in insertion order, which for fewer than 512 objects is
// ascending index order. Main thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Hash.h"
#include "platform/SLinkedList.h"
#include "room/Event_Names.h"

class CEvent;
class CInstance;

// Object flags.
constexpr int32_t kObjectSolid = 1;
constexpr int32_t kObjectVisible = 2;
constexpr int32_t kObjectPersistent = 4;

class CObject {
 public:
  // An empty record (every field at its default) for object `index`.
  explicit CObject(int32_t index);
  // Destroys the name, the handlers and the list nodes (never the instances).
  ~CObject();
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;

  // Back to the defaults: every handler is destroyed and every row emptied; the index and the
  // instance lists stay.
  void Clear();
  // The name becomes a copy of `name`, or null for a null or empty text.
  void SetName(const char* name);
  // Takes a memory-manager text as the name without copying it.
  void TakeName(char* name);

  // This object's own handler of (kind, number) when present, else null. A kind outside 0..11 or
  // a negative number is reported ("Invalid event argument", fatal) and answers null.
  CEvent* GetEvent(int32_t kind, int32_t number) const;
  // The handler with inheritance: this object's, else the nearest ancestor's; for a collision
  // (kind 4) whose number names an object and that found nothing, the handlers of this chain for
  // each ancestor of that other object, nearest ancestor first. Null when none; bad arguments as
  // GetEvent. When a handler is found and `foundIn` is given, it receives the index of the object
  // of this chain that holds the handler. Every walk up a chain is bounded by the object count,
  // so parent links that loop end it too.
  CEvent* FindHandler(int32_t kind, int32_t number, int32_t* foundIn = nullptr) const;
  // True when this object or an ancestor has a present handler of (kind, number) (no collision
  // rule, no argument check).
  bool HasEvent(int32_t kind, int32_t number) const;
  // True when `index` is this object's parent, grandparent and so on.
  bool HasAncestor(int32_t index) const;
  // The parent record, or null: the parent link as Object_LinkParents last set it.
  CObject* GetParent() const { return m_Parent; }
  // The slot for (kind, number) of this object's row, grown to hold it (new slots null). The
  // caller keeps kind in 0..11 and number in 0 .. kMaxEventNumber.
  CEvent*& EventSlot(int32_t kind, int32_t number);
  // The number of slots of row `kind` (0 outside 0..11).
  int32_t EventCount(int32_t kind) const;

  // Links the instance into this object's own list and into the descendant list of this object
  // and of every ancestor; RemoveInstance takes it out of the same lists.
  void AddInstance(CInstance* instance);
  void RemoveInstance(CInstance* instance);
  // Frees the nodes of both lists without touching the instances.
  void ClearInstanceLists();

  // Compiles every handler, kind by kind and number by number, with the event type and number
  // set for each; false at the first failure.
  bool Compile();

  struct EventRow {
    int32_t count = 0;
    CEvent** events = nullptr;  // memory-manager block of `count` slots; a slot may be null
  };
  struct Point {
    float x;
    float y;
  };

  int32_t m_Flags = kObjectVisible;
  int32_t m_SpriteIndex = -1;
  int32_t m_Depth = 0;
  int32_t m_ParentIndex = -1;
  int32_t m_MaskIndex = -1;
  char* m_Name = nullptr;  // owned memory-manager text, or null
  int32_t m_Index;
  bool m_PhysicsEnabled = false;
  bool m_PhysicsSensor = false;
  int32_t m_PhysicsShape = 0;
  int32_t m_PhysicsGroup = 0;
  float m_PhysicsDensity = 0;
  float m_PhysicsRestitution = 0;
  float m_PhysicsLinearDamping = 0;
  float m_PhysicsAngularDamping = 0;
  float m_PhysicsFriction = 0;
  bool m_PhysicsAwake = false;
  bool m_PhysicsKinematic = false;
  std::vector<Point> m_PhysicsPoints;
  CObject* m_Parent = nullptr;  // derived from m_ParentIndex by Object_LinkParents
  EventRow m_Events[kEventKindCount];
  SLinkedList<CInstance> m_Instances;           // instances of exactly this object
  SLinkedList<CInstance> m_InstancesRecursive;  // instances of this object and its descendants
};

// Event numbers above this are never stored in an event table.
constexpr int32_t kMaxEventNumber = 99999;

// The object table: object index -> record (512 buckets), owning the records. Records go in
// and out through the three calls below, which keep the name index in step.
extern Hash<CObject> ObjectTable;

// Enters `object` at `index`; the table takes it over.
void Object_TableInsert(int32_t index, CObject* object);
// Destroys the record at `index`, if any.
void Object_TableRemove(int32_t index);
// Destroys every record.
void Object_TableClear();

// The number of object slots: the object chunk's count plus the objects added since.
int32_t Object_Count();
// The record of object `index`, or null when that index has none.
CObject* Object_Find(int32_t index);
bool Object_Exists(int32_t index);
// The name of object `index`; "<undefined>" when there is no record or it has no name.
const char* Object_GetName(int32_t index);
// The first object, in table order, whose name equals `name` exactly (case matters); -1 when
// none does (also for null).
int32_t Object_FindByName(const char* name);

// Calls `visit(record)` on the object and on each record up its parent links, nearest first.
// The links never loop (Object_LinkParents cuts loops) and the walk is bounded besides.
template <typename Visit>
void Object_ForSelfAndAncestors(CObject* object, Visit visit) {
  int64_t steps = static_cast<int64_t>(Object_Count()) + 1;
  for (CObject* o = object; o != nullptr && steps > 0; o = o->GetParent(), --steps) visit(o);
}

// Calls `visit(record)` for every record in table order.
template <typename Visit>
void Object_ForEach(Visit visit) {
  Hash<CObject>::Bucket* buckets = ObjectTable.Buckets();
  for (int32_t b = 0; b <= ObjectTable.Mask(); ++b) {
    for (auto* node = buckets[b].head; node != nullptr;) {
      auto* next = node->next;
      visit(node->value);
      node = next;
    }
  }
}
