#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/VCL.h"
#include "platform/MemoryManager.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

struct Counters {
  int32_t bytes, blocks;
  static Counters Now() { return {MemoryManager::TotalBytes.load(), MemoryManager::BlockCount.load()}; }
  bool operator==(const Counters& o) const { return bytes == o.bytes && blocks == o.blocks; }
};

bool AllZero(const void* p, size_t n) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i) if (b[i] != 0) return false;
  return true;
}

TEST(MemoryManager, HeaderAndCountersFollowEveryBlock) {
  Counters start = Counters::Now();
  EXPECT_EQ(MemoryManager::Alloc(0, __FILE__, __LINE__, true), nullptr);
  MemoryManager::Free(nullptr);
  EXPECT_TRUE(Counters::Now() == start);

  char* p = static_cast<char*>(MemoryManager::Alloc(10, __FILE__, __LINE__, true));
  ASSERT_NE(p, nullptr);
  uint32_t header[4];
  std::memcpy(header, p - 16, sizeof(header));
  EXPECT_EQ(header[0], 10u);
  EXPECT_EQ(header[1], 0xDEADC0DEu);
  EXPECT_EQ(header[2], 0xBAADB00Bu);
  EXPECT_EQ(header[3], 0u);
  EXPECT_TRUE(AllZero(p, 10));
  EXPECT_EQ(MemoryManager::GetSize(p), 10);
  EXPECT_TRUE(MemoryManager::IsManaged(p));
  Counters after = Counters::Now();
  EXPECT_EQ(after.bytes - start.bytes, 10);
  EXPECT_EQ(after.blocks - start.blocks, 1);

  MemoryManager::Free(p);
  EXPECT_TRUE(Counters::Now() == start);
}

TEST(MemoryManager, ReAllocOnlyGrowsAndZeroFillsWhatItAdds) {
  Counters start = Counters::Now();
  char* p = static_cast<char*>(MemoryManager::Alloc(10, __FILE__, __LINE__, true));
  std::memset(p, 0xAB, 10);

  EXPECT_EQ(MemoryManager::ReAlloc(p, 4, __FILE__, __LINE__), p);
  EXPECT_EQ(MemoryManager::GetSize(p), 10);
  EXPECT_EQ(MemoryManager::ReAlloc(p, 0, __FILE__, __LINE__), p);

  char* q = static_cast<char*>(MemoryManager::ReAlloc(p, 20, __FILE__, __LINE__));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(MemoryManager::GetSize(q), 20);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(static_cast<unsigned char>(q[i]), 0xAB);
  EXPECT_TRUE(AllZero(q + 10, 10));
  EXPECT_EQ(Counters::Now().bytes - start.bytes, 20);
  EXPECT_EQ(Counters::Now().blocks - start.blocks, 1);

  void* viaSetLength = q;
  MemoryManager::SetLength(&viaSetLength, 40, __FILE__, __LINE__);
  EXPECT_EQ(MemoryManager::GetSize(viaSetLength), 40);
  EXPECT_EQ(MemoryManager::OwnBlockSize(viaSetLength), 40u);
  // A growth the C runtime must move: the new address is ours, the old one no longer.
  void* keep = MemoryManager::Alloc(16, __FILE__, __LINE__, true);
  void* before = viaSetLength;
  MemoryManager::SetLength(&viaSetLength, 1 << 20, __FILE__, __LINE__);
  EXPECT_TRUE(MemoryManager::IsManaged(viaSetLength));
  if (viaSetLength != before) {
    EXPECT_FALSE(MemoryManager::IsManaged(before));
  }
  EXPECT_EQ(Counters::Now().bytes - start.bytes, (1 << 20) + 16);
  MemoryManager::Free(keep);
  MemoryManager::Free(viaSetLength);

  void* fresh = MemoryManager::ReAlloc(nullptr, 8, __FILE__, __LINE__);
  EXPECT_TRUE(AllZero(fresh, 8));
  MemoryManager::Free(fresh);
  EXPECT_EQ(MemoryManager::ReAlloc(nullptr, 0, __FILE__, __LINE__), nullptr);
  EXPECT_TRUE(Counters::Now() == start);
}

TEST(MemoryManager, ForeignPointersAreNotManaged) {
  Counters start = Counters::Now();
  void* foreign = std::malloc(32);
  std::memset(foreign, 0, 32);
  EXPECT_FALSE(MemoryManager::IsManaged(foreign));
  EXPECT_EQ(MemoryManager::GetSize(foreign), 0);
  char* block = static_cast<char*>(MemoryManager::Alloc(64, __FILE__, __LINE__, true));
  EXPECT_FALSE(MemoryManager::IsManaged(block + 32));
  EXPECT_FALSE(MemoryManager::IsManaged(nullptr));
  MemoryManager::Free(foreign);  // goes to the C runtime, counters untouched
  MemoryManager::Free(block);
  EXPECT_TRUE(Counters::Now() == start);
}

TEST(MemoryManagerDeathTest, ReAllocOfAForeignPointerStopsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        void* foreign = std::malloc(16);
        MemoryManager::ReAlloc(foreign, 32, __FILE__, __LINE__);
      },
      "");
}

TEST(MemoryManager, ReportTotalPrintsTheExactLine) {
  TempDir dir;
  LogSettings saved = g_LogSettings;
  g_LogSettings.debugOutputWanted = true;
  g_LogSettings.debugOutputFile = dir.file("debug.txt");
  int32_t before = MemoryManager::TotalBytes.load();
  // Bring the total to exactly 128 bytes for the report, then put it back.
  MemoryManager::TotalBytes.store(0);
  void* a = MemoryManager::Alloc(100, __FILE__, __LINE__, true);
  void* b = MemoryManager::Alloc(28, __FILE__, __LINE__, true);
  MemoryManager::ReportTotal();
  MemoryManager::Free(a);
  MemoryManager::Free(b);
  MemoryManager::TotalBytes.store(before);
  g_LogSettings = saved;
  EXPECT_EQ(ReadFile(dir.file("debug.txt")), "Total memory used = 128(0x00000080) bytes\r\n");
}

TEST(MemoryManager, OutOfMemoryShowsTheBoxAndExitsWithMinusOne) {
  MessageBoxRecorder boxes;
  ProcessExitTrap trap;
  Counters start = Counters::Now();
  // Sizes whose header addition overflows 32 bits must not become tiny blocks.
  for (uint32_t size : {0xFFFFFFF1u, 0xFFFFFFFFu}) {
    try {
      MemoryManager::Alloc(size, __FILE__, __LINE__, true);
      ADD_FAILURE() << "allocation of " << size << " returned";
    } catch (const ProcessExited& e) {
      EXPECT_EQ(e.status, -1);
    }
  }
  ASSERT_EQ(boxes.boxes().size(), 2u);
  EXPECT_EQ(boxes.boxes()[0].caption, "Fatal Memory Error");
  EXPECT_EQ(boxes.boxes()[0].text, "Out of Memory!");
  EXPECT_TRUE(Counters::Now() == start);
}

TEST(MemoryManager, TextHelpersMakeExactTerminatedBlocks) {
  Counters start = Counters::Now();
  char* room = MemoryManager::NewText(3);
  EXPECT_EQ(MemoryManager::GetSize(room), 4);
  EXPECT_EQ(room[3], '\0');
  char* copy = MemoryManager::DuplicateText("abcdef", 3);
  EXPECT_STREQ(copy, "abc");
  EXPECT_EQ(MemoryManager::DuplicateText(nullptr), nullptr);
  // No length cap: a long formatted text is written whole.
  const std::string wide(300, 'x');
  char* formatted = MemoryManager::FormatText("%s|%d|%g", wide.c_str(), -7, 0.5);
  EXPECT_EQ(std::string(formatted), wide + "|-7|0.5");
  EXPECT_EQ(MemoryManager::GetSize(formatted), static_cast<int32_t>(wide.size() + 8));  // with the terminator
  for (char* p : {room, copy, formatted}) MemoryManager::Free(p);
  EXPECT_TRUE(Counters::Now() == start);
}

TEST(MemoryManager, FrameCountAdvancesOncePerFrame) {
  int32_t before = MemoryManager::FrameCount.load();
  MemoryManager::EnterMainLoop(-1, "Current Memory Stats");
  MemoryManager::NextFrame();
  MemoryManager::NextFrame();
  EXPECT_EQ(MemoryManager::FrameCount.load() - before, 2);
}

}  // namespace
