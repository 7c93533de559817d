#include "debug/Debug_Log.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace {
std::atomic<bool> g_linkActive{false};
std::mutex g_logMutex;  // consoles write from worker threads too
std::string g_log;
}  // namespace

void Debug_SetLinkActive(bool active) { g_linkActive.store(active); }
bool Debug_IsLinkActive() { return g_linkActive.load(); }

void Debug_CaptureLog(const char* text) {
  if (text == nullptr) return;
  std::lock_guard<std::mutex> lock(g_logMutex);
  size_t room = g_log.size() < kDebugLogLimit ? kDebugLogLimit - g_log.size() : 0;
  g_log.append(text, std::min(room, std::strlen(text)));
}

std::string Debug_TakeLog() {
  std::lock_guard<std::mutex> lock(g_logMutex);
  std::string out;
  out.swap(g_log);
  return out;
}
