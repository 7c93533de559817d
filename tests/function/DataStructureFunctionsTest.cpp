#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/Common.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/VM_State.h"
#include "function/Function_Data_Structures.h"
#include "support/Support_Data_Structures.h"
#include "BuiltinTestUtil.h"
#include "platform/MemoryManager.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

constexpr char kNoStructure[] = "Data structure with index does not exist.";

using builtintest::Int32;
using builtintest::Undefined;

// The ds_* built-ins reached through the registry, as compiled code reaches them.
class DsFunctionsTest : public builtintest::BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    m_first = g_VM.functionCount;
    RegisterDataStructureFunctions();
  }

  // The text form of a result, strings quoted ("undefined" for undefined).
  std::string CallText(const char* name, std::vector<ScriptValue> args = {}) {
    ScriptValue r{};
    Call(name, std::move(args), &r);
    char* text = ValueToString(&r);
    std::string s = r.Kind() == VALUE_STRING ? "\"" + std::string(text) + "\"" : text;
    MemoryManager::Free(text);
    ReleaseValue(&r);
    return s;
  }
  double CallReal(const char* name, std::vector<ScriptValue> args = {}) {
    return BuiltinTest::CallReal(name, std::move(args));
  }

  // How many times `message` was reported since the last call.
  int Reported(const char* message) {
    const std::string text = m_console.Text();
    int n = 0;
    for (size_t at = text.find(message); at != std::string::npos; at = text.find(message, at + 1)) ++n;
    m_console.Clear();
    TakeError();
    return n;
  }

  // A list holding the given reals, by index.
  int32_t List(std::vector<double> items) {
    const int32_t l = static_cast<int32_t>(CallReal("ds_list_create"));
    for (double d : items) Call("ds_list_add", {RealValue(l), RealValue(d)});
    return l;
  }

  int32_t m_first = 0;  // the call number of the group's first built-in
};

TEST_F(DsFunctionsTest, RegistrationOrderAndArgumentCounts) {
  const char* name = nullptr;
  BuiltinFunction func = nullptr;
  int32_t argc = 0;
  struct Case {
    int32_t index;
    const char* name;
    int32_t argc;
  } cases[] = {{0, "ds_set_precision", 1},  {1, "ds_exists", 2},        {2, "ds_list_create", 0},
               {8, "ds_list_add", -1},      {20, "ds_list_shuffle", 1},  {21, "ds_map_create", 0},
               {27, "ds_map_add", 3},       {42, "ds_map_find_previous", 2}};
  for (const Case& c : cases) {
    ASSERT_TRUE(GetBuiltinFunctionInfo(m_first + c.index, &name, &func, &argc)) << c.name;
    EXPECT_STREQ(name, c.name);
    EXPECT_EQ(argc, c.argc) << c.name;
  }
  EXPECT_EQ(g_VM.functionCount - m_first, 43);
}

TEST_F(DsFunctionsTest, IndexArgumentsRoundTiesToEvenAndNonNumbersNameNothing) {
  List({});
  List({1});
  List({1, 2});
  struct Case {
    ScriptValue index;
    double size;  // -1: reported as missing
    const char* why;
  } cases[] = {
      {RealValue(0.5), 0, "0.5 rounds to list 0"},
      {RealValue(1.5), 2, "1.5 rounds to list 2"},
      {RealValue(2.5), 2, "2.5 rounds to list 2"},
      {RealValue(-0.4), 0, "-0.4 rounds to list 0"},
      {Int32(1), 1, "an int32 is a number"},
      {RealValue(3), -1, "beyond the table"},
      {RealValue(-1), -1, "negative"},
      {RealValue(NAN), -1, "NaN names nothing"},
      {RealValue(1e10), -1, "outside the 32-bit range"},
      {Str("0"), -1, "a string names nothing, never list 0"},
      {Undefined(), -1, "undefined names nothing"},
  };
  for (Case& c : cases) {
    const double size = CallReal("ds_list_size", {c.index});
    if (c.size < 0) {
      EXPECT_EQ(size, 0) << c.why;
      EXPECT_EQ(Reported(kNoStructure), 1) << c.why;
    } else {
      EXPECT_EQ(size, c.size) << c.why;
      EXPECT_EQ(Reported(kNoStructure), 0) << c.why;
    }
  }
  // The truncating exceptions: find_index's list and the index inside ds_map_add_list's value.
  EXPECT_EQ(CallReal("ds_list_find_index", {RealValue(1.9), RealValue(1)}), 0);
  EXPECT_EQ(CallReal("ds_list_find_index", {RealValue(2.9), RealValue(2)}), 1);
  const double m = CallReal("ds_map_create");
  EXPECT_EQ(CallReal("ds_map_add_list", {RealValue(m), Str("l"), RealValue(2.7)}), 1);
  EXPECT_EQ(CallText("ds_map_find_value", {RealValue(m), Str("l")}), "2.70");
  EXPECT_EQ(Reported(kNoStructure), 0);
}

TEST_F(DsFunctionsTest, BadIndicesAreReportedAndChangeNothing) {
  const double l = List({5});
  const double m = CallReal("ds_map_create");
  const std::vector<std::pair<const char*, std::vector<ScriptValue>>> calls = {
      {"ds_list_clear", {RealValue(9)}},
      {"ds_list_add", {RealValue(9), RealValue(1)}},
      {"ds_list_add", {RealValue(l)}},  // no value to add
      {"ds_list_copy", {RealValue(9), RealValue(l)}},
      {"ds_list_copy", {RealValue(l), RealValue(9)}},
      {"ds_list_destroy", {RealValue(9)}},
      {"ds_map_copy", {RealValue(9), RealValue(m)}},
      {"ds_map_copy", {RealValue(m), RealValue(9)}},
      {"ds_map_destroy", {RealValue(-1)}},
      {"ds_map_add", {RealValue(9), Str("k"), RealValue(1)}},
      {"ds_map_find_value", {RealValue(l + 5), Str("k")}},
  };
  for (const auto& [name, args] : calls) {
    Call(name, args);
    EXPECT_EQ(Reported(kNoStructure), 1) << name;
  }
  EXPECT_EQ(CallReal("ds_list_size", {RealValue(l)}), 1);
  EXPECT_EQ(CallReal("ds_map_size", {RealValue(m)}), 0);
  // Destroying an empty slot inside the table is silent.
  Call("ds_list_destroy", {RealValue(l)});
  Call("ds_list_destroy", {RealValue(l)});
  Call("ds_map_destroy", {RealValue(m)});
  Call("ds_map_destroy", {RealValue(m)});
  EXPECT_EQ(Reported(kNoStructure), 0);
  EXPECT_EQ(CallReal("ds_list_size", {RealValue(l)}), 0);
  EXPECT_EQ(Reported(kNoStructure), 1);
}

// The adders and replacers answer 0 for a map that does not exist, whatever the caller had in
// the result.
TEST_F(DsFunctionsTest, AddAndReplaceAnswerZeroForAMissingMap) {
  const double l = List({});
  for (const char* name : {"ds_map_add", "ds_map_add_list", "ds_map_add_map", "ds_map_replace",
                           "ds_map_replace_list", "ds_map_replace_map"}) {
    int32_t number = -1;
    ASSERT_TRUE(FindFunctionIndex(name, &number)) << name;
    ScriptValue args[] = {RealValue(5), Str("k"), RealValue(l)};
    ScriptValue r = Undefined();  // called directly: the result arrives as the caller left it
    g_VM.functions[number].func(&r, &m_self, &m_other, 3, args);
    ReleaseValue(&args[1]);
    EXPECT_EQ(r.kind, VALUE_REAL) << name;
    EXPECT_EQ(r.real, 0) << name;
    EXPECT_EQ(Reported(kNoStructure), 1) << name;
  }
}

TEST_F(DsFunctionsTest, DsExists) {
  const double m = CallReal("ds_map_create");
  const double l = List({});
  EXPECT_EQ(CallReal("ds_exists", {RealValue(m), RealValue(DS_TYPE_MAP)}), 1);
  EXPECT_EQ(CallReal("ds_exists", {RealValue(l), RealValue(DS_TYPE_LIST)}), 1);
  EXPECT_EQ(CallReal("ds_exists", {RealValue(1), RealValue(DS_TYPE_MAP)}), 0);
  for (double kind : {0.0, 3.0, 6.0, 7.0}) EXPECT_EQ(CallReal("ds_exists", {RealValue(0), RealValue(kind)}), 0) << kind;
  Call("ds_map_destroy", {RealValue(m)});
  EXPECT_EQ(CallReal("ds_exists", {RealValue(m), RealValue(DS_TYPE_MAP)}), 0);
  EXPECT_EQ(CallReal("ds_map_create"), m);
  EXPECT_EQ(CallReal("ds_exists", {RealValue(m), RealValue(DS_TYPE_MAP)}), 1);
  EXPECT_EQ(Reported(kNoStructure), 0);
}

TEST_F(DsFunctionsTest, MapAddSetReplaceAndFind) {
  const double m = CallReal("ds_map_create");
  EXPECT_EQ(CallReal("ds_map_add", {RealValue(m), Str("a"), RealValue(1)}), 1);
  EXPECT_EQ(CallReal("ds_map_add", {RealValue(m), Str("a"), RealValue(2)}), 0);
  EXPECT_EQ(CallText("ds_map_find_value", {RealValue(m), Str("a")}), "1");

  EXPECT_EQ(CallText("ds_map_set_post", {RealValue(m), Str("a"), RealValue(5)}), "1");
  EXPECT_EQ(CallText("ds_map_set_post", {RealValue(m), Str("b"), RealValue(5)}), "5");
  EXPECT_EQ(CallText("ds_map_set_pre", {RealValue(m), Str("c"), Str("x")}), "\"x\"");
  EXPECT_EQ(CallText("ds_map_find_value", {RealValue(m), Str("c")}), "\"x\"");
  EXPECT_EQ(CallText("ds_map_set_pre", {RealValue(99), Str("c"), RealValue(4)}), "4");  // preset
  EXPECT_EQ(Reported(kNoStructure), 1);
  Call("ds_map_set", {RealValue(m), Str("a"), RealValue(6)});
  EXPECT_EQ(CallText("ds_map_find_value", {RealValue(m), Str("a")}), "6");

  EXPECT_EQ(CallReal("ds_map_replace", {RealValue(m), Str("new"), RealValue(3)}), 0);
  EXPECT_EQ(CallText("ds_map_find_value", {RealValue(m), Str("new")}), "3");
  EXPECT_EQ(CallReal("ds_map_replace", {RealValue(m), Str("new"), RealValue(4)}), 1);
  EXPECT_EQ(CallText("ds_map_find_value", {RealValue(m), Str("new")}), "4");

  EXPECT_EQ(CallText("ds_map_find_value", {RealValue(m), Str("absent")}), "undefined");
  EXPECT_EQ(CallReal("ds_map_exists", {RealValue(m), Str("b")}), 1);
  Call("ds_map_delete", {RealValue(m), Str("b")});
  EXPECT_EQ(CallReal("ds_map_exists", {RealValue(m), Str("b")}), 0);
  EXPECT_EQ(CallReal("ds_map_size", {RealValue(m)}), 3);
  EXPECT_EQ(CallReal("ds_map_empty", {RealValue(m)}), 0);
  // An int32 key keeps its kind: it is not the real key 1.
  Call("ds_map_set", {RealValue(m), RealValue(1), Str("real")});
  Call("ds_map_set", {RealValue(m), Int32(1), Str("int32")});
  EXPECT_EQ(CallText("ds_map_find_value", {RealValue(m), RealValue(1)}), "\"real\"");
  Call("ds_map_clear", {RealValue(m)});
  EXPECT_EQ(CallReal("ds_map_empty", {RealValue(m)}), 1);
  EXPECT_EQ(Reported(kNoStructure), 0);
}

TEST_F(DsFunctionsTest, MapIteration) {
  const double m = CallReal("ds_map_create");
  EXPECT_EQ(CallText("ds_map_find_first", {RealValue(m)}), "undefined");
  EXPECT_EQ(CallText("ds_map_find_last", {RealValue(m)}), "undefined");
  Call("ds_map_add", {RealValue(m), Str("a"), RealValue(1)});  // bucket 444
  Call("ds_map_add", {RealValue(m), Str("b"), RealValue(2)});  // bucket 6
  EXPECT_EQ(CallText("ds_map_find_first", {RealValue(m)}), "\"b\"");
  EXPECT_EQ(CallText("ds_map_find_next", {RealValue(m), Str("b")}), "\"a\"");
  EXPECT_EQ(CallText("ds_map_find_next", {RealValue(m), Str("a")}), "undefined");
  EXPECT_EQ(CallText("ds_map_find_next", {RealValue(m), Str("zz")}), "undefined");
  EXPECT_EQ(CallText("ds_map_find_last", {RealValue(m)}), "\"a\"");
  EXPECT_EQ(CallText("ds_map_find_previous", {RealValue(m), Str("a")}), "\"b\"");
  EXPECT_EQ(CallText("ds_map_find_previous", {RealValue(m), Str("b")}), "undefined");
  EXPECT_EQ(CallText("ds_map_find_previous", {RealValue(m), Str("zz")}), "undefined");
}

TEST_F(DsFunctionsTest, NestedListsAndMaps) {
  const double m = CallReal("ds_map_create");
  const double inner = CallReal("ds_map_create");
  const double l = List({1});
  EXPECT_EQ(CallReal("ds_map_add_list", {RealValue(m), Str("l"), RealValue(l)}), 1);
  EXPECT_EQ(CallReal("ds_map_add_map", {RealValue(m), Str("m"), RealValue(inner)}), 1);
  // find_value gives the plain index, without the mark.
  ScriptValue found{};
  Call("ds_map_find_value", {RealValue(m), Str("l")}, &found);
  EXPECT_EQ(found.kind, VALUE_REAL);
  EXPECT_EQ(found.real, l);

  struct Case {
    const char* name;
    ScriptValue value;
    const char* message;
  } refused[] = {
      {"ds_map_add_list", Str("0"), "Invalid list index for value"},
      {"ds_map_add_list", RealValue(7), "Invalid list index for value"},
      {"ds_map_add_map", RealValue(l + 7), "Invalid map index for value"},
      {"ds_map_replace_list", Int32(0), "Invalid list index for value"},
      {"ds_map_replace_map", RealValue(-1), "Invalid map index for value"},
  };
  for (Case& c : refused) {
    EXPECT_EQ(CallReal(c.name, {RealValue(m), Str("x"), c.value}), 0) << c.name;
    EXPECT_EQ(Reported(c.message), 1) << c.name;
  }
  EXPECT_EQ(CallReal("ds_map_exists", {RealValue(m), Str("x")}), 0);

  // Replacing with a list marks it as well: the map owns both lists now.
  const double l2 = List({});
  EXPECT_EQ(CallReal("ds_map_replace_list", {RealValue(m), Str("other"), RealValue(l2)}), 0);
  Call("ds_map_destroy", {RealValue(m)});
  for (auto [index, kind] : {std::pair{l, DS_TYPE_LIST}, {l2, DS_TYPE_LIST}, {inner, DS_TYPE_MAP}, {m, DS_TYPE_MAP}}) {
    EXPECT_EQ(CallReal("ds_exists", {RealValue(index), RealValue(kind)}), 0) << index;
  }
  // A map added to itself is cleared and destroyed without harm.
  const double self = CallReal("ds_map_create");
  Call("ds_map_add_map", {RealValue(self), Str("me"), RealValue(self)});
  Call("ds_map_clear", {RealValue(self)});
  EXPECT_EQ(CallReal("ds_exists", {RealValue(self), RealValue(DS_TYPE_MAP)}), 1);
  Call("ds_map_add_map", {RealValue(self), Str("me"), RealValue(self)});
  Call("ds_map_destroy", {RealValue(self)});
  EXPECT_EQ(CallReal("ds_exists", {RealValue(self), RealValue(DS_TYPE_MAP)}), 0);
  EXPECT_EQ(Reported(kNoStructure), 0);
}

TEST_F(DsFunctionsTest, MapCopyKeepsOnlyTheSourceEntries) {
  const double src = CallReal("ds_map_create");
  const double dst = CallReal("ds_map_create");
  Call("ds_map_add", {RealValue(src), Str("a"), RealValue(1)});
  Call("ds_map_add", {RealValue(src), Str("b"), RealValue(2)});
  Call("ds_map_add", {RealValue(dst), Str("old"), RealValue(3)});
  Call("ds_map_copy", {RealValue(dst), RealValue(src)});
  EXPECT_EQ(CallReal("ds_map_size", {RealValue(dst)}), 2);
  EXPECT_EQ(CallReal("ds_map_exists", {RealValue(dst), Str("old")}), 0);
  EXPECT_EQ(CallText("ds_map_find_first", {RealValue(dst)}), "\"b\"");
  Call("ds_map_copy", {RealValue(src), RealValue(src)});
  EXPECT_EQ(CallReal("ds_map_size", {RealValue(src)}), 2);
}

TEST_F(DsFunctionsTest, PrecisionGovernsFindIndex) {
  const double l = List({1.4, 1});
  EXPECT_EQ(CallReal("ds_list_find_index", {RealValue(l), RealValue(1)}), 1);
  Call("ds_set_precision", {RealValue(0.5)});
  EXPECT_EQ(CallReal("ds_list_find_index", {RealValue(l), RealValue(1)}), 0);
  Call("ds_set_precision", {RealValue(-0.1)});
  EXPECT_EQ(CallReal("ds_list_find_index", {RealValue(l), RealValue(1)}), 1);
  EXPECT_EQ(CallReal("ds_list_find_index", {RealValue(l), Str("1")}), -1);
}

TEST_F(DsFunctionsTest, ListPositions) {
  const double l = CallReal("ds_list_create");
  Call("ds_list_set", {RealValue(l), RealValue(5), Str("x")});
  EXPECT_EQ(CallReal("ds_list_size", {RealValue(l)}), 6);
  EXPECT_EQ(CallText("ds_list_find_value", {RealValue(l), RealValue(4)}), "0");
  EXPECT_EQ(CallText("ds_list_find_value", {RealValue(l), RealValue(6)}), "undefined");
  EXPECT_EQ(CallText("ds_list_find_value", {RealValue(l), RealValue(-1)}), "undefined");
  EXPECT_EQ(CallText("ds_list_find_value", {RealValue(l), Str("5")}), "undefined");

  const double k = List({3, 10, 20});
  EXPECT_EQ(CallText("ds_list_set_post", {RealValue(k), RealValue(0), RealValue(7)}), "3");
  EXPECT_EQ(CallText("ds_list_set_pre", {RealValue(k), RealValue(0), RealValue(8)}), "8");
  EXPECT_EQ(CallText("ds_list_find_value", {RealValue(k), RealValue(1.5)}), "20");
  Call("ds_list_insert", {RealValue(k), RealValue(3), RealValue(30)});  // at count: appends
  Call("ds_list_insert", {RealValue(k), RealValue(5), RealValue(40)});  // past count: nothing
  Call("ds_list_insert", {RealValue(k), RealValue(0), Str("first")});
  Call("ds_list_replace", {RealValue(k), RealValue(9), RealValue(1)});
  Call("ds_list_replace", {RealValue(k), RealValue(1), RealValue(9)});
  Call("ds_list_delete", {RealValue(k), RealValue(2)});
  Call("ds_list_delete", {RealValue(k), RealValue(-1)});
  Call("ds_list_add", {RealValue(k), RealValue(50), RealValue(60)});
  std::string items;
  for (int i = 0; i < CallReal("ds_list_size", {RealValue(k)}); ++i)
    items += CallText("ds_list_find_value", {RealValue(k), RealValue(i)}) + " ";
  EXPECT_EQ(items, "\"first\" 9 20 30 50 60 ");
  EXPECT_EQ(CallReal("ds_list_empty", {RealValue(k)}), 0);
  Call("ds_list_clear", {RealValue(k)});
  EXPECT_EQ(CallReal("ds_list_empty", {RealValue(k)}), 1);
  // set_pre and set_post on a missing list give no value.
  EXPECT_EQ(CallText("ds_list_set_pre", {RealValue(99), RealValue(0), RealValue(8)}), "0");
  EXPECT_EQ(Reported(kNoStructure), 1);
}

TEST_F(DsFunctionsTest, ListMarksSortShuffleAndCopy) {
  const double m = CallReal("ds_map_create");
  const double l = List({m, 5});
  EXPECT_EQ(CallText("ds_list_mark_as_map", {RealValue(l), RealValue(0)}), "0");
  EXPECT_EQ(CallText("ds_list_find_value", {RealValue(l), RealValue(0)}), "0");
  // Outside the list nothing is written.
  EXPECT_EQ(CallText("ds_list_mark_as_list", {RealValue(l), RealValue(2)}), "undefined");
  EXPECT_EQ(CallText("ds_list_mark_as_map", {RealValue(l), RealValue(-1)}), "undefined");
  EXPECT_EQ(CallReal("ds_list_size", {RealValue(l)}), 2);
  const double inner = List({});
  Call("ds_list_add", {RealValue(l), RealValue(inner)});
  Call("ds_list_mark_as_list", {RealValue(l), RealValue(2)});
  Call("ds_list_destroy", {RealValue(l)});
  EXPECT_EQ(CallReal("ds_exists", {RealValue(m), RealValue(DS_TYPE_MAP)}), 0);
  EXPECT_EQ(CallReal("ds_exists", {RealValue(inner), RealValue(DS_TYPE_LIST)}), 0);

  const double s = CallReal("ds_list_create");
  Call("ds_list_add", {RealValue(s), RealValue(2), Str("b"), RealValue(1), Str("a")});
  Call("ds_list_sort", {RealValue(s), RealValue(1)});
  auto items = [&](double list) {
    std::string text;
    for (int i = 0; i < CallReal("ds_list_size", {RealValue(list)}); ++i)
      text += CallText("ds_list_find_value", {RealValue(list), RealValue(i)}) + " ";
    return text;
  };
  EXPECT_EQ(items(s), "1 2 \"a\" \"b\" ");
  Call("ds_list_sort", {RealValue(s), RealValue(0)});
  EXPECT_EQ(items(s), "\"b\" \"a\" 2 1 ");

  const double copy = CallReal("ds_list_create");
  Call("ds_list_copy", {RealValue(copy), RealValue(s)});
  EXPECT_EQ(items(copy), items(s));

  const double shuffled = List({0, 1, 2, 3, 4, 5, 6, 7});
  const double again = List({0, 1, 2, 3, 4, 5, 6, 7});
  SeedRandom(7);
  Call("ds_list_shuffle", {RealValue(shuffled)});
  SeedRandom(7);
  Call("ds_list_shuffle", {RealValue(again)});
  EXPECT_EQ(items(shuffled), items(again));
  EXPECT_NE(items(shuffled), "0 1 2 3 4 5 6 7 ");
  EXPECT_EQ(Reported(kNoStructure), 0);
}

}  // namespace
