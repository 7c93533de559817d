// The error sink: the one place through which values, variables, buffers, options, instances
// and the loaders raise errors without knowing who reports them.
//
// The sink holds the error flags and the fatal-error routine. How a run-time error is reported
// (the event and object, the line, the script call stack, the dialog, error_last) is the
// business of the error-reporting module, which installs its reporter here at start-up
// (Code_InstallErrorReporter in code/Code_Error.h). Before a reporter is installed an error is
// written as "ERROR!!! :: <text>" on OutputConsole.
//
// Main thread only, except the two flags, which are atomic.
#pragma once

#include <atomic>

// Set while errors are suppressed (the debugger evaluating a watch expression): a fatal error
// then only raises the error flag and returns to its caller, and no console line is written.
extern std::atomic<bool> g_ErrorSuppressed;
// The code-error flag: raised by a recorded code error and by a fatal error met while errors are
// suppressed; code execution and compilation clear it when they start.
extern std::atomic<bool> g_ErrorFlag;

// The exit status of every fatal error: a fatal run-time error, a fatal error of the machine
// and running out of memory end the process alike.
constexpr int kFatalExitStatus = -1;

// A fatal error outside a code context: the message (formatted into the console's 4,096-byte
// buffer) is reported as a fatal run-time error, then the process ends with kFatalExitStatus.
// While errors are suppressed it only sets the error flag and returns.
void FatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Builds the report of a run-time error (where the running code stands, the script call stack)
// and shows it. `message` is a finished text (no formatting is applied to it).
void ReportRuntimeError(const char* message, bool fatal);

// Shows and records a finished text. A fatal error, or Abort in the dialog, ends the game (the
// process is ended by the caller that needs it).
void ShowRuntimeError(const char* text, bool fatal);

// What the reporting module supplies. Both entries must be set.
struct ErrorReporter {
  void (*report)(const char* message, bool fatal);  // behind ReportRuntimeError
  void (*show)(const char* text, bool fatal);       // behind ShowRuntimeError
};
// Installs the reporter (copied); null restores the console-only default.
void ErrorSink_SetReporter(const ErrorReporter* reporter);
