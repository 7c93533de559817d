// External library functions: defining functions of a shared library found in the game folder
// or the save area, calling them with script values, and unloading the library.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "extension/Extension_Main.h"
#include "extension/Support_DLL.h"
#include "os/OS_Paths.h"
#include "platform/MemoryManager.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"
#include "variable/ScriptValue.h"

namespace {

using testsupport::EnvOverride;
using testsupport::Str;
using testsupport::TempDir;

// A game in a temporary folder (game/) with the fixture library as game/fixture.so, and its save
// area in data/runner/save/. The runtime is reset around each test (RuntimeTest); the loaded
// libraries are the fixture's to free.
class ExternalFunctionsTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    std::filesystem::create_directories(m_dir.path() / "game");
    std::filesystem::create_directories(m_dir.path() / "data" / "runner" / "save");
    std::filesystem::copy_file(EXTERNAL_FIXTURE, m_dir.path() / "game" / "fixture.so");
    m_home.emplace("HOME", m_dir.path().c_str());
    m_data.emplace("XDG_DATA_HOME", (m_dir.path() / "data").c_str());
    SetGameFilePath((m_dir.path() / "game" / "data.win").c_str());
    SetWorkingDirectory(((m_dir.path() / "game").string() + "/").c_str());  // as the game loader derives it
    SetSaveAreaGameInfo("save", 0);
  }
  void TearDown() override {
    DLL_FreeAll();
    RuntimeTest::TearDown();
  }

  // Calls definition `id` and answers the result; the arguments are released.
  ScriptValue CallWith(int32_t id, std::vector<ScriptValue> args) {
    ScriptValue result{};
    result.real = 99;  // the call overwrites whatever is there
    DLL_Call(id, static_cast<int32_t>(args.size()), args.data(), &result);
    for (ScriptValue& v : args) ReleaseValue(&v);
    return result;
  }
  double CallReal(int32_t id, std::vector<ScriptValue> args) {
    ScriptValue r = CallWith(id, std::move(args));
    EXPECT_EQ(r.Kind(), VALUE_REAL);
    return r.Kind() == VALUE_REAL ? r.real : -12345.0;
  }
  std::string CallText(int32_t id, std::vector<ScriptValue> args) {
    ScriptValue r = CallWith(id, std::move(args));
    EXPECT_EQ(r.Kind(), VALUE_STRING);
    const std::string text = r.Kind() == VALUE_STRING && r.str != nullptr ? r.str : "<no text>";
    ReleaseValue(&r);
    return text;
  }
  int32_t Define(const char* path, const char* name, std::vector<int32_t> kinds, bool stringResult) {
    return DLL_Define(path, name, 0, static_cast<int32_t>(kinds.size()), kinds.data(), stringResult ? 1 : 0);
  }

  TempDir m_dir;
  std::optional<EnvOverride> m_home;
  std::optional<EnvOverride> m_data;
};

TEST_F(ExternalFunctionsTest, CallsFunctionsOfRealAndStringArgumentsAndResults) {
  const int32_t add = Define("fixture.so", "fixture_add", {0, 0}, false);
  const int32_t length = Define("fixture.so", "fixture_length", {1}, false);
  const int32_t label = Define("fixture.so", "fixture_label", {1, 0}, true);
  const int32_t mixed = Define("fixture.so", "fixture_mixed", {0, 1, 0, 1}, true);
  const int32_t none = Define("fixture.so", "fixture_null", {}, true);
  const int32_t five = Define("fixture.so", "fixture_five", {0, 0, 0, 0, 0}, true);
  const int32_t sum16 = Define("fixture.so", "fixture_sum16", std::vector<int32_t>(16, 0), false);
  for (int32_t id : {add, length, label, mixed, none, five, sum16}) ASSERT_GE(id, 0);

  EXPECT_EQ(CallReal(add, {RealValue(1.5), RealValue(2.25)}), 3.75);
  EXPECT_EQ(CallReal(length, {Str("h\xC3\xA9llo")}), 6.0);  // bytes of the UTF-8 text
  EXPECT_EQ(CallText(label, {Str("score"), RealValue(12.5)}), "score:12.5");
  EXPECT_EQ(CallText(mixed, {RealValue(1), Str("b"), RealValue(3), Str("d")}), "1|b|3|d");
  EXPECT_EQ(CallText(five, {RealValue(1), RealValue(2), RealValue(3), RealValue(4), RealValue(5)}), "1 2 3 4 5");
  std::vector<ScriptValue> sixteen;
  double expected = 0;
  for (int i = 1; i <= 16; ++i) {
    sixteen.push_back(RealValue(i * 0.5));
    expected += i * (i * 0.5);
  }
  EXPECT_EQ(CallReal(sum16, std::move(sixteen)), expected);

  // A null text answered is a string without text.
  ScriptValue r = CallWith(none, {});
  EXPECT_EQ(r.Kind(), VALUE_STRING);
  EXPECT_EQ(r.str, nullptr);
}

TEST_F(ExternalFunctionsTest, ArgumentsOfAnotherKindAreConvertedNotPassedAsRawBits) {
  const int32_t length = Define("fixture.so", "fixture_length", {1}, false);
  const int32_t add = Define("fixture.so", "fixture_add", {0, 0}, false);
  ScriptValue i32{};
  i32.i32 = 7;
  i32.kind = VALUE_INT32;
  ScriptValue i64{};
  i64.i64 = 1000000000000;
  i64.kind = VALUE_INT64;
  ScriptValue undefined{};
  SetUndefined(&undefined);

  EXPECT_EQ(CallReal(length, {RealValue(123)}), 0.0);   // a real where a text is wanted: ""
  EXPECT_EQ(CallReal(length, {Str(nullptr)}), 0.0);     // a string without text: ""
  EXPECT_EQ(CallReal(add, {i32, i64}), 1000000000007.0);
  EXPECT_EQ(CallReal(add, {Str("5"), undefined}), 0.0);  // neither is a number
}

TEST_F(ExternalFunctionsTest, FindsLibrariesOnlyInTheGameFolderAndTheSaveArea) {
  std::filesystem::copy_file(EXTERNAL_FIXTURE, m_dir.path() / "data" / "runner" / "save" / "saved.so");
  std::filesystem::copy_file(EXTERNAL_FIXTURE, m_dir.path() / "outside.so");
  const std::string absolute = (m_dir.path() / "game" / "fixture.so").string();
  struct Case {
    const char* path;
    bool found;
    const char* why;
  };
  const Case cases[] = {
      {"fixture.so", true, "in the game folder"},
      {"fixture.dll", true, "a .dll name is also tried as .so"},
      {"FIXTURE.DLL", true, "the game folder is searched ignoring case"},
      {absolute.c_str(), true, "an absolute path inside the game folder"},
      {"saved.dll", true, "in the save area"},
      {"missing.dll", false, "no such library"},
      {"../outside.so", false, "outside the game's folders"},
      {EXTERNAL_FIXTURE, false, "outside the game's folders"},
      {"libc.so.6", false, "a system library is not a game file"},
  };
  for (const Case& c : cases) {
    const int32_t id = Define(c.path, "fixture_add", {0, 0}, false);
    EXPECT_EQ(id >= 0, c.found) << c.path << ": " << c.why;
    if (id >= 0) {
      EXPECT_EQ(CallReal(id, {RealValue(2), RealValue(3)}), 5.0) << c.path;
    }
  }
}

TEST_F(ExternalFunctionsTest, RefusedDefinitionsAddNothing) {
  const int32_t strings5[] = {0, 0, 1, 0, 0};
  const int32_t reals17[17] = {};
  const int32_t before = DLL_DefinitionCount();
  EXPECT_EQ(DLL_Define("fixture.so", "no_such_function", 0, 0, nullptr, 0), -1);
  EXPECT_EQ(DLL_Define("fixture.so", "fixture_five", 0, 5, strings5, 1), -1);  // a string among 5
  EXPECT_EQ(DLL_Define("fixture.so", "fixture_sum16", 0, 17, reals17, 0), -1);
  EXPECT_EQ(DLL_Define(nullptr, "fixture_add", 0, 0, nullptr, 0), -1);
  EXPECT_EQ(DLL_Define("fixture.so", nullptr, 0, 0, nullptr, 0), -1);
  EXPECT_EQ(DLL_DefinitionCount(), before);
}

TEST_F(ExternalFunctionsTest, CallsThatCannotBeMadeAnswerRealZeroAndRunNothing) {
  const int32_t add = Define("fixture.so", "fixture_add", {0, 0}, false);
  const int32_t calls = Define("fixture.so", "fixture_calls", {}, false);
  const int32_t label = Define("fixture.so", "fixture_label", {1, 0}, true);

  EXPECT_EQ(CallReal(add, {RealValue(1)}), 0.0);                              // one argument short
  EXPECT_EQ(CallReal(add, {RealValue(1), RealValue(2), RealValue(3)}), 0.0);  // one too many
  EXPECT_EQ(CallReal(calls + 100, {}), 0.0);                      // no such definition
  EXPECT_EQ(CallReal(-1, {}), 0.0);
  g_Extensions.ExternalCallsOff = true;
  EXPECT_EQ(CallReal(add, {RealValue(1), RealValue(2)}), 0.0);
  EXPECT_EQ(CallReal(label, {Str("a"), RealValue(1)}), 0.0);  // real 0, even for a text result
  g_Extensions.ExternalCallsOff = false;
  EXPECT_EQ(CallReal(calls, {}), 0.0);  // none of the above ran the library's code
}

TEST_F(ExternalFunctionsTest, DefinitionsOfOneLibraryShareItUntilItIsFreed) {
  const int32_t add = Define("fixture.so", "fixture_add", {0, 0}, false);
  const int32_t calls = Define("fixture.so", "fixture_calls", {}, false);
  CallReal(add, {RealValue(1), RealValue(1)});
  CallReal(add, {RealValue(1), RealValue(1)});
  EXPECT_EQ(CallReal(calls, {}), 2.0);  // the same loaded library counted both calls

  // Only the name as given or as resolved frees it; another spelling frees nothing.
  DLL_Free("FIXTURE.so");
  DLL_Free("other.so");
  EXPECT_EQ(CallReal(calls, {}), 2.0);
  DLL_Free("fixture.so");
  EXPECT_EQ(CallReal(add, {RealValue(1), RealValue(1)}), 0.0);
  EXPECT_EQ(CallReal(calls, {}), 0.0);

  // Defining again loads the library afresh; the old definitions stay unloaded.
  const int32_t again = Define("fixture.so", "fixture_calls", {}, false);
  ASSERT_GE(again, 0);
  EXPECT_EQ(CallReal(again, {}), 0.0);
  EXPECT_EQ(CallReal(Define("fixture.so", "fixture_add", {0, 0}, false), {RealValue(2), RealValue(2)}), 4.0);
  EXPECT_EQ(CallReal(again, {}), 1.0);
  EXPECT_EQ(CallReal(add, {RealValue(1), RealValue(1)}), 0.0);

  // The resolved path frees it too.
  DLL_Free((m_dir.path() / "game" / "fixture.so").c_str());
  EXPECT_EQ(CallReal(again, {}), 0.0);
}

}  // namespace
