#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <limits>

#include "platform/Colour.h"
#include "platform/Maths.h"

namespace {

constexpr float kTol = 1e-5f;
constexpr float kPi = 3.14159265f;

Matrix Make(std::initializer_list<float> values) {
  Matrix r{};
  int i = 0;
  for (float v : values) r.m[i++] = v;
  return r;
}

Matrix Translation(float x, float y, float z) {
  return Make({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1});
}

// p' = p x M for the row vector (p, w).
void Transform(const Matrix& m, const float p[4], float out[4]) {
  for (int c = 0; c < 4; ++c) out[c] = p[0] * m.At(0, c) + p[1] * m.At(1, c) + p[2] * m.At(2, c) + p[3] * m.At(3, c);
}

Vec3 TransformPoint(const Matrix& m, const Vec3& v) {
  const float p[4] = {v.x, v.y, v.z, 1.0f};
  float o[4];
  Transform(m, p, o);
  return Vec3{o[0], o[1], o[2]};
}

void ExpectMatrixNear(const Matrix& actual, const Matrix& expected, float tol = kTol) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual.m[i], expected.m[i], tol) << "element " << i / 4 << "," << i % 4;
}

void ExpectVecNear(const Vec3& a, const Vec3& e, float tol = kTol) {
  EXPECT_NEAR(a.x, e.x, tol);
  EXPECT_NEAR(a.y, e.y, tol);
  EXPECT_NEAR(a.z, e.z, tol);
}

TEST(Vec3, ArithmeticAndNormalising) {
  const Vec3 a{1, 2, 3}, b{4, -5, 6};
  Vec3 out;
  Vec3Subtract(out, a, b);
  ExpectVecNear(out, {-3, 7, -3}, 0);
  EXPECT_EQ(Vec3Dot(a, b), 4.0f - 10.0f + 18.0f);
  Vec3Cross(a, b, out);
  ExpectVecNear(out, {2 * 6 - 3 * -5, 3 * 4 - 1 * 6, 1 * -5 - 2 * 4}, 0);
  Vec3Cross(Vec3{1, 0, 0}, Vec3{0, 1, 0}, out);
  ExpectVecNear(out, {0, 0, 1}, 0);

  Vec3 v{3, 0, -4};
  Vec3Normalise(v, out);
  ExpectVecNear(out, {0.6f, 0, -0.8f}, 1e-7f);
  ExpectVecNear(v, {3, 0, -4}, 0);  // the input is left alone
  v.Normalise();
  ExpectVecNear(v, {0.6f, 0, -0.8f}, 1e-7f);

  // The output may be the input.
  Vec3 w{0, 2, 0};
  Vec3Normalise(w, w);
  ExpectVecNear(w, {0, 1, 0}, 0);

  Vec3 zero{0, 0, 0};
  zero.Normalise();
  EXPECT_FALSE(std::isfinite(zero.x));
  EXPECT_FALSE(std::isfinite(zero.y));
  EXPECT_FALSE(std::isfinite(zero.z));
}

TEST(Matrix, ProductUsesRowVectorsAndAppliesTheLeftFactorFirst) {
  const Matrix a = Make({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  const Matrix b = Make({-1, 0.5f, 2, 0, 3, 1, -2, 1, 0, 4, 1, -1, 2, 0, 0, 1});
  Matrix ab;
  MatrixMultiply(ab, a, b);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += double(a.At(r, k)) * b.At(k, c);
      EXPECT_FLOAT_EQ(ab.At(r, c), float(sum)) << r << "," << c;
    }

  // Rotate, then translate: (1, 0, 0) turns to (0, -1, 0) and then moves by (10, 0, 0).
  Matrix rot, rotThenMove, moveThenRot;
  MatrixRotationZ(rot, 90);
  MatrixMultiply(rotThenMove, rot, Translation(10, 0, 0));
  MatrixMultiply(moveThenRot, Translation(10, 0, 0), rot);
  ExpectVecNear(TransformPoint(rotThenMove, {1, 0, 0}), {10, -1, 0});
  ExpectVecNear(TransformPoint(moveThenRot, {1, 0, 0}), {0, -11, 0});
  EXPECT_EQ(rotThenMove.m[12], 10.0f);  // the translation stays in the fourth row

  // The output may alias an input.
  Matrix c = a;
  MatrixMultiply(c, c, b);
  ExpectMatrixNear(c, ab, 0);

  Matrix t;
  MatrixTranspose(t, a);
  for (int r = 0; r < 4; ++r)
    for (int col = 0; col < 4; ++col) EXPECT_EQ(t.At(r, col), a.At(col, r));
  MatrixTranspose(c, c);
  MatrixTranspose(c, c);
  ExpectMatrixNear(c, ab, 0);
}

TEST(Matrix, RotationsTurnTheUnitVectors) {
  struct Case {
    const char* name;
    char axis;  // 'x', 'y', 'z', or 'a' for MatrixRotationAxis
    Vec3 axisVector;
    float degrees;
    Vec3 in, out;
  } cases[] = {
      {"Z 90", 'z', {}, 90, {1, 0, 0}, {0, -1, 0}},
      {"Z -90", 'z', {}, -90, {1, 0, 0}, {0, 1, 0}},
      {"X 90", 'x', {}, 90, {0, 1, 0}, {0, 0, -1}},
      {"Y 90", 'y', {}, 90, {0, 0, 1}, {-1, 0, 0}},
      {"X 180", 'x', {}, 180, {0, 1, 0}, {0, -1, 0}},
      {"axis z 90", 'a', {0, 0, 1}, 90, {1, 0, 0}, {0, 1, 0}},
      {"axis x 90", 'a', {1, 0, 0}, 90, {0, 1, 0}, {0, 0, 1}},
      {"axis y 90", 'a', {0, 1, 0}, 90, {0, 0, 1}, {1, 0, 0}},
      {"axis unnormalised", 'a', {0, 0, 7}, 90, {1, 0, 0}, {0, 1, 0}},
      {"axis diagonal 120", 'a', {1, 1, 1}, 120, {1, 0, 0}, {0, 1, 0}},
      {"Z 30", 'z', {}, 30, {1, 0, 0}, {0.8660254f, -0.5f, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Matrix m;
    Vec3 axis = c.axisVector;
    switch (c.axis) {
      case 'x': MatrixRotationX(m, c.degrees); break;
      case 'y': MatrixRotationY(m, c.degrees); break;
      case 'z': MatrixRotationZ(m, c.degrees); break;
      default: MatrixRotationAxis(m, axis, c.degrees); break;
    }
    ExpectVecNear(TransformPoint(m, c.in), c.out);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(m.At(i, 3), 0.0f);
      EXPECT_EQ(m.At(3, i), 0.0f);
    }
    EXPECT_EQ(m.At(3, 3), 1.0f);
  }
}

TEST(Matrix, RotationAxisIsTheTransposeOfTheSingleAxisRotationAndNormalisesItsAxis) {
  for (float degrees : {30.0f, -75.0f, 200.0f}) {
    SCOPED_TRACE(degrees);
    Matrix single, axis, transposed;
    Vec3 x{2, 0, 0}, y{0, 3, 0}, z{0, 0, 0.5f};
    MatrixRotationX(single, degrees);
    MatrixRotationAxis(axis, x, degrees);
    MatrixTranspose(transposed, single);
    ExpectMatrixNear(axis, transposed);
    MatrixRotationY(single, degrees);
    MatrixRotationAxis(axis, y, degrees);
    MatrixTranspose(transposed, single);
    ExpectMatrixNear(axis, transposed);
    MatrixRotationZ(single, degrees);
    MatrixRotationAxis(axis, z, degrees);
    MatrixTranspose(transposed, single);
    ExpectMatrixNear(axis, transposed);
    // The caller's axis vectors were normalised in place.
    ExpectVecNear(x, {1, 0, 0}, 0);
    ExpectVecNear(y, {0, 1, 0}, 0);
    ExpectVecNear(z, {0, 0, 1}, 0);
  }

  // The angle goes to radians in single precision: sin of the float nearest pi is not 0.
  Matrix half;
  MatrixRotationZ(half, 180);
  EXPECT_EQ(half.m[0], -1.0f);
  EXPECT_GT(std::fabs(half.m[1]), 1e-8f);
  EXPECT_LT(std::fabs(half.m[1]), 1e-6f);
}

TEST(Matrix, LookAt) {
  Matrix view;
  MatrixLookAt(view, {0, 0, -10}, {0, 0, 0}, {0, 1, 0});
  ExpectMatrixNear(view, Make({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 10, 1}), 0);

  // From elsewhere: the eye lands on the origin, the target straight ahead on +z, the up
  // direction in the upper half, and the rotation part stays orthonormal.
  const Vec3 eye{3, 4, 5}, at{1, -2, 0}, up{0, 1, 0};
  MatrixLookAt(view, eye, at, up);
  Vec3 d;
  Vec3Subtract(d, at, eye);
  const float distance = std::sqrt(Vec3Dot(d, d));
  ExpectVecNear(TransformPoint(view, eye), {0, 0, 0}, 1e-5f);
  ExpectVecNear(TransformPoint(view, at), {0, 0, distance}, 1e-5f);
  EXPECT_GT(TransformPoint(view, Vec3{eye.x, eye.y + 1, eye.z}).y, 0.0f);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      float dot = 0;
      for (int k = 0; k < 3; ++k) dot += view.At(k, i) * view.At(k, j);
      EXPECT_NEAR(dot, i == j ? 1.0f : 0.0f, 1e-6f) << i << "," << j;
    }
  EXPECT_EQ(view.At(3, 3), 1.0f);
}

TEST(Matrix, Projections) {
  struct Case {
    const char* name;
    Matrix m;
    Matrix expected;
  };
  Matrix fov, fovWide, persp, ortho;
  MatrixPerspectiveFov(fov, kPi / 2, 1, 1, 101);
  MatrixPerspectiveFov(fovWide, kPi / 3, 2, 0.5f, 10.5f);
  MatrixPerspective(persp, 2, 4, 1, 101);
  MatrixOrtho(ortho, 800, 600, 1, 101);
  const float h = 1 / std::tan(kPi / 6);
  const Case cases[] = {
      {"fov 90", fov, Make({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.01f, 1, 0, 0, -1.01f, 0})},
      {"fov 60 aspect 2", fovWide, Make({h / 2, 0, 0, 0, 0, h, 0, 0, 0, 0, 1.05f, 1, 0, 0, -0.525f, 0})},
      {"perspective", persp, Make({1, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1.01f, 1, 0, 0, -1.01f, 0})},
      {"ortho", ortho, Make({0.0025f, 0, 0, 0, 0, 1 / 300.0f, 0, 0, 0, 0, 0.01f, 0, 0, 0, -0.01f, 1})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(c.m.m[i], c.expected.m[i]) << "element " << i / 4 << "," << i % 4;
  }

  // Depth runs from 0 at the near plane to 1 at the far plane after the divide by w.
  struct Depth {
    const char* name;
    const Matrix* m;
    float zNear, zFar;
  } depths[] = {{"fov", &fov, 1, 101}, {"perspective", &persp, 1, 101}, {"ortho", &ortho, 1, 101}};
  for (const Depth& d : depths) {
    SCOPED_TRACE(d.name);
    float out[4];
    const float nearPoint[4] = {0, 0, d.zNear, 1}, farPoint[4] = {0, 0, d.zFar, 1};
    Transform(*d.m, nearPoint, out);
    EXPECT_NEAR(out[2] / out[3], 0.0f, 1e-6f);
    Transform(*d.m, farPoint, out);
    EXPECT_NEAR(out[2] / out[3], 1.0f, 1e-6f);
  }
}

TEST(Colour, ToHSV) {
  struct Case {
    uint32_t colour;
    int h, s, v;
  } cases[] = {
      {0x0000FF, 0, 255, 255},    // red
      {0x00FF00, 85, 255, 255},   // green: 120 degrees
      {0xFF0000, 170, 255, 255},  // blue: 240 degrees
      {0x00FFFF, 43, 255, 255},   // yellow: 60 degrees gives 42.5, + 0.5
      {0xFF00FF, 213, 255, 255},  // magenta: -60 degrees wraps to 300
      {0x0100FF, 255, 255, 255},  // just short of a full turn
      {0x0080FF, 21, 255, 255},   // red the maximum
      {0x80FF00, 106, 255, 255},  // green the maximum
      {0xFF0080, 191, 255, 255},  // blue the maximum
      {0x7F7FFF, 0, 128, 255},
      {0xFFFFFF, 0, 0, 255},
      {0x000000, 0, 0, 0},
      {0x808080, 0, 0, 128},
      {0xFF808080, 0, 0, 128},  // the top byte is not a channel
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.colour);
    const HSVBytes hsv = ColourToHSV(c.colour);
    EXPECT_EQ(hsv.h, c.h);
    EXPECT_EQ(hsv.s, c.s);
    EXPECT_EQ(hsv.v, c.v);
  }
}

TEST(Colour, FromHSV) {
  struct Case {
    int h, s, v;
    uint32_t colour;
  } cases[] = {
      {0, 255, 255, 0x0000FF},   {85, 255, 255, 0x00FF00},  {170, 255, 255, 0xFF0000},
      {255, 255, 255, 0x0000FF},  // 360 degrees is taken as 0
      {21, 255, 255, 0x007EFF},   // sector 0
      {43, 255, 255, 0x00FFFC},   // sector 1
      {213, 255, 255, 0xFC00FF},  // sector 5
      {128, 128, 200, 0xC8C764},  // sector 3, partly saturated
      {0, 0, 128, 0x808080},     {200, 0, 128, 0x808080},   {7, 0, 255, 0xFFFFFF},
      {99, 255, 0, 0x000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.h << "," << c.s << "," << c.v);
    EXPECT_EQ(HSVToColour(uint8_t(c.h), uint8_t(c.s), uint8_t(c.v)), c.colour);
  }

  // Every fully saturated hue comes back within one step of itself.
  for (int h = 0; h < 256; ++h) {
    const HSVBytes back = ColourToHSV(HSVToColour(uint8_t(h), 255, 255));
    const int diff = std::abs(back.h - h);
    EXPECT_LE(std::min(diff, 255 - diff), 1) << h;
    EXPECT_EQ(back.s, 255) << h;
    EXPECT_EQ(back.v, 255) << h;
  }
}

TEST(Colour, Merge) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* name;
    uint32_t a, b;
    float f;
    uint32_t expected;
  } cases[] = {
      {"halfway black to white", 0x000000, 0xFFFFFF, 0.5f, 0x808080},
      {"ties go to even", 0x000000, 0x050301, 0.5f, 0x020200},
      {"amount 0", 0x123456, 0xABCDEF, 0.0f, 0x123456},
      {"amount 1", 0x123456, 0xABCDEF, 1.0f, 0xABCDEF},
      {"a quarter", 0x000000, 0x6400C8, 0.25f, 0x190032},
      {"above 1 wraps", 0x000000, 0x0000FF, 2.0f, 0x0000FE},
      {"negative channel wraps", 0x0000FF, 0x000000, 2.0f, 0x000001},
      {"below 0 wraps", 0x000000, 0x000010, -1.0f, 0x0000F0},
      {"beyond 32 bits", 0x000000, 0x0000FF, 16777215.0f, 0x000001},
      {"beyond 64 bits", 0x000000, 0x0000FF, 1e30f, 0x000000},
      {"NaN", 0x102030, 0x405060, nan, 0x000000},
      {"infinite", 0x010101, 0x020202, inf, 0x000000},
      {"minus infinity", 0x000000, 0x000000, -inf, 0x000000},
      {"top bytes dropped", 0xFF000000, 0xFF000000, 0.5f, 0x000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(MergeColour(c.a, c.b, c.f), c.expected);
  }
}

TEST(Colour, ByteRecords) {
  uint8_t rec[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  PackRGB(rec, 0x11, 0x22, 0x33);
  EXPECT_EQ(rec[0], 0x33);
  EXPECT_EQ(rec[1], 0x22);
  EXPECT_EQ(rec[2], 0x11);
  EXPECT_EQ(rec[3], 0xAA);
  EXPECT_EQ(BytesToInt24(rec), 0x332211u);  // red x, green y, blue z as a colour

  MakeBytes3(rec, 0x11, 0x22, 0x33);
  EXPECT_EQ(rec[0], 0x11);
  EXPECT_EQ(rec[1], 0x22);
  EXPECT_EQ(rec[2], 0x33);
  EXPECT_EQ(rec[3], 0xAA);
  EXPECT_EQ(BytesToInt24(rec), 0x112233u);

  const uint8_t high[3] = {0xFF, 0x80, 0x01};
  EXPECT_EQ(BytesToInt24(high), 0xFF8001u);
}

}  // namespace
