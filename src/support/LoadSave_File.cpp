#include "support/LoadSave_File.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "buffer/Buffer_Standard.h"
#include "platform/MemoryManager.h"

namespace {

// The end of the file's data in the handle.
int DataEnd(const LoadSaveFile* file) { return file->buffer->m_UsedSize; }

bool IsSpace(uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// The length of the longest decimal number at the start of bytes[0 .. length): an optional sign,
// digits with an optional decimal point (at least one digit), then an optional exponent that
// counts only when digits follow it. 0 when no number starts there.
int64_t DecimalNumberLength(const uint8_t* bytes, int64_t length) {
  int64_t i = 0;
  if (i < length && (bytes[i] == '+' || bytes[i] == '-')) ++i;
  int64_t digits = 0;
  while (i < length && IsDigit(bytes[i])) ++i, ++digits;
  if (i < length && bytes[i] == '.') {
    ++i;
    while (i < length && IsDigit(bytes[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < length && (bytes[i] == 'e' || bytes[i] == 'E')) {
    int64_t j = i + 1;
    if (j < length && (bytes[j] == '+' || bytes[j] == '-')) ++j;
    if (j < length && IsDigit(bytes[j])) {
      while (j < length && IsDigit(bytes[j])) ++j;
      i = j;
    }
  }
  return i;
}

LoadSaveFile* NewHandle(IBuffer* buffer) {
  LoadSaveFile* file = static_cast<LoadSaveFile*>(
      MemoryManager::Alloc(sizeof(LoadSaveFile), __FILE__, __LINE__, true));
  file->buffer = buffer;
  return file;
}

}  // namespace

LoadSaveFile* LoadSave_fopen(const char* name, const char* mode) {
  bool text = false, read = false, write = false, append = false;
  for (const char* m = mode ? mode : ""; *m; ++m) {
    switch (*m) {
      case 't': text = true; break;
      case 'r': read = true; break;
      case 'w': write = true; break;
      case 'a': read = write = append = true; break;
      case '+': write = true; break;
      default: break;
    }
  }

  LoadSaveFile* file = nullptr;
  if (read) {
    int size = 0;
    void* data = LoadSave_ReadGameFile(name, &size);
    if (data == nullptr) data = LoadSave_ReadSaveFile(name, &size);
    if (data != nullptr) {
      IBuffer* buffer = new Buffer_Standard(size, BUFFER_GROW, 1);
      if (size > 0) {
        std::memcpy(buffer->GetData(), data, static_cast<size_t>(size));
        buffer->m_UsedSize = size;  // the whole file is data, for feof and for saving back
      }
      file = NewHandle(buffer);
      const uint8_t* bytes = static_cast<const uint8_t*>(data);
      if (text && size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        buffer->Seek(0, 3);
      }
      MemoryManager::Free(data);
    }
  }

  if (write) {
    if (file == nullptr) {
      file = NewHandle(new Buffer_Standard(0, BUFFER_GROW, 1));
    } else if (append) {
      file->buffer->Seek(2, 0);
    }
    if (name != nullptr) file->name = MemoryManager::DuplicateText(name);
    file->write = 1;
  }

  if (file != nullptr) file->text = text ? 1 : 0;
  return file;
}

void LoadSave_fclose(LoadSaveFile* file) {
  if (file == nullptr) return;
  if (file->write && file->name != nullptr) {
    file->buffer->Save(file->name, 0, file->buffer->GetUsedSize());
  }
  MemoryManager::Free(file->name);
  delete file->buffer;
  MemoryManager::Free(file);
}

int LoadSave_ftell(LoadSaveFile* file) { return file ? file->buffer->m_Position : 0; }

int LoadSave_fseek(LoadSaveFile* file, int offset, int origin) {
  if (file == nullptr) return 0;
  if (origin >= 0 && origin <= 2) file->buffer->Seek(origin, offset);
  return file->buffer->m_Position;
}

bool LoadSave_feof(LoadSaveFile* file) {
  if (file == nullptr) return true;
  return file->buffer->m_Position >= DataEnd(file);
}

bool LoadSave_feoln(LoadSaveFile* file) {
  if (file == nullptr) return true;
  const int pos = file->buffer->m_Position;
  if (pos < 0 || pos >= DataEnd(file)) return true;
  const uint8_t c = file->buffer->GetData()[pos];
  return c == '\r' || c == '\n';
}

uint8_t LoadSave_fgetc(LoadSaveFile* file) {
  if (file == nullptr) return 0xFF;
  IBuffer* buffer = file->buffer;
  const int pos = buffer->m_Position;
  uint8_t c = 0xFF;
  if (pos >= 0 && pos < DataEnd(file)) c = buffer->GetData()[pos];
  if (pos < INT_MAX) buffer->m_Position = pos + 1;
  return c;
}

int LoadSave_ReadReal(LoadSaveFile* file, double* out) {
  if (out != nullptr) *out = 0.0;
  if (file == nullptr) return 0;
  IBuffer* buffer = file->buffer;
  const int64_t end = DataEnd(file);
  int64_t pos = buffer->m_Position;
  if (pos < 0 || pos >= end) return 0;
  const uint8_t* data = buffer->GetData();
  while (pos < end && IsSpace(data[pos])) ++pos;
  buffer->m_Position = static_cast<int32_t>(pos);

  const int64_t used = DecimalNumberLength(data + pos, end - pos);
  if (used == 0) return 0;
  // strtod needs a terminated text; the copy keeps it from reading past the data.
  std::string number(reinterpret_cast<const char*>(data + pos), static_cast<size_t>(used));
  const double value = std::strtod(number.c_str(), nullptr);
  if (out != nullptr) *out = value;
  buffer->m_Position = static_cast<int32_t>(pos + used);
  return static_cast<int>(used);
}

int LoadSave_fread(void* destination, int size, int count, LoadSaveFile* file) {
  if (file == nullptr || destination == nullptr) return 0;
  return file->buffer->ReadBytes(destination, size, count);
}

int LoadSave_fwrite(const void* source, int size, int count, LoadSaveFile* file) {
  if (file == nullptr || source == nullptr) return 0;
  return file->buffer->WriteBytes(source, size, count);
}

int LoadSave_fputs(LoadSaveFile* file, const char* text) {
  if (file == nullptr || text == nullptr || text[0] == '\0') return 0;
  std::string converted;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n' && (p == text || p[-1] != '\r')) converted.push_back('\r');
    converted.push_back(*p);
  }
  if (converted.size() > static_cast<size_t>(INT_MAX)) return 0;
  return file->buffer->WriteBytes(converted.data(), 1, static_cast<int>(converted.size()));
}
