#include "networking/Networking_Http.h"

#include <cstring>

#include "platform/MemoryManager.h"

HttpState g_Http;

HTTP_REQ_CONTEXT::HTTP_REQ_CONTEXT(const char* url, HttpCompletion completion, HttpCleanup cleanup, void* userData)
    : m_completion(completion), m_cleanup(cleanup), m_userData(userData), m_url(MemoryManager::DuplicateText(url)) {
  m_id = g_Http.nextId++;
  m_next = g_Http.pending;
  g_Http.pending = this;
}

HTTP_REQ_CONTEXT::~HTTP_REQ_CONTEXT() {
  MemoryManager::Free(m_url);
  MemoryManager::Free(m_data);
}

void HTTP_REQ_CONTEXT::SetData(const uint8_t* bytes, int32_t size) {
  MemoryManager::Free(m_data);
  m_data = nullptr;
  m_bytesReceived = 0;
  if (bytes == nullptr || size <= 0) return;
  m_data = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(size), __FILE__, __LINE__));
  std::memcpy(m_data, bytes, static_cast<size_t>(size));
  m_bytesReceived = size;
}

bool Http_Get(const char* url, int32_t, HttpCompletion completion, HttpCleanup cleanup, void* userData) {
  if (url == nullptr) return false;
  new HTTP_REQ_CONTEXT(url, completion, cleanup, userData);
  return true;
}

int32_t Http_PendingCount() {
  int32_t count = 0;
  for (const HTTP_REQ_CONTEXT* r = g_Http.pending; r != nullptr; r = r->m_next) ++count;
  return count;
}

void Http_FreeAll() {
  while (g_Http.pending != nullptr) {
    HTTP_REQ_CONTEXT* request = g_Http.pending;
    g_Http.pending = request->m_next;
    if (request->m_cleanup != nullptr) request->m_cleanup(request);
    delete request;
  }
  g_Http = HttpState{};
}
