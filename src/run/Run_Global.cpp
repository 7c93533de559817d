#include "run/Run_Global.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "buffer/IBuffer.h"
#include "extension/Extension_Main.h"
#include "function/Function_Push.h"
#include "iap/IAP_Main.h"
#include "networking/Networking_Http.h"
#include "os/OS_Clock.h"
#include "os/OS_Messages.h"
#include "os/OS_Paths.h"
#include "room/Event_Dispatch.h"
#include "room/Event_Names.h"
#include "room/Instance_Class.h"
#include "run/Run_Frame.h"
#include "support/LoadSave_Request.h"
#include "support/Support_Data_Structures.h"

namespace {

// The run state of the pass (InitRunGlobals sets it).
struct RunState {
  int32_t newRoom = kNewRoomNone;
  int32_t asyncLoad = -1;  // async_load
};
RunState g_run;

// Steps a headless run (RUNNER_HEADLESS=1) makes when RUNNER_FRAMES is not set.
constexpr int64_t kHeadlessFrameLimit = 600;

// RUNNER_FRAMES: a positive decimal count of steps, 0 (no limit) for anything else; unset in a
// headless run, 600.
int64_t FrameLimitFromEnvironment() {
  const char* text = std::getenv("RUNNER_FRAMES");
  if (text == nullptr) {
    const char* headless = std::getenv("RUNNER_HEADLESS");
    return headless != nullptr && std::strcmp(headless, "1") == 0 ? kHeadlessFrameLimit : 0;
  }
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value <= 0) return 0;
  return value;
}

// What a posted event keeps: the map, the event, the buffer (-1 none) and the serial of the map
// when it was posted.
struct PostedEvent {
  int32_t mapIndex;
  int32_t eventNumber;
  int32_t bufferIndex;
  uint64_t mapSerial;
};

int32_t PostedEventCompletion(HTTP_REQ_CONTEXT*, void* userData, int32_t* outMap) {
  const auto* posted = static_cast<const PostedEvent*>(userData);
  // A map destroyed since it was posted (its slot perhaps reused by the game's own map) is not
  // handed to the event.
  *outMap = posted->mapSerial != 0 && DsMap_Serial(posted->mapIndex) == posted->mapSerial ? posted->mapIndex : -1;
  return posted->eventNumber;
}

void PostedEventCleanup(HTTP_REQ_CONTEXT* request) {
  auto* posted = static_cast<PostedEvent*>(request->m_userData);
  if (posted == nullptr) return;
  if (posted->mapSerial != 0 && DsMap_Serial(posted->mapIndex) == posted->mapSerial) DsMap_Destroy(posted->mapIndex);
  if (posted->bufferIndex >= 0) DeleteBuffer(posted->bufferIndex);
  delete posted;
  request->m_userData = nullptr;
}

void PostEvent(int32_t mapIndex, int32_t bufferIndex, int32_t eventNumber) {
  auto* posted = new PostedEvent{mapIndex, eventNumber, bufferIndex, DsMap_Serial(mapIndex)};
  auto* request = new HTTP_REQ_CONTEXT(nullptr, 0, PostedEventCompletion, PostedEventCleanup, posted);
  request->m_status = kRequestFinished;
}

constexpr int32_t kEventHttp = 62;

bool PerformedHere(int32_t number) {
  return (number >= 60 && number <= 64) || number == 67 || (number >= 69 && number <= 75);
}

// Other-event `number` on every live instance listed for it that is older than the dispatch.
void PerformAsyncEvent(int32_t number) {
  if (!PerformedHere(number)) return;
  Event_WalkObjectList(EVENT_OTHER, number, Instance_TakeDispatchStamp(), [number](CInstance* instance) {
    PerformEvent(instance, instance, instance->i_objindex, EVENT_OTHER, number);
  });
}

// Performs `number` with map `mapIndex` as async_load, then destroys that map when its slot
// still holds it; async_load is -1 afterwards.
void PerformWithMap(int32_t mapIndex, int32_t number) {
  const uint64_t serial = DsMap_Serial(mapIndex);
  Run_SetAsyncLoad(mapIndex);
  if (number >= 60) PerformAsyncEvent(number);
  if (serial != 0 && DsMap_Serial(mapIndex) == serial) DsMap_Destroy(mapIndex);
  Run_SetAsyncLoad(-1);
}

void ReportProgress(HTTP_REQ_CONTEXT* request) {
  Run_SetAsyncLoad(-1);
  if (request->m_completion == nullptr) return;
  const int32_t map = CreateDsMap({{"id", static_cast<double>(request->m_id), nullptr},
                                   {"status", 1.0, nullptr},
                                   {"url", 0.0, request->m_url != nullptr ? request->m_url : ""},
                                   {"contentLength", static_cast<double>(request->m_contentLength.load()), nullptr},
                                   {"sizeDownloaded", static_cast<double>(request->m_bytesReceived.load()), nullptr}});
  PerformWithMap(map, kEventHttp);
}

void FinishRequest(HTTP_REQ_CONTEXT* request) {
  AsyncQueue_Unlink(request);
  Run_SetAsyncLoad(-1);
  if (request->m_completion != nullptr) {
    int32_t map = -1;
    const int32_t number = request->m_completion(request, request->m_userData, &map);
    PerformWithMap(map, number);
  }
  Run_SetAsyncLoad(-1);
  if (request->m_cleanup != nullptr) request->m_cleanup(request);
  delete request;
}

}  // namespace

int32_t Run_GetNewRoom() { return g_run.newRoom; }

void Run_SetNewRoom(int32_t code) { g_run.newRoom = code; }

int32_t Run_GetAsyncLoad() { return g_run.asyncLoad; }

void Run_SetAsyncLoad(int32_t mapIndex) { g_run.asyncLoad = mapIndex; }

void InitRunGlobals() {
  Run_SetRunning(false);
  g_run = RunState{};
  g_FrameLoop = FrameLoopState{};
  g_FrameLoop.frameLimit = FrameLimitFromEnvironment();
  g_FrameLoop.lastWake = Timing_GetMicroseconds();
}

void FreeRunGlobals() { FreeGamePaths(); }

void Async_PostEvent(int32_t mapIndex, int32_t eventNumber) { PostEvent(mapIndex, -1, eventNumber); }

void Async_PostEventWithBuffer(int32_t mapIndex, int32_t bufferIndex, int32_t eventNumber) {
  PostEvent(mapIndex, bufferIndex, eventNumber);
}

void Async_ProcessEvents() {
  ProcessIAPEvents();
  ProcessPushEvents();
  DeferredScriptQueue_Process();
  Http_PollThreads();
  for (HTTP_REQ_CONTEXT* request = g_AsyncQueue.head; request != nullptr;) {
    HTTP_REQ_CONTEXT* next = request->m_next;
    if (request->m_active == 0) {
      request = next;
      continue;
    }
    if (request->m_hook != nullptr) {
      request->m_hook(request);
      next = request->m_next;
    }
    const int32_t status = request->m_status;
    if (status == kRequestProgress) {
      ReportProgress(request);
      // The event may have unlinked records behind this one.
      next = request->m_next;
    } else if (status == kRequestFinished) {
      FinishRequest(request);
      next = g_AsyncQueue.head;
    }
    request = next;
  }
}
