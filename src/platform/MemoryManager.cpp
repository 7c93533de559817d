#include "platform/MemoryManager.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

#include "base/VCL.h"
#include "os/MessageBox.h"

namespace MemoryManager {

std::atomic<int32_t> TotalBytes{0};
std::atomic<int32_t> TotalBytes2{0};
std::atomic<int32_t> TotalBytes3{0};
std::atomic<int32_t> BlockCount{0};
std::atomic<int32_t> FrameCount{0};

namespace {

// Which addresses are ours. A block is recognised by its magic words, but those are only
// read once the registry says the address is one we handed out, so a foreign pointer is never
// read before its start.
class BlockRegistry {
 public:
  void Add(const void* p) {
    Shard& s = ShardOf(p);
    std::lock_guard<std::mutex> lock(s.mutex);
    s.blocks.insert(reinterpret_cast<uintptr_t>(p));
  }
  void Remove(const void* p) {
    Shard& s = ShardOf(p);
    std::lock_guard<std::mutex> lock(s.mutex);
    s.blocks.erase(reinterpret_cast<uintptr_t>(p));
  }
  bool Contains(const void* p) {
    Shard& s = ShardOf(p);
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.blocks.count(reinterpret_cast<uintptr_t>(p)) != 0;
  }

 private:
  struct Shard {
    std::mutex mutex;
    std::unordered_set<uintptr_t> blocks;
  };
  static constexpr size_t kShards = 64;
  Shard& ShardOf(const void* p) {
    uintptr_t v = reinterpret_cast<uintptr_t>(p) >> 4;
    return shards_[(v ^ (v >> 6) ^ (v >> 12)) % kShards];
  }
  Shard shards_[kShards];
};

BlockRegistry& Registry() {
  // Never destroyed: blocks may be released by exit-time destructors of other units.
  static BlockRegistry* registry = new BlockRegistry();
  return *registry;
}

uint32_t* HeaderOf(const void* p) {
  return reinterpret_cast<uint32_t*>(const_cast<char*>(static_cast<const char*>(p)) - kHeaderSize);
}

bool HasMagic(const void* p) {
  uint32_t header[4];
  std::memcpy(header, static_cast<const char*>(p) - kHeaderSize, sizeof(header));
  return header[1] == kMagic1 && header[2] == kMagic2;
}

void Count(int32_t bytes, int32_t blocks) {
  TotalBytes.fetch_add(bytes, std::memory_order_relaxed);
  TotalBytes2.fetch_add(bytes, std::memory_order_relaxed);
  TotalBytes3.fetch_add(bytes, std::memory_order_relaxed);
  BlockCount.fetch_add(blocks, std::memory_order_relaxed);
}

}  // namespace

void* Alloc(uint32_t size, const char* /*file*/, int /*line*/, bool clear) {
  if (size == 0) return nullptr;
  // A size whose header does not fit in 32 bits cannot be a real request.
  if (size > UINT32_MAX - kHeaderSize) OutOfMemoryHandler();
  char* raw = static_cast<char*>(std::malloc(static_cast<size_t>(size) + kHeaderSize));
  if (raw == nullptr) OutOfMemoryHandler();
  const uint32_t header[4] = {size, kMagic1, kMagic2, 0};
  std::memcpy(raw, header, sizeof(header));
  char* block = raw + kHeaderSize;
  if (clear) std::memset(block, 0, size);
  Registry().Add(block);
  Count(static_cast<int32_t>(size), 1);
  return block;
}

bool IsManaged(const void* p) {
  return p != nullptr && Registry().Contains(p) && HasMagic(p);
}

void Free(void* p) {
  if (p == nullptr) return;
  if (!IsManaged(p)) {
    std::free(p);
    return;
  }
  uint32_t size;
  std::memcpy(&size, HeaderOf(p), sizeof(size));
  Registry().Remove(p);
  Count(-static_cast<int32_t>(size), -1);
  std::free(HeaderOf(p));
}

void* ReAlloc(void* p, uint32_t size, const char* file, int line) {
  if (p == nullptr) return Alloc(size, file, line, true);
  if (!IsManaged(p)) std::abort();  // a programming error: never go on
  uint32_t old;
  std::memcpy(&old, HeaderOf(p), sizeof(old));
  if (old >= size) return p;
  void* grown = Alloc(size, file, line, true);
  std::memcpy(grown, p, old);
  Free(p);
  return grown;
}

void* SetLength(void** p, uint32_t size, const char* file, int line) {
  *p = ReAlloc(*p, size, file, line);
  return *p;
}

int32_t GetSize(const void* p) {
  if (p == nullptr || !IsManaged(p)) return 0;
  uint32_t size;
  std::memcpy(&size, HeaderOf(p), sizeof(size));
  return static_cast<int32_t>(size & 0x7FFFFFFFu);
}

void EnterMainLoop(int32_t /*count*/, const char* /*title*/) {}

void NextFrame() { FrameCount.fetch_add(1, std::memory_order_relaxed); }

void ReportTotal() {
  int32_t total = TotalBytes.load();
  DebugConsole->Output("Total memory used = %d(0x%08lx) bytes\n", total,
                       static_cast<unsigned long>(static_cast<uint32_t>(total)));
}

}  // namespace MemoryManager

namespace {

void DefaultProcessExit(int status) { std::exit(status); }
std::atomic<ProcessExitFn> g_processExit{&DefaultProcessExit};

}  // namespace

void SetProcessExit(ProcessExitFn fn) { g_processExit.store(fn ? fn : &DefaultProcessExit); }

void ExitProcessWith(int status) {
  g_processExit.load()(status);
  std::abort();  // a replacement that returns must not let the caller go on
}

void OutOfMemoryHandler() {
  OS_ShowMessageBox("Fatal Memory Error", "Out of Memory!", MessageBoxKind::Ok, true);
  ExitProcessWith(-1);
}

int InstallOutOfMemoryHandler() {
  std::set_new_handler([] { OutOfMemoryHandler(); });
  return 0;
}

namespace {
// Installed before the program's other static constructors run.
struct OutOfMemoryHandlerInstaller {
  OutOfMemoryHandlerInstaller() { InstallOutOfMemoryHandler(); }
};
__attribute__((init_priority(101))) OutOfMemoryHandlerInstaller g_outOfMemoryHandlerInstaller;
}  // namespace
