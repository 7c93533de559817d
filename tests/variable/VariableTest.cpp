#include "variable/Variable_Main.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "buffer/Buffer_Standard.h"
#include "code/Code_Error.h"
#include "object/Object_Class.h"
#include "object/Object_Main.h"
#include "option/Option_Main.h"
#include "platform/MemoryManager.h"
#include "room/Instance_Class.h"
#include "room/Instance_Variables.h"
#include "room/Room_Class.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"
#include "variable/Variable_Names.h"

using namespace testsupport;
using ::testing::HasSubstr;

namespace {

using testsupport::Str;

std::string Printed(const ScriptValue& v) {
  RecordingConsole console;
  PrintValue(&console, &v);
  return console.Text();
}

// An exact-size fixed buffer holding the bytes written so far to `from`, positioned at 0, as a
// saved game read from a file would be.
std::unique_ptr<IBuffer> Exact(IBuffer* from, int32_t cut = 0) {
  const int size = from->GetUsedSize() - cut;
  auto buffer = std::make_unique<Buffer_Standard>(size, BUFFER_FIXED, 1);
  if (size > 0) std::memcpy(buffer->GetData(), from->GetData(), static_cast<size_t>(size));
  return buffer;
}

void WriteS32(IBuffer* b, int32_t n) {
  const double d = n;
  ASSERT_EQ(b->Write(BUFFER_S32, &d), 0);
}

int32_t S32At(IBuffer* b, int offset) {
  int32_t v;
  std::memcpy(&v, b->GetData() + offset, sizeof(v));
  return v;
}

// A built-in variable backed by plain storage, to watch what the accessors receive.
struct Probe {
  CInstance* self = nullptr;
  int32_t index = 0;
  double stored = 0;
  int calls = 0;
};
Probe g_probe;

bool ProbeGet(CInstance* self, int32_t index, ScriptValue* out) {
  g_probe = {self, index, g_probe.stored, g_probe.calls + 1};
  SetReal(out, g_probe.stored);
  return true;
}

bool ProbeSet(CInstance* self, int32_t index, const ScriptValue* value) {
  g_probe = {self, index, value->real, g_probe.calls + 1};
  return true;
}

// Every test starts with a fresh runtime (an empty built-in table), a fresh global list and no
// room, and must give back every memory-manager block it took: once the runtime is reset after
// it (the free nodes and the user names released too), as many blocks are held as before it.
class VariableTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    m_blocks = MemoryManager::BlockCount.load();
    m_oldConsole = DebugConsole;
    DebugConsole = &m_console;
    InitGlobalVariables();
    g_probe = Probe{};
  }
  void TearDown() override {
    delete CurrentRoom;
    CurrentRoom = nullptr;
    RelinkQueue.Reset();
    ActivationChangeList.Reset();
    DebugConsole = m_oldConsole;
    RuntimeTest::TearDown();
    EXPECT_EQ(MemoryManager::BlockCount.load(), m_blocks) << "memory-manager blocks leaked";
  }

  RecordingConsole m_console;

 private:
  int32_t m_blocks = 0;
  tagIConsole* m_oldConsole = nullptr;
};

// ---- Names and ids ----

TEST_F(VariableTest, BuiltinIdsComeFirstAndUserIdsFollowInFirstSeenOrder) {
  RegisterBuiltinVariable("ids_alpha", ProbeGet, nullptr);
  RegisterBuiltinVariable("ids_beta", ProbeGet, ProbeSet);
  EXPECT_EQ(g_Variables.builtins[0].canSet, 0);
  EXPECT_EQ(g_Variables.builtins[1].canSet, 1);

  for (int i = 0; i < 3; ++i) EXPECT_EQ(GetVariableId("ids_beta"), 1);
  EXPECT_EQ(FindBuiltinVariable("IDS_BETA"), -1);

  const int32_t next = kUserVariableBase + UserVariableCount();
  EXPECT_EQ(FindUserVariable("ids_X"), -1);
  EXPECT_EQ(GetVariableId("ids_X"), next);
  EXPECT_EQ(GetVariableId("ids_x"), next + 1);
  EXPECT_EQ(GetVariableId("ids_X"), next);
  EXPECT_EQ(FindUserVariable("ids_x"), next + 1);
  EXPECT_EQ(GetVariableId(nullptr), -1);

  struct Case {
    int32_t id;
    const char* name;
  };
  const Case cases[] = {
      {0, "ids_alpha"},
      {2, "<unknown built-in variable>"},
      {-1, "<unknown built-in variable>"},
      {99999, "<unknown built-in variable>"},
      {next + 1, "ids_x"},
      {kUserVariableBase + UserVariableCount(), "<unknown variable>"},
  };
  for (const Case& c : cases) EXPECT_STREQ(VariableName(c.id), c.name) << c.id;
}

TEST_F(VariableTest, TheFiveHundredAndFirstRegistrationIsRefusedWithAMessage) {
  MessageBoxRecorder boxes;
  char name[32];
  for (int i = 0; i < kMaxBuiltinVariables; ++i) {
    std::snprintf(name, sizeof(name), "full_%d", i);
    RegisterBuiltinVariable(name, ProbeGet, nullptr);
  }
  EXPECT_TRUE(boxes.boxes().empty());
  RegisterBuiltinVariable("one_too_many", ProbeGet, ProbeSet);
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text, "INTERNAL ERROR: Adding too many variables");
  EXPECT_EQ(g_Variables.builtinCount, kMaxBuiltinVariables);
  EXPECT_EQ(FindBuiltinVariable("one_too_many"), -1);
  EXPECT_EQ(FindBuiltinVariable("full_499"), 499);

  // Start-up empties the table before registering again, so the registrars number their
  // variables from 0 and nothing of the earlier table is left.
  InitBuiltinVariables();
  const int32_t registered = g_Variables.builtinCount;
  EXPECT_EQ(FindBuiltinVariable("full_0"), -1);
  EXPECT_EQ(FindBuiltinVariable("x"), 0);
  RegisterBuiltinVariable("again", ProbeGet, nullptr);
  EXPECT_EQ(FindBuiltinVariable("again"), registered);
}

// ---- Built-in accessors ----

TEST_F(VariableTest, BuiltinAccessorsGetTheInstanceAndIndexAndMissingOnesAreRefused) {
  RegisterBuiltinVariable("acc_rw", ProbeGet, ProbeSet);
  RegisterBuiltinVariable("acc_ro", ProbeGet, nullptr);
  RegisterBuiltinVariable("acc_none", nullptr, nullptr);
  CInstance self(0, 0, 0, 0, false);

  const ScriptValue seven = RealValue(7);
  EXPECT_TRUE(SetInstanceVariable(&self, 0, 32001, &seven));
  EXPECT_EQ(g_probe.self, &self);
  EXPECT_EQ(g_probe.index, 32001);
  ScriptValue out = RealValue(0);
  EXPECT_TRUE(GetInstanceVariable(&self, 0, kWholeValueIndex, &out));
  EXPECT_EQ(out.real, 7);
  EXPECT_EQ(g_probe.index, kWholeValueIndex);

  // Read-only, no accessor at all, or an id past the registered entries: false, nothing called.
  const int calls = g_probe.calls;
  EXPECT_FALSE(SetInstanceVariable(&self, 1, kWholeValueIndex, &seven));
  for (int32_t id : {2, 3, 9999, -1, INT32_MIN}) {
    SCOPED_TRACE(id);
    EXPECT_FALSE(SetInstanceVariable(&self, id, kWholeValueIndex, &seven));
    EXPECT_FALSE(GetInstanceVariable(&self, id, kWholeValueIndex, &out));
  }
  EXPECT_EQ(g_probe.calls, calls);
  // The instance's own list was not touched by any of that.
  EXPECT_EQ(self.i_variables->m_Count, 0);
}

// ---- Lists ----

TEST_F(VariableTest, AnUnsetVariableReadsAsZeroOrFailsWithTheMarkerValue) {
  CInstance self(0, 0, 0, 0, false);
  const int32_t id = GetVariableId("uninit_v");
  ScriptValue out = Str("held before");  // released by the read

  g_Variables.arrayIndexError.flag = 1;
  g_Variables.instanceMissing = 1;
  EXPECT_TRUE(GetInstanceVariable(&self, id, kWholeValueIndex, &out));
  EXPECT_EQ(out.Kind(), VALUE_REAL);
  EXPECT_EQ(out.real, 0);
  EXPECT_EQ(g_Variables.arrayIndexError.flag, 0);
  EXPECT_EQ(g_Variables.instanceMissing, 0);

  g_Options.uninitialisedVariables = true;
  EXPECT_FALSE(GetInstanceVariable(&self, id, kWholeValueIndex, &out));
  EXPECT_EQ(out.real, 12345678.9);

  // An assigned variable reads normally whatever the option says.
  const ScriptValue five = RealValue(5);
  EXPECT_TRUE(SetInstanceVariable(&self, id, kWholeValueIndex, &five));
  EXPECT_TRUE(GetInstanceVariable(&self, id, kWholeValueIndex, &out));
  EXPECT_EQ(out.real, 5);
}

TEST_F(VariableTest, ElementAccessGoesThroughTheArrayRoutines) {
  CVariableList list;
  const ScriptValue five = RealValue(5);
  EXPECT_TRUE(list.Set(300000, 2 * kArrayRowStride + 3, &five));
  ScriptValue out = RealValue(0);
  EXPECT_TRUE(list.Get(300000, 2 * kArrayRowStride + 3, &out));
  EXPECT_EQ(out.real, 5);
  EXPECT_FALSE(list.Get(300000, 7 * kArrayRowStride, &out));
  EXPECT_EQ(g_Variables.arrayIndexError.flag, 1);
  EXPECT_FALSE(list.Set(300000, -1, &five));
  EXPECT_EQ(g_Variables.arrayIndexError.flag, 1);
  EXPECT_TRUE(list.Set(300000, 0, &five));  // a good write clears the flag
  EXPECT_EQ(g_Variables.arrayIndexError.flag, 0);

  // The instance-level write answers true whatever the element write gave.
  CInstance self(0, 0, 0, 0, false);
  EXPECT_TRUE(SetInstanceVariable(&self, 300000, -1, &five));
  EXPECT_EQ(g_Variables.arrayIndexError.flag, 1);
}

TEST_F(VariableTest, ListsIterateByBucketNewestFirstAndRecycleTheirNodes) {
  // 200,000 and 200,064 share bucket 0; 200,001 is in bucket 1.
  CVariableList list;
  const int32_t named = GetVariableId("order_named");
  for (int32_t id : {200001, 200000, 200064}) {
    const ScriptValue v = RealValue(id - 200000);
    list.Set(id, kWholeValueIndex, &v);
  }
  ScriptValue text = Str("hi");
  list.Set(named, kWholeValueIndex, &text);
  ReleaseValue(&text);
  EXPECT_EQ(list.FindOrAdd(200000), list.FindOrAdd(200000));
  EXPECT_EQ(list.m_Count, 4);
  EXPECT_TRUE(list.Exists(200064));
  EXPECT_FALSE(list.Exists(200128));

  RecordingConsole dump;
  list.Dump(&dump);
  std::string expected;
  const int32_t namedBucket = named % 64;
  auto line = [](const char* name, int32_t id, const char* value) {
    return std::string(name) + "(" + std::to_string(id) + ") = " + value + "\n";
  };
  // Newest first; a stable sort by bucket then gives the iteration order.
  std::vector<std::pair<int32_t, std::string>> lines = {
      {namedBucket, line("order_named", named, "\"hi\"")},
      {0, line("<unknown variable>", 200064, "64")},
      {0, line("<unknown variable>", 200000, "0")},
      {1, line("<unknown variable>", 200001, "1")},
  };
  std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& l : lines) expected += l.second;
  EXPECT_EQ(dump.Text(), expected);

  // A copy is independent: its string and array are its own.
  const ScriptValue one = RealValue(1);
  list.Set(200002, 0, &one);
  CVariableList copy;
  copy.CopyFrom(&list);
  EXPECT_EQ(copy.m_Count, 5);
  const ScriptValue nine = RealValue(9);
  copy.Set(200002, 0, &nine);
  copy.Set(named, kWholeValueIndex, &nine);
  ScriptValue out = RealValue(0);
  EXPECT_TRUE(list.Get(200002, 0, &out));
  EXPECT_EQ(out.real, 1);
  EXPECT_TRUE(list.Get(named, kWholeValueIndex, &out));
  ASSERT_EQ(out.Kind(), VALUE_STRING);
  EXPECT_STREQ(out.str, "hi");
  ReleaseValue(&out);

  // Clearing gives every node to the free list; new variables take them back before the heap.
  const int32_t freeBefore = VariableNodeFreeCount();
  copy.Clear();
  EXPECT_EQ(copy.m_Count, 0);
  EXPECT_EQ(copy.m_LastAdded, nullptr);
  EXPECT_EQ(VariableNodeFreeCount(), freeBefore + 5);
  const int32_t blocks = MemoryManager::BlockCount.load();
  for (int32_t id = 0; id < 5; ++id) copy.FindOrAdd(400000 + id);
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
  EXPECT_EQ(VariableNodeFreeCount(), freeBefore);
  for (VariableNode* n = copy.m_LastAdded; n != nullptr; n = n->chainNext) {
    EXPECT_EQ(n->value.Kind(), VALUE_REAL);
    EXPECT_EQ(n->value.real, 0);
  }
}

// ---- Printing ----

TEST_F(VariableTest, PrintValueForms) {
  ScriptValue ptr{};
  ptr.kind = VALUE_PTR;
  ptr.ptr = nullptr;
  ScriptValue i64{};
  i64.kind = VALUE_INT64;
  i64.i64 = -12345678901LL;
  ScriptValue i32{};
  i32.kind = VALUE_INT32;
  i32.i32 = -7;
  ScriptValue undefined{};
  SetUndefined(&undefined);
  ScriptValue unknown{};
  unknown.kind = 9;
  ScriptValue noArray{};
  noArray.kind = VALUE_ARRAY;
  ScriptValue nullText{};
  nullText.kind = VALUE_STRING;

  struct Case {
    ScriptValue value;
    const char* text;
  };
  const Case cases[] = {
      {RealValue(3.0), "3"},
      {RealValue(-2147483648.0), "-2147483648"},
      {RealValue(2147483648.0), "2147483648.000000"},
      {RealValue(2.5), "2.500000"},
      {RealValue(-0.0), "0"},
      {i64, "-12345678901"},
      {i32, "-7"},
      {undefined, "undefined"},
      {ptr, "(nil)"},
      {unknown, ""},
      {noArray, "{  }"},
      {nullText, "\"\""},
  };
  for (const Case& c : cases) EXPECT_EQ(Printed(c.value), c.text);

  ScriptValue text = Str("a b");
  EXPECT_EQ(Printed(text), "\"a b\"");
  ReleaseValue(&text);

  // Rows of 1,2 and 3; then an array of 31 rows whose first row has 31 elements.
  ScriptValue small = RealValue(0);
  const ScriptValue values[] = {RealValue(1), RealValue(2), RealValue(3)};
  SetValueElement(&small, &values[0], 0);
  SetValueElement(&small, &values[1], 1);
  SetValueElement(&small, &values[2], kArrayRowStride);
  EXPECT_EQ(Printed(small), "{ { 1 ,2},  { 3},   }");
  ReleaseValue(&small);

  ScriptValue big = RealValue(0);
  SetValueElement(&big, &values[0], 30);
  SetValueElement(&big, &values[1], 30 * kArrayRowStride);
  std::string expected = "{ { 0";
  for (int i = 1; i < 30; ++i) expected += " ,0";
  expected += " ... },  ";
  for (int r = 1; r < 30; ++r) expected += "{ },  ";
  expected += " ...  }";
  EXPECT_EQ(Printed(big), expected);
  ReleaseValue(&big);
}

TEST_F(VariableTest, PrintValueStopsAtTheNestingLimit) {
  // A chain of 1,100 arrays, each the only element of the next, around 7.
  ScriptValue chain = RealValue(7);
  for (int i = 0; i < 1100; ++i) {
    ScriptValue outer{};
    SetValueElement(&outer, &chain, 0);
    ReleaseValue(&chain);
    chain = outer;
  }
  std::string expected = "{ ... }";
  for (int depth = 0; depth < kMaxValueNesting; ++depth) expected = "{ { " + expected + "},   }";
  const std::string printed = Printed(chain);
  EXPECT_TRUE(printed == expected) << printed.substr(0, 200);
  ReleaseValue(&chain);
}

// ---- Access through targets ----

// Objects: parent (0), child of the parent (1), unrelated (2). Instances in the current room:
// p (parent, depth 10), c (child, depth 0), o (unrelated, depth 5); each holds its own tag in the
// variable "who".
class TargetTest : public VariableTest {
 protected:
  void SetUp() override {
    VariableTest::SetUp();
    m_who = GetVariableId("target_who");
    testsupport::AddObject(-1);
    testsupport::AddObject(kParent);
    testsupport::AddObject(-1);
    Room_SetLastInstanceId(100000);
    CurrentRoom = new CRoom();
    p = Add(kParent, 10, 1);
    c = Add(kChild, 0, 2);
    o = Add(kOther, 5, 3);
  }

  CInstance* Add(int32_t object, float depth, double tag) {
    CInstance* instance = new CInstance(0, 0, 0, object, true);
    instance->i_depth = depth;
    Room_SetLastInstanceId(Room_GetLastInstanceId() + 1);
    instance->i_id = Room_GetLastInstanceId();
    CurrentRoom->m_Active.Insert(instance);
    InstanceIdMap.Insert(instance->i_id, instance);
    Tag(instance, tag);
    return instance;
  }
  void Tag(CInstance* instance, double tag) {
    const ScriptValue v = RealValue(tag);
    instance->i_variables->Set(m_who, kWholeValueIndex, &v);
  }
  double TagOf(CInstance* instance) {
    ScriptValue out = RealValue(0);
    EXPECT_TRUE(instance->i_variables->Get(m_who, kWholeValueIndex, &out));
    return out.real;
  }
  // The tag of the instance a read through `target` reaches; 0 when the read fails.
  double Read(int32_t target) {
    ScriptValue out = RealValue(-1);
    if (!GetVariable(target, m_who, kWholeValueIndex, &out)) {
      EXPECT_EQ(g_Variables.instanceMissing, 1) << target;
      return 0;
    }
    EXPECT_EQ(g_Variables.instanceMissing, 0) << target;
    return out.real;
  }
  bool Write(int32_t target, double value) {
    const ScriptValue v = RealValue(value);
    return SetVariable(target, m_who, kWholeValueIndex, &v);
  }

  static constexpr int32_t kParent = 0;
  static constexpr int32_t kChild = 1;
  static constexpr int32_t kOther = 2;
  int32_t m_who = 0;
  CInstance* p = nullptr;
  CInstance* c = nullptr;
  CInstance* o = nullptr;
};

TEST_F(TargetTest, ReadsResolveEveryKindOfTarget) {
  struct Case {
    int32_t target;
    double tag;  // 0: no instance
  };
  const Case cases[] = {
      {kTargetAll, 2},  // the lowest depth comes first in the active list
      {kParent, 1},     // the parent's own instance was added before the child's
      {kChild, 2},      {kOther, 3},       {3, 0},          {99999, 0},
      {p->i_id, 1},     {o->i_id, 3},      {999999, 0},
      {kTargetSelf, 0}, {kTargetOther, 0}, {kTargetNoone, 0}, {kTargetGlobal, 0},
      {kTargetNotSpecified, 0}, {kTargetLocal, 0}, {-8, 0},
  };
  for (const Case& k : cases) EXPECT_EQ(Read(k.target), k.tag) << "target " << k.target;

  // A built-in variable read through a target reaches its getter with the instance found.
  RegisterBuiltinVariable("probe", ProbeGet, ProbeSet);
  ScriptValue out = RealValue(0);
  EXPECT_TRUE(GetVariable(o->i_id, 0, 5, &out));
  EXPECT_EQ(g_probe.self, o);
  EXPECT_EQ(g_probe.index, 5);
}

TEST_F(TargetTest, ReadsSkipMarkedAndDeactivatedInstancesExceptByIdForDeactivated) {
  p->i_marked = 1;
  c->i_deactivated = 1;
  EXPECT_EQ(Read(kTargetAll), 3);
  EXPECT_EQ(Read(kParent), 0);
  EXPECT_EQ(Read(kChild), 0);
  EXPECT_EQ(Read(p->i_id), 0);  // marked for destruction: gone
  EXPECT_EQ(Read(c->i_id), 2);  // deactivated: still there by id

  o->i_deactivated = 1;
  EXPECT_EQ(Read(kTargetAll), 0);

  // An instance whose object changed this step is found through the relink queue, an instance
  // activated this step (still in the deactivated list, outside every object list) through the
  // activation-change list; the relink queue is asked first.
  CInstance changed(0, 0, 0, kOther, true);
  Tag(&changed, 4);
  changed.i_objindex = kParent;
  CInstance activated(0, 0, 0, kParent, false);
  Tag(&activated, 5);
  CInstance stillDeactivated(0, 0, 0, kParent, false);
  stillDeactivated.i_deactivated = 1;
  CurrentRoom->m_Deactivated.Append(&stillDeactivated);
  CurrentRoom->m_Deactivated.Append(&activated);
  ActivationChangeList.Add(&stillDeactivated);
  ActivationChangeList.Add(&activated);
  EXPECT_EQ(Read(kParent), 5);
  RelinkQueue.Add(&changed);
  EXPECT_EQ(Read(kParent), 4);
  EXPECT_EQ(Read(kOther), 4);  // still in its old object's lists until the relink

  CurrentRoom->m_Deactivated = ActiveList{};
}

TEST_F(TargetTest, WritesReachEveryInstanceTheTargetStandsFor) {
  CInstance changed(0, 0, 0, kOther, true);
  changed.i_objindex = kParent;
  RelinkQueue.Add(&changed);
  CInstance changedToChild(0, 0, 0, kOther, true);
  changedToChild.i_objindex = kChild;
  RelinkQueue.Add(&changedToChild);
  CInstance activated(0, 0, 0, kParent, false);
  ActivationChangeList.Add(&activated);

  // The parent's instance, its child's, and the queued instance now of the parent itself; a
  // queued instance matches only its exact object index.
  EXPECT_TRUE(Write(kParent, 10));
  EXPECT_EQ(TagOf(p), 10);
  EXPECT_EQ(TagOf(c), 10);
  EXPECT_EQ(TagOf(&changed), 10);
  EXPECT_EQ(TagOf(&changedToChild), 0);
  EXPECT_EQ(TagOf(o), 3);
  EXPECT_EQ(TagOf(&activated), 0);  // the activation-change list is not searched for writes

  c->i_deactivated = 1;
  EXPECT_TRUE(Write(kTargetAll, 20));
  EXPECT_EQ(TagOf(p), 20);
  EXPECT_EQ(TagOf(o), 20);
  EXPECT_EQ(TagOf(c), 10);

  EXPECT_TRUE(Write(c->i_id, 30));  // deactivated but not destroyed
  EXPECT_EQ(TagOf(c), 30);

  // Targets the callers resolve give false without a word.
  MessageBoxRecorder boxes;
  for (int32_t target : {kTargetSelf, kTargetOther, kTargetNoone, kTargetGlobal, kTargetNotSpecified, kTargetLocal, -8}) {
    EXPECT_FALSE(Write(target, 40)) << target;
  }
  EXPECT_TRUE(boxes.boxes().empty());

  // The answer is the last instance write's: a read-only built-in gives false.
  RegisterBuiltinVariable("readonly", ProbeGet, nullptr);
  const ScriptValue v = RealValue(1);
  EXPECT_FALSE(SetVariable(kParent, 0, kWholeValueIndex, &v));
}

TEST_F(TargetTest, AWriteThatReachesNoInstanceIsFatal) {
  p->i_marked = 1;
  c->i_deactivated = 1;
  o->i_deactivated = 1;
  testsupport::AddObject(-1);  // object 3: no instances at all
  struct Case {
    int32_t target;
    std::string number;
  };
  const Case cases[] = {
      {kTargetAll, "-3"},
      {p->i_id, std::to_string(p->i_id)},
      {999999, "999999"},
      {kParent, "0"},
      {3, "3"},
      {77, "77"},
  };
  ProcessExitTrap trap;
  MessageBoxRecorder boxes;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.target);
    const size_t shown = boxes.boxes().size();
    EXPECT_THROW(Write(k.target, 1), ProcessExited);
    ASSERT_EQ(boxes.boxes().size(), shown + 1);
    EXPECT_THAT(boxes.boxes().back().text,
                HasSubstr("Unable to find any instance for object index '" + k.number + "'"));
  }

  Error_ResetState();  // the reports kept their text as error_last
  // While errors are suppressed the write only raises the error flag and answers false.
  g_ErrorSuppressed = true;
  EXPECT_FALSE(Write(kTargetAll, 1));
  EXPECT_TRUE(g_ErrorFlag.load());

  // No current room at all is the same as an empty one.
  delete CurrentRoom;
  CurrentRoom = nullptr;
  g_ErrorFlag = false;
  EXPECT_FALSE(Write(kTargetAll, 1));
  EXPECT_TRUE(g_ErrorFlag.load());
  EXPECT_EQ(Read(kTargetAll), 0);
}

// ---- Global variables ----

TEST_F(VariableTest, DeclaringAGlobalGrowsTheTableToCoverIt) {
  EXPECT_EQ(g_Variables.declaredGlobals.GetLength(), 10000);
  struct Case {
    int32_t position;
    int32_t length;  // after the declaration
  };
  const Case cases[] = {
      {9999, 10000},
      {10500, 11000},
      {25000, 26000},  // more than one step beyond the end
      {26000, 27000},
      {3, 27000},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.position);
    const int32_t id = kUserVariableBase + k.position;
    EXPECT_FALSE(IsGlobalDeclared(id));
    VariableNode* node = DeclareGlobalVariable(id);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->id, id);
    EXPECT_EQ(node->value.Kind(), VALUE_REAL);
    EXPECT_EQ(node->value.real, 0);
    EXPECT_EQ(g_Variables.declaredGlobals.GetLength(), k.length);
    EXPECT_TRUE(IsGlobalDeclared(id));
    EXPECT_TRUE(g_Variables.globals->Exists(id));
  }
  EXPECT_FALSE(IsGlobalDeclared(kUserVariableBase + 10499));
  EXPECT_FALSE(IsGlobalDeclared(kUserVariableBase + 27000));
  EXPECT_EQ(DeclareGlobalVariable(5), nullptr);
  EXPECT_EQ(DeclareGlobalVariable(INT32_MIN), nullptr);
  EXPECT_FALSE(IsGlobalDeclared(5));
  EXPECT_EQ(g_Variables.globals->m_Count, 5);

  // Declaring again keeps the value.
  const ScriptValue two = RealValue(2);
  SetGlobalVariable(kUserVariableBase + 3, kWholeValueIndex, &two);
  EXPECT_EQ(DeclareGlobalVariable(kUserVariableBase + 3)->value.real, 2);
  ScriptValue out = RealValue(0);
  EXPECT_TRUE(GetGlobalVariable(kUserVariableBase + 3, kWholeValueIndex, &out));
  EXPECT_EQ(out.real, 2);

  // A released table grows again from nothing.
  FreeVariables();
  DeclareGlobalVariable(kUserVariableBase + 3);
  EXPECT_EQ(g_Variables.declaredGlobals.GetLength(), 1000);
}

TEST_F(VariableTest, GlobalsSurviveASaveAndLoad) {
  const int32_t a = GetVariableId("save_a");
  const int32_t b = GetVariableId("save_b");
  const int32_t c = GetVariableId("save_c");
  const ScriptValue real = RealValue(1.5);
  ScriptValue text = Str("text");
  const ScriptValue element = RealValue(7);
  SetGlobalVariable(a, kWholeValueIndex, &real);
  SetGlobalVariable(b, kWholeValueIndex, &text);
  SetGlobalVariable(c, kArrayRowStride + 1, &element);
  DeclareGlobalVariable(b);

  Buffer_Standard saved(0, BUFFER_GROW, 1);
  ASSERT_TRUE(SaveGlobalVariables(&saved));
  EXPECT_EQ(S32At(&saved, 0), 3);
  EXPECT_EQ(S32At(&saved, saved.GetUsedSize() - 4 * 10001), 10000);
  ReleaseValue(&text);

  InitGlobalVariables();
  const ScriptValue stale = RealValue(99);
  SetGlobalVariable(a, kWholeValueIndex, &stale);
  auto exact = Exact(&saved);
  ASSERT_TRUE(LoadGlobalVariables(exact.get()));
  EXPECT_EQ(g_Variables.globals->m_Count, 3);
  ScriptValue out = RealValue(0);
  EXPECT_TRUE(GetGlobalVariable(a, kWholeValueIndex, &out));
  EXPECT_EQ(out.real, 1.5);
  EXPECT_TRUE(GetGlobalVariable(b, kWholeValueIndex, &out));
  ASSERT_EQ(out.Kind(), VALUE_STRING);
  EXPECT_STREQ(out.str, "text");
  EXPECT_TRUE(GetGlobalVariable(c, kArrayRowStride + 1, &out));
  EXPECT_EQ(out.real, 7);
  ReleaseValue(&out);
  EXPECT_TRUE(IsGlobalDeclared(b));
  EXPECT_FALSE(IsGlobalDeclared(a));
  EXPECT_EQ(g_Variables.declaredGlobals.GetLength(), 10000);
  EXPECT_TRUE(m_console.lines.empty());
}

TEST_F(VariableTest, LoadingSkipsUnknownNamesAndKeepsOneNodePerName) {
  const int32_t a = GetVariableId("load_a");
  const int32_t b = GetVariableId("load_b");
  ASSERT_EQ(FindUserVariable("load_never_named"), -1);

  Buffer_Standard saved(0, BUFFER_GROW, 1);
  WriteS32(&saved, 4);
  const struct {
    const char* name;
    double value;
  } entries[] = {{"load_a", 1}, {"load_never_named", 2}, {"load_b", 3}, {"load_a", 4}};
  for (const auto& e : entries) {
    saved.WriteString(e.name);
    const ScriptValue v = RealValue(e.value);
    WriteValueToBuffer(&v, &saved);
  }
  WriteS32(&saved, 2);  // declared-global table of two entries
  WriteS32(&saved, 0);
  WriteS32(&saved, 5);

  auto exact = Exact(&saved);
  ASSERT_TRUE(LoadGlobalVariables(exact.get()));
  EXPECT_EQ(m_console.Text(), "WARNING: Load game failed to find variable \"load_never_named\"\n");
  EXPECT_EQ(g_Variables.globals->m_Count, 2);
  ScriptValue out = RealValue(0);
  EXPECT_TRUE(GetGlobalVariable(a, kWholeValueIndex, &out));
  EXPECT_EQ(out.real, 4);  // the later entry of a name replaces the earlier one
  EXPECT_TRUE(GetGlobalVariable(b, kWholeValueIndex, &out));
  EXPECT_EQ(out.real, 3);
  EXPECT_EQ(g_Variables.declaredGlobals.GetLength(), 2);
  EXPECT_FALSE(IsGlobalDeclared(kUserVariableBase));
  EXPECT_TRUE(IsGlobalDeclared(kUserVariableBase + 1));
}

TEST_F(VariableTest, CorruptSavesAreRefusedWithoutReadingPastTheEnd) {
  GetVariableId("corrupt_a");
  auto entry = [](IBuffer* b, double value) {
    b->WriteString("corrupt_a");
    const ScriptValue v = RealValue(value);
    WriteValueToBuffer(&v, b);
  };

  // A count far beyond what the bytes could hold.
  Buffer_Standard hugeCount(0, BUFFER_GROW, 1);
  WriteS32(&hugeCount, 100000000);
  entry(&hugeCount, 1);
  // A value cut short.
  Buffer_Standard cut(0, BUFFER_GROW, 1);
  WriteS32(&cut, 1);
  entry(&cut, 1);
  // A declared-global table longer than the rest of the buffer.
  Buffer_Standard hugeTable(0, BUFFER_GROW, 1);
  WriteS32(&hugeTable, 1);
  entry(&hugeTable, 1);
  WriteS32(&hugeTable, 1000000);
  WriteS32(&hugeTable, 1);
  // Nothing at all.
  Buffer_Standard empty(0, BUFFER_FIXED, 1);

  struct Case {
    const char* what;
    IBuffer* buffer;
    int32_t cut;
    int32_t count;  // variables held afterwards
  };
  const Case cases[] = {
      {"huge count", &hugeCount, 0, 0},
      {"value cut short", &cut, 3, 0},
      {"huge table", &hugeTable, 0, 1},
      {"empty", &empty, 0, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    InitGlobalVariables();
    auto exact = Exact(k.buffer, k.cut);
    EXPECT_FALSE(LoadGlobalVariables(exact.get()));
    EXPECT_EQ(g_Variables.globals->m_Count, k.count);
    EXPECT_EQ(g_Variables.declaredGlobals.GetLength(), 10000);  // left as it was
  }
  EXPECT_TRUE(m_console.lines.empty());
}

}  // namespace
