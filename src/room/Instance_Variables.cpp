#include "room/Instance_Variables.h"

#include <cmath>
#include <cstdio>

#include "extension/Extension_Main.h"
#include "graphics/Graphics_D3D.h"
#include "physics/Physics_World.h"
#include "room/Builtin_Convert.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "run/Run_Frame.h"
#include "run/Run_Global.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"
#include "variable/Variable_Main.h"

void InitBuiltinVariables() {
  // The table is emptied (names released, count 0) rather than only zeroed, so a second start-up
  // in the same process numbers its variables from 0 again and leaves no unnamed entries behind.
  ClearBuiltinVariables();
  RegisterInstanceVariables();
  RegisterGlobalVariables();
  RegisterTuvoVariables();
}

bool DumpVariableNames(const char* path) {
  std::FILE* file = std::fopen(path, "wt");
  if (file == nullptr) return false;
  for (int32_t i = 0; i < g_Variables.builtinCount; ++i) {
    const BuiltinVariableEntry& entry = g_Variables.builtins[i];
    std::fprintf(file, "%s%s", entry.name != nullptr ? entry.name : "", entry.canSet == 1 ? "\n" : "*\n");
  }
  return std::fclose(file) == 0;
}

// Every accessor below follows the table's conventions: a getter releases its result and writes
// a new value, answering false only where said; a setter that expects a number reads it with
// ReadBuiltinNumber and answers false (the assignment fails) for a value that holds none. A
// per-instance accessor called without an instance answers false.
namespace {

// ---- Plain fields ----

template <float CInstance::*Field>
bool GetFloatField(CInstance* self, int32_t, ScriptValue* out) {
  if (self == nullptr) return false;
  ReturnBuiltinReal(out, self->*Field);
  return true;
}

template <int32_t CInstance::*Field>
bool GetIntField(CInstance* self, int32_t, ScriptValue* out) {
  if (self == nullptr) return false;
  ReturnBuiltinReal(out, self->*Field);
  return true;
}

template <uint8_t CInstance::*Field>
bool GetByteField(CInstance* self, int32_t, ScriptValue* out) {
  if (self == nullptr) return false;
  ReturnBuiltinReal(out, self->*Field);
  return true;
}

// The number an instance setter takes: false without an instance or a number.
bool ReadSetter(CInstance* self, const ScriptValue* value, double* out) {
  return self != nullptr && ReadBuiltinNumber(value, out);
}

// stored: narrowed and stored, nothing else happens.
template <float CInstance::*Field>
bool SetStoredField(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadSetter(self, value, &v)) return false;
  self->*Field = BuiltinStored(v);
  return true;
}

// int: stored as an integer.
template <int32_t CInstance::*Field>
bool SetIntField(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadSetter(self, value, &v)) return false;
  self->*Field = BuiltinInt(v);
  return true;
}

template <uint8_t CInstance::*Field>
bool SetFlagField(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadSetter(self, value, &v)) return false;
  self->*Field = BuiltinFlag(v) ? 1 : 0;
  return true;
}

template <uint8_t CInstance::*Field>
bool SetSwitchField(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadSetter(self, value, &v)) return false;
  self->*Field = BuiltinSwitch(v) ? 1 : 0;
  return true;
}

// A setter that passes the narrowed value to an instance setter.
template <void (CInstance::*Setter)(double)>
bool SetThrough(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadSetter(self, value, &v)) return false;
  (self->*Setter)(BuiltinStored(v));
  return true;
}

// ---- Position and motion ----

bool SetX(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadSetter(self, value, &v)) return false;
  self->SetPosition(BuiltinStored(v), self->i_y);
  return true;
}

bool SetY(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadSetter(self, value, &v)) return false;
  self->SetPosition(self->i_x, BuiltinStored(v));
  return true;
}

// ---- Alarms, depth, bounding box ----

int32_t AlarmIndex(int32_t index) { return index >= 0 && index < kAlarmCount ? index : 0; }

bool GetAlarm(CInstance* self, int32_t index, ScriptValue* out) {
  if (self == nullptr) return false;
  ReturnBuiltinReal(out, self->GetAlarm(AlarmIndex(index)));
  return true;
}

bool SetAlarm(CInstance* self, int32_t index, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadSetter(self, value, &v)) return false;
  self->SetAlarm(AlarmIndex(index), BuiltinInt(v));
  return true;
}

// A new depth is read back at once; the instance moves in the drawing order only when the frame
// step applies the depth-change queue.
bool SetDepth(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadSetter(self, value, &v)) return false;
  const float depth = BuiltinStored(v);
  if (depth != self->i_depth) {
    self->i_depth = depth;
    DepthChangeQueue.Add(self);
  }
  return true;
}

// i_bbox holds left, top, right, bottom.
template <int Side>
bool GetBBox(CInstance* self, int32_t, ScriptValue* out) {
  if (self == nullptr) return false;
  if (self->i_bboxdirty != 0) Compute_BoundingBox(self);
  ReturnBuiltinReal(out, self->i_bbox[Side]);
  return true;
}

// ---- Sprite and image ----

bool SetSpriteIndex(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadSetter(self, value, &v)) return false;
  self->SetSpriteIndex(BuiltinInt(v));
  return true;
}

bool GetImageSingle(CInstance* self, int32_t, ScriptValue* out) {
  if (self == nullptr) return false;
  ReturnBuiltinReal(out, self->i_imagespeed != 0.0f ? -1.0 : static_cast<double>(self->i_imageindex));
  return true;
}

bool SetImageSingle(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadSetter(self, value, &v)) return false;
  if (v < 0.0) {
    self->i_imagespeed = 1.0f;
  } else {
    self->i_imageindex = BuiltinStored(v);
    self->i_imagespeed = 0.0f;
  }
  return true;
}

bool GetImageNumber(CInstance* self, int32_t, ScriptValue* out) {
  if (self == nullptr) return false;
  ReturnBuiltinReal(out, self->GetImageNumber());
  return true;
}

// A sprite measure times a scale; 0 when the instance's sprite does not exist.
template <int32_t CSprite::*Measure, float CInstance::*Scale>
bool GetSpriteMeasure(CInstance* self, int32_t, ScriptValue* out) {
  if (self == nullptr) return false;
  const CSprite* sprite = Sprite_Data(self->i_spriteindex);
  ReturnBuiltinReal(out, sprite != nullptr ? sprite->*Measure * static_cast<double>(self->*Scale) : 0.0);
  return true;
}

bool GetImageBlend(CInstance* self, int32_t, ScriptValue* out) {
  if (self == nullptr) return false;
  ReturnBuiltinReal(out, static_cast<uint32_t>(self->i_imageblend));
  return true;
}

bool SetMaskIndex(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (!ReadSetter(self, value, &v)) return false;
  self->SetMaskIndex(BuiltinInt(v));
  return true;
}

// ---- Process-wide values ----

bool GetAsyncLoad(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinReal(out, Run_GetAsyncLoad());
  return true;
}

bool GetIAPData(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinReal(out, g_Extensions.IAPDataMap);
  return true;
}

bool GetDisplayAA(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinReal(out, g_GraphicsDevice.multisampleMask);
  return true;
}

bool GetDeltaTime(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinReal(out, static_cast<double>(g_FrameLoop.deltaTime));
  return true;
}

bool GetWebGLEnabled(CInstance*, int32_t, ScriptValue* out) {
  ReturnBuiltinReal(out, 1.0);
  return true;
}

// ---- Physics ----
// m is the current room's scale (metres per pixel) and s its speed, both single precision;
// conversions between pixels and metres are made in single precision.

constexpr double kPhysicsPi = static_cast<double>(3.14159274f);

// The instance's body, or null.
b2Body* BodyOf(const CInstance* self) {
  if (self == nullptr || self->i_physicsobject == nullptr) return nullptr;
  return self->i_physicsobject->m_body;
}

// The current room's world, or null (also without a current room).
CPhysicsWorld* CurrentWorld() { return CurrentRoom != nullptr ? CurrentRoom->m_PhysicsWorld : nullptr; }

// The body, the world's scale m and the room speed s, for the accessors that convert; false
// without a body or a world.
struct PhysicsScope {
  b2Body* body = nullptr;
  CPhysicsWorld* world = nullptr;
  float scale = 0.0f;
  float speed = 0.0f;

  bool Open(const CInstance* self) {
    body = BodyOf(self);
    world = CurrentWorld();
    if (body == nullptr || world == nullptr) return false;
    scale = world->m_scale;
    speed = static_cast<float>(CurrentRoom->m_Speed);
    return true;
  }
};

float Degrees(float radians) { return num::ToFloat(static_cast<double>(radians) * 180.0 / kPhysicsPi); }

bool GetPhyRotation(CInstance* self, int32_t, ScriptValue* out) {
  b2Body* body = BodyOf(self);
  if (body == nullptr) return false;
  ReturnBuiltinReal(out, Degrees(body->GetAngle()));
  return true;
}

bool SetPhyRotation(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (BodyOf(self) == nullptr || !ReadBuiltinNumber(value, &v)) return false;
  self->i_physicsobject->SetRotation(BuiltinStored(v));
  return true;
}

bool GetPhyAngularVelocity(CInstance* self, int32_t, ScriptValue* out) {
  b2Body* body = BodyOf(self);
  if (body == nullptr) return false;
  ReturnBuiltinReal(out, Degrees(body->GetAngularVelocity()));
  return true;
}

bool SetPhyAngularVelocity(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  if (BodyOf(self) == nullptr || !ReadBuiltinNumber(value, &v)) return false;
  self->i_physicsobject->SetAngularVelocity(BuiltinStored(v));
  return true;
}

// Axis 0 is x, 1 is y.
float Axis(const b2Vec2& v, int axis) { return axis == 0 ? v.x : v.y; }

template <int A>
bool GetPhyPosition(CInstance* self, int32_t, ScriptValue* out) {
  PhysicsScope p;
  if (!p.Open(self)) return false;
  ReturnBuiltinReal(out, Axis(p.body->GetPosition(), A) / p.scale);
  return true;
}

template <int A>
bool SetPhyPosition(CInstance* self, int32_t, const ScriptValue* value) {
  PhysicsScope p;
  double v = 0.0;
  if (!p.Open(self) || !ReadBuiltinNumber(value, &v)) return false;
  const float metres = p.scale * BuiltinStored(v);
  const b2Vec2 position = p.body->GetPosition();
  self->i_physicsobject->SetPosition(A == 0 ? metres : position.x, A == 0 ? position.y : metres);
  return true;
}

// Velocity in pixels per second (Steps false) or per step (Steps true).
template <int A, bool Steps>
bool GetPhyVelocity(CInstance* self, int32_t, ScriptValue* out) {
  PhysicsScope p;
  if (!p.Open(self)) return false;
  float v = Axis(p.body->GetLinearVelocity(), A) / p.scale;
  if (Steps) v /= p.speed;
  ReturnBuiltinReal(out, v);
  return true;
}

template <int A, bool Steps>
bool SetPhyVelocity(CInstance* self, int32_t, const ScriptValue* value) {
  PhysicsScope p;
  double v = 0.0;
  if (!p.Open(self) || !ReadBuiltinNumber(value, &v)) return false;
  double metres = static_cast<double>(p.scale) * v;
  if (Steps) metres *= p.speed;
  const float velocity = num::ToFloat(metres);
  const b2Vec2 current = p.body->GetLinearVelocity();
  self->i_physicsobject->SetLinearVelocity(A == 0 ? velocity : current.x, A == 0 ? current.y : velocity);
  return true;
}

bool GetPhySpeed(CInstance* self, int32_t, ScriptValue* out) {
  PhysicsScope p;
  if (!p.Open(self)) return false;
  const b2Vec2 velocity = p.body->GetLinearVelocity();
  const float sx = velocity.x / p.scale / p.speed;
  const float sy = velocity.y / p.scale / p.speed;
  ReturnBuiltinReal(out, num::ToFloat(std::sqrt(static_cast<double>(sx) * sx + static_cast<double>(sy) * sy)));
  return true;
}

template <float (b2Body::*Getter)() const>
bool GetBodyValue(CInstance* self, int32_t, ScriptValue* out) {
  b2Body* body = BodyOf(self);
  if (body == nullptr) return false;
  ReturnBuiltinReal(out, (body->*Getter)());
  return true;
}

template <void (b2Body::*Setter)(float)>
bool SetBodyValue(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  b2Body* body = BodyOf(self);
  if (body == nullptr || !ReadBuiltinNumber(value, &v)) return false;
  (body->*Setter)(BuiltinStored(v));
  return true;
}

template <bool (b2Body::*Getter)() const>
bool GetBodyFlag(CInstance* self, int32_t, ScriptValue* out) {
  b2Body* body = BodyOf(self);
  if (body == nullptr) return false;
  ReturnBuiltinReal(out, (body->*Getter)() ? 1.0 : 0.0);
  return true;
}

template <void (b2Body::*Setter)(bool)>
bool SetBodyFlag(CInstance* self, int32_t, const ScriptValue* value) {
  double v = 0.0;
  b2Body* body = BodyOf(self);
  if (body == nullptr || !ReadBuiltinNumber(value, &v)) return false;
  (body->*Setter)(BuiltinHalf(v));
  return true;
}

template <int A>
bool GetPhyCentreOfMass(CInstance* self, int32_t, ScriptValue* out) {
  PhysicsScope p;
  if (!p.Open(self)) return false;
  ReturnBuiltinReal(out, Axis(p.body->GetWorldCenter(), A) / p.scale);
  return true;
}

template <b2BodyType Type>
bool GetBodyTypeIs(CInstance* self, int32_t, ScriptValue* out) {
  b2Body* body = BodyOf(self);
  if (body == nullptr) return false;
  ReturnBuiltinReal(out, body->GetType() == Type ? 1.0 : 0.0);
  return true;
}

bool GetPhySleeping(CInstance* self, int32_t, ScriptValue* out) {
  b2Body* body = BodyOf(self);
  if (body == nullptr) return false;
  ReturnBuiltinReal(out, body->IsAwake() ? 0.0 : 1.0);
  return true;
}

template <int A>
bool GetPhyPrevious(CInstance* self, int32_t, ScriptValue* out) {
  PhysicsScope p;
  if (!p.Open(self)) return false;
  const CPhysicsObject* object = self->i_physicsobject;
  ReturnBuiltinReal(out, (A == 0 ? object->m_previousX : object->m_previousY) / p.scale);
  return true;
}

// Needs only the world: 0 for an instance the current contact does not involve.
bool GetPhyCollisionPoints(CInstance* self, int32_t, ScriptValue* out) {
  const CPhysicsWorld* world = CurrentWorld();
  if (world == nullptr) return false;
  ReturnBuiltinReal(out, world->GetCollisionPointCount(self));
  return true;
}

// Point or normal `index` of the current contact; without an index, point 0.
template <int A, bool Normal>
bool GetPhyCollision(CInstance* self, int32_t index, ScriptValue* out) {
  PhysicsScope p;
  if (!p.Open(self)) return false;
  if (index == kWholeValueIndex) index = 0;
  float x = 0.0f;
  float y = 0.0f;
  const bool found = Normal ? p.world->GetCollisionNormal(self, index, &x, &y)
                            : p.world->GetCollisionPoint(self, index, &x, &y);
  if (!found) return false;
  ReturnBuiltinReal(out, A == 0 ? x : y);
  return true;
}

}  // namespace

void RegisterInstanceVariables() {
  RegisterBuiltinVariable("x", GetFloatField<&CInstance::i_x>, SetX);
  RegisterBuiltinVariable("y", GetFloatField<&CInstance::i_y>, SetY);
  RegisterBuiltinVariable("xprevious", GetFloatField<&CInstance::i_xprevious>, SetStoredField<&CInstance::i_xprevious>);
  RegisterBuiltinVariable("yprevious", GetFloatField<&CInstance::i_yprevious>, SetStoredField<&CInstance::i_yprevious>);
  RegisterBuiltinVariable("xstart", GetFloatField<&CInstance::i_xstart>, SetStoredField<&CInstance::i_xstart>);
  RegisterBuiltinVariable("ystart", GetFloatField<&CInstance::i_ystart>, SetStoredField<&CInstance::i_ystart>);
  RegisterBuiltinVariable("hspeed", GetFloatField<&CInstance::i_hspeed>, SetThrough<&CInstance::SetHSpeed>);
  RegisterBuiltinVariable("vspeed", GetFloatField<&CInstance::i_vspeed>, SetThrough<&CInstance::SetVSpeed>);
  RegisterBuiltinVariable("direction", GetFloatField<&CInstance::i_direction>, SetThrough<&CInstance::SetDirection>);
  RegisterBuiltinVariable("speed", GetFloatField<&CInstance::i_speed>, SetThrough<&CInstance::SetSpeed>);
  RegisterBuiltinVariable("friction", GetFloatField<&CInstance::i_friction>, SetStoredField<&CInstance::i_friction>);
  RegisterBuiltinVariable("gravity", GetFloatField<&CInstance::i_gravity>, SetStoredField<&CInstance::i_gravity>);
  RegisterBuiltinVariable("gravity_direction", GetFloatField<&CInstance::i_gravitydir>,
                          SetStoredField<&CInstance::i_gravitydir>);
  RegisterBuiltinVariable("object_index", GetIntField<&CInstance::i_objindex>, nullptr);
  RegisterBuiltinVariable("id", GetIntField<&CInstance::i_id>, nullptr);
  RegisterBuiltinVariable("alarm", GetAlarm, SetAlarm);
  RegisterBuiltinVariable("solid", GetByteField<&CInstance::i_solid>, SetFlagField<&CInstance::i_solid>);
  RegisterBuiltinVariable("visible", GetByteField<&CInstance::i_visible>, SetFlagField<&CInstance::i_visible>);
  RegisterBuiltinVariable("persistent", GetByteField<&CInstance::i_persistent>, SetFlagField<&CInstance::i_persistent>);
  RegisterBuiltinVariable("depth", GetFloatField<&CInstance::i_depth>, SetDepth);
  RegisterBuiltinVariable("bbox_left", GetBBox<0>, nullptr);
  RegisterBuiltinVariable("bbox_right", GetBBox<2>, nullptr);
  RegisterBuiltinVariable("bbox_top", GetBBox<1>, nullptr);
  RegisterBuiltinVariable("bbox_bottom", GetBBox<3>, nullptr);
  RegisterBuiltinVariable("sprite_index", GetIntField<&CInstance::i_spriteindex>, SetSpriteIndex);
  RegisterBuiltinVariable("image_index", GetFloatField<&CInstance::i_imageindex>, SetStoredField<&CInstance::i_imageindex>);
  RegisterBuiltinVariable("image_single", GetImageSingle, SetImageSingle);
  RegisterBuiltinVariable("image_number", GetImageNumber, nullptr);
  RegisterBuiltinVariable("sprite_width", GetSpriteMeasure<&CSprite::m_width, &CInstance::i_imagescalex>, nullptr);
  RegisterBuiltinVariable("sprite_height", GetSpriteMeasure<&CSprite::m_height, &CInstance::i_imagescaley>, nullptr);
  RegisterBuiltinVariable("sprite_xoffset", GetSpriteMeasure<&CSprite::m_xOrigin, &CInstance::i_imagescalex>, nullptr);
  RegisterBuiltinVariable("sprite_yoffset", GetSpriteMeasure<&CSprite::m_yOrigin, &CInstance::i_imagescaley>, nullptr);
  RegisterBuiltinVariable("image_xscale", GetFloatField<&CInstance::i_imagescalex>, SetThrough<&CInstance::SetImageXScale>);
  RegisterBuiltinVariable("image_yscale", GetFloatField<&CInstance::i_imagescaley>, SetThrough<&CInstance::SetImageYScale>);
  RegisterBuiltinVariable("image_angle", GetFloatField<&CInstance::i_imageangle>, SetThrough<&CInstance::SetImageAngle>);
  RegisterBuiltinVariable("image_alpha", GetFloatField<&CInstance::i_imagealpha>, SetStoredField<&CInstance::i_imagealpha>);
  RegisterBuiltinVariable("image_blend", GetImageBlend, SetIntField<&CInstance::i_imageblend>);
  RegisterBuiltinVariable("image_speed", GetFloatField<&CInstance::i_imagespeed>, SetStoredField<&CInstance::i_imagespeed>);
  RegisterBuiltinVariable("mask_index", GetIntField<&CInstance::i_maskindex>, SetMaskIndex);
  RegisterBuiltinVariable("path_index", GetIntField<&CInstance::i_pathindex>, nullptr);
  RegisterBuiltinVariable("path_position", GetFloatField<&CInstance::i_pathposition>,
                          SetThrough<&CInstance::SetPathPosition>);
  RegisterBuiltinVariable("path_positionprevious", GetFloatField<&CInstance::i_pathpositionprevious>,
                          SetThrough<&CInstance::SetPathPositionPrevious>);
  RegisterBuiltinVariable("path_speed", GetFloatField<&CInstance::i_pathspeed>, SetStoredField<&CInstance::i_pathspeed>);
  RegisterBuiltinVariable("path_scale", GetFloatField<&CInstance::i_pathscale>, SetStoredField<&CInstance::i_pathscale>);
  RegisterBuiltinVariable("path_orientation", GetFloatField<&CInstance::i_pathorientation>,
                          SetStoredField<&CInstance::i_pathorientation>);
  RegisterBuiltinVariable("path_endaction", GetIntField<&CInstance::i_pathend>, SetIntField<&CInstance::i_pathend>);
  RegisterBuiltinVariable("timeline_index", GetIntField<&CInstance::i_timelineindex>,
                          SetIntField<&CInstance::i_timelineindex>);
  RegisterBuiltinVariable("timeline_position", GetFloatField<&CInstance::i_timelineposition>,
                          SetStoredField<&CInstance::i_timelineposition>);
  RegisterBuiltinVariable("timeline_speed", GetFloatField<&CInstance::i_timelinespeed>,
                          SetStoredField<&CInstance::i_timelinespeed>);
  RegisterBuiltinVariable("timeline_running", GetByteField<&CInstance::i_timelinerunning>,
                          SetSwitchField<&CInstance::i_timelinerunning>);
  RegisterBuiltinVariable("timeline_loop", GetByteField<&CInstance::i_timelineloop>,
                          SetSwitchField<&CInstance::i_timelineloop>);
  RegisterBuiltinVariable("async_load", GetAsyncLoad, nullptr);
  RegisterBuiltinVariable("iap_data", GetIAPData, nullptr);

  RegisterBuiltinVariable("phy_rotation", GetPhyRotation, SetPhyRotation);
  RegisterBuiltinVariable("phy_position_x", GetPhyPosition<0>, SetPhyPosition<0>);
  RegisterBuiltinVariable("phy_position_y", GetPhyPosition<1>, SetPhyPosition<1>);
  RegisterBuiltinVariable("phy_angular_velocity", GetPhyAngularVelocity, SetPhyAngularVelocity);
  RegisterBuiltinVariable("phy_linear_velocity_x", GetPhyVelocity<0, false>, SetPhyVelocity<0, false>);
  RegisterBuiltinVariable("phy_linear_velocity_y", GetPhyVelocity<1, false>, SetPhyVelocity<1, false>);
  RegisterBuiltinVariable("phy_speed_x", GetPhyVelocity<0, true>, SetPhyVelocity<0, true>);
  RegisterBuiltinVariable("phy_speed_y", GetPhyVelocity<1, true>, SetPhyVelocity<1, true>);
  RegisterBuiltinVariable("phy_angular_damping", GetBodyValue<&b2Body::GetAngularDamping>,
                          SetBodyValue<&b2Body::SetAngularDamping>);
  RegisterBuiltinVariable("phy_linear_damping", GetBodyValue<&b2Body::GetLinearDamping>,
                          SetBodyValue<&b2Body::SetLinearDamping>);
  RegisterBuiltinVariable("phy_bullet", GetBodyFlag<&b2Body::IsBullet>, SetBodyFlag<&b2Body::SetBullet>);
  RegisterBuiltinVariable("phy_fixed_rotation", GetBodyFlag<&b2Body::IsFixedRotation>,
                          SetBodyFlag<&b2Body::SetFixedRotation>);
  RegisterBuiltinVariable("phy_active", GetBodyFlag<&b2Body::IsEnabled>, SetBodyFlag<&b2Body::SetEnabled>);
  RegisterBuiltinVariable("phy_mass", GetBodyValue<&b2Body::GetMass>, nullptr);
  // The library's inertia about the body origin: the centre's squared distance times the mass
  // plus the inertia about the centre, in single precision.
  RegisterBuiltinVariable("phy_inertia", GetBodyValue<&b2Body::GetInertia>, nullptr);
  RegisterBuiltinVariable("phy_com_x", GetPhyCentreOfMass<0>, nullptr);
  RegisterBuiltinVariable("phy_com_y", GetPhyCentreOfMass<1>, nullptr);
  RegisterBuiltinVariable("phy_speed", GetPhySpeed, nullptr);
  RegisterBuiltinVariable("phy_dynamic", GetBodyTypeIs<b2_dynamicBody>, nullptr);
  RegisterBuiltinVariable("phy_kinematic", GetBodyTypeIs<b2_kinematicBody>, nullptr);
  RegisterBuiltinVariable("phy_sleeping", GetPhySleeping, nullptr);
  RegisterBuiltinVariable("phy_position_xprevious", GetPhyPrevious<0>, nullptr);
  RegisterBuiltinVariable("phy_position_yprevious", GetPhyPrevious<1>, nullptr);
  RegisterBuiltinVariable("phy_collision_points", GetPhyCollisionPoints, nullptr);
  RegisterBuiltinVariable("phy_collision_x", GetPhyCollision<0, false>, nullptr);
  RegisterBuiltinVariable("phy_collision_y", GetPhyCollision<1, false>, nullptr);
  RegisterBuiltinVariable("phy_col_normal_x", GetPhyCollision<0, true>, nullptr);
  RegisterBuiltinVariable("phy_col_normal_y", GetPhyCollision<1, true>, nullptr);

  RegisterBuiltinVariable("display_aa", GetDisplayAA, nullptr);
  RegisterBuiltinVariable("delta_time", GetDeltaTime, nullptr);
  RegisterBuiltinVariable("webgl_enabled", GetWebGLEnabled, nullptr);
}
