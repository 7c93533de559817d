// The 3-D family's built-ins: 3-D mode and its switches, the projections, the alpha-blend switch
// and draw_texture_flush. Arguments are read as reals without a kind test; a flag is set from 0.5
// up.
#include <cstdint>

#include "base/ErrorSink.h"
#include "function/Function_Args.h"
#include "function/Function_D3D.h"
#include "function/Function_Graphics.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_RenderState.h"
#include "platform/Numeric.h"
#include "variable/ScriptValue.h"

namespace {

float F(int32_t argc, const ScriptValue* args, int32_t i) { return num::ToFloat(ArgReal(argc, args, i)); }
bool Flag(int32_t argc, const ScriptValue* args, int32_t i) { return num::IsTrue(ArgReal(argc, args, i)); }

#define BUILTIN(name) void name(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args)

BUILTIN(D3DStart) {
  (void)argc, (void)args;
  SetReal(result, GR_3D_SetMode(true) ? 1.0 : 0.0);
}
BUILTIN(D3DEnd) {
  (void)argc, (void)args;
  SetReal(result, GR_3D_SetMode(false) ? 1.0 : 0.0);
}
BUILTIN(D3DSetPerspective) {
  (void)result;
  GR_3D_SetPerspective(Flag(argc, args, 0));
}
BUILTIN(D3DSetHidden) {
  (void)result;
  GR_3D_SetHidden(Flag(argc, args, 0));
}
BUILTIN(D3DSetDepth) {
  (void)result;
  GR_3D_SetDepth(F(argc, args, 0));
}
BUILTIN(D3DSetLighting) {
  (void)result;
  g_RenderStates.lighting = Flag(argc, args, 0);
  GR_3D_SetLighting(g_RenderStates.lighting);
}
BUILTIN(D3DSetShading) {
  (void)result;
  GR_3D_SetShading(Flag(argc, args, 0));
}
BUILTIN(D3DSetFog) {
  (void)result;
  const uint32_t colour = static_cast<uint32_t>(num::RoundInt64(ArgReal(argc, args, 1)));
  // The distances are stored as signed 16-bit values (they wrap).
  const auto distance = [&](int32_t i) {
    return static_cast<int16_t>(static_cast<uint16_t>(num::TruncInt32(ArgReal(argc, args, i))));
  };
  GR_SetFog(Flag(argc, args, 0), colour, distance(2), distance(3));
}
BUILTIN(D3DSetCulling) {
  (void)result;
  GR_3D_SetCulling(Flag(argc, args, 0));
}
BUILTIN(D3DSetZWriteEnable) {
  (void)result;
  GR_3D_SetZWriteEnable(Flag(argc, args, 0));
}
BUILTIN(D3DSetProjection) {
  (void)result;
  float a[9];
  for (int32_t i = 0; i < 9; ++i) a[i] = F(argc, args, i);
  GR_3D_SetProjection(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
}
BUILTIN(D3DSetProjectionExt) {
  (void)result;
  float a[13];
  for (int32_t i = 0; i < 13; ++i) a[i] = F(argc, args, i);
  GR_3D_SetProjectionExt(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12]);
}
BUILTIN(D3DSetProjectionOrtho) {
  (void)result;
  GR_3D_SetProjectionOrtho(F(argc, args, 0), F(argc, args, 1), F(argc, args, 2), F(argc, args, 3), F(argc, args, 4));
}
BUILTIN(D3DSetProjectionPerspective) {
  (void)result;
  GR_3D_SetProjectionPerspective(F(argc, args, 0), F(argc, args, 1), F(argc, args, 2), F(argc, args, 3),
                                 F(argc, args, 4));
}
// Blending follows the argument truncated: 0 off, anything else on.
BUILTIN(DrawEnableAlphaBlend) {
  SetReal(result, 0.0);
  if (argc != 1) {
    ReportRuntimeError("Illegal argument count", false);
    return;
  }
  if (args[0].Kind() != VALUE_REAL) {
    ReportRuntimeError("Illegal argument type: true/false expected", false);
    return;
  }
  RenderStateCache::SetRenderState(kRS_AlphaBlend, num::TruncInt32(args[0].real) != 0 ? 1 : 0);
}
BUILTIN(DrawTextureFlush) {
  (void)argc, (void)args;
  GraphicsFlush();
  SetReal(result, 0.0);
}

#undef BUILTIN

// The family's order; the rest of the family (primitives, shapes, transforms, matrices, lights,
// models) registers between these rows.
const BuiltinSpec kModeBuiltins[] = {
    {"d3d_start", D3DStart, 0},
    {"d3d_end", D3DEnd, 0},
    {"d3d_set_perspective", D3DSetPerspective, 1},
    {"d3d_set_hidden", D3DSetHidden, 1},
    {"d3d_set_depth", D3DSetDepth, 1},
    {"d3d_set_lighting", D3DSetLighting, 1},
    {"d3d_set_shading", D3DSetShading, 1},
    {"d3d_set_fog", D3DSetFog, 4},
    {"d3d_set_culling", D3DSetCulling, 1},
    {"d3d_set_zwriteenable", D3DSetZWriteEnable, 1},
};
const BuiltinSpec kProjectionBuiltins[] = {
    {"d3d_set_projection", D3DSetProjection, 9},
    {"d3d_set_projection_ext", D3DSetProjectionExt, 13},
    {"d3d_set_projection_ortho", D3DSetProjectionOrtho, 5},
    {"d3d_set_projection_perspective", D3DSetProjectionPerspective, 5},
};
const BuiltinSpec kTailBuiltins[] = {
    {"Tuvo_EnableAlphaBlend", DrawEnableAlphaBlend, 1},
    {"draw_enable_alphablend", DrawEnableAlphaBlend, 1},
    {"draw_texture_flush", DrawTextureFlush, 0},
};

}  // namespace

void RegisterD3DFunctions() {
  RegisterBuiltinTable(kModeBuiltins);
  RegisterBuiltinTable(kProjectionBuiltins);
  RegisterBuiltinTable(kTailBuiltins);
}
