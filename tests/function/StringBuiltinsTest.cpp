// The string built-ins of the maths group: conversion, measuring, character and byte access,
// editing and searching.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "BuiltinTestUtil.h"
#include "code/Code_Function.h"
#include "function/Function_Math.h"
#include "platform/MemoryManager.h"
#include "testlib/TestHelpers.h"

namespace builtintest {
namespace {

using ::testing::HasSubstr;

const char* const kNone = nullptr;  // a string value with no text, as an argument or an answer

// One call: arguments, and the expected answer as a text (kNone: a string with no text) or a
// real; `error` is a part of the run-time error it must report ("" for none).
struct Case {
  const char* name;
  std::vector<ScriptValue> args;
  bool isText;
  const char* text;
  double real;
  const char* error = "";
};

Case Text(const char* name, std::vector<ScriptValue> args, const char* text, const char* error = "") {
  return {name, std::move(args), true, text, 0.0, error};
}
Case Number(const char* name, std::vector<ScriptValue> args, double real, const char* error = "") {
  return {name, std::move(args), false, nullptr, real, error};
}

class StringBuiltinsTest : public BuiltinTest {
 protected:
  void Expect(std::vector<Case> cases) {
    for (Case& c : cases) {
      std::string call = std::string(c.name) + "(";
      for (size_t i = 0; i < c.args.size(); ++i) {
        char* text = ValueToString(&c.args[i]);
        call += (i ? ", " : "") + std::string(c.args[i].Kind() == VALUE_STRING ? "'" : "") + text +
                (c.args[i].Kind() == VALUE_STRING ? "'" : "");
        MemoryManager::Free(text);
      }
      call += ")";
      const Answer got = Call(c.name, std::move(c.args));
      if (c.isText) {
        EXPECT_EQ(got.kind, VALUE_STRING) << call;
        EXPECT_EQ(got.noText, c.text == nullptr) << call;
        if (c.text != nullptr) {
          EXPECT_EQ(got.text, c.text) << call;
        }
      } else {
        EXPECT_EQ(got.kind, VALUE_REAL) << call;
        EXPECT_TRUE(SameReal(got.real, c.real)) << call << " = " << got.real << ", expected " << c.real;
      }
      const std::string error = TakeError();
      if (*c.error == '\0') {
        EXPECT_EQ(error, "") << call;
      } else {
        EXPECT_THAT(error, HasSubstr(c.error)) << call;
      }
    }
  }
};

// ---- Conversion ----

TEST_F(StringBuiltinsTest, RealReadsTheNumberAtTheStartOfATextInTheCLocale) {
  Expect({
      Number("real", {RealValue(7)}, 7),
      Number("real", {Int32(-4)}, -4),
      Number("real", {Int64(5000000000)}, 5e9),
      Number("real", {Str(" -3e2 ")}, -300),
      Number("real", {Str("")}, 0),
      Number("real", {NoText()}, 0),
      Number("real", {Undefined()}, 0),
      Number("real", {Str("  12.5kg")}, 12.5),
      Number("real", {Str("1,5")}, 1),
      Number("real",
             {Str("\xC3\xA9"
                  "3")},
             3),  // the é is dropped first
      Number("real", {Str("abc")}, 0),
      Number("real", {Str("\t+.5\n")}, 0.5),
      Number("real", {Str("5.")}, 5),
      Number("real", {Str("2e")}, 2),
      Number("real", {Str("2e+x")}, 2),
      Number("real", {Str("1E3")}, 1000),
      Number("real", {Str("0x1A")}, 0),  // no hexadecimal, no inf or nan words
      Number("real", {Str("inf")}, 0),
      Number("real", {Str("nan")}, 0),
      Number("real", {Str("-")}, 0),
  });
}

TEST_F(StringBuiltinsTest, StringGivesTheTextFormOfEveryKind) {
  ScriptValue array{};
  for (int32_t i = 0; i < 2; ++i) {
    ScriptValue v = RealValue(i + 1);
    SetValueElement(&array, &v, i);
  }
  Expect({
      Text("string", {RealValue(3)}, "3"),
      Text("string", {RealValue(3.14159)}, "3.14"),
      Text("string", {RealValue(-0.5)}, "-0.50"),
      Text("string", {RealValue(std::numeric_limits<double>::quiet_NaN())}, "NaN"),
      Text("string", {Str("a\xC3\xA9")}, "a\xC3\xA9"),
      Text("string", {NoText()}, ""),
      Text("string", {Undefined()}, "undefined"),
      Text("string", {Int32(-7)}, "-7"),
      Text("string", {Int64(1)}, "1"),
      Text("string", {array}, "{ { 1,2 },  }"),
  });
}

TEST_F(StringBuiltinsTest, StringFormatPadsToTotalPlusDecimals) {
  Expect({
      Text("string_format", {RealValue(3.14159), RealValue(1), RealValue(3)}, "3.142"),
      Text("string_format", {RealValue(-2), RealValue(4), RealValue(0)}, "  -2"),
      Text("string_format", {RealValue(1.5), RealValue(3), RealValue(2)}, " 1.50"),
      Text("string_format", {RealValue(1.5), RealValue(-7), RealValue(2)}, "1.50 "),  // a negative field aligns left
      Text("string_format", {RealValue(2.5), RealValue(0), RealValue(0)}, "2"),       // printf's rounding
      Text("string_format", {RealValue(1.5), RealValue(3), RealValue(-2)}, "  2"),    // decimals below 0 count as 0
      Text("string_format", {RealValue(7), RealValue(3.9), RealValue(1.9)}, " 7.0"),  // both counts truncated
      Text("string_format", {Str("as is"), RealValue(9), RealValue(9)}, "as is"),
      Text("string_format", {NoText(), RealValue(9), RealValue(9)}, kNone),
      Text("string_format", {RealValue(1), RealValue(1e9), RealValue(0)}, kNone,
           "string_format: the result would be too long"),
  });
  // Storage grows with the result: 1e300 has 301 digits.
  const Answer big = Call("string_format", {RealValue(1e300), RealValue(0), RealValue(2)});
  EXPECT_EQ(big.text.size(), 304u);
  EXPECT_EQ(big.text.substr(0, 4), "1000");
  EXPECT_EQ(Call("string_format", {RealValue(1), RealValue(400), RealValue(0)}).text, std::string(399, ' ') + "1");
}

TEST_F(StringBuiltinsTest, StringFormatOfANonNumberIsTheFatalArgumentError) {
  testsupport::ProcessExitTrap trap;
  testsupport::MessageBoxRecorder boxes;
  EXPECT_THROW(Call("string_format", {RealValue(1), Str("3"), RealValue(2)}), testsupport::ProcessExited);
  EXPECT_THAT(m_console.Text(), HasSubstr("string_format argument 2 incorrect type expecting a Number"));
}

TEST_F(StringBuiltinsTest, CharactersAndTheirCodes) {
  Expect({
      Text("chr", {RealValue(65)}, "A"),
      Text("chr", {RealValue(65.9)}, "A"),
      Text("chr", {RealValue(233)}, "\xC3\xA9"),
      Text("chr", {RealValue(-1)}, "\x7F"),
      Text("chr", {RealValue(0)}, ""),
      Text("chr", {RealValue(2047)}, "\xDF\xBF"),
      Text("chr", {RealValue(2048)}, "\xE0\xA0\x80"),
      Text("chr", {RealValue(0x20AC)}, "\xE2\x82\xAC"),
      Text("chr", {RealValue(65601)}, "\xE0\x81\x81"),  // bits above 15 are dropped, three bytes kept
      Text("chr", {RealValue(std::numeric_limits<double>::quiet_NaN())}, ""),
      Text("ansi_char", {RealValue(200)}, "\xC8"),
      Text("ansi_char", {RealValue(65.5)}, "B"),  // rounded, ties to even
      Text("ansi_char", {RealValue(321)}, "A"),   // the low 8 bits
      Text("ansi_char", {RealValue(0)}, ""),
      Number("ord", {Str("\xC3\xA9t\xC3\xA9")}, 233),
      Number("ord", {Str("\xE2\x82\xAC")}, 0x20AC),
      Number("ord", {Str("")}, 0),
      Number("ord", {NoText()}, 0),
      Number("ord", {RealValue(65)}, 0),
  });
}

// ---- Measuring and searching ----

TEST_F(StringBuiltinsTest, LengthsCountCharactersOrBytes) {
  Expect({
      Number("string_length", {Str("h\xC3\xA9llo")}, 5),
      Number("string_byte_length", {Str("h\xC3\xA9llo")}, 6),
      Number("string_length", {Str("")}, 0),
      Number("string_length", {NoText()}, 0),
      Number("string_byte_length", {NoText()}, 0),
      Number("string_length", {RealValue(12345)}, 0),
      Number("string_length", {Str("a\xE2")}, 2),  // a sequence cut by the end counts once
      Number("string_pos", {Str("ll"), Str("hello")}, 3),
      Number("string_pos", {Str(""), Str("hello")}, 0),
      Number("string_pos", {Str("hello"), Str("ll")}, 0),
      Number("string_pos", {Str("l"), Str("h\xC3\xA9llo")}, 3),  // counted in characters
      Number("string_pos", {Str("\xC3\xA9"), Str("h\xC3\xA9llo")}, 2),
      Number("string_pos", {NoText(), Str("abc")}, 0),
      Number("string_pos", {Str("c"), RealValue(1)}, 0),
      Number("string_count", {Str("b"), Str("abcabc")}, 2),
      Number("string_count", {Str("aa"), Str("aaaa")}, 3),  // overlapping ones count
      Number("string_count", {Str("aba"), Str("ababababa")}, 4),
      Number("string_count", {Str(""), Str("abc")}, 0),
      Number("string_count", {Str("a"), NoText()}, 0),
      Number("string_count", {Str("\xC3\xA9"), Str("\xC3\xA9t\xC3\xA9")}, 2),
  });
}

TEST_F(StringBuiltinsTest, SearchingLongTextsTakesLinearTime) {
  // Texts that make a naive search compare about 10^11 bytes; these finish at once.
  const std::string text(1 << 20, 'a');
  const std::string sub = std::string(1 << 19, 'a') + "b";
  EXPECT_EQ(CallReal("string_pos", {Str(sub.c_str()), Str(text.c_str())}), 0.0);
  EXPECT_EQ(CallReal("string_count", {Str(sub.c_str()), Str(text.c_str())}), 0.0);
  EXPECT_EQ(CallReal("string_count", {Str(sub.substr(0, 1 << 19).c_str()), Str(text.c_str())}),
            static_cast<double>((1 << 20) - (1 << 19) + 1));
  const Answer replaced = Call("string_replace_all", {Str(text.c_str()), Str("a"), Str("bc")});
  EXPECT_EQ(replaced.text.size(), 2u << 20);
}

// ---- Characters and bytes ----

TEST_F(StringBuiltinsTest, StringCopyTakesCharactersFromAPosition) {
  Expect({
      Text("string_copy", {Str("hello"), RealValue(2), RealValue(3)}, "ell"),
      Text("string_copy", {Str("hello"), RealValue(0), RealValue(3)}, "hel"),
      Text("string_copy", {Str("hello"), RealValue(-4), RealValue(1)}, "h"),
      Text("string_copy", {Str("hello"), RealValue(2), RealValue(99)}, "ello"),
      Text("string_copy", {Str("hello"), RealValue(2), RealValue(-1)}, ""),
      Text("string_copy", {Str("hello"), RealValue(2.5), RealValue(1.5)}, "el"),  // ties to even: 2 and 2
      Text("string_copy", {Str("hello"), RealValue(6), RealValue(1)}, ""),
      Text("string_copy", {Str("hello"), RealValue(7), RealValue(2)}, "",
           "string_copy(hello, 7, 2): Index is out of bounds"),
      Text("string_copy", {Str("h\xC3\xA9llo"), RealValue(2), RealValue(2)}, "\xC3\xA9l"),
      Text("string_copy", {Str("hello"), Int32(2), RealValue(3)}, kNone),  // positions must be reals
      Text("string_copy", {Str("hello"), RealValue(2)}, kNone),
      Text("string_copy", {NoText(), RealValue(1), RealValue(1)}, kNone),
      Text("string_copy", {RealValue(5), RealValue(1), RealValue(1)}, kNone),
  });
}

TEST_F(StringBuiltinsTest, CharacterAndByteAccess) {
  Expect({
      Text("string_char_at", {Str("hello"), RealValue(1)}, "h"),
      Text("string_char_at", {Str("hello"), RealValue(0)}, "h"),
      Text("string_char_at", {Str("hello"), RealValue(5)}, "o"),
      Text("string_char_at", {Str("hello"), RealValue(9)}, kNone),
      Text("string_char_at", {Str("h\xC3\xA9llo"), RealValue(2)}, "\xC3\xA9"),
      Text("string_char_at", {Str(""), RealValue(1)}, kNone),
      Text("string_char_at", {Str("hello"), Str("1")}, kNone),
      Number("string_ord_at", {Str("h\xC3\xA9llo"), RealValue(2)}, 233),
      Number("string_ord_at", {Str("hello"), RealValue(9)}, -1),
      Number("string_ord_at", {NoText(), RealValue(1)}, -1),
      Number("string_byte_at", {Str("\xC3\xA9"), RealValue(1)}, -61),
      Number("string_byte_at", {Str("\xC3\xA9"), RealValue(2)}, -87),
      Number("string_byte_at", {Str("abc"), RealValue(10)}, 99),  // past the end: the last byte
      Number("string_byte_at", {Str("abc"), RealValue(-3)}, 97),
      Number("string_byte_at", {Str(""), RealValue(1)}, 0),
      Number("string_byte_at", {Str("abc")}, 0),
      Text("string_set_byte_at", {Str("abc"), RealValue(2), RealValue(66)}, "aBc"),
      Text("string_set_byte_at", {Str("abc"), RealValue(3), RealValue(256 + 68)}, "abD"),
      Text("string_set_byte_at", {Str("abc"), RealValue(2), RealValue(0)}, "a"),  // a 0 ends the text
      Text("string_set_byte_at", {Str("abc"), RealValue(4), RealValue(66)}, "abc",
           "string_set_byte_at : index beyond end of string"),
      Text("string_set_byte_at", {Str("abc"), RealValue(0), RealValue(66)}, "abc",
           "string_set_byte_at : index beyond end of string"),
      Text("string_set_byte_at", {Str("abc"), RealValue(1), Str("x")}, "abc"),
      Text("string_set_byte_at", {NoText(), RealValue(1), RealValue(66)}, kNone),
  });
}

// ---- Editing ----

TEST_F(StringBuiltinsTest, DeleteAndInsertClampPositions) {
  Expect({
      Text("string_delete", {Str("hello"), RealValue(2), RealValue(3)}, "ho"),
      Text("string_delete", {Str("hello"), RealValue(4), RealValue(99)}, "hel"),
      Text("string_delete", {Str("hello"), RealValue(3), RealValue(0)}, "hello"),
      Text("string_delete", {Str("hello"), RealValue(3), RealValue(-2)}, "hello"),
      Text("string_delete", {Str("hello"), RealValue(0), RealValue(1)}, "hello"),
      Text("string_delete", {Str("hello"), RealValue(6), RealValue(1)}, "hello"),
      Text("string_delete", {Str("hello"), RealValue(1), RealValue(5)}, ""),
      Text("string_delete", {Str("h\xC3\xA9llo"), RealValue(2), RealValue(1)}, "hllo"),
      Text("string_delete", {NoText(), RealValue(1), RealValue(1)}, kNone),
      Text("string_insert", {Str("X"), Str("abc"), RealValue(1)}, "Xabc"),
      Text("string_insert", {Str("X"), Str("abc"), RealValue(4)}, "abcX"),
      Text("string_insert", {Str("X"), Str("abc"), RealValue(40)}, "abcX"),
      Text("string_insert", {Str("X"), Str("abc"), RealValue(0)}, "Xabc"),
      Text("string_insert", {Str("X"), Str("abc"), RealValue(-5)}, "Xabc"),
      Text("string_insert", {Str("\xC3\xA9"), Str("abc"), RealValue(2)},
           "a\xC3\xA9"
           "bc"),
      Text("string_insert", {Str("X"), Str("\xC3\xA9\xC3\xA9"), RealValue(2)}, "\xC3\xA9X\xC3\xA9"),
      Text("string_insert", {Str(""), Str("abc"), RealValue(2)}, "abc"),
      Text("string_insert", {Str("X"), Str(""), RealValue(2)}, "X"),
      Text("string_insert", {NoText(), Str("abc"), RealValue(2)}, kNone),
      Text("string_insert", {Str("X"), NoText(), RealValue(2)}, kNone),
  });
}

TEST_F(StringBuiltinsTest, CaseMappingCoversNonAsciiLetters) {
  Expect({
      Text("string_upper", {Str("hello")}, "HELLO"),
      Text("string_lower", {Str("HeLLo 12!")}, "hello 12!"),
      Text("string_upper", {Str("h\xC3\xA9llo w\xC3\xB6rld")}, "H\xC3\x89LLO W\xC3\x96RLD"),
      Text("string_lower", {Str("\xC3\x80\xC3\x89\xC3\x8E")}, "\xC3\xA0\xC3\xA9\xC3\xAE"),
      Text("string_upper", {Str("\xD0\xB4\xCE\xB1")}, "\xD0\x94\xCE\x91"),  // Cyrillic and Greek
      Text("string_upper", {Str("\xE2\x82\xAC")}, "\xE2\x82\xAC"),          // not a letter
      Text("string_upper", {Str("")}, ""),
      Text("string_lower", {RealValue(1)}, kNone),
      Text("string_upper", {NoText()}, kNone),
  });
}

TEST_F(StringBuiltinsTest, RepeatAndFilters) {
  Expect({
      Text("string_repeat", {Str("ab"), RealValue(2)}, "abab"),
      Text("string_repeat", {Str("ab"), RealValue(2.5)}, "abab"),
      Text("string_repeat", {Str("ab"), RealValue(0.5)}, kNone),
      Text("string_repeat", {Str("ab"), RealValue(-3)}, kNone),
      Text("string_repeat", {Str(""), RealValue(3)}, kNone),
      Text("string_repeat", {Str("ab"), RealValue(1e9)}, kNone, "string_repeat: the result would be too long"),
      Text("string_digits", {Str("a1b2")}, "12"),
      Text("string_letters", {Str("123")}, ""),
      Text("string_letters", {Str("a-1 \xC3\xA9_B")}, "aB"),
      Text("string_lettersdigits", {Str("a-1 \xC3\xA9_B9")}, "a1B9"),
      Text("string_letters", {RealValue(1)}, kNone),
      Text("string_lettersdigits", {RealValue(1)}, kNone),
      Text("string_digits", {RealValue(1)}, kNone),
      Text("string_digits", {Str("1"), Str("2")}, kNone),
      Text("string_digits", {Str("")}, kNone),
  });
}

TEST_F(StringBuiltinsTest, ReplaceFirstAndAllOccurrences) {
  Expect({
      Text("string_replace", {Str("a-b-c"), Str("-"), Str("+")}, "a+b-c"),
      Text("string_replace_all", {Str("a-b-c"), Str("-"), Str("+")}, "a+b+c"),
      Text("string_replace_all", {Str("aaa"), Str("aa"), Str("b")}, "ba"),  // occurrences do not overlap
      Text("string_replace_all", {Str("aaa"), Str("a"), Str("aa")}, "aaaaaa"),  // replacements are not searched
      Text("string_replace_all", {Str("abc"), Str(""), Str("x")}, "abc"),
      Text("string_replace_all", {Str("abc"), NoText(), Str("x")}, "abc"),
      Text("string_replace_all", {Str("abcb"), Str("b"), NoText()}, "ac"),
      Text("string_replace", {Str("abc"), Str("x"), Str("y")}, "abc"),
      Text("string_replace", {Str("abc"), Str("c"), Str("")}, "ab"),
      Text("string_replace", {Str("h\xC3\xA9llo"), Str("l"), Str("L")}, "h\xC3\xA9Llo"),
      Text("string_replace_all", {Str("\xC3\xA9t\xC3\xA9"), Str("\xC3\xA9"), Str("e")}, "ete"),
      Text("string_replace", {Str(""), Str("a"), Str("b")}, kNone),
      Text("string_replace", {NoText(), Str("a"), Str("b")}, kNone),
  });
  // A result past the size the built-ins make is reported instead of built.
  const std::string big(1 << 16, 'a');
  Expect({Text("string_replace_all", {Str(big.c_str()), Str("a"), Str(big.c_str())}, kNone,
               "string_replace_all: the result would be too long")});
}

// ---- Through script code ----

TEST_F(StringBuiltinsTest, ScriptsCallTheStringBuiltins) {
  struct ScriptCase {
    const char* source;
    const char* expected;
  };
  const ScriptCase cases[] = {
      {"return string(3.14159) + chr(65) + string_upper(\"ok\")", "3.14AOK"},
      {"var s; s = \"hello\"; return string_copy(s, 2, 3) + string(string_pos(\"ll\", s))", "ell3"},
      {"return string_replace_all(string_repeat(\"ab\", 3), \"b\", \"-\") + string(real(\" 12.5kg\") * 2)",
       "a-a-a-25"},
      {"return string_format(1.5, 3, 2) + \"|\"", " 1.50|"},
  };
  for (const ScriptCase& c : cases) {
    const Answer a = RunScript(c.source);
    EXPECT_EQ(a.kind, VALUE_STRING) << c.source;
    EXPECT_EQ(a.text, c.expected) << c.source;
  }
}

}  // namespace
}  // namespace builtintest
