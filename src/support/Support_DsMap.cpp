#include <cstring>

#include "support/CRC32.h"
#include "support/Support_Data_Structures.h"

namespace {

using Node = Hash<DsMapEntry>::Node;

// The key match of FindNext and FindPrevious: no epsilon, reals with ==.
bool SameKey(const ScriptValue* a, const ScriptValue* b) {
  if (a->Kind() != b->Kind()) return false;
  switch (a->Kind()) {
    case VALUE_STRING:
      if (a->str == nullptr || b->str == nullptr) return a->str == b->str;
      return std::strcmp(a->str, b->str) == 0;
    case VALUE_REAL: return a->real == b->real;
    case VALUE_INT32: return a->i32 == b->i32;
    case VALUE_UNDEFINED: return true;
    default: return a->bits == b->bits;
  }
}

bool IsPowerOfTwo(int32_t n) { return n > 0 && (n & (n - 1)) == 0; }

}  // namespace

DsMapEntry::DsMapEntry(const ScriptValue* k, const ScriptValue* v) : key(DsCopyOf(k)), value(DsCopyOf(v)) {}

DsMapEntry::~DsMapEntry() {
  ReleaseValue(&key);
  ReleaseValue(&value);
}

uint32_t DsMapKeyHash(const ScriptValue* key) {
  if (key->kind == VALUE_STRING) return CRC32String(key->str);
  uint64_t payload = key->bits;
  if (key->Kind() == VALUE_INT32) payload = static_cast<uint32_t>(key->i32);
  return CRC32Buffer(&payload, sizeof(payload));
}

CDS_Map::CDS_Map() : m_hash(new Hash<DsMapEntry>(kDsMapDefaultBuckets)), m_serial(DsState().nextMapSerial++) {}

CDS_Map::CDS_Map(int32_t bucketCount)
    : m_hash(new Hash<DsMapEntry>(IsPowerOfTwo(bucketCount) && bucketCount <= 65536 ? bucketCount
                                                                                      : kDsMapDefaultBuckets)),
      m_serial(DsState().nextMapSerial++) {}

CDS_Map::~CDS_Map() {
  Clear();
  delete m_hash;
}

Node* CDS_Map::FindNode(const ScriptValue* key, uint32_t hash) const {
  const int32_t stored = static_cast<int32_t>(hash);
  for (Node* n = m_hash->Buckets()[m_hash->BucketOf(stored)].head; n; n = n->next) {
    if (n->key == stored && ValuesEqual(&n->value->key, key)) return n;
  }
  return nullptr;
}

void CDS_Map::Append(const ScriptValue* key, const ScriptValue* value, uint32_t hash) {
  m_hash->Insert(static_cast<int32_t>(hash), new DsMapEntry(key, value));
}

DsMapEntry* CDS_Map::Find(const ScriptValue* key) const {
  Node* n = FindNode(key, DsMapKeyHash(key));
  return n ? n->value : nullptr;
}

bool CDS_Map::Add(const ScriptValue* key, const ScriptValue* value) {
  const uint32_t hash = DsMapKeyHash(key);
  if (FindNode(key, hash) != nullptr) return false;
  Append(key, value, hash);
  return true;
}

bool CDS_Map::AddStringKey(const char* key, double real, const char* text) {
  ScriptValue k{};
  SetString(&k, key);
  ScriptValue v{};
  if (text != nullptr) SetString(&v, text); else SetReal(&v, real);
  const bool added = Add(&k, &v);
  ReleaseValue(&k);
  ReleaseValue(&v);
  return added;
}

void CDS_Map::Set(const ScriptValue* key, const ScriptValue* value, ScriptValue* out) {
  const uint32_t hash = DsMapKeyHash(key);
  Node* n = FindNode(key, hash);
  if (n == nullptr) {
    if (out != nullptr) CopyValue(out, value);
    Append(key, value, hash);
    return;
  }
  DsMapEntry* e = n->value;
  if (out != nullptr) CopyValue(out, &e->value);
  // Copies first: the new key and value may share storage with the old ones.
  ScriptValue newKey = DsCopyOf(key);
  ScriptValue newValue = DsCopyOf(value);
  ReleaseValue(&e->key);
  ReleaseValue(&e->value);
  e->key = newKey;
  e->value = newValue;
}

bool CDS_Map::Replace(const ScriptValue* key, const ScriptValue* value) {
  DsMapEntry* e = Find(key);
  if (e == nullptr) {
    Add(key, value);
    return false;
  }
  ScriptValue newValue = DsCopyOf(value);
  ReleaseValue(&e->value);
  e->value = newValue;
  return true;
}

bool CDS_Map::Delete(const ScriptValue* key) {
  Node* n = FindNode(key, DsMapKeyHash(key));
  if (n == nullptr) return false;
  m_hash->RemoveNode(n, kHashDelete);
  return true;
}

DsMapEntry* CDS_Map::FindFirst() const {
  HashIterator<DsMapEntry> it;
  return it.Begin(m_hash);
}

DsMapEntry* CDS_Map::FindLast() const {
  for (int32_t b = m_hash->Mask(); b >= 0; --b) {
    if (Node* tail = m_hash->Buckets()[b].tail) return tail->value;
  }
  return nullptr;
}

DsMapEntry* CDS_Map::FindNext(const ScriptValue* key) const {
  HashIterator<DsMapEntry> it;
  for (DsMapEntry* e = it.Begin(m_hash); e; e = it.Next()) {
    if (SameKey(&e->key, key)) return it.Next();
  }
  return nullptr;
}

DsMapEntry* CDS_Map::FindPrevious(const ScriptValue* key) const {
  HashIterator<DsMapEntry> it;
  DsMapEntry* previous = nullptr;
  for (DsMapEntry* e = it.Begin(m_hash); e; e = it.Next()) {
    if (SameKey(&e->key, key)) return previous;
    previous = e;
  }
  return nullptr;
}

void CDS_Map::Copy(const CDS_Map* source) {
  if (source == this) return;
  RemoveAll();
  HashIterator<DsMapEntry> it;
  for (DsMapEntry* e = it.Begin(source->m_hash); e; e = it.Next()) Append(&e->key, &e->value, DsMapKeyHash(&e->key));
}

void CDS_Map::RemoveAll(std::vector<DsMarkRef>* marks) {
  if (marks != nullptr) {
    HashIterator<DsMapEntry> it;
    for (DsMapEntry* e = it.Begin(m_hash); e; e = it.Next()) DsCollectMark(&e->value, marks);
  }
  m_hash->Clear(kHashDelete);
}

void CDS_Map::Clear() {
  if (Empty()) return;
  std::vector<DsMarkRef> marks;
  RemoveAll(&marks);
  DsDestroyMarked(&marks, this);
}
