#include "base/Common.h"

#include <bit>
#include <cstring>

#include "base/Utf8.h"
#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"

// ---------------------------------------------------------------------------------------------
// Random numbers
// ---------------------------------------------------------------------------------------------

namespace {

// Each state word is the 15-bit output of the classic linear congruential step; the next step
// starts from that 15-bit value, so every word is below 0x8000.
constexpr RandomState MakeSeededState(uint32_t seed) {
  RandomState state{};
  uint32_t x = seed;
  for (int k = 0; k < 16; ++k) {
    x = ((x * 214013u + 2531011u) >> 16) & 0x7FFFu;
    state.s[k] = x;
  }
  state.index = 0;
  state.seed = seed;
  return state;
}

// Seeded with 0 at compile time, so the generator is ready even for other units' static
// constructors, whatever order they run in.
constinit RandomState g_random = MakeSeededState(0);

}  // namespace

uint32_t SeedRandom(uint32_t seed) {
  g_random = MakeSeededState(seed);
  return seed;
}

uint32_t NextRandom() {
  uint32_t* s = g_random.s;
  uint32_t i = g_random.index;
  uint32_t a = s[i];
  uint32_t c = s[(i + 13) & 15];
  const uint32_t b = a ^ c ^ (a << 16) ^ (c << 15);
  c = s[(i + 9) & 15];
  c ^= c >> 11;
  a = b ^ c;
  s[i] = a;
  const uint32_t d = a ^ ((a << 5) & 0xDA442D24u);
  i = (i + 15) & 15;
  a = s[i];
  s[i] = a ^ b ^ d ^ (a << 2) ^ (b << 18) ^ (c << 28);
  g_random.index = i;
  return s[i];
}

double RandomReal(double x) {
  // r / 2^32 is at most 1 - 2^-32, far enough below 1 that the product never rounds up to x.
  return static_cast<double>(NextRandom()) / 4294967296.0 * x;
}

int32_t RandomInt(int32_t n) {
  if (n == 0) return 0;
  // |n| in unsigned arithmetic, so that the most negative n gives 2^31.
  const uint32_t range = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
  return static_cast<int32_t>(NextRandom() % range);
}

uint32_t GetRandomSeed() { return g_random.seed; }

const RandomState& GetRandomState() { return g_random; }

// ---------------------------------------------------------------------------------------------
// Text conversions
// ---------------------------------------------------------------------------------------------

namespace {

bool PointsInto(const char* p, const char* block, uint64_t blockSize) {
  const uintptr_t at = reinterpret_cast<uintptr_t>(p);
  const uintptr_t start = reinterpret_cast<uintptr_t>(block);
  return at >= start && static_cast<uint64_t>(at - start) < blockSize;
}

// A block of `bytes` bytes for a new text; a size past what a block can hold is fatal, as
// running out of memory is.
void* AllocTextBlock(uint64_t bytes) {
  if (bytes > UINT32_MAX) OutOfMemoryHandler();
  return MemoryManager::Alloc(static_cast<uint32_t>(bytes), __FILE__, __LINE__, false);
}

}  // namespace

char* ConcatStrings(char* target, const char* t1, const char* t2, const char* t3, const char* t4,
                    const char* t5, const char* t6, const char* t7, const char* t8, const char* t9,
                    const char* t10) {
  const char* const texts[10] = {t1, t2, t3, t4, t5, t6, t7, t8, t9, t10};
  const char* parts[10];
  uint64_t lengths[10];
  int count = 0;
  uint64_t sum = 0;
  for (const char* t : texts) {
    if (t == nullptr || *t == '\0') continue;
    parts[count] = t;
    lengths[count] = std::strlen(t);
    sum += lengths[count];
    ++count;
  }
  if (count == 0) return nullptr;
  if (sum + 1 > UINT32_MAX) OutOfMemoryHandler();

  // Texts inside the target would be lost when the block moves, or overwritten as the result
  // is written from its start. The usual case, the target itself as the first text, is safe
  // as it is: its bytes stay where they are. Any other text inside the target is read from a
  // copy of the block taken before it changes.
  char* copy = nullptr;
  if (target != nullptr) {
    const uint64_t oldSize = static_cast<uint64_t>(MemoryManager::GetSize(target));
    bool needCopy = false;
    for (int k = 0; k < count; ++k) {
      if (!PointsInto(parts[k], target, oldSize)) continue;
      if (k == 0 && parts[k] == target) continue;
      needCopy = true;
    }
    if (needCopy) {
      copy = static_cast<char*>(AllocTextBlock(oldSize));
      std::memcpy(copy, target, oldSize);
    }
    for (int k = 0; k < count; ++k) {
      if (!PointsInto(parts[k], target, oldSize)) continue;
      // Offsets only: the old block may be gone once it has grown.
      parts[k] = (copy != nullptr) ? copy + (parts[k] - target) : nullptr;
    }
  }

  char* block = static_cast<char*>(Grow_Resize(target, static_cast<int64_t>(sum + 1), 1));
  uint64_t pos = 0;
  for (int k = 0; k < count; ++k) {
    // A null part here is the target as first text, already in place at the block's start.
    if (parts[k] != nullptr) std::memmove(block + pos, parts[k], lengths[k]);
    pos += lengths[k];
  }
  block[sum] = '\0';
  MemoryManager::Free(copy);
  return block;
}

char16_t* AsciiToWide(const char* text) {
  if (text == nullptr) return nullptr;
  const uint64_t length = std::strlen(text);
  auto* out = static_cast<char16_t*>(AllocTextBlock((length + 1) * sizeof(char16_t)));
  for (uint64_t k = 0; k < length; ++k) {
    const auto byte = static_cast<unsigned char>(text[k]);
    // Widened as a signed 8-bit value: 0x80..0xFF become 0xFF80..0xFFFF.
    out[k] = static_cast<char16_t>(byte < 0x80 ? byte : (0xFF00u | byte));
  }
  out[length] = u'\0';
  return out;
}

char* WideToAscii(const char16_t* text) {
  if (text == nullptr) return nullptr;
  uint64_t length = 0;
  while (text[length] != u'\0') ++length;
  auto* out = static_cast<char*>(AllocTextBlock(length + 1));
  for (uint64_t k = 0; k < length; ++k) out[k] = static_cast<char>(static_cast<uint16_t>(text[k]) & 0xFFu);
  out[length] = '\0';
  return out;
}

int32_t ConvertHashToNewline(char* text) {
  if (text == nullptr) return 0;
  const char* in = text;
  char* out = text;
  int32_t count = 0;
  while (*in != '\0') {
    const char* before = in;
    const uint16_t ch = Utf8DecodeChar(&in);
    const int consumed = static_cast<int>(in - before);
    if (ch == '#') {
      if (out > text && out[-1] == '\\') {
        out[-1] = '#';  // "\#" stands for the '#' itself, already counted as the backslash
      } else {
        *out++ = 13;
        ++count;
      }
      continue;
    }
    if (Utf8CharSize(ch) > consumed) {
      // A sequence cut short by the terminator decodes to a character whose encoding is longer
      // than the bytes it came from; writing it would run past the text. Keep its bytes.
      std::memmove(out, before, static_cast<size_t>(consumed));
      out += consumed;
    } else {
      Utf8EncodeChar(&out, ch);
    }
    ++count;
  }
  *out = '\0';
  return count;
}

bool Platform_IsBigEndian() { return std::endian::native == std::endian::big; }
