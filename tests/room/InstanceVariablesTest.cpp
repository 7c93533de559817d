// The built-in instance variables read and written through the variable table's accessors, as
// the script engine calls them (no virtual machine).
#include <cmath>
#include <cstdint>
#include <string>

#include "extension/Extension_Main.h"
#include "physics/Physics_World.h"
#include "room/Instance_Variables.h"
#include "room/WorldFixture.h"
#include "run/Run_Frame.h"

namespace {

class InstanceVariablesTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    InitBuiltinVariables();
    m_object = testsupport::AddObject();
    m_self = Room()->AddInstance(10.0f, 20.0f, m_object);
  }

  static int32_t Id(const char* name) {
    const int32_t id = FindBuiltinVariable(name);
    EXPECT_GE(id, 0) << name;
    return id;
  }
  // Reads the variable; NaN when the read fails.
  double Get(const char* name, int32_t index = kWholeValueIndex, CInstance* self = nullptr) {
    ScriptValue out{};
    const bool ok = GetInstanceVariable(self != nullptr ? self : m_self, Id(name), index, &out);
    const double v = ok && out.Kind() == VALUE_REAL ? out.real : std::nan("");
    ReleaseValue(&out);
    return v;
  }
  bool Reads(const char* name, int32_t index = kWholeValueIndex) {
    ScriptValue out{};
    const bool ok = GetInstanceVariable(m_self, Id(name), index, &out);
    ReleaseValue(&out);
    return ok;
  }
  bool Set(const char* name, double value, int32_t index = kWholeValueIndex) {
    const ScriptValue v = RealValue(value);
    return SetInstanceVariable(m_self, Id(name), index, &v);
  }
  bool SetValue(const char* name, const ScriptValue& value) {
    return SetInstanceVariable(m_self, Id(name), kWholeValueIndex, &value);
  }

  int32_t m_object = -1;
  CInstance* m_self = nullptr;
};

// Every instance variable in registration order (its id), with a '*' when it is read-only, as
// the name dump writes them.
const char* const kInstanceVariables[] = {
    "x", "y", "xprevious", "yprevious", "xstart", "ystart", "hspeed", "vspeed", "direction", "speed",
    "friction", "gravity", "gravity_direction", "object_index*", "id*", "alarm", "solid", "visible",
    "persistent", "depth", "bbox_left*", "bbox_right*", "bbox_top*", "bbox_bottom*", "sprite_index",
    "image_index", "image_single", "image_number*", "sprite_width*", "sprite_height*", "sprite_xoffset*",
    "sprite_yoffset*", "image_xscale", "image_yscale", "image_angle", "image_alpha", "image_blend",
    "image_speed", "mask_index", "path_index*", "path_position", "path_positionprevious", "path_speed",
    "path_scale", "path_orientation", "path_endaction", "timeline_index", "timeline_position",
    "timeline_speed", "timeline_running", "timeline_loop", "async_load*", "iap_data*", "phy_rotation",
    "phy_position_x", "phy_position_y", "phy_angular_velocity", "phy_linear_velocity_x",
    "phy_linear_velocity_y", "phy_speed_x", "phy_speed_y", "phy_angular_damping", "phy_linear_damping",
    "phy_bullet", "phy_fixed_rotation", "phy_active", "phy_mass*", "phy_inertia*", "phy_com_x*",
    "phy_com_y*", "phy_speed*", "phy_dynamic*", "phy_kinematic*", "phy_sleeping*",
    "phy_position_xprevious*", "phy_position_yprevious*", "phy_collision_points*", "phy_collision_x*",
    "phy_collision_y*", "phy_col_normal_x*", "phy_col_normal_y*", "display_aa*", "delta_time*",
    "webgl_enabled*",
};

TEST_F(InstanceVariablesTest, IdsFollowTheRegistrationOrderAndTheDumpStarsReadOnlyNames) {
  ASSERT_EQ(std::size(kInstanceVariables), 84u);
  std::string expected;
  for (const char* line : kInstanceVariables) expected += std::string(line) + "\n";

  testsupport::TempDir dir;
  ASSERT_TRUE(DumpVariableNames(dir.file("vnames.txt").c_str()));
  const std::string dump = testsupport::ReadFile(dir.file("vnames.txt"));
  EXPECT_EQ(dump.substr(0, expected.size()), expected);
  EXPECT_EQ(FindBuiltinVariable("webgl_enabled"), 83);
  EXPECT_EQ(BuiltinVariableName(0), std::string("x"));
  // A file that cannot be made writes nothing.
  EXPECT_FALSE(DumpVariableNames(dir.file("missing/vnames.txt").c_str()));

  // Read-only variables refuse assignments through the engine.
  EXPECT_FALSE(Set("id", 5));
  EXPECT_FALSE(Set("bbox_left", 5));
  EXPECT_EQ(Get("id"), m_self->i_id);
}

TEST_F(InstanceVariablesTest, AlarmIndexesOutsideTheTwelveMeanAlarmZero) {
  EXPECT_TRUE(Set("alarm", 5, 12));
  EXPECT_EQ(m_self->i_timer[0], 5);
  EXPECT_EQ(Get("alarm"), 5);  // no index
  EXPECT_TRUE(Set("alarm", 7, 11));
  EXPECT_EQ(Get("alarm", 11), 7);
  EXPECT_EQ(Get("alarm", -1), 5);
  const struct {
    double value;
    int32_t stored;
  } cases[] = {{2.5, 2}, {3.5, 4}, {-1.0, -1}, {1.5, 2}, {-0.5, 0}};
  for (const auto& c : cases) {
    EXPECT_TRUE(Set("alarm", c.value, 0));
    EXPECT_EQ(m_self->i_timer[0], c.stored) << c.value;
  }
}

TEST_F(InstanceVariablesTest, FlagsAndSwitchesConvertDifferently) {
  const struct {
    const char* name;
    double value;
    double reads;
  } cases[] = {
      {"solid", -1.0, 1},           {"solid", 0.4, 0},            {"visible", 0.6, 1},
      {"persistent", 1.5, 1},       {"timeline_running", -1.0, 0}, {"timeline_running", 0.5, 0},
      {"timeline_running", 0.6, 1}, {"timeline_loop", 1.5, 1},     {"timeline_loop", 2.5, 1},
      {"path_endaction", 2.5, 2},   {"timeline_index", 3.5, 4},    {"mask_index", -0.5, 0},
      {"path_position", 1.5, 1},    {"path_position", -2, 0},      {"path_positionprevious", 0.25, 0.25},
      {"image_index", 1e40, INFINITY},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(Set(c.name, c.value)) << c.name;
    EXPECT_EQ(Get(c.name), c.reads) << c.name << " = " << c.value;
  }
}

TEST_F(InstanceVariablesTest, DirectionWrapsAndMotionSettersRecomputeOnlyWhenTheyShould) {
  for (const auto& [value, reads] : {std::pair{-90.0, 270.0}, {720.0, 0.0}, {360.0, 0.0}, {45.0, 45.0}}) {
    EXPECT_TRUE(Set("direction", value));
    EXPECT_EQ(Get("direction"), reads) << value;
  }

  EXPECT_TRUE(Set("hspeed", 3));
  EXPECT_TRUE(Set("vspeed", -4));
  EXPECT_EQ(Get("speed"), 5);
  // hspeed set to itself leaves speed and direction alone (made inconsistent on purpose here).
  m_self->i_speed = 99.0f;
  m_self->i_direction = 10.0f;
  EXPECT_TRUE(Set("hspeed", 3));
  EXPECT_EQ(m_self->i_speed, 99.0f);
  EXPECT_EQ(m_self->i_direction, 10.0f);
  // direction set to itself recomputes hspeed and vspeed.
  m_self->i_speed = 2.0f;
  m_self->i_direction = 90.0f;
  EXPECT_TRUE(Set("direction", 90));
  EXPECT_EQ(Get("hspeed"), 0);
  EXPECT_EQ(Get("vspeed"), -2);
  // speed set to itself changes nothing; a new speed recomputes.
  m_self->i_hspeed = 7.0f;
  EXPECT_TRUE(Set("speed", 2));
  EXPECT_EQ(m_self->i_hspeed, 7.0f);
  EXPECT_TRUE(Set("speed", 3));
  EXPECT_EQ(Get("vspeed"), -3);
}

TEST_F(InstanceVariablesTest, DepthReadsAtOnceButTheOrderWaitsForTheQueue) {
  CInstance* other = Room()->AddInstance(0, 0, m_object);
  ASSERT_EQ(Ids(Room()->m_Active), (std::vector<int32_t>{m_self->i_id, other->i_id}));
  EXPECT_TRUE(Set("depth", 5));
  EXPECT_EQ(Get("depth"), 5);
  EXPECT_TRUE(DepthChangeQueue.Contains(m_self));
  EXPECT_EQ(Ids(Room()->m_Active), (std::vector<int32_t>{m_self->i_id, other->i_id}));
  UpdateActiveLists();
  EXPECT_EQ(Ids(Room()->m_Active), (std::vector<int32_t>{other->i_id, m_self->i_id}));
  // The same depth again queues nothing.
  EXPECT_TRUE(Set("depth", 5));
  EXPECT_FALSE(DepthChangeQueue.Contains(m_self));
}

TEST_F(InstanceVariablesTest, ImageAndSpriteVariables) {
  EXPECT_TRUE(Set("image_blend", -1));
  EXPECT_EQ(Get("image_blend"), 4294967295.0);

  EXPECT_EQ(Get("sprite_width"), 0);  // no sprite
  const int32_t sprite = AddSprite(4);
  Sprite_Data(sprite)->m_width = 32;
  Sprite_Data(sprite)->m_height = 16;
  Sprite_Data(sprite)->m_xOrigin = 8;
  EXPECT_TRUE(Set("sprite_index", sprite));
  EXPECT_TRUE(Set("image_xscale", -2));
  EXPECT_TRUE(Set("image_yscale", 0.5));
  EXPECT_EQ(Get("sprite_width"), -64);
  EXPECT_EQ(Get("sprite_height"), 8);
  EXPECT_EQ(Get("sprite_xoffset"), -16);
  EXPECT_EQ(Get("image_number"), 4);
  EXPECT_TRUE(Set("sprite_index", 999));  // accepted unchecked
  EXPECT_EQ(Get("sprite_index"), 999);
  EXPECT_EQ(Get("sprite_width"), 0);

  EXPECT_TRUE(Set("image_single", 3));
  EXPECT_EQ(Get("image_index"), 3);
  EXPECT_EQ(Get("image_speed"), 0);
  EXPECT_EQ(Get("image_single"), 3);
  EXPECT_TRUE(Set("image_single", -1));
  EXPECT_EQ(Get("image_speed"), 1);
  EXPECT_EQ(Get("image_index"), 3);
  EXPECT_EQ(Get("image_single"), -1);
}

TEST_F(InstanceVariablesTest, TheBoundingBoxFollowsANewPosition) {
  const int32_t sprite = AddSprite(1);
  Sprite_Data(sprite)->m_width = 16;
  Sprite_Data(sprite)->m_height = 16;
  Sprite_Data(sprite)->m_bbox = {0, 0, 15, 15};
  EXPECT_TRUE(Set("sprite_index", sprite));
  EXPECT_EQ(Get("bbox_left"), 10);
  EXPECT_TRUE(Set("x", 40));
  EXPECT_EQ(Get("bbox_left"), 40);
  EXPECT_EQ(Get("bbox_right"), 55);
  EXPECT_TRUE(Set("y", 5));
  EXPECT_EQ(Get("bbox_top"), 5);
  EXPECT_EQ(Get("bbox_bottom"), 20);
}

TEST_F(InstanceVariablesTest, NumberSettersTakeOnlyNumbers) {
  ScriptValue v{};
  v.i32 = 7;
  v.kind = VALUE_INT32;
  EXPECT_TRUE(SetValue("x", v));
  EXPECT_EQ(Get("x"), 7);
  v.i64 = 9;
  v.kind = VALUE_INT64;
  EXPECT_TRUE(SetValue("alarm", v));
  EXPECT_EQ(Get("alarm"), 9);
  SetUndefined(&v);
  EXPECT_TRUE(SetValue("x", v));
  EXPECT_EQ(Get("x"), 0);

  // Strings, arrays and pointers fail the assignment and change nothing: no payload is read as a
  // real.
  EXPECT_TRUE(Set("x", 12));
  ScriptValue text{};
  SetString(&text, "34");
  ScriptValue pointer{};
  pointer.bits = 0x4044000000000000ull;  // 40.0 if read as a real
  pointer.kind = VALUE_PTR;
  for (const ScriptValue* bad : {&text, &pointer}) {
    for (const char* name : {"x", "alarm", "solid", "depth", "direction", "timeline_running", "image_blend"}) {
      const double before = Get(name);
      EXPECT_FALSE(SetValue(name, *bad)) << name;
      EXPECT_EQ(Get(name), before) << name;
    }
  }
  ReleaseValue(&text);
}

TEST_F(InstanceVariablesTest, ProcessWideValuesAndAMissingInstance) {
  EXPECT_EQ(Get("webgl_enabled"), 1);
  EXPECT_EQ(Get("async_load"), -1);
  Run_SetAsyncLoad(3);
  EXPECT_EQ(Get("async_load"), 3);
  EXPECT_EQ(Get("iap_data"), -1);
  g_Extensions.IAPDataMap = 2;
  EXPECT_EQ(Get("iap_data"), 2);
  g_FrameLoop.deltaTime = 16667;
  EXPECT_EQ(Get("delta_time"), 16667);
  EXPECT_EQ(Get("display_aa"), 0);

  // Per-instance variables without an instance fail; the process-wide ones still read.
  ScriptValue out{};
  EXPECT_FALSE(GetInstanceVariable(nullptr, Id("x"), kWholeValueIndex, &out));
  const ScriptValue one = RealValue(1);
  EXPECT_FALSE(SetInstanceVariable(nullptr, Id("alarm"), 0, &one));
  EXPECT_TRUE(GetInstanceVariable(nullptr, Id("webgl_enabled"), kWholeValueIndex, &out));
  ReleaseValue(&out);
}

// ---- Physics ----

class PhysicsVariablesTest : public InstanceVariablesTest {
 protected:
  void SetUp() override {
    InstanceVariablesTest::SetUp();
    Room()->m_Speed = 30;
    Room()->m_PhysicsWorld = new CPhysicsWorld(0.1f, 30);
  }
  // Gives the instance a body of the room's world at (x, y) metres with a 1 m box.
  b2Body* GiveBody(CInstance* instance, b2BodyType type, float x, float y) {
    b2BodyDef def;
    def.type = type;
    def.position.Set(x, y);
    def.userData.pointer = reinterpret_cast<uintptr_t>(instance);
    b2Body* body = Room()->m_PhysicsWorld->World()->CreateBody(&def);
    b2PolygonShape box;
    box.SetAsBox(0.5f, 0.5f);
    body->CreateFixture(&box, 1.0f);
    instance->i_physicsobject = new CPhysicsObject(body, -1, 0.0f, 0.0f);
    return body;
  }
};

TEST_F(PhysicsVariablesTest, ReadsFailWithoutABodyOrWithoutAWorldWhereTheScaleIsNeeded) {
  for (const char* name : {"phy_rotation", "phy_position_x", "phy_speed", "phy_mass", "phy_active", "phy_collision_x"}) {
    EXPECT_FALSE(Reads(name)) << name;
    EXPECT_FALSE(Set(name, 1)) << name;
  }
  EXPECT_EQ(Get("phy_collision_points"), 0);  // needs only the world

  GiveBody(m_self, b2_dynamicBody, 1.0f, 2.0f);
  EXPECT_EQ(Get("phy_position_x"), 10.0f);
  // Without the room's world only the variables that need no scale work.
  CPhysicsWorld* world = Room()->m_PhysicsWorld;
  Room()->m_PhysicsWorld = nullptr;
  EXPECT_FALSE(Reads("phy_position_x"));
  EXPECT_FALSE(Set("phy_position_x", 5));
  EXPECT_FALSE(Reads("phy_collision_points"));
  EXPECT_EQ(Get("phy_rotation"), 0);
  EXPECT_EQ(Get("phy_dynamic"), 1);
  // Nor without a current room at all.
  CRoom* room = CurrentRoom;
  CurrentRoom = nullptr;
  EXPECT_FALSE(Reads("phy_speed_x"));
  EXPECT_EQ(Get("phy_mass"), 1);
  CurrentRoom = room;
  Room()->m_PhysicsWorld = world;
}

TEST_F(PhysicsVariablesTest, VelocitiesConvertWithTheScaleAndTheRoomSpeed) {
  b2Body* body = GiveBody(m_self, b2_dynamicBody, 0.0f, 0.0f);
  body->SetLinearVelocity(b2Vec2(3.0f, -0.6f));
  EXPECT_EQ(Get("phy_speed_x"), 1);
  EXPECT_EQ(Get("phy_linear_velocity_x"), 30);
  EXPECT_EQ(Get("phy_speed_y"), -0.2f);
  EXPECT_EQ(Get("phy_speed"), static_cast<double>(std::sqrt(1.0f + 0.2f * 0.2f)));

  EXPECT_TRUE(Set("phy_speed_y", 2));  // 2 px per step = 0.1 x 2 x 30 m/s
  EXPECT_FLOAT_EQ(body->GetLinearVelocity().y, 6.0f);
  EXPECT_EQ(body->GetLinearVelocity().x, 3.0f);
  EXPECT_TRUE(Set("phy_linear_velocity_x", -10));
  EXPECT_FLOAT_EQ(body->GetLinearVelocity().x, -1.0f);

  EXPECT_TRUE(Set("phy_position_x", 50));
  EXPECT_FLOAT_EQ(body->GetPosition().x, 5.0f);
  EXPECT_EQ(body->GetPosition().y, 0.0f);
  EXPECT_TRUE(Set("phy_rotation", 90));
  EXPECT_FLOAT_EQ(body->GetAngle(), 3.14159274f / 2.0f);
  EXPECT_EQ(Get("phy_rotation"), 90);
  EXPECT_TRUE(Set("phy_angular_velocity", 180));
  EXPECT_FLOAT_EQ(body->GetAngularVelocity(), 3.14159274f);
  EXPECT_FLOAT_EQ(Get("phy_com_x"), 50.0f);
  EXPECT_FLOAT_EQ(Get("phy_inertia"), body->GetInertia());
  m_self->i_physicsobject->m_previousX = 0.5f;
  EXPECT_EQ(Get("phy_position_xprevious"), 5);
}

TEST_F(PhysicsVariablesTest, BodyFlagsTakeValuesAboveOneHalf) {
  b2Body* body = GiveBody(m_self, b2_dynamicBody, 0.0f, 0.0f);
  const struct {
    const char* name;
    double value;
    double reads;
  } cases[] = {
      {"phy_bullet", 0.6, 1}, {"phy_bullet", 0.5, 0},          {"phy_fixed_rotation", 1, 1},
      {"phy_active", 0, 0},   {"phy_active", 1, 1},            {"phy_linear_damping", 0.25, 0.25},
      {"phy_angular_damping", 2, 2},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(Set(c.name, c.value)) << c.name;
    EXPECT_EQ(Get(c.name), c.reads) << c.name << " = " << c.value;
  }
  EXPECT_TRUE(Set("phy_active", 0));
  EXPECT_FALSE(body->IsEnabled());
  EXPECT_EQ(Get("phy_kinematic"), 0);
  body->SetAwake(false);
  EXPECT_EQ(Get("phy_sleeping"), 1);
}

TEST_F(PhysicsVariablesTest, CollisionVariablesReadTheContactBeingDispatched) {
  b2Body* body = GiveBody(m_self, b2_dynamicBody, 0.0f, 0.0f);
  PhysicsContactRecord record;
  record.fixtureA = body->GetFixtureList();
  record.fixtureB = body->GetFixtureList();
  record.manifoldCount = 1;
  record.manifolds[0].pointCount = 2;
  record.worldManifolds[0].normal.Set(1.0f, 0.0f);
  record.worldManifolds[0].points[0].Set(0.5f, 0.25f);
  record.worldManifolds[0].points[1].Set(0.5f, -0.25f);

  EXPECT_EQ(Get("phy_collision_points"), 0);
  EXPECT_FALSE(Reads("phy_collision_x", 0));
  Room()->m_PhysicsWorld->SetCurrentContact(&record);
  EXPECT_EQ(Get("phy_collision_points"), 2);
  EXPECT_EQ(Get("phy_collision_x", 1), 5);
  EXPECT_EQ(Get("phy_collision_y", 1), -2.5);
  EXPECT_EQ(Get("phy_collision_y"), 2.5);  // no index: point 0
  EXPECT_EQ(Get("phy_col_normal_x", 1), 1);
  EXPECT_EQ(Get("phy_col_normal_y", 0), 0);
  EXPECT_FALSE(Reads("phy_collision_x", 2));
  EXPECT_FALSE(Reads("phy_col_normal_x", -1));
  // Another instance is not in the contact.
  CInstance* other = Room()->AddInstance(0, 0, m_object);
  EXPECT_EQ(Get("phy_collision_points", kWholeValueIndex, other), 0);
  Room()->m_PhysicsWorld->SetCurrentContact(nullptr);
}

}  // namespace
