#include "support/LoadSave_Request.h"

#include <cstring>

#include "platform/MemoryManager.h"
#include "support/Support_Data_Structures.h"

AsyncQueueState g_AsyncQueue;

HTTP_REQ_CONTEXT::HTTP_REQ_CONTEXT(const char* url, int32_t dataSize, HttpCompletion completion, HttpCleanup cleanup,
                                   void* userData)
    : m_completion(completion),
      m_cleanup(cleanup),
      m_userData(userData),
      m_url(url != nullptr ? MemoryManager::DuplicateText(url) : nullptr) {
  if (dataSize > 0) {
    m_data = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(dataSize), __FILE__, __LINE__, false));
    std::memset(m_data, 0xFF, static_cast<size_t>(dataSize));
    m_dataSize = dataSize;
  }
  m_id = g_AsyncQueue.nextId++;
  m_next = g_AsyncQueue.head;
  g_AsyncQueue.head = this;
}

HTTP_REQ_CONTEXT::~HTTP_REQ_CONTEXT() {
  MemoryManager::Free(m_url);
  MemoryManager::Free(m_data);
  if (m_headerMap != -1) DsMap_Destroy(m_headerMap);
}

void HTTP_REQ_CONTEXT::SetData(const uint8_t* bytes, int32_t size) {
  MemoryManager::Free(m_data);
  m_data = nullptr;
  m_dataSize = 0;
  m_bytesReceived = 0;
  if (bytes == nullptr || size <= 0) return;
  m_data = static_cast<uint8_t*>(MemoryManager::Alloc(static_cast<uint32_t>(size), __FILE__, __LINE__, false));
  std::memcpy(m_data, bytes, static_cast<size_t>(size));
  m_dataSize = size;
  m_bytesReceived = size;
}

void AsyncQueue_Unlink(HTTP_REQ_CONTEXT* request) {
  for (HTTP_REQ_CONTEXT** link = &g_AsyncQueue.head; *link != nullptr; link = &(*link)->m_next) {
    if (*link == request) {
      *link = request->m_next;
      request->m_next = nullptr;
      return;
    }
  }
}

int32_t AsyncQueue_Count() {
  int32_t count = 0;
  for (const HTTP_REQ_CONTEXT* r = g_AsyncQueue.head; r != nullptr; r = r->m_next) ++count;
  return count;
}

void AsyncQueue_FreeAll() {
  while (g_AsyncQueue.head != nullptr) {
    HTTP_REQ_CONTEXT* request = g_AsyncQueue.head;
    g_AsyncQueue.head = request->m_next;
    request->m_next = nullptr;
    if (request->m_cleanup != nullptr) request->m_cleanup(request);
    delete request;
  }
  g_AsyncQueue = AsyncQueueState{};
}
