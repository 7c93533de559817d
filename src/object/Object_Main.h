// The object table's life: reading the object chunk, linking parents, preparing (compiling) the
// handlers, and adding, deleting and re-parenting objects while the game runs. Main thread only.
#pragma once

#include <cstdint>

class BoundedReader;
class CObject;

// An empty table with an object count of 0 (the start of every main pass).
void Object_Init();
// Reads the object chunk ("OBJT"): entry i becomes object i (an entry offset of 0 leaves index i
// without a record), then the parents are linked. False, after a line on DebugConsole, for a
// chunk that does not hold what it claims: an entry, event list or record outside the file, more
// than 12 event kinds, an event number below 0 or above its kind's bound (collision numbers must
// name one of the chunk's objects, other numbers stay below 256), or event tables larger than
// the loader takes in total.
bool Object_LoadChunk(BoundedReader& chunk);
// Fills `object` from its entry (image offset `entry`) for header version `version`.
bool Object_Load(CObject* object, const BoundedReader& image, uint64_t entry, int32_t version);
// Sets every record's parent link from its parent index: a link to the record of that index when
// it lies in 0..99,999 and has one, else none. A chain of parents that comes back to itself (a
// self-parent included) is cut at the record whose parent closes the loop, so that every walk
// up a chain ends.
void Object_LinkParents();
// Compiles every object's handlers in table order with the event object set to each; logs
// "Preparing %d objects:" and one line per object. False at the first failure.
bool Object_Prepare();

// A new record at index Object_Count() named "__newobject<index>"; answers the index.
int32_t Object_Add();
// Removes and destroys the record of `index`; false when there is none. Its instances stay in
// their rooms with their object index but no object, and no list keeps them any more; an
// instance changing away from it no longer refers to it; the collision pairs forget the object.
bool Object_Delete(int32_t index);
// Gives object `index` a new parent index and relinks the parents; the descendant-instance lists
// follow the new inheritance at once. False, changing nothing, when there is no such object or
// the new parent is the object itself or one of its descendants (a loop). The event object lists
// are the caller's to rebuild (ObjectLists_Build).
bool Object_SetParent(int32_t index, int32_t parentIndex);
// Refills every descendant-instance list from the own lists, along the current parent links.
void Object_RebuildInstanceLists();

// Frees the nodes of every record's instance lists (before a saved game rebuilds the instances).
void Object_ClearInstanceLists();
// Destroys every record; the table is empty and the count 0.
void Object_FreeAll();
void Object_Finalise();

// The flag bits that object sprite words carried (bit 31 of a word whose bits 28 to 30 are
// clear); the debug overlay marks its version line while they are not 0.
uint32_t Object_SpriteFlagBits();
