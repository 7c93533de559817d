// The machine's fast paths must not change what code does: each snippet runs on the virtual
// machine with the fast paths off, on word by word, and on with the decoded steps, and must give
// the same result, console lines, error text, variables and branch count every way (and the
// expected ones).
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "option/Option_Main.h"
#include "testlib/TestHelpers.h"
#include "TreeExecSupport.h"
#include "code/Code_CodeGen.h"
#include "code/VM_FastPath.h"

namespace {

using namespace treetest;

struct Snippet {
  const char* name;
  std::string source;
  std::string value;    // Describe() of the result; ignored for a failing snippet
  std::string console;  // the console lines written
  bool fails = false;
};

const std::vector<Snippet>& Corpus() {
  static const std::vector<Snippet> corpus = {
      {"local arithmetic", "var a, b; a = 7; b = 2; return a * b - a / b + (a - b) * 0.5", "13", ""},
      {"large integer constants", "var a; a = 2147483647 + 1; b = 65536 * 65536; print(a, b); return 10 - 3 * 2",
       "4", "2147483648 4294967296\n"},
      {"division by (nearly) zero is an error", "var a; a = 1; print(a / 4); print(a / 0.00000000001)", "", "0.25\n",
       true},
      {"comparisons use the epsilon", "var a; a = 0.1 + 0.2; print(a == 0.3, a < 0.3, a >= 0.3, 1 < 1.000001, 2 > 1);"
       " return 0", "0", "1 0 1 1 1\n"},
      {"integer comparisons", "var n; n = 0; repeat (3) { if (5 > 4) n += 1; if (4 <= 4) n += 10 } return n", "33", ""},
      {"loops and repeat", "var i, s; s = 0; for (i = 0; i < 10; i += 1) { if (i == 7) break; s += i } repeat (2.6) s += 100;"
       " do { s -= 1 } until (s < 318); while (s > 310) s -= 2; return s", "220", ""},
      {"reading a variable never set", "var a; x = a + b; return x", "0", ""},
      {"selectors", "x = 1; self.y = 2; other.z = 3; global.g = 4; var l; l = 5; return x + y + other.z + g + l", "11",
       ""},
      {"a global declared with globalvar", "globalvar gv; gv = 3; gv += 2; return gv + global.gv", "10", ""},
      {"texts in variables", "var s; s = \"a\"; for (i = 0; i < 3; i += 1) s += \"b\"; t = s; t += \"!\"; global.u = t;"
       " print(s, t, global.u); s = 1; t = s; return t + 1", "2", "abbb abbb! abbb!\n"},
      {"a real over a text and a text over a real", "var v; v = 2; v = \"x\"; v += \"y\"; w = v; v = 3; return w + string(v)",
       "\"xy3\"", ""},
      {"a text the stack holds stored over a text, a real and nothing, and into an element",
       "var s, t; s = \"ab\"; t = s + \"c\"; s = t + s; u = s; w = 1; w = s + \"!\"; s = \"z\"; a[1] = t + s;"
       " a[0] = a[1]; return u + t + s + w + a[0] + a[1]",
       "\"abcababczabcab!abczabcz\"", ""},
      {"a text appended to a global and to an instance variable",
       "global.s = \"\"; t = \"x\"; repeat (3) { global.s += \"ab\"; t += \"\"; t += \"y\" } return global.s + t",
       "\"abababxyyy\"", ""},
      {"a text appended to a real is an error", "var s; s = 1; print(s); s += \"a\"; print(2)", "", "1\n", true},
      {"texts do not subtract", "var s; s = \"a\"; print(s); s = s - 1; print(2)", "", "a\n", true},
      {"arrays fill, grow and sum", "var a, i, s; for (i = 0; i < 100; i += 1) a[i] = i * 2; a[150] = 1; s = 0;"
       " for (i = 0; i < 151; i += 1) s += a[i]; return s", "9901", ""},
      {"two-dimensional arrays", "var m; m[2, 3] = 5; m[0, 1] = 2; m[2, 3] += 1; return m[2, 3] * 10 + m[0, 1] + m[1, 0]",
       "", "", true},
      {"two-dimensional arrays in range", "var m; m[2, 3] = 5; m[0, 1] = 2; m[2, 3] += 1; return m[2, 3] * 10 + m[0, 1]",
       "62", ""},
      {"arrays are copied on write", "a[0] = 1; a[1] = 2; b = a; b[0] = 5; c = b; c[1] = 7;"
       " print(a[0], a[1], b[0], b[1], c[0], c[1]); return 0", "0", "1 2 5 2 5 7\n"},
      // b and c share the array nobody owns; reading an element of b makes it b's, so the
      // write through b happens in place and c sees it.
      {"an element read makes an unowned array the reader's",
       "a[0] = 1; b = a; c = a; a = 0; x = b[0]; b[0] = 5; return c[0]", "5", ""},
      {"array elements hold texts", "var a; a[0] = \"p\"; a[1] = 2; a[0] += \"q\"; a[1] = \"r\"; a[0] = 3;"
       " return string(a[0]) + a[1]", "\"3r\"", ""},
      {"an array replaced by a real", "var a; a[3] = 1; a = 4; a += 1; return a", "5", ""},
      {"an element past the end is an error", "var a; a[2] = 1; print(a[1]); print(a[3])", "", "0\n", true},
      {"a negative index is an error", "var a; a[0] = 1; i = -1; a[i] = 2", "", "", true},
      {"indexing a real is an error", "var a; a = 1; print(a[0])", "", "", true},
      {"script calls", "var k; k = 0; for (i = 0; i < 5; i += 1) k += scr_add(i, k); return k", "26", ""},
      {"recursion", "return scr_fib(15)", "610", ""},
      // A callee takes its locals list at its first local: read unset, then set, per call.
      {"locals in recursive calls", "var a; a = 5; return scr_locals(3) + a", "65", ""},
      // Each depth's locals read by the same steps before and after the call below it.
      {"locals around a recursive call", "return scr_depths(3)", "99", ""},
      // Argument slots written in the script, holding a text, and past the arguments passed.
      {"argument slots", "return scr_mix(4, \"t\")", "\"20t0\"", ""},
      {"a discarded call result", "scr_add(1, 2); nan(); return 1", "1", ""},
      {"with blocks between fast code", "n = 0; with (all) { n += 1; v += 10 } with (100002) other.n += v; return n",
       "12", ""},
      {"mod, div and rem on reals and raw integers",
       "var a, b, s; s = 0; for (a = -7; a <= 7; a += 1.5) for (b = -4; b <= 4; b += 1) if (b != 0)"
       " s += (a mod b) * 3 + (a div b) * 5 + (a / b) + (a * 7) mod 3 + (a * 2) div 3 + 17 mod b + 17 div b;"
       " print(-6 mod 3, 7 mod -2.5, -7.5 div 2, 5 div 2.5, 2147483647 mod 10, 100000000000 mod 7); return s",
       "54.00", "0 2 -3 2 7 5\n"},
      {"mod by zero is an error", "var a, b; a = 5; b = 0; print(a mod 3); print(a mod b)", "", "2\n", true},
      {"div by zero is an error", "var a, b; a = 5; b = 0.5; print(a div 2); print(a div b)", "", "2\n", true},
      {"int mod and div by zero are errors", "var i; i = 0; print(7 mod 2, 7 div 2); print(7 div i)", "", "1 3\n",
       true},
      {"a text grown by appends, copied and appended again",
       "var s, t, i; s = \"\"; for (i = 0; i < 300; i += 1) { s += \"ab\"; if (i == 100) { t = s; s = \"q\" } }"
       " t += \"!\"; s += t; return string_length(s)", "602", ""},
      // Decoded steps: stores of expressions, compare-and-branch, plain branches, and each guard.
      {"expression stores of every operand kind",
       "var a, b; a = 3; b = 0.5; c = 7; global.g = 2; other.z = 4; gv = 0;"
       " repeat (3) { a = a * 2 + b - 1; c = (a - c) mod 5 + global.g * other.z; global.g = c div 2 + 1; b = b / 2 }"
       " return a + b * 1000 + c * 100 + g", "4069.62", ""},
      {"raw integer expressions wrap and divide as integers",
       "var a; a = 2147483647 + 0; x = 7 div 2; y = -7 mod 3; z = 65536 * 65536; return a + x + y + z", "6442450945", ""},
      {"comparisons of every kind branch both ways",
       "var i, n; n = 0; for (i = 0; i < 20; i += 1) { if (i <= 3) n += 1; if (i >= 17) n += 10; if (i == 5) n += 100;"
       " if (i != 5) n += 1000; if (i > 18.5) n += 10000; if (0.1 * i == 0.3) n += 100000 } return n", "129134", ""},
      {"a loop longer than the pump interval", "var i, s; s = 0; for (i = 0; i < 9000; i += 1) s += i mod 3; return s",
       "9000", ""},
      {"a step over a text hands over", "var a, b; a = 1; b = \"x\"; repeat (2) { a = a + 1; if (a > 2) b = 5; a = a + b }"
       " return a", "", "", true},
      {"a store into a text or an array hands over",
       "var s, a; s = \"t\"; a[2] = 1; repeat (2) { s = 1 + 2; a = a; } s = s + 1; return s", "4", ""},
      {"a step dividing by zero hands over to the error", "var a, b; a = 4; b = 2; repeat (3) { a = a / b; b = b - 1 } return a",
       "", "", true},
      {"argument reads in steps", "return scr_add(scr_fib(10), scr_add(2, 3) * 2)", "65", ""},
      // Call and return steps, and each of their guards.
      {"call steps with computed arguments and return steps",
       "var a; a = 3; return scr_add(a * 2, a - 0.5) + scr_sum3(a + 1, a + 2, a + 3) + scr_fib(a + 4) + scr_twice(a + 1)",
       "485.50", ""},
      {"a call step over a text hands over", "var t; t = \"a\"; return scr_add(t + t, 1 + a)", "", "", true},
      {"a return step under a repeat counter hands over", "return scr_repeat(4) + scr_repeat(5)", "18", ""},
      {"a return step adding texts hands over", "return scr_join(1) + scr_join(2)", "\"1x2x\"", ""},
      {"a return step reading a text hands over", "return scr_text(\"q\") + \"!\"", "\"q!\"", ""},
      {"a call of a script without code", "return scr_none(1 + a) + 1", "1", ""},
      // Argument sites: the slot read straight through self, other and no selector; argumentN past
      // the arguments given reads 0, argument[i] past them is an error; a text hands over.
      {"argument sites through every selector and past the arguments given",
       "var a, k; a = 4; k = 0; repeat (3) k += scr_sel(a - 3, a - 2, a - 1) + scr_high(a + 0) * 1000; return k",
       "12369", ""},
      {"an argument site reading a text hands over", "return scr_twice(\"ab\") + scr_twice(\"c\")", "\"ababcc\"", ""},
      // Test-and-return steps: the return made, the branch alone at the top level and over a
      // repeat counter, and the message pump's branch among them.
      {"test-and-return steps", "var a; a = scr_fib(18) + scr_leaf(1) * 10 + scr_leaf(5) * 100; if (a < 99999) return a;"
       " return 0", "3494", ""},
      {"a test-and-return step under a repeat counter is a branch", "return scr_leaf(1) * 10 + scr_leaf(0.5)", "10.50",
       ""},
      {"argument[i] past the arguments given is an error", "print(scr_index(1 + 0, 2 + 0)); print(scr_index(1 + 0))",
       "", "3\n", true},
      // Slots written past the arguments read 0 in a callee and come back to the caller after it.
      {"argument slots written past the arguments", "print(scr_slots(5), argument9, argument4); return 0", "0",
       "19t 0 0\n"},
      {"a list cleared while a step's code runs",
       "x = 1; y = 2; var i; for (i = 0; i < 3; i += 1) { x = x + y; clear_self(); y = i + 5; x = y * 2 } return x + y",
       "21", ""},
      {"the global list replaced while a step's code runs",
       "global.g = 1; var i; for (i = 0; i < 4; i += 1) { global.g = global.g + 1; if (i == 1) renew_globals(); } return global.g",
       "5", ""},
      {"an instance destroyed inside a with body", "n = 0; with (all) { v = v + 10; n = n + v; destroy_self(); v = v + 1 }"
       " return n", "0", ""},
      {"counting loops past the message pump, up and down by fractions",
       "var i, s; s = 0; for (i = 0; i < 5000; i += 1) s += i; for (i = 10; i > 0.5; i -= 0.5) s += i;"
       " for (i = 0; i <= 0.3; i += 0.1) s += 1; return s", "12497608.50", ""},
      {"a loop counter that becomes a text", "var i; for (i = 0; i < 3; i += 1) { if (i == 1) i = \"x\" } return i", "",
       "", true},
      {"element steps through other selectors, over texts and past a row's end",
       "global.q[3] = 1; q2[1] = \"t\"; var i, s, m; s = 0; for (i = 0; i < 4; i += 1) { global.q[i] = global.q[i] + i;"
       " s += global.q[i]; m[1, i] = s * 2 } for (i = 0; i < 40; i += 1) { m[2, i] = i; s += m[2, i] + m[1, i mod 4] }"
       " print(s, q2[1] + \"u\", m[1, 3]); return s", "1007", "1007 tu 14\n"},
      {"an element step with a negative index hands over to the error",
       "var a, i; a[0] = 1; for (i = 1; i > -2; i -= 1) a[i] = a[0] + i; return a[0]", "", "", true},
      {"an element step reading past the end hands over", "var a, i, s; a[0] = 1; s = 0; for (i = 0; i < 3; i += 1) s += a[i];"
       " return s", "", "", true},
      {"two-index element steps fill rows past their room, leave a gap and sum",
       "var a, i, j, n, s; n = 0; for (i = 0; i < 3; i += 1) { for (j = 0; j < 5000; j += 1) { n += 1; a[i, j] = n } }"
       " j = 6000; a[1, j] = 7; s = 0; for (i = 0; i < 3; i += 1) { for (j = 0; j < 5000; j += 1) { s += a[i, j] } }"
       " for (j = 5000; j <= 6000; j += 1) s += a[1, j]; i = 1; print(a[i, j - 1], a[i, 5000]); return s",
       "112507507", "7 0\n"},
      {"a row grown inside a loop while its elements are read",
       "var j, s; s = 0; for (j = 0; j < 9000; j += 1) { a[0, j] = j; s += a[0, j] + a[0, j div 2] } return s",
       "60741000", ""},
      {"two-index element steps on fractions, the last column and copies",
       "var i, j; i = 1.7; j = 2.9; a[i, j] = 5; i = 0; j = 31999; a[i, j] = 6; b = a; i = 1; j = 2; b[i, j] = 8;"
       " a[i, 3] = 4; print(a[1, 2], b[1, 2], a[0, 31999], a[0, 100], a[1, 3]); return 0", "0", "5 8 6 0 4\n"},
      {"a two-index element step with a negative column hands over to the error",
       "var a, i, j, s; a[0, 0] = 1; i = 0; s = 0; for (j = 0; j > -2; j -= 1) s += a[i, j]; return s", "", "", true},
      {"a two-index element step whose index wraps hands over to the error",
       "var a, i, j; a[0, 0] = 1; j = 0; for (i = 0; i < 80000; i += 35000) a[i, j] = i; return 0", "", "", true},
      {"two-index element steps storing constants, subtracting and multiplying elements",
       "var a, i, j, s, p; for (i = 0; i < 2; i += 1) { for (j = 0; j < 3; j += 1) { a[i, j] = 2 } } i = 1; j = 1;"
       " a[i, j] = 0.5; s = 100; p = 1; for (i = 0; i < 2; i += 1) { for (j = 0; j < 3; j += 1) { s -= a[i, j];"
       " p *= a[i, j] } } return s * 1000 + p", "89516", ""},
      {"a two-index element step storing over a text element, and one through an instance's array",
       "var i, j, k, s; i = 0; s = 0; a[0, 0] = 1; a[0, 1] = \"t\"; a[0, 2] = 3; for (j = 0; j < 4; j += 1) { k = j * 2;"
       " a[i, j] = k; s += a[i, j] } print(a[0, 1], a[0, 3]); return s", "12", "2 6\n"},
      {"a two-index element step adding a text element hands over to the error",
       "var a, i, j, s; i = 0; s = 0; a[0, 0] = 1; a[0, 1] = \"t\"; for (j = 0; j < 2; j += 1) s += a[i, j]; return s",
       "", "", true},
      {"two-index element steps through arrays shared and copied on write",
       "var i, j, k, s; i = 0; s = 0; for (j = 0; j < 3; j += 1) a[i, j] = j; b = a; for (j = 0; j < 3; j += 1) {"
       " k = j + 10; b[i, j] = k; s += a[i, j] } c = a; for (j = 0; j < 3; j += 1) { k = j + 20; a[i, j] = k;"
       " s += c[i, j] } print(a[0, 1], b[0, 1], c[0, 1]); return s", "66", "21 11 21\n"},
      {"a row grown by two-index element steps while they read it",
       "var a, i, j, k, s; i = 1; s = 0; a[0, 0] = 1; for (j = 0; j < 9000; j += 1) { a[i, j] = j; k = j div 2;"
       " s += a[i, k] } return s", "20245500", ""},
      {"two-index element steps at the last column and past it",
       "var a, i, j, s; i = 0; s = 0; for (j = 31997; j < 32001; j += 1) { a[i, j] = j; s += a[i, j] }"
       " print(a[1, 0]); return s", "127994", "32000\n"},
      {"a two-index element step reading past the last column hands over to the error",
       "var a, i, j, s; i = 0; s = 0; a[0, 31999] = 1; for (j = 31998; j < 32001; j += 1) s += a[i, j]; return s",
       "", "", true},
      {"two-index element loops past the message pump and a row's room, counting down and over their own counter",
       "var a, i, j, s; i = 2; for (j = 0; j < 9000; j += 1) a[i, j] = j; s = 0; for (j = 8999; j >= 0; j -= 1)"
       " s += a[i, j]; for (j = 0; j < 5; j += 0.5) a[i, j] = 1.5; for (j = 0; j < 30; j += 1) j += a[i, j];"
       " print(j, a[2, 4], a[2, 5]); return s", "40495500", "47 1.50 5\n"},
      {"two-index element loops counting a value first, into rows past their room and into the counter itself",
       "var a, i, j, n, s; n = 0; for (i = 0; i < 2; i += 1) { for (j = 0; j < 5000; j += 1) { n += 1; a[i, j] = n } }"
       " s = 0; for (j = 4999; j >= 0; j -= 1) { s -= 0.5; a[1, j] = s } i = 0; for (j = 0; j < 12; j += 1) { j += 1;"
       " a[i, j] = j } print(a[0, 4999], a[1, 0], a[1, 4999], a[0, 3], a[0, 5], j); n = 0; for (j = 0; j < 4; j += 1) {"
       " n -= 2; a[i, n] = 1 } return n", "", "5000 -2500 -0.50 3 5 12\n", true},
      {"a two-index element loop reading past its row hands over to the error after its passes",
       "var a, i, j, s; a[0, 0] = 1; a[0, 1] = 2; i = 0; s = 0; for (j = 0; j < 5; j += 1) s += a[i, j]; return s",
       "", "", true},
      // Steps in register form: every operator with operands from variables, constants and earlier
      // operators, mod by an integer constant on both signs, zeros, fractions and large values.
      {"register-form stores of every operator and operand mode",
       "var a, b, s, i; a = -7; b = 2.5; s = 0; for (i = 0; i < 6; i += 1) { s = s + (a * i) mod 3 + (i - a) div b"
       " + (a + i) div -4 + (b * i) mod 7 + (i * 3 - a) / b + ((a * a) mod 5) * b - 2 * (b + 1) + (1 - b) * (a - 1);"
       " x = (a * 0) mod 7; y = (a * i - 2147483648) mod 7 + (a * 10000000000) mod 7 + (a * b) mod 7 + (a - 0.5) mod 2147483647;"
       " z = (i * b) mod 1 - (a * i) mod 7.5 + (a * a) mod -3; a += 1.5 } print(x, y, z); return s", "69.42",
       "0 -3.25 -1.75\n"},
      {"register-form branches",
       "var a, i, n; a = 3; n = 0; for (i = 0; i < 12; i += 1) { if ((a * i) mod 4 > 1) n += 1; if (i * 2 == a + 3) n += 10;"
       " if (a * 0.1 * i <= (i + a) / 2) n += 100; if (7 < (i - a) * 2) n += 1000 } return n", "6216", ""},
      {"register-form steps hand over to the error or the general store",
       "var a, i, t; a = 2; t = \"s\"; for (i = 0; i < 3; i += 1) { a = a + (a * i) mod 5 + 1; if (i == 1) a = \"x\" }"
       " return a", "", "", true},
      {"a register-form step dividing by zero", "var a, i; a = 1; for (i = 2; i >= 0; i -= 1) a = a + (a * 2) / i; return a",
       "", "", true},
      {"a register-form mod by zero", "var a, i; a = 1; for (i = 2; i >= 0; i -= 1) a = a + (a * 2) mod i; return a",
       "", "", true},
      {"register-form steps over lists cleared, replaced and deleted between runs",
       "x = 1; y = 2; global.g = 3; var i; for (i = 0; i < 4; i += 1) { x = x + (y * global.g) mod 5 - 1;"
       " if (i == 1) clear_self(); if (i == 2) renew_globals(); y = (i + 5) * 2 mod 7 + global.g * 0.5;"
       " global.g = global.g * 2 mod 11 + y * 0 } with (all) { v = v * 3 mod 5 + v * 2; destroy_self(); v = (v + 2) * 3 mod 4 }"
       " return x * 100 + y + global.g", "207", ""},
      {"a register-form store into a text or an array hands over",
       "var a, t, m, i; a = 2; t = \"s\"; m[1] = 4; for (i = 0; i < 3; i += 1) { if (i == 1) { t = a * 2 + i mod 3;"
       " m = (a + i) * 3 - 1 } a = a * 2 + (i * a) mod 5 } return t * 100 + m + a", "942", ""},
      // Loops whose body is one store, run pass after pass on whole numbers or on doubles.
      {"loop-body steps on whole numbers: every operator, both signs, zeros and every comparison",
       "var i, s, t, u; s = 0; t = 0; u = 0; for (i = -20; i < 20; i += 1) s = s + (i * 3 - 7) mod 5 + (i * i) mod -4 - i * 2;"
       " for (i = 31; i >= -3; i -= 2) t = t * 2 mod 1000 + (i - 4) * (i + 4) mod i; for (i = 0; i <= 9; i += 3) u += i;"
       " for (i = 9; i > 0; i -= 1) u = u - 1; for (i = 0; i != 6; i += 2) u += 10; for (i = 0; i == 0; i += 1) u += 100;"
       " print(s, t, u, i); return s + t", "828", "45 783 139 1\n"},
      {"loop-body steps reaching -0 and leaving the integers",
       "var i, x, y, z, w; for (i = -3; i < 0; i += 1) x = (i * 7) mod 7; for (i = -2; i < 0; i += 1) y = i * 0;"
       " for (i = 0; i < 3; i += 1) z = (0 - i) mod 3 + i * 0; w = 9007199254740980; for (i = 0; i < 9; i += 1) w = w + 3;"
       " print(signbit(x), signbit(y), z, w - 9007199254740980); for (i = 0; i < 4; i += 1) x = i * 3037000500 * 3037000500;"
       " for (i = 0; i < 3; i += 1) y = (i * 4294967296 + 5) mod 7 - i * 0.5; return x + y",
       "27670116111000748032.00", "1 1 -2 32\n"},
      {"loop-body steps on fractions, a variable stored by the body and by the loop, and a store into the counter",
       "var i, s, k; s = 0.5; for (i = 0; i < 7.5; i += 0.5) s = s * 1.5 - i / 4; for (i = 0; i < 100; i += 1) i = i * 2 + 1;"
       " k = 1; for (k = 0; k < 5; k += 1) k = k + 0; print(s, i, k); return 0", "0", "4.25 126 5\n"},
      {"loop-body steps that cannot start or stop part way",
       "globalvar gv; var i, s, t; gv = 1; for (i = 0; i < 5; i += 1) global.gv = gv * 2 + 1; s = 0;"
       " for (i = 0; i < 4; i += 1) s = s + q * 2; t = \"a\"; for (i = 0; i < 3; i += 1) t = i * 2;"
       " for (i = 3; i > -3; i -= 1) s = s + 12 / i; return 0", "", "", true},
      {"loop-body steps past the message pump on whole numbers and doubles",
       "var i, s, d; s = 0; d = 0.25; for (i = 0; i < 10000; i += 1) s += (i * 7) mod 11; for (i = 0; i < 5000; i += 1) d = d * 0.5 + i;"
       " return s + d", "59991", ""},
      {"loop-body steps over lists cleared, replaced and deleted between their runs",
       "x = 1; global.g = 2; var i, k; for (k = 0; k < 3; k += 1) { for (i = 0; i < 4; i += 1) x = x * 2 + global.g * i;"
       " if (k == 0) clear_self(); if (k == 1) renew_globals(); x = x + k } with (all) { for (i = 0; i < 3; i += 1) v = v * 3 + i;"
       " destroy_self(); for (i = 0; i < 2; i += 1) v = v + i } return x + global.g", "394", ""},
      {"a loop-body step over self's variable reached through other too",
       "var i; x = 1; with (self) for (i = 0; i < 4; i += 1) other.x = x * 2 + 1; return x", "31", ""},
      {"constant and variable stores over texts, arrays and unset variables",
       "var s, a, b; s = \"t\"; a[1] = 2; s = 5; a = 0.5; b = q; s = b; x = 7; y = x; z = -3.25; return s + a + y + z", "4.25", ""},
      {"exit in a loop", "var i; for (i = 0; i < 10; i += 1) { if (i == 3) exit; print(i) } return 9", "-12345", "0\n1\n2\n"},
  };
  return corpus;
}

class FastPathCorpus : public TreeExecTest {
 protected:
  void SetUp() override {
    TreeExecTest::SetUp();
    g_VM.UseVM = true;
    Code_SetGeneratorHook(CodeGen_GenerateForEntry);
    RegisterBuiltinFunction("string", StringOf, 1);
    RegisterBuiltinFunction("string_length", StringLength, 1);
    RegisterBuiltinFunction("clear_self", ClearSelf, 0);
    RegisterBuiltinFunction("renew_globals", RenewGlobals, 0);
    RegisterBuiltinFunction("destroy_self", DestroySelf, 0);
    RegisterBuiltinFunction("signbit", SignBit, 1);
    AddScripts({
        {"scr_add", "return argument0 + argument1"},
        {"scr_fib", "if (argument0 < 2) return argument0; return scr_fib(argument0 - 1) + scr_fib(argument0 - 2)"},
        {"scr_sum3", "return argument0 * 100 + argument1 * 10 + argument2"},
        {"scr_twice", "return argument0 + argument0"},
        {"scr_repeat", "repeat (2) { return argument0 * 2 } return 0"},
        {"scr_join", "return string(argument0) + \"x\""},
        {"scr_text", "var t; t = argument0; return t"},
        {"scr_none", ""},
        {"scr_sel", "return self.argument0 * 100 + other.argument1 * 10 + argument2"},
        {"scr_high", "return argument3 + argument0"},
        {"scr_index", "return argument0 + argument[1]"},
        {"scr_leaf", "repeat (2) { if (argument0 < 2) return argument0 } return 9"},
        {"scr_locals", "var a, b; if (argument0 <= 0) return a; a = argument0; b = scr_locals(argument0 - 1);"
                       " return a * 10 + b"},
        {"scr_depths", "var a, b, c; a = argument0 + 1; b = a * 2 + a - 1; if (argument0 <= 0) return b;"
                       " c = scr_depths(argument0 - 1); c = c * 2 + a * 3 + b - a; return c"},
        {"scr_mix", "argument2 = argument0 + 1; if (argument2 > 4) return string(argument0 * argument2) + argument1 +"
                    " string(argument5); return 0"},
        {"scr_slots", "argument9 = argument0 * 2; argument4 = \"t\"; var r; r = scr_peek(1);"
                      " return string(r + argument9 + argument12) + argument4"},
        {"scr_peek", "var r; r = argument0 + argument9 + argument12 + argument4; argument12 = 7; argument4 = \"u\";"
                     " return r + argument12 + string_length(argument4)"},
    });
    const int32_t object = testsupport::AddObject(-1);
    for (int n = 0; n < 2; ++n) m_instances.push_back(AddInstance(object));
  }

  static void StringOf(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue* args) {
    char* text = ValueToString(&args[0]);
    SetString(result, text);
    MemoryManager::Free(text);
  }

  static void StringLength(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue* args) {
    const char* text = args[0].Kind() == VALUE_STRING ? args[0].str : nullptr;
    SetReal(result, text != nullptr ? static_cast<double>(std::strlen(text)) : 0.0);
  }

  // 1 for a real with its sign bit set (-0 included), else 0.
  static void SignBit(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue* args) {
    SetReal(result, args[0].Kind() == VALUE_REAL && std::signbit(args[0].real) ? 1.0 : 0.0);
  }

  // Empties the calling instance's variables.
  static void ClearSelf(ScriptValue*, CInstance* self, CInstance*, int32_t, ScriptValue*) {
    if (self != nullptr) self->i_variables->Clear();
  }
  // Puts a new global list in place of the old one (as a game load does).
  static void RenewGlobals(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) {
    CVariableList* fresh = new CVariableList();
    fresh->CopyFrom(g_Variables.globals);
    delete g_Variables.globals;
    g_Variables.globals = fresh;
  }
  // Deletes the calling instance's variable list and gives it a new, empty one.
  static void DestroySelf(ScriptValue*, CInstance* self, CInstance*, int32_t, ScriptValue*) {
    if (self == nullptr) return;
    delete self->i_variables;
    self->i_variables = new CVariableList();
  }

  struct Result {
    Outcome outcome;
    std::string error;
    std::string variables;  // self's and the globals' variables afterwards
  };

  enum class Mode { General, Words, Decoded };

  Result RunSnippet(const Snippet& s, Mode mode) {
    g_VM.fastPaths = mode != Mode::General;
    g_VM.decodedSteps = mode == Mode::Decoded;
    g_VM.branchCounter = 0;
    m_self.i_variables->Clear();
    m_other.i_variables->Clear();
    // The room's instances start each run with v = 1 and v = 2 and nothing else.
    for (size_t i = 0; i < m_instances.size(); ++i) {
      m_instances[i]->i_variables->Clear();
      ScriptValue v{};
      SetReal(&v, static_cast<double>(i + 1));
      SetInstanceVariable(m_instances[i], GetVariableId("v"), kWholeValueIndex, &v);
    }
    InitGlobalVariables();
    g_ErrorSuppressed.store(true);
    VM_ClearLastErrorText();
    Result r;
    r.outcome = Run(s.source);
    r.error = VM_GetLastErrorText();
    g_ErrorSuppressed.store(false);
    for (const char* name : {"x", "y", "z", "g", "n", "t", "u", "w", "a", "b", "c"}) {
      r.variables += std::string(name) + "=" + InstanceVariable(&m_self, name) + "/" + GlobalVariable(name) + " ";
    }
    r.variables += "branches=" + std::to_string(g_VM.branchCounter) +
                   " missing=" + std::to_string(g_Variables.instanceMissing) +
                   " index=" + std::to_string(g_Variables.arrayIndexError.flag);
    return r;
  }

  std::vector<CInstance*> m_instances;

  void RunCorpus() {
    for (const Snippet& s : Corpus()) {
      const Result general = RunSnippet(s, Mode::General);
      EXPECT_EQ(general.error.empty(), !s.fails) << s.name << ": " << general.error;
      if (!s.fails) {
        EXPECT_EQ(general.outcome.value, s.value) << s.name;
      }
      EXPECT_EQ(general.outcome.console, s.console) << s.name;
      for (Mode mode : {Mode::Words, Mode::Decoded}) {
        const Result fast = RunSnippet(s, mode);
        const char* how = mode == Mode::Words ? " (word by word)" : " (decoded)";
        EXPECT_EQ(fast.outcome.value, general.outcome.value) << s.name << how;
        EXPECT_EQ(fast.outcome.console, general.outcome.console) << s.name << how;
        EXPECT_EQ(fast.error, general.error) << s.name << how;
        EXPECT_EQ(fast.variables, general.variables) << s.name << how;
      }
    }
  }
};

TEST_F(FastPathCorpus, GivesWhatTheGeneralHandlersGive) { RunCorpus(); }

TEST_F(FastPathCorpus, GivesWhatTheGeneralHandlersGiveForUnsetVariablesWithTheOption) {
  g_Options.uninitialisedVariables = true;
  for (const char* source : {"var a; a = 1; return a + b", "var a; return a", "global.q = 2; return global.q + global.r",
                             "var a, i; a = 1; for (i = 0; i < 2; i += 1) a = a * 2 + (i * 3) mod 4 - c * 2; return a"}) {
    const Result general = RunSnippet({"unset", source, "", ""}, Mode::General);
    EXPECT_FALSE(general.error.empty()) << source;
    for (Mode mode : {Mode::Words, Mode::Decoded}) {
      const Result fast = RunSnippet({"unset", source, "", ""}, mode);
      EXPECT_EQ(fast.error, general.error) << source;
      EXPECT_EQ(fast.outcome.value, general.outcome.value) << source;
    }
  }
}

}  // namespace
