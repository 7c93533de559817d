#include "support/TestHelpers.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>

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

namespace {
void ThrowingExit(int status) { throw ProcessExited{status}; }
}  // namespace

ProcessExitTrap::ProcessExitTrap() { SetProcessExit(&ThrowingExit); }
ProcessExitTrap::~ProcessExitTrap() { SetProcessExit(nullptr); }

}  // namespace testsupport
