// The colour and drawing-state built-ins, the display, window and screen built-ins, the primitive
// built-ins and the surface built-ins.
#include "function/Function_Graphics.h"

#include <cstdint>
#include <string>

#include "base/ErrorSink.h"
#include "code/VM_State.h"
#include "function/Function_Args.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Display.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Support.h"
#include "graphics/Graphics_Surface.h"
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
  // A number is a texture id or handle; a pointer is never a texture; other kinds are a type error.
  const ScriptValue* texture = ArgValue(argc, args, 1);
  const ValueKind kind = texture->Kind();
  double value = __builtin_nan("");
  if (kind == VALUE_REAL || kind == VALUE_INT32 || kind == VALUE_INT64) {
    value = GetArgumentNumber(args, 1);
  } else if (kind != VALUE_PTR) {
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

}  // namespace

void RegisterGraphicsFunctions() {
  RegisterBuiltinTable(kColourBuiltins);
  RegisterBuiltinTable(kDisplayBuiltins);
  RegisterBuiltinTable(kPrimitiveBuiltins);
  RegisterBuiltinTable(kSurfaceBuiltins);
}
