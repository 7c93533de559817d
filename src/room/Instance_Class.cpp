#include "room/Instance_Class.h"

#include <cmath>
#include <cstdio>

#include "animation/Skeleton_Class.h"
#include "base/ErrorSink.h"
#include "object/Object_Class.h"
#include "physics/Physics_Fixture.h"
#include "physics/Physics_World.h"
#include "platform/Numeric.h"
#include "room/Room_Class.h"
#include "sprite/Sprite_Class.h"
#include "sprite/Sprite_Main.h"
#include "variable/Variable_Main.h"

namespace {

// The room speed a skeleton animation is timed by when no room is current.
constexpr int32_t kDefaultRoomSpeed = 30;

void ShowShapeError(const char* format, int32_t objectIndex) {
  char message[512];
  std::snprintf(message, sizeof(message), format, Object_GetName(objectIndex));
  ShowRuntimeError(message, false);
}

}  // namespace

CInstance::CInstance(float x, float y, int32_t id, int32_t objectIndex, bool link)
    : i_createstamp(Instance_CreationCounter()) {
  SetObject(objectIndex, link);
  i_x = x;
  i_y = y;
  i_id = id;
  i_xstart = i_xprevious = x;
  i_ystart = i_yprevious = y;
  i_imageindex = 0.0f;
  i_imagespeed = 1.0f;
  i_imagescalex = 1.0f;
  i_imagescaley = 1.0f;
  i_imageangle = 0.0f;
  i_imagealpha = 1.0f;
  i_imageblend = 0xFFFFFF;
  i_variables = new CVariableList();
}

CInstance::~CInstance() {
  LeaveObjectLists();
  DestroyPhysicsBody();
  delete i_variables;
  delete i_skeleton;
}

void CInstance::LeaveObjectLists() {
  if (i_object != nullptr) i_object->RemoveInstance(this);
  // Until its relink an instance whose object changed is still in the old object's lists.
  if (i_previousobject != nullptr && i_previousobject != i_object) i_previousobject->RemoveInstance(this);
}

void CInstance::DestroyPhysicsBody() {
  delete i_physicsobject;
  i_physicsobject = nullptr;
}

void CInstance::TakeObjectDefaults() {
  i_maskindex = i_object->m_MaskIndex;
  i_depth = static_cast<float>(i_object->m_Depth);
  i_solid = (i_object->m_Flags & kObjectSolid) != 0;
  i_visible = (i_object->m_Flags & kObjectVisible) != 0;
  i_persistent = (i_object->m_Flags & kObjectPersistent) != 0;
  SetSpriteIndex(i_object->m_SpriteIndex);
}

void CInstance::SetObject(int32_t objectIndex, bool link) {
  if (i_object != nullptr) i_object->RemoveInstance(this);
  i_objindex = objectIndex == -1 ? 0 : objectIndex;
  i_object = Object_Find(objectIndex);
  if (i_object == nullptr) return;
  if (link) i_object->AddInstance(this);
  TakeObjectDefaults();
  i_bboxdirty = 1;
}

void CInstance::SetSpriteIndex(int32_t sprite) {
  i_spriteindex = sprite;
  int32_t frames = 0;
  if (const CSprite* data = Sprite_Data(sprite)) {
    frames = data->m_numb;
    delete i_skeleton;
    i_skeleton = nullptr;
    GetSkeleton();
  }
  i_bboxdirty = 1;
  if (num::TruncInt32(i_imageindex) >= frames) i_imageindex = 0.0f;
}

CSkeletonInstance* CInstance::GetSkeleton() {
  const CSprite* sprite = Sprite_Data(i_spriteindex);
  if (i_skeleton == nullptr && sprite != nullptr && sprite->m_kind == SPRITE_SKELETON && sprite->m_skeleton != nullptr) {
    i_skeleton = new CSkeletonInstance(sprite->m_skeleton);
  }
  return i_skeleton;
}

int32_t CInstance::GetImageNumber() {
  const CSprite* sprite = Sprite_Data(i_spriteindex);
  if (sprite == nullptr) return 0;
  if (sprite->m_kind != SPRITE_SKELETON) return sprite->m_numb;
  const CSkeletonInstance* skeleton = GetSkeleton();
  const float duration = skeleton != nullptr ? skeleton->CurrentDuration() : 0.0f;
  const int32_t speed = CurrentRoom != nullptr ? CurrentRoom->m_Speed : kDefaultRoomSpeed;
  return num::TruncInt32(static_cast<double>(static_cast<float>(speed) * duration) + 0.5);
}

void CInstance::ChangeObject(int32_t objectIndex) {
  RelinkQueue.Add(this);
  if (i_previousobject == nullptr) i_previousobject = i_object;
  i_objindex = objectIndex;
  i_object = Object_Find(objectIndex);
  if (i_object == nullptr) return;
  TakeObjectDefaults();
  DepthChangeQueue.Add(this);
  DestroyPhysicsBody();
  if (i_object->m_PhysicsEnabled) BuildPhysicsBody(CurrentRoom);
  i_bboxdirty = 1;
}

void CInstance::Relink() {
  if (i_previousobject != nullptr) {
    i_previousobject->RemoveInstance(this);
    i_previousobject = nullptr;
  }
  if (i_object != nullptr) i_object->AddInstance(this);
  if (i_deactivated == 0 && CurrentRoom != nullptr && i_list == &CurrentRoom->m_Active) {
    CurrentRoom->m_Active.Remove(this);
    CurrentRoom->m_Active.Insert(this);
  }
}

void CInstance::Copy(const CInstance* source, bool link) {
  if (i_object != nullptr) i_object->RemoveInstance(this);
  i_carriedover = 0;
  i_id = source->i_id;
  i_spriteindex = source->i_spriteindex;
  i_imageindex = source->i_imageindex;
  i_imagespeed = source->i_imagespeed;
  i_imagescalex = source->i_imagescalex;
  i_imagescaley = source->i_imagescaley;
  i_imageangle = source->i_imageangle;
  i_imagealpha = source->i_imagealpha;
  i_imageblend = source->i_imageblend;
  i_maskindex = source->i_maskindex;
  i_depth = source->i_depth;
  i_precise = source->i_precise;
  i_x = source->i_x;
  i_y = source->i_y;
  i_xstart = source->i_xstart;
  i_ystart = source->i_ystart;
  i_xprevious = source->i_xprevious;
  i_yprevious = source->i_yprevious;
  i_direction = source->i_direction;
  i_speed = source->i_speed;
  i_friction = source->i_friction;
  i_gravitydir = source->i_gravitydir;
  i_gravity = source->i_gravity;
  i_hspeed = source->i_hspeed;
  i_vspeed = source->i_vspeed;
  i_bboxdirty = source->i_bboxdirty;
  for (int32_t i = 0; i < 4; ++i) i_bbox[i] = source->i_bbox[i];
  i_visible = source->i_visible;
  i_solid = source->i_solid;
  i_persistent = source->i_persistent;
  i_objindex = source->i_objindex;
  i_object = source->i_object;
  if (link && i_object != nullptr) i_object->AddInstance(this);
  for (int32_t i = 0; i < kAlarmCount; ++i) i_timer[i] = source->i_timer[i];
  i_variables->CopyFrom(source->i_variables);
  i_marked = source->i_marked;
  i_deactivated = source->i_deactivated;
  i_pathindex = source->i_pathindex;
  i_pathposition = source->i_pathposition;
  i_pathpositionprevious = source->i_pathpositionprevious;
  i_pathspeed = source->i_pathspeed;
  i_pathscale = source->i_pathscale;
  i_pathorientation = source->i_pathorientation;
  i_pathend = source->i_pathend;
  i_timelineindex = source->i_timelineindex;
  i_timelinepositionprevious = source->i_timelinepositionprevious;
  i_timelineposition = source->i_timelineposition;
  i_timelinespeed = source->i_timelinespeed;
  i_timelinerunning = source->i_timelinerunning;
  i_timelineloop = source->i_timelineloop;
  i_creationcode = source->i_creationcode;
  i_wasoutside = source->i_wasoutside;
  if (source->i_skeleton != nullptr) {
    delete i_skeleton;
    i_skeleton = (new CSkeletonInstance(nullptr))->CopyFrom(*source->i_skeleton);
  }
}

void CInstance::BuildPhysicsBody(CRoom* room) {
  if (i_object == nullptr || !i_object->m_PhysicsEnabled || !Sprite_Exists(i_spriteindex) || room == nullptr ||
      room->m_PhysicsWorld == nullptr) {
    return;
  }
  CPhysicsWorld* world = room->m_PhysicsWorld;
  const CObject* object = i_object;
  const std::vector<CObject::Point>& points = object->m_PhysicsPoints;
  const float m = world->m_scale;
  float offsetX = 0.0f;
  float offsetY = 0.0f;
  CPhysicsFixture* fixture = Physics_CreateFixture();
  bool shaped = true;
  switch (object->m_PhysicsShape) {
    case 0: {  // circle: point 0 the centre offset, point 1's x the radius
      if (points.size() < 2) {
        ShowShapeError("Corrupt shape data for %s\n", i_objindex);
        shaped = false;
        break;
      }
      float s = i_imagescalex;
      if (std::fabs(i_imagescalex - i_imagescaley) >= 0.0001f) {
        ShowShapeError("Image scale for physics object using circle collision should not vary across axes: %s\n",
                       i_objindex);
        s = 1.0f;
      }
      offsetX = -points[0].x * s;
      offsetY = -points[0].y * s;
      fixture->SetCircleShape(points[1].x * m * s);
      break;
    }
    case 1:  // box
    case 2: {  // polygon
      fixture->SetPolygonShape();
      const bool mirrored = i_imagescalex * i_imagescaley < 0.0f;
      const size_t count = points.size();
      for (size_t i = 0; i < count; ++i) {
        const CObject::Point& p = points[mirrored ? count - 1 - i : i];
        fixture->AddPoint(p.x * m * i_imagescalex, p.y * m * i_imagescaley);
      }
      break;
    }
    default:
      break;  // no shape: the bind reports it
  }
  if (shaped) {
    fixture->m_definition.density = object->m_PhysicsDensity;
    fixture->m_definition.restitution = object->m_PhysicsRestitution;
    fixture->m_definition.filter.groupIndex = static_cast<int16_t>(object->m_PhysicsGroup);
    fixture->m_linearDamping = object->m_PhysicsLinearDamping;
    fixture->m_angularDamping = object->m_PhysicsAngularDamping;
    fixture->m_definition.friction = object->m_PhysicsFriction;
    fixture->m_definition.isSensor = object->m_PhysicsSensor;
    fixture->m_awake = object->m_PhysicsAwake;
    if (object->m_PhysicsKinematic) fixture->m_kinematic = true;
    world->BindFixture(fixture, this, offsetX, offsetY);
  }
  Physics_DeleteFixture(fixture->m_id);
}

void CInstance::RebuildPhysicsBody(CRoom* room) {
  DestroyPhysicsBody();
  BuildPhysicsBody(room);
}

void ActiveList::Insert(CInstance* instance) {
  if (instance->i_list != nullptr) instance->i_list->Remove(instance);
  ++count;
  instance->i_list = this;
  instance->i_sortdepth = instance->i_depth;
  if (first == nullptr) {
    first = last = instance;
    instance->i_next = instance->i_prev = nullptr;
    depthBound = -std::numeric_limits<float>::infinity();
    if (instance->i_depth > depthBound) depthBound = instance->i_depth;
    return;
  }
  // Instances of an equal sort depth are passed, so the new one goes after them: when none lies
  // deeper than the bound, that is the end.
  const bool deeperThanAll = !(depthBound > instance->i_depth);
  if (instance->i_depth > depthBound) depthBound = instance->i_depth;
  CInstance* at = deeperThanAll ? nullptr : first;
  while (at != nullptr && !(at->i_sortdepth > instance->i_depth)) at = at->i_next;
  if (at == nullptr) {
    instance->i_prev = last;
    instance->i_next = nullptr;
    last->i_next = instance;
    last = instance;
    return;
  }
  instance->i_next = at;
  instance->i_prev = at->i_prev;
  if (at->i_prev != nullptr) at->i_prev->i_next = instance; else first = instance;
  at->i_prev = instance;
}

void ActiveList::Append(CInstance* instance) {
  if (instance->i_list != nullptr) instance->i_list->Remove(instance);
  ++count;
  instance->i_list = this;
  instance->i_next = nullptr;
  instance->i_prev = last;
  if (last != nullptr) {
    last->i_next = instance;
  } else {
    first = instance;
    depthBound = -std::numeric_limits<float>::infinity();
  }
  if (instance->i_sortdepth > depthBound) depthBound = instance->i_sortdepth;
  last = instance;
}

void ActiveList::Remove(CInstance* instance) {
  if (instance->i_list != this) return;
  if (instance->i_prev != nullptr) instance->i_prev->i_next = instance->i_next; else first = instance->i_next;
  if (instance->i_next != nullptr) instance->i_next->i_prev = instance->i_prev; else last = instance->i_prev;
  instance->i_list = nullptr;
  --count;
}
