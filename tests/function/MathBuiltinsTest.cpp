// The number built-ins of the maths group: type tests, arrays, random numbers, arithmetic,
// trigonometry, points, vectors and angles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "BuiltinTestUtil.h"
#include "base/Common.h"
#include "code/Code_Function.h"
#include "code/VM_State.h"
#include "function/Function_Math.h"
#include "testlib/TestHelpers.h"
#include "variable/Variable_State.h"

namespace builtintest {
namespace {

using ::testing::HasSubstr;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

class MathBuiltinsTest : public BuiltinTest {};

// An array variable holding the given row 0.
ScriptValue MakeArray(const std::vector<double>& row0) {
  ScriptValue a{};
  for (size_t i = 0; i < row0.size(); ++i) {
    ScriptValue v = RealValue(row0[i]);
    SetValueElement(&a, &v, static_cast<int32_t>(i));
  }
  return a;
}

double Element(const ScriptValue& a, int32_t row, int32_t column) {
  const ValueArray* arr = a.arr;
  if (arr == nullptr || row >= arr->rowCount || column >= arr->rows[row].length) return kNaN;
  return arr->rows[row].elements[column].real;
}

// ---- Registration ----

TEST_F(MathBuiltinsTest, RegistersEveryBuiltinInItsOrderWithItsArgumentCount) {
  struct Row {
    const char* name;
    int32_t args;
  };
  const Row expected[] = {
      {"is_real", 1}, {"is_string", 1}, {"is_array", 1}, {"is_undefined", 1}, {"is_int32", 1}, {"is_int64", 1},
      {"is_ptr", 1}, {"is_vec3", 1}, {"is_vec4", 1}, {"is_matrix", 1}, {"array_length_1d", 1},
      {"array_length_2d", 2}, {"array_height_2d", 1}, {"array_get", 2}, {"array_set", 3}, {"array_set_pre", 3},
      {"array_set_post", 3}, {"array_get_2D", 3}, {"array_set_2D", 4}, {"array_set_2D_pre", 4},
      {"array_set_2D_post", 4}, {"random", 1}, {"random_range", 2}, {"irandom", 1}, {"irandom_range", 2},
      {"random_set_seed", 1}, {"random_get_seed", 0}, {"randomize", 0}, {"abs", 1}, {"round", 1}, {"floor", 1},
      {"ceil", 1}, {"sign", 1}, {"frac", 1}, {"sqrt", 1}, {"sqr", 1}, {"exp", 1}, {"ln", 1}, {"log2", 1},
      {"log10", 1}, {"sin", 1}, {"cos", 1}, {"tan", 1}, {"arcsin", 1}, {"arccos", 1}, {"arctan", 1},
      {"arctan2", 2}, {"dsin", 1}, {"dcos", 1}, {"dtan", 1}, {"darcsin", 1}, {"darccos", 1}, {"darctan", 1},
      {"darctan2", 2}, {"degtorad", 1}, {"radtodeg", 1}, {"power", 2}, {"logn", 2}, {"min", -1}, {"max", -1},
      {"min3", 3}, {"max3", 3}, {"mean", -1}, {"median", -1}, {"choose", -1}, {"clamp", 3}, {"lerp", 3},
      {"real", 1}, {"string", 1}, {"string_format", 3}, {"chr", 1}, {"ansi_char", 1}, {"ord", 1},
      {"string_length", 1}, {"string_pos", 2}, {"string_copy", 3}, {"string_char_at", 2}, {"string_ord_at", 2},
      {"string_byte_length", 1}, {"string_byte_at", 2}, {"string_set_byte_at", 3}, {"string_delete", 3},
      {"string_insert", 3}, {"string_lower", 1}, {"string_upper", 1}, {"string_repeat", 2}, {"string_letters", 1},
      {"string_digits", 1}, {"string_lettersdigits", 1}, {"string_replace", 3}, {"string_replace_all", 3},
      {"string_count", 2},
      {"point_distance", 4}, {"point_direction", 4}, {"lengthdir_x", 2}, {"lengthdir_y", 2},
      {"point_distance_3d", 6}, {"dot_product", 4}, {"dot_product_normalised", 4}, {"dot_product_3d", 6},
      {"dot_product_3d_normalised", 6}, {"math_set_epsilon", 1}, {"angle_difference", 2},
  };
  ASSERT_EQ(g_VM.functionCount, static_cast<int32_t>(std::size(expected)));
  for (int32_t i = 0; i < g_VM.functionCount; ++i) {
    EXPECT_STREQ(g_VM.functions[i].name, expected[i].name) << "call number " << i;
    EXPECT_EQ(g_VM.functions[i].argCount, expected[i].args) << expected[i].name;
  }
  // min3 and max3 are min and max under other names.
  int32_t min = 0, min3 = 0;
  FindFunctionIndex("min", &min);
  FindFunctionIndex("min3", &min3);
  EXPECT_EQ(g_VM.functions[min].func, g_VM.functions[min3].func);
}

// ---- Type tests ----

TEST_F(MathBuiltinsTest, TypeTestsCompareTheWholeKindWord) {
  ScriptValue array = MakeArray({1});
  ScriptValue pointer{};
  pointer.kind = VALUE_PTR;
  ScriptValue flagged = RealValue(1);
  flagged.kind |= 0x01000000;  // a kind word with bits above the kind: no test matches it

  struct Case {
    const char* value;
    ScriptValue v;
    const char* answersOne;  // the one test that answers 1, or "" for none
  };
  const std::vector<Case> cases = {
      {"real", RealValue(3), "is_real"}, {"string", Str("3"), "is_string"},
      {"array", array, "is_array"},      {"undefined", Undefined(), "is_undefined"},
      {"int32", Int32(3), "is_int32"},   {"int64", Int64(3), "is_int64"},
      {"pointer", pointer, "is_ptr"},    {"flagged real", flagged, ""},
  };
  const char* tests[] = {"is_real", "is_string", "is_array", "is_undefined", "is_int32",
                         "is_int64", "is_ptr", "is_vec3", "is_vec4", "is_matrix"};
  for (const Case& c : cases) {
    for (const char* test : tests) {
      EXPECT_EQ(CallReal(test, {Share(c.v)}), std::string(test) == c.answersOne ? 1.0 : 0.0) << test << " of " << c.value;
    }
  }
  for (const Case& c : cases) {
    ScriptValue v = c.v;
    ReleaseValue(&v);
  }
}

// ---- Arrays ----

TEST_F(MathBuiltinsTest, ArraySetWritesIntoTheCallersArrayAndGrowsIt) {
  ScriptValue a = MakeArray({1});
  ScriptValue holder = Share(a);  // a second variable sharing the array: it sees the stores too
  EXPECT_EQ(CallReal("array_set", {Share(a), RealValue(3), RealValue(7)}), 0.0);
  ASSERT_EQ(a.arr->rows[0].length, 4);
  EXPECT_EQ(holder.arr, a.arr);
  const double row[] = {1, 0, 0, 7};
  for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(Element(a, 0, i), row[i]) << i;

  // The flat index: 32,005 is row 1, column 5; the 2-D forms compute it from (i, j).
  EXPECT_EQ(CallReal("array_set_2D", {Share(a), RealValue(1), RealValue(5), RealValue(9)}), 0.0);
  EXPECT_EQ(a.arr->rowCount, 2);
  EXPECT_EQ(CallReal("array_get", {Share(a), RealValue(32005)}), 9.0);
  EXPECT_EQ(CallReal("array_get_2D", {Share(a), RealValue(1), RealValue(5)}), 9.0);
  EXPECT_EQ(CallReal("array_get", {Share(a), RealValue(3.9)}), 7.0);  // indices are truncated
  EXPECT_EQ(CallReal("array_height_2d", {Share(a)}), 2.0);
  EXPECT_EQ(CallReal("array_length_2d", {Share(a), RealValue(1)}), 6.0);
  EXPECT_EQ(CallReal("array_length_2d", {Share(a), RealValue(-1)}), 0.0);
  EXPECT_EQ(CallReal("array_length_2d", {Share(a), RealValue(2)}), 0.0);
  EXPECT_EQ(CallReal("array_length_2d", {Share(a), Int32(1)}), 0.0);  // only a real row number counts
  // j outside 0 .. 31,999 reaches into the neighbouring row: [1, -32000 + 3] is [0, 3].
  EXPECT_EQ(CallReal("array_get_2D", {Share(a), RealValue(1), RealValue(-31997)}), 7.0);

  ReleaseValue(&holder);
  ReleaseValue(&a);
}

TEST_F(MathBuiltinsTest, PreAndPostFormsAnswerTheNewAndTheOldElement) {
  ScriptValue a = MakeArray({5});
  EXPECT_EQ(CallReal("array_set_post", {Share(a), RealValue(0), RealValue(9)}), 5.0);
  EXPECT_EQ(Element(a, 0, 0), 9.0);
  EXPECT_EQ(CallReal("array_set_pre", {Share(a), RealValue(0), RealValue(4)}), 4.0);
  EXPECT_EQ(Element(a, 0, 0), 4.0);
  EXPECT_EQ(CallReal("array_set_2D_post", {Share(a), RealValue(0), RealValue(0), RealValue(2)}), 4.0);
  EXPECT_EQ(CallReal("array_set_2D_pre", {Share(a), RealValue(0), RealValue(0), RealValue(3)}), 3.0);
  EXPECT_EQ(Element(a, 0, 0), 3.0);

  // The stored copy of a text is its own: the answer and the element are both "t".
  const Answer pre = Call("array_set_pre", {Share(a), RealValue(1), Str("t")});
  EXPECT_EQ(pre.kind, VALUE_STRING);
  EXPECT_EQ(pre.text, "t");
  EXPECT_STREQ(a.arr->rows[0].elements[1].str, "t");
  // The post form on a new element answers real 0 (it was outside the array) and stores.
  g_Variables.arrayIndexError = {};
  EXPECT_EQ(CallReal("array_set_post", {Share(a), RealValue(2), RealValue(8)}), 0.0);
  EXPECT_EQ(g_Variables.arrayIndexError.flag, 1);
  EXPECT_EQ(Element(a, 0, 2), 8.0);
  ReleaseValue(&a);
}

TEST_F(MathBuiltinsTest, ArrayBuiltinsIgnoreWrongCallsAndFlagIndicesOutside) {
  ScriptValue a = MakeArray({1, 2});
  ScriptValue empty{};
  empty.kind = VALUE_ARRAY;  // an array value without a record

  // Wrong count, a first argument that is not an array, or no record: nothing happens.
  EXPECT_EQ(CallReal("array_get", {Share(a), RealValue(0), RealValue(0)}), 0.0);
  EXPECT_EQ(CallReal("array_set", {RealValue(1), RealValue(0), RealValue(9)}), 0.0);
  EXPECT_EQ(CallReal("array_set", {Share(a), RealValue(0)}), 0.0);
  EXPECT_EQ(CallReal("array_set", {empty, RealValue(0), RealValue(9)}), 0.0);
  EXPECT_EQ(CallReal("array_height_2d", {RealValue(3)}), 0.0);
  EXPECT_EQ(CallReal("array_length_1d", {RealValue(3)}), 0.0);
  EXPECT_EQ(CallReal("array_length_1d", {empty}), 0.0);
  EXPECT_EQ(CallReal("array_length_1d", {}), 0.0);
  EXPECT_EQ(CallReal("array_set_post", {empty, RealValue(0), RealValue(9)}), 0.0);
  EXPECT_EQ(Element(a, 0, 0), 1.0);

  // Reads outside the array and negative stores set the index error state and answer 0; so
  // does the index that would otherwise name the whole value.
  for (double index : {2.0, -1.0, -2147483648.0, 64000.0}) {
    g_Variables.arrayIndexError = {};
    EXPECT_EQ(CallReal("array_get", {Share(a), RealValue(index)}), 0.0) << index;
    EXPECT_EQ(g_Variables.arrayIndexError.flag, 1) << index;
  }
  g_Variables.arrayIndexError = {};
  EXPECT_EQ(CallReal("array_set", {Share(a), RealValue(-3), RealValue(9)}), 0.0);
  EXPECT_EQ(g_Variables.arrayIndexError.flag, 1);
  g_Variables.arrayIndexError = {};
  EXPECT_EQ(CallReal("array_get_2D", {Share(a), RealValue(1e6), RealValue(0)}), 0.0);  // i x 32,000 overflows
  EXPECT_EQ(g_Variables.arrayIndexError.flag, 1);
  EXPECT_EQ(a.arr->rowCount, 1);
  EXPECT_EQ(a.arr->rows[0].length, 2);

  // Row 0 empty but row 1 not: the 1-D length is 0.
  ScriptValue b{};
  const ScriptValue one = RealValue(1);
  SetValueElement(&b, &one, 32000);
  EXPECT_EQ(CallReal("array_length_1d", {Share(b)}), 0.0);
  ReleaseValue(&b);
  ReleaseValue(&a);
}

TEST_F(MathBuiltinsTest, ArraySetPostOfANonArrayIsTheFatalIndexingError) {
  testsupport::ProcessExitTrap trap;
  testsupport::MessageBoxRecorder boxes;
  EXPECT_THROW(Call("array_set_post", {RealValue(1), RealValue(0), RealValue(9)}), testsupport::ProcessExited);
  EXPECT_THAT(m_console.Text(), HasSubstr("trying to index a variable which is not an array"));
}

// ---- Arithmetic ----

struct NumberCase {
  const char* name;
  std::vector<double> args;
  double expected;
};

class NumberTable : public MathBuiltinsTest {
 protected:
  void Expect(const std::vector<NumberCase>& cases) {
    for (const NumberCase& c : cases) {
      std::vector<ScriptValue> args;
      for (double d : c.args) args.push_back(RealValue(d));
      std::string call = std::string(c.name) + "(";
      for (size_t i = 0; i < c.args.size(); ++i) call += (i ? ", " : "") + std::to_string(c.args[i]);
      const double got = CallReal(c.name, args);
      EXPECT_TRUE(SameReal(got, c.expected)) << call << ") = " << got << ", expected " << c.expected;
      EXPECT_EQ(TakeError(), "") << call << ")";
    }
  }
};

TEST_F(NumberTable, ArithmeticAnswers) {
  Expect({
      {"abs", {-2.5}, 2.5},
      {"abs", {123456789}, 123456789},  // double precision kept
      {"abs", {0.1}, 0.1},
      {"round", {2.5}, 2},
      {"round", {3.5}, 4},
      {"round", {-2.5}, -2},
      {"round", {-0.5}, 0},
      {"round", {1e10}, -2147483648.0},
      {"round", {kNaN}, -2147483648.0},
      {"round", {-kInf}, -2147483648.0},
      {"floor", {-0.5}, -1},
      {"ceil", {-0.5}, -0.0},
      {"ceil", {1.2}, 2},
      {"sign", {-3}, -1},
      {"sign", {0}, 0},
      {"sign", {7}, 1},
      {"sign", {kNaN}, -1},
      {"frac", {3.25}, 0.25},
      {"frac", {-2.5}, -0.5},
      {"sqrt", {16}, 4},
      {"sqr", {-3}, 9},
      {"exp", {0}, 1},
      {"ln", {1}, 0},
      {"ln", {0}, -kInf},
      {"log2", {8}, std::log(8.0) / std::log(2.0)},
      {"log10", {1000}, 3},
      {"power", {2, 10}, 1024},
      {"power", {-8, 1.0 / 3}, kNaN},
      {"logn", {2, 1024}, std::log(1024.0) / std::log(2.0)},
      {"degtorad", {180}, 3.1415927410125732},
      {"radtodeg", {3.1415927410125732}, 180},
      {"min", {3, 1, 1}, 1},
      {"max", {3, 1, 7}, 7},
      {"min", {kNaN, 1}, kNaN},
      {"min", {1, kNaN}, 1},
      {"min3", {4, 2, 9}, 2},
      {"max3", {4, 2, 9}, 9},
      {"min", {}, 0},
      {"mean", {1, 2, 6}, 3},
      {"mean", {}, 0},
      {"median", {5, 1, 3}, 3},
      {"median", {4, 1, 3, 2}, 3},
      {"median", {5e9, 4e9, 3e9}, 4e9},  // the real middle value
      {"median", {-5, kNaN, 7}, 7},       // NaNs order last
      {"median", {}, 0},
      {"median", {2}, 2},
      {"clamp", {5, 0, 10}, 5},
      {"clamp", {-1, 0, 10}, 0},
      {"clamp", {11, 0, 10}, 10},
      {"clamp", {5, 10, 0}, 0},
      {"lerp", {2, 6, 0.25}, 3},
      {"lerp", {2, 6}, 0},
  });
}

TEST_F(MathBuiltinsTest, MinAndMaxReportArgumentsThatAreNotReals) {
  for (const char* name : {"min", "max"}) {
    for (ScriptValue odd : {Str("1"), Int32(1), Undefined()}) {
      EXPECT_EQ(CallReal(name, {RealValue(1), odd}), 0.0);
      bool fatal = true;
      EXPECT_THAT(TakeError(&fatal), HasSubstr("Error " + std::string(name) +
                                               "(): illegal argument; strings not permitted"));
      EXPECT_FALSE(fatal);
    }
  }
  // Number readers without a kind test take int32 and int64 by value and other kinds as 0.
  EXPECT_EQ(CallReal("sqr", {Int32(-4)}), 16.0);
  EXPECT_EQ(CallReal("mean", {Int64(4), RealValue(2), Str("x")}), 2.0);
}

TEST_F(MathBuiltinsTest, SqrtOfANegativeNumberIsReportedAndAnswersZero) {
  for (double x : {-1.0, kNaN}) {
    EXPECT_EQ(CallReal("sqrt", {RealValue(x)}), 0.0);
    bool fatal = true;
    EXPECT_THAT(TakeError(&fatal), HasSubstr("Cannot apply sqrt to negative number."));
    EXPECT_FALSE(fatal);
  }
}

TEST_F(MathBuiltinsTest, EpsilonAcceptsZeroUpToOneAndChangesComparisons) {
  EXPECT_EQ(g_Variables.MathEpsilon, 0.00001);
  for (double e : {0.5, 0.0, 0.999}) {
    Call("math_set_epsilon", {RealValue(e)});
    EXPECT_EQ(g_Variables.MathEpsilon, e);
    EXPECT_EQ(TakeError(), "");
  }
  for (double e : {1.0, -0.001, kNaN}) {
    Call("math_set_epsilon", {RealValue(0.25)});
    Call("math_set_epsilon", {RealValue(e)});
    bool fatal = false;
    EXPECT_THAT(TakeError(&fatal),
                HasSubstr("math_set_epsilon :: value should be greater than or equal to 0 and less than 1"));
    EXPECT_TRUE(fatal) << e;
    EXPECT_EQ(g_Variables.MathEpsilon, 0.25);
  }
  // Only one real argument acts.
  Call("math_set_epsilon", {Str("0.5")});
  Call("math_set_epsilon", {RealValue(0.5), RealValue(0.5)});
  EXPECT_EQ(g_Variables.MathEpsilon, 0.25);
  EXPECT_EQ(TakeError(), "");

  Call("math_set_epsilon", {RealValue(0.5)});
  EXPECT_EQ(RunScript("var a; a = 1.4; if (a == 1) return 1; return 0").real, 1.0);
}

// ---- Random numbers ----

TEST_F(MathBuiltinsTest, ASeedReplaysEveryRandomBuiltin) {
  auto draw = [this] {
    std::vector<std::string> out;
    for (int i = 0; i < 20; ++i) {
      out.push_back(std::to_string(CallReal("random", {RealValue(10)})));
      out.push_back(std::to_string(CallReal("irandom", {RealValue(100)})));
      out.push_back(std::to_string(CallReal("irandom_range", {RealValue(-5), RealValue(5)})));
      out.push_back(std::to_string(CallReal("random_range", {RealValue(3), RealValue(1)})));
      out.push_back(Call("choose", {Str("a"), Str("b"), RealValue(3)}).text);
    }
    return out;
  };
  Call("random_set_seed", {RealValue(7)});
  EXPECT_EQ(CallReal("random_get_seed", {}), 7.0);
  const auto first = draw();
  Call("random_set_seed", {RealValue(7.9)});  // truncated
  EXPECT_EQ(draw(), first);
  Call("random_set_seed", {RealValue(8)});
  EXPECT_NE(draw(), first);

  Call("random_set_seed", {RealValue(-1)});
  EXPECT_EQ(CallReal("random_get_seed", {}), 4294967295.0);

  // The seed is the same one the generator keeps.
  const double seed = CallReal("randomize", {});
  EXPECT_EQ(static_cast<uint32_t>(static_cast<int32_t>(seed)), GetRandomSeed());
}

// The values each random built-in makes of the generator's draws after a seed: one draw for
// random, random_range and choose, two (low word first) for irandom and irandom_range.
TEST_F(MathBuiltinsTest, SeededSequencesArePinned) {
  struct Sequence {
    double seed;
    double random10;     // random(10)
    double irandom100;   // irandom(100)
    double range;        // irandom_range(-5, 5)
    double realRange;    // random_range(3, 1)
    std::string chosen;  // choose("a", "b", "c")
    double negative;     // irandom(-1000)
    double wide;         // irandom_range(0.5, 1000000)
  };
  const Sequence sequences[] = {
      {7, 9.329979794565588, 91, -4, 1.897715310100466, "a", -945, 499209},
      {2101988, 5.741780011449009, 86, 3, 2.0603146511130035, "c", -603, 591624},
  };
  for (const Sequence& s : sequences) {
    Call("random_set_seed", {RealValue(s.seed)});
    EXPECT_EQ(CallReal("random", {RealValue(10)}), s.random10) << s.seed;
    EXPECT_EQ(CallReal("irandom", {RealValue(100)}), s.irandom100) << s.seed;
    EXPECT_EQ(CallReal("irandom_range", {RealValue(-5), RealValue(5)}), s.range) << s.seed;
    EXPECT_EQ(CallReal("random_range", {RealValue(3), RealValue(1)}), s.realRange) << s.seed;
    EXPECT_EQ(Call("choose", {Str("a"), Str("b"), Str("c")}).text, s.chosen) << s.seed;
    EXPECT_EQ(CallReal("irandom", {RealValue(-1000)}), s.negative) << s.seed;
    EXPECT_EQ(CallReal("irandom_range", {RealValue(0.5), RealValue(1000000)}), s.wide) << s.seed;
  }
}

TEST_F(MathBuiltinsTest, RandomIntegersStayInTheirRanges) {
  Call("random_set_seed", {RealValue(1)});
  struct Range {
    const char* name;
    std::vector<double> args;
    double low, high;
  };
  const Range ranges[] = {
      {"irandom", {0}, 0, 0},          {"irandom", {3.7}, 0, 3},        {"irandom", {-3}, -3, 0},
      {"irandom_range", {5, 5}, 5, 5}, {"irandom_range", {3, 1}, 1, 3}, {"irandom_range", {0.5, 2.5}, 0, 2},
      {"random", {-2}, -2, 0},         {"random_range", {4, 2}, 2, 4},
  };
  for (const Range& r : ranges) {
    std::set<double> seen;
    for (int i = 0; i < 400; ++i) {
      std::vector<ScriptValue> args;
      for (double d : r.args) args.push_back(RealValue(d));
      const double v = CallReal(r.name, args);
      EXPECT_GE(v, r.low) << r.name;
      EXPECT_LE(v, r.high) << r.name;
      seen.insert(v);
    }
    if (std::string(r.name).find("irandom") == 0) {
      EXPECT_EQ(seen.size(), static_cast<size_t>(r.high - r.low + 1)) << r.name << " reaches every value";
    }
  }
  // choose answers a copy of one argument, each of them in time; none answers 0.
  std::set<std::string> picked;
  for (int i = 0; i < 100; ++i) picked.insert(Call("choose", {Str("x"), Str("y"), Str("z")}).text);
  EXPECT_EQ(picked, (std::set<std::string>{"x", "y", "z"}));
  EXPECT_EQ(CallReal("choose", {}), 0.0);
}

TEST_F(MathBuiltinsTest, RandomIntegersOfHugeOrNaNBoundsAreDefined) {
  // Each of these would overflow or divide by zero if done naively; the sanitizer checks them.
  const std::vector<std::vector<double>> args = {
      {kNaN}, {kInf}, {-kInf}, {9.3e18}, {-9.3e18}, {1e300}, {-1}, {-0.5}};
  for (const auto& a : args) {
    const double v = CallReal("irandom", {RealValue(a[0])});
    EXPECT_FALSE(std::isnan(v));
  }
  const std::vector<std::pair<double, double>> pairs = {
      {kNaN, 1}, {1, kNaN}, {-kInf, kInf}, {-9e18, 9e18}, {-1e300, 1e300}, {0.2, 0.7}};
  for (const auto& p : pairs) {
    const double v = CallReal("irandom_range", {RealValue(p.first), RealValue(p.second)});
    EXPECT_FALSE(std::isnan(v));
  }
  EXPECT_EQ(RandomInt64Below(0), 0);
  EXPECT_LE(RandomInt64Below(std::numeric_limits<int64_t>::min()), 0);
}

// ---- Trigonometry, points, vectors and angles ----

TEST_F(NumberTable, TrigonometryInSinglePrecision) {
  const double pi = 3.141592653589793;
  Expect({
      {"sin", {pi}, 0},
      {"cos", {pi / 2}, 0},
      {"sin", {pi / 2}, 1},
      {"sin", {1}, static_cast<double>(0.84147098f)},
      {"tan", {pi / 4}, static_cast<double>(1.0f)},
      {"dsin", {180}, 0},
      {"dcos", {90}, 0},
      {"dsin", {30}, 0.5},
      {"dcos", {60}, 0.4999999701976776},
      {"dtan", {45}, static_cast<double>(1.0f)},
      {"arcsin", {1}, static_cast<double>(static_cast<float>(pi / 2))},
      {"arcsin", {1 + 1e-8}, static_cast<double>(static_cast<float>(pi / 2))},  // 1 after rounding
      {"arccos", {1}, 0},
      {"arctan", {1}, static_cast<double>(static_cast<float>(pi / 4))},
      {"arctan2", {1, 0}, static_cast<double>(static_cast<float>(pi / 2))},
      {"darcsin", {0.5}, 30},
      {"darccos", {0}, 90},
      {"darctan", {1}, 45},
      {"darctan2", {-1, -1}, -135},
      {"darctan2", {0, 0}, 0},
      {"point_distance", {0, 0, 3, 4}, 5},
      {"point_distance", {1, 1, 1, 1}, 0},
      {"point_distance_3d", {0, 0, 0, 2, 3, 6}, 7},
      {"point_direction", {0, 0, 1, 0}, 0},
      {"point_direction", {0, 0, 0, -1}, 90},
      {"point_direction", {0, 0, -1, 0}, 180},
      {"point_direction", {0, 0, 0, 1}, 270},
      {"point_direction", {0, 0, 1, 1}, 315},
      {"point_direction", {0, 0, 1, -1}, 45},
      {"point_direction", {5, 5, 5, 5}, 0},
      {"lengthdir_x", {10, 90}, 0},
      {"lengthdir_y", {10, 90}, -10},
      {"lengthdir_x", {5, 0}, 5},
      {"lengthdir_y", {5, 270}, 5},
      {"lengthdir_x", {10, 180}, -10},
      {"lengthdir_x", {100.00001, 0}, 100},                                   // a tiny fraction is dropped
      {"lengthdir_x", {99.99999, 0}, static_cast<double>(99.99999f)},         // a large one stays
      {"dot_product", {1, 2, 3, 4}, 11},
      {"dot_product_3d", {1, 2, 3, 4, 5, 6}, 32},
      {"dot_product", {0.1, 0, 0.1, 0}, 0.1 * 0.1},                          // double precision
      {"dot_product_normalised", {3, 0, 5, 0}, 1},
      {"dot_product_normalised", {0, 2, 7, 0}, 0},
      {"dot_product_3d_normalised", {0, 0, 2, 0, 0, -3}, -1},
      {"angle_difference", {10, 350}, 20},
      {"angle_difference", {350, 10}, -20},
      {"angle_difference", {180, 0}, -180},
      {"angle_difference", {0, 0}, 0},
      {"angle_difference", {-190, 0}, 170},
      {"angle_difference", {720.5, 0}, 0.5},
  });
  // A zero vector gives a non-finite result without a report.
  EXPECT_FALSE(
      std::isfinite(CallReal("dot_product_normalised", {RealValue(0), RealValue(0), RealValue(1), RealValue(0)})));
  EXPECT_EQ(TakeError(), "");
}

TEST_F(MathBuiltinsTest, InverseFunctionsReportArgumentsOutsideTheirDomain) {
  const char* names[] = {"arcsin", "arccos", "darcsin", "darccos"};
  for (const char* name : names) {
    const bool sine = std::string(name).find("sin") != std::string::npos;
    for (double x : {1.5, -1.01, kNaN}) {
      EXPECT_EQ(CallReal(name, {RealValue(x)}), 0.0) << name;
      bool fatal = true;
      EXPECT_THAT(TakeError(&fatal), HasSubstr(sine ? "Error in function arcsin()." : "Error in function arccos()."))
          << name;
      EXPECT_FALSE(fatal);
    }
  }
}

TEST_F(MathBuiltinsTest, AngleDifferenceWantsTwoReals) {
  for (auto args :
       std::vector<std::vector<ScriptValue>>{{RealValue(1)}, {RealValue(1), Str("2")}, {Int32(1), RealValue(2)}}) {
    EXPECT_EQ(CallReal("angle_difference", args), 0.0);
    bool fatal = false;
    EXPECT_THAT(TakeError(&fatal), HasSubstr("angle_difference: illegal argument or argument count"));
    EXPECT_TRUE(fatal);
  }
}

TEST_F(MathBuiltinsTest, MissingArgumentsReadAsZero) {
  // Bytecode may call a built-in with fewer arguments than it declares.
  for (const char* name : {"sin", "point_distance", "lengthdir_x", "clamp", "random", "irandom_range", "abs"}) {
    EXPECT_TRUE(std::isfinite(CallReal(name, {}))) << name;
  }
  EXPECT_EQ(CallReal("cos", {}), 1.0);
}

// ---- Through script code ----

TEST_F(MathBuiltinsTest, ScriptsCallTheBuiltins) {
  struct Case {
    const char* source;
    double expected;
  };
  const Case cases[] = {
      {"var a; a[0] = 1; array_set(a, 3, 7); return array_length_1d(a) * 10 + a[3]", 47},
      {"var a; a[0] = 5; return array_set_post(a, 0, 9) * 10 + a[0]", 59},
      {"return point_direction(0, 0, 1, 1) + dcos(90)", 315},
      {"return round(2.5) + round(3.5) + floor(-0.5) + median(5, 1, 3)", 8},
      {"random_set_seed(3); var x; x = irandom(1000); random_set_seed(3); return x == irandom(1000)", 1},
      {"return is_string(\"a\") + is_real(1) * 2 + is_array(1) * 4", 3},
  };
  for (const Case& c : cases) {
    const Answer a = RunScript(c.source);
    EXPECT_EQ(a.kind, VALUE_REAL) << c.source;
    EXPECT_EQ(a.real, c.expected) << c.source;
  }
}

}  // namespace
}  // namespace builtintest
