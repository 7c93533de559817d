// The tree interpreter: script text compiled into a code tree and run through Code_Execute with
// the virtual machine switched off. Results, console lines and recorded errors are checked from
// tables of source texts.
#include <gmock/gmock.h>
#include <string>
#include <vector>

#include "option/Option_Main.h"
#include "testlib/TestHelpers.h"
#include "TreeExecSupport.h"
#include "run/Run_Global.h"
#include "code/Code_TreeExec.h"
#include "code/Code_Tree.h"

namespace {

using namespace treetest;

struct ValueCase {
  std::string source;
  std::string value;  // Describe() of the result
  std::string console;
};

struct ErrorCase {
  const char* source;  // '@' marks the expected error position
  const char* message;
};

class TreeExec : public TreeExecTest {
 protected:
  void ExpectValues(const std::vector<ValueCase>& cases) {
    for (const ValueCase& c : cases) {
      const Outcome o = Run(c.source);
      EXPECT_TRUE(o.ok) << c.source << "\n" << o.errorText;
      EXPECT_EQ(o.value, c.value) << c.source;
      EXPECT_EQ(o.console, c.console) << c.source;
    }
  }
  void ExpectErrors(const std::vector<ErrorCase>& cases) {
    for (const ErrorCase& c : cases) {
      std::string source;
      const int32_t mark = ErrorMark(c.source, &source);
      const Outcome o = Run(c.source);
      EXPECT_FALSE(o.ok) << source;
      EXPECT_EQ(o.error, c.message) << source;
      EXPECT_EQ(o.errorOffset, mark) << source << "\n" << o.errorText;
    }
  }
};

// ---- What a program leaves in the result value ----

TEST_F(TreeExec, TheResultHoldsWhatTheLastStatementLeft) {
  ExpectValues({
      {"return 5", "5", ""},
      {"", "undefined", ""},
      {"x = 3", "3", ""},
      {"x = 3; exit", "undefined", ""},
      {"print(\"a\")", "0", "a\n"},
      {"return \"abc\"", "\"abc\"", ""},
      {"return 5; x = 1", "5", ""},
      {"x = 1; x += 2; x *= 3; x -= 1; x /= 2; return x", "4", ""},
      {"x = 6; x |= 1; x &= 3; x ^= 1; return x", "2", ""},
      {"s = \"ab\"; s += \"c\"; s = \"ab\"; return s", "\"ab\"", ""},
      {"{ x = 1; { y = 2 } }", "2", ""},
  });
  EXPECT_EQ(m_self.i_variables->Exists(GetVariableId("x")), true);
}

TEST_F(TreeExec, AnEmptyStringConstantGivesAStringWithNoText) {
  const Outcome empty = Run("return \"\"");
  EXPECT_TRUE(empty.nullText);
  const Outcome text = Run("return \"a\"");
  EXPECT_FALSE(text.nullText);
  EXPECT_EQ(text.value, "\"a\"");
}

TEST_F(TreeExec, ExitReturnBreakAndContinueEndTheProgramSuccessfully) {
  for (const char* source : {"x = 1; exit; x = 2", "x = 1; break; x = 2", "x = 1; continue; x = 2",
                             "x = 1; return 0; x = 2"}) {
    const Outcome o = Run(source);
    EXPECT_TRUE(o.ok) << source;
    EXPECT_EQ(InstanceVariable(&m_self, "x"), "1") << source;
  }
}

// ---- Conditions and loops ----

TEST_F(TreeExec, ConditionsOfIfsAndLoopsAreTestedDifferently) {
  ExpectValues({
      // An if needs more than 0.5; a NaN is false.
      {"if (0.5) r = 1 else r = 2; return r", "2", ""},
      {"if (0.51) r = 1 else r = 2; return r", "1", ""},
      {"if (nan()) r = 1 else r = 2; return r", "2", ""},
      {"r = 3; if (0) r = 1; return r", "3", ""},
      // Loops test in single precision from 0.5 up; a NaN keeps them going.
      {"n = 0; while (0.5) { n += 1; if (n >= 3) break } return n", "3", ""},
      {"n = 0; while (0.49999999999) { n += 1; break } return n", "1", ""},
      {"n = 0; while (0.4999) { n += 1; break } return n", "0", ""},
      {"n = 0; while (nan()) { n += 1; if (n >= 3) break } return n", "3", ""},
      {"n = 0; do n += 1 until (0.5); return n", "1", ""},
      {"n = 0; do { n += 1; if (n >= 3) break } until (0.4); return n", "3", ""},
      {"n = 0; for (i = 0; 0.5; i += 1) { n += 1; if (n >= 2) break } return n", "2", ""},
  });
}

TEST_F(TreeExec, RepeatRoundsItsCountOnceHalvesToEven) {
  ExpectValues({
      {"n = 0; repeat (2.5) n += 1; return n", "2", ""},
      {"n = 0; repeat (3.5) n += 1; return n", "4", ""},
      {"n = 0; repeat (-1) n += 1; return n", "0", ""},
      {"n = 0; repeat (0.4) n += 1; return n", "0", ""},
      {"c = 3; n = 0; repeat (c) { n += 1; c = 10 } return n", "3", ""},
      {"n = 0; repeat (5) { n += 1; if (n == 2) break } return n", "2", ""},
      {"n = 0; repeat (3) { n += 1; continue; n += 10 } return n", "3", ""},
  });
}

TEST_F(TreeExec, LoopsRunTheirPartsInOrder) {
  ExpectValues({
      {"s = 0; for (i = 0; i < 5; i += 1) { if (i == 1) continue; if (i == 3) break; s += i } return s", "2", ""},
      {"i = 9; for (i = 0; i < 3; i += 1) {} return i", "3", ""},
      {"for (i = 0; i < 2; i += 1) print(i)", "0", "0\n1\n"},
      {"i = 0; while (i < 3) { i += 1; if (i == 2) continue; print(i) }", "0", "1\n3\n"},
      {"i = 0; do { i += 1; if (i == 2) continue; print(i) } until (i >= 3)", "0", "1\n3\n"},
      {"n = 0; repeat (2) { repeat (3) { n += 1; break } } return n", "2", ""},
      {"repeat (3) { exit } print(1)", "undefined", ""},
  });
}

// ---- Variables ----

TEST_F(TreeExec, VariablesResolveTheirTargets) {
  ExpectValues({
      {"a[2] = 7; return a[2]", "7", ""},
      {"a[1, 2] = 5; return a[1, 2]", "5", ""},
      {"var v; v = 3; return v", "3", ""},
      {"self.x = 4; return x", "4", ""},
      {"other.y = 5; return other.y", "5", ""},
      {"globalvar gg; gg = 4; return global.gg", "4", ""},
      {"global.g = 2; return g", "0", ""},  // not declared: g is self's
      {"return zz", "0", ""},
      {"return ro", "7", ""},
  });
  EXPECT_EQ(InstanceVariable(&m_other, "y"), "5");
  EXPECT_EQ(GlobalVariable("gg"), "4");
  // Two indexes encode as row * 32,000 + column.
  EXPECT_EQ(InstanceVariable(&m_self, "a", 1 * 32000 + 2), "5");
  // A declared global stays global for later code.
  EXPECT_EQ(Run("gg = 9; return gg").value, "9");
  EXPECT_EQ(GlobalVariable("gg"), "9");
  EXPECT_EQ(InstanceVariable(&m_self, "gg"), "0");
}

TEST_F(TreeExec, TheUninitialisedVariableOptionDecidesFailedReads) {
  // Off: an instance's unset variable reads 0, while a missing local is an error.
  EXPECT_EQ(Run("x += 1; return x").value, "1");
  EXPECT_EQ(Run("return nothing").value, "0");
  EXPECT_EQ(Run("var v; return v").error, "Unknown variable v");

  g_Options.uninitialisedVariables = true;
  ExpectValues({
      {"return zz", "0", ""},
      {"z += 1; return z", "0", ""},
      {"var v; v += 1; return v", "0", ""},
      {"var v; return v", "0", ""},
      {"a[1] = 1; return a[5]", "0", ""},
      {"return noone.x", "0", ""},
  });
  // A compound assignment to a variable that cannot be read stores nothing.
  EXPECT_FALSE(m_self.i_variables->Exists(GetVariableId("z")));
}

// ---- Switch ----

TEST_F(TreeExec, SwitchMatchesLabelsAndFallsThrough) {
  ExpectValues({
      {"s = \"\"; switch (2) { case 1: s += \"1\"; case 2: s += \"2\"; case 3: s += \"3\"; break; case 4: s += \"4\" } return s",
       "\"23\"", ""},
      {"s = \"\"; switch (3) { default: s += \"d\"; case 3: s += \"3\" } return s", "\"d3\"", ""},
      {"s = \"\"; switch (1) { case 1: s += \"1\"; default: s += \"d\" } return s", "\"1d\"", ""},
      {"s = \"n\"; switch (5) { case 1: s = \"1\" } return s", "\"n\"", ""},
      {"s = \"n\"; switch (1) { case \"1\": s = \"text\" } return s", "\"n\"", ""},
      {"s = \"n\"; switch (\"b\") { case \"a\": s = \"a\"; break; case \"b\": s = \"b\"; break } return s", "\"b\"", ""},
      {"s = \"n\"; switch (\"\") { case \"\": s = \"e\" } return s", "\"e\"", ""},
      {"k = 2; s = \"n\"; switch (2) { case k: s = \"k\" } return s", "\"k\"", ""},
      {"s = \"n\"; switch (nan()) { case nan(): s = \"nan\" } return s", "\"n\"", ""},
      {"n = 0; for (i = 0; i < 3; i += 1) { switch (i) { case 1: continue } n += 1 } return n", "2", ""},
      {"switch (1) { case 1: return 9 } return 0", "9", ""},
      // A label whose evaluation fails is skipped.
      {"var v; s = \"n\"; switch (1) { case v: s = \"v\"; break; case 1: s = \"1\" } return s", "\"1\"", ""},
  });
}

// ---- Errors ----

TEST_F(TreeExec, ErrorsAreRecordedAtTheNodeConcerned) {
  ExpectErrors({
      {"repeat (\"@a\") x = 1", "Repeat count must be a number"},  // a text starts after its quote
      {"a[@32000] = 1", "Array index >= 32000"},
      {"a[@-1] = 1", "Negative array index"},
      {"a[\"@x\"] = 1", "Wrong type of array index"},
      {"a[1, @32000] = 1", "Array index >= 32000"},
      {"a[0] = 1; return a[0, @-2]", "Negative array index"},
      {"return a[@10000000000]", "Array index >= 32000"},
      {"s = \"i\"; @s.x = 1", "Wrong type of variable index"},
      {"var v; return @v", "Unknown variable v"},
      {"var v; return @v[3]", "Unknown variable v or array index out of bounds"},
      {"var v; return @v[0]", "Unknown variable v"},
      {"var v; return @v[0, 0]", "Unknown variable v"},
      {"a[1] = 1; return @a[5]", "Unknown variable a or array index out of bounds"},
      {"var v; @v += 1", "Unknown variable v"},
      {"@ro = 1", "Cannot assign to the variable"},
      {"noone.@x = 1", "Cannot assign to the variable"},
      {"return noone.@x", "Unknown variable x"},
      {"s = \"a\"; if (@s) x = 1", "Expression expected"},
      {"s = \"a\"; while (@s) x = 1", "bool expression expected"},
      {"s = \"a\"; do x = 1 until (@s)", "bool expression expected"},
      {"s = \"a\"; for (i = 0; @s; i += 1) x = 1", "Expression expected"},
      {"s = \"a\"; with (@s) x = 1", "Object id expected"},
      {"@with (local) x = 1", "Cannot use local in with statement."},
      {"@with (global) x = 1", "Cannot use global in with statement."},
      {"@case 1: x = 1", "Case statement only allowed inside switch statement."},
      {"s = 1; @case s: x = 1", "Case statement only allowed inside switch statement."},
      {"@default: x = 1", "Default statement only allowed inside switch statement."},
      {"s = \"a\"; x = 1 + @s", "Wrong type of arguments to +."},
      {"s = \"a\"; x = -@s", "Wrong type of arguments to unary operator."},
      {"s = \"a\"; x = 1; @x -= s", "Wrong type of arguments to -."},
      {"s = \"ab\"; x = 2000000000 * @s", "DoMul :: Execution Error - repeated text too long"},
      {"repeat (3) { if (1) { var v; x = @v } }", "Unknown variable v"},
      // An error met while a case label was tried does not hide a later one.
      {"var v; switch (1) { case v: x = 1 } var w; return @w", "Unknown variable w"},
  });
}

TEST_F(TreeExec, AnErrorStopsEverythingAfterIt) {
  const Outcome o = Run("print(1); repeat (2) { var v; print(2); x = v; print(3) } print(4)");
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.console, "1\n2\n");
}

// Trees the compiler never makes: a root that is not a program, a statement or an expression
// node of the wrong kind.
TEST_F(TreeExec, NodesOfTheWrongKindAreErrors) {
  CCode code("0123456789", false);
  struct Case {
    int32_t rootKind, childKind, grandchildKind;
    const char* message;
  };
  for (const Case& c : {Case{NODE_CONSTANT, 0, 0, "This is not a program."},
                        Case{NODE_BLOCK, NODE_CONSTANT, 0, "Statement expected."},
                        Case{NODE_BLOCK, NODE_RETURN, NODE_IF, "(Sub-)expression expected."}}) {
    CodeNode* root = CodeNode_New();
    root->kind = c.rootKind;
    root->position = 1;
    if (c.childKind != 0) {
      CodeNode* child = CodeNode_AddChild(root, 4);
      child->kind = c.childKind;
      if (c.grandchildKind != 0) CodeNode_AddChild(child, 7)->kind = c.grandchildKind;
    }
    Code_ClearErrorFlag();
    TreeExecContext context{&m_self, &m_other, nullptr, &code};
    ScriptValue result{};
    EXPECT_EQ(TreeExecProgram(&context, root, &result), TREE_FAILED) << c.message;
    const std::string text = Code_GetLastError();
    const int32_t position = c.grandchildKind != 0 ? 8 : c.childKind != 0 ? 5 : 2;
    EXPECT_EQ(text.substr(text.rfind("at position")),
              "at position " + std::to_string(position) + ": " + c.message);
    ReleaseValue(&result);
    CodeNode_Delete(root);
  }
  Code_ClearErrorFlag();
}

// ---- Expression entries ----

TEST_F(TreeExec, ExpressionEntriesEvaluateTheirTree) {
  ScriptValue twenty{};
  SetReal(&twenty, 21);
  SetInstanceVariable(&m_self, GetVariableId("x"), kWholeValueIndex, &twenty);
  CCode expression("x * 2", true);
  ASSERT_TRUE(expression.Compile("expr"));
  ScriptValue result{};
  EXPECT_TRUE(Code_Execute(&m_self, &m_other, &expression, &result));
  EXPECT_EQ(Describe(result), "42");

  CCode failing("x + \"a\"", true);
  ASSERT_TRUE(failing.Compile("expr"));
  EXPECT_FALSE(Code_Execute(&m_self, &m_other, &failing, &result));
  EXPECT_EQ(std::string(Code_GetLastError()), "Error in expression: x + \"a\"\n position 6: Wrong type of arguments to +.");
  ReleaseValue(&result);
  Code_ClearErrorFlag();
}

// ---- With ----

class TreeExecWith : public TreeExec {
 protected:
  void SetUp() override {
    TreeExec::SetUp();
    m_parent = testsupport::AddObject(-1);
    m_child = testsupport::AddObject(m_parent);
    m_unrelated = testsupport::AddObject(-1);
    m_a = AddInstance(m_parent);
    m_b = AddInstance(m_child);
    m_c = AddInstance(m_unrelated);
    int n = 1;
    for (CInstance* i : {m_a, m_b, m_c}) {
      ScriptValue v{};
      SetReal(&v, n++);
      SetInstanceVariable(i, GetVariableId("v"), kWholeValueIndex, &v);
    }
  }
  std::string Ids(std::initializer_list<CInstance*> instances, const char* suffix = "") {
    std::string text;
    for (CInstance* i : instances) text += std::to_string(i->i_id) + suffix + "\n";
    return text;
  }
  int32_t m_parent = -1, m_child = -1, m_unrelated = -1;
  CInstance *m_a = nullptr, *m_b = nullptr, *m_c = nullptr;
};

TEST_F(TreeExecWith, TheSelectorChoosesTheInstances) {
  const std::string a = std::to_string(m_a->i_id), b = std::to_string(m_b->i_id);
  const std::string parent = std::to_string(m_parent), child = std::to_string(m_child);
  ExpectValues({
      {"with (all) print(id, other.id)", "0", Ids({m_a, m_b, m_c}, " 1")},
      {"with (" + parent + ") print(id)", "0", Ids({m_a, m_b})},
      {"with (" + child + ") print(id)", "0", Ids({m_b})},
      {"with (noone) print(id)", "undefined", ""},
      {"with (99) print(id)", "undefined", ""},
      {"with (-8) print(id)", "undefined", ""},
      {"with (self) print(id, other.id)", "0", "1 1\n"},
      {"with (other) print(id, other.id)", "0", "2 1\n"},
      {"with (" + b + ") print(id, other.id)", "0", b + " 1\n"},
      {"with (123456) print(id)", "undefined", ""},
      // Self and other come back after the body; a nested with sees the outer body's self.
      {"with (" + a + ") with (other) print(id, other.id); print(id, other.id)", "0",
       "1 " + a + "\n1 2\n"},
  });
}

TEST_F(TreeExecWith, MarkedAndDeactivatedInstancesAreLeftOut) {
  m_a->i_marked = 1;
  m_c->i_deactivated = 1;
  EXPECT_EQ(Run("with (all) print(id)").console, Ids({m_b}));
  EXPECT_EQ(Run("with (" + std::to_string(m_a->i_id) + ") print(id)").console, "");
  m_b->i_deactivated = 1;
  EXPECT_EQ(Run("with (" + std::to_string(m_parent) + ") print(id)").console, "");
}

TEST_F(TreeExecWith, BreakStopsAtTheInstanceAndContinueGoesOn) {
  ExpectValues({
      {"with (all) { print(id); if (v == 2) break } print(\"after\", id, other.id)", "0",
       Ids({m_a, m_b}) + "after 1 2\n"},
      {"with (all) { if (v == 2) continue; print(id) }", "0", Ids({m_a, m_c})},
      {"with (all) { if (v == 2) return id } return 0", std::to_string(m_b->i_id), ""},
      // After a single instance a continue ends only the with.
      {"repeat (2) { with (self) continue; print(\"x\") }", "0", "x\nx\n"},
  });
}

// ---- Calls ----

class TreeExecCalls : public TreeExec {
 protected:
  void SetUp() override {
    TreeExec::SetUp();
    AddScripts({
        {"scr_add", "return argument0 + argument1"},
        {"scr_count", "return argument_count"},
        {"scr_outer", "a = scr_add(argument0, 10); return a + argument0"},
        {"scr_local", "var v; v = 99; return v"},
        {"scr_fact", "if (argument0 <= 1) return 1; return argument0 * scr_fact(argument0 - 1)"},
        {"scr_self", "return id"},
        {"scr_last", "x = 41"},
        {"scr_bad", "var v; return v"},
        {"scr_rec", "return scr_rec()"},
        {"scr_none", ""},
        {"scr_second", "return argument[1]"},
        {"scr_third", "return argument[2]"},
    });
    // A script without a code entry.
    Script_Add("scr_empty");
  }
};

TEST_F(TreeExecCalls, ScriptsGetTheirArgumentsAndGiveBackTheirResult) {
  ExpectValues({
      {"return scr_add(2, 3)", "5", ""},
      {"return scr_count(1, 2, 3)", "3", ""},
      {"return scr_outer(1)", "12", ""},
      {"var v; v = 1; scr_local(); return v", "1", ""},
      {"return scr_fact(5)", "120", ""},
      {"return scr_self()", "1", ""},
      {"with (other) return scr_self()", "2", ""},
      {"return scr_last()", "41", ""},
      {"return scr_none()", "undefined", ""},
      {"return scr_empty()", "0", ""},
      {"x = 5; return scr_add(x, 1) + argument_count", "6", ""},
  });
  EXPECT_EQ(g_VM.argumentCount, 0);
}

TEST_F(TreeExecCalls, TheArgumentArrayReadsOnlyWhatWasPassed) {
  ExpectValues({
      {"return scr_second(3, 4)", "4", ""},
      {"argument[20] = 5; return argument0", "5", ""},  // an index out of range writes slot 0
  });
  // Reading past the arguments passed is a fatal error that ends the game; the read is undefined.
  const Outcome o = Run("return scr_third(3, 4)");
  EXPECT_EQ(o.value, "undefined");
  ASSERT_NE(Error_GetLast(), nullptr);
  EXPECT_THAT(Error_GetLast(), ::testing::HasSubstr("illegal access of argument, argument is not provided to script"));
  EXPECT_EQ(Run_GetNewRoom(), -400);
  Error_ResetState();
  Run_SetNewRoom(-1);
}

TEST_F(TreeExecCalls, ScriptExecuteRunsTheScriptItsFirstArgumentNames) {
  ExpectValues({
      {"return script_execute(scr_add, 4, 5)", "9", ""},
      {"return script_execute(scr_count, 1, 2)", "2", ""},
      {"return script_execute(scr_fact, 4)", "24", ""},
      {"return script_execute(1.9, 7)", "1", ""},  // the id is truncated: scr_count
      {"return script_execute(scr_empty)", "0", ""},
  });
  ExpectErrors({
      {"return @script_execute(99)", "call to non-existent script"},
      {"return @script_execute(-1)", "call to non-existent script"},
      {"return @script_execute()", "call to non-existent script"},
      {"return @script_execute(\"scr_add\", 1, 2)", "script_execute argument 1 incorrect type expecting a Number"},
  });
}

TEST_F(TreeExecCalls, AnErrorInsideAScriptIsTheScriptsOwn) {
  const Outcome o = Run("print(1); x = scr_bad(); print(2)");
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.console, "1\n");
  EXPECT_EQ(o.errorText,
            "In script scr_bad:\nError in code at line 1:\n   var v; return v\n\nat position 15: Unknown variable v");
  EXPECT_EQ(g_VM.argumentCount, 0);
}

TEST_F(TreeExecCalls, EndlessRecursionIsAnErrorNotACrash) {
  const Outcome o = Run("return scr_rec()");
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.error, "Script calls nested too deeply.");
  EXPECT_EQ(g_VM.argumentCount, 0);
  EXPECT_EQ(Run("return scr_fact(3)").value, "6");
}

TEST_F(TreeExecCalls, BuiltinsGetTheirArgumentsInOrderAndAreCounted) {
  const int32_t print = 0;  // registered first
  const int32_t before = g_VM.functions[print].callCount;
  ExpectValues({
      {"print(1, \"a\", 2.5)", "0", "1 a 2.50\n"},
      {"print(print(\"a\"), print(\"b\"))", "0", "a\nb\n0 0\n"},
  });
  EXPECT_EQ(g_VM.functions[print].callCount, before + 4);
  Extension_FunctionAdd("ext_f", -1);
  EXPECT_EQ(Run("return ext_f(1)").value, "0");
}

}  // namespace
