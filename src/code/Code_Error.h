// Run-time error reporting: the one module every error path goes through.
//
// Compile-time and tree-interpreter errors are recorded once as the last code error text
// (Code_SetError); the callers of the compiler and of code execution report it in their own
// words. Run-time errors of built-ins, of the virtual machine and of the engine go through
// ReportRuntimeError, which builds a report naming the event, object and line with the script
// call stack and hands it to ShowRuntimeError.
#pragma once

#include <cstdint>

#include "base/ErrorSink.h"

class CCode;

// Installs this module's reporter in the error sink (base/ErrorSink.h): ReportRuntimeError then
// builds the full report and ShowRuntimeError shows it as described below. Called once at
// start-up, before anything can raise an error.
void Code_InstallErrorReporter();

// ---- Code errors (compiler and tree interpreter) ----

// Records a code error of `code` at byte offset `position` of its source text. Only the first
// error after the code-error flag was cleared is kept.
void Code_SetError(CCode* code, int32_t position, const char* message);

// Accessors of g_ErrorFlag.
bool Code_GetErrorFlag();
void Code_SetErrorFlag(bool set);
// Clears the code-error flag (the text stays until the next recorded error).
void Code_ClearErrorFlag();
// The text of the last recorded code error, or null.
const char* Code_GetLastError();
// Replaces the text of the last code error by a copy of `text` (null forgets it); the flag is
// not changed.
void Code_SetLastError(const char* text);

// ---- Run-time errors ----

// The installed ReportRuntimeError builds the report of a run-time error (event, object, line,
// script call stack) and shows it; then, while the dialog switch is on, the local, self and
// global variables are dumped on OutputConsole.
//
// The installed ShowRuntimeError shows and records a finished text: the error dialog (when the
// dialog switch is on), the value of error_last, the "ERROR!!! :: " console line and
// error_occurred. A fatal error, or Abort in the dialog, ends the game.

// Lays the text out for the error dialog and shows it, or hands it to an attached debugger.
// True when the player chose Abort.
bool FormatErrorForDialog(const char* text, bool allowIgnore);

// Runs the error dialog with the text held by the ErrorForm: 1 for Abort, 0 for Ignore.
int32_t ShowErrorDialog();

// The record through which the error dialog gets its text.
struct ErrorForm {
  ErrorForm() {}  // sets nothing: the fields are written before every use
  const char* m_text;  // not owned: the caller's composition buffer while the dialog runs
  uint8_t m_allowIgnore;
};
// Makes the one ErrorForm once (start-up logs "Create Error Form\n" on DebugConsole first).
void ErrorForm_Create();

// ---- Process-wide error state ----

// error_last: the text of the last run-time error shown (null when none).
const char* Error_GetLast();
void Error_SetLast(const char* text);  // owned copy; null releases it
// error_occurred: set to 1 by every shown run-time error.
bool Error_GetOccurred();
void Error_SetOccurred(bool occurred);
// The ending flag: set once a fatal error has ended the game.
bool Error_IsEnding();
// The error dialog switch (-noerrors clears it).
bool Error_GetDialogSwitch();
void Error_SetDialogSwitch(bool on);
// The all-errors-fatal game option (g_Options.allErrorsAbort).
bool Error_GetAllErrorsFatal();
void Error_SetAllErrorsFatal(bool on);

// The shader being compiled while event_type is -1 (the graphics layer sets it): its name and
// whether the fragment stage (else the vertex stage) is compiled. The name is borrowed.
void Error_SetShaderInfo(const char* shaderName, bool fragmentStage);

// Returns every error state item to its start value: the error texts released, the dialog switch
// on, the every-error-aborts option off, no debugger or input hooks.
void Error_ResetState();
// Clears only the ending flag, so that errors are shown again (everything else is kept): for a
// harness that catches the end of the process and carries on.
void Error_ClearEnding();

// Hooks for the debugger link, which attaches later: while the connected hook answers true the
// dialog is not shown; the pause hook runs until the debugger lets the game go on. The pending
// text is what the debugger's next paused-state reply carries.
using ErrorDebugConnectedHook = bool (*)();
using ErrorDebugPauseHook = void (*)();
void Error_SetDebuggerHooks(ErrorDebugConnectedHook connected, ErrorDebugPauseHook pauseLoop);
const char* Error_GetDebuggerPendingText();

// Clearing the keyboard and mouse state after the dialog, so that keys held while it was up do
// not stick; the input layer installs it. A null hook does nothing.
using ErrorVoidHook = void (*)();
void Error_SetIOClearHook(ErrorVoidHook hook);

// The error dialog's layout: the composed text shown in the edit box.
// (Exposed for tests: the same text FormatErrorForDialog stores in the ErrorForm.)
char* Error_ComposeDialogText(const char* text);  // MemoryManager block, caller frees
