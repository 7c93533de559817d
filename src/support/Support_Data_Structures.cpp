#include "support/Support_Data_Structures.h"

#include <cmath>
#include <cstring>

#include "platform/Numeric.h"

DataStructureState& DsState() {
  static DataStructureState state;
  return state;
}

void DsCollectMark(const ScriptValue* value, std::vector<DsMarkRef>* marks) {
  if ((value->kind & 0xFFFFu) != 0) return;
  if (value->kind & DS_MARK_MAP) {
    marks->push_back({DS_MARK_MAP, num::TruncInt32(value->real)});
  } else if (value->kind & DS_MARK_LIST) {
    marks->push_back({DS_MARK_LIST, num::TruncInt32(value->real)});
  }
}

namespace {

// Takes a live container out of its table, empties it (collecting what its marks name) and
// deletes it. Null or the kept container: nothing.
template <typename T>
void DestroyOne(DsTable<T>& table, int32_t index, const void* keep, std::vector<DsMarkRef>* marks) {
  T* container = table.Get(index);
  if (container == nullptr || container == keep) return;
  table.Detach(index);
  container->RemoveAll(marks);
  delete container;
}

}  // namespace

void DsDestroyMarked(std::vector<DsMarkRef>* marks, const void* keep) {
  DataStructureState& st = DsState();
  while (!marks->empty()) {
    const DsMarkRef ref = marks->back();
    marks->pop_back();
    if (ref.mark == DS_MARK_MAP) DestroyOne(st.maps, ref.index, keep, marks);
    else DestroyOne(st.lists, ref.index, keep, marks);
  }
}

void DsMap_DestroyIndex(int32_t index) {
  std::vector<DsMarkRef> marks{{DS_MARK_MAP, index}};
  DsDestroyMarked(&marks, nullptr);
}

void DsList_DestroyIndex(int32_t index) {
  std::vector<DsMarkRef> marks{{DS_MARK_LIST, index}};
  DsDestroyMarked(&marks, nullptr);
}

void DataStructures_Reset() {
  DataStructureState& st = DsState();
  for (int32_t i = 0; i < st.maps.Count(); ++i) DsMap_DestroyIndex(i);
  for (int32_t i = 0; i < st.lists.Count(); ++i) DsList_DestroyIndex(i);
  st.maps.Reset();
  st.lists.Reset();
  st.precision = DataStructureState{}.precision;
}

int32_t CompareDsValues(const ScriptValue* a, const ScriptValue* b) {
  if (a->kind == VALUE_REAL && b->kind == VALUE_REAL) {
    const double difference = static_cast<double>(num::ToFloat(a->real)) - static_cast<double>(num::ToFloat(b->real));
    const float d = num::ToFloat(difference);
    // A difference of exactly 0 is equal whatever the precision, 0 included.
    if (d == 0.0f || DsState().precision > std::fabs(d)) return 0;
    return d < 0 ? -1 : 1;
  }
  if (a->kind == VALUE_STRING && b->kind == VALUE_STRING) {
    if (a->str == nullptr || b->str == nullptr) return 1;
    const int c = std::strcmp(a->str, b->str);  // compares as unsigned bytes
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return a->kind == VALUE_REAL ? -1 : 1;
}

void SetDsPrecision(double x) { DsState().precision = std::fabs(x); }

// ---- Helpers ----

CDS_Map* DsMap_Get(int32_t index) { return DsState().maps.Get(index); }
uint64_t DsMap_Serial(int32_t index) {
  const CDS_Map* map = DsMap_Get(index);
  return map != nullptr ? map->Serial() : 0;
}
CDS_List* DsList_Get(int32_t index) { return DsState().lists.Get(index); }
int32_t DsMap_Register(CDS_Map* map) { return DsState().maps.Add(map); }
int32_t DsList_Register(CDS_List* list) { return DsState().lists.Add(list); }
int32_t AllocDsMapSlot() { return DsMap_Register(new CDS_Map()); }

int32_t CreateDsMap(const DsMapInit* entries, int32_t count) {
  CDS_Map* map = new CDS_Map();
  for (int32_t i = 0; i < count; ++i) map->AddStringKey(entries[i].key, entries[i].real, entries[i].text);
  return DsMap_Register(map);
}

int32_t CreateDsMap(std::initializer_list<DsMapInit> entries) {
  return CreateDsMap(entries.begin(), static_cast<int32_t>(entries.size()));
}

bool DsMap_AddReal(int32_t index, const char* key, double value) {
  CDS_Map* map = DsMap_Get(index);
  return map != nullptr && map->AddStringKey(key, value, nullptr);
}

bool DsMap_AddString(int32_t index, const char* key, const char* value) {
  CDS_Map* map = DsMap_Get(index);
  if (map == nullptr) return false;
  ScriptValue k{}, v{};
  SetString(&k, key);
  SetString(&v, value);
  const bool added = map->Add(&k, &v);
  ReleaseValue(&k);
  ReleaseValue(&v);
  return added;
}

void DsMap_Destroy(int32_t index) { DsMap_DestroyIndex(index); }
