// The body of one instance: the library body an instance takes part in the physics world
// through, made by CPhysicsWorld::BindFixture (Physics_World.h). The instance owns its
// CPhysicsObject; the library world owns the body and its fixtures. Positions are in metres,
// angles in degrees at this interface. Main thread only.
#pragma once

#include <box2d/box2d.h>

#include <cstdint>
#include <map>

class CPhysicsObject {
 public:
  // Wraps `body` (its user data is the instance); the previous position is the body's now.
  CPhysicsObject(b2Body* body, int32_t category, float offsetX, float offsetY);
  // Destroys the body in the world that holds it (joints are not made yet, so none go with it).
  ~CPhysicsObject();
  CPhysicsObject(const CPhysicsObject&) = delete;
  CPhysicsObject& operator=(const CPhysicsObject&) = delete;

  // Files a library fixture of this body under the next fixture index and answers that index.
  int32_t AddFixture(b2Fixture* fixture);

  // Moves the body to (x, y) keeping its angle, then wakes it.
  void SetPosition(float x, float y);
  // Turns the body to `degrees` keeping its position, then wakes it.
  void SetRotation(float degrees);
  // Sets the velocity (metres per second). A static body given a non-zero velocity becomes
  // kinematic first; a body that is still static keeps its zero velocity. The body is woken.
  void SetLinearVelocity(float x, float y);
  // Sets the angular velocity (degrees per second, stored in radians) unless the body is
  // static; the body is woken.
  void SetAngularVelocity(float degrees);

  b2Body* m_body;
  float m_offsetX;        // pixels, the offset given when the body was made
  float m_offsetY;
  float m_previousX;      // metres, the body position before the last world step
  float m_previousY;
  int32_t m_category;     // collision-category slot, -1 for none
  int32_t m_nextIndex = 0;
  std::map<int32_t, b2Fixture*> m_fixtures;  // fixture index -> library fixture (not owned)
};
