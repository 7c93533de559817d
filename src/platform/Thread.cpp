#include "platform/Thread.h"

#include <time.h>

#include <cerrno>
#include <new>

Thread::Thread() : m_lock(new (std::nothrow) Mutex("TermMutex")) {}

Thread::~Thread() {
  delete m_lock;
  // The owner has stopped and waited for the thread; a thread never joined is let go here.
  if (m_hasHandle) pthread_detach(m_handle);
}

bool Thread::Start(Function function, void* userData, int /*unused*/) {
  if (m_hasHandle) {
    // A new run replaces an ended one.
    pthread_join(m_handle, nullptr);
    m_hasHandle = false;
  }
  m_userData = userData;
  m_function = function;
  m_running.store(1);
  int err = pthread_create(&m_handle, nullptr, &Thread::EntryPoint, this);
  if (err != 0) {
    m_lastError = err;
    m_running.store(0);
    return false;
  }
  m_hasHandle = true;
  return true;
}

void* Thread::EntryPoint(void* self) {
  Thread* thread = static_cast<Thread*>(self);
  int32_t status = thread->m_function ? thread->m_function(thread) : 0;
  thread->m_running.store(0);
  return reinterpret_cast<void*>(static_cast<intptr_t>(status));
}

void Thread::WaitForEnd() {
  if (!m_hasHandle) return;
  pthread_join(m_handle, nullptr);
  m_hasHandle = false;
}

void Thread::Sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  timespec ts{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
  }
}

void Thread::RequestStop() {
  if (m_lock) m_lock->Lock();
  m_stopRequest.store(1);
  if (m_lock) m_lock->Unlock();
}

bool Thread::StopRequested() {
  if (m_lock) m_lock->Lock();
  bool stop = m_stopRequest.load() != 0;
  if (m_lock) m_lock->Unlock();
  return stop;
}
