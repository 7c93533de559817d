#include "code/VM_ErrConsole.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"

namespace {
// One scratch text shared by every collecting console (main thread only).
char g_scratch[TErrStreamConsole::kScratchSize];
}  // namespace

TErrStreamConsole::TErrStreamConsole()
    : m_capacity(kInitialCapacity),
      m_text(static_cast<char*>(MemoryManager::Alloc(kInitialCapacity, __FILE__, __LINE__, true))),
      m_length(0) {}

TErrStreamConsole::~TErrStreamConsole() { MemoryManager::Free(m_text); }

void TErrStreamConsole::Output(const char* format, ...) {
  if (format == nullptr) return;
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(g_scratch, sizeof(g_scratch), format, args);
  va_end(args);
  if (written <= 0) return;
  Append(g_scratch);  // the scratch holds the text cut to 16,383 bytes
}

void TErrStreamConsole::Append(const char* text) {
  if (text == nullptr) return;
  const size_t length = std::strlen(text);
  // Grow before the text and its terminator would reach the capacity.
  const int64_t needed = static_cast<int64_t>(m_length) + static_cast<int64_t>(length) + 2;
  if (needed >= m_capacity) {
    // The capacity grows by the text's length plus 1,024.
    const int64_t step = static_cast<int64_t>(length) + 1024;
    if (m_capacity + step > INT32_MAX) return;  // a report never gets near 2 GB: drop rather than overflow
    Grow_Reserve(m_text, m_capacity, static_cast<int64_t>(m_capacity) + 1, static_cast<int32_t>(step));
  }
  std::memcpy(m_text + m_length, text, length + 1);
  m_length += static_cast<int32_t>(length);
}
