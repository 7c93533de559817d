// The event built-ins on a small game: objects with parents and handlers whose code records what
// ran and may call the built-ins in turn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "code/VM_State.h"
#include "code/Code_Function.h"
#include "function/Function_Misc.h"
#include "room/Event_Names.h"
#include "room/Event_State.h"
#include "room/WorldFixture.h"
#include "run/Run_Global.h"
#include "testlib/TestHelpers.h"

namespace {

using testsupport::AddHandler;
using testsupport::AddObject;

// What a handler saw when it ran: which handler it was and the current event.
struct Ran {
  std::string handler;
  int32_t self;
  int32_t other;
  int32_t object;
  int32_t kind;
  int32_t number;
  bool operator==(const Ran& o) const {
    return handler == o.handler && self == o.self && other == o.other && object == o.object && kind == o.kind &&
           number == o.number;
  }
};
std::ostream& operator<<(std::ostream& out, const Ran& r) {
  return out << r.handler << " self " << r.self << " other " << r.other << " event (" << r.object << ", " << r.kind
             << ", " << r.number << ")";
}

std::vector<Ran> g_ran;

// Calls the built-in `name` as code of `self` with `other` would.
void CallBuiltin(const char* name, CInstance* self, CInstance* other, std::vector<double> args) {
  int32_t number = -1;
  ASSERT_TRUE(FindFunctionIndex(name, &number)) << name;
  std::vector<ScriptValue> values;
  for (double a : args) values.push_back(RealValue(a));
  ScriptValue result{};
  g_VM.functions[number].func(&result, self, other, static_cast<int32_t>(values.size()), values.data());
  EXPECT_EQ(result.Kind(), VALUE_REAL);
  EXPECT_EQ(result.real, 0.0);
}

// A handler body that records itself, then optionally calls event_inherited.
CodeNativeFunction Record(const std::string& handler, bool inherit = false) {
  return [handler, inherit](CInstance* self, CInstance* other, ScriptValue*) {
    g_ran.push_back({handler, self ? self->i_id : -1, other ? other->i_id : -1, Event_GetObject(), Event_GetType(),
                     Event_GetNumber()});
    if (inherit) CallBuiltin("event_inherited", self, other, {});
  };
}

class EventBuiltinsTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    RegisterMiscFunctions();
    g_ran.clear();
    // grand <- parent <- child; `unrelated` stands alone.
    m_grand = AddObject();
    m_parent = AddObject(m_grand);
    m_child = AddObject(m_parent);
    m_unrelated = AddObject();
  }

  int32_t m_grand = -1, m_parent = -1, m_child = -1, m_unrelated = -1;
};

TEST_F(EventBuiltinsTest, PerformRunsSelfsHandlerWithRoundedKindAndNumber) {
  AddHandler(m_parent, EVENT_OTHER, 13, Record("parent user 3"));
  AddHandler(m_child, EVENT_STEP, 2, Record("child step 2"));
  AddHandler(m_child, EVENT_STEP, 0, Record("child step 0"));
  AddHandler(m_unrelated, EVENT_STEP, 0, Record("unrelated step 0"));
  CInstance self(0, 0, 100001, m_child, false);
  CInstance other(0, 0, 100002, m_unrelated, false);

  struct Case {
    const char* builtin;
    std::vector<double> args;
    std::vector<Ran> ran;
  };
  const Case cases[] = {
      // User event 3 is event 13 of the other events, found on the parent.
      {"event_user", {3}, {{"parent user 3", 100001, 100002, m_parent, EVENT_OTHER, 13}}},
      {"event_perform", {EVENT_OTHER, 13}, {{"parent user 3", 100001, 100002, m_parent, EVENT_OTHER, 13}}},
      {"event_perform", {3.4, 1.5}, {{"child step 2", 100001, 100002, m_child, EVENT_STEP, 2}}},  // ties to even
      {"event_perform", {3, 0.5}, {{"child step 0", 100001, 100002, m_child, EVENT_STEP, 0}}},
      {"event_perform", {EVENT_STEP, 1}, {}},  // no handler anywhere
      {"event_user", {4}, {}},
      {"event_user", {2147483647.0}, {}},
      // Another object's handler, run for self.
      {"event_perform_object", {static_cast<double>(m_unrelated), EVENT_STEP, 0},
       {{"unrelated step 0", 100001, 100002, m_unrelated, EVENT_STEP, 0}}},
      {"event_perform_object", {static_cast<double>(m_grand), EVENT_OTHER, 13}, {}},  // not inherited downwards
      {"event_perform_object", {999, EVENT_STEP, 0}, {}},                            // no such object
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.builtin + ::testing::PrintToString(c.args));
    g_ran.clear();
    Event_SetObject(7);
    Event_SetType(8);
    Event_SetNumber(9);
    CallBuiltin(c.builtin, &self, &other, c.args);
    EXPECT_EQ(g_ran, c.ran);
    // The event around the call is back afterwards.
    EXPECT_EQ(Event_GetObject(), 7);
    EXPECT_EQ(Event_GetType(), 8);
    EXPECT_EQ(Event_GetNumber(), 9);
  }
}

// An object whose parent lacks the event but whose grandparent has it: event_inherited runs the
// grandparent's handler, and from there goes no further.
TEST_F(EventBuiltinsTest, InheritedRunsTheNearestAncestorsHandler) {
  AddHandler(m_child, EVENT_STEP, 0, Record("child", true));
  AddHandler(m_grand, EVENT_STEP, 0, Record("grand", true));
  CInstance self(0, 0, 100001, m_child, false);
  CInstance other(0, 0, 100002, m_unrelated, false);
  CallBuiltin("event_perform", &self, &other, {EVENT_STEP, 0});
  EXPECT_EQ(g_ran, (std::vector<Ran>{{"child", 100001, 100002, m_child, EVENT_STEP, 0},
                                     {"grand", 100001, 100002, m_grand, EVENT_STEP, 0}}));

  // The parent's own handler comes first when it has one.
  AddHandler(m_parent, EVENT_STEP, 0, Record("parent", true));
  g_ran.clear();
  CallBuiltin("event_perform", &self, &other, {EVENT_STEP, 0});
  ASSERT_EQ(g_ran.size(), 3u);
  EXPECT_EQ(g_ran[1].handler, "parent");
  EXPECT_EQ(g_ran[2].handler, "grand");

  // Without a current event object, or from an object without a parent, nothing runs.
  g_ran.clear();
  Event_SetObject(-1);
  Event_SetType(EVENT_STEP);
  Event_SetNumber(0);
  CallBuiltin("event_inherited", &self, &other, {});
  Event_SetObject(m_grand);
  CallBuiltin("event_inherited", &self, &other, {});
  Event_SetObject(m_child);
  CallBuiltin("event_inherited", nullptr, &other, {});  // and nothing without a calling instance
  EXPECT_TRUE(g_ran.empty());
}

TEST_F(EventBuiltinsTest, APendingRoomChangeHoldsEventsBack) {
  AddHandler(m_child, EVENT_STEP, 0, Record("step"));
  AddHandler(m_child, EVENT_CREATE, 0, Record("create"));
  CInstance self(0, 0, 100001, m_child, false);
  Run_SetNewRoom(3);
  CallBuiltin("event_perform", &self, &self, {EVENT_STEP, 0});
  CallBuiltin("event_perform", &self, &self, {EVENT_CREATE, 0});  // not persistent
  EXPECT_TRUE(g_ran.empty());
  self.i_persistent = 1;
  CallBuiltin("event_perform_object", &self, &self, {static_cast<double>(m_child), EVENT_CREATE, 0});
  ASSERT_EQ(g_ran.size(), 1u);
  EXPECT_EQ(g_ran[0].handler, "create");
}

}  // namespace
