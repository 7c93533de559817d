// Binding the variable and function references through their chains, the fatal end of an
// unknown name, and instruction stepping.
#include <gtest/gtest.h>

#include "GameDataTestUtil.h"
#include "runner/GameData_Code.h"
#include "variable/Variable_Names.h"

namespace gamedatatest {
namespace {

using testsupport::CodeWriter;
using testsupport::GameDataBuilder;

constexpr uint32_t kPushVar = 0xC0050000u;  // push.v
constexpr uint32_t kPopVar = 0x45050000u;   // pop.v
constexpr uint32_t kCall = 0xDA020000u;     // call.i
constexpr uint32_t kExit = 0x9E000000u;

uint32_t Operand(const testsupport::BuiltGameData& built, const std::string& label) {
  return ImageValue<uint32_t>(built.At(label) + 4);
}

void NoOp(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) {}

TEST_F(GameDataTest, VariableChainsKeepTheTopBitsAndFollowSignedDistances) {
  // "hp" is chained from the second code entry back into the first, so two of its distances are
  // negative (bit 28 set in the low 29 bits).
  CodeWriter first;
  first.VarRef(kPushVar, "hp", 7, 2).Word(kExit).VarRef(kPopVar, "hp", 0, 1).VarRef(kPushVar, "mana", 5);
  CodeWriter second;
  second.Word(kExit).VarRef(kPushVar, "hp", 3, 0);
  GameDataBuilder g;
  g.Gen8().Code({{"first", first}, {"second", second}}).Vari(std::vector<std::string>{"hp", "mana", "unused_var"}).Strg();
  const testsupport::BuiltGameData built = g.BuildWithLabels();
  const uint32_t stepBack = built.WordAt(built.At("vref#3") + 4) & 0x1FFFFFFFu;
  ASSERT_GE(stepBack, 0x10000000u) << "the chain should step back";

  ASSERT_TRUE(Load(built.bytes));
  const int32_t hp = FindUserVariable("hp");
  const int32_t mana = FindUserVariable("mana");
  ASSERT_GE(hp, kUserVariableBase);
  ASSERT_GE(mana, kUserVariableBase);
  EXPECT_EQ(Operand(built, "vref#0"), (7u << 29) | static_cast<uint32_t>(hp));
  EXPECT_EQ(Operand(built, "vref#1"), static_cast<uint32_t>(hp));
  EXPECT_EQ(Operand(built, "vref#2"), (5u << 29) | static_cast<uint32_t>(mana));
  EXPECT_EQ(Operand(built, "vref#3"), (3u << 29) | static_cast<uint32_t>(hp));
  // A name with no reference is still resolved.
  EXPECT_GE(FindUserVariable("unused_var"), kUserVariableBase);
  // The instruction words themselves are untouched.
  EXPECT_EQ(ImageValue<uint32_t>(built.At("vref#1")), kPopVar);
}

// A game naming 40,000 variables loads at once, every name bound to its own id.
TEST_F(GameDataTest, FortyThousandVariableNamesLoad) {
  std::vector<std::string> names;
  for (int i = 0; i < 40000; ++i) names.push_back("load40k_" + std::to_string(i));
  CodeWriter code;
  code.VarRef(kPushVar, names.back(), 0).Word(kExit);
  GameDataBuilder g;
  g.Gen8().Code({{"only", code}}).Vari(names).Strg();
  const testsupport::BuiltGameData built = g.BuildWithLabels();
  ASSERT_TRUE(Load(built.bytes));
  const int32_t first = FindUserVariable(names.front().c_str());
  ASSERT_GE(first, kUserVariableBase);
  for (int i = 0; i < 40000; ++i) ASSERT_EQ(FindUserVariable(names[i].c_str()), first + i) << names[i];
  EXPECT_EQ(Operand(built, "vref#0"), static_cast<uint32_t>(first + 39999));
}

TEST_F(GameDataTest, FunctionChainsWriteTheWholeCallNumber) {
  ASSERT_TRUE(RegisterBuiltinFunction("first_builtin", NoOp, 0));
  ASSERT_TRUE(RegisterBuiltinFunction("my_builtin", NoOp, 1));
  const int32_t extension = Extension_FunctionAdd("ext_call", 2);
  CodeWriter code;
  code.FuncRef(kCall, "my_builtin", 1).Word(kExit).FuncRef(kCall, "my_builtin", 0);
  code.FuncRef(kCall, "script_execute").FuncRef(kCall, "ext_call");
  GameDataBuilder g;
  g.Gen8().Code({{"main", code}}).Func(std::vector<std::string>{"my_builtin", "script_execute", "ext_call", "first_builtin"});
  g.Strg();
  const testsupport::BuiltGameData built = g.BuildWithLabels();
  ASSERT_EQ(static_cast<int32_t>(built.WordAt(built.At("fref#1") + 4)), -12) << "the chain should step back";

  ASSERT_TRUE(Load(built.bytes));
  EXPECT_EQ(Operand(built, "fref#0"), 1u);
  EXPECT_EQ(Operand(built, "fref#1"), 1u);
  EXPECT_EQ(Operand(built, "fref#2"), static_cast<uint32_t>(kScriptExecuteCall));
  EXPECT_EQ(Operand(built, "fref#3"), static_cast<uint32_t>(kExtensionCallBase + extension));
}

TEST_F(GameDataTest, AnUnknownNameEndsTheProcessWithItsMessage) {
  struct Case {
    const char* what;
    std::function<void(GameDataBuilder&)> chunks;
    std::vector<testsupport::Corruption> corruptions;
    const char* message;
  };
  const Case cases[] = {
      {"function", [](GameDataBuilder& g) { g.Code({{"main", CodeWriter{}.FuncRef(kCall, "no_such_fn")}}).Func(); },
       {}, "Error on load\nUnable to find function no_such_fn\n"},
      // A function entry with no reference is resolved all the same.
      {"unreferenced function",
       [](GameDataBuilder& g) { g.Code({{"main", CodeWriter{kExit}}}).Func(std::vector<std::string>{"nowhere_fn"}); },
       {}, "Error on load\nUnable to find function nowhere_fn\n"},
      // A variable entry without a name (offset 0).
      {"variable", [](GameDataBuilder& g) { g.Code({{"main", CodeWriter{}.VarRef(kPushVar, "v")}}).Vari(); },
       {testsupport::corrupt::SetOffset("VARI", 0, 0)}, "Error on load\nUnable to find variable \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GameDataBuilder g;
    g.Gen8();
    c.chunks(g);
    g.Strg();
    const std::vector<uint8_t> file = g.Build(c.corruptions);
    testsupport::MessageBoxRecorder boxes;
    testsupport::ProcessExitTrap trap;
    int status = -1;
    try {
      Load(file);
    } catch (const testsupport::ProcessExited& exited) {
      status = exited.status;
    }
    EXPECT_EQ(status, 1);
    ASSERT_NE(Error_GetLast(), nullptr);
    EXPECT_STREQ(Error_GetLast(), c.message);
    GameData_Free();
    Error_ResetState();
  }
}

TEST_F(GameDataTest, SteppingSkipsEachInstructionsOperand) {
  // Each instruction, the position after it, as the stepping rule gives it.
  const uint32_t words[] = {
      0x0C000000u,        // no operand form: 4
      0xC0000000u, 0, 0,  // push.d: 8-byte operand
      0xC0020000u, 0,     // push.i: 4-byte operand
      0xC00F0000u,        // push.e: no operand bytes
      0x84030000u,        // a one-type form with a long type: no operand without bit 6
      0xC0030000u, 0,     // push.l: the operand runs past the end
  };
  const GameCodeEntry entry{"steps", words, static_cast<int32_t>(sizeof(words) - 4)};
  const std::pair<int32_t, int32_t> steps[] = {{0, 4}, {4, 16}, {16, 24}, {24, 28}, {28, 32}, {32, 44}};
  for (const auto& [from, to] : steps) EXPECT_EQ(GameData_NextInstruction(&entry, from), to) << from;
  EXPECT_EQ(GameData_CodeEntrySize(&entry), 44);
  // Positions outside the stream answer its length.
  EXPECT_EQ(GameData_NextInstruction(&entry, -4), entry.lengthBytes);
  EXPECT_EQ(GameData_NextInstruction(&entry, entry.lengthBytes), entry.lengthBytes);
  const GameCodeEntry empty{"empty", nullptr, 0};
  EXPECT_EQ(GameData_CodeEntrySize(&empty), 0);
}

}  // namespace
}  // namespace gamedatatest
