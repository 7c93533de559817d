// The asynchronous pump: finished records become other-events with their own async_load map,
// progress records report event 62 every step, the maps are destroyed after the event unless the
// event replaced them, and the dispatch skips instances made during it and ignores room changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "buffer/IBuffer.h"
#include "object/Object_Lists.h"
#include "room/Event_Names.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "run/Run_Global.h"
#include "support/LoadSave_Request.h"
#include "support/Support_Data_Structures.h"
#include "testlib/DsMapFixtures.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

std::vector<std::string> g_seen;
int32_t g_cleanups = 0;
int32_t g_hookCalls = 0;

class AsyncQueueTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    g_seen.clear();
    g_cleanups = 0;
    g_hookCalls = 0;
    Room_SetLastInstanceId(100000);
    CurrentRoom = new CRoom();
    m_object = AddObject(-1, "obj");
  }
  void TearDown() override {
    delete CurrentRoom;
    CurrentRoom = nullptr;
    RuntimeTest::TearDown();
  }
  // A handler of other-event `number` that notes "<number> <id> <async_load> <key's value>"
  // and then runs `then`.
  void Note(int32_t number, const char* key = "k", std::function<void(CInstance*)> then = nullptr) {
    AddHandler(m_object, EVENT_OTHER, number, [number, key, then](CInstance* self, CInstance*, ScriptValue*) {
      const int32_t map = Run_GetAsyncLoad();
      g_seen.push_back(std::to_string(number) + " " + std::to_string(self->i_id) + " " + std::to_string(map) + " " +
                       MapValue(map, key));
      if (then) then(self);
    });
  }
  CInstance* Add() { return CurrentRoom->AddInstance(0, 0, m_object); }
  void Pump() {
    ObjectLists_Build();
    Async_ProcessEvents();
  }

  int32_t m_object = 0;
};

int32_t MapWith(const char* value) { return CreateDsMap({{"k", 0.0, value}}); }

// A producer's record: finished with event `number` from its completion, or not finished.
struct Producer {
  int32_t number;
  const char* value;
};
int32_t ProducerCompletion(HTTP_REQ_CONTEXT*, void* userData, int32_t* outMap) {
  const auto* p = static_cast<const Producer*>(userData);
  *outMap = MapWith(p->value);
  return p->number;
}
void ProducerCleanup(HTTP_REQ_CONTEXT* request) {
  ++g_cleanups;
  delete static_cast<Producer*>(request->m_userData);
}
HTTP_REQ_CONTEXT* Produce(int32_t number, const char* value, int32_t status, const char* url = nullptr) {
  auto* request = new HTTP_REQ_CONTEXT(url, 0, ProducerCompletion, ProducerCleanup, new Producer{number, value});
  request->m_status = status;
  return request;
}

TEST_F(AsyncQueueTest, FinishedRecordsGiveTheirEventsNewestFirstEachWithItsOwnMap) {
  Note(75);
  Note(72);
  Add();
  const int32_t older = MapWith("older");
  const int32_t newer = MapWith("newer");
  Async_PostEvent(older, 72);
  Async_PostEvent(newer, 75);
  EXPECT_EQ(Run_GetAsyncLoad(), -1);
  Pump();
  EXPECT_EQ(g_seen, (std::vector<std::string>{"75 100001 1 newer", "72 100001 0 older"}));
  EXPECT_EQ(Run_GetAsyncLoad(), -1);
  EXPECT_EQ(DsMap_Get(older), nullptr);
  EXPECT_EQ(DsMap_Get(newer), nullptr);
  EXPECT_EQ(AsyncQueue_Count(), 0);
}

TEST_F(AsyncQueueTest, AHookThatFinishesItsRecordIsReportedInTheSamePump) {
  Note(70);
  Add();
  HTTP_REQ_CONTEXT* request = Produce(70, "hooked", kRequestRunning);
  request->m_hook = [](HTTP_REQ_CONTEXT* r) {
    if (++g_hookCalls == 2) r->m_status = kRequestFinished;
  };
  Pump();
  EXPECT_TRUE(g_seen.empty());
  Pump();
  EXPECT_EQ(g_seen, std::vector<std::string>{"70 100001 0 hooked"});
  EXPECT_EQ(g_cleanups, 1);
  // An inactive record is neither hooked nor reported.
  request = Produce(70, "idle", kRequestFinished);
  request->m_active = 0;
  request->m_hook = [](HTTP_REQ_CONTEXT*) { ++g_hookCalls; };
  Pump();
  EXPECT_EQ(g_hookCalls, 2);
  EXPECT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(AsyncQueue_Count(), 1);
}

TEST_F(AsyncQueueTest, ProgressIsReportedEveryStepAndOtherStatusesNever) {
  Note(62, "url", [](CInstance*) {
    const int32_t map = Run_GetAsyncLoad();
    g_seen.push_back(MapValue(map, "id") + " " + MapValue(map, "status") + " " + MapValue(map, "contentLength") +
                     " " + MapValue(map, "sizeDownloaded"));
  });
  Add();
  HTTP_REQ_CONTEXT* named = Produce(62, "x", kRequestProgress, "http://a/");
  named->m_contentLength = 100;
  named->m_bytesReceived = 40;
  Produce(62, "x", kRequestProgress);  // no url: reported as the empty string
  for (int32_t status : {0, 1, 2, 4, 5, 6, 8, 9}) Produce(62, "never", status);
  HTTP_REQ_CONTEXT* silent = Produce(62, "x", kRequestProgress);
  silent->m_completion = nullptr;  // nothing to report with
  Pump();
  // The url-less record is newer, so it comes first.
  const std::vector<std::string> once = {"62 100001 0 ", "1 1 -1 0", "62 100001 0 http://a/", "0 1 100 40"};
  EXPECT_EQ(g_seen, once);
  named->m_bytesReceived = 80;
  g_seen.clear();
  Pump();
  EXPECT_EQ(g_seen[3], "0 1 100 80");
  EXPECT_EQ(AsyncQueue_Count(), 11);  // progress records stay
  EXPECT_EQ(DsMap_Get(0), nullptr);   // their maps do not
  EXPECT_EQ(g_cleanups, 0);
}

TEST_F(AsyncQueueTest, OnlyTheAsynchronousNumbersArePerformedAndEveryMapIsDestroyed) {
  const std::vector<int32_t> performed = {60, 61, 62, 63, 64, 67, 69, 70, 71, 72, 73, 74, 75};
  const std::vector<int32_t> ignored = {0, 59, 65, 66, 68, 76, 100};
  for (int32_t n : performed) Note(n);
  for (int32_t n : ignored) Note(n);
  Add();
  for (int32_t n : performed) Produce(n, "p", kRequestFinished);
  for (int32_t n : ignored) Produce(n, "i", kRequestFinished);
  Pump();
  std::vector<std::string> expected;
  for (auto it = performed.rbegin(); it != performed.rend(); ++it) expected.push_back(std::to_string(*it) + " 100001 0 p");
  EXPECT_EQ(g_seen, expected);
  // Every completion's map was destroyed and every cleanup ran, event or not.
  EXPECT_EQ(g_cleanups, static_cast<int32_t>(performed.size() + ignored.size()));
  for (int32_t i = 0; i < 25; ++i) EXPECT_EQ(DsMap_Get(i), nullptr) << i;
  EXPECT_EQ(AsyncQueue_Count(), 0);
}

TEST_F(AsyncQueueTest, InstancesMadeDuringTheEventWaitAndARoomChangeHoldsNoOneBack) {
  Note(72, "k", [this](CInstance* self) {
    if (self->i_id == 100001) {
      Run_SetNewRoom(2);
      Add();
    }
  });
  Add();
  Add();
  Async_PostEvent(MapWith("v"), 72);
  Pump();
  EXPECT_EQ(g_seen, (std::vector<std::string>{"72 100001 0 v", "72 100002 0 v"}));
  Run_SetNewRoom(kNewRoomNone);
}

TEST_F(AsyncQueueTest, AMapTheEventReplacedInItsSlotIsKept) {
  // The posted event's handler destroys its map and makes another, which takes the same slot.
  int32_t made = -1;
  Note(75, "k", [&made](CInstance*) {
    DsMap_Destroy(Run_GetAsyncLoad());
    made = MapWith("kept");
  });
  Add();
  const int32_t posted = MapWith("posted");
  Async_PostEvent(posted, 75);
  Pump();
  ASSERT_EQ(made, posted);
  EXPECT_EQ(MapValue(made, "k"), "kept");
  // A producer's map likewise.
  DsMap_Destroy(made);
  Produce(75, "produced", kRequestFinished);
  Pump();
  EXPECT_EQ(MapValue(made, "k"), "kept");
  EXPECT_EQ(g_cleanups, 1);
}

TEST_F(AsyncQueueTest, AMapDestroyedAfterPostingIsNotHandedOverWhenItsSlotIsReused) {
  int32_t seenMap = 0;
  Note(75, "k", [&seenMap](CInstance*) { seenMap = Run_GetAsyncLoad(); });
  Add();
  const int32_t posted = MapWith("posted");
  Async_PostEvent(posted, 75);
  DsMap_Destroy(posted);
  const int32_t own = MapWith("own");
  ASSERT_EQ(own, posted);
  Pump();
  EXPECT_EQ(seenMap, -1);
  EXPECT_EQ(MapValue(own, "k"), "own");
}

TEST_F(AsyncQueueTest, APostedBufferIsDeletedAfterItsEvent) {
  Note(73);
  Add();
  const int buffer = CreateBuffer(16, 0, 1);
  ASSERT_NE(GetBuffer(buffer), nullptr);
  Async_PostEventWithBuffer(MapWith("rec"), buffer, 73);
  Pump();
  EXPECT_EQ(g_seen, std::vector<std::string>{"73 100001 0 rec"});
  EXPECT_EQ(GetBuffer(buffer), nullptr);
  // Dropped at a reset without an event, a posted record still frees its map.
  Async_PostEvent(MapWith("dropped"), 73);
  AsyncQueue_FreeAll();
  EXPECT_EQ(DsMap_Get(0), nullptr);
}

}  // namespace
