// The one table of a kind of resource (sprites, backgrounds, fonts, paths): a slot per index,
// each holding an owned record or null (an empty slot) and an owned name (or null), parallel.
// A resource's id is its slot. Slots are never reused: a resource added at run time appends a
// slot named by the table's prefix and the new index in decimal ("__newsprite12"), and a deleted
// resource leaves an empty slot whose index stays taken.
//
// Records are made with `new` and deleted through their (virtual) destructor; names live in a
// NameTable, so a record may keep a pointer to its slot's name for as long as the slot keeps it.
// Like GrowArray and NameTable the table has no destructor: FreeAll empties it. Main thread only.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/GrowArray.h"
#include "platform/NameTable.h"

template <typename T>
class ResourceTable {
 public:
  // `newPrefix` names the slots appended at run time; a text that lives for the whole run.
  constexpr explicit ResourceTable(const char* newPrefix) : m_newPrefix(newPrefix) {}
  ResourceTable(const ResourceTable&) = delete;
  ResourceTable& operator=(const ResourceTable&) = delete;

  // The number of slots, empty ones included.
  int32_t Count() const { return m_records.Count(); }
  // True when 0 <= index < count and the slot holds a record.
  bool Exists(int32_t index) const { return Data(index) != nullptr; }
  // The record of slot `index`, or null (out of range or an empty slot).
  T* Data(int32_t index) const {
    return index >= 0 && index < m_records.Count() ? m_records[index] : nullptr;
  }
  // The name of slot `index`: "<undefined>" for an index that names no resource; the slot's
  // name otherwise, which is null for a filled slot without a name.
  const char* Name(int32_t index) const { return Exists(index) ? m_names.Name(index) : "<undefined>"; }
  // The first filled slot whose name equals `name` byte for byte, or -1 (also for null).
  int32_t FindByName(const char* name) const {
    int32_t found = -1;
    m_names.ForEachMatch(name, NameCase::kExact, [&](int32_t position) {
      if (m_records[position] != nullptr) found = position;  // visits the highest first
    });
    return found;
  }

  // Makes the table `count` empty slots (what was there is deleted first).
  void Reset(int32_t count) {
    FreeAll();
    m_records.SetCount(count);
    for (int32_t i = 0; i < count; ++i) m_names.Add(nullptr);
  }
  // Puts `record` (owned from now on) and a copy of `name` into slot `index` (inside the table),
  // deleting what the slot held; answers the copy of the name (null for a null name).
  const char* Set(int32_t index, T* record, const char* name) {
    delete m_records[index];
    m_records[index] = record;
    m_names.Set(index, name);
    return m_names.Name(index);
  }
  // Appends a slot holding `record` (owned from now on) named by the prefix and its index;
  // answers the index.
  int32_t Append(T* record) {
    const int32_t index = m_records.Count();
    char name[64];
    std::snprintf(name, sizeof(name), "%s%d", m_newPrefix, index);
    m_records.Push(record);
    m_names.Add(name);
    return index;
  }
  // Drops the last slot again without deleting its record (an addition that failed, whose
  // record the caller deletes): the next addition takes the same index.
  T* DropLast() {
    const int32_t last = m_records.Count() - 1;
    if (last < 0) return nullptr;
    T* record = m_records[last];
    m_records.SetCount(last);
    m_names.RemoveAt(last);
    return record;
  }
  // Deletes the record and the name of slot `index`, which stays as an empty slot; false when
  // the index names no resource.
  bool Delete(int32_t index) {
    if (!Exists(index)) return false;
    delete m_records[index];
    m_records[index] = nullptr;
    m_names.Set(index, nullptr);
    return true;
  }
  // Calls visit(index, record) for every filled slot, in index order.
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (int32_t i = 0; i < m_records.Count(); ++i) {
      if (m_records[i] != nullptr) visit(i, m_records[i]);
    }
  }
  // Deletes every record and name: an empty table.
  void FreeAll() {
    for (int32_t i = 0; i < m_records.Count(); ++i) delete m_records[i];
    m_records.Free();
    m_names.FreeAll();
  }

 private:
  GrowArray<T*> m_records;
  NameTable m_names;
  const char* m_newPrefix;
};
