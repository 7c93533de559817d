// The colour and drawing-state built-ins and the primitive built-ins.
#include "function/Function_Graphics.h"

#include <cstdint>
#include <string>

#include "base/ErrorSink.h"
#include "code/VM_State.h"
#include "function/Function_Args.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/Graphics_Window.h"
#include "path/Path_Main.h"
#include "platform/Colour.h"
#include "platform/Numeric.h"
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

}  // namespace

void RegisterGraphicsFunctions() {
  RegisterBuiltinTable(kColourBuiltins);
  RegisterBuiltinTable(kPrimitiveBuiltins);
}
