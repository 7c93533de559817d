// One corpus of script snippets run both on the tree interpreter and, compiled to bytecode, on
// the virtual machine: each snippet must give the same result and the same console lines on
// both (and fail on both where it fails).
#include <string>
#include <vector>

#include "testlib/TestHelpers.h"
#include "TreeExecSupport.h"
#include "code/Code_CodeGen.h"

namespace {

using namespace treetest;

struct Snippet {
  const char* name;
  std::string source;
  std::string value;    // Describe() of the result; ignored for a failing snippet
  std::string console;  // the console lines written (before the failure, for a failing one)
  bool fails = false;
};

// The instances each snippet runs among: self (id 1), other (id 2) and three room instances with
// v = 1, 2, 3 (ids 100001 to 100003, the first two of object 0, the last of object 1).
const std::vector<Snippet>& Corpus() {
  static const std::vector<Snippet> corpus = {
      {"for loop with continue and break",
       "s = 0; for (i = 0; i < 10; i += 1) { if (i mod 2 == 0) continue; if (i > 7) break; s += i } return s", "16", ""},
      {"while and do-until", "i = 0; n = 0; while (i < 5) { i += 1; n += i } do { n -= 1 } until (n < 10); return n", "9", ""},
      {"repeat with break and a rounded count",
       "n = 0; repeat (4) { n += 2; if (n == 6) break } print(n); repeat (2.5) n += 1; return n", "8", "6\n"},
      {"nested loops", "n = 0; for (i = 0; i < 3; i += 1) { j = 0; while (true) { j += 1; if (j > i) break; n += 1 } } return n",
       "3", ""},
      {"switch with fall-through and default",
       "s = \"\"; for (i = 0; i < 5; i += 1) { switch (i) { case 0: s += \"a\"; break; case 1: case 2: s += \"b\"; break;"
       " case 3: s += \"c\"; default: s += \"d\" } } return s",
       "\"abbcdd\"", ""},
      {"switch on a text", "t = \"x\"; switch (t) { case \"y\": return 1; case \"x\": return 2 } return 3", "2", ""},
      {"switch inside a loop with continue",
       "n = 0; for (i = 0; i < 4; i += 1) { switch (i) { case 1: continue; case 2: n += 10 } n += 1 } return n", "13", ""},
      {"if and else", "if (2 > 1) r = \"yes\" else r = \"no\"; if (0) r += \"!\" else r += \"?\"; return r", "\"yes?\"", ""},
      {"with over all instances", "global.total = 0; with (all) global.total += v; return global.total", "6", ""},
      {"with over one instance and other", "with (100002) { print(v, other.id); other.seen = v } return seen", "2", "2 1\n"},
      {"with over an object", "global.total = 0; with (0) global.total += v * 10; return global.total", "30", ""},
      {"with noone", "n = 0; with (noone) n = 1; return n", "0", ""},
      {"string constants", "a = \"hello\"; b = a + \" \" + \"world\"; print(b); return b + \"\"", "\"hello world\"", "hello world\n"},
      {"repeated text", "return 3 * \"ab\"", "\"ababab\"", ""},
      {"arrays", "for (i = 0; i < 3; i += 1) { a[i] = i * i; m[1, i] = i } return a[2] + m[1, 2]", "6", ""},
      {"counting loops with one-statement bodies, on whole numbers and fractions, past the message pump",
       "var i, j, s, d; s = 0; d = 0.5; for (i = -3; i < 4; i += 1) { for (j = 0; j < 50; j += 1) s += (i * j) mod 7 - j }"
       " for (i = 0; i < 5000; i += 1) d = d * 0.5 + i mod 3; for (i = 10; i > 0; i -= 0.5) d -= i; return s + d", "-8678.29", ""},
      {"nested script calls", "return scr_add(scr_fact(3), scr_add(1, 2))", "9", ""},
      {"script_execute", "return script_execute(scr_add, 2, script_execute(scr_fact, 4))", "26", ""},
      {"script arguments are the callee's own", "return scr_outer(1)", "12", ""},
      {"locals of a script are its own", "var k; k = 5; scr_local(); return k", "5", ""},
      {"exit inside a script", "scr_early(1); scr_early(0); return 1", "1", "late\n"},
      {"globalvar", "globalvar gv; gv = 3; return gv + global.gv", "6", ""},
      {"compound assignments", "x = 10; x -= 3; x *= 2; x /= 7; x |= 4; x &= 5; x ^= 1; return x", "5", ""},
      {"operators", "return (7 div 2) * 100 + (7 mod 4) * 10 + (1 << 2)", "334", ""},
      {"comparisons", "print(1 < 2, 2 <= 1, \"a\" == \"a\", \"a\" != \"b\", !(1 > 2)); return 0", "0", "1 0 1 1 1\n"},
      {"an if on 0.5 takes the else branch", "if (0.5) r = 1 else r = 2; return r", "2", ""},
      {"a switch on an empty text", "s = \"n\"; switch (\"\") { case \"\": s = \"e\" } return s", "\"e\"", ""},
      {"a declared local that was never set", "var a, b; a = 1; return b", "0", ""},
      {"a compound assignment to an unset variable", "zz += 1; return zz", "1", ""},
      {"continue in a with over one instance", "repeat (2) { with (self) continue; print(\"x\") } return 0", "0", "x\nx\n"},
      {"an element outside an array is an error", "print(1); a[0] = 1; x = a[5]; print(2)", "", "1\n", true},
      {"an operator on a text is an error", "print(\"a\"); s = \"x\"; y = s - 1; print(\"b\")", "", "a\n", true},
      {"script_execute of no script is an error", "print(1); script_execute(99); print(2)", "", "1\n", true},
      {"an error inside a script", "print(1); x = scr_bad(); print(2)", "", "1\n", true},
  };
  return corpus;
}

class TreeCorpus : public TreeExecTest {
 protected:
  // Compiles the corpus's scripts and room for one engine: the tree interpreter, or the virtual
  // machine with the bytecode generator.
  void Prepare(bool onVM) {
    g_VM.UseVM = onVM;
    if (onVM) Code_SetGeneratorHook(CodeGen_GenerateForEntry);
    AddScripts({
        {"scr_add", "return argument0 + argument1"},
        {"scr_fact", "if (argument0 <= 1) return 1; return argument0 * scr_fact(argument0 - 1)"},
        {"scr_outer", "a = scr_add(argument0, 10); return a + argument0"},
        {"scr_local", "var k; k = 99; return k"},
        {"scr_early", "if (argument0) exit; print(\"late\"); return 0"},
        {"scr_bad", "s = \"x\"; return s - 1"},
        {"scr_last", "x = 41"},
    });
    const int32_t first = testsupport::AddObject(-1);
    const int32_t second = testsupport::AddObject(-1);
    int n = 1;
    for (int32_t object : {first, first, second}) {
      ScriptValue v{};
      SetReal(&v, n++);
      SetInstanceVariable(AddInstance(object), GetVariableId("v"), kWholeValueIndex, &v);
    }
  }

  // Runs a snippet with errors suppressed (a fatal error on the machine then ends only the run).
  Outcome RunSnippet(const Snippet& s, bool onVM) {
    m_self.i_variables->Clear();
    m_other.i_variables->Clear();
    InitGlobalVariables();
    g_ErrorSuppressed.store(true);
    VM_ClearLastErrorText();
    Outcome o = Run(s.source);
    if (onVM) o.ok = VM_GetLastErrorText()[0] == '\0';  // the machine answers true regardless
    g_ErrorSuppressed.store(false);
    return o;
  }

  void RunCorpus(bool onVM) {
    Prepare(onVM);
    for (const Snippet& s : Corpus()) {
      const Outcome o = RunSnippet(s, onVM);
      EXPECT_EQ(o.ok, !s.fails) << s.name << "\n" << o.errorText << VM_GetLastErrorText();
      if (!s.fails) {
        EXPECT_EQ(o.value, s.value) << s.name;
      }
      EXPECT_EQ(o.console, s.console) << s.name;
    }
  }
};

TEST_F(TreeCorpus, OnTheTreeInterpreter) { RunCorpus(false); }

TEST_F(TreeCorpus, OnTheVirtualMachine) { RunCorpus(true); }

}  // namespace
