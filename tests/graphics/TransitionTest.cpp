// Room transitions: the step count, defining transitions and which kinds exist.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/VCL.h"
#include "code/Code_Function.h"
#include "graphics/Graphics_Transition.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

namespace {

void Wipe(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) {}

class TransitionTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    m_old = DebugConsole;
    DebugConsole = &m_console;
  }
  void TearDown() override {
    DebugConsole = m_old;
    RuntimeTest::TearDown();
  }
  testsupport::RecordingConsole m_console;
  tagIConsole* m_old = nullptr;
};

TEST_F(TransitionTest, StepsBelowOneReadOne) {
  EXPECT_EQ(GR_Transition_GetSteps(), 80);
  for (const auto& c : {std::pair{0, 1}, std::pair{-7, 1}, std::pair{1, 1}, std::pair{30, 30}}) {
    GR_Transition_SetSteps(c.first);
    EXPECT_EQ(GR_Transition_GetSteps(), c.second) << c.first;
  }
}

TEST_F(TransitionTest, OnlyTheBuiltinKindsExist) {
  for (int32_t kind : {1, 10, 21}) EXPECT_TRUE(GR_Transition_Exists(kind)) << kind;
  EXPECT_TRUE(m_console.lines.empty());
  for (int32_t kind : {0, 22, -1}) EXPECT_FALSE(GR_Transition_Exists(kind)) << kind;
  EXPECT_EQ(m_console.lines, std::vector<std::string>(3, "TransFunctionExists()\n"));
}

TEST_F(TransitionTest, DefiningAKnownFunctionAnswersTrueYetTheKindStillDoesNotExist) {
  RegisterBuiltinFunction("scr_wipe", Wipe, 0);
  int32_t call = -1;
  ASSERT_TRUE(FindFunctionIndex("scr_wipe", &call));
  EXPECT_TRUE(GR_Transition_Define(5, "scr_wipe", call));
  ASSERT_EQ(g_Transitions.defined.count(5), 1u);
  EXPECT_EQ(g_Transitions.defined[5].callNumber, call);
  EXPECT_EQ(g_Transitions.defined[5].name, "scr_wipe");
  // Redefining replaces the name.
  EXPECT_TRUE(GR_Transition_Define(5, "script_execute", 499999));
  EXPECT_EQ(g_Transitions.defined[5].name, "script_execute");
  EXPECT_FALSE(GR_Transition_Exists(5));
  EXPECT_EQ(m_console.lines, std::vector<std::string>{"TransFunctionExists()\n"});
  // Kinds outside 1..999999 answer true and are not kept; unknown names answer false.
  EXPECT_TRUE(GR_Transition_Define(0, "scr_wipe", call));
  EXPECT_TRUE(GR_Transition_Define(1000000, "scr_wipe", call));
  EXPECT_EQ(g_Transitions.defined.size(), 1u);
  EXPECT_FALSE(FindFunctionIndex("no_such_function", &call));
  EXPECT_FALSE(GR_Transition_Define(7, "no_such_function", call));
  EXPECT_FALSE(GR_Transition_Define(7, "", 3));
  EXPECT_FALSE(GR_Transition_Define(7, nullptr, 3));
  EXPECT_EQ(g_Transitions.defined.count(7), 0u);
}

}  // namespace
