// Time lines: the moment queries and changes, the table, and the time-line chunk.
#include <gtest/gtest.h>

#include "code/Code_Main.h"
#include "room/Event_Class.h"
#include "runner/GameDataTestUtil.h"
#include "runner/GameData_Code.h"
#include "timeline/TimeLine_Main.h"

namespace gamedatatest {
namespace {

using testsupport::CodeWriter;
using testsupport::GameDataBuilder;
using testsupport::TimeLineEntry;

std::vector<int32_t> Times(const CTimeLine& t) {
  std::vector<int32_t> times;
  for (int32_t i = 0; i < t.GetCount(); ++i) times.push_back(t.GetTime(i));
  return times;
}

// A game with bytecode (three code entries) and the given time lines.
GameDataBuilder Game(const std::vector<TimeLineEntry>& timeLines) {
  GameDataBuilder g;
  g.Gen8();
  g.Code({{"a", CodeWriter{0x9E000000u}}, {"b", CodeWriter{0x9E000000u}}, {"c", CodeWriter{0x9E000000u}}});
  g.Tmln(timeLines);
  g.Strg();
  return g;
}

TEST(TimeLineTest, MomentQueriesFindTheMomentsAroundAPosition) {
  CTimeLine empty;
  EXPECT_EQ(empty.GetCount(), 0);
  EXPECT_EQ(empty.FindAtOrAfter(3), 0);
  EXPECT_EQ(empty.FindAtOrBefore(3), -1);
  EXPECT_EQ(empty.GetEvent(0), 0u);

  CTimeLine t;
  t.AddScriptMoment(20, 4);
  t.AddScriptMoment(10, 3);
  const struct {
    double position;
    int32_t after;
    int32_t before;
  } cases[] = {{5, 0, -1}, {10, 0, 0}, {10.5, 1, 0}, {20, 1, 1}, {25, 2, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    EXPECT_EQ(t.FindAtOrAfter(c.position), c.after);
    EXPECT_EQ(t.FindAtOrBefore(c.position), c.before);
  }
  EXPECT_EQ(t.FindMoment(20), 1);
  EXPECT_EQ(t.FindMoment(15), -1);
  EXPECT_EQ(t.GetTime(2), 0);
  EXPECT_EQ(t.GetTime(-1), 0);
}

TEST(TimeLineTest, ScriptMomentsGoInTimeOrderAndClearingRemovesOne) {
  CTimeLine t;
  t.AddScriptMoment(10, 1);
  t.AddScriptMoment(20, 2);
  t.AddScriptMoment(15, 7);
  t.AddScriptMoment(10, 9);  // a moment at 10 exists: nothing changes
  EXPECT_EQ(Times(t), (std::vector<int32_t>{10, 15, 20}));
  EXPECT_TRUE(TimeLine_IsScriptAction(t.GetEvent(1)));
  EXPECT_EQ(TimeLine_ActionScript(t.GetEvent(1)), 7);
  EXPECT_EQ(TimeLine_ActionScript(t.GetEvent(0)), 1);
  EXPECT_EQ(TimeLine_ActionEvent(t.GetEvent(0)), nullptr);
  t.ClearMoment(15);
  t.ClearMoment(16);
  EXPECT_EQ(Times(t), (std::vector<int32_t>{10, 20}));
  EXPECT_EQ(TimeLine_ActionScript(t.GetEvent(1)), 2);
  t.Clear();
  EXPECT_EQ(t.GetCount(), 0);
}

TEST_F(GameDataTest, TimeLinesLoadWithTheirMomentsSortedByTime) {
  TimeLineEntry intro;
  intro.name = "intro";
  // Out of order in the file; the two at 10 keep their file order.
  intro.moments = {{30, {std::nullopt, 0}}, {10, {std::nullopt, 1}}, {20, {std::nullopt, 2}}, {10, {std::nullopt, 2}}};
  TimeLineEntry empty;
  empty.present = false;
  TimeLineEntry outro;
  outro.name = "outro";
  ASSERT_TRUE(Load(Game({intro, empty, outro, outro}).Build()));
  EXPECT_EQ(TimeLine_Count(), 4);
  const CTimeLine* t = TimeLine_Data(0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(Times(*t), (std::vector<int32_t>{10, 10, 20, 30}));
  const int32_t codes[] = {1, 2, 2, 0};
  for (int32_t i = 0; i < 4; ++i) {
    const CEvent* event = TimeLine_ActionEvent(t->GetEvent(i));
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->m_code->m_codeIndex, codes[i]);
  }
  EXPECT_TRUE(TimeLine_Prepare());  // nothing to compile with bytecode
  EXPECT_FALSE(TimeLine_Exists(1));
  EXPECT_STREQ(TimeLine_GetName(1), "<undefined>");
  EXPECT_STREQ(TimeLine_GetName(2), "outro");
  EXPECT_EQ(TimeLine_FindByName("outro"), 2);
  EXPECT_EQ(TimeLine_FindByName("missing"), -1);

  // Added time lines take the next index; deleting one moves the later ones down.
  EXPECT_EQ(TimeLine_Add(), 4);
  EXPECT_STREQ(TimeLine_GetName(4), "__newtimeline4");
  EXPECT_FALSE(TimeLine_Delete(1));
  ASSERT_TRUE(TimeLine_Delete(0));
  EXPECT_EQ(TimeLine_Count(), 5);
  EXPECT_FALSE(TimeLine_Exists(0));
  EXPECT_STREQ(TimeLine_GetName(1), "outro");
  EXPECT_STREQ(TimeLine_GetName(3), "__newtimeline4");
  EXPECT_FALSE(TimeLine_Exists(4));
  ASSERT_TRUE(TimeLine_Delete(3));  // an owned name is freed
  EXPECT_EQ(TimeLine_FindByName("__newtimeline4"), -1);
}

TEST_F(GameDataTest, BrokenTimeLineChunksAreRefused) {
  TimeLineEntry t;
  t.name = "t";
  t.moments = {{10, {std::nullopt, 0}}};
  struct Case {
    const char* why;
    std::vector<testsupport::Corruption> corruptions;
    std::optional<int32_t> momentCount;
    int32_t codeIndex;
  };
  const Case cases[] = {
      {"more moments than the file holds", {}, 0x1000000, 0},
      {"a negative moment count", {}, -2, 0},
      {"a code index past the code chunk", {}, std::nullopt, 3},
      {"an entry outside the file", {testsupport::corrupt::OffsetOutsideImage("TMLN", 0)}, std::nullopt, 0},
      {"a moment outside the file", {testsupport::corrupt::OffsetOutsideImage("TMLN", 2)}, std::nullopt, 0},
      {"an action outside the file", {testsupport::corrupt::OffsetOutsideImage("TMLN", 3)}, std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TimeLineEntry broken = t;
    broken.momentCount = c.momentCount;
    broken.moments[0].code.codeIndex = c.codeIndex;
    EXPECT_FALSE(Load(Game({broken}).Build(c.corruptions)));
    GameData_Free();
  }
}

}  // namespace
}  // namespace gamedatatest
