#include "networking/Networking_Http.h"

bool Http_Get(const char* url, int32_t, HttpCompletion completion, HttpCleanup cleanup, void* userData) {
  if (url == nullptr) return false;
  new HTTP_REQ_CONTEXT(url, 0, completion, cleanup, userData);
  return true;
}

void Http_PollThreads() {}
