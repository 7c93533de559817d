// A worker thread running one function. The owner asks it to stop through the stop-request
// byte; the thread clears the running byte when its function has returned.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

#include "platform/Mutex.h"

class Thread {
 public:
  using Function = int32_t (*)(Thread* thread);

  Thread();
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts the function on a new thread; false (with the error kept) when it cannot be made.
  bool Start(Function function, void* userData, int unused = 1);
  // Waits without a time limit until the thread has ended.
  void WaitForEnd();
  static void Sleep(int milliseconds);

  // The owner's side of the stop request, taken under the lock as every owner does.
  void RequestStop();
  // The worker's side: has the owner asked it to stop?
  bool StopRequested();

  bool IsRunning() const { return m_running.load() != 0; }
  int LastError() const { return m_lastError; }
  void* UserData() const { return m_userData; }

 private:
  static void* EntryPoint(void* self);

  pthread_t m_handle{};
  bool m_hasHandle = false;
  int m_lastError = 0;
  std::atomic<uint8_t> m_stopRequest{0};
  std::atomic<uint8_t> m_running{0};
  void* m_userData = nullptr;
  Function m_function = nullptr;
  Mutex* m_lock;
};
