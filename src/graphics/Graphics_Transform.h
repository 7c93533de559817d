// Transforms, the viewport, the 2-D view area and clears. Matrices are row-major with row
// vectors (platform/Maths.h) and are handed to the device as they are. Main thread only.
#pragma once

#include <cstdint>

#include "platform/Maths.h"

// Matrix slots.
constexpr int32_t kMatrixView = 0;
constexpr int32_t kMatrixProjection = 1;
constexpr int32_t kMatrixWorld = 2;
constexpr int32_t kMatrixWorldView = 3;
constexpr int32_t kMatrixWorldViewProjection = 4;

struct TransformState {
  Matrix matrices[5] = {};
  bool halfTexel = true;  // shift a projection set through SetTransformMatrix by half a pixel
  float primitiveOffsetX = 1.0f;
  float primitiveOffsetY = 1.0f;
  int32_t viewportX = -1, viewportY = -1, viewportWidth = -1, viewportHeight = -1;
  float viewAreaX = 0, viewAreaY = 0, viewAreaWidth = 0, viewAreaHeight = 0, viewAreaAngle = 0;
  int32_t boundsLeft = 0, boundsTop = 0, boundsRight = 0, boundsBottom = 0;
  bool visibleRegionStale = true;
  bool orthographic = true;
  float zNear = 1.0f;
  float zFar = 32000.0f;
};
extern TransformState g_Transforms;

void GetTransformMatrix(int32_t index, Matrix& out);
// Stores matrix 0 (view), 1 (projection) or 2 (world), updates the two products and hands it to
// the device; a projection also updates the fog range. Nothing without a device.
void SetTransformMatrix(int32_t index, const Matrix& matrix);
// Flushes the batch and sets the device viewport (depth range 0..1). Nothing without a device.
void GR_SetViewport(int32_t x, int32_t y, int32_t width, int32_t height);
// Sets a 2-D view of the room rectangle (x, y, w, h) turned by `angle` degrees, with y growing
// downwards, and its bounding rectangle.
void GR_SetViewArea(float x, float y, float width, float height, float angle);

// Updates the fog range, then clears the current targets inside the viewport. flags: bit 0
// colour, bit 1 depth, bit 2 stencil; colour 0xAABBGGRR. Nothing without a device or with
// flags 0.
void GraphicsClear(uint32_t colour, float depth, uint32_t stencil, uint32_t flags);
