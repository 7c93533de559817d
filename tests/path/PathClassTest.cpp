// The path record: straight and smooth polylines, lengths, positions, point edits and the
// geometric transforms, each against hand-computed answers.
#include <gtest/gtest.h>

#include <vector>

#include "path/Path_Class.h"

namespace {

struct P {
  float x, y, speed;
};

// A path of the given kind, closed flag and precision through `points`.
void Build(CPath& path, int32_t kind, bool closed, int32_t precision, const std::vector<P>& points) {
  path.SetKind(kind);
  path.SetClosed(closed);
  path.SetPrecision(precision);
  for (const P& p : points) path.AddPoint(p.x, p.y, p.speed);
}

// The computed points as (x, y) pairs.
std::vector<std::pair<float, float>> Computed(const CPath& path) {
  std::vector<std::pair<float, float>> out;
  for (int32_t i = 0; i < path.GetComputedCount(); ++i) {
    out.emplace_back(path.GetComputedPoint(i).x, path.GetComputedPoint(i).y);
  }
  return out;
}

using Points = std::vector<std::pair<float, float>>;

TEST(PathClassTest, ComputedPointsFollowTheKindClosedFlagAndPrecision) {
  struct Case {
    const char* why;
    int32_t kind;
    bool closed;
    int32_t precision;
    std::vector<P> points;
    Points computed;
  };
  const std::vector<Case> cases = {
      {"straight open: the control points", 0, false, 4, {{0, 0, 100}, {100, 0, 50}}, {{0, 0}, {100, 0}}},
      {"straight closed: the first point again", 0, true, 4,
       {{0, 0, 100}, {10, 0, 100}, {10, 10, 100}, {0, 10, 100}}, {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}},
      {"smooth open, precision 0: first and last only", 1, false, 0, {{0, 0, 100}, {50, 50, 100}, {100, 0, 100}},
       {{0, 0}, {100, 0}}},
      {"smooth open, two points: the straight segment", 1, false, 4, {{0, 0, 100}, {30, 40, 100}}, {{0, 0}, {30, 40}}},
      {"smooth open, precision 1: one curve middle", 1, false, 1, {{0, 0, 100}, {100, 0, 100}, {100, 100, 100}},
       {{0, 0}, {87.5f, 12.5f}, {100, 100}}},
      {"smooth open, precision 2: the halves refined first", 1, false, 2,
       {{0, 0, 100}, {100, 0, 100}, {100, 100, 100}},
       {{0, 0}, {71.875f, 3.125f}, {87.5f, 12.5f}, {96.875f, 28.125f}, {100, 100}}},
      // S (4, 0), C (8, 0), E (8, 4): both squared distances are exactly 16, so neither side is
      // refined even at precision 8.
      {"smooth: pieces within 4 units are not refined", 1, false, 8, {{0, 0, 100}, {8, 0, 100}, {8, 8, 100}},
       {{0, 0}, {7, 1}, {8, 8}}},
      {"smooth closed, precision 0: no points", 1, true, 0, {{0, 0, 100}, {10, 0, 100}, {10, 10, 100}}, {}},
      {"empty", 0, true, 4, {}, {}},
      {"smooth empty", 1, false, 4, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    CPath path;
    Build(path, c.kind, c.closed, c.precision, c.points);
    EXPECT_EQ(Computed(path), c.computed);
  }
}

TEST(PathClassTest, AClosedSmoothPathPassesTheEdgeMidpointsAndEndsWhereItStarts) {
  CPath path;
  Build(path, 1, true, 1, {{0, 0, 100}, {100, 0, 100}, {100, 100, 100}, {0, 100, 100}});
  // One curve middle per corner, starting at the corner of point 1, then the first again.
  EXPECT_EQ(Computed(path), (Points{{87.5f, 12.5f}, {87.5f, 87.5f}, {12.5f, 87.5f}, {12.5f, 12.5f}, {87.5f, 12.5f}}));
  EXPECT_FLOAT_EQ(path.GetLength(), 300.0f);
}

TEST(PathClassTest, SpeedsAreAveragedLikeCoordinates) {
  CPath path;
  Build(path, 1, false, 1, {{0, 0, 0}, {100, 0, 100}, {100, 100, 50}});
  // S speed 50, C 100, E 75: (50 + 200 + 75) / 4.
  ASSERT_EQ(path.GetComputedCount(), 3);
  EXPECT_FLOAT_EQ(path.GetComputedPoint(1).speed, 81.25f);
}

TEST(PathClassTest, LengthsRunAlongThePolyline) {
  CPath path;
  Build(path, 0, false, 4, {{0, 0, 100}, {3, 4, 100}, {3, 10, 100}});
  EXPECT_FLOAT_EQ(path.GetComputedPoint(0).length, 0.0f);
  EXPECT_FLOAT_EQ(path.GetComputedPoint(1).length, 5.0f);
  EXPECT_FLOAT_EQ(path.GetComputedPoint(2).length, 11.0f);
  EXPECT_FLOAT_EQ(path.GetLength(), 11.0f);
}

TEST(PathClassTest, PositionsInterpolateAlongTheLength) {
  struct Case {
    const char* why;
    bool closed;
    std::vector<P> points;
    double f;
    PathPosition want;
  };
  const std::vector<P> line = {{0, 0, 100}, {100, 0, 50}};
  const std::vector<P> square = {{0, 0, 100}, {10, 0, 100}, {10, 10, 100}, {0, 10, 100}};
  const std::vector<Case> cases = {
      {"a quarter of the line", false, line, 0.25, {25, 0, 87.5}},
      {"the start", false, line, 0, {0, 0, 100}},
      {"below the start", false, line, -3, {0, 0, 100}},
      {"the end", false, line, 1, {100, 0, 50}},
      {"past the end", false, line, 7, {100, 0, 50}},
      {"the square's opposite corner", true, square, 0.5, {10, 10, 100}},
      {"the square's last side", true, square, 0.875, {0, 5, 100}},
      {"no points", false, {}, 0.5, {0, 0, 100}},
      {"one point", false, {{7, 8, 30}}, 0.5, {7, 8, 30}},
      {"one point, closed", true, {{7, 8, 30}}, 0.9, {7, 8, 30}},
      {"two points in the same place", false, {{7, 8, 30}, {7, 8, 60}}, 0.5, {7, 8, 30}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    CPath path;
    Build(path, 0, c.closed, 4, c.points);
    const PathPosition p = path.GetPosition(c.f);
    EXPECT_DOUBLE_EQ(p.x, c.want.x);
    EXPECT_DOUBLE_EQ(p.y, c.want.y);
    EXPECT_DOUBLE_EQ(p.speed, c.want.speed);
    EXPECT_DOUBLE_EQ(path.GetX(c.f), c.want.x);
    EXPECT_DOUBLE_EQ(path.GetY(c.f), c.want.y);
    EXPECT_DOUBLE_EQ(path.GetSpeed(c.f), c.want.speed);
  }
  CPath line100;
  Build(line100, 0, false, 4, line);
  EXPECT_FLOAT_EQ(line100.GetLength(), 100.0f);
  // The position is taken in single precision: 0.3 becomes 0.300000011920929, and 100 times that
  // rounds to the single 30.0000019 (in double throughout it would be 30).
  EXPECT_DOUBLE_EQ(line100.GetX(0.3), 30.000001907348633);
}

TEST(PathClassTest, APositionOnAZeroLengthSegmentAnswersItsFirstEnd) {
  CPath path;
  Build(path, 0, false, 4, {{0, 0, 10}, {10, 0, 20}, {10, 0, 30}, {20, 0, 40}});
  // a = 10 reaches the lengths of points 1 and 2 (both 10): the segment from point 2 is taken.
  EXPECT_DOUBLE_EQ(path.GetSpeed(0.5), 30.0);
}

TEST(PathClassTest, SettersNormaliseTheirValues) {
  CPath path;
  EXPECT_EQ(path.GetKind(), 0);
  EXPECT_TRUE(path.GetClosed());
  EXPECT_EQ(path.GetPrecision(), 4);
  path.SetKind(1);
  EXPECT_EQ(path.GetKind(), 1);
  path.SetKind(2);
  EXPECT_EQ(path.GetKind(), 0);
  path.SetKind(-1);
  EXPECT_EQ(path.GetKind(), 0);
  path.SetPrecision(12);
  EXPECT_EQ(path.GetPrecision(), 8);
  path.SetPrecision(-3);
  EXPECT_EQ(path.GetPrecision(), 0);
  path.SetClosed(false);
  EXPECT_FALSE(path.GetClosed());
}

TEST(PathClassTest, PointEditsKeepTheirIndexRangesAndRecompute) {
  CPath path;
  Build(path, 0, false, 4, {{0, 0, 1}, {10, 0, 2}});
  EXPECT_EQ(path.AddPoint(20, 0, 3), 2);
  path.InsertPoint(0, -10, 0, 4);   // before the first
  path.InsertPoint(4, 30, 0, 5);    // at the end (index = count)
  path.InsertPoint(6, 99, 99, 9);   // past the end: nothing
  path.InsertPoint(-1, 99, 99, 9);  // nothing
  ASSERT_EQ(path.GetCount(), 5);
  EXPECT_FLOAT_EQ(path.GetLength(), 40.0f);
  const float xs[] = {-10, 0, 10, 20, 30};
  for (int32_t i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(path.GetPoint(i).x, xs[i]) << i;

  path.ChangePoint(4, 50, 0, 6);
  path.ChangePoint(5, 99, 99, 9);  // nothing
  EXPECT_FLOAT_EQ(path.GetLength(), 60.0f);
  path.DeletePoint(0);
  path.DeletePoint(4);   // nothing
  path.DeletePoint(-1);  // nothing
  EXPECT_EQ(path.GetCount(), 4);
  EXPECT_FLOAT_EQ(path.GetPoint(0).x, 0.0f);
  EXPECT_FLOAT_EQ(path.GetLength(), 50.0f);

  // Outside the range a point is (0, 0) with speed 1.
  for (const int32_t i : {-1, 4}) {
    const PathPoint p = path.GetPoint(i);
    EXPECT_EQ(p.x, 0.0f);
    EXPECT_EQ(p.y, 0.0f);
    EXPECT_EQ(p.speed, 1.0f);
  }

  path.Reverse();
  EXPECT_FLOAT_EQ(path.GetPoint(0).x, 50.0f);
  EXPECT_FLOAT_EQ(path.GetPoint(3).speed, 1.0f);
  EXPECT_DOUBLE_EQ(path.GetX(0), 50.0);

  path.Clear();
  EXPECT_EQ(path.GetCount(), 0);
  EXPECT_EQ(path.GetComputedCount(), 0);
  EXPECT_EQ(path.GetLength(), 0.0f);
}

TEST(PathClassTest, AssignAndAppendCopyControlPoints) {
  CPath a, b;
  Build(a, 1, false, 2, {{0, 0, 100}, {100, 0, 100}, {100, 100, 100}});
  b.Assign(a);
  EXPECT_EQ(b.GetKind(), 1);
  EXPECT_FALSE(b.GetClosed());
  EXPECT_EQ(b.GetPrecision(), 2);
  EXPECT_EQ(Computed(b), Computed(a));
  b.Assign(b);  // itself: unchanged
  EXPECT_EQ(b.GetCount(), 3);

  b.Append(a);
  EXPECT_EQ(b.GetCount(), 6);
  b.Append(b);  // its own points, counted before appending
  EXPECT_EQ(b.GetCount(), 12);
  EXPECT_FLOAT_EQ(b.GetPoint(11).y, 100.0f);
  CPath empty;
  b.Append(empty);
  EXPECT_EQ(b.GetCount(), 12);
}

TEST(PathClassTest, TransformsTurnScaleAndMirrorAroundTheCentre) {
  struct Case {
    const char* why;
    void (*edit)(CPath&);
    Points want;
  };
  const std::vector<Case> cases = {
      {"shift", [](CPath& p) { p.Shift(3, -2); }, {{3, -2}, {13, 2}}},
      {"mirror left-right", [](CPath& p) { p.Mirror(); }, {{10, 0}, {0, 4}}},
      {"flip top-bottom", [](CPath& p) { p.Flip(); }, {{0, 4}, {10, 0}}},
      {"rescale", [](CPath& p) { p.Rescale(2, 0.5f); }, {{-5, 1}, {15, 3}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    CPath path;
    Build(path, 0, false, 4, {{0, 0, 100}, {10, 4, 100}});
    c.edit(path);
    EXPECT_EQ(Computed(path), c.want);
  }

  // Turning (0, 0)-(10, 0) by 90 degrees around (5, 0): counter-clockwise on a y-down screen.
  CPath path;
  Build(path, 0, false, 4, {{0, 0, 100}, {10, 0, 100}});
  path.Rotate(90);
  EXPECT_NEAR(path.GetPoint(0).x, 5.0f, 1e-5);
  EXPECT_NEAR(path.GetPoint(0).y, 5.0f, 1e-5);
  EXPECT_NEAR(path.GetPoint(1).x, 5.0f, 1e-5);
  EXPECT_NEAR(path.GetPoint(1).y, -5.0f, 1e-5);

  double cx = 1, cy = 1;
  CPath().GetCenter(&cx, &cy);
  EXPECT_EQ(cx, 0.0);
  EXPECT_EQ(cy, 0.0);
}

}  // namespace
