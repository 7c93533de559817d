// Motion of an instance: position and image setters that keep the bounding box honest, speed and
// direction coupled with the horizontal and vertical speeds, friction and gravity, alarms, and
// following a path.
#include <cmath>

#include "path/Path_Class.h"
#include "path/Path_Main.h"
#include "platform/Numeric.h"
#include "room/Instance_Class.h"

namespace {

constexpr double kDegreesToRadians = 3.14159265358979323846 / 180.0;
constexpr double kRadiansToDegrees = 180.0 / 3.14159265358979323846;

// A value within 0.0001 of a whole number becomes that number.
double Snap(double v) {
  const double whole = num::RoundHalfEven(v);
  return std::fabs(v - whole) < 0.0001 ? whole : v;
}

// Stores `value` narrowed into `field`; answers whether the field changed.
bool StoreChanged(float& field, double value) {
  const float narrowed = num::ToFloat(value);
  if (narrowed == field) return false;
  field = narrowed;
  return true;
}

// A path position clamped into 0..1; NaN gives 0.
float ClampUnit(double p) {
  if (!(p > 0.0)) return 0.0f;
  if (p > 1.0) return 1.0f;
  return num::ToFloat(p);
}

}  // namespace

void CInstance::SetPosition(double x, double y) {
  const bool changedX = StoreChanged(i_x, x);
  const bool changedY = StoreChanged(i_y, y);
  if (changedX || changedY) i_bboxdirty = 1;
}

void CInstance::SetMaskIndex(int32_t index) {
  if (index == i_maskindex) return;
  i_maskindex = index;
  i_bboxdirty = 1;
}

void CInstance::SetImageXScale(double scale) {
  if (StoreChanged(i_imagescalex, scale)) i_bboxdirty = 1;
}

void CInstance::SetImageYScale(double scale) {
  if (StoreChanged(i_imagescaley, scale)) i_bboxdirty = 1;
}

void CInstance::SetImageAngle(double angle) {
  if (StoreChanged(i_imageangle, angle)) i_bboxdirty = 1;
}

void CInstance::SetDirection(double direction) {
  // One remainder in place of repeated steps of 360, so a huge or NaN value costs nothing.
  double d = std::fmod(direction, 360.0);
  if (d < 0.0) d = std::fmod(d + 360.0, 360.0);
  i_direction = num::ToFloat(d);
  Instance_ComputeHVSpeed(this);
}

void CInstance::SetSpeed(double speed) {
  if (StoreChanged(i_speed, speed)) Instance_ComputeHVSpeed(this);
}

void CInstance::SetHSpeed(double hspeed) {
  if (StoreChanged(i_hspeed, hspeed)) Instance_ComputeSpeedDirection(this);
}

void CInstance::SetVSpeed(double vspeed) {
  if (StoreChanged(i_vspeed, vspeed)) Instance_ComputeSpeedDirection(this);
}

void CInstance::AddMotion(double direction, double speed) {
  const double radians = direction * kDegreesToRadians;
  i_hspeed = num::ToFloat(i_hspeed + speed * std::cos(radians));
  i_vspeed = num::ToFloat(i_vspeed - speed * std::sin(radians));
  Instance_ComputeSpeedDirection(this);
}

int32_t CInstance::GetAlarm(int32_t index) const {
  return index >= 0 && index < kAlarmCount ? i_timer[index] : -1;
}

void CInstance::SetAlarm(int32_t index, int32_t value) {
  if (index >= 0 && index < kAlarmCount) i_timer[index] = value;
}

void CInstance::SetPathPosition(double position) { i_pathposition = ClampUnit(position); }

void CInstance::SetPathPositionPrevious(double position) { i_pathpositionprevious = ClampUnit(position); }

void CInstance::SetPathSpeed(double speed) { i_pathspeed = num::ToFloat(speed); }

void CInstance::ApplyFrictionGravity() {
  if (i_friction != 0.0f) {
    const double speed = i_speed;
    const double next = speed > 0.0 ? speed - i_friction : speed + i_friction;
    if ((speed > 0.0 && next < 0.0) || (speed < 0.0 && next > 0.0)) {
      i_speed = 0.0f;
      Instance_ComputeHVSpeed(this);
    } else if (speed != 0.0 && next != speed) {
      i_speed = num::ToFloat(next);
      Instance_ComputeHVSpeed(this);
    }
  }
  if (i_gravity != 0.0f) AddMotion(i_gravitydir, i_gravity);
}

void Instance_ComputeSpeedDirection(CInstance* instance) {
  const double h = instance->i_hspeed;
  const double v = instance->i_vspeed;
  double direction;
  if (h != 0.0) {
    const double a = std::atan2(v, h) * kRadiansToDegrees;
    direction = a <= 0.0 ? -a : 360.0 - a;
  } else {
    direction = v > 0.0 ? 270.0 : v < 0.0 ? 90.0 : 0.0;
  }
  instance->i_direction = num::ToFloat(std::fmod(Snap(direction), 360.0));
  instance->i_speed = num::ToFloat(Snap(std::sqrt(h * h + v * v)));
  instance->i_bboxdirty = 1;
}

void Instance_ComputeHVSpeed(CInstance* instance) {
  const double speed = instance->i_speed;
  const double radians = instance->i_direction * kDegreesToRadians;
  instance->i_hspeed = num::ToFloat(Snap(speed * std::cos(radians)));
  instance->i_vspeed = num::ToFloat(Snap(-speed * std::sin(radians)));
  instance->i_bboxdirty = 1;
}

namespace {

// The path an instance follows when it names one of positive length; else null.
const CPath* FollowedPath(const CInstance* instance) {
  if (instance->i_pathindex < 0) return nullptr;
  const CPath* path = Path_Data(instance->i_pathindex);
  return path != nullptr && path->GetLength() > 0.0f ? path : nullptr;
}

// (u, v) turned by `degrees` and multiplied by `scale`.
void TurnAndScale(double& u, double& v, double degrees, double scale) {
  const double radians = degrees * kDegreesToRadians;
  const double c = std::cos(radians);
  const double s = std::sin(radians);
  const double tu = u * c + v * s;
  const double tv = v * c - u * s;
  u = tu * scale;
  v = tv * scale;
}

}  // namespace

void Instance_PathStart(CInstance* instance, int32_t path, double speed, double scale, double orientation,
                        bool relative, int32_t endAction) {
  instance->i_pathindex = path;
  if (path < 0) return;
  const CPath* data = FollowedPath(instance);
  if (data == nullptr) {
    instance->i_pathindex = -1;
    return;
  }
  instance->i_pathspeed = num::ToFloat(speed);
  instance->i_pathposition = speed >= 0.0 ? 0.0f : 1.0f;
  instance->i_pathpositionprevious = instance->i_pathposition;
  instance->i_pathscale = num::ToFloat(scale);
  if (scale < 0.0) {
    instance->i_pathindex = -1;
    return;
  }
  instance->i_pathorientation = num::ToFloat(orientation);
  instance->i_pathend = endAction;
  const PathPosition at = data->GetPosition(instance->i_pathposition);
  if (!relative) instance->SetPosition(at.x, at.y);
  // The anchor is where the path's first point goes, so that the point at the start position is
  // where the instance stands: started at the far end (a negative speed), it goes back along the
  // path from there instead of jumping by the path's span.
  const PathPosition first = data->GetPosition(0.0);
  double u = static_cast<double>(at.x) - first.x;
  double v = static_cast<double>(at.y) - first.y;
  TurnAndScale(u, v, instance->i_pathorientation, instance->i_pathscale);
  instance->i_pathxstart = num::ToFloat(instance->i_x - u);
  instance->i_pathystart = num::ToFloat(instance->i_y - v);
}

bool CInstance::PathStep() {
  const CPath* path = FollowedPath(this);
  if (path == nullptr) return false;
  const double length = path->GetLength();
  // A scale of 0 (or any scale that makes the advance infinite or NaN) advances nothing.
  double advance = static_cast<double>(i_pathspeed) * path->GetPosition(i_pathposition).speed /
                   (100.0 * i_pathscale) / length;
  if (i_pathscale == 0.0f || !std::isfinite(advance)) advance = 0.0;
  double position = static_cast<double>(i_pathposition) + advance;

  bool ended = false;
  if (position >= 1.0 || position <= 0.0) {
    ended = i_pathspeed != 0.0f;
    const bool farEnd = position >= 1.0;
    switch (i_pathend) {
      case 0:  // stop
        if (ended) {
          position = 1.0;
          i_pathindex = -1;
        }
        break;
      case 1:  // restart
        position += farEnd ? -1.0 : 1.0;
        break;
      case 2: {  // continue from the end: the anchor moves by one lap
        double du = path->GetX(1.0) - path->GetX(0.0);
        double dv = path->GetY(1.0) - path->GetY(0.0);
        TurnAndScale(du, dv, i_pathorientation, i_pathscale);
        const double sign = farEnd ? 1.0 : -1.0;
        i_pathxstart = num::ToFloat(i_pathxstart + sign * du);
        i_pathystart = num::ToFloat(i_pathystart + sign * dv);
        position += farEnd ? -1.0 : 1.0;
        break;
      }
      case 3:  // reverse
        if (farEnd) {
          position = 2.0 - position;
          i_pathspeed = -std::fabs(i_pathspeed);
        } else {
          position = -position;
          i_pathspeed = std::fabs(i_pathspeed);
        }
        break;
      default:
        position = 1.0;
        i_pathindex = -1;
        break;
    }
  }
  i_pathposition = num::ToFloat(position);

  // The point at the new position, relative to the path's start, turned, scaled and placed at the
  // anchor.
  const PathPosition at = path->GetPosition(i_pathposition);
  const PathPosition start = path->GetPosition(0.0);
  double u = static_cast<double>(at.x) - start.x;
  double v = static_cast<double>(at.y) - start.y;
  TurnAndScale(u, v, i_pathorientation, i_pathscale);
  const float tx = num::ToFloat(i_pathxstart + u);
  const float ty = num::ToFloat(i_pathystart + v);
  SetHSpeed(static_cast<double>(tx) - i_x);
  SetVSpeed(static_cast<double>(ty) - i_y);
  if (i_speed != 0.0f) {
    i_speed = 0.0f;
    Instance_ComputeHVSpeed(this);
  }
  if (tx != i_x || ty != i_y) {
    i_x = tx;
    i_y = ty;
    i_bboxdirty = 1;
  }
  return ended;
}
