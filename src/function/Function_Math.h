// The maths and string built-ins: type tests and arrays, random numbers and arithmetic,
// trigonometry, points, vectors and angles, and the string conversion, measuring, editing and
// searching functions. Every one has the BuiltinFunction signature and reads its arguments
// through the accessors of code/Code_Function.h and the numeric helpers of platform/Numeric.h.
//
// Main thread only: the built-ins draw from the one script random generator and report through
// the run-time error module.
#pragma once

#include <cstdint>

#include "code/Code_Function.h"

// Registers the 103 built-ins of this group in their fixed order (their call numbers follow
// from it).
void RegisterMathFunctions();

// ---- Helpers other areas use ----

// The single-precision value of pi widened to double: every conversion between degrees and
// radians of these built-ins uses it.
constexpr double PiF = 3.1415927410125732;

// A random integer from 0 to n - 1 for positive n and from n + 1 to 0 for negative n, made of
// two draws of the generator. 0 answers 0 (after the same two draws).
int64_t RandomInt64Below(int64_t n);

// The direction in degrees (0 to 360, 0 pointing right, 90 up on the screen) from (x1, y1) to
// (x2, y2), computed in single precision; 0 for two equal points.
double PointDirection(double x1, double y1, double x2, double y2);
// The x and y components of a vector given by length and direction in degrees (y grows
// downwards), in single precision; a component within 0.0001 of a whole number becomes it.
double LengthdirX(double length, double direction);
double LengthdirY(double length, double direction);

// The replacing step of string_replace (all false) and string_replace_all (all true): a new
// memory-manager text, or null when s is null or empty. A null or empty sub, or no occurrence,
// gives a copy of s as it is; otherwise every character is decoded and encoded again, with
// occurrences (not overlapping, searched left to right) replaced by `replacement` (null deletes).
// A result longer than the built-in texts may be is reported as a non-fatal error and answers
// null.
char* StringReplaceText(const char* s, const char* sub, const char* replacement, bool all);

// The registration table of the string built-ins, in their order (Function_String.cpp).
extern const BuiltinSpec kStringBuiltins[];
extern const int32_t kStringBuiltinCount;
