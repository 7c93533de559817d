// The window, clipboard and process built-ins: thin uses of the window and process services of
// os/, adding no state of their own. None reports an error.
#include <string>

#include "function/Function_Args.h"
#include "function/Function_Misc.h"
#include "graphics/Graphics_D3D.h"
#include "os/OS_Process.h"
#include "os/OS_Window.h"
#include "platform/Numeric.h"
#include "variable/ScriptValue.h"

namespace {

void SetPointer(ScriptValue* result, void* pointer) {
  result->ptr = pointer;
  result->kind = VALUE_PTR;
}

}  // namespace

bool IsGameWindowFocused() { return OS_Window().isActive(); }

void F_WindowHandle(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  SetPointer(result, OS_Window().sdlWindow());
}

void F_WindowDevice(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  SetPointer(result, g_GraphicsDevice.device);
}

// Levels outside -3..3 are normal priority.
void F_SetProgramPriority(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  int64_t level = num::RoundInt64(ArgReal(argc, args, 0));
  if (level < kOSPriorityLowest || level > kOSPriorityHighest) level = 0;
  OS_Process().setPriority(static_cast<int32_t>(level));
}

// Only a string is taken as the title; its bytes are handed on as they are.
void F_SetApplicationTitle(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (ArgKindWord(argc, args, 0) != VALUE_STRING) return;
  OS_Window().setTitle(args[0].str);
}

void F_ClipboardHasText(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  SetReal(result, OS_Window().hasClipboardText() ? 1.0 : 0.0);
}

// A string without text puts the empty text on the clipboard; a value that is not a string is
// refused and leaves the clipboard as it was.
void F_ClipboardSetText(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (ArgKindWord(argc, args, 0) != VALUE_STRING) return;
  OS_Window().setClipboardText(args[0].str != nullptr ? args[0].str : "");
}

// The empty text when the clipboard holds none; no text when it cannot be read.
void F_ClipboardGetText(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  SetString(result, "");
  if (!OS_Window().hasClipboardText()) return;
  std::string text;
  ReleaseValue(result);
  SetString(result, OS_Window().getClipboardText(&text) ? text.c_str() : nullptr);
}
