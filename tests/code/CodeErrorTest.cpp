#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/VCL.h"
#include "code/Code_Error.h"
#include "code/Code_Main.h"
#include "code/VM_ErrConsole.h"
#include "code/Code_Function.h"
#include "code/VM_Exec.h"
#include "object/Object_Class.h"
#include "object/Object_Main.h"
#include "os/OS_Messages.h"
#include "platform/MemoryManager.h"
#include "room/Event_State.h"
#include "run/Run_Global.h"
#include "script/Script_Main.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"
#include "testlib/VMAssembler.h"
#include "variable/Variable_Main.h"

using namespace testsupport;

namespace {

const std::string kHashes = std::string(92, '#') + "\n";
const std::string kRule = std::string(92, '-') + "\n";

// Every test starts from a cleared error state, the dialog switch on, a running game and the
// create event of object 0; the console output is recorded.
class CodeErrorTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    m_savedConsole = OutputConsole;
    OutputConsole = &m_console;
    Run_SetRunning(true);
  }
  void TearDown() override {
    OutputConsole = m_savedConsole;
    RuntimeTest::TearDown();
  }
  void ExpectGameEnded() {
    EXPECT_TRUE(Error_IsEnding());
    EXPECT_EQ(Run_GetNewRoom(), kNewRoomQuit);
    EXPECT_FALSE(Run_IsRunning());
  }
  void ExpectGameGoesOn() {
    EXPECT_FALSE(Error_IsEnding());
    EXPECT_EQ(Run_GetNewRoom(), kNewRoomNone);  // no room change asked for
    EXPECT_TRUE(Run_IsRunning());
  }

  RecordingConsole m_console;
  tagIConsole* m_savedConsole = nullptr;
};

// ---- Code errors ----

TEST_F(CodeErrorTest, CodeErrorsNameLineAndColumn) {
  struct Case {
    const char* source;
    bool expression;
    int32_t position;
    const char* expected;
  } cases[] = {
      {"x = 1;", false, 0, "Error in code at line 1:\n   x = 1;\n\nat position 1: bad"},
      // Carriage returns stay in the line text but are no columns.
      {"a = 1;\r\nb = 2;\r\nc = oops;\r\nd = 4;", false, 20,
       "Error in code at line 3:\n   c = oops;\r\n\nat position 5: bad"},
      {"a\n\nlast", false, 7, "Error in code at line 3:\n   last\n\nat position 5: bad"},
      // Positions outside the text are clamped to it.
      {"one\ntwo", false, -5, "Error in code at line 1:\n   one\n\nat position 1: bad"},
      {"one\ntwo", false, 999, "Error in code at line 2:\n   two\n\nat position 4: bad"},
      {"1 + foo", true, 4, "Error in expression: 1 + foo\n position 5: bad"},
      {"1 +\n foo", true, 5, "Error in expression: 1 +\n foo\n position 2: bad"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    CCode code(c.source, c.expression);
    Code_ClearErrorFlag();
    Code_SetError(&code, c.position, "bad");
    EXPECT_TRUE(Code_GetErrorFlag());
    ASSERT_NE(Code_GetLastError(), nullptr);
    EXPECT_EQ(std::string(Code_GetLastError()), c.expected);
  }
}

TEST_F(CodeErrorTest, OnlyTheFirstCodeErrorStandsUntilTheFlagIsCleared) {
  CCode code("x = ;", false);
  Code_SetError(&code, 4, "first");
  Code_SetError(&code, 0, "second");
  EXPECT_EQ(std::string(Code_GetLastError()), "Error in code at line 1:\n   x = ;\n\nat position 5: first");
  Code_ClearErrorFlag();
  Code_SetError(&code, 0, nullptr);  // a missing message is an empty one
  EXPECT_EQ(std::string(Code_GetLastError()), "Error in code at line 1:\n   x = ;\n\nat position 1: ");
}

// ---- The collecting console ----

TEST(TErrStreamConsoleTest, CollectsCutsPiecesAndGrows) {
  TErrStreamConsole console;
  EXPECT_EQ(console.Capacity(), 102400);
  EXPECT_STREQ(console.Text(), "");
  console.Output("%s %d\n", "line", 1);
  EXPECT_STREQ(console.Text(), "line 1\n");

  // One formatted piece is cut at 16,383 characters; a whole text appended is not.
  const std::string big(20000, 'x');
  console.Output("%s", big.c_str());
  EXPECT_EQ(std::string(console.Text()).size(), 7u + 16383u);
  for (int i = 0; i < 6; ++i) console.Append(big.c_str());
  const std::string text = console.Text();
  EXPECT_EQ(text.size(), 7u + 16383u + 6u * 20000u);
  EXPECT_GT(console.Capacity(), 102400);
  EXPECT_EQ(text.substr(0, 7), "line 1\n");
  EXPECT_EQ(text.find_first_not_of('x', 7), std::string::npos);
}

// ---- The dialog ----

TEST(ErrorDialogTest, TheTextIsLaidOutForTheDialog) {
  const std::string head = "\r\n" + std::string(43, '_') + "\r\n";
  struct Case {
    const char* text;
    std::string expected;
  } cases[] = {
      {"one line", "one line"},
      {"a\tb", "a       b"},
      {"first\r\nsecond", "first\r\nsecond"},
      {"first\n\nsecond", "first\r\nsecond"},
      {"first\n\rsecond", "first\r\nsecond"},
      {"a\n\n\nb", "a\r\n\r\nb"},
      {"ends with a break\n", "ends with a break\r\n"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    char* composed = Error_ComposeDialogText(c.text);
    EXPECT_EQ(std::string(composed), head + c.expected);
    MemoryManager::Free(composed);
  }
  // The layout is cut at twice the text's length plus 256 bytes.
  const std::string tabs(100, '\t');
  char* composed = Error_ComposeDialogText(tabs.c_str());
  EXPECT_EQ(std::string(composed).size(), 2u * 100u + 255u);
  MemoryManager::Free(composed);
}

TEST_F(CodeErrorTest, IgnoreLetsTheGameGoOnAndAbortEndsIt) {
  {
    MessageBoxRecorder boxes(MessageBoxAnswer::Ignore);
    ShowRuntimeError("oops\tthere", false);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "Code Error");
    EXPECT_EQ(boxes.boxes()[0].kind, MessageBoxKind::AbortIgnore);
    EXPECT_EQ(boxes.boxes()[0].text, "\r\n" + std::string(43, '_') + "\r\noops       there");
  }
  EXPECT_STREQ(Error_GetLast(), "oops\tthere");
  EXPECT_TRUE(Error_GetOccurred());
  EXPECT_EQ(m_console.Text(), "ERROR!!! :: oops\tthere\n");
  ExpectGameGoesOn();

  {
    MessageBoxRecorder boxes(MessageBoxAnswer::Abort);
    ShowRuntimeError("second", false);
    EXPECT_EQ(boxes.boxes().size(), 1u);
  }
  EXPECT_STREQ(Error_GetLast(), "second");
  ExpectGameEnded();
}

TEST_F(CodeErrorTest, FatalAndAllErrorsFatalOfferNoIgnore) {
  for (bool allFatal : {false, true}) {
    SCOPED_TRACE(allFatal);
    Runtime_Reset();
    Run_SetRunning(true);
    Error_SetAllErrorsFatal(allFatal);
    MessageBoxRecorder boxes(MessageBoxAnswer::Ok);
    ShowRuntimeError("broken", !allFatal);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].kind, MessageBoxKind::Ok);
    ExpectGameEnded();
  }
}

TEST_F(CodeErrorTest, AnAttachedDebuggerHoldsTheGameInsteadOfTheDialog) {
  static std::string pending;
  pending.clear();
  Error_SetDebuggerHooks([] { return true; },
                         [] { pending = Error_GetDebuggerPendingText() ? Error_GetDebuggerPendingText() : "(none)"; });
  MessageBoxRecorder boxes(MessageBoxAnswer::Abort);
  ShowRuntimeError("held", false);
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_EQ(pending, "\r\n" + std::string(43, '_') + "\r\nheld");
  EXPECT_EQ(Error_GetDebuggerPendingText(), nullptr);
  EXPECT_STREQ(Error_GetLast(), "held");
  ExpectGameGoesOn();  // the debugger letting the game go on counts as Ignore
}

TEST_F(CodeErrorTest, SuppressedErrorsWriteNoConsoleLine) {
  Error_SetDialogSwitch(false);
  g_ErrorSuppressed = true;
  ShowRuntimeError("quiet", false);
  EXPECT_EQ(m_console.Text(), "");
  EXPECT_STREQ(Error_GetLast(), "quiet");
  EXPECT_TRUE(Error_GetOccurred());
  ShowRuntimeError(nullptr, false);  // a null text leaves error_last null
  EXPECT_EQ(Error_GetLast(), nullptr);
}

// ---- Run-time reports ----

// A line-info table of (code offset, source offset) pairs.
struct LineTable {
  explicit LineTable(std::vector<uint32_t> pairs) : words(std::move(pairs)), buffer(words.data(), static_cast<int32_t>(words.size() * 4), false) {}
  std::vector<uint32_t> words;
  VMBuffer buffer;
};

TEST_F(CodeErrorTest, ReportsNameTheEventTheObjectAndTheLine) {
  const std::string runtimeHeader = "ERROR in\naction number ";
  struct Case {
    const char* what;
    int32_t eventType, eventNumber, action;
    bool fatal;
    bool withContext, withLines;
    const char* name;
    const char* source;    // the instruction at code offset 8 begins at the line "y = z;"
    std::string expected;  // the report between the hash lines
  } cases[] = {
      {"no bytecode runs", 2, 3, 0, true, false, false, nullptr, nullptr,
       "FATAL ERROR in\naction number 1\nof Alarm Event for alarm 3\nfor object <undefined>:\n\n\nmsg\n"},
      {"a line of running code", 0, 0, 4, false, true, true, "obj_create", "x = 1;\ny = z;\n",
       "ERROR in\naction number 5\nof Create Event\nfor object <undefined>:\n\n\nmsg\n"
       " at obj_create (line 2) - y = z;\n"},
      {"running code without line information", 8, 0, 0, false, true, false, "obj_draw", nullptr,
       "ERROR in\naction number 1\nof Draw Event\nfor object <undefined>:\n\n\nmsg\nat obj_draw\n"},
      {"a time line moment", kEventTypeTimeLine, 30, 1, false, false, false, nullptr, nullptr,
       "ERROR in\naction number 2\nat time step30\nof time line <undefined>:\n\n\nmsg\n"},
      {"a time line action named by its code", kEventTypeTimeLine, 30, 1, false, true, true, "code",
       "#line twl_Object_3_12 1\nx = 1;\ny = z;\n",
       "ERROR in\naction number 12\nat time step30\nof time line <undefined>:\n\n\nmsg\n"
       " at twl_Object_3_12 (line 2) - y = z;\n"},
      {"a time line name without digits", kEventTypeTimeLine, 30, 1, false, true, true, "code",
       "#line twl_Object_x 1\nx = 1;\ny = z;\n",
       "ERROR in\naction number 0\nat time step30\nof time line <undefined>:\n\n\nmsg\n"
       " at twl_Object_x (line 2) - y = z;\n"},
      {"a shader", kEventTypeShader, 0, 0, false, false, false, nullptr, nullptr,
       "FATAL ERROR in Fragment Shader compilation\n\nShaderName: sh_blur\n\n\nmsg\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Runtime_Reset();
    m_console.Clear();
    Error_SetDialogSwitch(false);
    Error_SetShaderInfo("sh_blur", true);
    Event_SetType(c.eventType);
    Event_SetNumber(c.eventNumber);
    Event_SetAction(c.action);
    const std::string source = c.source ? c.source : "";
    LineTable lines({0, 0, 8, static_cast<uint32_t>(source.find("y = z;"))});
    VMExecContext context;
    context.name = c.name;
    context.lineInfo = c.withLines ? &lines.buffer : nullptr;
    context.source = c.source;
    context.pc = 8;
    g_VM.current = c.withContext ? &context : nullptr;
    ReportRuntimeError("msg", c.fatal);
    g_VM.current = nullptr;
    const std::string report = kHashes + c.expected + kHashes;
    EXPECT_EQ(m_console.Text(), "ERROR!!! :: " + report + "\n");
    EXPECT_STREQ(Error_GetLast(), report.c_str());
    EXPECT_EQ(Error_IsEnding(), c.fatal);
  }
}

// A built-in failing fatally, as built-ins report their errors.
void FailNow(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) {
  ReportRuntimeError("Variable not set before reading it.", true);
}

// An event's code calls a script, and a built-in called by the script fails fatally.
class ScriptErrorTest : public CodeErrorTest {
 protected:
  void SetUp() override {
    CodeErrorTest::SetUp();
    ASSERT_TRUE(RegisterBuiltinFunction("fail_now", FailNow, 0));
    InitGlobalVariables();
    m_script = AssembleCode("call.i @fail_now 0\npopz.v\n");
    m_scriptLines = MakeCodeBuffer({0, 11});  // the call begins the second line
    m_scriptCode.m_compiled = true;
    m_scriptCode.m_code = m_script.get();
    m_scriptCode.m_lineInfo = m_scriptLines.get();
    m_scriptCode.m_sourceCopy = m_scriptCode.m_source;
    m_scriptCode.m_name = const_cast<char*>("scr_fail");
    Script_SetCode(Script_Add("scr_fail"), &m_scriptCode);
    m_event = AssembleCode("push.d 1\npop.v.d -5 @score\ncall.i 100000 0\npopz.v\n");
    m_eventLines = MakeCodeBuffer({0, 0, 20, 11});
    const int32_t player = testsupport::AddObject(-1);
    Object_Find(player)->SetName("obj_player");
    Event_SetType(0);
    Event_SetObject(player);
    Event_SetAction(0);
  }
  void TearDown() override {
    // The views belong to this fixture, not to the entry.
    m_scriptCode.m_code = nullptr;
    m_scriptCode.m_lineInfo = nullptr;
    m_scriptCode.m_name = nullptr;
    m_scriptCode.m_sourceCopy = nullptr;
    CodeErrorTest::TearDown();
  }
  void RunEvent() {
    ScriptValue result{};
    VMExecute("player_create", nullptr, nullptr, m_event.get(), &result, m_eventLines.get(),
              "score = 1;\nscr_fail();\n");
    ReleaseValue(&result);
  }

  std::unique_ptr<VMBuffer> m_script, m_scriptLines, m_event, m_eventLines;
  CCode m_scriptCode{"var a = 1;\nfail_now();\n", false};
};

TEST_F(ScriptErrorTest, UnderNoErrorsTheReportGoesToTheConsoleAndTheGameEnds) {
  Error_SetDialogSwitch(false);
  MessageBoxRecorder boxes;
  RunEvent();
  const std::string report = kHashes +
                             "FATAL ERROR in\naction number 1\nof Create Event\nfor object obj_player:\n\n\n"
                             "Variable not set before reading it.\n"
                             " at scr_fail (line 2) - fail_now();\n" +
                             kHashes + kRule +
                             "stack frame is\nscr_fail (line 2)\n"
                             "called from - player_create (line 2) - scr_fail();\n";
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_EQ(m_console.Text(), "ERROR!!! :: " + report + "\n");  // no variable dumps
  EXPECT_STREQ(Error_GetLast(), report.c_str());
  EXPECT_TRUE(Error_GetOccurred());
  ExpectGameEnded();

  // Nothing is reported once the game is ending.
  m_console.Clear();
  RunEvent();
  ReportRuntimeError("later", false);
  EXPECT_EQ(m_console.Text(), "");
  EXPECT_STREQ(Error_GetLast(), report.c_str());
}

TEST_F(ScriptErrorTest, WithTheDialogTheVariablesAreDumped) {
  MessageBoxRecorder boxes(MessageBoxAnswer::Ignore);
  RunEvent();
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].kind, MessageBoxKind::Ok);  // fatal: no Ignore
  RecordingConsole globals;
  g_Variables.globals->Dump(&globals);
  ASSERT_NE(globals.Text(), "");
  const std::string dumps = kRule + "Global Variables : \n" + globals.Text();
  ASSERT_GE(m_console.Text().size(), dumps.size());
  EXPECT_EQ(m_console.Text().substr(m_console.Text().size() - dumps.size()), dumps);
  EXPECT_EQ(m_console.Text().find("Local Variables"), std::string::npos);  // none were made
}

TEST_F(CodeErrorTest, AfterAFatalErrorNothingIsShownOrReported) {
  Error_SetDialogSwitch(false);
  ReportRuntimeError("first", true);
  ExpectGameEnded();
  const std::string afterFirst = m_console.Text();
  const std::string last = Error_GetLast();
  Error_SetOccurred(false);
  MessageBoxRecorder boxes;
  Error_SetDialogSwitch(true);
  ReportRuntimeError("second", false);
  ShowRuntimeError("third", true);
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_EQ(m_console.Text(), afterFirst);
  EXPECT_EQ(Error_GetLast(), last);
  EXPECT_FALSE(Error_GetOccurred());
}

// ---- Fatal errors outside a code context ----

TEST_F(CodeErrorTest, FatalErrorEndsTheProcessWithAFailureStatus) {
  ProcessExitTrap trap;
  MessageBoxRecorder boxes;
  try {
    FatalError("broken %d", 7);
    ADD_FAILURE() << "the process did not end";
  } catch (const ProcessExited& e) {
    EXPECT_EQ(e.status, kFatalExitStatus);
  }
  // Outside any code the report names the current event and the message.
  const std::string hashes(92, '#');
  const std::string report = hashes + "\nFATAL ERROR in\naction number 1\nof Create Event\nfor object <undefined>:\n\n\nbroken 7\n" + hashes + "\n";
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_THAT(boxes.boxes()[0].text, ::testing::HasSubstr("\r\n\r\nbroken 7\r\n"));
  EXPECT_EQ(m_console.Text(), "ERROR!!! :: " + report + "\n");

  // While errors are suppressed it only raises the error flag.
  g_ErrorSuppressed = true;
  Code_ClearErrorFlag();
  FatalError("watched");
  EXPECT_TRUE(g_ErrorFlag.load());
  EXPECT_EQ(boxes.boxes().size(), 1u);
}

}  // namespace
