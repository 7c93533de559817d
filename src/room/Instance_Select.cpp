#include "room/Instance_Select.h"

CInstance* Instance_FindLive(int32_t id) {
  CInstance* instance = Instance_Find(id);
  return instance != nullptr && instance->IsLive() ? instance : nullptr;
}

CInstance* Instance_FindNotDestroyed(int32_t id) {
  CInstance* instance = Instance_Find(id);
  return instance != nullptr && instance->i_marked == 0 ? instance : nullptr;
}

CInstance* Instance_SelectForRead(int32_t target) {
  CInstance* found = nullptr;
  auto first = [&found](CInstance* instance) {
    found = instance;
    return false;
  };
  if (target == kSelectAll) {
    Instance_WalkRoomLive(first);
  } else if (target >= kSelectFirstInstanceId) {
    found = Instance_FindNotDestroyed(target);
  } else if (target >= 0) {
    Instance_WalkObjectLive(target, SelectQueues::kRelinkAndActivation, first);
  }
  return found;
}
