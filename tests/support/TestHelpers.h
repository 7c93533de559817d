// Helpers shared by the unit tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "os/MessageBox.h"

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
