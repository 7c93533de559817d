// The debugger's copy of the console log.
#pragma once

#include <string>

// Set once the debugger server is listening; while it is, every console message is captured.
void Debug_SetLinkActive(bool active);
bool Debug_IsLinkActive();

// Appends text to the 32 KB log buffer, stopping when it holds 32,766 bytes.
void Debug_CaptureLog(const char* text);

// Takes the captured text and empties the buffer.
std::string Debug_TakeLog();

constexpr size_t kDebugLogLimit = 32766;
