// The font built-ins: their place in the resource group, the queries, adding, replacing and
// deleting fonts, and the errors of misuse.
#include <gtest/gtest.h>

#include "BuiltinTestUtil.h"
#include "code/Code_Function.h"
#include "font/Font_Class.h"
#include "font/Font_Main.h"
#include "function/Function_Resource.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"

namespace builtintest {
namespace {

class FontBuiltinsTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    RegisterResourceFunctions();
    m_savedDebug = DebugConsole;
    DebugConsole = &m_console;
    // A sprite of 10 frames, each 6 wide.
    m_sprite = Sprite_AddEmpty();
    CSprite* s = Sprite_Data(m_sprite);
    s->m_width = 6;
    s->m_height = 9;
    s->m_numb = 10;
  }
  void TearDown() override {
    DebugConsole = m_savedDebug;
    BuiltinTest::TearDown();
  }
  static ScriptValue R(double v) { return RealValue(v); }

  tagIConsole* m_savedDebug = nullptr;
  int32_t m_sprite = -1;
};

TEST_F(FontBuiltinsTest, TheFamilyIsRegisteredInItsOrderAfterTheCacheSizeBuiltIn) {
  int32_t cache = -1, name = -1, remove = -1;
  ASSERT_TRUE(FindFunctionIndex("font_set_cache_size", &cache));
  ASSERT_TRUE(FindFunctionIndex("font_name", &name));
  ASSERT_TRUE(FindFunctionIndex("font_delete", &remove));
  EXPECT_LT(cache, name);
  EXPECT_EQ(remove, name + 15);
  const char* names[] = {"font_name",          "font_exists",        "font_get_name",
                         "font_get_fontname",  "font_get_size",      "font_get_bold",
                         "font_get_italic",    "font_get_first",     "font_get_last",
                         "font_add",           "font_replace",       "font_add_sprite",
                         "font_add_sprite_ext", "font_replace_sprite", "font_replace_sprite_ext",
                         "font_delete"};
  const int32_t counts[] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 6, 7, 4, 4, 5, 5, 1};
  for (int32_t i = 0; i < 16; ++i) {
    const char* text = nullptr;
    int32_t argCount = 0;
    ASSERT_TRUE(GetBuiltinFunctionInfo(name + i, &text, nullptr, &argCount));
    EXPECT_STREQ(text, names[i]);
    EXPECT_EQ(argCount, counts[i]) << names[i];
  }
  int32_t argCount = 0;
  GetBuiltinFunctionInfo(cache, nullptr, nullptr, &argCount);
  EXPECT_EQ(argCount, 2);
  EXPECT_EQ(CallReal("font_set_cache_size", {R(0), R(100)}), 0);
}

TEST_F(FontBuiltinsTest, SpriteFontsAnswerTheirQueries) {
  const double index = CallReal("font_add_sprite_ext", {R(m_sprite), Str("ABC"), R(1), R(0)});
  EXPECT_EQ(index, 0);
  EXPECT_EQ(CallReal("font_exists", {R(0.4)}), 1);
  EXPECT_EQ(CallReal("font_exists", {R(1)}), 0);
  EXPECT_EQ(Call("font_get_name", {R(0)}).text, "__newfont0");
  EXPECT_EQ(Call("font_name", {R(7)}).text, "<undefined>");
  EXPECT_TRUE(Call("font_get_fontname", {R(0)}).noText);   // sprite fonts have no font name
  EXPECT_TRUE(Call("font_get_fontname", {R(5)}).noText);
  EXPECT_EQ(CallReal("font_get_size", {R(0)}), 12);
  EXPECT_EQ(CallReal("font_get_bold", {R(0)}), 0);
  EXPECT_EQ(CallReal("font_get_first", {R(0)}), 32);
  // The last character is first + glyph count (A, B, C and the appended space), not 'C'.
  EXPECT_EQ(CallReal("font_get_last", {R(0)}), 36);
  for (const char* query : {"font_get_size", "font_get_bold", "font_get_italic", "font_get_first", "font_get_last"}) {
    EXPECT_EQ(CallReal(query, {R(3)}), -1) << query;
  }
  // font_add_sprite with first 65 and no font chunk: the frames stand for 'A' to 'J'.
  EXPECT_EQ(CallReal("font_add_sprite", {R(m_sprite), R(65), R(0), R(1)}), 1);
  EXPECT_EQ(Font_Data(1)->GlyphCount(), 11);
  EXPECT_EQ(Font_Data(1)->GetCharWidth(u'J'), 7);
  EXPECT_EQ(TakeError(), "");
}

TEST_F(FontBuiltinsTest, TrueTypeFontsThatCannotBeFoundMeasureNothing) {
  const double index = CallReal("font_add", {Str("missing.ttf"), R(16), R(0.5), R(0.49), R(-3), R(300)});
  ASSERT_EQ(index, 0);
  EXPECT_EQ(m_console.Count("FreeType :: unable to find font file missing.ttf\n"), 1);
  EXPECT_EQ(Call("font_get_fontname", {R(0)}).text, "missing.ttf");
  EXPECT_EQ(CallReal("font_get_size", {R(0)}), 16);
  EXPECT_EQ(CallReal("font_get_bold", {R(0)}), 1);
  EXPECT_EQ(CallReal("font_get_italic", {R(0)}), 0);
  EXPECT_EQ(CallReal("font_get_first", {R(0)}), 0);
  EXPECT_EQ(CallReal("font_get_last", {R(0)}), 255);
  EXPECT_EQ(Font_Data(0)->TextWidth(u"any text"), 0);
  // Replaced in place, keeping the slot's name.
  EXPECT_EQ(CallReal("font_replace", {R(0), Str("other.ttf"), R(10), R(0), R(1), R(32), R(127)}), 1);
  EXPECT_EQ(Call("font_get_fontname", {R(0)}).text, "other.ttf");
  EXPECT_EQ(CallReal("font_get_italic", {R(0)}), 1);
  EXPECT_EQ(Call("font_get_name", {R(0)}).text, "__newfont0");
  EXPECT_EQ(TakeError(), "");
}

TEST_F(FontBuiltinsTest, MisuseIsReportedAndLeavesTheResultAlone) {
  CallReal("font_add_sprite_ext", {R(m_sprite), Str("AB"), R(0), R(0)});
  struct Case {
    const char* name;
    std::vector<ScriptValue> args;
    const char* error;
  };
  std::vector<Case> cases;
  cases.push_back({"font_add_sprite", {R(9), R(32), R(0), R(0)}, "Trying to create font from non-existing sprite."});
  cases.push_back({"font_add_sprite_ext", {R(-1), Str("A"), R(0), R(0)}, "Trying to create font from non-existing sprite."});
  cases.push_back({"font_replace", {R(4), Str("a.ttf"), R(12), R(0), R(0), R(32), R(127)}, "Trying to replace non-existing font."});
  cases.push_back({"font_replace_sprite", {R(4), R(m_sprite), R(32), R(0), R(0)}, "Trying to replace non-existing font."});
  cases.push_back({"font_replace_sprite", {R(0), R(9), R(32), R(0), R(0)}, "Trying to replace font from non-existing sprite."});
  cases.push_back({"font_replace_sprite_ext", {R(0), R(9), Str("A"), R(0), R(0)}, "Trying to replace font from non-existing sprite."});
  cases.push_back({"font_delete", {R(4)}, "Trying to delete non-existing font."});
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Answer answer = Call(c.name, std::move(c.args));
    EXPECT_EQ(answer.kind, VALUE_REAL);
    EXPECT_EQ(answer.real, 0);
    bool fatal = true;
    EXPECT_NE(TakeError(&fatal).find(c.error), std::string::npos);
    EXPECT_FALSE(fatal);
  }
  EXPECT_EQ(g_Fonts.table.Count(), 1);
  // Deleted once: the slot stays taken, a second delete is misuse.
  EXPECT_EQ(CallReal("font_delete", {R(0)}), 1);
  EXPECT_EQ(CallReal("font_exists", {R(0)}), 0);
  EXPECT_EQ(CallReal("font_delete", {R(0)}), 0);
  EXPECT_NE(TakeError().find("Trying to delete non-existing font."), std::string::npos);
  EXPECT_EQ(CallReal("font_add_sprite_ext", {R(m_sprite), Str("A"), R(0), R(0)}), 1);
}

}  // namespace
}  // namespace builtintest
