#include "room/Room_Class.h"

#include "physics/Physics_World.h"
#include "platform/Numeric.h"

CRoom* CurrentRoom = nullptr;

namespace {

int32_t g_LastInstanceId = 0;

void DeleteInstances(ActiveList* list) {
  for (CInstance* instance = list->first; instance != nullptr;) {
    CInstance* next = instance->i_next;
    Instance_Delete(instance);
    instance = next;
  }
  *list = ActiveList{};
}

}  // namespace

CRoom::~CRoom() {
  delete m_PhysicsWorld;
  m_PhysicsWorld = nullptr;
  DeleteActiveInstances();
  DeleteDeactivatedInstances();
}

CInstance* CRoom::AddInstance(float x, float y, int32_t objectIndex) {
  g_LastInstanceId = num::WrapAdd32(g_LastInstanceId, 1);
  const int32_t id = g_LastInstanceId;
  CInstance* instance = new CInstance(x, y, id, objectIndex, true);
  instance->BuildPhysicsBody(this);
  m_Active.Insert(instance);
  InstanceIdMap.Insert(id, instance);
  return instance;
}

void CRoom::RemoveInstance(CInstance* instance) { Instance_Delete(instance); }

void CRoom::RemoveMarked() {
  for (CInstance* instance = m_Active.first; instance != nullptr;) {
    CInstance* next = instance->i_next;
    if (instance->i_marked != 0) {
      DepthChangeQueue.Remove(instance);
      RemoveInstance(instance);
    }
    instance = next;
  }
}

void CRoom::DeleteActiveInstances() { DeleteInstances(&m_Active); }

void CRoom::DeleteDeactivatedInstances() { DeleteInstances(&m_Deactivated); }

void Room_SetLastInstanceId(int32_t id) { g_LastInstanceId = id; }

int32_t Room_GetLastInstanceId() { return g_LastInstanceId; }
