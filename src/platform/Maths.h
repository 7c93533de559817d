// Three-float vectors and 4 x 4 float matrices for the drawing layer, the 3-D transform
// built-ins and the physics debug drawing. Everything is computed in single precision.
//
// Matrices are row-major (m[4 * r + c]) and points are row vectors multiplied from the left,
// p' = p x M: the translation sits in the fourth row (m[12..14]) and A x B applies A first.
// Projections are left-handed with depth mapped to 0..1. Rotation angles are in degrees.
//
// Every function reads its inputs completely before writing its output, so the output may be
// one of the inputs.
#pragma once

struct Vec3 {
  float x;
  float y;
  float z;

  // Scales the vector to unit length in place. A zero vector gives non-finite components.
  void Normalise();
};

struct Matrix {
  float m[16];

  float& At(int row, int col) { return m[4 * row + col]; }
  float At(int row, int col) const { return m[4 * row + col]; }
};

// out = a - b.
void Vec3Subtract(Vec3& out, const Vec3& a, const Vec3& b);
// a . b
float Vec3Dot(const Vec3& a, const Vec3& b);
// out = v / |v|; a zero vector gives non-finite components.
void Vec3Normalise(const Vec3& v, Vec3& out);
// out = a x b.
void Vec3Cross(const Vec3& a, const Vec3& b, Vec3& out);

// out[r][c] = sum over k of a[r][k] * b[k][c].
void MatrixMultiply(Matrix& out, const Matrix& a, const Matrix& b);
void MatrixTranspose(Matrix& out, const Matrix& m);

// The left-handed view matrix looking from eye towards at, with up giving the vertical.
void MatrixLookAt(Matrix& out, const Vec3& eye, const Vec3& at, const Vec3& up);

// Rotations about one axis. These turn the opposite way from MatrixRotationAxis about the same
// axis for the same angle (each is the transpose of the other).
void MatrixRotationX(Matrix& out, float degrees);
void MatrixRotationY(Matrix& out, float degrees);
void MatrixRotationZ(Matrix& out, float degrees);
// Rotation about an arbitrary axis. The axis is normalised in place first, so the caller's
// vector changes.
void MatrixRotationAxis(Matrix& out, Vec3& axis, float degrees);

// Perspective projection from a vertical field of view in radians and an aspect ratio.
void MatrixPerspectiveFov(Matrix& out, float fovRadians, float aspect, float zNear, float zFar);
// Perspective projection from the size of the view volume at the near plane.
void MatrixPerspective(Matrix& out, float width, float height, float zNear, float zFar);
// Orthographic projection of a width x height view centred on the origin.
void MatrixOrtho(Matrix& out, float width, float height, float zNear, float zFar);
