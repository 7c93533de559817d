#include <gtest/gtest.h>

#include <atomic>

#include "platform/Mutex.h"
#include "platform/Thread.h"

namespace {

TEST(Thread, RunningByteFollowsTheFunction) {
  Thread thread;
  std::atomic<bool> release{false};
  EXPECT_FALSE(thread.IsRunning());
  ASSERT_TRUE(thread.Start(
      [](Thread* t) -> int32_t {
        auto* gate = static_cast<std::atomic<bool>*>(t->UserData());
        while (!gate->load()) Thread::Sleep(1);
        return 0;
      },
      &release));
  EXPECT_TRUE(thread.IsRunning());
  release.store(true);
  thread.WaitForEnd();
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.LastError(), 0);
}

TEST(Thread, AStopRequestedBeforeTheFirstCheckEndsAfterOnePieceOfWork) {
  struct Work {
    std::atomic<int> pieces{0};
  } work;
  Thread thread;
  thread.RequestStop();
  ASSERT_TRUE(thread.Start(
      [](Thread* t) -> int32_t {
        auto* w = static_cast<Work*>(t->UserData());
        for (;;) {
          w->pieces.fetch_add(1);
          if (t->StopRequested()) return 0;
          Thread::Sleep(16);
        }
      },
      &work));
  thread.WaitForEnd();
  EXPECT_EQ(work.pieces.load(), 1);
  EXPECT_FALSE(thread.IsRunning());
}

TEST(Mutex, LockingTwiceDoesNotBlock) {
  Mutex mutex("TermMutex");
  EXPECT_TRUE(mutex.Lock());
  EXPECT_TRUE(mutex.Lock());
  mutex.Unlock();
  mutex.Unlock();
}

}  // namespace
