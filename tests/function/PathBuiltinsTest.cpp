// The path built-ins and draw_path, called through the registry as the virtual machine calls
// them: queries with their answers for missing paths, the table changes with their messages,
// the edits, and drawing on the recording fake and on OpenGL.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BuiltinTestUtil.h"
#include "function/Function_Graphics.h"
#include "function/Function_Motion.h"
#include "function/Function_Resource.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/device/D3D_Fake.h"
#include "graphics/device/D3D_GL.h"
#include "graphics/device/D3D_Types.h"
#include "os/OS_DisplayModes.h"
#include "path/Path_Main.h"
#include "testlib/GraphicsFixtures.h"

namespace builtintest {
namespace {

using Errors = std::vector<testsupport::ErrorRecorder::Error>;

class PathBuiltinsTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    RegisterResourceFunctions();
  }

  double Real(const char* name, std::vector<double> args) {
    std::vector<ScriptValue> values;
    for (const double a : args) values.push_back(RealValue(a));
    return CallReal(name, std::move(values));
  }
  void Do(const char* name, std::vector<double> args) { Real(name, std::move(args)); }
  // A new path through the points (x, y, speed each), made by the built-ins.
  int32_t NewPath(const std::vector<std::vector<double>>& points) {
    const int32_t index = static_cast<int32_t>(Real("path_add", {}));
    for (const auto& p : points) Do("path_add_point", {static_cast<double>(index), p[0], p[1], p[2]});
    return index;
  }
};

TEST_F(PathBuiltinsTest, QueriesAnswerForThePathAndMinusOneWithoutOne) {
  const int32_t p = NewPath({{0, 0, 100}, {100, 0, 50}});
  Do("path_set_closed", {static_cast<double>(p), 0.49});  // below 0.5: open
  const double P = p, missing = 7;
  struct Case {
    const char* name;
    std::vector<double> args;
    double expected;
    double missingExpected;  // the same call on a missing path
  };
  const Case cases[] = {
      {"path_exists", {P}, 1, 0},
      {"path_get_length", {P}, 100, -1},
      {"path_get_kind", {P}, 0, -1},
      {"path_get_closed", {P}, 0, -1},
      {"path_get_precision", {P}, 4, -1},
      {"path_get_number", {P}, 2, -1},
      {"path_get_point_x", {P, 1}, 100, -1},
      {"path_get_point_y", {P, 1}, 0, -1},
      {"path_get_point_speed", {P, 1}, 50, -1},
      {"path_get_point_x", {P, 2}, 0, -1},      // out of range: 0
      {"path_get_point_speed", {P, 2}, 1, -1},  // one past the last: 1
      {"path_get_point_speed", {P, 0.5}, 100, -1},  // 0.5 rounds to point 0
      {"path_get_x", {P, 0.25}, 25, -1},
      {"path_get_y", {P, 0.25}, 0, -1},
      {"path_get_speed", {P, 0.25}, 87.5, -1},
      {"path_get_x", {P, 0.3}, 30.000001907348633, -1},  // the position in single precision
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Real(c.name, c.args), c.expected);
    std::vector<double> args = c.args;
    args[0] = missing;
    EXPECT_EQ(Real(c.name, args), c.missingExpected);
  }
  // A path without points is at (0, 0) everywhere.
  const int32_t empty = NewPath({});
  EXPECT_EQ(Real("path_get_x", {static_cast<double>(empty), 0.5}), 0);
  EXPECT_EQ(Real("path_get_speed", {static_cast<double>(empty), 0.5}), 100);
  EXPECT_EQ(TakeError(), "");
}

TEST_F(PathBuiltinsTest, NamesComeFromTheTable) {
  const int32_t p = NewPath({});
  for (const char* name : {"path_get_name", "path_name"}) {
    EXPECT_EQ(Call(name, {RealValue(p)}).text, "__newpath" + std::to_string(p));
    EXPECT_EQ(Call(name, {RealValue(p + 1)}).text, "<undefined>");
    EXPECT_EQ(Call(name, {RealValue(-1)}).text, "<undefined>");
  }
}

TEST_F(PathBuiltinsTest, SettersNormaliseAndIgnoreMissingPaths) {
  const double p = NewPath({{0, 0, 100}, {50, 0, 100}, {50, 50, 100}});
  struct Case {
    const char* setter;
    double value;
    const char* getter;
    double expected;
  };
  const Case cases[] = {
      {"path_set_kind", 1, "path_get_kind", 1},
      {"path_set_kind", 2, "path_get_kind", 0},
      {"path_set_kind", 0.6, "path_get_kind", 1},
      {"path_set_precision", 2.5, "path_get_precision", 2},  // halves to even
      {"path_set_precision", 3.5, "path_get_precision", 4},
      {"path_set_precision", 12, "path_get_precision", 8},
      {"path_set_precision", -1, "path_get_precision", 0},
      {"path_set_closed", 0.5, "path_get_closed", 1},
      {"path_set_closed", 0, "path_get_closed", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.setter) + " " + std::to_string(c.value));
    Do(c.setter, {p, c.value});
    EXPECT_EQ(Real(c.getter, {p}), c.expected);
  }
  for (const char* setter : {"path_set_kind", "path_set_precision", "path_set_closed"}) Do(setter, {9, 1});
  EXPECT_EQ(Path_Count(), 1);
  EXPECT_EQ(TakeError(), "");
}

TEST_F(PathBuiltinsTest, TableChangesReportMisuseAndLeaveTheTableAsItWas) {
  testsupport::ErrorRecorder errors;
  const double a = NewPath({{0, 0, 100}, {10, 0, 100}});
  const double b = NewPath({{5, 5, 20}});

  // A copy takes the next index; a missing path answers 0, not -1.
  EXPECT_EQ(Real("path_duplicate", {a}), 2);
  EXPECT_EQ(Real("path_get_number", {2}), 2);
  EXPECT_EQ(Real("path_duplicate", {40}), 0);
  EXPECT_EQ(errors.errors(), (Errors{{"Trying to duplicate non-existing path.", false}}));
  errors.Clear();

  Do("path_assign", {b, a});
  EXPECT_EQ(Real("path_get_number", {b}), 2);
  Do("path_assign", {b, b});
  EXPECT_EQ(errors.errors(),
            (Errors{{"ERROR: Can not assign a path to itself!", false}, {"Error assigning a path.", false}}));
  errors.Clear();
  Do("path_assign", {3, a});  // no slot 3
  Do("path_assign", {a, 40});
  EXPECT_EQ(errors.errors(), (Errors{{"Error assigning a path.", false}, {"Error assigning a path.", false}}));
  errors.Clear();

  Do("path_append", {a, b});
  EXPECT_EQ(Real("path_get_number", {a}), 4);
  Do("path_append", {40, 41});
  Do("path_append", {a, 41});
  EXPECT_EQ(errors.errors(),
            (Errors{{"Appending to non-existing path.", false}, {"Appending a non-existing path.", false}}));
  errors.Clear();

  EXPECT_EQ(Real("path_delete", {2}), 1);
  EXPECT_EQ(Real("path_exists", {2}), 0);
  EXPECT_EQ(Real("path_delete", {2}), 0);
  EXPECT_EQ(errors.errors(), (Errors{{"Trying to delete non-existing path.", false}}));
  errors.Clear();
  // The deleted slot's index stays taken.
  EXPECT_EQ(Real("path_add", {}), 3);
  EXPECT_EQ(Path_Count(), 4);
}

TEST_F(PathBuiltinsTest, APathAssignedIntoADeletedSlotHasNoName) {
  const double a = NewPath({{1, 2, 3}});
  const double b = NewPath({});
  EXPECT_EQ(Real("path_delete", {b}), 1);
  Do("path_assign", {b, a});
  EXPECT_EQ(Real("path_exists", {b}), 1);
  EXPECT_EQ(Real("path_get_point_y", {b, 0}), 2);
  const Answer name = Call("path_get_name", {RealValue(b)});
  EXPECT_EQ(name.kind, VALUE_STRING);
  EXPECT_EQ(name.text, "");
  EXPECT_EQ(Path_FindByName("__newpath1"), -1);
  EXPECT_EQ(Path_FindByName("__newpath0"), 0);
}

TEST_F(PathBuiltinsTest, EditsChangeThePoints) {
  const double p = NewPath({{0, 0, 100}, {10, 0, 100}});
  Do("path_set_closed", {p, 0});
  Do("path_insert_point", {p, 1, 5, 5, 50});
  Do("path_change_point", {p, 2, 20, 0, 25});
  EXPECT_EQ(Real("path_get_point_x", {p, 1}), 5);
  EXPECT_EQ(Real("path_get_point_speed", {p, 2}), 25);
  Do("path_delete_point", {p, 1});
  Do("path_reverse", {p});
  EXPECT_EQ(Real("path_get_point_x", {p, 0}), 20);
  Do("path_shift", {p, 1, 2});
  EXPECT_EQ(Real("path_get_point_y", {p, 0}), 2);
  Do("path_mirror", {p});  // around x = 11
  EXPECT_EQ(Real("path_get_point_x", {p, 0}), 1);
  Do("path_flip", {p});  // a flat path stays on its line
  EXPECT_EQ(Real("path_get_point_y", {p, 1}), 2);
  Do("path_rescale", {p, 2, 1});
  EXPECT_EQ(Real("path_get_length", {p}), 40);
  Do("path_rotate", {p, 90});
  EXPECT_NEAR(Real("path_get_point_x", {p, 0}), 11, 1e-5);
  EXPECT_NEAR(Real("path_get_point_y", {p, 0}), 22, 1e-5);
  Do("path_clear_points", {p});
  EXPECT_EQ(Real("path_get_number", {p}), 0);
  for (const char* edit : {"path_clear_points", "path_reverse", "path_mirror", "path_flip"}) Do(edit, {8});
  Do("path_add_point", {8, 1, 1, 1});
  EXPECT_EQ(TakeError(), "");
}

// path_start and path_end lead the calling instance (m_self, at (5, 6)) along a path; its steps
// are the instance's own (CInstance::PathStep, run by the frame step).
class PathFollowTest : public PathBuiltinsTest {
 protected:
  void SetUp() override {
    PathBuiltinsTest::SetUp();
    RegisterMotionFunctions();
    m_self.SetPosition(5, 6);
    m_line = NewPath({{10, 20, 100}, {110, 20, 100}});
    Do("path_set_closed", {m_line, 0});
  }
  double m_line = -1;
};

TEST_F(PathFollowTest, AnAbsoluteStartPutsTheInstanceOnTheStartOrEndPoint) {
  struct Case {
    double speed, absolute;
    float x, y, position;
  };
  const Case cases[] = {
      {4, 1, 10, 20, 0},      // absolute: the first point
      {-4, 0.5, 110, 20, 1},  // absolute backwards: the last point
      {4, 0.49, 5, 6, 0},     // relative: where it stands
      {-4, 0, 5, 6, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.speed);
    SCOPED_TRACE(c.absolute);
    m_self.SetPosition(5, 6);
    Do("path_start", {m_line, c.speed, 0, c.absolute});
    EXPECT_EQ(m_self.i_pathindex, m_line);
    EXPECT_EQ(m_self.i_x, c.x);
    EXPECT_EQ(m_self.i_y, c.y);
    EXPECT_EQ(m_self.i_pathposition, c.position);
    EXPECT_EQ(m_self.i_pathspeed, static_cast<float>(c.speed));
    EXPECT_EQ(m_self.i_pathscale, 1.0f);
    EXPECT_EQ(m_self.i_pathorientation, 0.0f);
    // One step of 4 along a path 100 long, from the anchor.
    m_self.PathStep();
    EXPECT_EQ(m_self.i_x, c.x + (c.speed > 0 ? 4 : -4));
    EXPECT_EQ(m_self.i_y, c.y);
  }
  EXPECT_EQ(TakeError(), "");
}

TEST_F(PathFollowTest, EndActionsApplyAtTheEndAndPathEndStops) {
  struct Case {
    double action;
    int32_t end;     // the end action stored
    bool following;  // still on the path after the end
    float position;  // and the position
    float speed;
  };
  const Case cases[] = {
      {0, 0, false, 1, 60},      // stop
      {1.4, 1, true, 0.2f, 60},  // restart (rounded)
      {2.5, 2, true, 0.2f, 60},  // continue (halves to even)
      {3, 3, true, 0.8f, -60},   // reverse
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    Do("path_start", {m_line, 60, c.action, 1});
    EXPECT_FALSE(m_self.PathStep());
    EXPECT_TRUE(m_self.PathStep());  // 1.2 of the way: the end
    EXPECT_EQ(m_self.i_pathindex, c.following ? m_line : -1);
    EXPECT_EQ(m_self.i_pathend, c.end);
    EXPECT_NEAR(m_self.i_pathposition, c.position, 1e-6);
    EXPECT_EQ(m_self.i_pathspeed, c.speed);
  }

  // path_end leaves the instance where it is and stops it following.
  Do("path_start", {m_line, 10, 1, 1});
  m_self.PathStep();
  const float x = m_self.i_x;
  Do("path_end", {});
  EXPECT_EQ(m_self.i_pathindex, -1);
  EXPECT_FALSE(m_self.PathStep());
  EXPECT_EQ(m_self.i_x, x);
}

TEST_F(PathFollowTest, APathThatCannotBeFollowedLeavesTheInstanceWhereItIs) {
  const int32_t point = NewPath({{50, 50, 100}});  // no length
  struct Case {
    double path;
    int32_t index;  // path_index afterwards
  };
  // A negative index is kept as it is given, and follows nothing.
  const Case cases[] = {{7, -1}, {static_cast<double>(point), -1}, {-3, -3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    m_self.SetPosition(5, 6);
    Do("path_start", {c.path, 4, 0, 1});
    EXPECT_EQ(m_self.i_pathindex, c.index);
    EXPECT_FALSE(m_self.PathStep());
    EXPECT_EQ(m_self.i_x, 5.0f);
    EXPECT_EQ(m_self.i_y, 6.0f);
  }
  EXPECT_EQ(TakeError(), "");
}

// draw_path over the recording fake: the line strip's vertices.
class DrawPathTest : public PathBuiltinsTest {
 protected:
  void SetUp() override {
    PathBuiltinsTest::SetUp();
    RegisterGraphicsFunctions();
    ASSERT_TRUE(testsupport::InstallTestGraphics(Backend(), 64, 64));
    GraphicsFlush();
  }
  void TearDown() override {
    PathBuiltinsTest::TearDown();
    testsupport::RemoveTestGraphics();
  }
  virtual const D3D_Backend* Backend() { return FakeD3D_Backend(); }
  // The strip draw_path made: its vertices as (x, y); flushed afterwards.
  std::vector<std::pair<float, float>> Draw(double path, double x, double y, double absolute) {
    GraphicsFlush();
    Do("draw_path", {path, x, y, absolute});
    std::vector<std::pair<float, float>> out;
    if (g_VertexBatch.kind == static_cast<int32_t>(D3DPT_LINESTRIP)) {
      for (const TexturedVertex& v : testsupport::OpenBatch()) out.emplace_back(v.x, v.y);
    }
    GraphicsFlush();
    return out;
  }
};

using Strip = std::vector<std::pair<float, float>>;

TEST_F(DrawPathTest, AStripOfAQuarterOfTheLengthStartsAtXYUnlessAbsolute) {
  const double p = NewPath({{2, 3, 100}, {26, 3, 100}});  // length 24: 6 segments
  Do("path_set_closed", {p, 0});
  EXPECT_EQ(Draw(p, 100, 50, 0), (Strip{{100, 50}, {104, 50}, {108, 50}, {112, 50}, {116, 50}, {120, 50}, {124, 50}}));
  EXPECT_EQ(Draw(p, 100, 50, 0.5), (Strip{{2, 3}, {6, 3}, {10, 3}, {14, 3}, {18, 3}, {22, 3}, {26, 3}}));

  struct Case {
    double length;
    size_t vertices;
  };
  for (const Case c : {Case{6, 3}, Case{10, 3}, Case{1, 0}, Case{2, 0}, Case{14, 5}}) {
    SCOPED_TRACE(c.length);
    const double q = NewPath({{0, 0, 100}, {c.length, 0, 100}});
    Do("path_set_closed", {q, 0});
    EXPECT_EQ(Draw(q, 0, 0, 1).size(), c.vertices);
  }
  EXPECT_EQ(TakeError(), "");
}

TEST_F(DrawPathTest, AVeryLongPathDrawsOnlyTheFirst1001Points) {
  const double p = NewPath({{0, 0, 100}, {8000, 0, 100}});  // 2000 segments
  Do("path_set_closed", {p, 0});
  const Strip strip = Draw(p, 0, 0, 1);
  ASSERT_EQ(strip.size(), 1001u);
  EXPECT_EQ(strip[1], std::make_pair(4.0f, 0.0f));
  EXPECT_EQ(strip[1000], std::make_pair(4000.0f, 0.0f));
  // A length no segment count can hold draws nothing.
  const double huge = NewPath({{0, 0, 100}, {1e30, 0, 100}});
  EXPECT_TRUE(Draw(huge, 0, 0, 1).empty());
}

TEST_F(DrawPathTest, AMissingPathIsReportedAndDrawsNothing) {
  testsupport::ErrorRecorder errors;
  EXPECT_TRUE(Draw(3, 0, 0, 0).empty());
  EXPECT_EQ(errors.errors(), (Errors{{"Trying to drawn non-existing path.", false}}));
}

class DrawPathGLTest : public DrawPathTest {
 protected:
  const D3D_Backend* Backend() override { return GL_D3DBackend(); }
};

TEST_F(DrawPathGLTest, ThePathLightsItsPixels) {
  Call("draw_clear", {RealValue(0x000000)});
  Call("draw_set_colour", {RealValue(0xFFFFFF)});
  const double p = NewPath({{10.5, 20.5, 100}, {50.5, 20.5, 100}});
  Do("path_set_closed", {p, 0});
  Do("draw_path", {p, 0, 0, 1});         // row 20
  Do("draw_path", {p, 10.5, 40.5, 0});   // row 40
  for (const int32_t x : {12, 30, 48}) {
    EXPECT_EQ(Real("draw_getpixel", {static_cast<double>(x), 20}), 0xFFFFFF) << x;
    EXPECT_EQ(Real("draw_getpixel", {static_cast<double>(x), 40}), 0xFFFFFF) << x;
    EXPECT_EQ(Real("draw_getpixel", {static_cast<double>(x), 30}), 0) << x;
  }
  EXPECT_EQ(Real("draw_getpixel", {5, 20}), 0);
  EXPECT_EQ(Real("draw_getpixel", {55, 20}), 0);
}

}  // namespace
}  // namespace builtintest
