// With-blocks: which instances a selector chooses, in which order, and how self and other are
// saved and restored.
#include <string>
#include <vector>

#include "testlib/TestHelpers.h"
#include "VMTestSupport.h"
#include "code/VM_Format.h"
#include "object/Object_Class.h"
#include "object/Object_Main.h"
#include "room/Instance_Class.h"
#include "room/Room_Class.h"

namespace {

using namespace vmtest;

// The (self, other) ids each pass of a body saw; 0 for null.
std::vector<std::pair<int32_t, int32_t>> g_visits;
// Instances the "mark" built-in flags for destruction.
CInstance* g_toMark = nullptr;

void Visit(ScriptValue*, CInstance* self, CInstance* other, int32_t, ScriptValue*) {
  g_visits.emplace_back(self ? self->i_id : 0, other ? other->i_id : 0);
  if (g_toMark != nullptr) g_toMark->i_marked = 1;
}

class VMWith : public VMTest {
 protected:
  void SetUp() override {
    VMTest::SetUp();
    g_visits.clear();
    g_toMark = nullptr;
    RegisterBuiltinFunction("visit", Visit, 0);
    Room_SetLastInstanceId(100000);
    m_parent = testsupport::AddObject(-1);
    m_child = testsupport::AddObject(m_parent);
    m_other = testsupport::AddObject(-1);
    CurrentRoom = &m_room;
  }
  void TearDown() override {
    CurrentRoom = nullptr;
    m_room.DeleteActiveInstances();
    RelinkQueue.Reset();
    ActivationChangeList.Reset();
    VMTest::TearDown();
  }
  CInstance* Add(int32_t object) { return m_room.AddInstance(0, 0, object); }

  // Runs "with (selector) visit()" with self and other, then reports self and other afterwards.
  void RunWith(int32_t selector, CInstance* self, CInstance* other) {
    const std::string code = "push.i " + std::to_string(selector) +
                             "\n pushenv end\n body: call.i @visit 0\n popz.v\n end: popenv body\n"
                             " call.i @visit 0\n popz.v";
    RunResult r;
    Run(&r, code, self, other);
    EXPECT_EQ(r.error, "") << selector;
    ASSERT_FALSE(g_visits.empty());
    m_after = g_visits.back();
    g_visits.pop_back();
  }
  std::vector<int32_t> Selves() const {
    std::vector<int32_t> ids;
    for (const auto& v : g_visits) ids.push_back(v.first);
    return ids;
  }

  CRoom m_room;
  int32_t m_parent = -1, m_child = -1, m_other = -1;
  std::pair<int32_t, int32_t> m_after;
};

TEST_F(VMWith, AllVisitsFromTheLastFoundToTheFirst) {
  CInstance* a = Add(m_parent);
  CInstance* b = Add(m_child);
  CInstance* c = Add(m_other);
  CInstance self(0, 0, 100050, -1, false);
  CInstance other(0, 0, 100060, -1, false);
  RunWith(SEL_ALL, &self, &other);
  EXPECT_EQ(Selves(), (std::vector<int32_t>{c->i_id, b->i_id, a->i_id}));
  for (const auto& v : g_visits) EXPECT_EQ(v.second, self.i_id);
  EXPECT_EQ(m_after, std::make_pair(self.i_id, other.i_id));
}

TEST_F(VMWith, SelectorsChooseTheirInstances) {
  CInstance* a = Add(m_parent);
  CInstance* b = Add(m_child);
  CInstance* c = Add(m_child);
  CInstance* d = Add(m_other);
  CInstance* off = Add(m_child);
  off->i_deactivated = 1;
  CInstance* gone = Add(m_parent);
  gone->i_marked = 1;
  CInstance queued(0, 0, 100090, m_child, false);  // waiting in the relink queue
  RelinkQueue.Add(&queued);
  CInstance activated(0, 0, 100091, m_child, false);  // waiting in the activation-change list
  ActivationChangeList.Add(&activated);
  CInstance self(0, 0, 100050, -1, false);
  CInstance other(0, 0, 100060, -1, false);
  struct Row {
    int32_t selector;
    std::vector<int32_t> selves;
  };
  const std::vector<Row> rows = {
      // The parent object stands for its descendants; the queue (matched by object index only)
      // comes after the object's list.
      {m_parent, {c->i_id, b->i_id, a->i_id}},
      {m_child, {activated.i_id, queued.i_id, c->i_id, b->i_id}},
      {m_other, {d->i_id}},
      {d->i_id, {d->i_id}},
      {off->i_id, {}},
      {gone->i_id, {}},
      {SEL_NOONE, {}},
      {-8, {}},
      {-20, {}},
      {777, {}},
      {SEL_SELF, {self.i_id}},
      {SEL_NOT_SPECIFIED, {self.i_id}},
  };
  for (const Row& row : rows) {
    g_visits.clear();
    RunWith(row.selector, &self, &other);
    EXPECT_EQ(Selves(), row.selves) << row.selector;
    EXPECT_EQ(m_after, std::make_pair(self.i_id, other.i_id)) << row.selector;
  }
  // Two instances run in the order found.
  CInstance* e = Add(m_other);
  g_visits.clear();
  RunWith(m_other, &self, &other);
  EXPECT_EQ(Selves(), (std::vector<int32_t>{d->i_id, e->i_id}));
}

TEST_F(VMWith, OtherSwapsSelfAndOtherForTheBody) {
  CInstance self(0, 0, 100050, -1, false);
  CInstance other(0, 0, 100060, -1, false);
  RunWith(SEL_OTHER, &self, &other);
  ASSERT_EQ(g_visits.size(), 1u);
  EXPECT_EQ(g_visits[0], std::make_pair(other.i_id, self.i_id));
  EXPECT_EQ(m_after, std::make_pair(self.i_id, other.i_id));
}

TEST_F(VMWith, TheChosenSetIsFixedWhenTheBlockStarts) {
  CInstance* a = Add(m_parent);
  CInstance* b = Add(m_parent);
  CInstance* c = Add(m_parent);
  g_toMark = b;  // the first pass destroys an instance still to come
  RunWith(m_parent, nullptr, nullptr);
  EXPECT_EQ(Selves(), (std::vector<int32_t>{c->i_id, b->i_id, a->i_id}));
}

TEST_F(VMWith, LeavingEarlyAndNesting) {
  for (int i = 0; i < 5; ++i) Add(m_parent);
  CInstance self(0, 0, 100050, -1, false);
  CInstance other(0, 0, 100060, -1, false);
  // with (all) { visit(); break }: one pass, then the leaving form frees the list.
  RunResult r;
  Run(&r,
      "push.i -3\n pushenv end\n body: call.i @visit 0\n popz.v\n b leave\n end: popenv body\n b after\n"
      " leave: popenv break\n after: call.i @visit 0\n popz.v",
      &self, &other);
  EXPECT_EQ(r.error, "");
  ASSERT_EQ(g_visits.size(), 2u);
  EXPECT_EQ(g_visits[1], std::make_pair(self.i_id, other.i_id));
  // Nested blocks: 5 outer passes, each with 5 inner ones whose other is the outer self.
  g_visits.clear();
  RunResult nested;
  Run(&nested,
      "push.i -3\n pushenv e1\n b1: push.i -3\n pushenv e2\n b2: call.i @visit 0\n popz.v\n e2: popenv b2\n"
      " e1: popenv b1\n call.i @visit 0\n popz.v",
      &self, &other);
  EXPECT_EQ(nested.error, "");
  EXPECT_EQ(g_visits.size(), 26u);
  EXPECT_EQ(g_visits.back(), std::make_pair(self.i_id, other.i_id));
}

TEST_F(VMWith, ReturnAndExitInsideABlockReleaseIt) {
  for (int i = 0; i < 4; ++i) Add(m_parent);
  AddScript("inside", "push.i -3\n pushenv end\n body: push.e 7\n conv.i.v\n ret.v\n end: popenv body");
  CInstance self(0, 0, 100050, -1, false);
  RunResult r;
  Run(&r, "call.i @inside 0\n call.i @visit 0\n popz.v", &self);
  EXPECT_TRUE(r.IsReal(7));
  ASSERT_EQ(g_visits.size(), 1u);
  EXPECT_EQ(g_visits[0].first, self.i_id);
  RunResult exits;
  Run(&exits, "push.i -3\n pushenv end\n body: exit.i\n end: popenv body", &self);
  EXPECT_TRUE(exits.Untouched());
}

TEST_F(VMWith, GlobalAndLocalAreRefused) {
  struct Row {
    int32_t selector;
    const char* error;
  };
  const Row rows[] = {{SEL_GLOBAL, "Cannot use global in with statement"},
                      {SEL_LOCAL, "Cannot use local in with statement"}};
  for (const Row& row : rows) {
    RunResult r;
    Run(&r, "push.i " + std::to_string(row.selector) + "\n pushenv end\n end: popenv end");
    EXPECT_EQ(r.error, row.error);
    EXPECT_FALSE(r.completed);
  }
  RunResult damaged;
  Run(&damaged, "push.i 12345\n push.i 0\n push.i 0\n popenv 1");
  EXPECT_EQ(damaged.error, "DoPopEnv :: Execution Error - with-block record damaged");
}

}  // namespace
