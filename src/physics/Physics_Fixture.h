// Fixture definitions: reusable descriptions of one shape with its material and body settings,
// bound to instances to give them bodies (Physics_World.h). Definitions live in one table keyed by
// id; ids come from one counter for the whole run (the first is 1) and are never reused. Main
// thread only.
#pragma once

#include <box2d/box2d.h>

#include <cstdint>
#include <vector>

class CInstance;

enum PhysicsShapeKind : int32_t {
  PHYSICS_SHAPE_NONE = 0,
  PHYSICS_SHAPE_CIRCLE,
  PHYSICS_SHAPE_POLYGON,
};

class CPhysicsFixture {
 public:
  explicit CPhysicsFixture(int32_t id);
  ~CPhysicsFixture();
  CPhysicsFixture(const CPhysicsFixture&) = delete;
  CPhysicsFixture& operator=(const CPhysicsFixture&) = delete;

  // The shape becomes a circle of `radius` metres centred on the body origin; the points go.
  void SetCircleShape(float radius);
  // The shape becomes an empty polygon with room for 8 points.
  void SetPolygonShape();
  // Appends a polygon point (metres). False, storing nothing, without a polygon shape or with 8
  // points already; otherwise the answer is IsConvex over all points (a point that fails the
  // test stays).
  bool AddPoint(float x, float y);
  // True for 2 points or fewer, or when the points run clockwise on the screen (y down) around a
  // convex polygon. Otherwise reports "ERROR: The polygon shape for fixture <id> is concave or
  // ordered anti-clockwise" (not fatal) and answers false.
  bool IsConvex() const;
  // Makes the library shape from the points before a bind: a polygon needs 3 points that span a
  // real area; with fewer (or with points that all lie on one line or too close together) it
  // reports "Too few vertices in polygon shape fixture for <object name>" as a fatal run-time
  // error and answers false, and no body may be built from it. True for every other shape.
  bool BuildShape(const CInstance* instance);

  PhysicsShapeKind Kind() const { return m_kind; }
  // The library shape, null before a shape is set.
  b2Shape* Shape() { return m_shape; }
  const std::vector<b2Vec2>& Points() const { return m_points; }

  float m_linearDamping = 0.0f;
  float m_angularDamping = 0.0f;
  bool m_awake = true;
  bool m_kinematic = false;
  int32_t m_id;
  b2FixtureDef m_definition;  // friction 0.2, restitution 0, density 0, no sensor, category 1, mask 0xFFFF

 private:
  void ReplaceShape(b2Shape* shape, PhysicsShapeKind kind);

  PhysicsShapeKind m_kind = PHYSICS_SHAPE_NONE;
  b2Shape* m_shape = nullptr;  // owned
  std::vector<b2Vec2> m_points;
};

// A new definition with the next id, filed in the table.
CPhysicsFixture* Physics_CreateFixture();
// The definition of that id, or null.
CPhysicsFixture* Physics_FindFixture(int32_t id);
// Unfiles and destroys the definition; false when the id is not filed.
bool Physics_DeleteFixture(int32_t id);
