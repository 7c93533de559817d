#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ErrorSink.h"
#include "code/Code_Error.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

struct Seen {
  std::vector<std::string> reports;
  std::vector<std::string> shown;
};
Seen g_seen;

void RecordReport(const char* message, bool fatal) { g_seen.reports.push_back(std::string(fatal ? "F:" : "E:") + message); }
void RecordShow(const char* text, bool fatal) { g_seen.shown.push_back(std::string(fatal ? "F:" : "E:") + text); }

// Lower layers raise errors through the sink; whoever installed a reporter gets them.
class ErrorSinkTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    g_seen = Seen{};
    m_savedConsole = OutputConsole;
    OutputConsole = &m_console;
  }
  void TearDown() override {
    OutputConsole = m_savedConsole;
    Code_InstallErrorReporter();  // what every test executable runs with
    RuntimeTest::TearDown();
  }
  RecordingConsole m_console;
  tagIConsole* m_savedConsole = nullptr;
};

TEST_F(ErrorSinkTest, InstalledReporterReceivesEveryError) {
  const ErrorReporter reporter{&RecordReport, &RecordShow};
  ErrorSink_SetReporter(&reporter);
  ReportRuntimeError("first", false);
  ShowRuntimeError("second", true);
  {
    ProcessExitTrap trap;
    int status = 0;
    try {
      FatalError("value %d", 7);
    } catch (const ProcessExited& e) {
      status = e.status;
    }
    EXPECT_EQ(status, kFatalExitStatus);
  }
  EXPECT_EQ(g_seen.reports, (std::vector<std::string>{"E:first", "F:value 7"}));
  EXPECT_EQ(g_seen.shown, (std::vector<std::string>{"F:second"}));
  EXPECT_TRUE(m_console.lines.empty());
}

TEST_F(ErrorSinkTest, WithoutReporterErrorsGoToTheConsole) {
  ErrorSink_SetReporter(nullptr);
  ReportRuntimeError("plain", false);
  ShowRuntimeError("shown", true);
  EXPECT_EQ(m_console.lines, (std::vector<std::string>{"ERROR!!! :: plain\n", "ERROR!!! :: shown\n"}));
}

TEST_F(ErrorSinkTest, SuppressedFatalErrorOnlyRaisesTheFlag) {
  const ErrorReporter reporter{&RecordReport, &RecordShow};
  ErrorSink_SetReporter(&reporter);
  g_ErrorSuppressed.store(true);
  g_ErrorFlag.store(false);
  FatalError("ignored");  // returns: no exit trap is needed
  EXPECT_TRUE(g_ErrorFlag.load());
  EXPECT_TRUE(g_seen.reports.empty());
}

}  // namespace
