// Arrays stored into themselves, into arrays that hold them, and nested past the walks' limit,
// built by scripts on the tree interpreter and on the virtual machine: what the scripts see, a
// save and load of the variables, and that letting go of them gives back every block.
#include <algorithm>
#include <string>

#include "TreeExecSupport.h"
#include "buffer/Buffer_Standard.h"
#include "code/Code_CodeGen.h"

namespace {

using namespace treetest;

// The text form of a chain of arrays `levels` deep around the text `innermost`, as far as the
// walks go, with `cut` where they stop.
std::string Chain(int levels, const std::string& innermost, const std::string& cut) {
  std::string text = levels > kMaxValueNesting ? cut : innermost;
  for (int depth = std::min(levels, kMaxValueNesting) - 1; depth >= 0; --depth) text = "{ { " + text + " },  }";
  return text;
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

  void RunCases(bool onVM) {
    g_VM.UseVM = onVM;
    if (onVM) Code_SetGeneratorHook(CodeGen_GenerateForEntry);
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

}  // namespace
