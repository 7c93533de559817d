// The output budget of one walk that writes a value out whole: the text form, PrintValue and the
// buffer writer.
//
// Arrays may share sub-arrays (a[0] = b; a[1] = b), and a value that takes little memory can then
// reach more paths than any output can hold: with each level holding the next twice, forty levels
// lead to 2^40 elements. So a walk writes an array it has already written again only while its
// repeat budget lasts. Every value written inside such a repeat costs one, and a string one more
// per byte of its text; once kMaxValueRepeatCost has been spent, an array met again is written as
// one past the nesting cap is ("{ ... }" in the text forms, undefined in the buffer). An array met
// for the first time is always written (up to the nesting cap), so a value whose arrays share
// nothing is never cut, and a walk costs at most what the arrays in memory hold plus the budget.
//
// One ValueWalk serves one walk, on one thread; it allocates only to remember the arrays met.
#pragma once

#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "variable/ScriptValue.h"

// What the repeats of one walk may cost at most.
constexpr int64_t kMaxValueRepeatCost = int64_t{1} << 18;

class ValueWalk {
 public:
  // Whether the walk writes the elements of `array` (null writes none, and is always entered).
  // `repeat` tells whether the walk is inside a repeated array; it becomes true when `array` was
  // met before in this walk.
  bool Enter(const ValueArray* array, bool* repeat) {
    if (array == nullptr) return true;
    if (!m_seen.insert(array).second) *repeat = true;
    return !*repeat || m_spent < kMaxValueRepeatCost;
  }
  // Counts a value written inside a repeated array.
  void Charge(const ScriptValue* value) {
    ++m_spent;
    if (value->Kind() == VALUE_STRING && value->str != nullptr) m_spent += static_cast<int64_t>(std::strlen(value->str));
  }

 private:
  std::unordered_set<const ValueArray*> m_seen;
  int64_t m_spent = 0;
};
