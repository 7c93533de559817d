#include "platform/NameTable.h"

#include <cstring>

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringAsciiCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
  }
  return *a == *b;
}

}  // namespace

NameTable::NameTable(NameTable&& other) noexcept : m_slots(static_cast<GrowArray<Slot>&&>(other.m_slots)), m_count(other.m_count) {
  other.m_count = 0;
}

NameTable& NameTable::operator=(NameTable&& other) noexcept {
  if (this != &other) {
    FreeAll();
    m_slots = static_cast<GrowArray<Slot>&&>(other.m_slots);
    m_count = other.m_count;
    other.m_count = 0;
  }
  return *this;
}

// FNV-1a over the bytes with ASCII letters lowered, so that both case rules share one index.
uint32_t NameTable::HashOf(const char* name) {
  uint32_t hash = 2166136261u;
  for (const char* p = name; *p != '\0'; ++p) hash = (hash ^ static_cast<uint8_t>(LowerAscii(*p))) * 16777619u;
  return hash;
}

bool NameTable::Matches(const Slot& slot, uint32_t hash, const char* name, NameCase rule) {
  if (slot.hash != hash) return false;
  return rule == NameCase::kExact ? std::strcmp(slot.name, name) == 0 : EqualIgnoringAsciiCase(slot.name, name);
}

const char* NameTable::Name(int32_t position) const {
  return position >= 0 && position < m_count ? m_slots[position].name : nullptr;
}

void NameTable::MakeRoom(int64_t count) {
  if (count <= m_slots.Count()) return;
  m_slots.Reserve(count);
  m_slots.SetCount(m_slots.Capacity());
  Relink();
}

void NameTable::Relink() {
  for (int32_t b = 0; b < m_slots.Count(); ++b) m_slots[b].head = 0;
  // Linking in rising order leaves every chain highest first.
  for (int32_t p = 0; p < m_count; ++p) {
    if (m_slots[p].name == nullptr) continue;
    Slot& slot = m_slots[p];
    int32_t& head = m_slots[BucketOf(slot.hash)].head;
    slot.next = head;
    head = p + 1;
  }
}

void NameTable::Link(int32_t position) {
  Slot& slot = m_slots[position];
  int32_t* link = &m_slots[BucketOf(slot.hash)].head;
  while (*link != 0 && *link - 1 > position) link = &m_slots[*link - 1].next;
  slot.next = *link;
  *link = position + 1;
}

void NameTable::Unlink(int32_t position) {
  int32_t* link = &m_slots[BucketOf(m_slots[position].hash)].head;
  while (*link != 0 && *link != position + 1) link = &m_slots[*link - 1].next;
  if (*link != 0) *link = m_slots[position].next;
  m_slots[position].next = 0;
}

int32_t NameTable::Add(const char* name) {
  const int32_t position = m_count;
  Set(position, name);
  return position;
}

void NameTable::Set(int32_t position, const char* name) {
  if (position < 0) return;
  char* copy = MemoryManager::DuplicateText(name);
  if (position >= m_count) {
    MakeRoom(static_cast<int64_t>(position) + 1);
    // The slots past the count hold no name (the head of their bucket is not theirs to clear).
    for (int32_t p = m_count; p <= position; ++p) {
      m_slots[p].name = nullptr;
      m_slots[p].hash = 0;
      m_slots[p].next = 0;
    }
    m_count = position + 1;
  } else if (m_slots[position].name != nullptr) {
    Unlink(position);
    MemoryManager::Free(m_slots[position].name);
  }
  Slot& slot = m_slots[position];
  slot.name = copy;
  slot.hash = copy != nullptr ? HashOf(copy) : 0;
  slot.next = 0;
  if (copy != nullptr) Link(position);
}

void NameTable::RemoveAt(int32_t position) {
  if (position < 0 || position >= m_count) return;
  MemoryManager::Free(m_slots[position].name);
  for (int32_t p = position; p + 1 < m_count; ++p) {
    m_slots[p].name = m_slots[p + 1].name;
    m_slots[p].hash = m_slots[p + 1].hash;
  }
  --m_count;
  m_slots[m_count].name = nullptr;
  m_slots[m_count].hash = 0;
  Relink();
}

int32_t NameTable::FindFirst(const char* name, NameCase rule) const {
  int32_t found = -1;
  ForEachMatch(name, rule, [&found](int32_t position) { found = position; });
  return found;
}

int32_t NameTable::FindLast(const char* name, NameCase rule) const {
  if (name == nullptr || m_count == 0) return -1;
  const uint32_t hash = HashOf(name);
  for (int32_t link = m_slots[BucketOf(hash)].head; link != 0; link = m_slots[link - 1].next) {
    if (Matches(m_slots[link - 1], hash, name, rule)) return link - 1;
  }
  return -1;
}

void NameTable::FreeAll() {
  for (int32_t p = 0; p < m_count; ++p) MemoryManager::Free(m_slots[p].name);
  m_slots.Free();
  m_count = 0;
}
