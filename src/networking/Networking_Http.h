// HTTP requests of the game: the request records and the list of requests not yet completed.
//
// A request is made by Http_Get and lives in the pending list until it is completed or the
// requests are freed. This layer does not fetch: a request stays waiting (status 1) in the list,
// and Http_FreeAll, at shutdown and on every runtime reset, runs each request's cleanup and
// deletes it without an event. When a request completes, its completion (main thread) fills an
// async_load map, answers the event number to perform, and the cleanup runs after the event.
// Main thread only.
#pragma once

#include <cstdint>

class HTTP_REQ_CONTEXT;

// Called on the main thread when a request has finished: stores the index of a new ds_map in
// *outMap and answers the other-event number to perform with it as async_load.
using HttpCompletion = int32_t (*)(HTTP_REQ_CONTEXT* request, void* userData, int32_t* outMap);
// Called after the event (or when the request is dropped) to free what the caller attached.
using HttpCleanup = void (*)(HTTP_REQ_CONTEXT* request);

class HTTP_REQ_CONTEXT {
 public:
  // A request for `url` (copied), linked at the head of the pending list with status 1, active,
  // and the next id of the request counter.
  HTTP_REQ_CONTEXT(const char* url, HttpCompletion completion, HttpCleanup cleanup, void* userData);
  virtual ~HTTP_REQ_CONTEXT();
  HTTP_REQ_CONTEXT(const HTTP_REQ_CONTEXT&) = delete;
  HTTP_REQ_CONTEXT& operator=(const HTTP_REQ_CONTEXT&) = delete;

  // Replaces the received bytes with a copy of `size` bytes (none for null or 0).
  void SetData(const uint8_t* bytes, int32_t size);

  HTTP_REQ_CONTEXT* m_next = nullptr;  // the pending list
  uint8_t m_active = 1;
  int32_t m_status = 1;
  HttpCompletion m_completion = nullptr;
  HttpCleanup m_cleanup = nullptr;
  void* m_userData = nullptr;
  char* m_url = nullptr;         // owned
  int32_t m_id = 0;
  int32_t m_httpStatus = 200;
  uint8_t* m_data = nullptr;     // the received bytes, owned (memory manager)
  int32_t m_bytesReceived = 0;
};

struct HttpState {
  HTTP_REQ_CONTEXT* pending = nullptr;  // newest first
  int32_t nextId = 0;                   // the request counter
};
extern HttpState g_Http;

// Starts a GET of `url` (the second argument is not used): a new request in the pending list.
// True when the request was made; false, with nothing made, for a null URL.
bool Http_Get(const char* url, int32_t unused, HttpCompletion completion, HttpCleanup cleanup, void* userData);
// The number of requests in the pending list.
int32_t Http_PendingCount();
// Runs the cleanup of every pending request and deletes it; the list is empty and the counter
// starts again at 0.
void Http_FreeAll();
