// The script containers (ds_map and ds_list), the tables that name them by index, the marks
// through which a map or list owns other structures, and the comparison of stored values.
//
// Ownership: every container a script can name lives in its kind's table from its creation until
// it is destroyed by script, by a helper, or by the clearing or destruction of a map or list whose
// marked values name it. Containers own copies of everything they store (strings duplicated,
// arrays shared with one more reference). Nothing empties the tables at a room change or a game
// restart; DataStructures_Reset (a fresh process state) destroys everything.
//
// Main thread only: the tables and the precision are unsynchronised.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/Hash.h"
#include "platform/cARRAY_CLASS.h"
#include "variable/ScriptValue.h"

// ---- Marks ----

// Bits of a stored value's kind word that make its container own another structure. A mark
// counts only on a real (the low 16 bits of the kind word 0); the map mark is tested first.
enum DsValueMark : uint32_t {
  DS_MARK_MAP = 0x80000000u,   // the value is the index of a ds_map
  DS_MARK_LIST = 0x40000000u,  // the value is the index of a ds_list
};
constexpr uint32_t kDsMarkBits = DS_MARK_MAP | DS_MARK_LIST;

// A structure that a marked value names: the mark and the index (the real truncated toward zero).
struct DsMarkRef {
  uint32_t mark;
  int32_t index;
};
// Appends the structure a value names when the value carries a mark that counts.
void DsCollectMark(const ScriptValue* value, std::vector<DsMarkRef>* marks);
// Destroys each live structure in `marks` (emptying its slot), then the structures its own marks
// name, and so on, each once and without recursion. `keep` (the container being cleared, or
// null) is never destroyed.
void DsDestroyMarked(std::vector<DsMarkRef>* marks, const void* keep);

// The kind numbers of the ds_type_* constants.
enum DsKind : int32_t {
  DS_TYPE_MAP = 1,
  DS_TYPE_LIST = 2,
  DS_TYPE_STACK = 3,
  DS_TYPE_QUEUE = 4,
  DS_TYPE_GRID = 5,
  DS_TYPE_PRIORITY = 6,
};

// A copy of a value in a fresh record: the payload bytes its kind does not copy stay zero, so
// hashing or storing the record is deterministic.
inline ScriptValue DsCopyOf(const ScriptValue* v) {
  ScriptValue copy{};
  CopyValue(&copy, v);
  return copy;
}

// ---- ds_map ----

// One entry: the map's own copies of key and value (marks included), released with the entry.
struct DsMapEntry {
  ScriptValue key{};
  ScriptValue value{};
  DsMapEntry() = default;
  DsMapEntry(const ScriptValue* k, const ScriptValue* v);
  ~DsMapEntry();
  DsMapEntry(const DsMapEntry&) = delete;
  DsMapEntry& operator=(const DsMapEntry&) = delete;
};

// The hash of a key: for a value whose kind word is exactly 1 (a string) CRC32String of its text,
// for anything else CRC32Buffer of its 8 payload bytes (an int32 counts its 4 bytes and 4 zero
// bytes). The register is not inverted: "abc" hashes to 0xCADBBE3D and the real 1.0 to 0x3807EC16.
uint32_t DsMapKeyHash(const ScriptValue* key);

constexpr int32_t kDsMapDefaultBuckets = 4096;

// A hash map from values to values. Entries of one bucket keep the order they were added in, and
// iteration walks the buckets from 0 up, so the order depends on the bucket count.
//
// Two keys are the same key when their hashes are equal and ValuesEqual holds: 1 and "1" are
// different keys, and so are 0 and -0 (their bit patterns differ). Every operation that looks a
// key up (Add, Set, Replace, Find, Exists, Delete) compares keys this way, so two keys whose
// hashes collide never overwrite or delete each other.
class CDS_Map {
 public:
  CDS_Map();  // 4096 buckets
  // A bucket count that is not a power of two from 1 to 65536 gives the default count.
  explicit CDS_Map(int32_t bucketCount);
  // Clear (destroying the marked structures), then frees the buckets.
  ~CDS_Map();
  CDS_Map(const CDS_Map&) = delete;
  CDS_Map& operator=(const CDS_Map&) = delete;

  // Adds a copy of key and value; false, changing nothing, when the key is present.
  bool Add(const ScriptValue* key, const ScriptValue* value);
  // Add with a string key; the value is `text` when it is not null, else `real`.
  bool AddStringKey(const char* key, double real, const char* text);
  // Replaces the key and value of the key's entry, or adds one. `out`, when given (an empty
  // record), receives a copy of the entry's previous value, or of `value` when one was added.
  void Set(const ScriptValue* key, const ScriptValue* value, ScriptValue* out = nullptr);
  // True when the present key's value was replaced (the stored key stays); false when the key
  // was absent and has been added.
  bool Replace(const ScriptValue* key, const ScriptValue* value);
  DsMapEntry* Find(const ScriptValue* key) const;
  bool Exists(const ScriptValue* key) const { return Find(key) != nullptr; }
  // Removes the key's entry (marked structures are not destroyed); false when absent.
  bool Delete(const ScriptValue* key);

  int32_t Size() const { return m_hash->Count(); }
  bool Empty() const { return m_hash->Count() == 0; }
  int32_t BucketCount() const { return m_hash->Mask() + 1; }

  // Entries in iteration order, or null. FindNext and FindPrevious walk from the first entry to
  // the first one whose key matches: the same kind (low 24 bits), texts equal byte by byte, reals
  // equal with ==, other kinds by their 8 payload bytes. Null when no key matches or there is no
  // neighbour.
  DsMapEntry* FindFirst() const;
  DsMapEntry* FindLast() const;
  DsMapEntry* FindNext(const ScriptValue* key) const;
  DsMapEntry* FindPrevious(const ScriptValue* key) const;

  // Empties this map (marked structures are not destroyed), then copies every entry of the
  // source in the source's iteration order, marks included, into this map's own buckets. A map
  // copied onto itself is left as it is.
  void Copy(const CDS_Map* source);
  // Destroys every live structure that a marked value names (and, through their marks, what
  // they own; never this map itself), then removes every entry. The buckets are kept.
  void Clear();
  // Removes every entry without destroying marked structures; when `marks` is given, the
  // structures the marked values name are appended to it.
  void RemoveAll(std::vector<DsMarkRef>* marks = nullptr);

  // The hash, for walks with HashIterator (the debugger's map dump).
  Hash<DsMapEntry>* GetHash() const { return m_hash; }
  // A number no other map of the process had or will have: tells a map from a newer one that
  // took its slot (and perhaps its address) after it was destroyed.
  uint64_t Serial() const { return m_serial; }

 private:
  Hash<DsMapEntry>::Node* FindNode(const ScriptValue* key, uint32_t hash) const;
  void Append(const ScriptValue* key, const ScriptValue* value, uint32_t hash);

  Hash<DsMapEntry>* m_hash;
  uint64_t m_serial;
};

// ---- ds_list ----

// An indexed, growable sequence of values. Items are positions 0..count-1; the slots from count
// to capacity never own anything (they hold reals or undefined) and become items again when Set
// writes beyond the end.
class CDS_List {
 public:
  CDS_List() = default;
  // Clear (destroying the marked structures), then frees the array.
  virtual ~CDS_List();
  CDS_List(const CDS_List&) = delete;
  CDS_List& operator=(const CDS_List&) = delete;

  // Appends a copy. The array grows by 16 slots while the capacity is below 128, else by an
  // eighth of it: 16, 32, ..., 128, 144, 162, 182, ...
  void Add(const ScriptValue* value);
  // For 0 <= position <= count: moves the items from position up by one and stores a copy there
  // (growing by 16 slots when full); otherwise nothing.
  void Insert(int32_t position, const ScriptValue* value);
  // A negative position does nothing. A position at or past the end first makes count
  // position + 1 (growing the array to count + 16 slots when count reaches the capacity); the
  // positions in between keep their slots' contents (real 0 for new storage). `out`, when given
  // (an empty record), receives a copy of the slot's previous content.
  void Set(int32_t position, const ScriptValue* value, ScriptValue* out = nullptr);
  // For 0 <= position < count: the item is released and replaced by a copy; otherwise nothing.
  void Replace(int32_t position, const ScriptValue* value);
  // For 0 <= position < count: the item is released and the items after it move down by one.
  // The freed last slot holds a real with the high 32 payload bits of the item that was last
  // when that item was a real, else 0. Otherwise nothing.
  void Delete(int32_t position);
  // The item at the position, or null outside 0..count-1.
  ScriptValue* GetItem(int32_t position) const;
  // The first position whose item compares equal with CompareDsValues, or -1.
  int32_t FindIndex(const ScriptValue* value) const;
  // Insertion sort with CompareDsValues: stable when ascending; equal items come out reversed
  // when descending.
  void Sort(bool ascending);
  // count * 8 swaps of two positions drawn with RandomInt (first a, then b).
  void Shuffle();
  // Destroys every live structure that a marked item names (never this list itself), then
  // releases every item, leaving the slots undefined. Count becomes 0; the array is kept.
  void Clear();
  // Releases this list's items, then takes the source's count and capacity and a copy of every
  // slot, marks included. A list copied onto itself is left as it is.
  void Copy(const CDS_List* source);

  int32_t Size() const { return m_count; }
  int32_t Capacity() const { return m_capacity; }

  // Releases the items without destroying marked structures, leaving the slots undefined;
  // count becomes 0. When `marks` is given, the structures the marked items name are appended.
  void RemoveAll(std::vector<DsMarkRef>* marks = nullptr);

 private:
  // Makes the array hold `capacity` slots (new slots real 0). A capacity past what one block
  // can hold is out of memory.
  void Reserve(int64_t capacity);

  int32_t m_count = 0;
  int32_t m_capacity = 0;
  ScriptValue* m_items = nullptr;
};

// ---- Tables ----

// A table of containers of one kind. A new container takes the lowest empty slot below count,
// else slot count (the array growing by 16 slots when full); destruction empties the slot and
// count never shrinks, so a stale index can name a newer container. An index is a slot number.
template <typename T>
class DsTable {
 public:
  DsTable() = default;
  ~DsTable() { MemoryManager::Free(m_items); }
  DsTable(const DsTable&) = delete;
  DsTable& operator=(const DsTable&) = delete;

  // The slot it went into.
  int32_t Add(T* container) {
    // Every slot below m_firstFree is taken, so the search starts there.
    for (int32_t i = m_firstFree; i < m_count; ++i) {
      if (m_items[i] == nullptr) {
        m_items[i] = container;
        m_firstFree = i + 1;
        return i;
      }
    }
    if (m_count == m_capacity) {
      // The table's capacity grows by 16 slots; the block under it at least doubles, so that
      // making many containers stays linear.
      const int32_t needed = m_capacity + kStep;
      if (needed > m_blockSlots) {
        const int32_t slots = std::max(needed, m_blockSlots * 2);
        m_items = carray_detail::Resize(m_items, m_blockSlots, slots);
        m_blockSlots = slots;
      }
      m_capacity += kStep;
    }
    m_items[m_count] = container;
    m_firstFree = m_count + 1;
    return m_count++;
  }
  // The container in a slot, or null for an index outside 0..count-1 or an empty slot.
  T* Get(int32_t index) const { return index >= 0 && index < m_count ? m_items[index] : nullptr; }
  // Empties a slot (the container is not destroyed); a bad index does nothing.
  void Detach(int32_t index) {
    if (index < 0 || index >= m_count) return;
    m_items[index] = nullptr;
    if (index < m_firstFree) m_firstFree = index;
  }
  int32_t Count() const { return m_count; }
  int32_t Capacity() const { return m_capacity; }
  // The slots, for walks over every container (count entries, empty ones null).
  T* const* Items() const { return m_items; }
  // Forgets every slot (the containers are not destroyed): an empty table.
  void Reset() {
    MemoryManager::Free(m_items);
    m_items = nullptr;
    m_capacity = m_count = m_firstFree = m_blockSlots = 0;
  }

 private:
  static constexpr int32_t kStep = 16;
  int32_t m_capacity = 0;
  T** m_items = nullptr;
  int32_t m_count = 0;
  int32_t m_firstFree = 0;
  int32_t m_blockSlots = 0;  // slots in the block, at least the capacity
};

// Everything the containers keep for the process.
struct DataStructureState {
  DsTable<CDS_Map> maps;
  DsTable<CDS_List> lists;
  // The comparison precision of CompareDsValues (ds_set_precision).
  double precision = 0.00000001;
  // The serial of the next map made; never reset, so serials stay unique for the process.
  uint64_t nextMapSerial = 1;
};
DataStructureState& DsState();

// Destroys every container and empties the tables; the precision returns to its start value.
void DataStructures_Reset();

// Destroys the map or list in a slot and every structure its marks reach, each once, without
// recursion: a structure that contains itself, or two that contain each other, are destroyed
// like any other. An index that names no live structure does nothing.
void DsMap_DestroyIndex(int32_t index);
void DsList_DestroyIndex(int32_t index);

// ---- Value comparison ----

// -1, 0 or 1, on the whole kind words (marks included): two plain reals are compared at single
// precision (equal when the single-precision difference is 0 or the precision is greater than
// its absolute value); two
// strings byte by byte as unsigned bytes (a null text compares greater); otherwise -1 when `a`
// is a plain real, else 1.
int32_t CompareDsValues(const ScriptValue* a, const ScriptValue* b);
// The precision becomes |x|.
void SetDsPrecision(double x);

// ---- Helpers for other subsystems ----

// One key of a notification map: a text when `text` is not null, else the real.
struct DsMapInit {
  const char* key;
  double real;
  const char* text;
};

// A new default map holding the entries in order (a key that repeats an earlier one is ignored),
// stored in the lowest free slot of the map table. Answers its index. The one constructor of the
// notification maps.
int32_t CreateDsMap(const DsMapInit* entries, int32_t count);
int32_t CreateDsMap(std::initializer_list<DsMapInit> entries);
// Add with a string key and a real or string value; false when the key is present or the index
// names no live map.
bool DsMap_AddReal(int32_t index, const char* key, double value);
bool DsMap_AddString(int32_t index, const char* key, const char* value);
// The map with every structure it marks is destroyed and its slot emptied (DsMap_DestroyIndex).
void DsMap_Destroy(int32_t index);
// The map or list in a slot, or null.
CDS_Map* DsMap_Get(int32_t index);
// The serial of the map in a slot (CDS_Map::Serial), 0 when the slot holds none.
uint64_t DsMap_Serial(int32_t index);
CDS_List* DsList_Get(int32_t index);
// Stores a new container in the lowest free slot of its table (the table owns it from then on)
// and answers the index.
int32_t DsMap_Register(CDS_Map* map);
int32_t DsList_Register(CDS_List* list);
// A new empty default map in the lowest free slot of the map table; answers the index.
int32_t AllocDsMapSlot();
