// One path: a list of control points (x, y, speed) and the polyline computed from them, either
// straight (the control points themselves) or smooth (a curve through the midpoints of the
// control polygon, refined by recursive subdivision), with the distance along it at every
// computed point. A position on the path is a fraction 0..1 of its total length.
//
// Every change of the control points, the kind, the closed flag or the precision recomputes the
// polyline at once, so the queries always answer for the current control points. Points are
// stored in single precision; midpoints, averages and interpolation are computed in double.
// The record owns both point arrays; the path table (path/Path_Main.h) owns the records.
// Main thread only.
#pragma once

#include <cstdint>

#include "platform/GrowArray.h"

class BoundedReader;

// A control point.
struct PathPoint {
  float x = 0, y = 0, speed = 0;
};

// A computed point: `length` is the distance along the polyline from the first computed point.
struct PathComputedPoint {
  float x = 0, y = 0, speed = 0, length = 0;
};

// A position on the path.
struct PathPosition {
  double x = 0, y = 0, speed = 0;
};

constexpr int32_t kPathStraight = 0;
constexpr int32_t kPathSmooth = 1;
constexpr int32_t kPathMaxPrecision = 8;

class CPath {
 public:
  CPath() = default;
  ~CPath();
  CPath(const CPath&) = delete;
  CPath& operator=(const CPath&) = delete;

  // Reads a path entry of the game data (`entry` starts at the entry): name offset (skipped),
  // kind, closed (not 0 = closed), precision, point count N and N points of three f32. The kind
  // and precision are normalised as SetKind and SetPrecision do. False, with the path left as
  // it was, when N is negative or the points do not lie inside the entry's window.
  bool Load(BoundedReader& entry);
  // Takes the kind, closed flag, precision and control points of `other` (nothing for itself).
  void Assign(const CPath& other);

  // ---- Control points ----

  // Appends a point; answers its index.
  int32_t AddPoint(float x, float y, float speed);
  // Inserts a point before point `index` (at the end when index equals the count); nothing for
  // an index outside 0..count.
  void InsertPoint(int32_t index, float x, float y, float speed);
  // Changes or deletes point `index`; nothing for an index outside 0..count-1.
  void ChangePoint(int32_t index, float x, float y, float speed);
  void DeletePoint(int32_t index);
  // Removes every control point and releases both arrays.
  void Clear();

  // kind = k when k is 0 or 1, else straight (0).
  void SetKind(int32_t kind);
  void SetClosed(bool closed);
  // precision = p held to 0..8.
  void SetPrecision(int32_t precision);

  // ---- Geometric edits (the centre is that of GetCenter) ----

  // Adds (dx, dy) to every control point.
  void Shift(double dx, double dy);
  // Mirrors left-right (Mirror) or top-bottom (Flip) around the centre.
  void Mirror();
  void Flip();
  // Turns around the centre by `degrees`: x' = c x + s y, y' = c y - s x with t = degrees times
  // pi (single precision) / 180, so positive angles turn counter-clockwise on a y-down screen.
  void Rotate(float degrees);
  // Scales around the centre.
  void Rescale(float sx, float sy);
  // Reverses the order of the control points.
  void Reverse();
  // Appends copies of the control points of `other` (which may be this path).
  void Append(const CPath& other);

  // ---- Queries ----

  // Control point `index`, or (0, 0, speed 1) for an index outside 0..count-1.
  PathPoint GetPoint(int32_t index) const;
  int32_t GetCount() const { return m_points.Count(); }
  int32_t GetKind() const { return m_kind; }
  bool GetClosed() const { return m_closed; }
  int32_t GetPrecision() const { return m_precision; }
  // The total length of the computed polyline.
  float GetLength() const { return m_length; }
  // The computed polyline (for tests and drawing).
  int32_t GetComputedCount() const { return m_computed.Count(); }
  const PathComputedPoint& GetComputedPoint(int32_t index) const { return m_computed[index]; }

  // The point and speed at position `f` (narrowed to single precision first): (0, 0) with speed
  // 100 when there is no computed point; the first computed point for one point, a length of 0
  // or f <= 0; the last for f >= 1; otherwise linear interpolation along the polyline. A closed
  // smooth path of precision 0 has no computed points.
  PathPosition GetPosition(double f) const;
  double GetX(double f) const { return GetPosition(f).x; }
  double GetY(double f) const { return GetPosition(f).y; }
  double GetSpeed(double f) const { return GetPosition(f).speed; }
  // The middle of the control points' bounding box; (0, 0) for a path without points.
  void GetCenter(double* x, double* y) const;

  // Draws the path as one untextured line strip in the draw colour, of k = total length / 4
  // (rounded, halves to even) segments: the positions i / k for i = 0..k, moved by (x, y) when
  // `absolute`, else so that the path starts at (x, y). k of 0 (or one no integer can hold)
  // draws nothing; a primitive keeps at most 1001 vertices, so no position past those is
  // computed.
  void Draw(float x, float y, bool absolute) const;

 private:
  // Recomputes the polyline and its lengths from the control points.
  void Recompute();
  void ComputeStraight();
  void ComputeSmooth();
  void Subdivide(int32_t depth, PathPoint s, PathPoint c, PathPoint e);
  void AddComputed(const PathPoint& p);
  void ComputeLengths();

  GrowArray<PathPoint> m_points{5};
  GrowArray<PathComputedPoint> m_computed{10};
  int32_t m_kind = kPathStraight;
  bool m_closed = true;
  int32_t m_precision = 4;
  float m_length = 0;
};
