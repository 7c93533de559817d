// The one table of names that every name lookup goes through: a name per position (an owned
// memory-manager copy, or null for an empty slot) and a hash index over them, so that finding a
// name costs the same whatever the size of the table. A table finds the lowest or the highest
// position holding a name, comparing byte for byte or ignoring the case of ASCII letters; a
// name added twice holds two positions.
//
// The names and the index live in one block that grows by doubling; FreeAll releases it and
// every name. Like GrowArray it has no destructor: a table that lives for the whole process
// keeps its names. Main thread, or the caller's lock.
#pragma once

#include <cstdint>

#include "platform/GrowArray.h"

enum class NameCase : uint8_t {
  kExact,        // byte for byte
  kIgnoreAscii,  // 'A' to 'Z' equal 'a' to 'z'; every other byte compared as it is
};

class NameTable {
 public:
  constexpr NameTable() = default;
  NameTable(const NameTable&) = delete;
  NameTable& operator=(const NameTable&) = delete;
  NameTable(NameTable&& other) noexcept;
  // Frees what the target holds first.
  NameTable& operator=(NameTable&& other) noexcept;

  // The number of positions, empty slots included.
  int32_t Count() const { return m_count; }
  // The name at `position`; null for an empty slot or a position outside the table.
  const char* Name(int32_t position) const;

  // Appends a copy of `name` (null: an empty slot) and answers its position.
  int32_t Add(const char* name);
  // Replaces the name at `position` with a copy of `name` (null empties the slot); a position at
  // or past the count first extends the table with empty slots. A negative position does nothing.
  void Set(int32_t position, const char* name);
  // Frees the name at `position` and moves every later name down by one; the count drops by one.
  // A position outside the table does nothing.
  void RemoveAt(int32_t position);

  // The lowest position holding `name`, or -1 (also for a null name).
  int32_t FindFirst(const char* name, NameCase rule = NameCase::kExact) const;
  // The highest position holding `name`, or -1 (also for a null name).
  int32_t FindLast(const char* name, NameCase rule = NameCase::kExact) const;
  // Calls visit(position) for every position holding `name`, the highest first.
  template <typename Visit>
  void ForEachMatch(const char* name, NameCase rule, Visit visit) const {
    if (name == nullptr || m_count == 0) return;
    const uint32_t hash = HashOf(name);
    for (int32_t link = m_slots[BucketOf(hash)].head; link != 0; link = m_slots[link - 1].next) {
      if (Matches(m_slots[link - 1], hash, name, rule)) visit(link - 1);
    }
  }

  // Frees every name and the block: an empty table.
  void FreeAll();

 private:
  // Slot p holds position p's name and, apart from it, the head of bucket p: the bucket count is
  // the block's capacity, so the index is rebuilt whenever the block grows. Links are
  // position + 1 (0 ends a chain); a chain runs from the highest position to the lowest.
  struct Slot {
    char* name;
    uint32_t hash;
    int32_t next;
    int32_t head;
  };

  static uint32_t HashOf(const char* name);
  static bool Matches(const Slot& slot, uint32_t hash, const char* name, NameCase rule);
  int32_t BucketOf(uint32_t hash) const {
    return static_cast<int32_t>(hash % static_cast<uint32_t>(m_slots.Count()));
  }
  void MakeRoom(int64_t count);
  void Relink();
  void Link(int32_t position);
  void Unlink(int32_t position);

  GrowArray<Slot> m_slots;  // its count is always its capacity: every slot heads a bucket
  int32_t m_count = 0;
};
