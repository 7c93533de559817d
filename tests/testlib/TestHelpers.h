// Helpers shared by the unit tests.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "code/Code_Main.h"
#include "os/MessageBox.h"
#include "variable/ScriptValue.h"

class CEvent;

namespace testsupport {

// A fresh temporary folder, removed when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return m_path; }
  std::string file(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

std::string ReadFile(const std::string& path);

// Records every message box shown while it lives and answers each with `answer`.
class MessageBoxRecorder {
 public:
  struct Box {
    std::string caption;
    std::string text;
    MessageBoxKind kind;
  };
  explicit MessageBoxRecorder(MessageBoxAnswer answer = MessageBoxAnswer::Ok);
  ~MessageBoxRecorder();
  const std::vector<Box>& boxes() const { return m_boxes; }

 private:
  std::vector<Box> m_boxes;
  MessageBoxResponder m_previous;
};

// Sets an environment variable (null: unsets it) for the life of the object and puts the old
// value back afterwards.
class EnvOverride {
 public:
  EnvOverride(const char* name, const char* value);
  ~EnvOverride();
  EnvOverride(const EnvOverride&) = delete;
  EnvOverride& operator=(const EnvOverride&) = delete;
  void Set(const char* value);

 private:
  std::string m_name;
  std::optional<std::string> m_old;
};

// A console that collects what is written to it, one entry per Output call.
class RecordingConsole : public tagIConsole {
 public:
  void Output(const char* format, ...) override __attribute__((format(printf, 2, 3)));
  // Everything written, joined.
  std::string Text() const;
  const std::vector<std::string>& Lines() const { return lines; }
  // How many Output calls wrote exactly `line`.
  int Count(const std::string& line) const;
  void Clear() { lines.clear(); }
  std::vector<std::string> lines;
};

// A string value holding its own copy of the text (release it when done). A real value is
// RealValue (variable/ScriptValue.h).
ScriptValue Str(const char* text);

// Adds an object at the next index with the given parent (the parents are linked at once) and,
// when given, a name; answers its index.
int32_t AddObject(int32_t parent = -1, const char* name = nullptr);

// Gives object `object` a present handler (empty text, no code) of (kind, number); answers it.
CEvent* AddHandler(int32_t object, int32_t kind, int32_t number);
// The same with code that runs `body` (a native code entry the handler owns).
CEvent* AddHandler(int32_t object, int32_t kind, int32_t number, CodeNativeFunction body);

// While it lives, run-time errors are recorded instead of reported: every ReportRuntimeError and
// ShowRuntimeError call becomes one entry. The project's reporter is installed again afterwards.
class ErrorRecorder {
 public:
  struct Error {
    std::string text;
    bool fatal;
    bool operator==(const Error& other) const { return text == other.text && fatal == other.fatal; }
  };
  ErrorRecorder();
  ~ErrorRecorder();
  ErrorRecorder(const ErrorRecorder&) = delete;
  ErrorRecorder& operator=(const ErrorRecorder&) = delete;
  const std::vector<Error>& errors() const;
  void Clear();
};

// Thrown by the test process-exit hook instead of ending the process.
struct ProcessExited {
  int status;
};

// While it lives, a fatal exit throws ProcessExited instead of ending the test process.
class ProcessExitTrap {
 public:
  ProcessExitTrap();
  ~ProcessExitTrap();
};

}  // namespace testsupport
