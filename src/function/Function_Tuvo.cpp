// The platform-service built-ins: the GUI layer's size and the application surface switches.
// Sizes are the real rounded to the nearest integer (halves to even), scales and offsets the real
// narrowed to single precision; flags are set above 0.5.
#include "function/Function_Tuvo.h"

#include "base/ErrorSink.h"
#include "function/Function_Args.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Window.h"
#include "room/Room_Draw.h"
#include "room/Room_View.h"
#include "variable/ScriptValue.h"

namespace {

#define SERVICE(name) void name(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args)

SERVICE(DisplaySetGuiSize) {
  SetReal(result, 0.0);
  const ArgList a{argc, args};
  GUI_SetSize(a.Int(0), a.Int(1));
}

// Reads only the arguments passed: a missing scale is 1, a missing offset none.
SERVICE(DisplaySetGuiMaximise) {
  SetReal(result, 0.0);
  const ArgList a{argc, args};
  GUI_SetMaximise(argc > 0 ? a.Single(0) : 1.0f, argc > 1 ? a.Single(1) : 1.0f,
                  argc > 2 ? a.Single(2) : kGuiOffsetUnset, argc > 3 ? a.Single(3) : kGuiOffsetUnset);
}

SERVICE(DisplayGetGuiWidth) {
  (void)argc, (void)args;
  SetReal(result, GUI_GetWidth());
}

SERVICE(DisplayGetGuiHeight) {
  (void)argc, (void)args;
  SetReal(result, GUI_GetHeight());
}

// Enabling again restores the size the surface had while it was last enabled.
SERVICE(ApplicationSurfaceEnable) {
  SetReal(result, 0.0);
  WindowState& w = g_Window;
  if (w.appSurfaceEnabled) {
    w.appSurfaceRequestedWidth = g_Surfaces.applicationWidth;
    w.appSurfaceRequestedHeight = g_Surfaces.applicationHeight;
  }
  w.appSurfaceEnabled = ArgList{argc, args}.StrictFlag(0);
}

SERVICE(ApplicationSurfaceDrawEnable) {
  SetReal(result, 0.0);
  if (argc < 1) {
    ReportRuntimeError("Illegal argument count", false);
    return;
  }
  if (args[0].Kind() != VALUE_REAL) {
    ReportRuntimeError("Illegal argument type", false);
    return;
  }
  g_Window.appSurfaceAutoDraw = num::IsTrueStrict(args[0].real);
}

SERVICE(ApplicationSurfaceIsEnabled) {
  (void)argc, (void)args;
  SetReal(result, g_Window.appSurfaceEnabled ? 1.0 : 0.0);
}

#undef SERVICE

const BuiltinSpec kServiceFunctions[] = {
    {"display_set_gui_size", DisplaySetGuiSize, 2},
    {"display_set_gui_maximise", DisplaySetGuiMaximise, -1},
    {"display_get_gui_width", DisplayGetGuiWidth, 0},
    {"display_get_gui_height", DisplayGetGuiHeight, 0},
    {"application_surface_enable", ApplicationSurfaceEnable, 1},
    {"application_surface_draw_enable", ApplicationSurfaceDrawEnable, 1},
    {"application_surface_is_enabled", ApplicationSurfaceIsEnabled, 0},
};

}  // namespace

void RegisterTuvoFunctions() { RegisterBuiltinTable(kServiceFunctions); }

void RegisterWin8Functions() {}
