// The font built-ins: the font table's queries, TrueType and sprite fonts added and replaced,
// fonts deleted. Index arguments are rounded to the nearest integer (ties to even), flags are
// set from 0.5; misuse is reported as a non-fatal error and leaves the result as it came in.
#include "base/ErrorSink.h"
#include "code/Code_Function.h"
#include "font/Font_Class.h"
#include "font/Font_Main.h"
#include "function/Function_Args.h"
#include "function/Function_Resource.h"
#include "platform/Numeric.h"
#include "sprite/Sprite_Main.h"

namespace {

constexpr char kNoSprite[] = "Trying to create font from non-existing sprite.";
constexpr char kReplaceMissing[] = "Trying to replace non-existing font.";
constexpr char kReplaceNoSprite[] = "Trying to replace font from non-existing sprite.";
constexpr char kDeleteMissing[] = "Trying to delete non-existing font.";

int32_t Rounded(int32_t argc, const ScriptValue* args, int32_t i) {
  return num::RoundInt32(ArgNumberOrNaN(argc, args, i));
}
bool Flag(int32_t argc, const ScriptValue* args, int32_t i) { return num::IsTrue(ArgReal(argc, args, i)); }
const char* Text(int32_t argc, const ScriptValue* args, int32_t i) { return ArgText(argc, args, i); }

void F_FontExists(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, Font_Exists(Rounded(argc, args, 0)) ? 1.0 : 0.0);
}

void F_FontGetName(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetString(result, Font_GetName(Rounded(argc, args, 0)));
}

void F_FontGetFontName(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const CFontTW* font = Font_Data(Rounded(argc, args, 0));
  SetString(result, font != nullptr ? font->GetFontName() : nullptr);
}

// The font_get_* queries of one field: -1 for a font that does not exist.
template <int32_t (*Field)(const CFontTW&)>
void F_FontField(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const CFontTW* font = Font_Data(Rounded(argc, args, 0));
  SetReal(result, font != nullptr ? Field(*font) : -1.0);
}
int32_t SizeOf(const CFontTW& f) { return f.GetSize(); }
int32_t BoldOf(const CFontTW& f) { return f.GetBold() ? 1 : 0; }
int32_t ItalicOf(const CFontTW& f) { return f.GetItalic() ? 1 : 0; }
int32_t FirstOf(const CFontTW& f) { return f.GetFirst(); }
int32_t LastOf(const CFontTW& f) { return f.GetLast(); }

void F_FontAdd(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, Font_Add(Text(argc, args, 0), Rounded(argc, args, 1), Flag(argc, args, 2), Flag(argc, args, 3),
                           Rounded(argc, args, 4), Rounded(argc, args, 5)));
}

void F_FontReplace(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int32_t index = Rounded(argc, args, 0);
  if (!Font_Exists(index)) {
    ReportRuntimeError(kReplaceMissing, false);
    return;
  }
  Font_Replace(index, Text(argc, args, 1), Rounded(argc, args, 2), Flag(argc, args, 3), Flag(argc, args, 4),
               Rounded(argc, args, 5), Rounded(argc, args, 6));
  SetReal(result, 1.0);
}

void F_FontAddSprite(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int32_t sprite = Rounded(argc, args, 0);
  if (!Sprite_Exists(sprite)) {
    ReportRuntimeError(kNoSprite, false);
    return;
  }
  SetReal(result, Font_AddSprite(sprite, Rounded(argc, args, 1), Flag(argc, args, 2), Rounded(argc, args, 3)));
}

void F_FontAddSpriteExt(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int32_t sprite = Rounded(argc, args, 0);
  if (!Sprite_Exists(sprite)) {
    ReportRuntimeError(kNoSprite, false);
    return;
  }
  SetReal(result, Font_AddSpriteExt(sprite, Text(argc, args, 1), Flag(argc, args, 2), Rounded(argc, args, 3)));
}

// The checks of the sprite replacements: the font first, then the sprite.
bool CanReplaceFromSprite(int32_t index, int32_t sprite) {
  if (!Font_Exists(index)) {
    ReportRuntimeError(kReplaceMissing, false);
    return false;
  }
  if (!Sprite_Exists(sprite)) {
    ReportRuntimeError(kReplaceNoSprite, false);
    return false;
  }
  return true;
}

void F_FontReplaceSprite(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int32_t index = Rounded(argc, args, 0), sprite = Rounded(argc, args, 1);
  if (!CanReplaceFromSprite(index, sprite)) return;
  Font_ReplaceSprite(index, sprite, Rounded(argc, args, 2), Flag(argc, args, 3), Rounded(argc, args, 4));
  SetReal(result, 1.0);
}

void F_FontReplaceSpriteExt(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int32_t index = Rounded(argc, args, 0), sprite = Rounded(argc, args, 1);
  if (!CanReplaceFromSprite(index, sprite)) return;
  Font_ReplaceSpriteExt(index, sprite, Text(argc, args, 2), Flag(argc, args, 3), Rounded(argc, args, 4));
  SetReal(result, 1.0);
}

void F_FontDelete(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int32_t index = Rounded(argc, args, 0);
  if (!Font_Exists(index)) {
    ReportRuntimeError(kDeleteMissing, false);
    return;
  }
  Font_Delete(index);
  SetReal(result, 1.0);
}

// In registration order, which fixes the call numbers.
constexpr BuiltinSpec kFunctions[] = {
    {"font_name", F_FontGetName, 1},
    {"font_exists", F_FontExists, 1},
    {"font_get_name", F_FontGetName, 1},
    {"font_get_fontname", F_FontGetFontName, 1},
    {"font_get_size", F_FontField<SizeOf>, 1},
    {"font_get_bold", F_FontField<BoldOf>, 1},
    {"font_get_italic", F_FontField<ItalicOf>, 1},
    {"font_get_first", F_FontField<FirstOf>, 1},
    {"font_get_last", F_FontField<LastOf>, 1},
    {"font_add", F_FontAdd, 6},
    {"font_replace", F_FontReplace, 7},
    {"font_add_sprite", F_FontAddSprite, 4},
    {"font_add_sprite_ext", F_FontAddSpriteExt, 4},
    {"font_replace_sprite", F_FontReplaceSprite, 5},
    {"font_replace_sprite_ext", F_FontReplaceSpriteExt, 5},
    {"font_delete", F_FontDelete, 1},
};

}  // namespace

void RegisterFontFunctions() { RegisterBuiltinTable(kFunctions); }
