// The guarded heap: every block carries a 16-byte header (size, two magic words, 0) and is
// counted, and running out of memory is fatal, so no caller ever sees an allocation fail.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace MemoryManager {

constexpr uint32_t kMagic1 = 0xDEADC0DEu;
constexpr uint32_t kMagic2 = 0xBAADB00Bu;
constexpr uint32_t kHeaderSize = 16;

// Process-wide statistics.
extern std::atomic<int32_t> TotalBytes;
extern std::atomic<int32_t> BlockCount;
extern std::atomic<int32_t> FrameCount;
// Blocks handed out since the start (never goes down): what a piece of work allocated is the
// difference across it.
extern std::atomic<int64_t> AllocCount;

// size 0 answers null. The source file and line are accepted and not recorded.
void* Alloc(uint32_t size, const char* file, int line, bool clear = true);
// Grows only: a block whose size is not below `size` comes back unchanged. The bytes added are
// zero unless `clear` is false (then they hold whatever the C runtime left there).
void* ReAlloc(void* p, uint32_t size, const char* file, int line, bool clear = true);
// Null does nothing; a block that is not ours goes to the C runtime's free.
void Free(void* p);
void* SetLength(void** p, uint32_t size, const char* file, int line);
int32_t GetSize(const void* p);
// The size of a block this manager handed out, read from its header without asking the registry;
// `p` must be such a block (not null).
uint32_t OwnBlockSize(const void* p);
bool IsManaged(const void* p);

void EnterMainLoop(int32_t count, const char* title);
void NextFrame();
void ReportTotal();

// ---- Texts: every text below is a new block the caller frees with Free ----

// Room for a text of `length` bytes: the terminator is written at [length], the bytes before it
// are left for the caller to fill. A length no block can hold is out of memory (fatal).
char* NewText(size_t length);
// A copy of the text with its terminator in a new block; null for null.
char* DuplicateText(const char* text);
// A copy of `length` bytes of `text` followed by a terminator, in a new block.
char* DuplicateText(const char* text, size_t length);
// The text printf would give; an empty text when the format cannot be written.
char* FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Typed helpers for arrays of T.
template <typename T>
T* AllocArray(uint32_t count, const char* file, int line) {
  return static_cast<T*>(Alloc(static_cast<uint32_t>(count * sizeof(T)), file, line, true));
}

}  // namespace MemoryManager

// The fatal handler: shows "Out of Memory!" and ends the process with status -1.
[[noreturn]] void OutOfMemoryHandler();
int InstallOutOfMemoryHandler();

// How the process ends after a fatal failure; tests replace it with one that throws or
// records the status. The replacement must not return.
using ProcessExitFn = void (*)(int status);
void SetProcessExit(ProcessExitFn fn);
[[noreturn]] void ExitProcessWith(int status);
