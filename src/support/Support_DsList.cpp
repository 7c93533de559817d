#include <cstring>
#include <utility>

#include "base/Common.h"
#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"
#include "support/Support_Data_Structures.h"

CDS_List::~CDS_List() {
  Clear();
  MemoryManager::Free(m_items);
}

void CDS_List::Reserve(int64_t capacity) {
  if (capacity <= m_capacity) return;
  m_items = static_cast<ScriptValue*>(Grow_Resize(m_items, capacity, sizeof(ScriptValue)));
  m_capacity = static_cast<int32_t>(capacity);
}

void CDS_List::Add(const ScriptValue* value) {
  if (m_count == m_capacity) {
    const int32_t step = m_capacity < 128 ? 16 : m_capacity / 8;
    Reserve(static_cast<int64_t>(m_count) + step);
  }
  m_items[m_count] = DsCopyOf(value);
  ++m_count;
}

void CDS_List::Insert(int32_t position, const ScriptValue* value) {
  if (position < 0 || position > m_count) return;
  if (m_count == m_capacity) Reserve(static_cast<int64_t>(m_capacity) + 16);
  std::memmove(static_cast<void*>(m_items + position + 1), m_items + position,
               sizeof(ScriptValue) * static_cast<size_t>(m_count - position));
  m_items[position] = DsCopyOf(value);
  ++m_count;
}

void CDS_List::Set(int32_t position, const ScriptValue* value, ScriptValue* out) {
  if (position < 0) return;
  if (position >= m_count) {
    const int64_t count = static_cast<int64_t>(position) + 1;
    if (count >= m_capacity) Reserve(count + 16);
    m_count = static_cast<int32_t>(count);
  }
  ScriptValue& slot = m_items[position];
  if (out != nullptr) CopyValue(out, &slot);
  ScriptValue copy = DsCopyOf(value);
  ReleaseValue(&slot);
  slot = copy;
}

void CDS_List::Replace(int32_t position, const ScriptValue* value) {
  if (position < 0 || position >= m_count) return;
  ScriptValue copy = DsCopyOf(value);
  ReleaseValue(&m_items[position]);
  m_items[position] = copy;
}

void CDS_List::Delete(int32_t position) {
  if (position < 0 || position >= m_count) return;
  const ScriptValue& last = m_items[m_count - 1];
  const uint64_t highBits = last.Kind() == VALUE_REAL ? (last.bits & 0xFFFFFFFF00000000ull) : 0;
  ReleaseValue(&m_items[position]);
  std::memmove(static_cast<void*>(m_items + position), m_items + position + 1,
               sizeof(ScriptValue) * static_cast<size_t>(m_count - position - 1));
  --m_count;
  // The slot that fell out of the list keeps no ownership: its old item now lives one lower.
  ScriptValue& freed = m_items[m_count];
  freed = ScriptValue{};
  freed.bits = highBits;
}

ScriptValue* CDS_List::GetItem(int32_t position) const {
  return position >= 0 && position < m_count ? &m_items[position] : nullptr;
}

int32_t CDS_List::FindIndex(const ScriptValue* value) const {
  for (int32_t i = 0; i < m_count; ++i) {
    if (CompareDsValues(&m_items[i], value) == 0) return i;
  }
  return -1;
}

void CDS_List::Sort(bool ascending) {
  for (int32_t i = 1; i < m_count; ++i) {
    for (int32_t j = i; j >= 1; --j) {
      const int32_t c = CompareDsValues(&m_items[j - 1], &m_items[j]);
      if (ascending ? c <= 0 : c > 0) break;
      std::swap(m_items[j - 1], m_items[j]);
    }
  }
}

void CDS_List::Shuffle() {
  if (m_count == 0) return;
  const int64_t swaps = static_cast<int64_t>(m_count) * 8;
  for (int64_t i = 0; i < swaps; ++i) {
    const int32_t a = RandomInt(m_count);
    const int32_t b = RandomInt(m_count);
    std::swap(m_items[a], m_items[b]);
  }
}

void CDS_List::RemoveAll(std::vector<DsMarkRef>* marks) {
  for (int32_t i = 0; i < m_count; ++i) {
    ScriptValue& item = m_items[i];
    if (marks != nullptr) DsCollectMark(&item, marks);
    item.kind &= ~kDsMarkBits;
    ReleaseValue(&item);
  }
  m_count = 0;
}

void CDS_List::Clear() {
  if (m_count == 0) return;
  std::vector<DsMarkRef> marks;
  RemoveAll(&marks);
  DsDestroyMarked(&marks, this);
}

void CDS_List::Copy(const CDS_List* source) {
  if (source == this) return;
  RemoveAll();
  MemoryManager::Free(m_items);
  m_items = nullptr;
  m_capacity = 0;
  Reserve(source->m_capacity);
  for (int32_t i = 0; i < source->m_capacity; ++i) m_items[i] = DsCopyOf(&source->m_items[i]);
  m_count = source->m_count;
}
