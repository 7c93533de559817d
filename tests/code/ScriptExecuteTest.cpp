// Script_Execute: the argument slots around a script run, and the error a failing script leaves.
#include "TreeExecSupport.h"

#include "code/VM_Variables.h"
#include "script/Script_Main.h"

namespace {

using namespace treetest;
using testsupport::Str;

class ScriptExecuteTest : public TreeExecTest {
 protected:
  void SetUp() override {
    TreeExecTest::SetUp();
    AddScripts({
        {"scr_sum", "return argument0 + argument1 + argument2"},
        {"scr_edit", "argument0 += \"!\"; argument5 = \"kept nowhere\"; return argument0"},
        {"scr_first", "return argument0[0]"},
        {"scr_count", "return argument_count"},
        {"scr_last", "return argument15"},
        {"scr_bad", "var v; return v"},
    });
  }
  // Runs script `name` with the arguments; answers the result's text and whether it ran.
  std::pair<bool, std::string> Call(const char* name, std::vector<ScriptValue> args) {
    ScriptValue result{};
    const bool ok = Script_Execute(Script_FindByName(name), &m_self, &m_other, static_cast<int32_t>(args.size()),
                                   &result, args.data());
    const std::string text = Describe(result);
    ReleaseValue(&result);
    for (ScriptValue& a : args) ReleaseValue(&a);
    return {ok, text};
  }
};

TEST_F(ScriptExecuteTest, TheCallersSlotsComeBackAndUnusedOnesReadZero) {
  for (int32_t i = 0; i < kArgumentSlotCount; ++i) *VM_ArgumentSlotToWrite(i) = RealValue(100 + i);
  g_VM.argumentCount = 16;
  EXPECT_EQ(Call("scr_sum", {RealValue(1), RealValue(2)}), std::make_pair(true, std::string("3")));
  EXPECT_EQ(Call("scr_count", {RealValue(1), RealValue(2)}).second, "2");
  for (int32_t i = 0; i < kArgumentSlotCount; ++i) EXPECT_EQ(g_VM.argumentSlots[i].real, 100 + i);
  EXPECT_EQ(g_VM.argumentCount, 16);
  for (ScriptValue& slot : g_VM.argumentSlots) ReleaseValue(&slot);
  g_VM.argumentCount = 0;
}

TEST_F(ScriptExecuteTest, TextsAreCopiedAndArraysShared) {
  ScriptValue text = Str("hi");
  EXPECT_EQ(Call("scr_edit", {text}).second, "\"hi!\"");  // `text` is released by Call
  ScriptValue caller = Str("mine");
  ScriptValue edited{};
  ASSERT_TRUE(Script_Execute(Script_FindByName("scr_edit"), &m_self, &m_other, 1, &edited, &caller));
  EXPECT_STREQ(caller.str, "mine");
  ReleaseValue(&edited);
  ReleaseValue(&caller);

  ScriptValue array{};
  const ScriptValue five = RealValue(5);
  SetValueElement(&array, &five, 0);
  ASSERT_EQ(array.Kind(), VALUE_ARRAY);
  const int32_t references = array.arr->refCount;
  ScriptValue result{};
  ASSERT_TRUE(Script_Execute(Script_FindByName("scr_first"), &m_self, &m_other, 1, &result, &array));
  EXPECT_EQ(Describe(result), "5");
  EXPECT_EQ(array.arr->refCount, references);
  ReleaseValue(&result);
  ReleaseValue(&array);
}

TEST_F(ScriptExecuteTest, MoreThanSixteenArgumentsKeepTheFirstSixteen) {
  std::vector<ScriptValue> args;
  for (int32_t i = 0; i < 20; ++i) args.push_back(Str(std::to_string(i).c_str()));
  EXPECT_EQ(Call("scr_last", args).second, "\"15\"");
  args.clear();
  for (int32_t i = 0; i < 20; ++i) args.push_back(RealValue(i));
  EXPECT_EQ(Call("scr_count", args).second, "16");
}

TEST_F(ScriptExecuteTest, AFailingScriptNamesItselfInTheError) {
  const auto [ok, text] = Call("scr_bad", {});
  EXPECT_FALSE(ok);
  EXPECT_EQ(text, "\"ERROR\"");
  ASSERT_NE(Code_GetLastError(), nullptr);
  EXPECT_EQ(std::string(Code_GetLastError()).rfind("In script scr_bad:\nError in code at line 1:", 0), 0u)
      << Code_GetLastError();
  // No script there: nothing runs.
  ScriptValue result{};
  EXPECT_FALSE(Script_Execute(-1, nullptr, nullptr, 0, &result, nullptr));
  EXPECT_FALSE(Script_Execute(Script_Count(), nullptr, nullptr, 0, &result, nullptr));
}

}  // namespace
