// The render-state cache: drawing code writes wanted states here and the batch applies what
// changed. Main thread only.
#pragma once

#include <cstdint>

struct RenderStateSettings {
  bool interpolate = false;             // the global texel-interpolation flag
  uint8_t stageInterpolation[8] = {};   // per sampler stage
};
extern RenderStateSettings g_RenderStates;

class RenderStateCache {
 public:
  // Device and wanted values to their defaults; every stage interpolates.
  static void SetDefaults();
  // Applies the states that changed.
  static void Flush();
  // Forces every state out to the device again.
  static void ApplyAll();
};

// Re-applies every cached state to the device (after creation and every reset). Nothing without
// a device.
void GR_RestoreRenderStates();
