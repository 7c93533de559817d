#include "platform/MemoryManager.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "base/VCL.h"
#include "os/MessageBox.h"

namespace MemoryManager {

std::atomic<int32_t> TotalBytes{0};
std::atomic<int32_t> BlockCount{0};
std::atomic<int32_t> FrameCount{0};
std::atomic<int64_t> AllocCount{0};

namespace {

uint32_t* HeaderOf(const void* p) {
  return reinterpret_cast<uint32_t*>(const_cast<char*>(static_cast<const char*>(p)) - kHeaderSize);
}

bool HasMagic(const void* p) {
  uint32_t header[4];
  std::memcpy(header, static_cast<const char*>(p) - kHeaderSize, sizeof(header));
  return header[1] == kMagic1 && header[2] == kMagic2;
}

// Grows a block that is ours to `size` bytes (the new part zero-filled when `clear` says so) when
// it is smaller: answers the block's address afterwards, the old address for one that was big
// enough or grew in place. Null when the C runtime could not grow it (out of memory).
char* GrowBlock(void* p, uint32_t size, uint32_t* oldSize, bool clear) {
  uint32_t old;
  std::memcpy(&old, HeaderOf(p), sizeof(old));
  *oldSize = old;
  if (old >= size) return static_cast<char*>(p);
  if (size > UINT32_MAX - kHeaderSize) OutOfMemoryHandler();
  char* raw = static_cast<char*>(std::realloc(HeaderOf(p), static_cast<size_t>(size) + kHeaderSize));
  if (raw == nullptr) return nullptr;
  std::memcpy(raw, &size, sizeof(size));
  char* block = raw + kHeaderSize;
  if (clear) std::memset(block + old, 0, size - old);
  return block;
}

// Which addresses are ours. A block is recognised by its magic words, but those are only
// read once the registry says the address is one we handed out, so a foreign pointer is never
// read before its start.
//
// Each shard is an open-addressing hash set of addresses (linear probing, no allocation per
// entry), so that recording and forgetting a block costs one short lock and a probe or two.
class BlockRegistry {
 public:
  void Add(const void* p) {
    Shard& s = ShardOf(p);
    std::lock_guard<std::mutex> lock(s.mutex);
    s.Insert(Key(p));
  }
  bool Contains(const void* p) {
    Shard& s = ShardOf(p);
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.Find(Key(p)) != nullptr;
  }
  // Grows the block at p when it is ours (false, nothing done, when it is not): *moved is its
  // address afterwards, *oldSize its size before. A block that moved is forgotten here; the
  // caller records the new address.
  bool Resize(void* p, uint32_t size, bool clear, void** moved, uint32_t* oldSize) {
    Shard& s = ShardOf(p);
    std::lock_guard<std::mutex> lock(s.mutex);
    uintptr_t* slot = s.Find(Key(p));
    if (slot == nullptr || !HasMagic(p)) return false;
    char* block = GrowBlock(p, size, oldSize, clear);
    if (block == nullptr) OutOfMemoryHandler();
    if (block != p) s.EraseSlot(slot);
    *moved = block;
    return true;
  }
  // Forgets the address when it is ours and carries the magic words; answers whether it did.
  bool RemoveIfManaged(const void* p, bool (*hasMagic)(const void*)) {
    Shard& s = ShardOf(p);
    std::lock_guard<std::mutex> lock(s.mutex);
    uintptr_t* slot = s.Find(Key(p));
    if (slot == nullptr || !hasMagic(p)) return false;
    s.EraseSlot(slot);
    return true;
  }

 private:
  // Slot markers: block addresses are at least 16-byte aligned, so neither is ever an address.
  static constexpr uintptr_t kEmpty = 0;
  static constexpr uintptr_t kErased = 1;

  static uintptr_t Key(const void* p) { return reinterpret_cast<uintptr_t>(p); }

  struct Shard {
    std::mutex mutex;
    uintptr_t* slots = nullptr;  // capacity entries (a power of two), from the C runtime
    size_t capacity = 0;
    size_t live = 0;    // addresses held
    size_t erased = 0;  // kErased markers

    size_t Home(uintptr_t key) const {
      return static_cast<size_t>(((key >> 4) * 0x9E3779B97F4A7C15ull) >> 20) & (capacity - 1);
    }
    uintptr_t* Find(uintptr_t key) {
      if (capacity == 0) return nullptr;
      for (size_t i = Home(key);; i = (i + 1) & (capacity - 1)) {
        if (slots[i] == key) return &slots[i];
        if (slots[i] == kEmpty) return nullptr;
      }
    }
    void Insert(uintptr_t key) {
      if ((live + erased + 1) * 2 > capacity) Rehash(live + 1);
      size_t i = Home(key);
      uintptr_t* reuse = nullptr;
      for (;; i = (i + 1) & (capacity - 1)) {
        if (slots[i] == key) return;
        if (slots[i] == kErased && reuse == nullptr) reuse = &slots[i];
        if (slots[i] == kEmpty) break;
      }
      if (reuse != nullptr) {
        *reuse = key;
        --erased;
      } else {
        slots[i] = key;
      }
      ++live;
    }
    void EraseSlot(uintptr_t* slot) {
      *slot = kErased;
      --live;
      ++erased;
    }
    // Rebuilds the table with room for `needed` addresses at most half full, dropping markers.
    void Rehash(size_t needed) {
      size_t grown = capacity == 0 ? 64 : capacity;
      while (needed * 2 > grown) grown *= 2;
      if (grown == capacity && erased == 0) grown *= 2;
      uintptr_t* fresh = static_cast<uintptr_t*>(std::calloc(grown, sizeof(uintptr_t)));
      if (fresh == nullptr) OutOfMemoryHandler();
      uintptr_t* old = slots;
      const size_t oldCapacity = capacity;
      slots = fresh;
      capacity = grown;
      live = 0;
      erased = 0;
      for (size_t i = 0; i < oldCapacity; ++i) {
        if (old[i] != kEmpty && old[i] != kErased) {
          size_t k = Home(old[i]);
          while (slots[k] != kEmpty) k = (k + 1) & (capacity - 1);
          slots[k] = old[i];
          ++live;
        }
      }
      std::free(old);
    }
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


void Count(int32_t bytes, int32_t blocks) {
  TotalBytes.fetch_add(bytes, std::memory_order_relaxed);
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
  AllocCount.fetch_add(1, std::memory_order_relaxed);
  return block;
}

bool IsManaged(const void* p) {
  return p != nullptr && Registry().Contains(p) && HasMagic(p);
}

void Free(void* p) {
  if (p == nullptr) return;
  // One visit to the registry both recognises the block and forgets it.
  if (!Registry().RemoveIfManaged(p, &HasMagic)) {
    std::free(p);
    return;
  }
  uint32_t size;
  std::memcpy(&size, HeaderOf(p), sizeof(size));
  Count(-static_cast<int32_t>(size), -1);
  std::free(HeaderOf(p));
}

void* ReAlloc(void* p, uint32_t size, const char* file, int line, bool clear) {
  if (p == nullptr) return Alloc(size, file, line, clear);
  // One visit to the registry recognises the block and, when the C runtime moves it, forgets the
  // old address; only a moved block is recorded again.
  void* moved = nullptr;
  uint32_t old = 0;
  if (!Registry().Resize(p, size, clear, &moved, &old)) std::abort();  // a programming error: never go on
  if (old >= size) return p;
  Count(static_cast<int32_t>(size - old), 0);
  AllocCount.fetch_add(1, std::memory_order_relaxed);
  if (moved != p) Registry().Add(moved);
  return moved;
}

char* NewText(size_t length) {
  if (length > UINT32_MAX - kHeaderSize - 1) OutOfMemoryHandler();
  char* text = static_cast<char*>(Alloc(static_cast<uint32_t>(length + 1), __FILE__, __LINE__, false));
  text[length] = '\0';
  return text;
}

char* DuplicateText(const char* text, size_t length) {
  char* copy = NewText(length);
  if (length > 0) std::memcpy(copy, text, length);
  return copy;
}

char* DuplicateText(const char* text) {
  return text == nullptr ? nullptr : DuplicateText(text, std::strlen(text));
}

char* FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  char* text = NewText(length > 0 ? static_cast<size_t>(length) : 0);
  if (length > 0) std::vsnprintf(text, static_cast<size_t>(length) + 1, format, again);
  va_end(again);
  return text;
}

void* SetLength(void** p, uint32_t size, const char* file, int line) {
  *p = ReAlloc(*p, size, file, line);
  return *p;
}

uint32_t OwnBlockSize(const void* p) {
  uint32_t size;
  std::memcpy(&size, HeaderOf(p), sizeof(size));
  return size;
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
