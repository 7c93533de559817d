// The physics world of a room and the bodies bound to its instances. A world wraps one library
// world; an instance takes part through one library body held by its CPhysicsObject, made the
// first time a fixture definition (Physics_Fixture.h) is bound to it. The library world owns the
// bodies; the instance owns its CPhysicsObject, whose destruction destroys the body. Main thread
// only.
#pragma once

#include <box2d/box2d.h>

#include <cstdint>

#include "physics/Physics_Object.h"

class CInstance;
class CPhysicsFixture;

// One contact between two fixtures gathered during a world step: up to kMaxManifolds manifolds
// of the same fixture pair, each with its world manifold (metres). Only the first
// `manifoldCount` entries are meaningful; a fixture pointer is null once its fixture is gone.
struct PhysicsContactRecord {
  static constexpr int32_t kMaxManifolds = 8;
  int32_t manifoldCount = 0;
  b2Fixture* fixtureA = nullptr;
  b2Fixture* fixtureB = nullptr;
  b2Manifold manifolds[kMaxManifolds] = {};
  b2WorldManifold worldManifolds[kMaxManifolds] = {};
};

class CPhysicsWorld {
 public:
  // A world with no gravity whose scale is `pixelsToMetres` (metres = pixels x scale), stepping
  // `updateSpeed` times per simulated second.
  CPhysicsWorld(float pixelsToMetres, int32_t updateSpeed);
  // Takes every body's CPhysicsObject from its instance first (the instance keeps no body), then
  // destroys the library world with its bodies.
  ~CPhysicsWorld();
  CPhysicsWorld(const CPhysicsWorld&) = delete;
  CPhysicsWorld& operator=(const CPhysicsWorld&) = delete;

  // Binds the definition to the instance and answers the new fixture index, or -1:
  // - the definition's shape is built first (a polygon that cannot be built was reported there:
  //   -1, no body);
  // - a definition without a shape shows "No fixture shape data present for <object name>\n" as a
  //   fatal run-time error: -1;
  // - an instance with a body gets one more fixture on it;
  // - otherwise a body is made at the instance's position less the offset (pixels) turned by the
  //   body angle, all times the scale; the body angle is the image angle negated, in radians;
  //   dynamic when the definition's density is above 0, else kinematic when it says so, else
  //   static; damping (a negative or non-finite value taken as 0) and awake from the definition.
  //   An instance whose position or angle is not finite gets no body: -1 after a line on
  //   DebugConsole.
  // Collision categories are not assigned: the fixture's category and mask bits are 0.
  int32_t BindFixture(CPhysicsFixture* fixture, CInstance* instance, float offsetX, float offsetY);
  // Destroys the object's body and the object.
  void DestroyBody(CPhysicsObject* object);

  b2World* World() { return m_world; }

  // The contact whose collision events are being performed, null outside them. The record
  // belongs to whoever dispatches it and must outlive the events.
  void SetCurrentContact(const PhysicsContactRecord* contact) { m_currentContact = contact; }
  const PhysicsContactRecord* CurrentContact() const { return m_currentContact; }
  // The number of points of the current contact (all its manifolds); 0 when there is none or
  // when the instance is not the instance of either fixture's body.
  int32_t GetCollisionPointCount(const CInstance* instance) const;
  // Point `n` of the current contact in room pixels (world-manifold metres times the
  // single-precision reciprocal of the scale). False, leaving the outputs alone, when there is
  // no current contact, the instance is not one of its two, or n is outside 0..count-1.
  bool GetCollisionPoint(const CInstance* instance, int32_t n, float* x, float* y) const;
  // The world-manifold normal of the manifold that holds point `n` (a unit vector from fixture
  // A's body towards fixture B's, unconverted); the same failures.
  bool GetCollisionNormal(const CInstance* instance, int32_t n, float* x, float* y) const;

  int32_t m_updateSpeed;
  int32_t m_iterations = 10;
  float m_scale;  // metres per pixel
  bool m_paused = false;

 private:
  // The manifold holding point n of the current contact and the point's index in it; false
  // under the failures above.
  bool FindCollisionPoint(const CInstance* instance, int32_t n, int32_t* manifold, int32_t* point) const;

  b2World* m_world;  // owned
  const PhysicsContactRecord* m_currentContact = nullptr;
};
