#include "base/ErrorSink.h"

#include <cstdarg>
#include <cstdio>

#include "base/VCL.h"
#include "platform/MemoryManager.h"

std::atomic<bool> g_ErrorSuppressed{false};
std::atomic<bool> g_ErrorFlag{false};

namespace {

void ConsoleOnly(const char* text, bool) {
  if (!g_ErrorSuppressed.load()) OutputConsole->Output("ERROR!!! :: %s\n", text ? text : "");
}

ErrorReporter g_reporter{&ConsoleOnly, &ConsoleOnly};

}  // namespace

void ErrorSink_SetReporter(const ErrorReporter* reporter) {
  g_reporter = reporter != nullptr ? *reporter : ErrorReporter{&ConsoleOnly, &ConsoleOnly};
}

void ReportRuntimeError(const char* message, bool fatal) { g_reporter.report(message, fatal); }

void ShowRuntimeError(const char* text, bool fatal) { g_reporter.show(text, fatal); }

void FatalError(const char* format, ...) {
  char message[kConsoleBufferSize];
  va_list args;
  va_start(args, format);
  if (format != nullptr) {
    std::vsnprintf(message, sizeof(message), format, args);
  } else {
    message[0] = '\0';
  }
  va_end(args);
  if (g_ErrorSuppressed.load()) {
    g_ErrorFlag.store(true);
    return;
  }
  ReportRuntimeError(message, true);
  ExitProcessWith(kFatalExitStatus);
}
