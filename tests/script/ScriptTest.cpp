// The script chunk and the script table.
#include <gtest/gtest.h>

#include "code/Code_Main.h"
#include "runner/GameDataTestUtil.h"
#include "runner/GameData_Code.h"
#include "run/Run_Global.h"
#include "script/Script_Class.h"
#include "script/Script_Main.h"
#include "support/CStream.h"

namespace gamedatatest {
namespace {

using testsupport::CodeWriter;
using testsupport::GameDataBuilder;
using testsupport::ScriptEntry;

TEST_F(GameDataTest, ScriptsOfABytecodeGameKeepTheirCodeIndex) {
  GameDataBuilder g;
  g.Gen8();
  g.Code({{"first", CodeWriter{0x9E000000u}}, {"second", CodeWriter{0x9E000000u}}});
  ScriptEntry empty;
  empty.present = false;
  g.Scpt({{"scr_b", std::nullopt, 1}, empty, {"scr_a", std::nullopt, 0}, {"scr_a", std::nullopt, 1}});
  g.Strg();
  ASSERT_TRUE(Load(g.Build()));
  EXPECT_EQ(Script_Count(), 4);
  EXPECT_FALSE(Script_Exists(1));
  EXPECT_STREQ(Script_GetName(1), "<undefined>");
  EXPECT_STREQ(Script_GetName(4), "<undefined>");
  EXPECT_EQ(Script_FindByName("scr_a"), 2);
  EXPECT_EQ(Script_Data(0)->m_codeIndex, 1);
  EXPECT_EQ(Script_Data(0)->m_text, nullptr);
  ASSERT_TRUE(Script_Prepare());
  ASSERT_NE(Script_GetCode(3), nullptr);
  EXPECT_EQ(Script_GetCode(3)->m_codeIndex, 1);
  EXPECT_STREQ(Script_GetCode(3)->m_name, "second");

  // A code index that the code chunk does not hold refuses the file.
  GameData_Free();
  GameDataBuilder bad;
  bad.Gen8();
  bad.Code({{"first", CodeWriter{0x9E000000u}}});
  bad.Scpt({{"scr", std::nullopt, 1}});
  bad.Strg();
  EXPECT_FALSE(Load(bad.Build()));
}

TEST_F(GameDataTest, ScriptsWithoutBytecodeKeepAndCompileTheirText) {
  GameDataBuilder g;
  g.Gen8();
  g.Scpt({{"scr_add", std::string("return argument0 + argument1")}, {"scr_none", std::nullopt, 0}});
  g.Strg();
  ASSERT_TRUE(Load(g.Build()));
  EXPECT_FALSE(CodeChunkPresent());
  EXPECT_STREQ(Script_Data(0)->GetText(), "return argument0 + argument1");
  EXPECT_STREQ(Script_Data(1)->GetText(), "");  // offset 0: no text
  ASSERT_TRUE(Script_Prepare());
  ASSERT_NE(Script_GetCode(0), nullptr);
  EXPECT_STREQ(Script_GetCode(0)->m_name, "Script.scr_add");

  // A text outside the file refuses it.
  GameData_Free();
  EXPECT_FALSE(Load(g.Build({testsupport::corrupt::OffsetOutsideImage("SCPT", 2)})));
}

TEST_F(GameDataTest, AScriptThatDoesNotCompileStopsThePreparation) {
  GameDataBuilder g;
  g.Gen8();
  g.Scpt({{"scr_ok", std::string("x = 1")}, {"scr_broken", std::string("x = (")}});
  g.Strg();
  ASSERT_TRUE(Load(g.Build()));
  testsupport::MessageBoxRecorder boxes;
  EXPECT_FALSE(Script_Prepare());
  ASSERT_NE(Error_GetLast(), nullptr);
  EXPECT_EQ(std::string(Error_GetLast()).rfind("COMPILATION ERROR in Script: scr_broken\n", 0), 0u) << Error_GetLast();
  Run_SetNewRoom(-1);
}

TEST(ScriptTextTest, AStoredTextStreamIsDescrambled) {
  // Scramble "x = 42" as a length-prefixed string: the forward table is the inverse of the one
  // the script applies, so scrambling is finding, per byte, the byte that maps onto it.
  CStream plain;
  plain.WriteString("x = 42");
  CStream probe(256);
  for (int32_t b = 0; b < 256; ++b) probe.GetData()[b] = static_cast<uint8_t>(b);
  probe.SubstituteBytes(60418, 0, 0);
  uint8_t forward[256];
  for (int32_t b = 0; b < 256; ++b) forward[probe.GetData()[b]] = static_cast<uint8_t>(b);
  CScript script;
  script.m_textStream = new CStream(plain.GetPosition());
  for (int32_t i = 0; i < plain.GetPosition(); ++i) script.m_textStream->GetData()[i] = forward[plain.GetData()[i]];
  EXPECT_STREQ(script.GetText(), "x = 42");
  EXPECT_EQ(script.m_textStream->GetSize(), plain.GetPosition());  // the stored stream is left as it was
}

}  // namespace
}  // namespace gamedatatest
