// Reading the notification maps that asynchronous events carry.
#pragma once

#include <cstdint>
#include <string>

#include "support/Support_Data_Structures.h"
#include "testlib/TestHelpers.h"

namespace testsupport {

// The value of string key `key` in map `index` as text: a string as it is, a real as its whole
// number; "<no map>" when the slot holds no map, "<none>" when the key is absent.
inline std::string MapValue(int32_t index, const char* key) {
  const CDS_Map* map = DsMap_Get(index);
  if (map == nullptr) return "<no map>";
  ScriptValue k = Str(key);
  const DsMapEntry* entry = map->Find(&k);
  ReleaseValue(&k);
  if (entry == nullptr) return "<none>";
  if (entry->value.Kind() == VALUE_STRING) return entry->value.str != nullptr ? entry->value.str : "";
  return std::to_string(static_cast<int64_t>(entry->value.real));
}

}  // namespace testsupport
