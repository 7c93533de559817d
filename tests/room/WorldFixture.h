// A fixture for tests of instances and events: a fresh runtime (RuntimeTest) and an empty world
// (no room, instances, object lists or sprites, no event running, no room change pending, error
// dialogs off) before each test, emptied again afterwards with a check that no memory-manager
// block was left behind.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "code/Code_Error.h"
#include "object/Object_Class.h"
#include "object/Object_Lists.h"
#include "object/Object_Main.h"
#include "platform/MemoryManager.h"
#include "room/Event_State.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "run/Run_Global.h"
#include "script/Script_Main.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"
#include "timeline/TimeLine_Main.h"
#include "variable/Variable_Main.h"

class WorldTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    CleanWorld();
    RuntimeTest::SetUp();
    Run_SetNewRoom(kNewRoomNone);
    Error_SetDialogSwitch(false);
    m_blocks = Blocks();
  }
  void TearDown() override {
    CleanWorld();  // the instances leave their objects' lists before the objects go
    RuntimeTest::TearDown();
    EXPECT_EQ(Blocks(), m_blocks) << "memory-manager blocks leaked";
  }

  // A current room (deleted with the world).
  CRoom* Room() {
    if (CurrentRoom == nullptr) {
      Room_SetLastInstanceId(100000);
      CurrentRoom = new CRoom();
    }
    return CurrentRoom;
  }
  // A sprite of `frames` frames; answers its index.
  static int32_t AddSprite(int32_t frames) {
    const int32_t index = Sprite_AddEmpty();
    Sprite_Data(index)->m_numb = frames;
    return index;
  }
  // The ids of a room list from first to last.
  static std::vector<int32_t> Ids(const ActiveList& list) {
    std::vector<int32_t> ids;
    for (CInstance* i = list.first; i != nullptr; i = i->i_next) ids.push_back(i->i_id);
    return ids;
  }

 private:
  // Memory-manager blocks in use, less the variable nodes kept for reuse.
  static int64_t Blocks() { return MemoryManager::BlockCount.load() - VariableNodeFreeCount(); }
  // What Runtime_Reset leaves to the world's owners.
  static void CleanWorld() {
    delete CurrentRoom;
    CurrentRoom = nullptr;
    Instances_Reset();
    ObjectLists_Free();
    Sprite_FreeAll();
    Event_ResetState();
    Run_SetNewRoom(kNewRoomNone);
  }
  int64_t m_blocks = 0;
};
