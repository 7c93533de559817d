// The path table: paths from the path chunk (normalised as the setters do, refused when their
// points do not lie inside the file), and additions, copies, assignments and deletions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "path/Path_Main.h"
#include "runner/GameDataTestUtil.h"
#include "testlib/TestHelpers.h"

namespace {

using gamedatatest::GameDataTest;
using testsupport::GameDataBuilder;
using testsupport::PathEntry;
namespace corrupt = testsupport::corrupt;

class PathTableTest : public GameDataTest {
 protected:
  static GameDataBuilder Game(const std::vector<PathEntry>& paths) {
    GameDataBuilder g;
    g.Gen8().Path(paths);
    g.Strg();
    return g;
  }
};

PathEntry Entry(const std::string& name, int32_t kind, int32_t closed, int32_t precision,
                std::vector<PathEntry::Point> points) {
  PathEntry e;
  e.name = name;
  e.kind = kind;
  e.closed = closed;
  e.precision = precision;
  e.points = std::move(points);
  return e;
}

TEST_F(PathTableTest, EntriesLoadIntoTheirSlotsNormalisedAsTheSettersDo) {
  PathEntry empty;
  empty.present = false;
  const std::vector<PathEntry> paths = {
      Entry("pth_line", 0, 0, 4, {{0, 0, 100}, {100, 0, 50}}),
      empty,
      Entry("pth_curve", 1, 7, 3, {{0, 0, 100}, {100, 0, 100}, {100, 100, 100}}),
      // A negative precision would subdivide practically forever: it is held to 0 (and 99 to 8),
      // and an unknown kind is straight.
      Entry("pth_low", 1, 0, -1, {{0, 0, 100}, {50, 50, 100}, {100, 0, 100}}),
      Entry("pth_high", 7, 1, 99, {}),
  };
  ASSERT_TRUE(Load(Game(paths).Build()));
  ASSERT_EQ(Path_Count(), 5);

  const CPath* line = Path_Data(0);
  ASSERT_NE(line, nullptr);
  EXPECT_STREQ(Path_GetName(0), "pth_line");
  EXPECT_EQ(line->GetKind(), 0);
  EXPECT_FALSE(line->GetClosed());
  EXPECT_EQ(line->GetPrecision(), 4);
  EXPECT_FLOAT_EQ(line->GetLength(), 100.0f);
  EXPECT_DOUBLE_EQ(line->GetSpeed(0.25), 87.5);

  EXPECT_FALSE(Path_Exists(1));
  EXPECT_STREQ(Path_GetName(1), "<undefined>");

  const CPath* curve = Path_Data(2);
  ASSERT_NE(curve, nullptr);
  EXPECT_EQ(curve->GetKind(), 1);
  EXPECT_TRUE(curve->GetClosed());  // any word but 0
  EXPECT_EQ(curve->GetPrecision(), 3);
  EXPECT_GT(curve->GetComputedCount(), 3);

  const CPath* low = Path_Data(3);
  ASSERT_NE(low, nullptr);
  EXPECT_EQ(low->GetPrecision(), 0);
  EXPECT_EQ(low->GetComputedCount(), 2);  // the first and last points

  const CPath* high = Path_Data(4);
  ASSERT_NE(high, nullptr);
  EXPECT_EQ(high->GetKind(), 0);
  EXPECT_EQ(high->GetPrecision(), 8);

  EXPECT_EQ(Path_FindByName("pth_curve"), 2);
  EXPECT_EQ(Path_FindByName("PTH_CURVE"), -1);
  EXPECT_EQ(Path_FindByName(nullptr), -1);

  // The next pass starts with an empty table.
  GameData_Free();
  EXPECT_EQ(Path_Count(), 0);
}

TEST_F(PathTableTest, EntriesOutsideTheFileRefuseIt) {
  const GameDataBuilder game = Game({Entry("pth_a", 0, 1, 4, {{1, 2, 3}}), Entry("pth_b", 0, 1, 4, {{4, 5, 6}})});
  ASSERT_TRUE(Load(game.Build()));
  GameData_Free();
  struct Case {
    const char* what;
    testsupport::Corruption corruption;
    const char* reason;
  };
  const Case cases[] = {
      {"count", corrupt::CountTooLarge("PATH"), "path chunk holds fewer entries than its count"},
      {"entry outside", corrupt::OffsetOutsideImage("PATH", 1), "path 1 or its name lies outside the file"},
      {"name outside", corrupt::OffsetOutsideImage("PATH", 2), "path 0 or its name lies outside the file"},
      {"point count -1", corrupt::CountTooLarge("PATH", 0xFFFFFFFF, 1), "the points of path 0 do not lie inside"},
      {"point count 0x7FFFFFFF", corrupt::CountTooLarge("PATH", 0x7FFFFFFF, 1), "the points of path 0 do not lie"},
      {"point count past the end", corrupt::CountTooLarge("PATH", 1000, 2), "the points of path 1 do not lie"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_console.Clear();
    EXPECT_FALSE(Load(game.Build({c.corruption})));
    EXPECT_NE(m_console.Text().find(c.reason), std::string::npos) << m_console.Text();
    EXPECT_EQ(Path_Count(), 0);
    GameData_Free();
  }
}

class PathTableChangeTest : public testsupport::RuntimeTest {};

TEST_F(PathTableChangeTest, AdditionsCopiesAssignmentsAndDeletionsKeepTheirSlots) {
  EXPECT_EQ(Path_Add(), 0);
  EXPECT_STREQ(Path_GetName(0), "__newpath0");
  const CPath* added = Path_Data(0);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->GetKind(), 0);
  EXPECT_TRUE(added->GetClosed());
  EXPECT_EQ(added->GetPrecision(), 4);
  Path_Data(0)->AddPoint(3, 4, 100);
  Path_Data(0)->SetKind(1);

  EXPECT_EQ(Path_Duplicate(0), 1);
  EXPECT_STREQ(Path_GetName(1), "__newpath1");
  EXPECT_EQ(Path_Data(1)->GetKind(), 1);
  EXPECT_EQ(Path_Data(1)->GetCount(), 1);
  EXPECT_EQ(Path_Duplicate(5), -1);
  EXPECT_EQ(Path_Count(), 2);

  EXPECT_TRUE(Path_Delete(1));
  EXPECT_FALSE(Path_Delete(1));
  EXPECT_EQ(Path_Add(), 2);  // the deleted index stays taken

  testsupport::ErrorRecorder errors;
  EXPECT_FALSE(Path_Assign(0, 0));
  EXPECT_EQ(errors.errors().size(), 1u);
  EXPECT_FALSE(Path_Assign(3, 0));
  EXPECT_FALSE(Path_Assign(-1, 0));
  EXPECT_FALSE(Path_Assign(2, 1));  // no source
  EXPECT_EQ(errors.errors().size(), 1u);
  EXPECT_TRUE(Path_Assign(2, 0));
  EXPECT_EQ(Path_Data(2)->GetCount(), 1);
  EXPECT_STREQ(Path_GetName(2), "__newpath2");
  EXPECT_TRUE(Path_Assign(1, 0));  // into the deleted slot: a path without a name
  EXPECT_TRUE(Path_Exists(1));
  EXPECT_EQ(Path_GetName(1), nullptr);
  EXPECT_EQ(Path_FindByName("__newpath1"), -1);
}

}  // namespace
