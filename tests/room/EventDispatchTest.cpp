// Event dispatch: handler search through parents, the current event while a handler runs, the
// nesting limit, the room-change rule, the walk of an event phase and time-line moments.
#include <string>

#include "code/Code_Main.h"
#include "room/Event_Class.h"
#include "room/Event_Dispatch.h"
#include "room/Instance_Variables.h"
#include "room/WorldFixture.h"

namespace {

using testsupport::AddHandler;
using testsupport::AddObject;
using testsupport::ErrorRecorder;

// What a handler saw when it ran.
struct Seen {
  int32_t self;
  int32_t other;
  int32_t object;
  int32_t type;
  int32_t number;
  bool operator==(const Seen& o) const {
    return self == o.self && other == o.other && object == o.object && type == o.type && number == o.number;
  }
};
std::vector<Seen> g_seen;

class EventDispatchTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    g_seen.clear();
  }
};

CodeNativeFunction Record() {
  return [](CInstance* self, CInstance* other, ScriptValue*) {
    g_seen.push_back({self != nullptr ? self->i_id : -1, other != nullptr ? other->i_id : -1, Event_GetObject(),
                      Event_GetType(), Event_GetNumber()});
  };
}

std::vector<int32_t> SeenSelves() {
  std::vector<int32_t> ids;
  for (const Seen& s : g_seen) ids.push_back(s.self);
  return ids;
}

TEST_F(EventDispatchTest, HandlersAreFoundThroughParentsAndRunAsTheObjectThatHoldsThem) {
  // grand <- parent <- child; otherParent <- other.
  const int32_t grand = AddObject();
  const int32_t parent = AddObject(grand);
  const int32_t child = AddObject(parent);
  const int32_t otherParent = AddObject();
  const int32_t other = AddObject(otherParent);
  AddHandler(parent, EVENT_STEP, 0, Record());
  AddHandler(grand, EVENT_STEP, 1, Record());
  AddHandler(parent, EVENT_COLLISION, otherParent, Record());
  CInstance self(0, 0, 100001, child, false);
  CInstance hit(0, 0, 100002, other, false);

  const struct {
    const char* what;
    int32_t self;
    int32_t kind;
    int32_t number;
    bool runs;
    int32_t object;  // event_object while it runs
  } cases[] = {
      {"inherited step", child, EVENT_STEP, 0, true, parent},
      {"from the grandparent", child, EVENT_STEP, 1, true, grand},
      {"collision with a child of the handled object", child, EVENT_COLLISION, other, true, parent},
      {"collision with the handled object", child, EVENT_COLLISION, otherParent, true, parent},
      {"no handler", child, EVENT_STEP, 2, false, 0},
      {"handlers are not inherited downwards", grand, EVENT_STEP, 0, false, 0},
      {"no collision with an unrelated object", child, EVENT_COLLISION, grand, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    g_seen.clear();
    self.i_objindex = c.self;
    Event_SetObject(7);
    Event_SetType(8);
    Event_SetNumber(9);
    PerformInstanceEvent(&self, &hit, c.kind, c.number);
    if (c.runs) {
      // A collision keeps the other object's index as its number, whichever handler ran.
      EXPECT_EQ(g_seen, (std::vector<Seen>{{100001, 100002, c.object, c.kind, c.number}}));
    } else {
      EXPECT_TRUE(g_seen.empty());
    }
    EXPECT_EQ(Event_GetObject(), 7);
    EXPECT_EQ(Event_GetType(), 8);
    EXPECT_EQ(Event_GetNumber(), 9);
    EXPECT_EQ(Event_GetNesting(), 0);
  }
  int32_t found = -1;
  EXPECT_EQ(FindEventHandler(child, EVENT_STEP, 1, &found), Object_Find(grand)->GetEvent(EVENT_STEP, 1));
  EXPECT_EQ(found, grand);
  EXPECT_EQ(FindEventHandler(child, EVENT_STEP, 2, &found), nullptr);
  EXPECT_EQ(found, child);
  EXPECT_EQ(FindEventHandler(99, EVENT_STEP, 0, &found), nullptr);
}

TEST_F(EventDispatchTest, AHandlerSearchThroughAParentLoopEnds) {
  // Links set by hand into a loop, as no loader or built-in can make them.
  const int32_t a = AddObject();
  const int32_t b = AddObject();
  const int32_t c = AddObject();
  Object_Find(a)->m_Parent = Object_Find(b);
  Object_Find(b)->m_Parent = Object_Find(a);
  Object_Find(c)->m_Parent = Object_Find(c);
  AddHandler(b, EVENT_STEP, 1, Record());
  int32_t found = -1;
  EXPECT_EQ(FindEventHandler(a, EVENT_STEP, 0, &found), nullptr);
  EXPECT_EQ(FindEventHandler(a, EVENT_COLLISION, c, &found), nullptr);
  EXPECT_EQ(FindEventHandler(c, EVENT_COLLISION, a, &found), nullptr);
  EXPECT_NE(FindEventHandler(a, EVENT_STEP, 1, &found), nullptr);
  EXPECT_EQ(found, b);
}

TEST_F(EventDispatchTest, TheThirtyThirdNestedEventIsRefusedOnceAndTheCountStaysBalanced) {
  ErrorRecorder errors;
  const int32_t object = AddObject();
  int32_t runs = 0;
  int32_t deepest = 0;
  AddHandler(object, EVENT_OTHER, 10, [&](CInstance* self, CInstance* other, ScriptValue*) {
    ++runs;
    deepest = std::max(deepest, Event_GetNesting());
    PerformEvent(self, other, object, EVENT_OTHER, 10);  // event_perform of itself
  });
  CInstance self(0, 0, 100001, object, false);
  PerformEvent(&self, &self, object, EVENT_OTHER, 10);
  EXPECT_EQ(runs, 32);
  EXPECT_EQ(deepest, 32);
  EXPECT_EQ(Event_GetNesting(), 0);
  EXPECT_EQ(errors.errors(),
            (std::vector<ErrorRecorder::Error>{
                {"PerformEvent recursion depth failure - check for infinite loops, check objects for parenting", true}}));
}

TEST_F(EventDispatchTest, ARoomChangeHoldsBackAllButPersistentCreateEvents) {
  const int32_t plain = AddObject();
  const int32_t lasting = AddObject(plain);
  Object_Find(lasting)->m_Flags |= kObjectPersistent;
  CRoom* room = Room();
  CInstance* marked = room->AddInstance(0, 0, plain);
  CInstance* deactivated = room->AddInstance(0, 0, plain);
  CInstance* first = room->AddInstance(0, 0, plain);
  CInstance* changer = room->AddInstance(0, 0, plain);
  CInstance* after = room->AddInstance(0, 0, plain);
  CInstance* persistent = room->AddInstance(0, 0, lasting);
  marked->i_marked = 1;
  deactivated->i_deactivated = 1;
  (void)after;  // after the change: reached by nothing
  for (int32_t kind : {EVENT_CREATE, EVENT_STEP}) {
    AddHandler(plain, kind, 0, [changer](CInstance* self, CInstance* other, ScriptValue* result) {
      Record()(self, other, result);
      if (self == changer) Run_SetNewRoom(3);
    });
  }

  const struct {
    int32_t kind;
    bool pendingAtStart;
    std::vector<int32_t> reached;
  } cases[] = {
      {EVENT_CREATE, false, {first->i_id, changer->i_id, persistent->i_id}},
      {EVENT_STEP, false, {first->i_id, changer->i_id}},
      {EVENT_CREATE, true, {}},  // nothing starts while a change is pending
      {EVENT_STEP, true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + (c.pendingAtStart ? " pending" : ""));
    g_seen.clear();
    Run_SetNewRoom(c.pendingAtStart ? 0 : kNewRoomNone);  // room index 0 is a room change too
    PerformEventAll(c.kind, 0);
    EXPECT_EQ(SeenSelves(), c.reached);
  }

  // One instance at a time: only a persistent instance's create event passes a pending change;
  // PerformEvent itself does not look.
  Run_SetNewRoom(0);
  const struct {
    CInstance* self;
    int32_t kind;
    bool runs;
  } single[] = {{persistent, EVENT_CREATE, true}, {persistent, EVENT_STEP, false}, {first, EVENT_CREATE, false}};
  for (const auto& c : single) {
    for (int32_t entry = 0; entry < 3; ++entry) {
      g_seen.clear();
      if (entry == 0) PerformInstanceEvent(c.self, c.self, c.kind, 0);
      if (entry == 1) PerformObjectEvent(c.self, c.self, plain, c.kind, 0);
      if (entry == 2) PerformEvent(c.self, c.self, plain, c.kind, 0);
      EXPECT_EQ(g_seen.size(), (c.runs || entry == 2) ? 1u : 0u) << c.self->i_id << " " << c.kind << " " << entry;
    }
  }
  PerformInstanceEvent(nullptr, nullptr, EVENT_CREATE, 0);  // no self: nothing

  // A new pass starts with no change pending, and events run.
  InitRunGlobals();
  EXPECT_EQ(Run_GetNewRoom(), kNewRoomNone);
  g_seen.clear();
  PerformInstanceEvent(first, first, EVENT_STEP, 0);
  EXPECT_EQ(g_seen.size(), 1u);
}

TEST_F(EventDispatchTest, AnEventPhaseWalksTheListedObjectsAndSkipsNewerInstances) {
  const int32_t parent = AddObject();
  const int32_t a = AddObject(parent);
  const int32_t b = AddObject(parent);
  const int32_t gone = AddObject(parent);
  const int32_t quiet = AddObject();
  CRoom* room = Room();
  CInstance* b1 = room->AddInstance(0, 0, b);
  CInstance* a1 = room->AddInstance(0, 0, a);
  CInstance* a2 = room->AddInstance(0, 0, a);
  CInstance* marked = room->AddInstance(0, 0, a);
  CInstance* deactivated = room->AddInstance(0, 0, b);
  CInstance* g1 = room->AddInstance(0, 0, gone);
  CInstance* g2 = room->AddInstance(0, 0, gone);
  room->AddInstance(0, 0, quiet);
  marked->i_marked = 1;
  deactivated->i_deactivated = 1;
  int32_t made = 0;
  AddHandler(parent, EVENT_STEP, 0, [&](CInstance* self, CInstance* other, ScriptValue* result) {
    Record()(self, other, result);
    if (self == a1 && made == 0) made = room->AddInstance(0, 0, b)->i_id;
    // Deleting the object being walked ends the walk over its instances.
    if (self == g1) Object_Delete(gone);
    // Rebuilding the lists while a phase walks them does not disturb the walk.
    ObjectLists_Build();
  });
  ObjectLists_Build();

  Event_DispatchObjectList(EVENT_STEP, 0);
  EXPECT_EQ(SeenSelves(), (std::vector<int32_t>{a1->i_id, a2->i_id, b1->i_id, g1->i_id}));
  for (const Seen& s : g_seen) EXPECT_EQ(s.self, s.other);
  // The instance made during that dispatch takes part in the next one.
  g_seen.clear();
  Event_DispatchObjectList(EVENT_STEP, 0);
  EXPECT_EQ(SeenSelves(), (std::vector<int32_t>{a1->i_id, a2->i_id, b1->i_id, made}));
  g_seen.clear();
  Event_DispatchObjectList(EVENT_STEP, 1);  // no object listed
  EXPECT_TRUE(g_seen.empty());
  (void)g2;
}

TEST_F(EventDispatchTest, ATimeLineMomentRunsAsEventTypeOneHundredThousand) {
  const int32_t line = TimeLine_Add();
  const int32_t other = TimeLine_Add();
  const int32_t script = Script_Add("moment");
  CCode* code = CCode::FromNative([](CInstance* self, CInstance* other, ScriptValue* result) {
    Record()(self, other, result);
    EXPECT_EQ(Event_GetNesting(), 0);  // moments are not nested events
  });
  Script_SetCode(script, code);
  TimeLine_Data(line)->AddScriptMoment(7, script);
  TimeLine_Data(line)->AddScriptMoment(12, script);
  CInstance self(0, 0, 100001, -1, false);
  CInstance hit(0, 0, 100002, -1, false);
  Event_SetObject(1);
  Event_SetType(2);
  Event_SetNumber(3);

  const struct {
    int32_t line;
    int32_t moment;
    bool pending;
    std::vector<Seen> seen;
  } cases[] = {
      {line, 1, false, {{100001, 100002, line, 100000, 12}}},
      {line, 0, false, {{100001, 100002, line, 100000, 7}}},
      {line, 2, false, {}},
      {line, -1, false, {}},
      {other, 0, false, {}},  // a time line without moments
      {99, 0, false, {}},
      {line, 0, true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.line) + " " + std::to_string(c.moment));
    g_seen.clear();
    Run_SetNewRoom(c.pending ? 4 : kNewRoomNone);
    PerformTimelineEvent(&self, &hit, c.line, c.moment);
    EXPECT_EQ(g_seen, c.seen);
    EXPECT_EQ(Event_GetObject(), 1);
    EXPECT_EQ(Event_GetType(), 2);
    EXPECT_EQ(Event_GetNumber(), 3);
  }
  delete code;
}

TEST_F(EventDispatchTest, AHandlerRunsWithArgumentRelativeClearedOnEitherEngine) {
  const int32_t object = AddObject();
  std::vector<bool> relative;
  CEvent* handler = AddHandler(object, EVENT_STEP, 0,
                               [&](CInstance*, CInstance*, ScriptValue*) { relative.push_back(ActionRelative); });
  CInstance self(0, 0, 100001, object, false);
  const bool savedEngine = UseVM;
  for (bool vm : {true, false}) {
    UseVM = vm;
    ActionRelative = true;
    handler->Execute(&self, &self);
    EXPECT_TRUE(ActionRelative);
  }
  UseVM = savedEngine;
  ActionRelative = false;
  EXPECT_EQ(relative, (std::vector<bool>{false, false}));
}

}  // namespace
