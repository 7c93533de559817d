#include "graphics/Graphics_3D.h"

#include <cmath>

#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Transform.h"
#include "platform/Maths.h"

namespace {

constexpr float kRadians = 3.14159265358979323846f / 180.0f;

void SetView(const Vec3& eye, const Vec3& at, const Vec3& up) {
  Matrix view;
  MatrixLookAt(view, eye, at, up);
  SetTransformMatrix(kMatrixView, view);
}

// The up vector of a view turned by `angle` degrees.
Vec3 Up(float angle) {
  const float t = -angle * kRadians;
  return Vec3{std::sin(t), std::cos(t), 0.0f};
}

// Clip distances and the orthographic flag go first: setting the projection recomputes the fog
// range from them.
void SetProjection(const Matrix& projection, float zNear, float zFar, bool orthographic) {
  g_Transforms.zNear = zNear;
  g_Transforms.zFar = zFar;
  g_Transforms.orthographic = orthographic;
  SetTransformMatrix(kMatrixProjection, projection);
}

}  // namespace

bool GR_3D_SetMode(bool on) {
  RenderStateSettings& r = g_RenderStates;
  if (on == r.mode3D) return true;
  GraphicsFlush();
  r.mode3D = on;
  GR_3D_SetPerspective(on);
  GR_3D_SetHidden(on);
  return true;
}

bool GR_3D_GetMode() { return g_RenderStates.mode3D; }

void GR_3D_SetProjection(float xFrom, float yFrom, float zFrom, float xTo, float yTo, float zTo, float xUp,
                         float yUp, float zUp) {
  SetView(Vec3{xFrom, yFrom, zFrom}, Vec3{xTo, yTo, zTo}, Vec3{xUp, yUp, zUp});
  GR_InvalidateVisibleRegion();
}

void GR_3D_SetProjectionExt(float xFrom, float yFrom, float zFrom, float xTo, float yTo, float zTo, float xUp,
                            float yUp, float zUp, float angle, float aspect, float zNear, float zFar) {
  SetView(Vec3{xFrom, yFrom, zFrom}, Vec3{xTo, yTo, zTo}, Vec3{xUp, yUp, zUp});
  Matrix projection;
  MatrixPerspectiveFov(projection, angle * kRadians, aspect, zNear, zFar);
  SetProjection(projection, zNear, zFar, false);
  g_RenderStates.customOrtho = false;
  GR_InvalidateVisibleRegion();
}

void GR_3D_SetProjectionOrtho(float x, float y, float w, float h, float angle) {
  const float cx = x + w / 2.0f, cy = y + h / 2.0f;
  SetView(Vec3{cx, cy, -16000.0f}, Vec3{cx, cy, 0.0f}, Up(angle));
  Matrix projection;
  MatrixOrtho(projection, w, -h, 1.0f, 32000.0f);
  SetProjection(projection, 1.0f, 32000.0f, true);
  g_RenderStates.customOrtho = true;
  GR_InvalidateVisibleRegion();
}

void GR_3D_SetProjectionPerspective(float x, float y, float w, float h, float angle) {
  const float cx = x + w / 2.0f, cy = y + h / 2.0f;
  SetView(Vec3{cx, cy, -w}, Vec3{cx, cy, 0.0f}, Up(angle));
  Matrix projection;
  MatrixPerspective(projection, 1.0f, h / w, 1.0f, 32000.0f);
  SetProjection(projection, 1.0f, 32000.0f, false);
  g_RenderStates.customOrtho = false;
  GR_InvalidateVisibleRegion();
}
