#include "code/VM_LineInfo.h"

#include <cstdlib>
#include <cstring>

#include "code/Code_Main.h"
#include "platform/MemoryManager.h"

namespace {

char g_LineText[256];

constexpr char kMarker[] = "#line ";
constexpr size_t kMarkerLength = sizeof(kMarker) - 1;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\0' || c == '\n' || c == '\r'; }

// Parses the line-marker at `line` ("#line " already matched): a name and a number, or just a
// number. Answers false when the line holds no number where one is expected.
bool ParseMarker(const char* line, int64_t* number, const char** nameStart, size_t* nameLength) {
  const char* p = line + kMarkerLength;
  while (IsBlank(*p)) ++p;
  const char* first = p;
  while (!IsLineEnd(*p) && !IsBlank(*p)) ++p;
  const char* firstEnd = p;
  while (IsBlank(*p)) ++p;
  const char* digits = p;
  const char* nameBegin = first;
  size_t nameLen = static_cast<size_t>(firstEnd - first);
  if (IsLineEnd(*p)) {
    // Only one token: it must be the number, and there is no name.
    digits = first;
    nameBegin = first;
    nameLen = 0;
  }
  const char* q = digits;
  bool negative = false;
  if (*q == '-' || *q == '+') {
    negative = *q == '-';
    ++q;
  }
  if (*q < '0' || *q > '9') return false;
  int64_t value = 0;
  while (*q >= '0' && *q <= '9') {
    if (value < 1000000000000LL) value = value * 10 + (*q - '0');
    ++q;
  }
  *number = negative ? -value : value;
  *nameStart = nameBegin;
  *nameLength = nameLen;
  return true;
}

int32_t ClampToInt32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

bool FindLineEntry(const VMBuffer* lineInfo, int32_t codeOffset, VMLineEntry* entry) {
  if (lineInfo == nullptr || lineInfo->m_data == nullptr || lineInfo->m_size < 8) return false;
  const int64_t count = static_cast<int64_t>(lineInfo->m_size) / 8;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(lineInfo->m_data);
  bool found = false;
  for (int64_t i = 0; i < count; ++i) {
    VMLineEntry e;
    std::memcpy(&e.codeOffset, bytes + i * 8, 4);
    std::memcpy(&e.sourceOffset, bytes + i * 8 + 4, 4);
    if (e.codeOffset > codeOffset) break;
    *entry = e;
    found = true;
  }
  return found;
}

int32_t FindSourceLine(const VMLineEntry* entry, const char* source, char** name) {
  if (name != nullptr) *name = nullptr;
  if (entry == nullptr || source == nullptr || entry->sourceOffset < 0) return -1;
  const int64_t length = static_cast<int64_t>(std::strlen(source));
  if (length == 0) return 1;
  int64_t offset = entry->sourceOffset;
  if (offset >= length) offset = length - 1;
  // Count the line feeds before the offset, walking back to the text's start or to the nearest
  // marker line (one that starts with "#line "), whichever comes first.
  int64_t lineFeeds = 0;
  for (int64_t p = offset - 1; p >= -1; --p) {
    const bool lineStart = p < 0 || source[p] == '\n';
    if (lineStart && std::strncmp(source + p + 1, kMarker, kMarkerLength) == 0) {
      int64_t number;
      const char* nameStart;
      size_t nameLength;
      if (ParseMarker(source + p + 1, &number, &nameStart, &nameLength)) {
        if (name != nullptr) *name = MemoryManager::DuplicateText(nameStart, nameLength);
        return ClampToInt32(number + lineFeeds - 1);
      }
    }
    if (p >= 0 && source[p] == '\n') ++lineFeeds;
  }
  return ClampToInt32(lineFeeds + 1);
}

const char* SourceLineText(const VMLineEntry* entry, const char* source) {
  if (entry == nullptr || source == nullptr) {
    std::strcpy(g_LineText, "<unknown source line>");
    return g_LineText;
  }
  const int64_t length = static_cast<int64_t>(std::strlen(source));
  int64_t n = entry->sourceOffset;
  if (n > length) n = length - 1;
  if (n < 0) n = 0;
  // The line starts after the last line feed among the first n bytes.
  int64_t start = n;
  while (start > 0 && source[start - 1] != '\n') --start;
  int64_t end = start;
  while (!IsLineEnd(source[end])) ++end;
  int64_t size = end - start;
  if (size > 255) {
    size = 255;
    // Never end inside a multi-byte character: back off continuation bytes.
    while (size > 0 && (static_cast<unsigned char>(source[start + size]) & 0xC0u) == 0x80u) --size;
  }
  std::memcpy(g_LineText, source + start, static_cast<size_t>(size));
  g_LineText[size] = '\0';
  return g_LineText;
}
