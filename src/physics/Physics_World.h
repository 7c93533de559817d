// The physics world of a room and the bodies bound to its instances. A world wraps one library
// world; an instance takes part through one library body held by its CPhysicsObject, made the
// first time a fixture definition (Physics_Fixture.h) is bound to it. The library world owns the
// bodies; the instance owns its CPhysicsObject, whose destruction destroys the body. Main thread
// only.
#pragma once

#include <box2d/box2d.h>

#include <cstdint>
#include <map>

class CInstance;
class CPhysicsFixture;

// The body of one instance.
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

  b2Body* m_body;
  float m_offsetX;        // pixels, the offset given when the body was made
  float m_offsetY;
  float m_previousX;      // metres, the body position before the last world step
  float m_previousY;
  int32_t m_category;     // collision-category slot, -1 for none
  int32_t m_nextIndex = 0;
  std::map<int32_t, b2Fixture*> m_fixtures;  // fixture index -> library fixture (not owned)
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

  int32_t m_updateSpeed;
  int32_t m_iterations = 10;
  float m_scale;  // metres per pixel
  bool m_paused = false;

 private:
  b2World* m_world;  // owned
};
