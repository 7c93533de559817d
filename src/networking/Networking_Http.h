// HTTP requests of the game. A request is a record of the asynchronous request queue
// (support/LoadSave_Request.h) made by Http_Get. This layer does not fetch: a request stays
// running (status 1) in the queue until a reset drops it with its cleanup and no event. When a
// request finishes, its completion (main thread) fills an async_load map and answers the event
// number to perform, and the cleanup runs after the event.
// Main thread only.
#pragma once

#include <cstdint>

#include "support/LoadSave_Request.h"

// Starts a GET of `url` (the second argument is not used): a new request record in the queue.
// True when the request was made; false, with nothing made, for a null URL.
bool Http_Get(const char* url, int32_t unused, HttpCompletion completion, HttpCleanup cleanup, void* userData);
// Once per step, at the start of the asynchronous phase: reaps finished workers into their
// records and starts queued requests. No request runs on a worker here, so nothing changes.
void Http_PollThreads();
