// The background built-ins: queries, making backgrounds from colours, gradients, the screen,
// surfaces, files and URLs, and duplicating, assigning, deleting and saving them.
//
// An index argument is the real rounded to the nearest integer (halves to even), as are sizes,
// positions, colours and kinds; a flag is set above 0.5, except for background_add and
// background_replace, where it is set from 0.5 up. Misuse is reported as a non-fatal run-time
// error.
#include <memory>
#include <vector>

#include "background/Background_Main.h"
#include "base/ErrorSink.h"
#include "base/VCL.h"
#include "function/Function_Args.h"
#include "function/Function_Resource.h"
#include "graphics/Graphics_Bitmap32.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/PNG_Writer.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/TBitmap.h"
#include "platform/Numeric.h"
#include "support/LoadSave.h"
#include "variable/ScriptValue.h"

namespace {

// ---- Queries ----

void BackgroundExists(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, Background_Exists(ArgList{argc, args}.Int(0)) ? 1.0 : 0.0);
}

void BackgroundGetName(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetString(result, Background_GetName(ArgList{argc, args}.Int(0)));
}

// A field of an existing background, else -1.
template <double (*Field)(const CBackground&)>
void BackgroundField(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const CBackground* background = Background_Data(ArgList{argc, args}.Int(0));
  SetReal(result, background != nullptr ? Field(*background) : -1.0);
}
double Width(const CBackground& b) { return b.GetWidth(); }
double Height(const CBackground& b) { return b.GetHeight(); }
double Transparent(const CBackground& b) { return b.GetTransparent() ? 1.0 : 0.0; }
double Smooth(const CBackground& b) { return b.GetSmooth() ? 1.0 : 0.0; }
double Preload(const CBackground& b) { return b.GetPreload() ? 1.0 : 0.0; }

void BackgroundSetAlphaFromBackground(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const ArgList a{argc, args};
  CBackground* background = Background_Data(a.Int(0));
  const CBackground* other = Background_Data(a.Int(1));
  if (background != nullptr && other != nullptr) background->SetAlphaFromBackground(*other);
}

// ---- Making backgrounds ----

void BackgroundCreateColour(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const ArgList a{argc, args};
  const int32_t index = Background_AddEmpty();
  Background_Data(index)->CreateColour(a.Int(0), a.Int(1), a.Colour(2), true);
  SetReal(result, index);
}

void BackgroundCreateGradient(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const ArgList a{argc, args};
  const int32_t index = Background_AddEmpty();
  Background_Data(index)->CreateGradient(a.Int(0), a.Int(1), a.Colour(2), a.Colour(3), a.Int(4), true);
  SetReal(result, index);
}

// A new slot (the result) made from `image`; without an image the slot stays empty.
void AddFromImage(ScriptValue* result, std::unique_ptr<TBitmap> image, bool removeBack, bool smooth) {
  const int32_t index = Background_AddEmpty();
  if (image != nullptr) Background_Data(index)->CreateFromBitmap(image.get(), removeBack, smooth, false, !removeBack);
  SetReal(result, index);
}

void BackgroundCreateFromScreen(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const ArgList a{argc, args};
  AddFromImage(result, GR_CreateTBitmapFromScreen(a.Int(0), a.Int(1), a.Int(2), a.Int(3)), a.StrictFlag(4),
               a.StrictFlag(5));
}

void BackgroundCreateFromSurface(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const ArgList a{argc, args};
  AddFromImage(result, GR_Surface_GetBitmap(a.Int(0), a.Int(1), a.Int(2), a.Int(3), a.Int(4)), a.StrictFlag(5),
               a.StrictFlag(6));
}

void BackgroundAdd(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const ArgList a{argc, args};
  SetReal(result, Background_Add(a.Text(0), a.Flag(1), a.Flag(2), true));
}

void BackgroundReplace(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const ArgList a{argc, args};
  const int32_t index = a.Int(0);
  if (!Background_Exists(index)) {
    ReportRuntimeError("Trying to replace non-existing background.", false);
    return;
  }
  SetReal(result, Background_Replace(index, a.Text(1), a.Flag(2), a.Flag(3), true) ? 1.0 : 0.0);
}

void Unsupported(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  SetReal(result, -1.0);
  DebugConsole->Output("unsupported function");
}

// ---- Changing backgrounds ----

void BackgroundDelete(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int32_t index = ArgList{argc, args}.Int(0);
  if (!Background_Exists(index)) {
    ReportRuntimeError("Trying to delete non-existing background.", false);
    return;
  }
  Background_Delete(index);
  SetReal(result, 1.0);
}

void BackgroundDuplicate(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int32_t index = ArgList{argc, args}.Int(0);
  if (!Background_Exists(index)) {
    ReportRuntimeError("Trying to duplicate non-existing background.", false);
    return;
  }
  SetReal(result, Background_Duplicate(index));
}

void BackgroundAssign(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const ArgList a{argc, args};
  if (!Background_Assign(a.Int(0), a.Int(1))) ReportRuntimeError("Error assigning a background.", false);
}

bool AppendBytes(void* context, const uint8_t* bytes, size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  out->insert(out->end(), bytes, bytes + length);
  return out->size() <= INT32_MAX;
}

void BackgroundSave(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const ArgList a{argc, args};
  const CBackground* background = Background_Data(a.Int(0));
  if (background == nullptr) {
    ReportRuntimeError("Trying to save non-existing background bitmap.", false);
    return;
  }
  const char* name = a.Text(1);
  if (name == nullptr || name[0] == '\0') {
    ReportRuntimeError("Trying to save background bitmap to empty image file name.", false);
    return;
  }
  std::unique_ptr<TBitmap> image = background->m_Bitmap != nullptr ? background->m_Bitmap->CreateTBitmap() : nullptr;
  if (image == nullptr) {
    DebugConsole->Output("background_save() failed - no bitmap data available\n");
    return;
  }
  // The image's own size: a bitmap read back from a trimmed page entry is smaller than the
  // record's width and height, and nothing is read past its pixels.
  const uint8_t* pixels = image->Lock(0, nullptr, nullptr);
  std::vector<uint8_t> png;
  const PngEncodeResult encoded = Graphics_EncodePNG(pixels, image->GetWidth(), image->GetHeight(), AppendBytes, &png);
  image->Unlock(nullptr);
  if (encoded != PngEncodeResult::Written ||
      !LoadSave_WriteSaveFile(name, png.data(), static_cast<int>(png.size()))) {
    DebugConsole->Output("[write_png_file] File %s could not be written\n", name);
  }
}

// In registration order, which fixes the call numbers.
const BuiltinSpec kBackgroundBuiltins[] = {
    {"background_name", BackgroundGetName, 1},
    {"background_exists", BackgroundExists, 1},
    {"background_get_name", BackgroundGetName, 1},
    {"background_get_width", BackgroundField<Width>, 1},
    {"background_get_height", BackgroundField<Height>, 1},
    {"background_get_transparent", BackgroundField<Transparent>, 1},
    {"background_get_smooth", BackgroundField<Smooth>, 1},
    {"background_get_preload", BackgroundField<Preload>, 1},
    {"background_set_alpha_from_background", BackgroundSetAlphaFromBackground, 2},
    {"background_create_color", BackgroundCreateColour, 3},
    {"background_create_colour", BackgroundCreateColour, 3},
    {"background_replace", BackgroundReplace, 4},
    {"background_create_from_screen", BackgroundCreateFromScreen, 6},
    {"background_create_from_surface", BackgroundCreateFromSurface, 7},
    {"background_create_gradient", BackgroundCreateGradient, 5},
    {"background_add", BackgroundAdd, 3},
    {"background_add_background", Unsupported, 1},
    {"background_replace_background", Unsupported, 2},
    {"background_delete", BackgroundDelete, 1},
    {"background_duplicate", BackgroundDuplicate, 1},
    {"background_assign", BackgroundAssign, 2},
    {"background_save", BackgroundSave, 2},
};

}  // namespace

void RegisterBackgroundFunctions() { RegisterBuiltinTable(kBackgroundBuiltins); }
