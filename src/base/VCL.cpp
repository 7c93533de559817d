#include "base/VCL.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "debug/Debug_Log.h"
#include "graphics/Graphics_Window.h"
#include "os/MessageBox.h"
#include "platform/MemoryManager.h"

namespace {
TConsole g_debugConsole(1);
TConsole g_outputConsole(0);

// Appends `text` to `path`, writing each line feed as carriage return + line feed.
void AppendToLog(const std::string& path, const char* text) {
  FILE* f = std::fopen(path.c_str(), "ab");
  if (f == nullptr) return;  // skipped silently for this message
  std::string out;
  out.reserve(std::strlen(text) + 16);
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') out.push_back('\r');
    out.push_back(*p);
  }
  std::fwrite(out.data(), 1, out.size(), f);
  std::fclose(f);
}
}  // namespace

tagIConsole* DebugConsole = &g_debugConsole;
tagIConsole* OutputConsole = &g_outputConsole;
LogSettings g_LogSettings;

void TConsole::Output(const char* format, ...) {
  if (format == nullptr) return;
  char buffer[kConsoleBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  Write(buffer);
}

void TConsole::Write(const char* text) {
  if (text == nullptr) return;
  char buffer[kConsoleBufferSize];
  std::snprintf(buffer, sizeof(buffer), "%s", text);
  if (Debug_IsLinkActive()) Debug_CaptureLog(buffer);
  if (target_ == 1 && g_LogSettings.debugOutputWanted) {
    AppendToLog(g_LogSettings.debugOutputFile, buffer);
  } else if (target_ == 0 && g_LogSettings.outputWanted) {
    AppendToLog(g_LogSettings.outputFile, buffer);
  }
  // What concerns the game's author also reaches standard output, where a terminal or a test
  // harness running the game reads it.
  if (target_ == 0) std::fputs(buffer, stdout);
  std::fflush(stdout);
}

int ShowMessage(const char* text) {
  GraphicsLeaveFullscreen();
  const char* caption = GR_Window_GetCaption();
  MessageBoxAnswer answer =
      OS_ShowMessageBox(caption ? caption : "", text ? text : "", MessageBoxKind::Ok, true);
  return answer == MessageBoxAnswer::Ok ? 1 : 0;
}

int32_t VCL_Pos(const char* sub, const char* text) {
  if (sub == nullptr || text == nullptr) return 0;
  const char* found = std::strstr(text, sub);
  return found ? static_cast<int32_t>(found - text) + 1 : 0;
}

VCLString::~VCLString() { MemoryManager::Free(text); }

void VCL_Trim(VCLString& holder, const char* text) {
  if (text == nullptr) {
    MemoryManager::Free(holder.text);
    holder.text = nullptr;
    return;
  }
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  const char* begin = text;
  const char* end = text + std::strlen(text);
  while (begin < end && blank(*begin)) ++begin;
  while (end > begin && blank(end[-1])) --end;
  size_t len = static_cast<size_t>(end - begin);
  if (holder.text != nullptr && static_cast<size_t>(MemoryManager::GetSize(holder.text)) >= len + 1) {
    std::memmove(holder.text, begin, len);  // the text may lie in the holder's own block
    holder.text[len] = '\0';
    return;
  }
  char* copy = MemoryManager::DuplicateText(begin, len);
  MemoryManager::Free(holder.text);
  holder.text = copy;
}

void VCL_Shutdown() {}

namespace {
const unsigned char* g_embeddedTable = nullptr;

uint32_t ReadWord(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof(v));
  return v;
}
}  // namespace

void EmbeddedFiles_SetTable(const void* table) {
  g_embeddedTable = static_cast<const unsigned char*>(table);
}

const void* EmbeddedFiles_GetData(int index) {
  if (g_embeddedTable == nullptr || index < 0) return nullptr;
  if (static_cast<uint32_t>(index) >= ReadWord(g_embeddedTable)) return nullptr;
  return g_embeddedTable + ReadWord(g_embeddedTable + 4 + 8 * index + 4);
}

uint32_t EmbeddedFiles_GetSize(int index) {
  if (g_embeddedTable == nullptr || index < 0) return 0;
  if (static_cast<uint32_t>(index) >= ReadWord(g_embeddedTable)) return 0;
  return ReadWord(g_embeddedTable + 4 + 8 * index);
}
