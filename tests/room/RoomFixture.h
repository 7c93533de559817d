// A fixture for tests of rooms: a fresh runtime before and after each test, a game loaded from a
// built file, objects with handlers that write what ran into one log, and a "note" built-in that
// creation code calls to write into the same log.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "code/Code_Constant.h"
#include "code/Code_Function.h"
#include "code/Code_Main.h"
#include "object/Object_Class.h"
#include "object/Object_Main.h"
#include "platform/MemoryManager.h"
#include "room/Event_Names.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "room/Room_Main.h"
#include "room/Room_Run.h"
#include "run/Run_Global.h"
#include "runner/GameDataTestUtil.h"
#include "variable/Variable_Main.h"

namespace roomtest {

using namespace testsupport;  // the builder's records and the helpers

inline std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

// note(text): logs "<text>:<self id>".
inline void Note(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args) {
  std::string line = argc > 0 && args[0].Kind() == VALUE_STRING && args[0].str != nullptr ? args[0].str : "?";
  Log().push_back(line + ":" + std::to_string(self != nullptr ? self->i_id : -1));
}

class RoomTest : public gamedatatest::GameDataTest {
 protected:
  void SetUp() override {
    GameDataTest::SetUp();
    Log().clear();
    InitGlobalVariables();
    RegisterBuiltinConstants();
  }
  void TearDown() override {
    Log().clear();
    GameDataTest::TearDown();
  }

  // Loads the file (both passes) and compiles the room code, as the start-up does.
  void LoadGame(GameDataBuilder& g) {
    ASSERT_TRUE(Load(g.Build()));
    RegisterBuiltinFunction("note", Note, 1);
    ASSERT_TRUE(Room_Prepare());
  }

  // An object whose events of `kinds` (kind, number) log "<tag> <event>:<self id>".
  static int32_t LoggingObject(const std::string& tag, bool persistent = false) {
    const int32_t object = AddObject();
    if (persistent) Object_Find(object)->m_Flags |= kObjectPersistent;
    const std::pair<int32_t, int32_t> events[] = {{EVENT_CREATE, 0}, {EVENT_OTHER, 2}, {EVENT_OTHER, 3},
                                                  {EVENT_OTHER, 4},  {EVENT_OTHER, 5}};
    const char* names[] = {"create", "game start", "game end", "room start", "room end"};
    for (size_t i = 0; i < 5; ++i) {
      const std::string what = tag + " " + names[i];
      AddHandler(object, events[i].first, events[i].second, [what](CInstance* self, CInstance*, ScriptValue*) {
        Log().push_back(what + ":" + std::to_string(self->i_id));
      });
    }
    return object;
  }
};

// The ids of a room list, first to last.
inline std::vector<int32_t> Ids(const ActiveList& list) {
  std::vector<int32_t> ids;
  for (CInstance* i = list.first; i != nullptr; i = i->i_next) ids.push_back(i->i_id);
  return ids;
}

}  // namespace roomtest
