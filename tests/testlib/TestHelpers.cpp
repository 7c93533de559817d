#include "testlib/TestHelpers.h"

#include <stdlib.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

#include "code/Code_Error.h"
#include "object/Object_Class.h"
#include "object/Object_Main.h"
#include "room/Event_Class.h"
#include "platform/MemoryManager.h"

namespace testsupport {

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "runner-test-XXXXXX").string();
  char* made = mkdtemp(templ.data());
  m_path = made ? made : templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

MessageBoxRecorder::MessageBoxRecorder(MessageBoxAnswer answer) {
  m_previous = OS_SetMessageBoxResponder(
      [this, answer](const std::string& caption, const std::string& text, MessageBoxKind kind) {
        m_boxes.push_back({caption, text, kind});
        return answer;
      });
}

MessageBoxRecorder::~MessageBoxRecorder() { OS_SetMessageBoxResponder(m_previous); }

EnvOverride::EnvOverride(const char* name, const char* value) : m_name(name) {
  if (const char* old = std::getenv(name)) m_old = old;
  Set(value);
}

EnvOverride::~EnvOverride() { Set(m_old ? m_old->c_str() : nullptr); }

void EnvOverride::Set(const char* value) {
  if (value) {
    setenv(m_name.c_str(), value, 1);
  } else {
    unsetenv(m_name.c_str());
  }
}

void RecordingConsole::Output(const char* format, ...) {
  char text[kConsoleBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format ? format : "", args);
  va_end(args);
  lines.emplace_back(text);
}

std::string RecordingConsole::Text() const {
  std::string all;
  for (const std::string& line : lines) all += line;
  return all;
}

ScriptValue Str(const char* text) {
  ScriptValue v{};
  SetString(&v, text);
  return v;
}

int RecordingConsole::Count(const std::string& line) const {
  int n = 0;
  for (const std::string& l : lines) n += l == line ? 1 : 0;
  return n;
}

namespace {
// The "process" has ended: the error module starts afresh for whatever the test does next.
void ThrowingExit(int status) {
  Error_ClearEnding();
  throw ProcessExited{status};
}
}  // namespace

ProcessExitTrap::ProcessExitTrap() { SetProcessExit(&ThrowingExit); }
ProcessExitTrap::~ProcessExitTrap() { SetProcessExit(nullptr); }

int32_t AddObject(int32_t parent, const char* name) {
  const int32_t index = Object_Add();
  CObject* object = Object_Find(index);
  if (name != nullptr) object->SetName(name);
  Object_SetParent(index, parent);
  return index;
}

CEvent* AddHandler(int32_t object, int32_t kind, int32_t number) {
  CEvent*& slot = Object_Find(object)->EventSlot(kind, number);
  delete slot;
  slot = new CEvent();
  slot->m_text = "";
  return slot;
}

CEvent* AddHandler(int32_t object, int32_t kind, int32_t number, CodeNativeFunction body) {
  CEvent* handler = AddHandler(object, kind, number);
  handler->m_code = CCode::FromNative(std::move(body), "test handler");
  return handler;
}

namespace {
std::vector<ErrorRecorder::Error> g_recordedErrors;
void RecordError(const char* text, bool fatal) { g_recordedErrors.push_back({text != nullptr ? text : "", fatal}); }
}  // namespace

ErrorRecorder::ErrorRecorder() {
  g_recordedErrors.clear();
  const ErrorReporter reporter{&RecordError, &RecordError};
  ErrorSink_SetReporter(&reporter);
}

ErrorRecorder::~ErrorRecorder() {
  g_recordedErrors.clear();
  Code_InstallErrorReporter();
}

const std::vector<ErrorRecorder::Error>& ErrorRecorder::errors() const { return g_recordedErrors; }

void ErrorRecorder::Clear() { g_recordedErrors.clear(); }

}  // namespace testsupport
