// The miscellaneous built-ins: running events of objects from script code, debug output and the
// debug overlay, variables named at run time, external library functions, dates and times, and
// the window, clipboard and process built-ins. Every one has the BuiltinFunction signature.
//
// Main thread only: the built-ins run script events, report through the run-time error module
// and keep the date time-zone setting in one process-wide flag.
#pragma once

#include <cstdint>
#include <ctime>

#include "code/Code_Function.h"

// Registers the built-ins of this group in their fixed order (their call numbers follow from
// it): the event built-ins; the 21 external library built-ins, only while ExternalCallsDisabled
// is 0; the window handles, debug output, priority and title, the variable built-ins, the
// clipboard; then the 49 date built-ins.
void RegisterMiscFunctions();

// ---- Dates (Function_Date.cpp) ----
//
// A date value counts days from 1899-12-30 00:00 (25,569 is 1970-01-01 00:00 UTC); inside, every
// date goes through Unix seconds and the C library's calendar routines. Dates before 1970 work
// as far as the platform's 64-bit time reaches.

// True (the start): dates are made and taken apart in local time; false: in UTC.
extern bool DateTimeZoneLocal;

// (seconds + 0.5) / 86,400 + 25,569.
double DateFromSeconds(int64_t seconds);
// The whole Unix second a date value falls in; NaN and dates beyond 64-bit seconds give the most
// negative 64-bit value, which no calendar routine can take apart.
int64_t SecondsFromDate(double date);
// The calendar record of Unix second `seconds` in local time or UTC by DateTimeZoneLocal; false
// (and `out` left alone) when the platform cannot express that moment.
bool DateBreakDown(int64_t seconds, struct tm* out);
// DateBreakDown of the current time.
bool GetCurrentDateTime(struct tm* out);

// The registration table of the date built-ins, in their order.
extern const BuiltinSpec kDateBuiltins[];
extern const int32_t kDateBuiltinCount;

// ---- Window, clipboard and process (Function_MiscM.cpp) ----

// Whether the main window has the keyboard focus.
bool IsGameWindowFocused();

void F_WindowHandle(ScriptValue* result, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args);
void F_WindowDevice(ScriptValue* result, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args);
void F_SetProgramPriority(ScriptValue* result, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args);
void F_SetApplicationTitle(ScriptValue* result, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args);
void F_ClipboardHasText(ScriptValue* result, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args);
void F_ClipboardSetText(ScriptValue* result, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args);
void F_ClipboardGetText(ScriptValue* result, CInstance* self, CInstance* other, int32_t argc, ScriptValue* args);
