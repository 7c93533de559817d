// The colour and drawing-state built-ins, the display, window and screen built-ins, the primitive
// built-ins, the surface built-ins, the sprite and background drawing built-ins, the text
// built-ins, the texture built-ins and the tile built-ins.
#include "function/Function_Graphics.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "background/Background_Class.h"
#include "background/Background_Main.h"
#include "base/ErrorSink.h"
#include "code/VM_State.h"
#include "font/Font_Class.h"
#include "font/Font_Main.h"
#include "function/Function_Args.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Display.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Support.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Text.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/Graphics_Window.h"
#include "io/IO_Main.h"
#include "option/Option_Main.h"
#include "os/OS_Window.h"
#include "path/Path_Main.h"
#include "platform/Colour.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "room/Room_Class.h"
#include "run/Run_Frame.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"
#include "variable/ScriptValue.h"

namespace {

// ---- Argument conversions ----
//
// A coordinate, size or alpha is the real narrowed to single precision; a colour, kind or count
// is that single value rounded to the nearest integer, halves to even; an outline or other flag
// is set from 0.5 up.

struct Args {
  int32_t argc;
  const ScriptValue* args;

  double Real(int32_t i) const { return ArgReal(argc, args, i); }
  float Single(int32_t i) const { return num::ToFloat(Real(i)); }
  int32_t Int(int32_t i) const { return num::RoundInt32(Single(i)); }
  uint32_t Colour(int32_t i) const { return static_cast<uint32_t>(num::RoundInt64(Single(i))); }
  bool Flag(int32_t i) const { return num::IsTrue(Single(i)); }
};

// The count and kind checks of the switches: false (after the report) when the call is not one
// real argument.
bool OneReal(int32_t argc, const ScriptValue* args, const char* prefix) {
  std::string message = prefix;
  if (argc != 1) {
    ReportRuntimeError((message + "Illegal argument count").c_str(), false);
    return false;
  }
  if (args[0].Kind() != VALUE_REAL) {
    ReportRuntimeError((message + "Illegal argument type").c_str(), false);
    return false;
  }
  return true;
}

// ---- Colour and drawing state ----

void DrawSetColour(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  GR_SetColour(static_cast<uint32_t>(num::RoundInt64(ArgReal(argc, args, 0))));
}

void DrawSetAlpha(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  GR_SetAlpha(Args{argc, args}.Single(0));
}

void DrawGetColour(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  SetReal(result, GR_GetColour() & 0xFFFFFFu);
}

void DrawGetAlpha(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) { SetReal(result, GR_GetAlpha()); }

void MakeColour(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int32_t r = num::TruncInt32(ArgReal(argc, args, 0));
  const int32_t g = num::TruncInt32(ArgReal(argc, args, 1));
  const int32_t b = num::TruncInt32(ArgReal(argc, args, 2));
  SetReal(result, MakeColourRGB(r, g, b));
}

uint8_t RoundedByte(int32_t argc, const ScriptValue* args, int32_t i) {
  return static_cast<uint8_t>(num::RoundInt32(ArgReal(argc, args, i)));
}

void MakeColourHSV(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, HSVToColour(RoundedByte(argc, args, 0), RoundedByte(argc, args, 1), RoundedByte(argc, args, 2)));
}

// The colour argument rounded, as a 32-bit integer.
int32_t ColourArg(int32_t argc, const ScriptValue* args) { return num::RoundInt32(ArgReal(argc, args, 0)); }

void ColourGetRed(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, num::ModInt32(ColourArg(argc, args), 256));
}

void ColourGetGreen(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, num::ModInt32(num::DivInt32(ColourArg(argc, args), 256), 256));
}

void ColourGetBlue(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, num::ModInt32(num::DivInt32(ColourArg(argc, args), 65536), 256));
}

HSVBytes HSVArg(int32_t argc, const ScriptValue* args) {
  return ColourToHSV(static_cast<uint32_t>(ColourArg(argc, args)));
}

void ColourGetHue(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, HSVArg(argc, args).h);
}

void ColourGetSaturation(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, HSVArg(argc, args).s);
}

void ColourGetValue(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, HSVArg(argc, args).v);
}

void MergeColours(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a{argc, args};
  SetReal(result, MergeColour(a.Colour(0), a.Colour(1), a.Single(2)));
}

void DrawSetBlendMode(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  GR_SetBlendMode(Args{argc, args}.Int(0));
}

void DrawSetBlendModeExt(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a{argc, args};
  GR_SetBlendModeExt(a.Int(0), a.Int(1));
}

bool StrictFlag(int32_t argc, const ScriptValue* args, int32_t i) { return num::IsTrueStrict(ArgReal(argc, args, i)); }

void DrawSetColourWriteEnable(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  GR_SetColourWriteEnable(StrictFlag(argc, args, 0), StrictFlag(argc, args, 1), StrictFlag(argc, args, 2),
                          StrictFlag(argc, args, 3));
}

void DrawSetAlphaTest(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  GR_SetAlphaTest(StrictFlag(argc, args, 0));
}

void DrawSetAlphaTestRef(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  GR_SetAlphaTestRef(static_cast<uint32_t>(num::RoundInt64(ArgReal(argc, args, 0))));
}

void DrawGetAlphaTest(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  SetReal(result, GR_GetAlphaTest() ? 1.0 : 0.0);
}

void DrawGetAlphaTestRef(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  SetReal(result, GR_GetAlphaTestRef());
}

void DrawClear(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  GR_Clear(Args{argc, args}.Colour(0) | 0xFF000000u);
}

void DrawClearAlpha(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const Args a{argc, args};
  GR_ClearAlpha(a.Colour(0), a.Single(1));
}

// The pixel under a room point of the view being drawn, 0xAABBGGRR; 0 when it cannot be read.
uint32_t PixelAt(int32_t argc, const ScriptValue* args) {
  int32_t x = 0, y = 0;
  GR_Window_MapRoomToPort(GR_Window_GetDrawingView(), num::ToFloat(ArgReal(argc, args, 0)),
                          num::ToFloat(ArgReal(argc, args, 1)), &x, &y);
  return GR_GetScreenPixel(x, y);
}

void DrawGetPixelExt(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, PixelAt(argc, args));
}

void DrawGetPixel(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, PixelAt(argc, args) & 0xFFFFFFu);
}

void DrawEnableDrawEvent(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (OneReal(argc, args, "")) g_RenderStates.drawEvents = num::IsTrue(args[0].real);
}

void DrawEnableSwfAA(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (OneReal(argc, args, "")) g_RenderStates.vectorAntiAlias = num::IsTrue(args[0].real);
}

void DrawSetSwfAALevel(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (!OneReal(argc, args, "")) return;
  const float level = num::ToFloat(args[0].real);
  g_RenderStates.vectorAntiAliasLevel = level > 1.0f ? 1.0f : level > 0.0f ? level : 0.0f;
}

void DrawGetSwfAALevel(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue*) {
  if (argc != 0) {
    ReportRuntimeError("Illegal argument count", false);
    return;
  }
  SetReal(result, g_RenderStates.vectorAntiAliasLevel);
}

void ShaderEnableCornerId(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, -1.0);
  if (OneReal(argc, args, "draw_enable_corner_id: ")) g_RenderStates.cornerIds = num::IsTrueStrict(args[0].real);
}

// ---- Display, window and screen ----
//
// Numbers are the real rounded to the nearest integer, halves to even, unless said; flags are set
// from 0.5 up.

#define DISPLAY(name) void name(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args)

int32_t RoundedArg(int32_t argc, const ScriptValue* args, int32_t i) { return num::RoundInt32(ArgReal(argc, args, i)); }

// A query without arguments: the number `Get` answers.
template <int32_t (*Get)()>
DISPLAY(AnswerOf) {
  (void)argc, (void)args;
  SetReal(result, Get());
}

DISPLAY(DisplayGetOrientation) {
  (void)argc, (void)args;
  SetReal(result, 0.0);
}
// Each change resets the device whatever the display answered, and answers that.
DISPLAY(DisplaySetSize) {
  const bool changed = GraphicsSetDisplaySize(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1));
  GR_D3D_Reset();
  SetReal(result, changed ? 1.0 : 0.0);
}
DISPLAY(DisplaySetColourDepth) {
  const bool changed = GraphicsSetDisplayColourDepth(RoundedArg(argc, args, 0));
  GR_D3D_Reset();
  SetReal(result, changed ? 1.0 : 0.0);
}
DISPLAY(DisplaySetFrequency) {
  const bool changed = GraphicsSetDisplayFrequency(RoundedArg(argc, args, 0));
  GR_D3D_Reset();
  SetReal(result, changed ? 1.0 : 0.0);
}
DISPLAY(DisplaySetAll) {
  const bool changed = GraphicsSetDisplayMode(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1),
                                              RoundedArg(argc, args, 2), RoundedArg(argc, args, 3));
  GR_D3D_Reset();
  SetReal(result, changed ? 1.0 : 0.0);
}
DISPLAY(DisplayTestAll) {
  SetReal(result, GraphicsTestDisplayMode(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1),
                                          RoundedArg(argc, args, 2), RoundedArg(argc, args, 3))
                      ? 1.0
                      : 0.0);
}
// (aa [, vsync]): the multisample level truncated to its low byte; vertical sync on when the
// second value truncated is above 0, unchanged without one. The device is reset at the next frame.
DISPLAY(DisplayReset) {
  (void)result;
  GraphicsSetMultisample(num::TruncInt32(ArgReal(argc, args, 0)) & 0xFF);
  if (argc >= 2) GraphicsSetVsync(num::TruncInt32(ArgReal(argc, args, 1)) > 0);
  g_FrameLoop.resizeCountdown = 1;
}
DISPLAY(DisplayMouseSet) {
  (void)result;
  GraphicsSetCursorPos(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1), OS_Window().isActive());
}

DISPLAY(WindowSetFullscreen) {
  (void)result;
  GR_Window_SetFullscreen(num::IsTrue(ArgReal(argc, args, 0)));
}
DISPLAY(WindowGetFullscreen) {
  (void)argc, (void)args;
  SetReal(result, GR_Window_GetFullscreen() ? 1.0 : 0.0);
}
// Window styles this build does not change.
DISPLAY(WindowDoNothing) { (void)result, (void)argc, (void)args; }
DISPLAY(WindowGetVisible) {
  (void)argc, (void)args;
  SetReal(result, 1.0);
}
DISPLAY(WindowGetZero) {
  (void)argc, (void)args;
  SetReal(result, 0.0);
}
DISPLAY(WindowSetCaption) {
  (void)result;
  GR_Window_SetCaption(ArgText(argc, args, 0));
}
DISPLAY(WindowGetCaption) {
  (void)argc, (void)args;
  const char* caption = GR_Window_GetCaption();
  SetString(result, caption != nullptr ? caption : "");
}
// The show-cursor option follows: off only for the constant -1.
DISPLAY(WindowSetCursor) {
  (void)result;
  const int32_t cursor = RoundedArg(argc, args, 0);
  GR_Window_SetCursor(cursor);
  g_Options.showCursor = cursor != -1;
}
DISPLAY(WindowGetCursor) {
  (void)argc, (void)args;
  SetReal(result, GR_Window_GetCursor());
}
DISPLAY(WindowSetColour) {
  (void)result;
  GR_Window_SetColour(static_cast<int32_t>(num::RoundInt64(ArgReal(argc, args, 0))));
}
// The size limits are stored truncated.
template <int32_t WindowState::*Limit>
DISPLAY(WindowSetLimit) {
  (void)result;
  g_Window.*Limit = num::TruncInt32(ArgReal(argc, args, 0));
}
DISPLAY(WindowSetPosition) {
  (void)result;
  GR_Window_SetPosition(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1));
}
DISPLAY(WindowSetSize) {
  (void)result;
  GR_Window_SetSize(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1));
}
DISPLAY(WindowSetRectangle) {
  (void)result;
  GR_Window_SetRectangle(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1), RoundedArg(argc, args, 2),
                         RoundedArg(argc, args, 3));
}
DISPLAY(WindowCentre) {
  (void)result, (void)argc, (void)args;
  GR_Window_Centre();
}
// (x1, y1, x2, y2): 8 values per monitor in one row; an empty array without monitors.
DISPLAY(WindowGetVisibleRects) {
  GrowArray<double> values;
  const int32_t monitors = GR_Window_GetVisibleRects(ArgReal(argc, args, 0), ArgReal(argc, args, 1),
                                                     ArgReal(argc, args, 2), ArgReal(argc, args, 3), &values);
  ReleaseValue(result);
  result->kind = VALUE_ARRAY;
  result->arr = ValueArray_Create(result);
  for (int32_t i = 0; i < monitors * 8; ++i) {
    ScriptValue v{};
    v.real = values.Data()[i];
    SetValueElement(result, &v, i);
  }
  values.Free();
}
// Device 0's position in client pixels.
DISPLAY(WindowMouseGetX) {
  (void)argc, (void)args;
  SetReal(result, IO_GetRawMouseX(0));
}
DISPLAY(WindowMouseGetY) {
  (void)argc, (void)args;
  SetReal(result, IO_GetRawMouseY(0));
}
// Device 0 through one view; a view not drawn answers the application area's left offset.
DISPLAY(WindowViewMouseGetX) {
  int32_t x = 0, y = 0;
  GR_Window_MapViewMouse(RoundedArg(argc, args, 0), IO_GetRawMouseX(0), IO_GetRawMouseY(0), &x, &y);
  SetReal(result, x);
}
DISPLAY(WindowViewMouseGetY) {
  int32_t x = 0, y = 0;
  GR_Window_MapViewMouse(RoundedArg(argc, args, 0), IO_GetRawMouseX(0), IO_GetRawMouseY(0), &x, &y);
  SetReal(result, y);
}
// Device 0 through all views.
DISPLAY(WindowViewsMouseGetX) {
  (void)argc, (void)args;
  SetReal(result, GR_Window_GetMouseX(0));
}
DISPLAY(WindowViewsMouseGetY) {
  (void)argc, (void)args;
  SetReal(result, GR_Window_GetMouseY(0));
}
DISPLAY(WindowMouseSet) {
  (void)result;
  GR_Window_SetMousePosition(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1));
}

DISPLAY(ScreenSave) {
  (void)result;
  GR_Save_Screen(ArgText(argc, args, 0));
}
DISPLAY(ScreenSavePart) {
  (void)result;
  GR_Save_ScreenPart(ArgText(argc, args, 0), RoundedArg(argc, args, 1), RoundedArg(argc, args, 2),
                     RoundedArg(argc, args, 3), RoundedArg(argc, args, 4));
}

#undef DISPLAY

const BuiltinSpec kDisplayBuiltins[] = {
    {"display_get_width", AnswerOf<GraphicsGetDisplayWidth>, 0},
    {"display_get_height", AnswerOf<GraphicsGetDisplayHeight>, 0},
    {"display_get_colordepth", AnswerOf<GraphicsGetDisplayColourDepth>, 0},
    {"display_get_frequency", AnswerOf<GraphicsGetDisplayFrequency>, 0},
    {"display_get_orientation", DisplayGetOrientation, 0},
    {"display_set_size", DisplaySetSize, 2},
    {"display_set_colordepth", DisplaySetColourDepth, 1},
    {"display_set_frequency", DisplaySetFrequency, 1},
    {"display_set_all", DisplaySetAll, 4},
    {"display_test_all", DisplayTestAll, 4},
    {"display_reset", DisplayReset, -1},
    {"display_mouse_get_x", AnswerOf<GraphicsGetCursorX>, 0},
    {"display_mouse_get_y", AnswerOf<GraphicsGetCursorY>, 0},
    {"display_mouse_set", DisplayMouseSet, 2},
    {"window_set_fullscreen", WindowSetFullscreen, 1},
    {"window_get_fullscreen", WindowGetFullscreen, 0},
    {"window_set_visible", WindowDoNothing, 1},
    {"window_set_showborder", WindowDoNothing, 1},
    {"window_set_showicons", WindowDoNothing, 1},
    {"window_set_stayontop", WindowDoNothing, 1},
    {"window_set_sizeable", WindowDoNothing, 1},
    {"window_default", WindowDoNothing, 0},
    {"window_view_mouse_set", WindowDoNothing, 3},
    {"window_views_mouse_set", WindowDoNothing, 2},
    {"window_get_visible", WindowGetVisible, 0},
    {"window_get_showborder", WindowGetZero, 0},
    {"window_get_showicons", WindowGetZero, 0},
    {"window_get_stayontop", WindowGetZero, 0},
    {"window_get_sizeable", WindowGetZero, 0},
    {"window_set_caption", WindowSetCaption, 1},
    {"window_get_caption", WindowGetCaption, 0},
    {"window_set_cursor", WindowSetCursor, 1},
    {"window_get_cursor", WindowGetCursor, 0},
    {"window_set_color", WindowSetColour, 1},
    {"window_set_colour", WindowSetColour, 1},
    {"window_get_color", AnswerOf<GR_Window_GetColour>, 0},
    {"window_get_colour", AnswerOf<GR_Window_GetColour>, 0},
    {"window_set_min_width", WindowSetLimit<&WindowState::minWidth>, 1},
    {"window_set_max_width", WindowSetLimit<&WindowState::maxWidth>, 1},
    {"window_set_min_height", WindowSetLimit<&WindowState::minHeight>, 1},
    {"window_set_max_height", WindowSetLimit<&WindowState::maxHeight>, 1},
    {"window_set_position", WindowSetPosition, 2},
    {"window_set_size", WindowSetSize, 2},
    {"window_set_rectangle", WindowSetRectangle, 4},
    {"window_center", WindowCentre, 0},
    {"window_get_x", AnswerOf<GR_Window_GetX>, 0},
    {"window_get_y", AnswerOf<GR_Window_GetY>, 0},
    {"window_get_width", AnswerOf<GR_Window_GetWidth>, 0},
    {"window_get_height", AnswerOf<GR_Window_GetHeight>, 0},
    {"window_get_visible_rects", WindowGetVisibleRects, 4},
    {"window_mouse_get_x", WindowMouseGetX, 0},
    {"window_mouse_get_y", WindowMouseGetY, 0},
    {"window_mouse_set", WindowMouseSet, 2},
    {"window_view_mouse_get_x", WindowViewMouseGetX, 1},
    {"window_view_mouse_get_y", WindowViewMouseGetY, 1},
    {"window_views_mouse_get_x", WindowViewsMouseGetX, 0},
    {"window_views_mouse_get_y", WindowViewsMouseGetY, 0},
    {"screen_save", ScreenSave, 1},
    {"screen_save_part", ScreenSavePart, 5},
};

// ---- Primitives ----

#define PRIMITIVE(name) void name(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args)

PRIMITIVE(DrawPoint) {
  const Args a{argc, args};
  GR_DrawPoint(a.Single(0), a.Single(1));
}
PRIMITIVE(DrawPointColour) {
  const Args a{argc, args};
  GR_DrawPointColour(a.Single(0), a.Single(1), a.Colour(2));
}
PRIMITIVE(DrawLine) {
  const Args a{argc, args};
  GR_DrawLine(a.Single(0), a.Single(1), a.Single(2), a.Single(3));
}
PRIMITIVE(DrawLineColour) {
  const Args a{argc, args};
  GR_DrawLineColour(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Colour(4), a.Colour(5));
}
PRIMITIVE(DrawLineWidth) {
  const Args a{argc, args};
  GR_DrawLineWidth(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Single(4));
}
PRIMITIVE(DrawLineWidthColour) {
  const Args a{argc, args};
  GR_DrawLineWidthColour(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Colour(5), a.Colour(6));
}
PRIMITIVE(DrawRectangle) {
  const Args a{argc, args};
  GR_DrawRectangle(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Flag(4));
}
PRIMITIVE(DrawRectangleColour) {
  const Args a{argc, args};
  GR_DrawRectangleColour(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Colour(4), a.Colour(5), a.Colour(6),
                         a.Colour(7), a.Flag(8));
}
PRIMITIVE(DrawRoundRect) {
  const Args a{argc, args};
  GR_DrawRoundRect(a.Single(0), a.Single(1), a.Single(2), a.Single(3), 10.0f, 10.0f, a.Flag(4));
}
PRIMITIVE(DrawRoundRectColour) {
  const Args a{argc, args};
  GR_DrawRoundRectColour(a.Single(0), a.Single(1), a.Single(2), a.Single(3), 10.0f, 10.0f, a.Colour(4), a.Colour(5),
                         a.Flag(6));
}

// The two _ext forms take from their short count (the radii default to 0) up to the full one.
bool ArgCountIn(int32_t argc, int32_t least, int32_t most) {
  if (argc >= least && argc <= most) return true;
  std::string message = g_VM.CurrentBuiltinName != nullptr ? g_VM.CurrentBuiltinName : "";
  ReportRuntimeError((message + ": Illegal argument count").c_str(), false);
  return false;
}

PRIMITIVE(DrawRoundRectExt) {
  if (!ArgCountIn(argc, 5, 7)) return;
  const Args a{argc, args};
  GR_DrawRoundRect(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Flag(6));
}
PRIMITIVE(DrawRoundRectColourExt) {
  if (!ArgCountIn(argc, 7, 9)) return;
  const Args a{argc, args};
  GR_DrawRoundRectColour(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Colour(6),
                         a.Colour(7), a.Flag(8));
}
PRIMITIVE(DrawTriangle) {
  const Args a{argc, args};
  GR_DrawTriangle(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Flag(6));
}
PRIMITIVE(DrawTriangleColour) {
  const Args a{argc, args};
  GR_DrawTriangleColour(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Colour(6),
                        a.Colour(7), a.Colour(8), a.Flag(9));
}
PRIMITIVE(DrawCircle) {
  const Args a{argc, args};
  GR_DrawCircle(a.Single(0), a.Single(1), a.Single(2), a.Flag(3));
}
PRIMITIVE(DrawCircleColour) {
  const Args a{argc, args};
  GR_DrawCircleColour(a.Single(0), a.Single(1), a.Single(2), a.Colour(3), a.Colour(4), a.Flag(5));
}
PRIMITIVE(DrawEllipse) {
  const Args a{argc, args};
  GR_DrawEllipse(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Flag(4));
}
PRIMITIVE(DrawEllipseColour) {
  const Args a{argc, args};
  GR_DrawEllipseColour(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Colour(4), a.Colour(5), a.Flag(6));
}
PRIMITIVE(DrawArrow) {
  const Args a{argc, args};
  GR_DrawArrow(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Single(4));
}
PRIMITIVE(DrawButton) {
  const Args a{argc, args};
  GR_DrawButton(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Flag(4));
}
PRIMITIVE(DrawHealthbar) {
  const Args a{argc, args};
  const uint32_t minColour = a.Colour(6), maxColour = a.Colour(7);
  GR_DrawHealthbar(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Colour(5), minColour,
                   MergeColour(minColour, maxColour, 0.5f), maxColour, a.Int(8), a.Flag(9), a.Flag(10));
}
// The path drawn at its own coordinates when absolute, else starting at (x, y).
PRIMITIVE(DrawPath) {
  const Args a{argc, args};
  const CPath* path = Path_Data(a.Int(0));
  if (path == nullptr) {
    ReportRuntimeError("Trying to drawn non-existing path.", false);
    return;
  }
  if (a.Flag(3)) {
    path->Draw(0, 0, true);
  } else {
    path->Draw(a.Single(1), a.Single(2), false);
  }
}
PRIMITIVE(DrawSetCirclePrecision) { GR_SetCirclePrecision(Args{argc, args}.Int(0)); }
PRIMITIVE(DrawPrimitiveBegin) { GR_PrimitiveBegin(Args{argc, args}.Int(0), -1.0); }
PRIMITIVE(DrawPrimitiveBeginTexture) {
  const Args a{argc, args};
  // A number is a texture id or handle, and so is the number a handed-out texture handle (a
  // pointer-kind value) holds; other kinds are a type error.
  const ScriptValue* texture = ArgValue(argc, args, 1);
  const ValueKind kind = texture->Kind();
  double value = __builtin_nan("");
  if (kind == VALUE_REAL || kind == VALUE_INT32 || kind == VALUE_INT64) {
    value = GetArgumentNumber(args, 1);
  } else if (kind == VALUE_PTR) {
    value = static_cast<double>(texture->bits);
  } else {
    GetArgumentNumber(args, 1);  // reports the kind
    return;
  }
  GR_PrimitiveBegin(a.Int(0), value);
}
PRIMITIVE(DrawPrimitiveEnd) {
  (void)argc, (void)args;
  GR_PrimitiveEnd();
}
PRIMITIVE(DrawVertex) {
  const Args a{argc, args};
  GR_PrimitiveVertex(a.Single(0), a.Single(1));
}
PRIMITIVE(DrawVertexColour) {
  const Args a{argc, args};
  GR_PrimitiveVertexColour(a.Single(0), a.Single(1), a.Colour(2), a.Single(3));
}
PRIMITIVE(DrawVertexTexture) {
  const Args a{argc, args};
  GR_PrimitiveVertexTexture(a.Single(0), a.Single(1), a.Single(2), a.Single(3));
}
PRIMITIVE(DrawVertexTextureColour) {
  const Args a{argc, args};
  GR_PrimitiveVertexTextureColour(a.Single(0), a.Single(1), a.Single(2), a.Single(3), a.Colour(4), a.Single(5));
}

#undef PRIMITIVE

const BuiltinSpec kColourBuiltins[] = {
    {"draw_set_color", DrawSetColour, 1},
    {"draw_set_colour", DrawSetColour, 1},
    {"draw_set_alpha", DrawSetAlpha, 1},
    {"draw_get_color", DrawGetColour, 0},
    {"draw_get_colour", DrawGetColour, 0},
    {"draw_get_alpha", DrawGetAlpha, 0},
    {"make_color", MakeColour, 3},
    {"make_colour", MakeColour, 3},
    {"make_color_rgb", MakeColour, 3},
    {"make_colour_rgb", MakeColour, 3},
    {"make_color_hsv", MakeColourHSV, 3},
    {"make_colour_hsv", MakeColourHSV, 3},
    {"color_get_red", ColourGetRed, 1},
    {"colour_get_red", ColourGetRed, 1},
    {"color_get_green", ColourGetGreen, 1},
    {"colour_get_green", ColourGetGreen, 1},
    {"color_get_blue", ColourGetBlue, 1},
    {"colour_get_blue", ColourGetBlue, 1},
    {"color_get_hue", ColourGetHue, 1},
    {"colour_get_hue", ColourGetHue, 1},
    {"color_get_saturation", ColourGetSaturation, 1},
    {"colour_get_saturation", ColourGetSaturation, 1},
    {"color_get_value", ColourGetValue, 1},
    {"colour_get_value", ColourGetValue, 1},
    {"merge_color", MergeColours, 3},
    {"merge_colour", MergeColours, 3},
    {"draw_set_blend_mode", DrawSetBlendMode, 1},
    {"draw_set_blend_mode_ext", DrawSetBlendModeExt, 2},
    {"draw_set_color_write_enable", DrawSetColourWriteEnable, 4},
    {"draw_set_colour_write_enable", DrawSetColourWriteEnable, 4},
    {"draw_set_alpha_test", DrawSetAlphaTest, 1},
    {"draw_set_alpha_test_ref_value", DrawSetAlphaTestRef, 1},
    {"draw_get_alpha_test", DrawGetAlphaTest, 0},
    {"draw_get_alpha_test_ref_value", DrawGetAlphaTestRef, 0},
    {"draw_clear", DrawClear, 1},
    {"draw_clear_alpha", DrawClearAlpha, 2},
    {"draw_getpixel_ext", DrawGetPixelExt, 2},
    {"draw_getpixel", DrawGetPixel, 2},
    {"draw_enable_drawevent", DrawEnableDrawEvent, 1},
    {"draw_enable_swf_aa", DrawEnableSwfAA, 1},
    {"draw_set_swf_aa_level", DrawSetSwfAALevel, 1},
    {"draw_get_swf_aa_level", DrawGetSwfAALevel, 0},
    {"shader_enable_corner_id", ShaderEnableCornerId, 1},
};

// The _ext round rectangles take a range of counts (checked by their bodies), so they register
// for any number.
const BuiltinSpec kPrimitiveBuiltins[] = {
    {"draw_point", DrawPoint, 2},
    {"draw_point_color", DrawPointColour, 3},
    {"draw_point_colour", DrawPointColour, 3},
    {"draw_line", DrawLine, 4},
    {"draw_line_color", DrawLineColour, 6},
    {"draw_line_colour", DrawLineColour, 6},
    {"draw_line_width", DrawLineWidth, 5},
    {"draw_line_width_color", DrawLineWidthColour, 7},
    {"draw_line_width_colour", DrawLineWidthColour, 7},
    {"draw_rectangle", DrawRectangle, 5},
    {"draw_rectangle_color", DrawRectangleColour, 9},
    {"draw_rectangle_colour", DrawRectangleColour, 9},
    {"draw_roundrect", DrawRoundRect, 5},
    {"draw_roundrect_ext", DrawRoundRectExt, -1},
    {"draw_roundrect_color", DrawRoundRectColour, 7},
    {"draw_roundrect_colour", DrawRoundRectColour, 7},
    {"draw_roundrect_color_ext", DrawRoundRectColourExt, -1},
    {"draw_roundrect_colour_ext", DrawRoundRectColourExt, -1},
    {"draw_triangle", DrawTriangle, 7},
    {"draw_triangle_color", DrawTriangleColour, 10},
    {"draw_triangle_colour", DrawTriangleColour, 10},
    {"draw_circle", DrawCircle, 4},
    {"draw_circle_color", DrawCircleColour, 6},
    {"draw_circle_colour", DrawCircleColour, 6},
    {"draw_ellipse", DrawEllipse, 5},
    {"draw_ellipse_color", DrawEllipseColour, 7},
    {"draw_ellipse_colour", DrawEllipseColour, 7},
    {"draw_arrow", DrawArrow, 5},
    {"draw_button", DrawButton, 5},
    {"draw_healthbar", DrawHealthbar, 11},
    {"draw_path", DrawPath, 4},
    {"draw_set_circle_precision", DrawSetCirclePrecision, 1},
    {"draw_primitive_begin", DrawPrimitiveBegin, 1},
    {"draw_primitive_begin_texture", DrawPrimitiveBeginTexture, 2},
    {"draw_primitive_end", DrawPrimitiveEnd, 0},
    {"draw_vertex", DrawVertex, 2},
    {"draw_vertex_color", DrawVertexColour, 4},
    {"draw_vertex_colour", DrawVertexColour, 4},
    {"draw_vertex_texture", DrawVertexTexture, 4},
    {"draw_vertex_texture_color", DrawVertexTextureColour, 6},
    {"draw_vertex_texture_colour", DrawVertexTextureColour, 6},
};

// ---- Surfaces ----
//
// Surface ids, target slots, pixel positions, sizes, colours and copy rectangles are the real
// rounded to the nearest integer, halves to even; drawing positions, scales, angles (degrees) and
// alphas are passed on narrowed to single precision. Functions that need an existing surface
// report "Trying to use non-existing surface." and do nothing else.

#define SURFACE(name) void name(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args)

struct SurfaceArgs : Args {
  int32_t Rounded(int32_t i) const { return num::RoundInt32(Real(i)); }
  uint32_t RoundedColour(int32_t i) const { return static_cast<uint32_t>(num::RoundInt64(Real(i))); }
};

// Takes the surface id of argument i into *id; false (after the report) when it names no surface.
bool ExistingSurface(const SurfaceArgs& a, int32_t i, int32_t* id) {
  *id = a.Rounded(i);
  if (GR_Surface_Exists(*id)) return true;
  ReportRuntimeError("Trying to use non-existing surface.", false);
  return false;
}

// The tiled variants cover the current room.
void RoomSize(float* width, float* height) {
  const CRoom* room = CurrentRoom;
  *width = room != nullptr ? static_cast<float>(room->m_Width) : 0.0f;
  *height = room != nullptr ? static_cast<float>(room->m_Height) : 0.0f;
}

SURFACE(SurfaceCreate) {
  const SurfaceArgs a{{argc, args}};
  if (!(a.Real(0) > 0.0) || !(a.Real(1) > 0.0)) {
    ReportRuntimeError("Invalid surface dimensions", false);
    return;
  }
  SetReal(result, GR_Surface_Create(a.Rounded(0), a.Rounded(1), -1));
}

SURFACE(SurfaceCreateExt) {
  (void)argc, (void)args;
  ReportRuntimeError("surface_create_ext() not supported", false);
  SetReal(result, -1.0);
}

SURFACE(SurfaceResize) {
  if (argc != 3) ReportRuntimeError("Invalid argument count", false);
  for (int32_t i = 0; i < 3; ++i) {
    if (ArgKindWord(argc, args, i) != VALUE_REAL) {
      ReportRuntimeError("Invalid arguments", false);
      return;
    }
  }
  const double width = args[1].real, height = args[2].real;
  if (!(width > 0.0) || !(height > 0.0) || width > 8192.0 || height > 8192.0) {
    ReportRuntimeError("Invalid surface dimensions", false);
    return;
  }
  const int32_t id = num::TruncInt32(args[0].real);
  const int32_t w = num::TruncInt32(width), h = num::TruncInt32(height);
  SurfaceState& st = g_Surfaces;
  if (id == st.applicationSurfaceId) {
    st.applicationResizePending = true;
    st.pendingWidth = w;
    st.pendingHeight = h;
    SetReal(result, 1.0);
    return;
  }
  if (!GR_Surface_Exists(id)) {
    ReportRuntimeError("Surface does not exist", false);
    return;
  }
  if (GR_Surface_Resize(id, w, h)) SetReal(result, 1.0);
}

SURFACE(SurfaceFree) {
  (void)result;
  GR_Surface_Free(SurfaceArgs{{argc, args}}.Rounded(0), false);
}

SURFACE(SurfaceExists) { SetReal(result, GR_Surface_Exists(SurfaceArgs{{argc, args}}.Rounded(0)) ? 1.0 : 0.0); }
SURFACE(SurfaceGetWidth) { SetReal(result, GR_Surface_GetWidth(SurfaceArgs{{argc, args}}.Rounded(0))); }
SURFACE(SurfaceGetHeight) { SetReal(result, GR_Surface_GetHeight(SurfaceArgs{{argc, args}}.Rounded(0))); }
// The texture id as a number, the form every texture argument of the drawing built-ins takes.
SURFACE(SurfaceGetTexture) { SetReal(result, GR_Surface_GetTexture(SurfaceArgs{{argc, args}}.Rounded(0))); }

SURFACE(SurfaceSetTarget) {
  SetReal(result, GR_Surface_SetTarget(0, SurfaceArgs{{argc, args}}.Rounded(0)) ? 1.0 : 0.0);
}

SURFACE(SurfaceSetTargetExt) {
  const SurfaceArgs a{{argc, args}};
  SetReal(result, GR_Surface_SetTarget(a.Rounded(0), a.Rounded(1)) ? 1.0 : 0.0);
}

SURFACE(SurfaceResetTarget) {
  (void)argc, (void)args;
  SetReal(result, GR_Surface_ResetTarget() ? 1.0 : 0.0);
}

SURFACE(DrawSurface) {
  (void)result;
  const SurfaceArgs a{{argc, args}};
  int32_t id;
  if (ExistingSurface(a, 0, &id)) GR_Surface_Draw(id, a.Single(1), a.Single(2));
}

SURFACE(DrawSurfaceExt) {
  (void)result;
  const SurfaceArgs a{{argc, args}};
  int32_t id;
  if (ExistingSurface(a, 0, &id))
    GR_Surface_DrawExt(id, a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.RoundedColour(6),
                       a.Single(7));
}

SURFACE(DrawSurfaceStretched) {
  (void)result;
  const SurfaceArgs a{{argc, args}};
  int32_t id;
  if (ExistingSurface(a, 0, &id))
    GR_Surface_DrawStretched(id, a.Single(1), a.Single(2), a.Single(3), a.Single(4), 0xFFFFFF, GR_GetAlpha());
}

SURFACE(DrawSurfaceStretchedExt) {
  (void)result;
  const SurfaceArgs a{{argc, args}};
  int32_t id;
  if (ExistingSurface(a, 0, &id))
    GR_Surface_DrawStretched(id, a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.RoundedColour(5), a.Single(6));
}

SURFACE(DrawSurfacePart) {
  (void)result;
  const SurfaceArgs a{{argc, args}};
  int32_t id;
  if (ExistingSurface(a, 0, &id))
    GR_Surface_DrawPart(id, a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Single(6), 1.0f, 1.0f,
                        0xFFFFFF, GR_GetAlpha());
}

SURFACE(DrawSurfacePartExt) {
  (void)result;
  const SurfaceArgs a{{argc, args}};
  int32_t id;
  if (ExistingSurface(a, 0, &id))
    GR_Surface_DrawPart(id, a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Single(6), a.Single(7),
                        a.Single(8), a.RoundedColour(9), a.Single(10));
}

SURFACE(DrawSurfaceGeneral) {
  (void)result;
  const SurfaceArgs a{{argc, args}};
  int32_t id;
  if (ExistingSurface(a, 0, &id))
    GR_Surface_DrawGeneral(id, a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Single(6),
                           a.Single(7), a.Single(8), a.Single(9), a.RoundedColour(10), a.RoundedColour(11),
                           a.RoundedColour(12), a.RoundedColour(13), a.Single(14));
}

SURFACE(DrawSurfaceTiled) {
  (void)result;
  const SurfaceArgs a{{argc, args}};
  int32_t id;
  if (!ExistingSurface(a, 0, &id)) return;
  float width, height;
  RoomSize(&width, &height);
  GR_Surface_DrawTiled(id, a.Single(1), a.Single(2), 1.0f, 1.0f, true, true, 0.0f, 0.0f, width, height, 0xFFFFFF,
                       GR_GetAlpha());
}

SURFACE(DrawSurfaceTiledExt) {
  (void)result;
  const SurfaceArgs a{{argc, args}};
  int32_t id;
  if (!ExistingSurface(a, 0, &id)) return;
  float width, height;
  RoomSize(&width, &height);
  GR_Surface_DrawTiled(id, a.Single(1), a.Single(2), a.Single(3), a.Single(4), true, true, 0.0f, 0.0f, width, height,
                       a.RoundedColour(5), a.Single(6));
}

SURFACE(SurfaceSave) {
  (void)result;
  const SurfaceArgs a{{argc, args}};
  GR_Save_Surface(a.Rounded(0), ArgText(argc, args, 1));
}

SURFACE(SurfaceSavePart) {
  (void)result;
  const SurfaceArgs a{{argc, args}};
  GR_Save_SurfacePart(a.Rounded(0), ArgText(argc, args, 1), a.Rounded(2), a.Rounded(3), a.Rounded(4), a.Rounded(5));
}

// The pixel of the surface as 0xAABBGGRR; 0 when it cannot be read.
uint32_t SurfacePixel(int32_t argc, const ScriptValue* args) {
  const SurfaceArgs a{{argc, args}};
  int32_t id;
  if (!ExistingSurface(a, 0, &id)) return 0;
  uint8_t* block = ReadTexturePixels(GR_Texture_GetHardware(GR_Surface_GetTexture(id)), a.Int(1), a.Int(2), 1, 1);
  if (block == nullptr) return 0;
  const uint32_t pixel = static_cast<uint32_t>(block[3]) << 24 | static_cast<uint32_t>(block[0]) << 16 |
                         static_cast<uint32_t>(block[1]) << 8 | block[2];
  MemoryManager::Free(block);
  return pixel;
}

SURFACE(SurfaceGetPixelExt) {
  SetReal(result, 0.0);
  SetReal(result, SurfacePixel(argc, args));
}

SURFACE(SurfaceGetPixel) {
  SetReal(result, 0.0);
  SetReal(result, SurfacePixel(argc, args) & 0xFFFFFFu);
}

SURFACE(SurfaceCopy) {
  (void)result;
  const SurfaceArgs a{{argc, args}};
  int32_t destination, source;
  if (!ExistingSurface(a, 0, &destination) || !ExistingSurface(a, 3, &source)) return;
  CopyTextureRegion(GR_Texture_GetHardware(GR_Surface_GetTexture(destination)), a.Rounded(1), a.Rounded(2),
                    GR_Texture_GetHardware(GR_Surface_GetTexture(source)), 0, 0, GR_Surface_GetWidth(source),
                    GR_Surface_GetHeight(source));
}

SURFACE(SurfaceCopyPart) {
  (void)result;
  const SurfaceArgs a{{argc, args}};
  int32_t destination, source;
  if (!ExistingSurface(a, 0, &destination) || !ExistingSurface(a, 3, &source)) return;
  CopyTextureRegion(GR_Texture_GetHardware(GR_Surface_GetTexture(destination)), a.Rounded(1), a.Rounded(2),
                    GR_Texture_GetHardware(GR_Surface_GetTexture(source)), a.Rounded(4), a.Rounded(5), a.Rounded(6),
                    a.Rounded(7));
}

#undef SURFACE

const BuiltinSpec kSurfaceBuiltins[] = {
    {"surface_create", SurfaceCreate, 2},
    {"surface_create_ext", SurfaceCreateExt, 3},
    {"surface_resize", SurfaceResize, 3},
    {"surface_free", SurfaceFree, 1},
    {"surface_exists", SurfaceExists, 1},
    {"surface_get_width", SurfaceGetWidth, 1},
    {"surface_get_height", SurfaceGetHeight, 1},
    {"surface_get_texture", SurfaceGetTexture, 1},
    {"surface_set_target", SurfaceSetTarget, 1},
    {"surface_set_target_ext", SurfaceSetTargetExt, 2},
    {"surface_reset_target", SurfaceResetTarget, 0},
    {"draw_surface", DrawSurface, 3},
    {"draw_surface_ext", DrawSurfaceExt, 8},
    {"draw_surface_stretched", DrawSurfaceStretched, 5},
    {"draw_surface_stretched_ext", DrawSurfaceStretchedExt, 7},
    {"draw_surface_part", DrawSurfacePart, 7},
    {"draw_surface_part_ext", DrawSurfacePartExt, 11},
    {"draw_surface_general", DrawSurfaceGeneral, 15},
    {"draw_surface_tiled", DrawSurfaceTiled, 3},
    {"draw_surface_tiled_ext", DrawSurfaceTiledExt, 7},
    {"surface_save", SurfaceSave, 2},
    {"surface_save_part", SurfaceSavePart, 6},
    {"surface_getpixel_ext", SurfaceGetPixelExt, 3},
    {"surface_getpixel", SurfaceGetPixel, 3},
    {"surface_copy", SurfaceCopy, 4},
    {"surface_copy_part", SurfaceCopyPart, 8},
};

// ---- Sprite and background drawing ----
//
// Numbers are the real as given (narrowed to single precision); colours are rounded, halves to
// even. A sprite index is truncated and its sub-image floored, a negative sub-image meaning the
// calling instance's own image_index; a background index is rounded. The tiled variants cover the
// current room, and draw nothing without one.

#define DRAWING(name) void name(ScriptValue*, CInstance* self, CInstance*, int32_t argc, ScriptValue* args)

// Floor of the value in single precision, as an integer.
int32_t FlooredSingle(double v) { return num::TruncInt32(std::floor(num::ToFloat(v))); }

int32_t OwnImage(const CInstance* self) { return self != nullptr ? FlooredSingle(self->i_imageindex) : 0; }

// The sprite and frame of (sprite, subimg); null after the report when the sprite does not exist.
const CSprite* ResolveSpriteArgs(const ArgList& a, const CInstance* self, int32_t* frame) {
  const int32_t index = num::TruncInt32(a.Real(0));
  *frame = FlooredSingle(a.Real(1));
  if (*frame < 0) *frame = OwnImage(self);
  const CSprite* sprite = Sprite_Exists(index) ? Sprite_Data(index) : nullptr;
  if (sprite == nullptr) ReportRuntimeError("Trying to draw non-existing sprite.", false);
  return sprite;
}

// The sprite of `name` when its kind can be drawn by it, else null after its message.
const CSprite* DrawableKind(const CSprite* sprite, const char* name) {
  if (sprite == nullptr) return nullptr;
  if (sprite->m_kind == SPRITE_VECTOR || sprite->m_kind == SPRITE_SKELETON) {
    const std::string message = std::string(name) + (sprite->m_kind == SPRITE_VECTOR
                                                          ? ": not supported for vector sprites"
                                                          : ": not supported for skeleton based sprites");
    ReportRuntimeError(message.c_str(), false);
    return nullptr;
  }
  return sprite;
}

const CBackground* BackgroundArg(const ArgList& a) {
  const int32_t index = a.Int(0);
  const CBackground* background = Background_Exists(index) ? Background_Data(index) : nullptr;
  if (background == nullptr) ReportRuntimeError("Trying to draw non-existing background.", false);
  return background;
}

DRAWING(DrawSelf) {
  (void)argc, (void)args;
  if (self == nullptr) return;
  const CSprite* sprite = Sprite_Exists(self->i_spriteindex) ? Sprite_Data(self->i_spriteindex) : nullptr;
  if (sprite == nullptr) {
    ReportRuntimeError("Trying to draw non-existing sprite.", false);
    return;
  }
  CInstance* previous = Instance_GetDrawing();
  Instance_SetDrawing(self);
  SpriteDraw(*sprite, FlooredSingle(self->i_imageindex), self->i_x, self->i_y, self->i_imagescalex,
             self->i_imagescaley, self->i_imageangle, static_cast<uint32_t>(self->i_imageblend), self->i_imagealpha);
  Instance_SetDrawing(previous);
}
DRAWING(DrawSprite) {
  const ArgList a{argc, args};
  int32_t frame;
  if (const CSprite* sprite = ResolveSpriteArgs(a, self, &frame)) SpriteDrawSimple(*sprite, frame, a.Single(2), a.Single(3));
}
DRAWING(DrawSpriteExt) {
  const ArgList a{argc, args};
  int32_t frame;
  if (const CSprite* sprite = ResolveSpriteArgs(a, self, &frame))
    SpriteDraw(*sprite, frame, a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Single(6), a.Colour(7), a.Single(8));
}
DRAWING(DrawSpritePos) {
  (void)self;
  const ArgList a{argc, args};
  const int32_t index = num::TruncInt32(a.Real(0));
  const CSprite* sprite = Sprite_Exists(index) ? Sprite_Data(index) : nullptr;
  if (sprite == nullptr) {
    ReportRuntimeError("Trying to draw non-existing sprite.", false);
    return;
  }
  if (DrawableKind(sprite, "draw_sprite_pos") == nullptr) return;
  sprite->DrawPos(num::TruncInt32(a.Real(1)), a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Single(6),
                  a.Single(7), a.Single(8), a.Single(9), 0xFFFFFF, a.Single(10));
}
DRAWING(DrawSpriteStretched) {
  const ArgList a{argc, args};
  int32_t frame;
  if (const CSprite* sprite = ResolveSpriteArgs(a, self, &frame))
    sprite->DrawStretched(frame, a.Single(2), a.Single(3), a.Single(4), a.Single(5), 0xFFFFFF, GR_GetAlpha());
}
DRAWING(DrawSpriteStretchedExt) {
  const ArgList a{argc, args};
  int32_t frame;
  if (const CSprite* sprite = ResolveSpriteArgs(a, self, &frame))
    sprite->DrawStretched(frame, a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Colour(6), a.Single(7));
}
DRAWING(DrawSpritePart) {
  const ArgList a{argc, args};
  int32_t frame;
  if (const CSprite* sprite = DrawableKind(ResolveSpriteArgs(a, self, &frame), "draw_sprite_part"))
    sprite->DrawPart(frame, a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Single(6), a.Single(7), 1.0f, 1.0f,
                     0xFFFFFF, GR_GetAlpha());
}
DRAWING(DrawSpritePartExt) {
  const ArgList a{argc, args};
  int32_t frame;
  if (const CSprite* sprite = DrawableKind(ResolveSpriteArgs(a, self, &frame), "draw_sprite_part_ext"))
    sprite->DrawPart(frame, a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Single(6), a.Single(7), a.Single(8),
                     a.Single(9), a.Colour(10), a.Single(11));
}
DRAWING(DrawSpriteGeneral) {
  const ArgList a{argc, args};
  int32_t frame;
  if (const CSprite* sprite = DrawableKind(ResolveSpriteArgs(a, self, &frame), "draw_sprite_general"))
    sprite->DrawGeneral(frame, a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Single(6), a.Single(7),
                        a.Single(8), a.Single(9), a.Single(10), a.Colour(11), a.Colour(12), a.Colour(13), a.Colour(14),
                        a.Single(15));
}
// The sprite tiled over the current room; nothing without a room.
void TileSprite(const ArgList& a, CInstance* self, float xscale, float yscale, uint32_t colour, float alpha) {
  int32_t frame;
  const CSprite* sprite = ResolveSpriteArgs(a, self, &frame);
  const CRoom* room = CurrentRoom;
  if (sprite == nullptr || room == nullptr) return;
  sprite->DrawTiled(frame, a.Single(2), a.Single(3), xscale, yscale, true, true, 0.0f, 0.0f,
                    static_cast<float>(room->m_Width), static_cast<float>(room->m_Height), colour, alpha);
}
DRAWING(DrawSpriteTiled) {
  const ArgList a{argc, args};
  TileSprite(a, self, 1.0f, 1.0f, 0xFFFFFF, GR_GetAlpha());
}
DRAWING(DrawSpriteTiledExt) {
  const ArgList a{argc, args};
  TileSprite(a, self, a.Single(4), a.Single(5), a.Colour(6), a.Single(7));
}

DRAWING(DrawBackground) {
  (void)self;
  const ArgList a{argc, args};
  if (const CBackground* b = BackgroundArg(a)) b->Draw(a.Single(1), a.Single(2));
}
DRAWING(DrawBackgroundExt) {
  (void)self;
  const ArgList a{argc, args};
  if (const CBackground* b = BackgroundArg(a))
    b->DrawExt(a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Colour(6), a.Single(7));
}
DRAWING(DrawBackgroundStretched) {
  (void)self;
  const ArgList a{argc, args};
  if (const CBackground* b = BackgroundArg(a))
    b->DrawStretched(a.Single(1), a.Single(2), a.Single(3), a.Single(4), 0xFFFFFF, GR_GetAlpha());
}
DRAWING(DrawBackgroundStretchedExt) {
  (void)self;
  const ArgList a{argc, args};
  if (const CBackground* b = BackgroundArg(a))
    b->DrawStretched(a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Colour(5), a.Single(6));
}
DRAWING(DrawBackgroundPart) {
  (void)self;
  const ArgList a{argc, args};
  if (const CBackground* b = BackgroundArg(a))
    b->DrawPart(a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Single(6), 1.0f, 1.0f, 0xFFFFFF,
                GR_GetAlpha());
}
DRAWING(DrawBackgroundPartExt) {
  (void)self;
  const ArgList a{argc, args};
  if (const CBackground* b = BackgroundArg(a))
    b->DrawPart(a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Single(6), a.Single(7), a.Single(8),
                a.Colour(9), a.Single(10));
}
DRAWING(DrawBackgroundGeneral) {
  (void)self;
  const ArgList a{argc, args};
  if (const CBackground* b = BackgroundArg(a))
    b->DrawGeneral(a.Single(1), a.Single(2), a.Single(3), a.Single(4), a.Single(5), a.Single(6), a.Single(7),
                   a.Single(8), a.Single(9), a.Colour(10), a.Colour(11), a.Colour(12), a.Colour(13), a.Single(14));
}
void TileBackground(const ArgList& a, float xscale, float yscale, uint32_t colour, float alpha) {
  const CBackground* b = BackgroundArg(a);
  const CRoom* room = CurrentRoom;
  if (b == nullptr || room == nullptr) return;
  b->DrawTiled(a.Single(1), a.Single(2), xscale, yscale, true, true, 0.0f, 0.0f, static_cast<float>(room->m_Width),
               static_cast<float>(room->m_Height), colour, alpha);
}
DRAWING(DrawBackgroundTiled) {
  (void)self;
  TileBackground(ArgList{argc, args}, 1.0f, 1.0f, 0xFFFFFF, GR_GetAlpha());
}
DRAWING(DrawBackgroundTiledExt) {
  (void)self;
  const ArgList a{argc, args};
  TileBackground(a, a.Single(3), a.Single(4), a.Colour(5), a.Single(6));
}

#undef DRAWING

const BuiltinSpec kSpriteDrawingBuiltins[] = {
    {"draw_self", DrawSelf, 0},
    {"draw_sprite", DrawSprite, 4},
    {"draw_sprite_ext", DrawSpriteExt, 9},
    {"draw_sprite_pos", DrawSpritePos, 11},
    {"draw_sprite_stretched", DrawSpriteStretched, 6},
    {"draw_sprite_stretched_ext", DrawSpriteStretchedExt, 8},
    {"draw_sprite_part", DrawSpritePart, 8},
    {"draw_sprite_part_ext", DrawSpritePartExt, 12},
    {"draw_sprite_general", DrawSpriteGeneral, 16},
    {"draw_sprite_tiled", DrawSpriteTiled, 4},
    {"draw_sprite_tiled_ext", DrawSpriteTiledExt, 8},
    {"draw_background", DrawBackground, 3},
    {"draw_background_ext", DrawBackgroundExt, 8},
    {"draw_background_stretched", DrawBackgroundStretched, 5},
    {"draw_background_stretched_ext", DrawBackgroundStretchedExt, 7},
    {"draw_background_part", DrawBackgroundPart, 7},
    {"draw_background_part_ext", DrawBackgroundPartExt, 11},
    {"draw_background_general", DrawBackgroundGeneral, 15},
    {"draw_background_tiled", DrawBackgroundTiled, 3},
    {"draw_background_tiled_ext", DrawBackgroundTiledExt, 7},
};

// ---- Text ----
//
// Fonts and alignments are floored, separations, widths and colours rounded (separations and
// widths in single precision); positions, scales, angles and alphas are single precision. A text
// argument that is not a string is drawn or measured as its text form.

#define TEXT(name) void name(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args)

// The text of argument i: a string's own text, else the value's text form, freed with the record.
class TextArg {
 public:
  TextArg(int32_t argc, const ScriptValue* args, int32_t i) {
    const ScriptValue* v = ArgValue(argc, args, i);
    if (v->Kind() == VALUE_STRING) {
      m_text = v->str;
    } else {
      m_owned = ValueToString(v);
      m_text = m_owned;
    }
  }
  ~TextArg() { MemoryManager::Free(m_owned); }
  TextArg(const TextArg&) = delete;
  TextArg& operator=(const TextArg&) = delete;
  const char* Get() const { return m_text; }

 private:
  const char* m_text = nullptr;
  char* m_owned = nullptr;
};

int32_t RoundedSingle(const ArgList& a, int32_t i) { return num::RoundInt32(a.Single(i)); }

TEXT(DrawSetFont) {
  (void)result;
  GR_Text_SetFont(FlooredSingle(ArgReal(argc, args, 0)));
}
TEXT(DrawSetHAlign) {
  (void)result;
  GR_Text_SetHAlign(FlooredSingle(ArgReal(argc, args, 0)));
}
TEXT(DrawSetVAlign) {
  (void)result;
  GR_Text_SetVAlign(FlooredSingle(ArgReal(argc, args, 0)));
}
TEXT(StringWidth) { SetReal(result, GR_Text_Width(TextArg(argc, args, 0).Get(), -1, -1)); }
TEXT(StringHeight) { SetReal(result, GR_Text_Height(TextArg(argc, args, 0).Get(), -1, -1)); }
TEXT(StringWidthExt) {
  const ArgList a{argc, args};
  SetReal(result, GR_Text_Width(TextArg(argc, args, 0).Get(), RoundedSingle(a, 1), RoundedSingle(a, 2)));
}
TEXT(StringHeightExt) {
  const ArgList a{argc, args};
  SetReal(result, GR_Text_Height(TextArg(argc, args, 0).Get(), RoundedSingle(a, 1), RoundedSingle(a, 2)));
}
TEXT(DrawText) {
  (void)result;
  const ArgList a{argc, args};
  GR_Text_Draw(a.Single(0), a.Single(1), TextArg(argc, args, 2).Get(), -1, -1);
}
TEXT(DrawTextExt) {
  (void)result;
  const ArgList a{argc, args};
  GR_Text_Draw(a.Single(0), a.Single(1), TextArg(argc, args, 2).Get(), RoundedSingle(a, 3), RoundedSingle(a, 4));
}
TEXT(DrawTextTransformed) {
  (void)result;
  const ArgList a{argc, args};
  GR_Text_DrawTransformed(a.Single(0), a.Single(1), TextArg(argc, args, 2).Get(), -1, -1, a.Single(3), a.Single(4),
                          a.Single(5));
}
TEXT(DrawTextExtTransformed) {
  (void)result;
  const ArgList a{argc, args};
  GR_Text_DrawTransformed(a.Single(0), a.Single(1), TextArg(argc, args, 2).Get(), RoundedSingle(a, 3),
                          RoundedSingle(a, 4), a.Single(5), a.Single(6), a.Single(7));
}
TEXT(DrawTextColour) {
  (void)result;
  const ArgList a{argc, args};
  GR_Text_DrawColour(a.Single(0), a.Single(1), TextArg(argc, args, 2).Get(), -1, -1, a.Colour(3), a.Colour(4),
                     a.Colour(5), a.Colour(6), a.Single(7));
}
TEXT(DrawTextTransformedColour) {
  (void)result;
  const ArgList a{argc, args};
  GR_Text_DrawTransformedColour(a.Single(0), a.Single(1), TextArg(argc, args, 2).Get(), -1, -1, a.Single(3),
                                a.Single(4), a.Single(5), a.Colour(6), a.Colour(7), a.Colour(8), a.Colour(9),
                                a.Single(10));
}
TEXT(DrawTextExtColour) {
  (void)result;
  const ArgList a{argc, args};
  GR_Text_DrawColour(a.Single(0), a.Single(1), TextArg(argc, args, 2).Get(), RoundedSingle(a, 3), RoundedSingle(a, 4),
                     a.Colour(5), a.Colour(6), a.Colour(7), a.Colour(8), a.Single(9));
}
TEXT(DrawTextExtTransformedColour) {
  (void)result;
  const ArgList a{argc, args};
  GR_Text_DrawTransformedColour(a.Single(0), a.Single(1), TextArg(argc, args, 2).Get(), RoundedSingle(a, 3),
                                RoundedSingle(a, 4), a.Single(5), a.Single(6), a.Single(7), a.Colour(8), a.Colour(9),
                                a.Colour(10), a.Colour(11), a.Single(12));
}

#undef TEXT

const BuiltinSpec kTextBuiltins[] = {
    {"draw_set_font", DrawSetFont, 1},
    {"draw_set_halign", DrawSetHAlign, 1},
    {"draw_set_valign", DrawSetVAlign, 1},
    {"string_width", StringWidth, 1},
    {"string_height", StringHeight, 1},
    {"string_width_ext", StringWidthExt, 3},
    {"string_height_ext", StringHeightExt, 3},
    {"draw_text", DrawText, 3},
    {"draw_text_ext", DrawTextExt, 5},
    {"draw_text_transformed", DrawTextTransformed, 6},
    {"draw_text_ext_transformed", DrawTextExtTransformed, 8},
    {"draw_text_color", DrawTextColour, 8},
    {"draw_text_colour", DrawTextColour, 8},
    {"draw_text_transformed_color", DrawTextTransformedColour, 11},
    {"draw_text_transformed_colour", DrawTextTransformedColour, 11},
    {"draw_text_ext_color", DrawTextExtColour, 10},
    {"draw_text_ext_colour", DrawTextExtColour, 10},
    {"draw_text_ext_transformed_color", DrawTextExtTransformedColour, 13},
    {"draw_text_ext_transformed_colour", DrawTextExtTransformedColour, 13},
};

// ---- Textures ----
//
// A texture handle handed to scripts is a pointer-kind value holding a number of the one handle
// table (graphics/Graphics_Texture.h): a page-entry handle, or a texture id. Every texture
// argument is read as a number or pointer and resolved there, so a number that is not -1, a
// texture id in use or a live handle is no texture. Resource indices are floored; flags are set
// from 0.5 up.

#define TEXTURE(name) void name(ScriptValue* result, CInstance* self, CInstance*, int32_t argc, ScriptValue* args)

void SetHandle(ScriptValue* result, const TextureHandle& handle) {
  int64_t number = -1;
  if (handle.kind == TextureHandleKind::kEntry) number = GR_Texture_EntryHandle(handle.entry);
  if (handle.kind == TextureHandleKind::kTexture) number = handle.id;
  if (number < 0) {
    SetReal(result, -1.0);
    return;
  }
  ReleaseValue(result);
  result->bits = static_cast<uint64_t>(number);
  result->kind = VALUE_PTR;
}

TextureHandle SpriteFrameHandle(const CSprite& sprite, int32_t frame) {
  const SpriteTextureHandle h = sprite.GetTPE(frame);
  TextureHandle handle;
  if (h.kind == SpriteTextureHandle::kPageEntry) {
    handle.kind = TextureHandleKind::kEntry;
    handle.entry = h.entry;
  } else if (h.kind == SpriteTextureHandle::kTexture) {
    handle.kind = TextureHandleKind::kTexture;
    handle.id = h.texture;
  }
  return handle;
}

// A one-row array of reals.
void SetRealArray(ScriptValue* result, const double* values, int32_t count) {
  ReleaseValue(result);
  result->kind = VALUE_ARRAY;
  result->arr = ValueArray_Create(result);
  for (int32_t i = 0; i < count; ++i) {
    ScriptValue v{};
    v.real = values[i];
    SetValueElement(result, &v, i);
  }
}

// The texture coordinates of a resource's texture: the handed-out handle resolved again, so only
// a live page entry is read; a texture id or none covers the whole texture.
void SetUVs(ScriptValue* result, const TextureHandle& resource) {
  double uvs[4] = {0.0, 0.0, 1.0, 1.0};
  int32_t number = -1;
  if (resource.kind == TextureHandleKind::kEntry) number = GR_Texture_EntryHandle(resource.entry);
  if (resource.kind == TextureHandleKind::kTexture) number = resource.id;
  const TextureHandle h = GR_Texture_Resolve(number);
  if (h.kind == TextureHandleKind::kEntry) {
    const TPageEntry e = TPageEntry_Read(h.entry);
    const HardwareTexture* page = GR_Texture_GetHardware(e.texturePage);
    if (page != nullptr) {
      const float w = static_cast<float>(HardwareTexture_Width(page));
      const float hgt = static_cast<float>(HardwareTexture_Height(page));
      uvs[0] = e.x / w;
      uvs[1] = e.y / hgt;
      uvs[2] = (e.x + e.cropWidth) / w;
      uvs[3] = (e.y + e.cropHeight) / hgt;
    }
  }
  SetRealArray(result, uvs, 4);
}

const CBackground* TextureBackground(int32_t argc, const ScriptValue* args) {
  const int32_t index = FlooredSingle(ArgReal(argc, args, 0));
  const CBackground* b = Background_Exists(index) ? Background_Data(index) : nullptr;
  if (b == nullptr) ReportRuntimeError("Trying to get texture from non-existing background.", false);
  return b;
}

const CFontTW* TextureFont(int32_t argc, const ScriptValue* args) {
  const int32_t index = FlooredSingle(ArgReal(argc, args, 0));
  const CFontTW* f = Font_Exists(index) ? Font_Data(index) : nullptr;
  if (f == nullptr) ReportRuntimeError("trying to get texture from non-existing font", false);
  return f;
}

// The texture id behind a texture argument (a page entry's page); -1 for none.
int32_t TextureIdArg(int32_t argc, const ScriptValue* args, int32_t i) {
  if (i >= argc) return -1;
  const int64_t number = GetArgumentNumberOrPointer(args, i);
  const TextureHandle h = GR_Texture_Resolve(static_cast<double>(number));
  if (h.kind == TextureHandleKind::kTexture) return h.id;
  if (h.kind == TextureHandleKind::kEntry) return TPageEntry_Read(h.entry).texturePage;
  return -1;
}

TEXTURE(SpriteGetTexture) {
  const ArgList a{argc, args};
  const int32_t index = a.Int(0);
  int32_t frame = RoundedSingle(a, 1);
  if (frame < 0) frame = OwnImage(self);
  const CSprite* sprite = Sprite_Exists(index) ? Sprite_Data(index) : nullptr;
  if (sprite == nullptr) {
    ReportRuntimeError("Trying to get texture from non-existing sprite.", false);
    return;
  }
  if (sprite->m_kind == SPRITE_VECTOR || sprite->m_kind == SPRITE_SKELETON) {
    SetReal(result, -1.0);
    ReportRuntimeError(sprite->m_kind == SPRITE_VECTOR ? "sprite_get_texture: not supported for vector sprites"
                                                       : "sprite_get_texture: not supported for skeleton based sprites",
                       false);
    return;
  }
  SetHandle(result, SpriteFrameHandle(*sprite, frame));
}
TEXTURE(BackgroundGetTexture) {
  (void)self;
  if (const CBackground* b = TextureBackground(argc, args)) SetHandle(result, b->GetTPE());
}
TEXTURE(FontGetTexture) {
  (void)self;
  if (const CFontTW* f = TextureFont(argc, args)) SetHandle(result, f->GetTPE());
}
TEXTURE(SpriteGetUVs) {
  const ArgList a{argc, args};
  const int32_t index = FlooredSingle(a.Real(0));
  int32_t frame = FlooredSingle(a.Real(1));
  if (frame < 0) frame = OwnImage(self);
  const CSprite* sprite = Sprite_Exists(index) ? Sprite_Data(index) : nullptr;
  if (sprite == nullptr) {
    ReportRuntimeError("Trying to get texture from non-existing sprite.", false);
    return;
  }
  if (sprite->m_kind != SPRITE_BITMAP) {
    ReportRuntimeError("sprite_get_uvs: not supported for vector sprites", false);
    return;
  }
  SetUVs(result, SpriteFrameHandle(*sprite, frame));
}
TEXTURE(BackgroundGetUVs) {
  (void)self;
  if (const CBackground* b = TextureBackground(argc, args)) SetUVs(result, b->GetTPE());
}
TEXTURE(FontGetUVs) {
  (void)self;
  if (const CFontTW* f = TextureFont(argc, args)) SetUVs(result, f->GetTPE());
}
TEXTURE(TextureExists) {
  (void)self;
  SetReal(result, GR_Texture_Exists(TextureIdArg(argc, args, 0)) ? 1.0 : 0.0);
}
TEXTURE(TextureGetWidth) {
  (void)self;
  SetReal(result, GR_Texture_GetUVWidth(TextureIdArg(argc, args, 0)));
}
TEXTURE(TextureGetHeight) {
  (void)self;
  SetReal(result, GR_Texture_GetUVHeight(TextureIdArg(argc, args, 0)));
}
TEXTURE(TextureSetInterpolation) {
  (void)result, (void)self;
  GR_SetTextureInterpolation(num::IsTrue(num::ToFloat(ArgReal(argc, args, 0))));
}
TEXTURE(TextureSetInterpolationExt) {
  (void)result, (void)self;
  GR_SetStageInterpolation(FlooredSingle(ArgReal(argc, args, 0)), num::IsTrue(num::ToFloat(ArgReal(argc, args, 1))));
}
TEXTURE(TextureSetBlending) {
  (void)result, (void)self;
  GR_SetTextureBlending(num::IsTrue(num::ToFloat(ArgReal(argc, args, 0))));
}
TEXTURE(TextureSetRepeat) {
  (void)result, (void)self;
  GR_SetTextureRepeat(num::IsTrue(num::ToFloat(ArgReal(argc, args, 0))));
}
TEXTURE(TextureSetRepeatExt) {
  (void)result, (void)self;
  GR_SetStageRepeat(FlooredSingle(ArgReal(argc, args, 0)), num::IsTrue(num::ToFloat(ArgReal(argc, args, 1))));
}
TEXTURE(TexturePreload) {
  (void)result, (void)self;
  GR_Texture_Preload(TextureIdArg(argc, args, 0));
}
TEXTURE(TextureSetPriority) {
  (void)result, (void)self;
  GR_Texture_SetPriority(TextureIdArg(argc, args, 0), static_cast<uint32_t>(FlooredSingle(ArgReal(argc, args, 1))));
}

#undef TEXTURE

const BuiltinSpec kTextureBuiltins[] = {
    {"sprite_get_texture", SpriteGetTexture, 2},
    {"background_get_texture", BackgroundGetTexture, 1},
    {"font_get_texture", FontGetTexture, 1},
    {"sprite_get_uvs", SpriteGetUVs, 2},
    {"background_get_uvs", BackgroundGetUVs, 1},
    {"font_get_uvs", FontGetUVs, 1},
    {"texture_exists", TextureExists, 1},
    {"texture_get_width", TextureGetWidth, 1},
    {"texture_get_height", TextureGetHeight, 1},
    {"texture_set_interpolation", TextureSetInterpolation, 1},
    {"texture_set_interpolation_ext", TextureSetInterpolationExt, 2},
    {"texture_set_blending", TextureSetBlending, 1},
    {"texture_set_repeat", TextureSetRepeat, 1},
    {"texture_set_repeat_ext", TextureSetRepeatExt, 2},
    {"texture_preload", TexturePreload, 1},
    {"texture_set_priority", TextureSetPriority, 2},
};

// ---- Tiles ----
//
// The live tiles of the current room; without a room the functions act as on a room without
// tiles. Tile ids are rounded and looked up in the room; an id that is not there reports
// "Tile does not exist." and a getter then answers 0.

#define TILE(name) void name(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args)

// The tile of argument 0; null after the report.
RoomTile* TileArg(int32_t argc, const ScriptValue* args) {
  CRoom* room = CurrentRoom;
  const int32_t index = room != nullptr ? room->FindTile(num::RoundInt32(ArgReal(argc, args, 0))) : -1;
  if (index < 0) {
    ReportRuntimeError("Tile does not exist.", false);
    return nullptr;
  }
  return &room->m_Tiles[index];
}

template <typename T, T RoomTile::*Field>
TILE(TileGet) {
  const RoomTile* tile = TileArg(argc, args);
  SetReal(result, tile != nullptr ? static_cast<double>(tile->*Field) : 0.0);
}

TILE(TileSetPosition) {
  (void)result;
  const ArgList a{argc, args};
  if (RoomTile* t = TileArg(argc, args)) {
    t->x = a.Single(1);
    t->y = a.Single(2);
  }
}
TILE(TileSetVisible) {
  (void)result;
  if (RoomTile* t = TileArg(argc, args)) t->visible = num::IsTrue(num::ToFloat(ArgReal(argc, args, 1))) ? 1 : 0;
}
TILE(TileSetBackground) {
  (void)result;
  const ArgList a{argc, args};
  if (RoomTile* t = TileArg(argc, args)) t->background = RoundedSingle(a, 1);
}
TILE(TileSetRegion) {
  (void)result;
  const ArgList a{argc, args};
  if (RoomTile* t = TileArg(argc, args)) {
    t->left = RoundedSingle(a, 1);
    t->top = RoundedSingle(a, 2);
    t->width = RoundedSingle(a, 3);
    t->height = RoundedSingle(a, 4);
  }
}
TILE(TileSetDepth) {
  (void)result;
  if (RoomTile* t = TileArg(argc, args)) t->depth = num::ToFloat(ArgReal(argc, args, 1));
}
TILE(TileSetScale) {
  (void)result;
  const ArgList a{argc, args};
  if (RoomTile* t = TileArg(argc, args)) {
    t->xscale = a.Single(1);
    t->yscale = a.Single(2);
  }
}
TILE(TileSetBlend) {
  (void)result;
  if (RoomTile* t = TileArg(argc, args)) t->blend = num::RoundInt32(ArgReal(argc, args, 1));
}
TILE(TileSetAlpha) {
  (void)result;
  if (RoomTile* t = TileArg(argc, args)) t->alpha = num::ToFloat(ArgReal(argc, args, 1));
}
TILE(TileAdd) {
  const ArgList a{argc, args};
  SetReal(result, -1.0);
  const int32_t background = a.Int(0);
  if (!Background_Exists(background)) {
    ReportRuntimeError("Background does not exist.", false);
    return;
  }
  CRoom* room = CurrentRoom;
  if (room == nullptr) return;
  RoomTile tile{};
  tile.background = background;
  tile.left = a.Int(1);
  tile.top = a.Int(2);
  tile.width = a.Int(3);
  tile.height = a.Int(4);
  tile.x = a.Single(5);
  tile.y = a.Single(6);
  tile.depth = a.Single(7);
  tile.xscale = 1.0f;
  tile.yscale = 1.0f;
  tile.blend = 0xFFFFFF;
  tile.alpha = 1.0f;
  tile.visible = 1;
  const int32_t index = room->AddTile(tile);
  SetReal(result, room->m_Tiles[index].id);
}
TILE(TileExists) {
  CRoom* room = CurrentRoom;
  const bool found = room != nullptr && room->FindTile(num::RoundInt32(ArgReal(argc, args, 0))) >= 0;
  SetReal(result, found ? 1.0 : 0.0);
}
TILE(TileDelete) {
  (void)result;
  CRoom* room = CurrentRoom;
  const int32_t index = room != nullptr ? room->FindTile(num::RoundInt32(ArgReal(argc, args, 0))) : -1;
  if (index < 0) {
    ReportRuntimeError("Tile does not exist.", false);
    return;
  }
  room->DeleteTile(index);
}
TILE(TileGetCount) {
  (void)argc, (void)args;
  const CRoom* room = CurrentRoom;
  SetReal(result, room != nullptr ? room->m_Tiles.Count() : 0);
}
TILE(TileGetId) {
  if (argc != 1 || args[0].Kind() != VALUE_REAL) {
    ReportRuntimeError("Incorrect argument type", false);
    return;
  }
  const CRoom* room = CurrentRoom;
  const int32_t index = num::TruncInt32(args[0].real);
  const int32_t count = room != nullptr ? room->m_Tiles.Count() : 0;
  SetReal(result, index >= 0 && index < count ? room->m_Tiles[index].id : -1);
}
TILE(TileGetIds) {
  (void)args;
  const CRoom* room = CurrentRoom;
  if (room == nullptr || room->m_Tiles.Count() == 0) return;
  if (argc != 0) {
    ReportRuntimeError("Incorrect argument count", false);
    return;
  }
  GrowArray<double> ids;
  for (int32_t i = 0; i < room->m_Tiles.Count(); ++i) ids.Push(room->m_Tiles[i].id);
  SetRealArray(result, ids.Data(), ids.Count());
  ids.Free();
}
TILE(TileGetIdsAtDepth) {
  const CRoom* room = CurrentRoom;
  if (room == nullptr || room->m_Tiles.Count() == 0) return;
  if (argc != 1 || args[0].Kind() != VALUE_REAL) {
    ReportRuntimeError("Incorrect arguments", false);
    return;
  }
  const float depth = num::ToFloat(args[0].real);
  GrowArray<double> ids;
  for (int32_t i = 0; i < room->m_Tiles.Count(); ++i) {
    if (room->m_Tiles[i].depth == depth) ids.Push(room->m_Tiles[i].id);
  }
  if (ids.Count() == 0) ids.Push(0.0);
  SetRealArray(result, ids.Data(), ids.Count());
  ids.Free();
}
TILE(TileLayerHide) {
  (void)result;
  if (CRoom* room = CurrentRoom) room->HideTileLayer(num::ToFloat(ArgReal(argc, args, 0)));
}
TILE(TileLayerShow) {
  (void)result;
  if (CRoom* room = CurrentRoom) room->ShowTileLayer(num::ToFloat(ArgReal(argc, args, 0)));
}
TILE(TileLayerDelete) {
  (void)result;
  if (CRoom* room = CurrentRoom) room->DeleteTileLayer(num::ToFloat(ArgReal(argc, args, 0)));
}
TILE(TileLayerShift) {
  (void)result;
  const ArgList a{argc, args};
  if (CRoom* room = CurrentRoom) room->ShiftTileLayer(a.Single(0), a.Single(1), a.Single(2));
}
TILE(TileLayerDeleteAt) {
  (void)result;
  const ArgList a{argc, args};
  if (CRoom* room = CurrentRoom) room->DeleteTilesAt(a.Single(0), a.Single(1), a.Single(2));
}
TILE(TileLayerDepth) {
  (void)result;
  const ArgList a{argc, args};
  if (CRoom* room = CurrentRoom) room->SetTileLayerDepth(a.Single(0), a.Single(1));
}
TILE(TileLayerFind) {
  const ArgList a{argc, args};
  const CRoom* room = CurrentRoom;
  const int32_t index = room != nullptr ? room->FindTileAt(a.Single(0), a.Single(1), a.Single(2)) : -1;
  SetReal(result, index >= 0 ? room->m_Tiles[index].id : -1);
}

#undef TILE

const BuiltinSpec kTileBuiltins[] = {
    {"tile_get_x", TileGet<float, &RoomTile::x>, 1},
    {"tile_get_y", TileGet<float, &RoomTile::y>, 1},
    {"tile_get_left", TileGet<int32_t, &RoomTile::left>, 1},
    {"tile_get_top", TileGet<int32_t, &RoomTile::top>, 1},
    {"tile_get_width", TileGet<int32_t, &RoomTile::width>, 1},
    {"tile_get_height", TileGet<int32_t, &RoomTile::height>, 1},
    {"tile_get_depth", TileGet<float, &RoomTile::depth>, 1},
    {"tile_get_visible", TileGet<uint8_t, &RoomTile::visible>, 1},
    {"tile_get_xscale", TileGet<float, &RoomTile::xscale>, 1},
    {"tile_get_yscale", TileGet<float, &RoomTile::yscale>, 1},
    {"tile_get_blend", TileGet<int32_t, &RoomTile::blend>, 1},
    {"tile_get_alpha", TileGet<float, &RoomTile::alpha>, 1},
    {"tile_get_background", TileGet<int32_t, &RoomTile::background>, 1},
    {"tile_set_position", TileSetPosition, 3},
    {"tile_set_visible", TileSetVisible, 2},
    {"tile_set_background", TileSetBackground, 2},
    {"tile_set_region", TileSetRegion, 5},
    {"tile_set_depth", TileSetDepth, 2},
    {"tile_set_scale", TileSetScale, 3},
    {"tile_set_blend", TileSetBlend, 2},
    {"tile_set_alpha", TileSetAlpha, 2},
    {"tile_add", TileAdd, 8},
    {"tile_exists", TileExists, 1},
    {"tile_delete", TileDelete, 1},
    {"tile_get_count", TileGetCount, 0},
    {"tile_get_id", TileGetId, 1},
    {"tile_get_ids", TileGetIds, -1},
    {"tile_get_ids_at_depth", TileGetIdsAtDepth, -1},
    {"tile_layer_hide", TileLayerHide, 1},
    {"tile_layer_show", TileLayerShow, 1},
    {"tile_layer_delete", TileLayerDelete, 1},
    {"tile_layer_shift", TileLayerShift, 3},
    {"tile_layer_delete_at", TileLayerDeleteAt, 3},
    {"tile_layer_depth", TileLayerDepth, 2},
    {"tile_layer_find", TileLayerFind, 3},
};

}  // namespace

void RegisterGraphicsFunctions() {
  RegisterBuiltinTable(kColourBuiltins);
  RegisterBuiltinTable(kDisplayBuiltins);
  RegisterBuiltinTable(kPrimitiveBuiltins);
  RegisterBuiltinTable(kSurfaceBuiltins);
  RegisterBuiltinTable(kSpriteDrawingBuiltins);
  RegisterBuiltinTable(kTextBuiltins);
  RegisterBuiltinTable(kTextureBuiltins);
  RegisterBuiltinTable(kTileBuiltins);
}
