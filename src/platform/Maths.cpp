#include "platform/Maths.h"

#include <cmath>

#include "platform/Numeric.h"

namespace {

// Degrees to radians, in single precision throughout.
float ToRadians(float degrees) {
  const float pi = num::ToFloat(M_PI);
  return degrees * pi / 180.0f;
}

Matrix Identity() {
  Matrix r{};
  r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
  return r;
}

}  // namespace

void Vec3::Normalise() {
  const float inv = 1.0f / std::sqrt(x * x + y * y + z * z);
  x *= inv;
  y *= inv;
  z *= inv;
}

void Vec3Subtract(Vec3& out, const Vec3& a, const Vec3& b) {
  out = Vec3{a.x - b.x, a.y - b.y, a.z - b.z};
}

float Vec3Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void Vec3Normalise(const Vec3& v, Vec3& out) {
  Vec3 r = v;
  r.Normalise();
  out = r;
}

void Vec3Cross(const Vec3& a, const Vec3& b, Vec3& out) {
  out = Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

void MatrixMultiply(Matrix& out, const Matrix& a, const Matrix& b) {
  Matrix r;
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      float sum = a.At(row, 0) * b.At(0, col);
      for (int k = 1; k < 4; ++k) sum += a.At(row, k) * b.At(k, col);
      r.At(row, col) = sum;
    }
  }
  out = r;
}

void MatrixTranspose(Matrix& out, const Matrix& m) {
  Matrix r;
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 4; ++col) r.At(row, col) = m.At(col, row);
  out = r;
}

void MatrixLookAt(Matrix& out, const Vec3& eye, const Vec3& at, const Vec3& up) {
  Vec3 x, y, z;
  Vec3Subtract(z, at, eye);
  z.Normalise();
  Vec3Cross(up, z, x);
  x.Normalise();
  Vec3Cross(z, x, y);
  y.Normalise();

  Matrix r;
  r.At(0, 0) = x.x; r.At(0, 1) = y.x; r.At(0, 2) = z.x; r.At(0, 3) = 0.0f;
  r.At(1, 0) = x.y; r.At(1, 1) = y.y; r.At(1, 2) = z.y; r.At(1, 3) = 0.0f;
  r.At(2, 0) = x.z; r.At(2, 1) = y.z; r.At(2, 2) = z.z; r.At(2, 3) = 0.0f;
  r.At(3, 0) = -Vec3Dot(x, eye);
  r.At(3, 1) = -Vec3Dot(y, eye);
  r.At(3, 2) = -Vec3Dot(z, eye);
  r.At(3, 3) = 1.0f;
  out = r;
}

void MatrixRotationX(Matrix& out, float degrees) {
  const float a = ToRadians(degrees);
  const float c = std::cos(a), s = std::sin(a);
  Matrix r = Identity();
  r.At(1, 1) = c;
  r.At(1, 2) = -s;
  r.At(2, 1) = s;
  r.At(2, 2) = c;
  out = r;
}

void MatrixRotationY(Matrix& out, float degrees) {
  const float a = ToRadians(degrees);
  const float c = std::cos(a), s = std::sin(a);
  Matrix r = Identity();
  r.At(0, 0) = c;
  r.At(0, 2) = s;
  r.At(2, 0) = -s;
  r.At(2, 2) = c;
  out = r;
}

void MatrixRotationZ(Matrix& out, float degrees) {
  const float a = ToRadians(degrees);
  const float c = std::cos(a), s = std::sin(a);
  Matrix r = Identity();
  r.At(0, 0) = c;
  r.At(0, 1) = -s;
  r.At(1, 0) = s;
  r.At(1, 1) = c;
  out = r;
}

void MatrixRotationAxis(Matrix& out, Vec3& axis, float degrees) {
  axis.Normalise();
  const float x = axis.x, y = axis.y, z = axis.z;
  const float a = ToRadians(degrees);
  const float c = std::cos(a), s = std::sin(a);
  const float t = 1.0f - c;

  Matrix r;
  r.At(0, 0) = t * x * x + c;     r.At(0, 1) = t * x * y + s * z; r.At(0, 2) = t * x * z - s * y; r.At(0, 3) = 0.0f;
  r.At(1, 0) = t * x * y - s * z; r.At(1, 1) = t * y * y + c;     r.At(1, 2) = t * y * z + s * x; r.At(1, 3) = 0.0f;
  r.At(2, 0) = t * x * z + s * y; r.At(2, 1) = t * y * z - s * x; r.At(2, 2) = t * z * z + c;     r.At(2, 3) = 0.0f;
  r.At(3, 0) = 0.0f;              r.At(3, 1) = 0.0f;              r.At(3, 2) = 0.0f;              r.At(3, 3) = 1.0f;
  out = r;
}

void MatrixPerspectiveFov(Matrix& out, float fovRadians, float aspect, float zNear, float zFar) {
  const float h = 1.0f / std::tan(fovRadians / 2.0f);
  const float w = h / aspect;
  Matrix r{};
  r.At(0, 0) = w;
  r.At(1, 1) = h;
  r.At(2, 2) = zFar / (zFar - zNear);
  r.At(2, 3) = 1.0f;
  r.At(3, 2) = -zNear * zFar / (zFar - zNear);
  out = r;
}

void MatrixPerspective(Matrix& out, float width, float height, float zNear, float zFar) {
  Matrix r{};
  r.At(0, 0) = 2.0f * zNear / width;
  r.At(1, 1) = 2.0f * zNear / height;
  r.At(2, 2) = zFar / (zFar - zNear);
  r.At(2, 3) = 1.0f;
  r.At(3, 2) = -zNear * zFar / (zFar - zNear);
  out = r;
}

void MatrixOrtho(Matrix& out, float width, float height, float zNear, float zFar) {
  Matrix r{};
  r.At(0, 0) = 2.0f / width;
  r.At(1, 1) = 2.0f / height;
  r.At(2, 2) = 1.0f / (zFar - zNear);
  r.At(3, 2) = zNear / (zNear - zFar);
  r.At(3, 3) = 1.0f;
  out = r;
}
