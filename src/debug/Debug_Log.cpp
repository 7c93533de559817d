#include "debug/Debug_Log.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace {
// Shared with the worker threads' consoles, so reset through the functions below rather than by
// assignment.
struct DebugLogState {
  std::atomic<bool> linkActive{false};
  std::mutex mutex;  // consoles write from worker threads too
  std::string text;
};
DebugLogState g_debugLog;
}  // namespace

void Debug_SetLinkActive(bool active) { g_debugLog.linkActive.store(active); }
bool Debug_IsLinkActive() { return g_debugLog.linkActive.load(); }

void Debug_CaptureLog(const char* text) {
  if (text == nullptr) return;
  std::lock_guard<std::mutex> lock(g_debugLog.mutex);
  size_t room = g_debugLog.text.size() < kDebugLogLimit ? kDebugLogLimit - g_debugLog.text.size() : 0;
  g_debugLog.text.append(text, std::min(room, std::strlen(text)));
}

std::string Debug_TakeLog() {
  std::lock_guard<std::mutex> lock(g_debugLog.mutex);
  std::string out;
  out.swap(g_debugLog.text);
  return out;
}
