// What every fuzz harness sets up once: a headless environment, a process exit that throws back
// into the harness (so an input that would end the game is a finding only when something else
// goes wrong), message boxes answered at once, and an optional log of what the runtime says.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/VCL.h"
#include "code/Code_Error.h"
#include "os/MessageBox.h"
#include "platform/MemoryManager.h"

namespace fuzz {

// Thrown where the process would have ended.
struct FatalExit {
  int status;
};

inline void ThrowingExit(int status) { throw FatalExit{status}; }

inline MessageBoxAnswer AnswerAtOnce(const std::string&, const std::string&, MessageBoxKind kind) {
  return OS_DefaultAnswer(kind);
}

// To see what the runtime says about an input, run a harness with FUZZ_LOG=file.
inline void Setup() {
  setenv("RUNNER_HEADLESS", "1", 1);
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);
  if (const char* log = getenv("FUZZ_LOG")) {
    g_LogSettings.debugOutputWanted = g_LogSettings.outputWanted = true;
    g_LogSettings.debugOutputFile = g_LogSettings.outputFile = log;
  }
  SetProcessExit(&ThrowingExit);
  Code_InstallErrorReporter();
  OS_SetMessageBoxResponder(&AnswerAtOnce);
}

// Takes the input apart from its front: bytes, little-endian words and the rest as text.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool Empty() const { return m_at >= m_size; }
  uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
  int32_t Int() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    return static_cast<int32_t>(v);
  }
  double Real() {
    uint64_t bits = static_cast<uint32_t>(Int());
    bits |= static_cast<uint64_t>(static_cast<uint32_t>(Int())) << 32;
    double d;
    std::memcpy(&d, &bits, sizeof(d));
    return d;
  }
  // The next `n` bytes (fewer at the end).
  std::string Bytes(size_t n) {
    n = n < m_size - m_at ? n : m_size - m_at;
    std::string s(reinterpret_cast<const char*>(m_data + m_at), n);
    m_at += n;
    return s;
  }
  std::string Rest() { return Bytes(m_size - m_at); }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_at = 0;
};

// A console that keeps nothing.
class NullConsole : public tagIConsole {
 public:
  void Output(const char*, ...) override {}
};

}  // namespace fuzz
