// Snippets compiled from text and run on the virtual machine.
#include "CodeGenTestUtil.h"

namespace codegentest {
namespace {

struct Snippet {
  const char* source;
  double result;
};

void PrintTo(const Snippet& s, std::ostream* os) { *os << s.source; }

class RunsOnTheMachine : public CodeGenTest, public ::testing::WithParamInterface<Snippet> {};

TEST_P(RunsOnTheMachine, AnswersTheExpectedValue) {
  EXPECT_EQ(RunReal(GetParam().source), GetParam().result) << GetParam().source;
}

INSTANTIATE_TEST_SUITE_P(Expressions, RunsOnTheMachine, ::testing::Values(
    Snippet{"globalvar a, b; b = 2; a = b + 1; return a", 3},
    Snippet{"globalvar x; x = 3; return (x > 2 && !(x == 4)) + ~x", -3},
    Snippet{"globalvar x; x = 7; x -= 2; x *= 3; x |= 16; return x", 31},
    Snippet{"globalvar x; x = 7; return x div 2 + x mod 2 * 10 + (x << 2) * 100", 2813},
    Snippet{"globalvar a; a[1, 2] = 5; a[0] = 1; a[1, 2] += 1; return a[1, 2] * 10 + a[0]", 61},
    Snippet{"return f(1, 2) + 0.5", 3.5}));

INSTANTIATE_TEST_SUITE_P(Loops, RunsOnTheMachine, ::testing::Values(
    Snippet{"globalvar n; n = 0; repeat (0) n += 1; return n", 0},
    Snippet{"globalvar n; n = 0; repeat (-2) n += 1; return n", 0},
    Snippet{"globalvar n; n = 0; repeat (3) n += 1; return n", 3},
    // continue still counts the pass; break leaves with the counter popped.
    Snippet{"globalvar n; n = 0; repeat (3) { n += 1; continue; n += 100 } return n", 3},
    Snippet{"globalvar n; n = 0; repeat (5) { n += 1; if n == 2 break } return n", 2},
    // A do-until body that ends in continue still evaluates the condition.
    Snippet{"globalvar n; n = 0; do { n += 1; continue } until n >= 4; return n", 4},
    Snippet{"globalvar n, i; n = 0; for (i = 0; i < 5; i += 1) { if i == 3 continue; n += i } return n", 7},
    Snippet{"globalvar n; n = 0; while (n < 10) { n += 3; if n > 7 break } return n", 9},
    // Nested repeats keep their own counters on the stack.
    Snippet{"globalvar n; n = 0; repeat (3) repeat (4) n += 1; return n", 12}));

INSTANTIATE_TEST_SUITE_P(Switches, RunsOnTheMachine, ::testing::Values(
    Snippet{"globalvar a; a = 0; switch (1) { case 1: case 2: a = 1; break; default: a = 2 } return a", 1},
    Snippet{"globalvar a, x; x = 2; switch (x) { case 1: case 2: a = 1; break; default: a = 2 } return a", 1},
    Snippet{"globalvar a, x; x = 3; switch (x) { case 1: case 2: a = 1; break; default: a = 2 } return a", 2},
    // Without break the statements of the following labels run too.
    Snippet{"globalvar a, x; x = 1; a = 0; switch (x) { case 1: a += 1; case 2: a += 10 } return a", 11},
    // The last label has no statement: it leads to the end.
    Snippet{"globalvar a, x; x = 2; a = 0; switch (x) { case 1: a = 5; case 2: } return a", 0},
    Snippet{"globalvar a, x; x = \"b\"; switch (x) { case \"a\": a = 1; break; case \"b\": a = 2 } return a", 2},
    // continue out of a switch inside a loop: the switch's value does not stay behind.
    Snippet{"globalvar n; n = 0; repeat (3) { switch (n) { case 0: n += 1; continue; default: n += 10 } } return n",
            21},
    Snippet{"globalvar n, k; n = 0; k = 0; while (k < 4) { k += 1; switch (k) { case 2: continue } n += k } return n",
            8}));

// Run without instances: self (-1) gives one pass, noone (-4) none.
INSTANTIATE_TEST_SUITE_P(WithBlocks, RunsOnTheMachine, ::testing::Values(
    Snippet{"globalvar n; n = 0; with (-1) n += 1; return n", 1},
    Snippet{"globalvar n; n = 0; with (-4) n += 1; return n", 0},
    Snippet{"globalvar n; n = 0; with (-1) { n += 1; break; n += 100 } return n + 10", 11},
    Snippet{"globalvar n; n = 0; with (-1) { n += 1; continue; n += 100 } return n", 1},
    Snippet{"globalvar n; n = 0; repeat (3) with (-1) { n += 1; break } return n", 3}));

TEST_F(CodeGenTest, StringsJoinAtRunTime) {
  testsupport::StringTableFixture game({"game"});
  EXPECT_EQ(RunText("globalvar s; s = \"ab\"; return s + \"cd\""), "abcd");
}

TEST_F(CodeGenTest, ExitEndsTheProgram) {
  EXPECT_EQ(RunReal("globalvar n; n = 1; exit; n = 2"), -12345.0);
  EXPECT_EQ(GlobalReal("n"), 1.0);
}

}  // namespace
}  // namespace codegentest
