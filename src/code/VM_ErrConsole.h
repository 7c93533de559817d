// A console that collects its output in memory instead of printing it: the error reports build
// their text through it.
#pragma once

#include <cstdint>

#include "base/VCL.h"

class TErrStreamConsole : public tagIConsole {
 public:
  // The buffer starts at 102,400 bytes, empty.
  TErrStreamConsole();
  ~TErrStreamConsole() override;
  TErrStreamConsole(const TErrStreamConsole&) = delete;
  TErrStreamConsole& operator=(const TErrStreamConsole&) = delete;

  // Formats into a shared scratch text of 16,384 bytes (longer output is cut) and appends it,
  // growing the buffer when needed.
  void Output(const char* format, ...) override __attribute__((format(printf, 2, 3)));

  // Appends a finished text whole (no formatting, no cut).
  void Append(const char* text);

  const char* Text() const { return m_text; }
  int32_t Capacity() const { return m_capacity; }

  static constexpr int32_t kInitialCapacity = 102400;
  static constexpr int32_t kScratchSize = 16384;

 private:
  int32_t m_capacity;
  char* m_text;      // MemoryManager block of m_capacity bytes, NUL-terminated
  int32_t m_length;  // bytes in use, terminator excluded
};
