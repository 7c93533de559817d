// Arrays stored into themselves, into arrays that hold them, nested past the walks' limit and
// sharing sub-arrays, built by scripts on the tree interpreter and on the virtual machine: what
// the scripts see, a save and load of the variables, and that letting go of them gives back every
// block.
#include <algorithm>
#include <iterator>
#include <string>

#include "TreeExecSupport.h"
#include "buffer/Buffer_Standard.h"
#include "code/Code_CodeGen.h"
#include "variable/ValueWalk.h"

namespace {

using namespace treetest;

// The text form of a chain of arrays `levels` deep around the text `innermost`, as far as the
// walks go, with `cut` where they stop.
std::string Chain(int levels, const std::string& innermost, const std::string& cut) {
  std::string text = levels > kMaxValueNesting ? cut : innermost;
  for (int depth = std::min(levels, kMaxValueNesting) - 1; depth >= 0; --depth) text = "{ { " + text + " },  }";
  return text;
}

// The text form of `levels` arrays, each holding the next twice, around 7.
std::string Shared(int levels) {
  if (levels == 0) return "7";
  const std::string inner = Shared(levels - 1);
  return "{ { " + inner + "," + inner + " },  }";
}

// Each level holds the one below twice: 2^levels paths lead to the innermost 7.
std::string SharingScript(int levels) {
  return "a = 7; repeat (" + std::to_string(levels) + ") { b = 0; b[0] = a; b[1] = a; a = b }";
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

struct Case {
  const char* what;
  std::string source;
  std::string console;
  std::string a;       // the text form of a after the run
  std::string loaded;  // and after a save and load of the variables
};

const Case kCases[] = {
    {"into itself", "a[0] = 1; a[1] = a; print(a); a[0] = 2",
     "{ { 1,{ { 1 },  } },  }\n", "{ { 2,{ { 1 },  } },  }", "{ { 2,{ { 1 },  } },  }"},
    {"into itself through a second variable", "a[0] = 1; b = a; b[1] = b; a[1] = b", "",
     "{ { 1,{ { 1,{ { 1 },  } },  } },  }", "{ { 1,{ { 1,{ { 1 },  } },  } },  }"},
    {"into an array it holds", "a[0] = 1; b[0] = a; a[1] = b; print(b)",
     "{ { { { 1,{ { { { 1 },  } },  } },  } },  }\n", "{ { 1,{ { { { 1 },  } },  } },  }",
     "{ { 1,{ { { { 1 },  } },  } },  }"},
    {"nested past the limit", "a = 7; repeat (1100) { b = 0; b[0] = a; a = b }", "", Chain(1100, "7", "{ ... }"),
     Chain(1100, "7", "undefined")},
    {"sharing, within the walks' budget", SharingScript(4), "", Shared(4), Shared(4)},
};

class ArrayNesting : public TreeExecTest {
 protected:
  // Runs the case, then saves self's variables, loads them into a new list and lets go of both.
  void Exercise(const Case& c) {
    const Outcome o = Run(c.source);
    EXPECT_TRUE(o.ok) << o.errorText;
    EXPECT_EQ(o.console, c.console);
    // The deep texts run to many kilobytes: compared whole, shown in part.
    const std::string a = InstanceVariable(&m_self, "a");
    EXPECT_TRUE(a == c.a) << a.substr(0, 200);

    Buffer_Standard saved(0, BUFFER_GROW, 1);
    ASSERT_TRUE(m_self.i_variables->Save(&saved));
    saved.Seek(0, 0);
    CVariableList loaded;
    ASSERT_TRUE(loaded.Load(&saved));
    ScriptValue value{};
    ASSERT_TRUE(loaded.Get(GetVariableId("a"), kWholeValueIndex, &value));
    const std::string text = Describe(value);
    EXPECT_TRUE(text == c.loaded) << text.substr(0, 200);
    ReleaseValue(&value);
    // The error report's dump walks the values too.
    RecordingConsole dump;
    loaded.Dump(&dump);
    EXPECT_NE(dump.Text(), "");

    loaded.Clear();
    m_self.i_variables->Clear();
  }

  void UseEngine(bool onVM) {
    g_VM.UseVM = onVM;
    if (onVM) Code_SetGeneratorHook(CodeGen_GenerateForEntry);
  }

  // Thirty levels that each hold the next twice: the text form, the dump and the buffer writer
  // write what they meet for the first time and stop repeating once the budget is spent, cutting
  // at the same places ("{ ... }" in the texts, undefined in the buffer).
  void ExerciseDeepSharing() {
    const Outcome o = Run(SharingScript(30));
    EXPECT_TRUE(o.ok) << o.errorText;
    const std::string a = InstanceVariable(&m_self, "a");
    EXPECT_NE(a.find("{ ... }"), std::string::npos) << a.substr(0, 200);
    EXPECT_EQ(Occurrences(a, "{"), Occurrences(a, "}")) << "the cut text is well formed";
    EXPECT_LE(Occurrences(a, ",7"), static_cast<size_t>(kMaxValueRepeatCost));
    EXPECT_GT(Occurrences(a, ",7"), static_cast<size_t>(kMaxValueRepeatCost / 8)) << "the budget is used, not wasted";

    Buffer_Standard saved(0, BUFFER_GROW, 1);
    ASSERT_TRUE(m_self.i_variables->Save(&saved));
    saved.Seek(0, 0);
    CVariableList loaded;
    ASSERT_TRUE(loaded.Load(&saved));
    ScriptValue value{};
    ASSERT_TRUE(loaded.Get(GetVariableId("a"), kWholeValueIndex, &value));
    std::string expected = a;
    for (size_t at = expected.find("{ ... }"); at != std::string::npos; at = expected.find("{ ... }", at)) {
      expected.replace(at, 7, "undefined");
    }
    const std::string text = Describe(value);
    EXPECT_TRUE(text == expected) << text.substr(0, 200);
    ReleaseValue(&value);

    RecordingConsole dump;
    m_self.i_variables->Dump(&dump);
    EXPECT_EQ(Occurrences(dump.Text(), "{"), Occurrences(dump.Text(), "}"));
    EXPECT_NE(dump.Text().find("{ ... }"), std::string::npos);

    loaded.Clear();
    m_self.i_variables->Clear();
  }

  void RunCases(bool onVM) {
    UseEngine(onVM);
    for (const Case& c : kCases) {
      SCOPED_TRACE(c.what);
      // The first run makes the names and the variable nodes that stay for the whole process;
      // the second must give back every block it takes.
      Exercise(c);
      const int32_t blocks = MemoryManager::BlockCount.load();
      Exercise(c);
      EXPECT_EQ(MemoryManager::BlockCount.load(), blocks) << "arrays outlived their holders";
    }
  }
};

TEST_F(ArrayNesting, OnTheTreeInterpreter) { RunCases(false); }

TEST_F(ArrayNesting, OnTheVirtualMachine) { RunCases(true); }

TEST_F(ArrayNesting, DeepSharingIsWrittenWithinABudgetOnBothEngines) {
  for (bool onVM : {false, true}) {
    SCOPED_TRACE(onVM ? "virtual machine" : "tree interpreter");
    UseEngine(onVM);
    Exercise(kCases[std::size(kCases) - 1]);  // makes the names and nodes that stay
    const int32_t blocks = MemoryManager::BlockCount.load();
    ExerciseDeepSharing();
    EXPECT_EQ(MemoryManager::BlockCount.load(), blocks) << "arrays outlived their holders";
  }
}

}  // namespace
