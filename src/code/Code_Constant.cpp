#include "code/Code_Constant.h"

#include <cstdio>
#include <string>

#include "background/Background_Main.h"
#include "base/VCL.h"
#include "code/Code_Compile.h"
#include "code/Code_Error.h"
#include "code/Code_Main.h"
#include "code/Code_Tree.h"
#include "extension/Extension_Main.h"
#include "font/Font_Main.h"
#include "object/Object_Class.h"
#include "option/Option_Main.h"
#include "path/Path_Main.h"
#include "platform/GrowArray.h"
#include "platform/NameTable.h"
#include "platform/Numeric.h"
#include "room/Instance_Class.h"
#include "room/Room_Main.h"
#include "script/Script_Main.h"
#include "sound/Audio_Main.h"
#include "sound/Sound_Main.h"
#include "sprite/Sprite_Main.h"
#include "timeline/TimeLine_Main.h"

namespace {

// The table: the names (null for an entry without one) and, at the same positions, the values;
// and the number of the next constant expression compiled. FreeConstants assigns a fresh record.
struct ConstantTable {
  NameTable names;
  GrowArray<ScriptValue> values;
  int32_t expressionCounter = 0;
};
ConstantTable g_constants;

bool IsLetterOrUnderscore(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

// The index of the first resource named `name`, in the order the lookup tries them, or -1.
int32_t FindResource(const char* name) {
  int32_t (*const finders[])(const char*) = {
      Object_FindByName,     Sprite_FindByName, Sound_Find,          Audio_FindSoundByName,
      Background_FindByName, Path_FindByName,   Font_FindByName,     TimeLine_FindByName,
      Script_FindByName,     Room_FindByName,
  };
  for (auto finder : finders) {
    const int32_t index = finder(name);
    if (index >= 0) return index;
  }
  return -1;
}

struct NamedValue {
  const char* name;
  double value;
};

void RegisterTable(const NamedValue* table, size_t count) {
  for (size_t i = 0; i < count; ++i) RegisterBuiltinConstant(table[i].name, table[i].value);
}

template <size_t N>
void RegisterTable(const NamedValue (&table)[N]) {
  RegisterTable(table, N);
}

// Registers names that take consecutive values from `first`.
template <size_t N>
void RegisterSequence(const char* const (&names)[N], double first) {
  for (size_t i = 0; i < N; ++i) RegisterBuiltinConstant(names[i], first + static_cast<double>(i));
}

// Registers prefix + n for n from `from` to `to`, valued from `firstValue` upward.
void RegisterNumbered(const char* prefix, int from, int to, double firstValue) {
  for (int n = from; n <= to; ++n) {
    char name[64];
    std::snprintf(name, sizeof(name), "%s%d", prefix, n);
    RegisterBuiltinConstant(name, firstValue + (n - from));
  }
}

constexpr NamedValue kInstanceConstants[] = {
    {"self", -1}, {"other", -2}, {"all", -3}, {"noone", -4}, {"global", -5}, {"local", -7},
    {"true", 1},  {"false", 0},
};

constexpr NamedValue kPrimitiveConstants[] = {
    {"pr_pointlist", 1},     {"pr_linelist", 2},         {"pr_linestrip", 3},
    {"pr_trianglelist", 4},  {"pr_trianglestrip", 5},    {"pr_trianglefan", 6},
};

constexpr NamedValue kColourConstants[] = {
    {"c_aqua", 16776960},   {"c_black", 0},        {"c_blue", 16711680},  {"c_dkgray", 4210752},
    {"c_fuchsia", 16711935}, {"c_gray", 8421504},  {"c_green", 32768},    {"c_lime", 65280},
    {"c_ltgray", 12632256}, {"c_maroon", 128},     {"c_navy", 8388608},   {"c_olive", 32896},
    {"c_purple", 8388736},  {"c_red", 255},        {"c_silver", 12632256}, {"c_teal", 8421376},
    {"c_white", 16777215},  {"c_yellow", 65535},   {"c_orange", 4235519},
};

constexpr NamedValue kBlendConstants[] = {
    {"bm_normal", 0},          {"bm_add", 1},               {"bm_max", 2},
    {"bm_subtract", 3},        {"bm_zero", 1},              {"bm_one", 2},
    {"bm_src_color", 3},       {"bm_src_colour", 3},        {"bm_inv_src_color", 4},
    {"bm_inv_src_colour", 4},  {"bm_src_alpha", 5},         {"bm_inv_src_alpha", 6},
    {"bm_dest_alpha", 7},      {"bm_inv_dest_alpha", 8},    {"bm_dest_color", 9},
    {"bm_dest_colour", 9},     {"bm_inv_dest_colour", 10},  {"bm_src_alpha_sat", 11},
};

constexpr NamedValue kSoundEffectConstants[] = {
    {"se_none", 0},    {"se_chorus", 1},  {"se_echo", 2},        {"se_flanger", 4},
    {"se_gargle", 8},  {"se_reverb", 16}, {"se_compressor", 32}, {"se_equalizer", 64},
};

constexpr NamedValue kAlignConstants[] = {
    {"fa_left", 0}, {"fa_center", 1}, {"fa_right", 2}, {"fa_top", 0}, {"fa_middle", 1}, {"fa_bottom", 2},
};

constexpr NamedValue kMouseButtonConstants[] = {
    {"mb_any", -1}, {"mb_none", 0}, {"mb_left", 1}, {"mb_right", 2}, {"mb_middle", 3},
};

constexpr NamedValue kKeyConstants[] = {
    {"vk_nokey", 0},     {"vk_anykey", 1},       {"vk_enter", 13},      {"vk_return", 13},
    {"vk_shift", 16},    {"vk_control", 17},     {"vk_alt", 18},        {"vk_escape", 27},
    {"vk_space", 32},    {"vk_backspace", 8},    {"vk_tab", 9},         {"vk_pause", 19},
    {"vk_printscreen", 44}, {"vk_left", 37},     {"vk_right", 39},      {"vk_up", 38},
    {"vk_down", 40},     {"vk_home", 36},        {"vk_end", 35},        {"vk_delete", 46},
    {"vk_insert", 45},   {"vk_pageup", 33},      {"vk_pagedown", 34},
};

constexpr NamedValue kKeypadConstants[] = {
    {"vk_divide", 111},  {"vk_multiply", 106},   {"vk_subtract", 109},  {"vk_add", 107},
    {"vk_decimal", 110}, {"vk_lshift", 160},     {"vk_lcontrol", 162},  {"vk_lalt", 164},
    {"vk_rshift", 161},  {"vk_rcontrol", 163},   {"vk_ralt", 165},
};

constexpr const char* kGamepadConstants[] = {
    "gp_face1",  "gp_face2",  "gp_face3",  "gp_face4",  "gp_shoulderl", "gp_shoulderr", "gp_shoulderlb",
    "gp_shoulderrb", "gp_select", "gp_start", "gp_stickl", "gp_stickr", "gp_padu", "gp_padd",
    "gp_padl",   "gp_padr",   "gp_axislh", "gp_axislv", "gp_axisrh",    "gp_axisrv",
};

constexpr NamedValue kEventConstants[] = {
    {"ev_create", 0},    {"ev_destroy", 1}, {"ev_alarm", 2}, {"ev_step", 3},     {"ev_collision", 4},
    {"ev_keyboard", 5},  {"ev_mouse", 6},   {"ev_other", 7}, {"ev_draw", 8},     {"ev_keypress", 9},
    {"ev_keyrelease", 10},
};

constexpr NamedValue kMouseEventConstants[] = {
    {"ev_left_button", 0},     {"ev_right_button", 1},    {"ev_middle_button", 2},
    {"ev_no_button", 3},       {"ev_left_press", 4},      {"ev_right_press", 5},
    {"ev_middle_press", 6},    {"ev_left_release", 7},    {"ev_right_release", 8},
    {"ev_middle_release", 9},  {"ev_mouse_enter", 10},    {"ev_mouse_leave", 11},
    {"ev_global_press", 12},   {"ev_global_release", 13}, {"ev_joystick1_left", 16},
    {"ev_joystick1_right", 17}, {"ev_joystick1_up", 18},  {"ev_joystick1_down", 19},
};

constexpr NamedValue kJoystick2Constants[] = {
    {"ev_joystick2_left", 31}, {"ev_joystick2_right", 32}, {"ev_joystick2_up", 33}, {"ev_joystick2_down", 34},
};

constexpr NamedValue kGlobalMouseConstants[] = {
    {"ev_global_left_button", 50},   {"ev_global_right_button", 51},   {"ev_global_middle_button", 52},
    {"ev_global_left_press", 53},    {"ev_global_right_press", 54},    {"ev_global_middle_press", 55},
    {"ev_global_left_release", 56},  {"ev_global_right_release", 57},  {"ev_global_middle_release", 58},
    {"ev_mouse_wheel_up", 60},       {"ev_mouse_wheel_down", 61},
};

constexpr NamedValue kOtherEventConstants[] = {
    {"ev_outside", 0},       {"ev_boundary", 1},      {"ev_game_start", 2},      {"ev_game_end", 3},
    {"ev_room_start", 4},    {"ev_room_end", 5},      {"ev_no_more_lives", 6},   {"ev_animation_end", 7},
    {"ev_end_of_path", 8},   {"ev_no_more_health", 9},
};

constexpr NamedValue kStepEventConstants[] = {
    {"ev_close_button", 30}, {"ev_step_normal", 0}, {"ev_step_begin", 1}, {"ev_step_end", 2}, {"ev_gui", 64},
};

constexpr NamedValue kFileAttributeConstants[] = {
    {"fa_readonly", 1},  {"fa_hidden", 2},     {"fa_sysfile", 4},
    {"fa_volumeid", 8},  {"fa_directory", 16}, {"fa_archive", 32},
};

constexpr NamedValue kCursorConstants[] = {
    {"cr_default", 0},      {"cr_none", -1},        {"cr_arrow", -2},      {"cr_cross", -3},
    {"cr_beam", -4},        {"cr_size_nesw", -6},   {"cr_size_ns", -7},    {"cr_size_nwse", -8},
    {"cr_size_we", -9},     {"cr_uparrow", -10},    {"cr_hourglass", -11}, {"cr_drag", -12},
    {"cr_nodrop", -13},     {"cr_hsplit", -14},     {"cr_vsplit", -15},    {"cr_multidrag", -16},
    {"cr_sqlwait", -17},    {"cr_no", -18},         {"cr_appstart", -19},  {"cr_help", -20},
    {"cr_handpoint", -21},  {"cr_size_all", -22},
};

constexpr const char* kParticleShapes[] = {
    "pt_shape_pixel", "pt_shape_disk",  "pt_shape_square",    "pt_shape_line",  "pt_shape_star",
    "pt_shape_circle", "pt_shape_ring", "pt_shape_sphere",    "pt_shape_flare", "pt_shape_spark",
    "pt_shape_explosion", "pt_shape_cloud", "pt_shape_smoke", "pt_shape_snow",
};
constexpr const char* kParticleDistributions[] = {"ps_distr_linear", "ps_distr_gaussian", "ps_distr_invgaussian"};
constexpr const char* kParticleEmitterShapes[] = {"ps_shape_rectangle", "ps_shape_ellipse", "ps_shape_diamond",
                                                  "ps_shape_line"};
constexpr const char* kParticleForces[] = {"ps_force_constant", "ps_force_linear", "ps_force_quadratic"};
constexpr const char* kParticleDeflections[] = {"ps_deflect_vertical", "ps_deflect_horizontal"};
constexpr const char* kParticleChanges[] = {"ps_change_all", "ps_change_shape", "ps_change_motion"};

constexpr const char* kEffects[] = {
    "ef_explosion", "ef_ring", "ef_ellipse", "ef_firework", "ef_smoke", "ef_smokeup",
    "ef_star",      "ef_spark", "ef_flare",  "ef_cloud",    "ef_rain",  "ef_snow",
};

constexpr NamedValue kDisplayConstants[] = {
    {"display_landscape", 0}, {"display_portrait", 1}, {"display_landscape_flipped", 2}, {"display_portrait_flipped", 3},
};

constexpr NamedValue kPhysicsConstants[] = {
    {"phy_joint_anchor_1_x", 0},        {"phy_joint_anchor_1_y", 1},        {"phy_joint_anchor_2_x", 2},
    {"phy_joint_anchor_2_y", 3},        {"phy_joint_reaction_force_x", 4},  {"phy_joint_reaction_force_y", 5},
    {"phy_joint_reaction_torque", 6},   {"phy_joint_angle", 8},             {"phy_joint_motor_speed", 7},
    {"phy_joint_motor_torque", 9},      {"phy_joint_max_motor_torque", 10}, {"phy_joint_translation", 11},
    {"phy_joint_speed", 12},            {"phy_joint_motor_force", 13},      {"phy_joint_max_motor_force", 14},
    {"phy_joint_length_1", 15},         {"phy_joint_length_2", 16},         {"phy_joint_damping_ratio", 17},
    {"phy_joint_frequency", 18},        {"phy_debug_render_shapes", 1},     {"phy_debug_render_joints", 2},
    {"phy_debug_render_coms", 4},       {"phy_debug_render_aabb", 8},       {"phy_debug_render_obb", 16},
    {"phy_debug_render_core_shapes", 32}, {"phy_debug_render_collision_pairs", 64},
};

constexpr const char* kAudioFalloff[] = {
    "audio_falloff_none",
    "audio_falloff_inverse_distance",
    "audio_falloff_inverse_distance_clamped",
    "audio_falloff_linear_distance",
    "audio_falloff_linear_distance_clamped",
    "audio_falloff_exponent_distance",
    "audio_falloff_exponent_distance_clamped",
};

constexpr NamedValue kAudioConstants[] = {
    {"audio_old_system", 0}, {"audio_new_system", 1}, {"audio_mono", 0}, {"audio_stereo", 1}, {"audio_3d", 2},
};

constexpr const char* kOverlayPages[] = {"ov_friends", "ov_community", "ov_players", "ov_settings", "ov_gamegroup",
                                         "ov_achievements"};

constexpr NamedValue kLeaderboardConstants[] = {
    {"lb_sort_none", 0},  {"lb_sort_ascending", 1}, {"lb_sort_descending", 2}, {"lb_disp_none", 0},
    {"lb_disp_numeric", 1}, {"lb_disp_time_sec", 2}, {"lb_disp_time_ms", 3},
};

constexpr NamedValue kTimezoneConstants[] = {{"timezone_local", 0}, {"timezone_utc", 1}};

}  // namespace

void AddConstant(const char* name, const ScriptValue* value) {
  // Copied before the table grows: the value (or the name) may be one of the table's own.
  ScriptValue copy;
  CopyValue(&copy, value);
  g_constants.values.Push(copy);  // takes over the copy's payload
  g_constants.names.Add(name);
}

void RegisterBuiltinConstant(const char* name, double value) {
  ScriptValue v;
  SetReal(&v, value);
  AddConstant(name, &v);
}

void RegisterBuiltinStringConstant(const char* name, const char* text) {
  ScriptValue v;
  SetString(&v, text);
  AddConstant(name, &v);
  ReleaseValue(&v);
}

bool IsValidIdentifier(const char* text) {
  if (text == nullptr || text[0] == '\0' || !IsLetterOrUnderscore(text[0])) return false;
  for (const char* p = text + 1; *p != '\0'; ++p) {
    if (!IsLetterOrUnderscore(*p) && !(*p >= '0' && *p <= '9')) return false;
  }
  return true;
}

bool FoldConstantExpression(const char* text, ScriptValue* value) {
  SetReal(value, 0.0);
  CCode* code = new CCode(text, true);
  const bool compiled = Compiler_CompileTree(code);
  const bool folded = compiled && code->m_kind == CODE_CONSTANT;
  if (folded) CopyValue(value, &code->m_constant);
  if (!compiled) Code_ClearErrorFlag();
  // The constant shares the tree's payload: the tree goes first and takes it along.
  CodeNode_Delete(code->m_tree);
  code->m_tree = nullptr;
  SetReal(&code->m_constant, 0.0);
  delete code;
  return folded;
}

bool EvaluateConstantExpression(const char* text, ScriptValue* value) {
  SetReal(value, 0.0);
  char name[32];
  std::snprintf(name, sizeof(name), "Constant.%d", g_constants.expressionCounter);
  g_constants.expressionCounter = num::WrapAdd32(g_constants.expressionCounter, 1);
  CCode* code = new CCode(text, true);
  bool ok = code->Compile(name);
  if (ok) {
    CInstance* scratch = new CInstance(0.0f, 0.0f, 0, 0, false);
    ok = Code_Evaluate(scratch, scratch, code, value);
    delete scratch;
  }
  delete code;
  return ok;
}

bool DefineConstant(const char* name, const char* valueText) {
  VCLString trimmed;
  VCL_Trim(trimmed, name);
  const char* cleanName = trimmed.text != nullptr ? trimmed.text : "";
  if (!IsValidIdentifier(cleanName)) {
    const std::string message = std::string("Constant name ") + cleanName + "  is not valid.";
    ShowMessage(message.c_str());
    return false;
  }
  ScriptValue value;
  if (!FoldConstantExpression(valueText, &value)) {
    DebugConsole->Output("Constant %s: the value \"%s\" is not a constant expression; 0 is used\n", cleanName,
                         valueText != nullptr ? valueText : "");
  }
  AddConstant(cleanName, &value);
  ReleaseValue(&value);
  return true;
}

bool DefineConstantList(int32_t count, const char* const* names, const char* const* valueTexts) {
  for (int32_t i = 0; i < count; ++i) {
    if (!DefineConstant(names != nullptr ? names[i] : nullptr, valueTexts != nullptr ? valueTexts[i] : nullptr)) {
      return false;
    }
  }
  return true;
}

bool DefineGameConstants() {
  for (int32_t i = 0; i < g_Options.OptionConstantCount; ++i) {
    // Get answers null past an array's end, which reads as an empty name or text.
    if (!DefineConstant(g_Options.OptionConstantNames.Get(i), g_Options.OptionConstantValues.Get(i))) return false;
  }
  return true;
}

bool ResolveConstant(const char* name, ScriptValue* value) {
  if (name == nullptr) return false;
  const int32_t resource = FindResource(name);
  if (resource >= 0) {
    SetReal(value, resource);
    return true;
  }
  const int32_t newest = g_constants.names.FindLast(name);
  if (newest < 0) return false;
  CopyValue(value, &g_constants.values[newest]);
  return true;
}

const ScriptValue* FindConstant(const char* name) {
  const int32_t newest = g_constants.names.FindLast(name, NameCase::kIgnoreAscii);
  return newest >= 0 ? &g_constants.values[newest] : nullptr;
}

int32_t ConstantCount() { return g_constants.names.Count(); }

void RegisterBuiltinConstants() {
  RegisterTable(kInstanceConstants);
  // The single-precision value of pi, widened back to double.
  RegisterBuiltinConstant("pi", static_cast<double>(num::ToFloat(3.14159265358979323846)));
  RegisterTable(kPrimitiveConstants);
  RegisterTable(kColourConstants);
  RegisterTable(kBlendConstants);
  RegisterTable(kSoundEffectConstants);
  RegisterTable(kAlignConstants);
  RegisterTable(kMouseButtonConstants);
  RegisterTable(kKeyConstants);
  RegisterNumbered("vk_f", 1, 12, 112);
  RegisterNumbered("vk_numpad", 0, 9, 96);
  RegisterTable(kKeypadConstants);
  RegisterSequence(kGamepadConstants, 32769);
  RegisterTable(kEventConstants);
  RegisterTable(kMouseEventConstants);
  RegisterNumbered("ev_joystick1_button", 1, 8, 21);
  RegisterTable(kJoystick2Constants);
  RegisterNumbered("ev_joystick2_button", 1, 8, 36);
  RegisterTable(kGlobalMouseConstants);
  RegisterTable(kOtherEventConstants);
  RegisterNumbered("ev_user", 0, 15, 10);
  RegisterTable(kStepEventConstants);
  RegisterBuiltinConstant("ty_real", 0);
  RegisterBuiltinConstant("ty_string", 1);
  if (g_Extensions.ExternalCallsDisabled == 0) {
    RegisterBuiltinConstant("dll_cdecl", 0);
    RegisterBuiltinConstant("dll_stdcall", 1);
  }
  RegisterTable(kFileAttributeConstants);
  RegisterTable(kCursorConstants);
  RegisterSequence(kParticleShapes, 0);
  RegisterSequence(kParticleDistributions, 0);
  RegisterSequence(kParticleEmitterShapes, 0);
  RegisterSequence(kParticleForces, 0);
  RegisterSequence(kParticleDeflections, 0);
  RegisterSequence(kParticleChanges, 0);
  RegisterSequence(kEffects, 0);
  RegisterTable(kDisplayConstants);
  RegisterTable(kPhysicsConstants);
  RegisterSequence(kAudioFalloff, 0);
  RegisterTable(kAudioConstants);
  RegisterSequence(kOverlayPages, 0);
  RegisterTable(kLeaderboardConstants);
  RegisterTable(kTimezoneConstants);
}

void FreeConstants() {
  for (int32_t i = 0; i < g_constants.values.Count(); ++i) ReleaseValue(&g_constants.values[i]);
  g_constants.values.Free();
  g_constants.names.FreeAll();
  g_constants = ConstantTable{};
}
