// The records of the asynchronous request queue: work that finishes outside the normal flow of a
// step (an HTTP download, a posted event such as a gamepad plugged in) is a record here until the
// asynchronous pump (run/Run_Global.h, Async_ProcessEvents) turns it into an event.
//
// Records are made on the main thread and linked at the head of one queue (newest first); only
// the main thread links and unlinks them. A worker thread that owns a record may write its
// status, bytes received, content length and HTTP status, which are atomic for that reason.
// Derived request records extend this one and override the destructor.
#pragma once

#include <atomic>
#include <cstdint>

class HTTP_REQ_CONTEXT;

// Called on the main thread when a record has finished: stores the index of a new ds_map in
// *outMap (async_load) and answers the other-event number to perform with it (60 or more
// performs one).
using HttpCompletion = int32_t (*)(HTTP_REQ_CONTEXT* request, void* userData, int32_t* outMap);
// Called after the event (or when the record is dropped) to free what the producer attached.
using HttpCleanup = void (*)(HTTP_REQ_CONTEXT* request);
// Called with the record at every pump while it is active.
using HttpHook = void (*)(HTTP_REQ_CONTEXT* request);

// Record states.
constexpr int32_t kRequestRunning = 1;
constexpr int32_t kRequestProgress = 3;  // progress to report (event 62)
constexpr int32_t kRequestFinished = 7;

class HTTP_REQ_CONTEXT {
 public:
  // A record for `url` (copied; null for none) with `dataSize` bytes of data filled with 0xFF
  // (none for 0 or less), running (status 1), active, with the next id of the request counter
  // and HTTP status 200, linked at the head of the queue.
  HTTP_REQ_CONTEXT(const char* url, int32_t dataSize, HttpCompletion completion, HttpCleanup cleanup,
                   void* userData);
  // Frees the data and the url and destroys the header map when there is one. The record must
  // be unlinked already.
  virtual ~HTTP_REQ_CONTEXT();
  HTTP_REQ_CONTEXT(const HTTP_REQ_CONTEXT&) = delete;
  HTTP_REQ_CONTEXT& operator=(const HTTP_REQ_CONTEXT&) = delete;

  // Replaces the data with a copy of `size` bytes (none for null or 0); bytes received and the
  // data size become that size.
  void SetData(const uint8_t* bytes, int32_t size);

  HTTP_REQ_CONTEXT* m_next = nullptr;  // the next (older) record of the queue
  uint8_t m_active = 1;                // 1: the pump looks at this record
  std::atomic<int32_t> m_status{kRequestRunning};
  HttpCompletion m_completion = nullptr;
  HttpCleanup m_cleanup = nullptr;
  HttpHook m_hook = nullptr;
  void* m_userData = nullptr;
  char* m_url = nullptr;  // owned, or null
  int32_t m_id = 0;
  std::atomic<int32_t> m_httpStatus{200};
  int32_t m_headerMap = -1;  // ds_map of the response headers, -1 none (destroyed with the record)
  uint8_t* m_data = nullptr;  // owned (memory manager)
  int32_t m_dataSize = 0;
  std::atomic<int32_t> m_bytesReceived{0};
  std::atomic<int32_t> m_contentLength{-1};
};

// The queue: its head (newest first) and the request counter.
struct AsyncQueueState {
  HTTP_REQ_CONTEXT* head = nullptr;
  int32_t nextId = 0;
};
extern AsyncQueueState g_AsyncQueue;

// Removes `request` from the queue; nothing when it is not linked.
void AsyncQueue_Unlink(HTTP_REQ_CONTEXT* request);
// The number of records in the queue.
int32_t AsyncQueue_Count();
// Runs the cleanup of every record without an event and deletes it, newest first; the queue is
// empty and the request counter starts again at 0.
void AsyncQueue_FreeAll();
