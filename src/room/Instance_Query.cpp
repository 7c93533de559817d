#include "room/Instance_Query.h"

#include <cmath>

#include "base/Common.h"
#include "platform/Numeric.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"
#include "sprite/Sprite_Main.h"

namespace {

constexpr double kPi = 3.1415927410125732;  // pi as a float, widened
constexpr float kLargestFloat = 3.4028235e38f;
constexpr int32_t kDefaultContactSteps = 1000;
constexpr int32_t kBounceProbes = 35;
constexpr int32_t kRandomTries = 100;

// The first candidate of `obj` that `test` accepts, skipping `self` when notMe is set.
template <typename Test>
CInstance* FirstCandidate(CInstance* self, int32_t obj, bool notMe, Test test) {
  CInstance* found = nullptr;
  Query_WalkTarget(obj, [&](CInstance* candidate) {
    if (notMe && candidate == self) return true;
    if (!test(candidate)) return true;
    found = candidate;
    return false;
  });
  return found;
}

// Runs `body` with `self` moved to (x, y), then puts it back.
template <typename Body>
auto WithPositionAt(CInstance* self, double x, double y, Body body) {
  const float oldX = self->i_x;
  const float oldY = self->i_y;
  self->SetPosition(x, y);
  auto answer = body();
  self->SetPosition(oldX, oldY);
  return answer;
}

bool PlaceTest(CInstance* self, double x, double y, bool all) {
  if (self == nullptr) return true;
  return WithPositionAt(self, x, y, [&] {
    return Instance_WalkRoomLive([&](CInstance* candidate) {
      return !((all || candidate->i_solid != 0) && Collision_Instance(candidate, self, true));
    });
  });
}

// One pixel in `direction` (degrees), each component a float, y growing downwards.
void UnitStep(double direction, float* dx, float* dy) {
  const float radians = num::ToFloat(direction * kPi / 180.0);
  *dx = num::ToFloat(std::cos(radians));
  *dy = num::ToFloat(-std::sin(radians));
}

int32_t ContactSteps(double maxDistance) {
  return maxDistance > 0 ? num::RoundInt32(maxDistance) : kDefaultContactSteps;
}

// The squared distance from (x, y) to the candidate's position, narrowed to a float.
float SquaredDistance(const CInstance* candidate, double x, double y) {
  const double dx = x - candidate->i_x;
  const double dy = y - candidate->i_y;
  return num::ToFloat(dx * dx + dy * dy);
}

template <typename Better>
CInstance* BestByDistance(double x, double y, int32_t obj, float start, Better better) {
  if (obj >= kSelectFirstInstanceId) return nullptr;
  float best = start;
  CInstance* found = nullptr;
  Query_WalkTarget(obj, [&](CInstance* candidate) {
    const float d = SquaredDistance(candidate, x, y);
    if (better(d, best)) {
      best = d;
      found = candidate;
    }
    return true;
  });
  return found;
}

// Gap between the spans [lowA, highA] and [lowB, highB] along one axis (0 when they overlap).
int64_t Gap(int64_t lowA, int64_t highA, int64_t lowB, int64_t highB) {
  if (highA < lowB) return highA - lowB;
  if (highB < lowA) return lowA - highB;
  return 0;
}

bool HasBoxSprite(const CInstance* instance) {
  return Sprite_Exists(instance->i_spriteindex) || Sprite_Exists(instance->i_maskindex);
}

// The place probed by the advanced bounce at angle `g` (degrees) and distance `s`.
bool ProbeFree(CInstance* self, double g, double s, bool all) {
  float dx, dy;
  UnitStep(g, &dx, &dy);
  return PlaceTest(self, self->i_x + static_cast<double>(dx) * s, self->i_y + static_cast<double>(dy) * s, all);
}

}  // namespace

int32_t Query_ResolveSelfOther(int32_t obj, const CInstance* self, const CInstance* other) {
  if (obj == -1 && self != nullptr) return self->i_id;
  if (obj == -2 && other != nullptr) return other->i_id;
  return obj;
}

// ---- Collision queries ----

CInstance* Command_CollisionPoint(CInstance* self, float x, float y, int32_t obj, bool precise, bool notMe) {
  return FirstCandidate(self, obj, notMe, [&](CInstance* c) { return c->CollidePoint(x, y, precise); });
}

CInstance* Command_CollisionRectangle(CInstance* self, float x1, float y1, float x2, float y2, int32_t obj,
                                      bool precise, bool notMe) {
  return FirstCandidate(self, obj, notMe,
                        [&](CInstance* c) { return Instance_CollideRect(c, x1, y1, x2, y2, precise); });
}

CInstance* Command_CollisionEllipse(CInstance* self, float x1, float y1, float x2, float y2, int32_t obj, bool precise,
                                    bool notMe) {
  return FirstCandidate(self, obj, notMe, [&](CInstance* c) { return c->CollideEllipse(x1, y1, x2, y2, precise); });
}

CInstance* Command_CollisionLine(CInstance* self, float x1, float y1, float x2, float y2, int32_t obj, bool precise,
                                 bool notMe) {
  return FirstCandidate(self, obj, notMe, [&](CInstance* c) { return c->CollideLine(x1, y1, x2, y2, precise); });
}

CInstance* Command_InstancePosition(float x, float y, int32_t obj) {
  return FirstCandidate(nullptr, obj, false, [&](CInstance* c) { return c->CollidePoint(x, y, true); });
}

bool Command_PositionMeeting(float x, float y, int32_t obj) { return Command_InstancePosition(x, y, obj) != nullptr; }

CInstance* Command_InstancePlace(CInstance* self, double x, double y, int32_t obj) {
  if (self == nullptr) return nullptr;
  return WithPositionAt(self, std::floor(x), std::floor(y), [&] {
    return FirstCandidate(self, obj, false, [&](CInstance* c) { return Collision_Instance(c, self, true); });
  });
}

bool Command_PlaceMeeting(CInstance* self, int32_t obj, double x, double y) {
  return Command_InstancePlace(self, x, y, obj) != nullptr;
}

bool Command_PlaceFree(CInstance* self, double x, double y) { return PlaceTest(self, x, y, false); }

bool Command_PlaceEmpty(CInstance* self, double x, double y) { return PlaceTest(self, x, y, true); }

// ---- Nearest, furthest, counts ----

CInstance* Command_InstanceNearest(double x, double y, int32_t obj) {
  return BestByDistance(x, y, obj, kLargestFloat, [](float d, float best) { return d < best; });
}

CInstance* Command_InstanceFurthest(double x, double y, int32_t obj) {
  return BestByDistance(x, y, obj, -1.0f, [](float d, float best) { return d > best; });
}

int32_t Command_InstanceNumber(int32_t obj) {
  int32_t count = 0;
  auto counter = [&count](CInstance*) {
    ++count;
    return true;
  };
  if (obj == kSelectAll || obj >= kSelectFirstInstanceId) {
    Query_WalkTarget(obj, counter);
  } else if (obj >= 0) {
    Instance_WalkObjectLive(obj, SelectQueues::kRelink, counter);
  }
  return count;
}

bool Command_InstanceExists(CInstance* self, CInstance* other, int32_t obj) {
  if (obj == -1) return self != nullptr && self->IsLive();
  if (obj == -2) return other != nullptr && other->IsLive();
  if (obj < 0 && obj != kSelectAll) return false;
  auto stop = [](CInstance*) { return false; };
  if (!Query_WalkTarget(obj, stop)) return true;
  if (obj == kSelectAll || obj >= kSelectFirstInstanceId) return false;
  return !Instance_WalkQueueLive(ActivationChangeList, obj, stop);
}

CInstance* Command_InstanceFind(int32_t obj, int32_t n) {
  if (n < 0) return nullptr;
  if (obj >= kSelectFirstInstanceId) return n == 0 ? Instance_FindLive(obj) : nullptr;
  CInstance* found = nullptr;
  int32_t index = 0;
  Query_WalkTarget(obj, [&](CInstance* candidate) {
    if (index++ != n) return true;
    found = candidate;
    return false;
  });
  return found;
}

// ---- Distances ----

float Instance_BoxDistance(CInstance* candidate, CInstance* self) {
  if (candidate == nullptr || candidate == self || !candidate->IsLive() || self == nullptr) return kQueryNoDistance;
  Instance_UpdateBoundingBox(candidate);
  Instance_UpdateBoundingBox(self);
  const int32_t* c = candidate->i_bbox;
  const int32_t* s = self->i_bbox;
  // The gaps need 33 bits and their squares up to 66: the squares are summed in double.
  const double dx = static_cast<double>(Gap(c[0], c[2], s[0], s[2]));
  const double dy = static_cast<double>(Gap(c[1], c[3], s[1], s[3]));
  return num::ToFloat(std::sqrt(dx * dx + dy * dy));
}

double Instance_PointDistance(CInstance* self, double x, double y) {
  if (self == nullptr) return 0.0;
  Instance_UpdateBoundingBox(self);
  const int32_t* b = self->i_bbox;
  const double dx = x < b[0] ? x - b[0] : (x > b[2] ? x - b[2] : 0.0);
  const double dy = y < b[1] ? y - b[1] : (y > b[3] ? y - b[3] : 0.0);
  return std::sqrt(dx * dx + dy * dy);
}

float Command_DistanceToObject(CInstance* self, CInstance* other, int32_t obj) {
  if (obj == -2) return Instance_BoxDistance(other, self);
  float best = kQueryNoDistance;
  Query_WalkTarget(obj, [&](CInstance* candidate) {
    best = std::fmin(best, Instance_BoxDistance(candidate, self));
    return true;
  });
  return best;
}

// ---- Moves ----

void Command_MoveContact(CInstance* self, double direction, double maxDistance, bool all) {
  if (self == nullptr) return;
  float dx, dy;
  UnitStep(direction, &dx, &dy);
  const int32_t steps = ContactSteps(maxDistance);
  if (!PlaceTest(self, self->i_x, self->i_y, all)) return;
  for (int32_t i = 1; i <= steps; ++i) {
    const float x = num::ToFloat(static_cast<double>(self->i_x) + dx);
    const float y = num::ToFloat(static_cast<double>(self->i_y) + dy);
    // A step too small to change a float position would repeat itself to the end.
    if (x == self->i_x && y == self->i_y) break;
    // Nor does a position that is not a number ever get anywhere.
    if (!std::isfinite(x) || !std::isfinite(y)) break;
    if (!PlaceTest(self, x, y, all)) break;
    self->SetPosition(x, y);
  }
}

bool Command_MoveOutside(CInstance* self, double direction, double maxDistance, bool all) {
  if (self == nullptr) return true;
  float dx, dy;
  UnitStep(direction, &dx, &dy);
  const int32_t steps = ContactSteps(maxDistance);
  bool free = PlaceTest(self, self->i_x, self->i_y, all);
  for (int32_t i = 1; i <= steps && !free; ++i) {
    const float x = num::ToFloat(static_cast<double>(self->i_x) + dx);
    const float y = num::ToFloat(static_cast<double>(self->i_y) + dy);
    if (x == self->i_x && y == self->i_y) break;  // every later step would test this place again
    if (!std::isfinite(x) || !std::isfinite(y)) break;
    self->SetPosition(x, y);
    free = PlaceTest(self, self->i_x, self->i_y, all);
  }
  return free;
}

void Command_MoveBounce(CInstance* self, bool advanced, bool all) {
  if (self == nullptr) return;
  bool stuck = false;
  if (!PlaceTest(self, self->i_x, self->i_y, all)) {
    self->SetPosition(self->i_xprevious, self->i_yprevious);
    stuck = true;
  }
  const double x = self->i_x;
  const double y = self->i_y;
  if (!advanced) {
    const double h = self->i_hspeed;
    const double v = self->i_vspeed;
    const bool a = PlaceTest(self, x + h, y, all);
    const bool b = PlaceTest(self, x, y + v, all);
    if (!a) {
      self->SetHSpeed(-h);
      if (!b) self->SetVSpeed(-v);
    } else if (!b) {
      self->SetVSpeed(-v);
    } else if (!PlaceTest(self, x + h, y + v, all)) {
      self->SetHSpeed(-h);
      self->SetVSpeed(-v);
    }
    return;
  }
  const float t = num::ToFloat(num::RoundHalfEven(self->i_direction / 10.0) * 10.0);
  const double s = self->i_speed;
  double g1 = t;
  for (int32_t k = 1; k <= kBounceProbes; ++k) {
    g1 = t - 10.0 * k;
    if (ProbeFree(self, g1, s, all)) break;
    stuck = true;
  }
  double g2 = t;
  for (int32_t k = 1; k <= kBounceProbes; ++k) {
    g2 = t + 10.0 * k;
    if (ProbeFree(self, g2, s, all)) {
      if (!stuck) return;
      break;
    }
    stuck = true;
  }
  self->SetDirection(g1 + g2 + 180.0 - t);
}

void Command_MoveRandom(CInstance* self, int32_t hsnap, int32_t vsnap) {
  if (self == nullptr || CurrentRoom == nullptr) return;
  const int32_t width = CurrentRoom->m_Width;
  const int32_t height = CurrentRoom->m_Height;
  int32_t left = 0, right = width, top = 0, bottom = height;
  if (HasBoxSprite(self)) {
    Instance_UpdateBoundingBox(self);
    const int32_t* b = self->i_bbox;
    left = num::RoundInt32(static_cast<double>(self->i_x) - b[0]);
    right = num::RoundInt32(static_cast<double>(width) + self->i_x - b[2]);
    top = num::RoundInt32(static_cast<double>(self->i_y) - b[1]);
    bottom = num::RoundInt32(static_cast<double>(height) + self->i_y - b[3]);
  }
  for (int32_t attempt = 0; attempt < kRandomTries; ++attempt) {
    // An empty range (RandomInt(0)) gives its lower bound and draws nothing.
    double x = num::WrapAdd32(left, RandomInt(num::WrapSub32(right, left)));
    if (hsnap > 0) x = hsnap * std::floor(x / hsnap);
    double y = num::WrapAdd32(top, RandomInt(num::WrapSub32(bottom, top)));
    if (vsnap > 0) y = vsnap * std::floor(y / vsnap);
    if (Command_PlaceFree(self, x, y)) {
      self->SetPosition(x, y);
      return;
    }
  }
}

bool Command_PlaceSnapped(const CInstance* self, double hsnap, double vsnap) {
  if (self == nullptr) return false;
  auto onGrid = [](double v, double snap) {
    return snap <= 0 || std::fabs(v - num::RoundHalfEven(v / snap) * snap) < 0.001;
  };
  return onGrid(self->i_x, hsnap) && onGrid(self->i_y, vsnap);
}
