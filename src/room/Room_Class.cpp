#include "room/Room_Class.h"

#include "platform/Numeric.h"

CRoom* CurrentRoom = nullptr;
List<CInstance> RelinkQueue;
List<CInstance> ActivationChangeList;

namespace {

int32_t g_LastInstanceId = 0;

void DeleteInstances(ActiveList* list) {
  for (CInstance* instance = list->first; instance != nullptr;) {
    CInstance* next = instance->i_next;
    InstanceIdMap.Remove(instance->i_id, kHashKeep);
    delete instance;
    instance = next;
  }
  *list = ActiveList{};
}

}  // namespace

CRoom::~CRoom() {
  DeleteActiveInstances();
  DeleteDeactivatedInstances();
}

CInstance* CRoom::AddInstance(float x, float y, int32_t objectIndex) {
  g_LastInstanceId = num::WrapAdd32(g_LastInstanceId, 1);
  const int32_t id = g_LastInstanceId;
  CInstance* instance = new CInstance(x, y, id, objectIndex, true);
  m_Active.Insert(instance);
  InstanceIdMap.Insert(id, instance);
  return instance;
}

void CRoom::DeleteActiveInstances() { DeleteInstances(&m_Active); }

void CRoom::DeleteDeactivatedInstances() { DeleteInstances(&m_Deactivated); }

void Room_SetLastInstanceId(int32_t id) { g_LastInstanceId = id; }

int32_t Room_GetLastInstanceId() { return g_LastInstanceId; }
