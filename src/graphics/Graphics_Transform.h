// Transforms, the viewport, the 2-D view area, the visible region and clears, and the device
// lights. Matrices are row-major with row vectors (platform/Maths.h) and are handed to the
// device as they are. Main thread only.
//
// Five matrices are kept, numbered: 0 view, 1 projection, 2 world, 3 world x view, 4 world x
// view x projection. Callers name them by the constants below.
//
// 2-D pixel centres: while the half-texel flag is set, a projection set through
// SetTransformMatrix is moved left and up by half a pixel of the viewport current then; the
// device puts pixel centres at integer coordinates, so the two cancel and a 1:1 quad at an
// integer position samples texel centres.
#pragma once

#include <cstdint>

#include "platform/Maths.h"

// Matrix slots.
constexpr int32_t kMatrixView = 0;
constexpr int32_t kMatrixProjection = 1;
constexpr int32_t kMatrixWorld = 2;
constexpr int32_t kMatrixWorldView = 3;
constexpr int32_t kMatrixWorldViewProjection = 4;

// GraphicsClear flag bits.
constexpr uint32_t kClearTarget = 1;
constexpr uint32_t kClearDepth = 2;
constexpr uint32_t kClearStencil = 4;

struct TransformState {
  Matrix matrices[5] = {};
  bool halfTexel = true;  // shift a projection set through SetTransformMatrix by half a pixel
  // Added to the x and y of every 2-D primitive vertex; 1.0 again whenever the shift is applied.
  float primitiveOffsetX = 1.0f;
  float primitiveOffsetY = 1.0f;
  int32_t viewportX = -1, viewportY = -1, viewportWidth = -1, viewportHeight = -1;
  float viewAreaX = 0, viewAreaY = 0, viewAreaWidth = 0, viewAreaHeight = 0, viewAreaAngle = 0;
  // The room rectangle that holds the (rotated) view area.
  int32_t boundsLeft = 0, boundsTop = 0, boundsRight = 0, boundsBottom = 0;
  // The view bounds carried into world space (through the inverse world matrix).
  int32_t visibleMinX = 0, visibleMinY = 0, visibleMaxX = 0, visibleMaxY = 0;
  bool visibleRegionStale = true;
  bool orthographic = true;
  float zNear = 1.0f;
  float zFar = 32000.0f;
};
extern TransformState g_Transforms;

// The identity matrix.
Matrix MatrixIdentity();
// Inverts `m` in place (cofactors over the determinant); a determinant of exactly 0 leaves it
// unchanged and answers false.
bool MatrixInverse(Matrix& m);

// Copies matrix `index` (0..4) into `out`; other indices leave it as it is.
void GetTransformMatrix(int32_t index, Matrix& out);
// Flushes the batch, stores matrix 0 (view), 1 (projection, shifted by half a pixel while the
// half-texel flag is set) or 2 (world), updates the two products and hands it to the device; a
// projection also updates the fog range. Nothing without a device.
void SetTransformMatrix(int32_t index, const Matrix& matrix);
// Flushes the batch and sets the device viewport (depth range 0..1). Nothing without a device.
void GR_SetViewport(int32_t x, int32_t y, int32_t width, int32_t height);
// The display size.
void GR_GetDisplaySize(int32_t* width, int32_t* height);
// Sets a view of the room rectangle (x, y, w, h) turned by `angle` degrees: a perspective one
// in 3-D mode with perspective on, else orthographic with y growing downwards in 2-D; and the
// view bounds around it.
void GR_SetViewArea(float x, float y, float width, float height, float angle);
// Sets the view bounds (the visible region before the world matrix) to a rectangle of room
// pixels and marks the visible region stale.
void GR_SetVisibleBounds(int32_t left, int32_t top, int32_t right, int32_t bottom);
// The visible region is recomputed at the next GR_UpdateVisibleRegion (after a change of the
// world matrix or of a view).
void GR_InvalidateVisibleRegion();
// Recomputes the visible region when it is stale.
void GR_UpdateVisibleRegion();

// Clears the current targets inside the viewport. flags: kClearTarget, kClearDepth,
// kClearStencil; colour 0xAABBGGRR. By the device's clear, or, with the clear-by-quads flag of
// the device, by drawing a full-target quad per target with the depth test set to always.
// Nothing without a device or with flags 0. The depth and stencil arguments are read only by
// the drawn clear (the quads' z).
void GraphicsClear(uint32_t colour, float depth, uint32_t stencil, uint32_t flags);
// draw_clear: colour (0xBBGGRR with an alpha byte on top), depth 1, stencil 0, every buffer.
void GR_Clear(uint32_t colour);
// draw_clear_alpha: the script colour with alpha (clamped to 0..1, x 255, truncated).
void GR_ClearAlpha(uint32_t colour, float alpha);

// Device lights, written straight to the device. Colours are script colours (0xBBGGRR).
void GR_SetAmbientLight(uint32_t colour);
void GR_SetDirectionalLight(int32_t index, float dx, float dy, float dz, uint32_t colour);
void GR_SetPointLight(int32_t index, float x, float y, float z, float range, uint32_t colour);
void GR_EnableLight(int32_t index, bool on);
