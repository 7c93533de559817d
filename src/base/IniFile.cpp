#include "base/IniFile.h"

#include <cstring>
#include <new>

#include "base/VCL.h"
#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"
#include "support/LoadSave.h"
#include "support/Support_Directory.h"

namespace {

IniKey* NewKey(char* name, char* value) {
  void* block = MemoryManager::Alloc(sizeof(IniKey), __FILE__, __LINE__, true);
  return new (block) IniKey{nullptr, name, value};
}

IniSection* NewSection(char* name) {
  void* block = MemoryManager::Alloc(sizeof(IniSection), __FILE__, __LINE__, true);
  return new (block) IniSection{nullptr, nullptr, name};
}

void FreeKey(IniKey* key) {
  MemoryManager::Free(key->name);
  MemoryManager::Free(key->value);
  MemoryManager::Free(key);
}

void FreeSection(IniSection* section) {
  IniKey* key = section->keys;
  while (key != nullptr) {
    IniKey* next = key->next;
    FreeKey(key);
    key = next;
  }
  MemoryManager::Free(section->name);
  MemoryManager::Free(section);
}

bool IsComment(char c) { return c == '#' || c == ';'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsBlank(char c) { return IsSpace(c) || IsComment(c); }

}  // namespace

IniFile::IniFile() = default;

IniFile::~IniFile() {
  FreeSections();
  ReleaseText();
  MemoryManager::Free(m_name);
}

void IniFile::FreeSections() {
  IniSection* section = m_sections;
  while (section != nullptr) {
    IniSection* next = section->next;
    FreeSection(section);
    section = next;
  }
  m_sections = nullptr;
}

void IniFile::ReleaseText() {
  MemoryManager::Free(m_text);
  m_text = nullptr;
  m_textLength = 0;
}

// Reads the named file (save area first, then the game folder) as the text to parse. The block
// gets a terminator so that the text can also be printed as a C string.
bool IniFile::ReadFileText() {
  if (m_name == nullptr) return false;
  int size = 0;
  void* data = LoadSave_SaveFileExists(m_name) ? LoadSave_ReadSaveFile(m_name, &size)
                                               : LoadSave_ReadGameFile(m_name, &size);
  if (data == nullptr) return false;
  if (size < 0) size = 0;
  char* text = static_cast<char*>(Grow_Resize(data, static_cast<int64_t>(size) + 1, 1));
  text[size] = '\0';
  ReleaseText();
  m_text = text;
  m_textLength = size;
  return true;
}

void IniFile::Open(const char* fileName, bool log) {
  char* name = fileName != nullptr ? MemoryManager::DuplicateText(fileName) : nullptr;
  MemoryManager::Free(m_name);
  m_name = name;
  ReleaseText();
  if (log && ReadFileText()) {
    DebugConsole->Output("%s file contents: %s\n", m_name, m_text);
  }
  Parse();
}

void IniFile::LoadFromString(const char* text) {
  size_t length = text != nullptr ? std::strlen(text) : 0;
  // The parser counts positions in 32 bits; a longer text is not taken at all.
  if (static_cast<uint64_t>(length) >= static_cast<uint64_t>(INT32_MAX)) length = 0;
  ReleaseText();
  m_text = MemoryManager::DuplicateText(text != nullptr ? text : "", length);
  m_textLength = static_cast<int32_t>(length);
  Parse();
}

// Skips blanks and comments (a comment runs up to and including the next line feed, or to the
// end of the text). Counts the line feeds passed in m_line; answers whether a comment was passed.
bool IniFile::SkipBlanks() {
  bool comment = false;
  while (m_cursor < m_textLength && IsBlank(m_text[m_cursor])) {
    if (IsComment(m_text[m_cursor])) {
      comment = true;
      while (m_cursor < m_textLength && m_text[m_cursor] != '\n') ++m_cursor;
      if (m_cursor < m_textLength) {
        ++m_cursor;
        ++m_line;
      }
      continue;
    }
    if (m_text[m_cursor] == '\n') ++m_line;
    ++m_cursor;
  }
  return comment;
}

int32_t IniFile::Find(char c, int32_t from) const {
  if (from < 0 || from >= m_textLength) return -1;
  const void* found = std::memchr(m_text + from, c, static_cast<size_t>(m_textLength - from));
  return found != nullptr ? static_cast<int32_t>(static_cast<const char*>(found) - m_text) : -1;
}

// Reads "[name]" from the next '[' on; the name may span line ends. False (and the cursor at the
// end) when there is no '[' or no ']' after it.
bool IniFile::ReadSectionHeader(IniSection** out) {
  SkipBlanks();
  const int32_t open = Find('[', m_cursor);
  const int32_t close = open >= 0 ? Find(']', open + 1) : -1;
  if (close < 0) {
    m_cursor = m_textLength;
    return false;
  }
  *out = NewSection(MemoryManager::DuplicateText(m_text + open + 1, static_cast<size_t>(close - open - 1)));
  m_cursor = close + 1;
  return true;
}

IniFile::KeyResult IniFile::ReadKey(IniKey** out) {
  SkipBlanks();
  if (m_cursor >= m_textLength || m_text[m_cursor] == '[') return KeyResult::None;

  // The name runs to the next '=', wherever it is.
  const int32_t nameStart = m_cursor;
  const int32_t equalsAt = Find('=', m_cursor);
  if (equalsAt < 0) {
    m_cursor = m_textLength;
    return KeyResult::Stop;
  }
  int32_t nameEnd = equalsAt;
  while (nameEnd > nameStart && IsBlank(m_text[nameEnd - 1])) --nameEnd;

  // A value must start on its key's line.
  m_cursor = equalsAt + 1;
  const int32_t lineBefore = m_line;
  if (SkipBlanks() || m_line != lineBefore) return KeyResult::None;

  int32_t valueStart;
  int32_t valueEnd;
  const char quote = m_cursor < m_textLength ? m_text[m_cursor] : '\0';
  if (quote == '"' || quote == '\'') {
    valueStart = ++m_cursor;
    while (m_cursor < m_textLength && m_text[m_cursor] != quote && m_text[m_cursor] != '\r' &&
           m_text[m_cursor] != '\n') {
      ++m_cursor;
    }
    valueEnd = m_cursor;
    // Whatever follows the closing quote on that line is ignored.
    while (m_cursor < m_textLength && m_text[m_cursor] != '\r' && m_text[m_cursor] != '\n') ++m_cursor;
  } else {
    valueStart = m_cursor;
    while (m_cursor < m_textLength && !IsComment(m_text[m_cursor]) && m_text[m_cursor] != '\r' &&
           m_text[m_cursor] != '\n') {
      ++m_cursor;
    }
    valueEnd = m_cursor;
  }
  while (valueEnd > valueStart && (m_text[valueEnd - 1] == ' ' || m_text[valueEnd - 1] == '\t')) {
    --valueEnd;
  }

  *out = NewKey(MemoryManager::DuplicateText(m_text + nameStart, static_cast<size_t>(nameEnd - nameStart)),
                MemoryManager::DuplicateText(m_text + valueStart, static_cast<size_t>(valueEnd - valueStart)));
  return KeyResult::Read;
}

bool IniFile::Parse() {
  FreeSections();
  if (m_text == nullptr && !ReadFileText()) return false;

  m_cursor = 0;
  m_line = 0;
  if (m_textLength >= 3 && static_cast<uint8_t>(m_text[0]) == 0xEF &&
      static_cast<uint8_t>(m_text[1]) == 0xBB && static_cast<uint8_t>(m_text[2]) == 0xBF) {
    m_cursor = 3;
  }

  // Everything before the first section header is ignored.
  IniSection* current = nullptr;
  if (ReadSectionHeader(&current)) {
    m_sections = current;
    while (m_cursor < m_textLength) {
      IniKey* key = nullptr;
      const KeyResult result = ReadKey(&key);
      if (result == KeyResult::Read) {
        key->next = current->keys;
        current->keys = key;
        continue;
      }
      if (result == KeyResult::Stop) break;
      if (m_cursor < m_textLength && m_text[m_cursor] == '[') {
        IniSection* section = nullptr;
        if (!ReadSectionHeader(&section)) break;
        section->next = m_sections;
        m_sections = section;
        current = section;
      }
    }
  }
  ReleaseText();
  return true;
}

IniSection* IniFile::FindSection(const char* section) {
  if (section == nullptr) return nullptr;
  for (IniSection* s = m_sections; s != nullptr; s = s->next) {
    if (std::strcmp(s->name, section) == 0) return s;
  }
  return nullptr;
}

IniKey* IniFile::FindKey(const char* section, const char* key) {
  IniSection* s = FindSection(section);
  if (s == nullptr || key == nullptr) return nullptr;
  for (IniKey* k = s->keys; k != nullptr; k = k->next) {
    if (std::strcmp(k->name, key) == 0) return k;
  }
  return nullptr;
}

const char* IniFile::ReadString(const char* section, const char* key, const char* defaultValue) {
  IniKey* k = FindKey(section, key);
  return k != nullptr ? k->value : defaultValue;
}

int32_t IniFile::ReadInt(const char* section, const char* key, int32_t defaultValue) {
  IniKey* k = FindKey(section, key);
  if (k == nullptr) return defaultValue;
  const char* p = k->value;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // Saturates at the 32-bit limits instead of overflowing.
  int64_t magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > 2147483648LL) magnitude = 2147483648LL;
  }
  if (negative) return static_cast<int32_t>(-magnitude);
  return magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
}

bool IniFile::WriteString(const char* section, const char* key, const char* value) {
  m_dirty = 1;
  if (section != nullptr && std::strcmp(section, "SYSTEM_COMMAND") == 0) {
    if (key != nullptr && value != nullptr && std::strcmp(key, "INI_FILE_FLUSH") == 0 &&
        std::strcmp(value, "NOW") == 0) {
      MemoryManager::Free(WriteToString());
    }
    return true;
  }
  if (section == nullptr || key == nullptr) return false;

  char* copy = MemoryManager::DuplicateText(value != nullptr ? value : "");
  IniKey* k = FindKey(section, key);
  if (k != nullptr) {
    MemoryManager::Free(k->value);
    k->value = copy;
    return true;
  }
  IniSection* s = FindSection(section);
  if (s == nullptr) {
    s = NewSection(MemoryManager::DuplicateText(section));
    s->next = m_sections;
    m_sections = s;
  }
  k = NewKey(MemoryManager::DuplicateText(key), copy);
  k->next = s->keys;
  s->keys = k;
  return true;
}

bool IniFile::DeleteKey(const char* section, const char* key) {
  IniSection* s = FindSection(section);
  if (s == nullptr || key == nullptr) return false;
  for (IniKey** link = &s->keys; *link != nullptr; link = &(*link)->next) {
    if (std::strcmp((*link)->name, key) == 0) {
      IniKey* found = *link;
      *link = found->next;
      FreeKey(found);
      m_dirty = 1;
      return true;
    }
  }
  return false;
}

bool IniFile::DeleteSection(const char* section) {
  if (section == nullptr) return false;
  for (IniSection** link = &m_sections; *link != nullptr; link = &(*link)->next) {
    if (std::strcmp((*link)->name, section) == 0) {
      IniSection* found = *link;
      *link = found->next;
      FreeSection(found);
      m_dirty = 1;
      return true;
    }
  }
  return false;
}

char* IniFile::WriteToString() {
  uint64_t length = 0;
  for (IniSection* s = m_sections; s != nullptr; s = s->next) {
    length += std::strlen(s->name) + 4;  // '[' name ']' CR LF
    for (IniKey* k = s->keys; k != nullptr; k = k->next) {
      length += std::strlen(k->name) + std::strlen(k->value) + 5;  // name '=' '"' value '"' CR LF
    }
  }
  // The text is written as one file whose size is a signed 32-bit number.
  if (length >= static_cast<uint64_t>(INT32_MAX)) OutOfMemoryHandler();

  char* text = static_cast<char*>(
      MemoryManager::Alloc(static_cast<uint32_t>(length + 1), __FILE__, __LINE__, false));
  char* out = text;
  auto put = [&out](const char* part) {
    const size_t n = std::strlen(part);
    std::memcpy(out, part, n);
    out += n;
  };
  for (IniSection* s = m_sections; s != nullptr; s = s->next) {
    put("[");
    put(s->name);
    put("]\r\n");
    for (IniKey* k = s->keys; k != nullptr; k = k->next) {
      put(k->name);
      put("=\"");
      put(k->value);
      put("\"\r\n");
    }
  }
  *out = '\0';

  if (m_dirty) {
    if (m_name != nullptr) {
      // The save area write creates the directories of the resolved path itself; creating
      // those of the name as given would make folders outside the save area.
      LoadSave_WriteSaveFile(m_name, text, static_cast<int>(length));
    }
    m_dirty = 0;
  }
  return text;
}
