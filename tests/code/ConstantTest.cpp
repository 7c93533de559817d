// The constant table, its built-in entries and the lookups.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "CompilerTestUtil.h"
#include "code/Code_Constant.h"
#include "code/Code_Main.h"
#include "extension/Extension_Main.h"
#include "object/Object_Class.h"
#include "option/Option_Main.h"
#include "platform/MemoryManager.h"
#include "script/Script_Main.h"
#include "testlib/TestHelpers.h"

using namespace compilertest;

namespace {

class ConstantTest : public CompilerTest {};

// The value ResolveConstant gives as a real, or NaN when it finds nothing.
double Resolve(const char* name) {
  ScriptValue value;
  if (!ResolveConstant(name, &value)) return std::nan("");
  const double real = value.Kind() == VALUE_REAL ? value.real : std::nan("");
  ReleaseValue(&value);
  return real;
}

TEST_F(ConstantTest, BuiltinConstants) {
  RegisterBuiltinConstants();
  struct Case {
    const char* name;
    double value;
  };
  const Case cases[] = {
      {"self", -1}, {"other", -2}, {"all", -3}, {"noone", -4}, {"global", -5}, {"local", -7},
      {"true", 1}, {"false", 0}, {"pr_trianglefan", 6}, {"c_aqua", 16776960}, {"c_dkgray", 4210752},
      {"c_silver", 12632256}, {"c_orange", 4235519}, {"bm_subtract", 3}, {"bm_zero", 1},
      {"bm_src_colour", 3}, {"bm_inv_dest_colour", 10}, {"bm_src_alpha_sat", 11}, {"se_equalizer", 64},
      {"fa_center", 1}, {"fa_bottom", 2}, {"mb_any", -1}, {"mb_middle", 3}, {"vk_return", 13},
      {"vk_printscreen", 44}, {"vk_pagedown", 34}, {"vk_f1", 112}, {"vk_f12", 123}, {"vk_numpad0", 96},
      {"vk_numpad9", 105}, {"vk_decimal", 110}, {"vk_ralt", 165}, {"gp_face1", 32769},
      {"gp_padr", 32784}, {"gp_axisrv", 32788}, {"ev_keyrelease", 10}, {"ev_global_release", 13},
      {"ev_joystick1_down", 19}, {"ev_joystick1_button1", 21}, {"ev_joystick1_button8", 28},
      {"ev_joystick2_left", 31}, {"ev_joystick2_button1", 36}, {"ev_joystick2_button8", 43},
      {"ev_global_middle_release", 58}, {"ev_mouse_wheel_down", 61}, {"ev_no_more_health", 9},
      {"ev_user0", 10}, {"ev_user15", 25}, {"ev_close_button", 30}, {"ev_step_end", 2}, {"ev_gui", 64},
      {"ty_string", 1}, {"dll_stdcall", 1}, {"fa_archive", 32}, {"cr_beam", -4}, {"cr_size_nesw", -6},
      {"cr_size_all", -22}, {"pt_shape_pixel", 0}, {"pt_shape_snow", 13}, {"ps_distr_invgaussian", 2},
      {"ps_shape_line", 3}, {"ps_force_quadratic", 2}, {"ps_deflect_horizontal", 1},
      {"ps_change_motion", 2}, {"ef_explosion", 0}, {"ef_snow", 11}, {"display_portrait_flipped", 3},
      {"phy_joint_angle", 8}, {"phy_joint_motor_speed", 7}, {"phy_joint_frequency", 18},
      {"phy_debug_render_collision_pairs", 64}, {"audio_falloff_exponent_distance_clamped", 6},
      {"audio_new_system", 1}, {"audio_3d", 2}, {"ov_achievements", 5}, {"lb_sort_descending", 2},
      {"lb_disp_time_ms", 3}, {"timezone_utc", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(Resolve(c.name), c.value) << c.name;
  for (const char* absent : {"bm_inv_dest_color", "vk_f13", "ev_user16", "gp_axisrv2", "pt_shape_rain"}) {
    EXPECT_TRUE(std::isnan(Resolve(absent))) << absent;
  }
}

TEST_F(ConstantTest, PiIsTheSinglePrecisionValue) {
  RegisterBuiltinConstants();
  EXPECT_EQ(Resolve("pi"), 3.1415927410125732);
  EXPECT_NE(Resolve("pi"), 3.14159265358979323846);
}

TEST_F(ConstantTest, CallingConventionsOnlyWhileExternalCallsAreAllowed) {
  g_Extensions.ExternalCallsDisabled = 1;
  RegisterBuiltinConstants();
  EXPECT_TRUE(std::isnan(Resolve("dll_cdecl")));
  EXPECT_TRUE(std::isnan(Resolve("dll_stdcall")));
  EXPECT_EQ(Resolve("ty_real"), 0);
  // Code that names them gets variables.
  EXPECT_EQ(Compile("dll_cdecl", true).tree, "dll_cdecl@-6");

  FreeConstants();
  g_Extensions.ExternalCallsDisabled = 0;
  RegisterBuiltinConstants();
  EXPECT_EQ(Resolve("dll_cdecl"), 0);
  EXPECT_EQ(Compile("dll_cdecl", true).tree, "0");
}

TEST_F(ConstantTest, NewestEntryWinsAndResourcesComeFirst) {
  RegisterBuiltinConstants();
  const int32_t count = ConstantCount();
  EXPECT_TRUE(DefineConstant("c_red", "12"));
  EXPECT_EQ(ConstantCount(), count + 1);  // the built-in entry stays
  EXPECT_EQ(Resolve("c_red"), 12);
  EXPECT_EQ(FindConstant("C_RED")->real, 12);

  // A resource of the same name hides both.
  Script_Add("first");
  Script_Add("c_red");
  EXPECT_EQ(Resolve("c_red"), 1);
  EXPECT_EQ(Resolve("first"), 0);
}

TEST_F(ConstantTest, ObjectsComeBeforeEveryOtherName) {
  RegisterBuiltinConstants();
  Script_Add("c_red");
  testsupport::AddObject(-1);
  testsupport::AddObject(-1);
  Object_Find(0)->SetName("obj_wall");
  Object_Find(1)->SetName("c_red");
  EXPECT_EQ(Resolve("obj_wall"), 0);
  EXPECT_EQ(Resolve("c_red"), 1);  // not the script 0, not the colour
  EXPECT_TRUE(std::isnan(Resolve("OBJ_WALL")));
  EXPECT_EQ(Compile("obj_wall.x", true).tree, "x@0");
}

TEST_F(ConstantTest, CaseRules) {
  RegisterBuiltinConstants();
  // ResolveConstant compares exactly; FindConstant ignores the case of ASCII letters.
  EXPECT_TRUE(std::isnan(Resolve("C_RED")));
  ASSERT_NE(FindConstant("C_RED"), nullptr);
  EXPECT_EQ(FindConstant("C_RED")->real, 255);
  EXPECT_EQ(FindConstant("VK_ENTER")->real, 13);
  EXPECT_EQ(FindConstant("mb_LEFT")->real, 1);
  EXPECT_EQ(FindConstant("c_re"), nullptr);
  EXPECT_EQ(FindConstant(nullptr), nullptr);
}

TEST_F(ConstantTest, DefineConstantChecksTheName) {
  struct Case {
    const char* name;
    bool valid;
    const char* stored;
  };
  const Case cases[] = {
      {"  speed\t", true, "speed"}, {"_x9", true, "_x9"},   {"1abc", false, "1abc"},
      {"a-b", false, "a-b"},        {"", false, ""},        {"   ", false, ""},
      {"caf\xC3\xA9", false, "caf\xC3\xA9"}, {"two words", false, "two words"},
  };
  for (const Case& c : cases) {
    testsupport::MessageBoxRecorder boxes;
    const int32_t before = ConstantCount();
    EXPECT_EQ(DefineConstant(c.name, "1"), c.valid) << c.name;
    if (c.valid) {
      EXPECT_TRUE(boxes.boxes().empty());
      EXPECT_EQ(Resolve(c.stored), 1) << c.name;
      EXPECT_EQ(ConstantCount(), before + 1);
    } else {
      ASSERT_EQ(boxes.boxes().size(), 1u) << c.name;
      EXPECT_EQ(boxes.boxes()[0].text, std::string("Constant name ") + c.stored + "  is not valid.");
      EXPECT_EQ(ConstantCount(), before);
    }
  }
  EXPECT_FALSE(IsValidIdentifier(nullptr));
}

TEST_F(ConstantTest, GameConstantsTakeTheValueOfTheirText) {
  RegisterBuiltinConstants();
  Script_Add("scr_move");
  struct Case {
    const char* name;
    const char* text;
    double real;        // NaN for the string case
    const char* string;
  };
  const Case cases[] = {
      {"k_empty", "", 0, nullptr},
      {"k_none", nullptr, 0, nullptr},
      {"k_number", " 12 ", 12, nullptr},
      {"k_sum", "$10 + 1", 17, nullptr},
      {"k_colour", "c_red | c_blue", 16711935, nullptr},
      {"k_script", "scr_move", 0, nullptr},
      {"k_again", "k_sum * 2", 34, nullptr},  // an earlier game constant
      {"k_text", "'hi' + \"!\"", std::nan(""), "hi!"},
      // Texts that are not constant expressions give 0 (and a console line).
      {"k_variable", "x + 1", 0, nullptr},
      {"k_broken", "1 +", 0, nullptr},
      {"k_call", "unknown_function(1)", 0, nullptr},
      {"k_division", "1 / 0", 0, nullptr},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(DefineConstant(c.name, c.text)) << c.name;
    ScriptValue value;
    ASSERT_TRUE(ResolveConstant(c.name, &value)) << c.name;
    if (c.string != nullptr) {
      ASSERT_EQ(value.Kind(), VALUE_STRING) << c.name;
      EXPECT_STREQ(value.str, c.string);
    } else {
      ASSERT_EQ(value.Kind(), VALUE_REAL) << c.name;
      EXPECT_EQ(value.real, c.real) << c.name;
    }
    ReleaseValue(&value);
  }
}

TEST_F(ConstantTest, DefineConstantListStopsAtTheFirstBadName) {
  testsupport::MessageBoxRecorder boxes;
  const char* names[] = {"a1", "2b", "c3"};
  const char* texts[] = {"1", "2", "3"};
  EXPECT_FALSE(DefineConstantList(3, names, texts));
  EXPECT_EQ(Resolve("a1"), 1);
  EXPECT_TRUE(std::isnan(Resolve("c3")));
  EXPECT_TRUE(DefineConstantList(1, names + 2, texts + 2));
  EXPECT_EQ(Resolve("c3"), 3);
}

// A memory-manager copy, as the options reader keeps its texts.
char* Managed(const char* text) {
  const size_t size = std::strlen(text) + 1;
  char* copy = static_cast<char*>(MemoryManager::Alloc(static_cast<uint32_t>(size), __FILE__, __LINE__, false));
  std::memcpy(copy, text, size);
  return copy;
}

TEST_F(ConstantTest, GameConstantsComeFromTheOptions) {
  testsupport::MessageBoxRecorder boxes;
  Option_Reset();
  const char* names[] = {"k_first", " k_second ", "3rd", "k_fourth"};
  const char* texts[] = {"2", "k_first * 3", "0", "4"};
  for (int32_t i = 0; i < 4; ++i) {
    g_Options.OptionConstantNames.Insert(i, Managed(names[i]));
    g_Options.OptionConstantValues.Insert(i, Managed(texts[i]));
  }
  g_Options.OptionConstantCount = 2;
  EXPECT_TRUE(DefineGameConstants());
  EXPECT_EQ(Resolve("k_second"), 6);
  g_Options.OptionConstantCount = 4;  // the third name is not valid: the walk stops there
  EXPECT_FALSE(DefineGameConstants());
  EXPECT_TRUE(std::isnan(Resolve("k_fourth")));
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text, "Constant name 3rd  is not valid.");
  Option_Reset();
  EXPECT_TRUE(DefineGameConstants());
}

TEST_F(ConstantTest, ValuesAreCopiedByKind) {
  RegisterBuiltinStringConstant("greeting", "hello");
  AddConstant(nullptr, FindConstant("greeting"));  // a nameless entry
  EXPECT_EQ(ConstantCount(), 2);
  ScriptValue value;
  ASSERT_TRUE(ResolveConstant("greeting", &value));
  ASSERT_EQ(value.Kind(), VALUE_STRING);
  value.str[0] = 'J';  // the lookup gave a copy
  ReleaseValue(&value);
  EXPECT_STREQ(FindConstant("greeting")->str, "hello");
  EXPECT_FALSE(ResolveConstant(nullptr, &value));
  FreeConstants();
  EXPECT_EQ(ConstantCount(), 0);
  EXPECT_EQ(FindConstant("greeting"), nullptr);
}

TEST_F(ConstantTest, ExpressionsOfConstantsAndResourceNamesFold) {
  RegisterBuiltinConstants();
  Script_Add("scr_a");
  Script_Add("scr_b");
  const Outcome outcome = Compile("c_red + scr_b * 2 + (vk_f1 > 100) + string_stays", true);
  EXPECT_EQ(outcome.tree, "(258 + string_stays@-6)");
  const Outcome folded = Compile("c_red + scr_b * 2 + (vk_f1 > 100)", true);
  EXPECT_EQ(folded.tree, "258");
  EXPECT_EQ(folded.kind, CODE_CONSTANT);
}

TEST_F(ConstantTest, EvaluateConstantExpression) {
  RegisterBuiltinConstants();
  ScriptValue value;
  ASSERT_TRUE(EvaluateConstantExpression("c_lime + 1", &value));
  EXPECT_EQ(value.real, 65281);
  ReleaseValue(&value);
  EXPECT_FALSE(EvaluateConstantExpression("1 +", &value));
  ReleaseValue(&value);
}

}  // namespace
