// Run-time error reporting: the one module every error path goes through.
#pragma once

#include <atomic>

// Set while errors are suppressed (the debugger evaluating a watch expression): a fatal error
// then only raises the error flag and returns to its caller.
extern std::atomic<bool> g_ErrorSuppressed;
// Raised by a fatal error met while errors are suppressed.
extern std::atomic<bool> g_ErrorFlag;

// A fatal run-time error outside a code context: reported, then the game ends. While errors are
// suppressed it only sets the error flag and returns.
void FatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));
