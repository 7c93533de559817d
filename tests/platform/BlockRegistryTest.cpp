// The memory manager's registry of its blocks under load: many blocks at once (the registry
// grows), blocks forgotten and their addresses reused, from several threads at once.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "platform/MemoryManager.h"

namespace {

TEST(BlockRegistry, KnowsEveryLiveBlockAndForgetsFreedOnes) {
  const int32_t blocks = MemoryManager::BlockCount.load();
  std::vector<char*> live;
  for (int i = 0; i < 20000; ++i) {
    live.push_back(static_cast<char*>(MemoryManager::Alloc(static_cast<uint32_t>(1 + i % 200), __FILE__, __LINE__)));
  }
  // Free every other block, then allocate as many again: freed addresses come back and must
  // read as ours again, while the registry's erased entries are reused or swept.
  for (size_t i = 0; i < live.size(); i += 2) {
    MemoryManager::Free(live[i]);
    live[i] = nullptr;
  }
  for (size_t i = 0; i < live.size(); i += 2) {
    live[i] = static_cast<char*>(MemoryManager::Alloc(24, __FILE__, __LINE__));
  }
  for (size_t i = 0; i < live.size(); ++i) {
    ASSERT_TRUE(MemoryManager::IsManaged(live[i])) << i;
    ASSERT_EQ(MemoryManager::GetSize(live[i]), i % 2 == 0 ? 24 : static_cast<int32_t>(1 + i % 200)) << i;
    ASSERT_FALSE(MemoryManager::IsManaged(live[i] + 16)) << i;
  }
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks + 20000);
  for (char* p : live) MemoryManager::Free(p);
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
}

TEST(BlockRegistry, NeverReadsBeforeTheStartOfAForeignPointer) {
  // A page whose preceding page is not mapped: looking at its first byte as a block must not
  // touch the 16 bytes before it.
  const long page = sysconf(_SC_PAGESIZE);
  char* area = static_cast<char*>(mmap(nullptr, static_cast<size_t>(page) * 2, PROT_READ | PROT_WRITE,
                                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(area, MAP_FAILED);
  ASSERT_EQ(mprotect(area, static_cast<size_t>(page), PROT_NONE), 0);
  char* foreign = area + page;
  EXPECT_FALSE(MemoryManager::IsManaged(foreign));
  EXPECT_EQ(MemoryManager::GetSize(foreign), 0);
  munmap(area, static_cast<size_t>(page) * 2);
}

TEST(BlockRegistry, SeveralThreadsAllocateAndFreeAtOnce) {
  const int32_t blocks = MemoryManager::BlockCount.load();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      std::vector<void*> mine;
      for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 500; ++i) mine.push_back(MemoryManager::Alloc(32, __FILE__, __LINE__));
        for (void* p : mine) {
          if (!MemoryManager::IsManaged(p)) ADD_FAILURE() << "a live block was not recognised";
          MemoryManager::Free(p);
        }
        mine.clear();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
}

}  // namespace
