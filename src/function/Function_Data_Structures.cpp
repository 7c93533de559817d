#include "function/Function_Data_Structures.h"

#include "base/ErrorSink.h"
#include "code/Code_Function.h"
#include "function/Function_Args.h"
#include "platform/Numeric.h"
#include "support/Support_Data_Structures.h"

namespace {

constexpr char kNoStructure[] = "Data structure with index does not exist.";

// ---- Arguments ----

double Number(int32_t argc, const ScriptValue* args, int32_t i) { return ArgNumberOrNaN(argc, args, i); }
int32_t Rounded(int32_t argc, const ScriptValue* args, int32_t i) { return num::RoundInt32(Number(argc, args, i)); }
int32_t Truncated(int32_t argc, const ScriptValue* args, int32_t i) { return num::TruncInt32(Number(argc, args, i)); }
const ScriptValue* Value(int32_t argc, const ScriptValue* args, int32_t i) { return ArgValue(argc, args, i); }

// The container an index names, or null after reporting that it does not exist.
template <typename T>
T* Checked(const DsTable<T>& table, int32_t index) {
  T* container = table.Get(index);
  if (container == nullptr) ReportRuntimeError(kNoStructure, false);
  return container;
}
CDS_Map* MapAt(int32_t index) { return Checked(DsState().maps, index); }
CDS_List* ListAt(int32_t index) { return Checked(DsState().lists, index); }
CDS_Map* MapArg(int32_t argc, const ScriptValue* args, int32_t i) { return MapAt(Rounded(argc, args, i)); }
CDS_List* ListArg(int32_t argc, const ScriptValue* args, int32_t i) { return ListAt(Rounded(argc, args, i)); }

// ---- Results ----

void SetResultReal(ScriptValue* result, double v) { SetReal(result, v); }
void SetResultBool(ScriptValue* result, bool v) { SetReal(result, v ? 1.0 : 0.0); }
// A copy of a stored value with its marks removed, or undefined for none.
void SetResultPlain(ScriptValue* result, const ScriptValue* stored) {
  if (stored == nullptr) {
    SetUndefined(result);
    return;
  }
  CopyValue(result, stored);
  result->kind &= kValueKindMask;
}
void SetResultKey(ScriptValue* result, const DsMapEntry* entry) {
  if (entry != nullptr) CopyValue(result, &entry->key); else SetUndefined(result);
}

// The *_destroy of maps and lists: an index outside the table is reported, an empty slot ignored.
template <typename T>
void DestroyAt(const DsTable<T>& table, int32_t index, void (*destroy)(int32_t)) {
  if (index < 0 || index >= table.Count()) {
    ReportRuntimeError(kNoStructure, false);
    return;
  }
  destroy(index);
}

// ---- ds_set_precision, ds_exists ----

void F_DsSetPrecision(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetDsPrecision(Number(argc, args, 0));
}

void F_DsExists(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int32_t index = Rounded(argc, args, 0);
  bool live = false;
  switch (Rounded(argc, args, 1)) {
    case DS_TYPE_MAP: live = DsMap_Get(index) != nullptr; break;
    case DS_TYPE_LIST: live = DsList_Get(index) != nullptr; break;
    default: break;  // stacks, queues, grids and priority queues: none exists
  }
  SetResultBool(result, live);
}

// ---- ds_list ----

void F_DsListCreate(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  SetResultReal(result, DsList_Register(new CDS_List()));
}

void F_DsListDestroy(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  DestroyAt(DsState().lists, Rounded(argc, args, 0), DsList_DestroyIndex);
}

void F_DsListClear(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_List* list = ListArg(argc, args, 0)) list->Clear();
}

void F_DsListCopy(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  CDS_List* destination = ListArg(argc, args, 0);
  if (destination == nullptr) return;
  if (CDS_List* source = ListArg(argc, args, 1)) destination->Copy(source);
}

void F_DsListSize(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_List* list = ListArg(argc, args, 0)) SetResultReal(result, list->Size());
}

void F_DsListEmpty(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_List* list = ListArg(argc, args, 0)) SetResultBool(result, list->Size() == 0);
}

void F_DsListAdd(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc < 2) {  // nothing to add
    ReportRuntimeError(kNoStructure, false);
    return;
  }
  if (CDS_List* list = ListArg(argc, args, 0)) {
    for (int32_t i = 1; i < argc; ++i) list->Add(&args[i]);
  }
}

void F_DsListInsert(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_List* list = ListArg(argc, args, 0)) list->Insert(Rounded(argc, args, 1), Value(argc, args, 2));
}

void F_DsListSet(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_List* list = ListArg(argc, args, 0)) list->Set(Rounded(argc, args, 1), Value(argc, args, 2));
}

void F_DsListSetPre(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  CDS_List* list = ListArg(argc, args, 0);
  if (list == nullptr) return;
  list->Set(Rounded(argc, args, 1), Value(argc, args, 2));
  CopyValue(result, Value(argc, args, 2));
}

void F_DsListSetPost(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_List* list = ListArg(argc, args, 0)) list->Set(Rounded(argc, args, 1), Value(argc, args, 2), result);
}

void F_DsListReplace(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_List* list = ListArg(argc, args, 0)) list->Replace(Rounded(argc, args, 1), Value(argc, args, 2));
}

void F_DsListDelete(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_List* list = ListArg(argc, args, 0)) list->Delete(Rounded(argc, args, 1));
}

// The list index is truncated toward zero here.
void F_DsListFindIndex(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_List* list = ListAt(Truncated(argc, args, 0))) SetResultReal(result, list->FindIndex(Value(argc, args, 1)));
}

void F_DsListFindValue(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_List* list = ListArg(argc, args, 0)) SetResultPlain(result, list->GetItem(Rounded(argc, args, 1)));
}

// Marks the item at a position as naming a structure; outside the list nothing is written and
// the result is undefined.
void MarkListItem(ScriptValue* result, int32_t argc, ScriptValue* args, uint32_t mark) {
  CDS_List* list = ListArg(argc, args, 0);
  if (list == nullptr) return;
  ScriptValue* item = list->GetItem(Rounded(argc, args, 1));
  if (item != nullptr) item->kind |= mark;
  SetResultPlain(result, item);
}

void F_DsListMarkAsList(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  MarkListItem(result, argc, args, DS_MARK_LIST);
}

void F_DsListMarkAsMap(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  MarkListItem(result, argc, args, DS_MARK_MAP);
}

void F_DsListSort(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_List* list = ListArg(argc, args, 0)) list->Sort(num::IsTrue(Number(argc, args, 1)));
}

void F_DsListShuffle(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_List* list = ListArg(argc, args, 0)) list->Shuffle();
}

// ---- ds_map ----

void F_DsMapCreate(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  // Called internally with a bucket count (truncated); scripts get the default map.
  CDS_Map* map = argc >= 1 ? new CDS_Map(Truncated(argc, args, 0)) : new CDS_Map();
  SetResultReal(result, DsMap_Register(map));
}

void F_DsMapDestroy(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  DestroyAt(DsState().maps, Rounded(argc, args, 0), DsMap_DestroyIndex);
}

void F_DsMapClear(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_Map* map = MapArg(argc, args, 0)) map->Clear();
}

void F_DsMapCopy(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  CDS_Map* destination = MapArg(argc, args, 0);
  if (destination == nullptr) return;
  if (CDS_Map* source = MapArg(argc, args, 1)) destination->Copy(source);
}

void F_DsMapSize(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_Map* map = MapArg(argc, args, 0)) SetResultReal(result, map->Size());
}

void F_DsMapEmpty(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_Map* map = MapArg(argc, args, 0)) SetResultBool(result, map->Empty());
}

void F_DsMapAdd(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetResultReal(result, 0);  // also the answer for a bad index
  if (CDS_Map* map = MapArg(argc, args, 0)) SetResultBool(result, map->Add(Value(argc, args, 1), Value(argc, args, 2)));
}

void F_DsMapSet(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_Map* map = MapArg(argc, args, 0)) map->Set(Value(argc, args, 1), Value(argc, args, 2));
}

void F_DsMapSetPre(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  CopyValue(result, Value(argc, args, 2));  // the result even when the map does not exist
  if (CDS_Map* map = MapArg(argc, args, 0)) map->Set(Value(argc, args, 1), Value(argc, args, 2));
}

void F_DsMapSetPost(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_Map* map = MapArg(argc, args, 0)) map->Set(Value(argc, args, 1), Value(argc, args, 2), result);
}

// The value argument of the *_list and *_map adders: a plain real whose truncation names a live
// structure of that kind, stored with the mark that makes the map own it. False after reporting.
bool NestedValue(int32_t argc, ScriptValue* args, uint32_t mark, ScriptValue* marked) {
  const ScriptValue* value = Value(argc, args, 2);
  const bool isMap = mark == DS_MARK_MAP;
  if (value->kind == VALUE_REAL) {
    const int32_t index = num::TruncInt32(value->real);
    if (isMap ? DsMap_Get(index) != nullptr : DsList_Get(index) != nullptr) {
      *marked = *value;
      marked->kind = mark;
      return true;
    }
  }
  ReportRuntimeError(isMap ? "Invalid map index for value" : "Invalid list index for value", false);
  return false;
}

void AddNested(ScriptValue* result, int32_t argc, ScriptValue* args, uint32_t mark) {
  SetResultReal(result, 0);  // also the answer for a bad index or value
  CDS_Map* map = MapArg(argc, args, 0);
  ScriptValue marked{};
  if (map == nullptr || !NestedValue(argc, args, mark, &marked)) return;
  SetResultBool(result, map->Add(Value(argc, args, 1), &marked));
}

void ReplaceNested(ScriptValue* result, int32_t argc, ScriptValue* args, uint32_t mark) {
  SetResultReal(result, 0);  // also the answer for a bad index or value
  CDS_Map* map = MapArg(argc, args, 0);
  ScriptValue marked{};
  if (map == nullptr || !NestedValue(argc, args, mark, &marked)) return;
  SetResultBool(result, map->Replace(Value(argc, args, 1), &marked));
}

void F_DsMapAddList(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  AddNested(result, argc, args, DS_MARK_LIST);
}

void F_DsMapAddMap(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  AddNested(result, argc, args, DS_MARK_MAP);
}

void F_DsMapReplace(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetResultReal(result, 0);  // also the answer for a bad index
  if (CDS_Map* map = MapArg(argc, args, 0)) SetResultBool(result, map->Replace(Value(argc, args, 1), Value(argc, args, 2)));
}

void F_DsMapReplaceList(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  ReplaceNested(result, argc, args, DS_MARK_LIST);
}

void F_DsMapReplaceMap(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  ReplaceNested(result, argc, args, DS_MARK_MAP);
}

void F_DsMapDelete(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_Map* map = MapArg(argc, args, 0)) map->Delete(Value(argc, args, 1));
}

void F_DsMapExists(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_Map* map = MapArg(argc, args, 0)) SetResultBool(result, map->Exists(Value(argc, args, 1)));
}

void F_DsMapFindValue(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  CDS_Map* map = MapArg(argc, args, 0);
  if (map == nullptr) return;
  const DsMapEntry* entry = map->Find(Value(argc, args, 1));
  SetResultPlain(result, entry ? &entry->value : nullptr);
}

void F_DsMapFindFirst(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_Map* map = MapArg(argc, args, 0)) SetResultKey(result, map->FindFirst());
}

void F_DsMapFindLast(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_Map* map = MapArg(argc, args, 0)) SetResultKey(result, map->FindLast());
}

void F_DsMapFindNext(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_Map* map = MapArg(argc, args, 0)) SetResultKey(result, map->FindNext(Value(argc, args, 1)));
}

void F_DsMapFindPrevious(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (CDS_Map* map = MapArg(argc, args, 0)) SetResultKey(result, map->FindPrevious(Value(argc, args, 1)));
}

// In registration order, which fixes the call numbers.
constexpr BuiltinSpec kFunctions[] = {
    {"ds_set_precision", F_DsSetPrecision, 1},
    {"ds_exists", F_DsExists, 2},

    {"ds_list_create", F_DsListCreate, 0},
    {"ds_list_destroy", F_DsListDestroy, 1},
    {"ds_list_clear", F_DsListClear, 1},
    {"ds_list_copy", F_DsListCopy, 2},
    {"ds_list_size", F_DsListSize, 1},
    {"ds_list_empty", F_DsListEmpty, 1},
    {"ds_list_add", F_DsListAdd, -1},
    {"ds_list_insert", F_DsListInsert, 3},
    {"ds_list_set", F_DsListSet, 3},
    {"ds_list_set_pre", F_DsListSetPre, 3},
    {"ds_list_set_post", F_DsListSetPost, 3},
    {"ds_list_replace", F_DsListReplace, 3},
    {"ds_list_delete", F_DsListDelete, 2},
    {"ds_list_find_index", F_DsListFindIndex, 2},
    {"ds_list_find_value", F_DsListFindValue, 2},
    {"ds_list_mark_as_list", F_DsListMarkAsList, 2},
    {"ds_list_mark_as_map", F_DsListMarkAsMap, 2},
    {"ds_list_sort", F_DsListSort, 2},
    {"ds_list_shuffle", F_DsListShuffle, 1},

    {"ds_map_create", F_DsMapCreate, 0},
    {"ds_map_destroy", F_DsMapDestroy, 1},
    {"ds_map_clear", F_DsMapClear, 1},
    {"ds_map_copy", F_DsMapCopy, 2},
    {"ds_map_size", F_DsMapSize, 1},
    {"ds_map_empty", F_DsMapEmpty, 1},
    {"ds_map_add", F_DsMapAdd, 3},
    {"ds_map_set", F_DsMapSet, 3},
    {"ds_map_set_pre", F_DsMapSetPre, 3},
    {"ds_map_set_post", F_DsMapSetPost, 3},
    {"ds_map_add_list", F_DsMapAddList, 3},
    {"ds_map_add_map", F_DsMapAddMap, 3},
    {"ds_map_replace", F_DsMapReplace, 3},
    {"ds_map_replace_list", F_DsMapReplaceList, 3},
    {"ds_map_replace_map", F_DsMapReplaceMap, 3},
    {"ds_map_delete", F_DsMapDelete, 2},
    {"ds_map_exists", F_DsMapExists, 2},
    {"ds_map_find_value", F_DsMapFindValue, 2},
    {"ds_map_find_first", F_DsMapFindFirst, 1},
    {"ds_map_find_last", F_DsMapFindLast, 1},
    {"ds_map_find_next", F_DsMapFindNext, 2},
    {"ds_map_find_previous", F_DsMapFindPrevious, 2},
};

}  // namespace

void RegisterDataStructureFunctions() {
  RegisterBuiltinTable(kFunctions);
}
