// Helpers of the compiler tests: running the phases on a text, printing trees and reading the
// recorded code error back as (position, message).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "code/Code_Tree.h"
#include "testlib/RuntimeTest.h"
#include "variable/ScriptValue.h"

namespace compilertest {

// A compact text form of a tree:
//   constants   1, 0.5, "ab"           calls         f(a, b)
//   variables   x, 3.x, a.b, x[1, 2]   (the instance is left out when it is the -6 of "none")
//   simple var  x@-7                   unary/binary  (-x), (a + b)
//   assignment  x += 1                 block         {s1; s2}
//   statements  if(c, t, e) while(c, b) do(b, c) for(i, c, s, b) repeat(n, b) with(i, b)
//               return(v) switch(v, s...) case(l) constcase(l) default exit break continue
//               var(a, b) globalvar(a) nop empty
std::string DumpTree(const CodeNode* node);

// What a compilation left behind.
struct Outcome {
  bool ok = false;
  std::string tree;      // DumpTree of the root (also after a failure)
  int32_t kind = 0;      // the entry's kind afterwards (3 when an expression folded)
  std::string error;     // the recorded message, empty when none
  int32_t errorPos = -1; // its offset in the (single-line) source
};

// Phases 1 to 3 only (no checks or folding).
Outcome Parse(const std::string& source, bool expression);
// Phases 1 to 4 through Compiler_CompileTree.
Outcome Compile(const std::string& source, bool expression);

// The message and offset of the last recorded code error (the source must be one line).
void LastError(std::string* message, int32_t* position);

// A scratch built-in function taking `argc` arguments (-1: any number).
void RegisterTestFunction(const char* name, int32_t argc);

// The compiler tests' fixture: each test starts and ends with a fresh runtime.
using CompilerTest = testsupport::RuntimeTest;

}  // namespace compilertest
