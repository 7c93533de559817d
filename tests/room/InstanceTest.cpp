// The instance record: construction from an object, object and sprite changes, copies, the id
// map, the deferred object change, and the one removal of a deleted instance.
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <type_traits>

#include "animation/Skeleton_Class.h"
#include "room/WorldFixture.h"
#include "variable/Variable_Main.h"

namespace {

using testsupport::AddObject;

class InstanceTest : public WorldTest {};

// An object with the given defaults.
int32_t Object(int32_t sprite, int32_t depth, int32_t flags, int32_t mask = -1) {
  const int32_t index = AddObject();
  CObject* object = Object_Find(index);
  object->m_SpriteIndex = sprite;
  object->m_Depth = depth;
  object->m_Flags = flags;
  object->m_MaskIndex = mask;
  return index;
}

bool Holds(const SLinkedList<CInstance>& list, const CInstance* instance) {
  for (auto* node = list.First(); node != nullptr; node = node->next) {
    if (node->item == instance) return true;
  }
  return false;
}

// A field's value and the value it should have, as numbers.
struct FieldValue {
  template <typename G, typename W>
  FieldValue(const char* f, G g, W w) : field(f), got(static_cast<double>(g)), want(static_cast<double>(w)) {}
  const char* field;
  double got;
  double want;
};

TEST_F(InstanceTest, ANewInstanceTakesItsObjectsDefaultsAndTheCreationCounter) {
  const int32_t sprite = AddSprite(4);
  const int32_t object = Object(sprite, -7, kObjectSolid | kObjectPersistent, 3);
  Instance_TakeDispatchStamp();
  Instance_TakeDispatchStamp();
  CInstance a(10.5f, 20.0f, 100001, object, true);
  CInstance none(1.0f, 2.0f, 100002, 99, true);  // names no object

  EXPECT_EQ(Sprite_Data(sprite)->m_name, std::string("__newsprite0"));
  EXPECT_EQ(a.i_createstamp, 2);
  EXPECT_EQ(Instance_CreationCounter(), 2);
  const FieldValue cases[] = {
      {"sprite", a.i_spriteindex, sprite}, {"depth", a.i_depth, -7},      {"mask", a.i_maskindex, 3},
      {"solid", a.i_solid, 1},             {"visible", a.i_visible, 0},   {"persistent", a.i_persistent, 1},
      {"x", a.i_x, 10.5},                  {"xstart", a.i_xstart, 10.5},  {"yprevious", a.i_yprevious, 20},
      {"id", a.i_id, 100001},              {"image speed", a.i_imagespeed, 1}, {"yscale", a.i_imagescaley, 1},
      {"alpha", a.i_imagealpha, 1},        {"blend", a.i_imageblend, 0xFFFFFF}, {"gravity dir", a.i_gravitydir, 270},
      {"alarm 11", a.i_timer[11], -1},     {"path", a.i_pathindex, -1},    {"path scale", a.i_pathscale, 1},
      {"time line", a.i_timelineindex, -1}, {"time-line speed", a.i_timelinespeed, 1}, {"bbox dirty", a.i_bboxdirty, 1},
      // Without an object: nothing from an object, depth 0.
      {"no object: index", none.i_objindex, 99}, {"no object: sprite", none.i_spriteindex, -1},
      {"no object: depth", none.i_depth, 0},     {"no object: visible", none.i_visible, 0},
      {"no object: ystart", none.i_ystart, 2},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.field;
  EXPECT_EQ(a.i_object, Object_Find(object));
  EXPECT_EQ(none.i_object, nullptr);
  EXPECT_NE(a.i_variables, nullptr);
  EXPECT_TRUE(Holds(Object_Find(object)->m_Instances, &a));
}

TEST_F(InstanceTest, SetObjectMinusOneStoresIndexZeroAndChangesNothingElse) {
  const int32_t zero = Object(-1, 0, kObjectVisible);  // object 0 exists, yet -1 names no object
  const int32_t sprite = AddSprite(2);
  const int32_t object = Object(sprite, 5, kObjectSolid);
  CInstance a(0, 0, 1, object, true);
  a.i_bboxdirty = 0;
  a.SetObject(-1, true);
  EXPECT_EQ(a.i_objindex, zero);
  EXPECT_EQ(a.i_object, nullptr);
  EXPECT_EQ(a.i_depth, 5.0f);
  EXPECT_EQ(a.i_spriteindex, sprite);
  EXPECT_EQ(a.i_solid, 1);
  EXPECT_EQ(a.i_visible, 0);
  EXPECT_EQ(a.i_bboxdirty, 0);
  EXPECT_FALSE(Holds(Object_Find(object)->m_Instances, &a));
  EXPECT_FALSE(Holds(Object_Find(zero)->m_Instances, &a));
}

TEST_F(InstanceTest, SettingASpriteResetsAnImageIndexPastItsFrames) {
  const int32_t three = AddSprite(3);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    int32_t sprite;
    float index;
    float expected;
  } cases[] = {
      {three, 2.9f, 2.9f},  {three, 3.0f, 0.0f}, {three, 7.5f, 0.0f}, {three, -1.5f, -1.5f},
      {77, 0.5f, 0.0f},     // no such sprite: 0 frames
      {77, -1.5f, -1.5f},   {-1, -0.5f, 0.0f},   // -0.5 is 0 toward zero
      {three, nan, nan},    // NaN is never at or past a frame count
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.sprite) + " " + std::to_string(c.index));
    CInstance a(0, 0, 1, -1, false);
    a.i_imageindex = c.index;
    a.i_bboxdirty = 0;
    a.SetSpriteIndex(c.sprite);
    EXPECT_EQ(a.i_spriteindex, c.sprite);
    EXPECT_EQ(a.i_bboxdirty, 1);
    if (std::isnan(c.expected)) {
      EXPECT_TRUE(std::isnan(a.i_imageindex));
    } else {
      EXPECT_EQ(a.i_imageindex, c.expected);
    }
  }
}

TEST_F(InstanceTest, ImageNumberFollowsTheSpriteKind) {
  const int32_t bitmap = AddSprite(4);
  const int32_t skeleton = AddSprite(2147483647);
  const int32_t bare = AddSprite(2147483647);  // a skeleton sprite without skeleton data
  for (int32_t s : {skeleton, bare}) Sprite_Data(s)->m_kind = SPRITE_SKELETON;
  auto* data = new CSkeletonSprite();
  data->m_animations = {{"walk", 1.5f}, {"run", 0.25f}};
  Sprite_Data(skeleton)->m_skeleton = data;

  CInstance a(0, 0, 1, -1, false);
  EXPECT_EQ(a.GetImageNumber(), 0);  // no sprite
  a.SetSpriteIndex(bitmap);
  EXPECT_EQ(a.GetImageNumber(), 4);
  EXPECT_EQ(a.GetSkeleton(), nullptr);
  a.SetSpriteIndex(skeleton);
  ASSERT_NE(a.i_skeleton, nullptr);
  EXPECT_EQ(std::string(a.i_skeleton->GetAnimationName(0)), "walk");
  EXPECT_EQ(a.GetImageNumber(), 45);  // 1.5 s x 30 (no room) + 0.5
  Room()->m_Speed = 60;
  EXPECT_EQ(a.GetImageNumber(), 90);

  // A copy gets a fresh skeleton state of its own.
  CInstance b(0, 0, 2, -1, false);
  b.Copy(&a, false);
  ASSERT_NE(b.i_skeleton, nullptr);
  EXPECT_NE(b.i_skeleton, a.i_skeleton);
  EXPECT_EQ(std::string(b.i_skeleton->GetAnimationName(0)), "walk");

  CInstance c(0, 0, 3, -1, false);
  c.SetSpriteIndex(bare);
  EXPECT_EQ(c.GetSkeleton(), nullptr);
  EXPECT_EQ(c.GetImageNumber(), 0);
}

TEST_F(InstanceTest, ChangingObjectTwiceThenRelinkingMovesFromTheFirstObjectToTheLast) {
  const int32_t first = Object(-1, 0, kObjectVisible);
  const int32_t middle = Object(-1, -5, kObjectVisible);
  const int32_t last = Object(AddSprite(1), 10, kObjectSolid | kObjectPersistent, 4);
  CInstance* a = Room()->AddInstance(0, 0, first);
  CInstance* b = Room()->AddInstance(0, 0, first);
  CInstance* c = Room()->AddInstance(0, 0, first);

  a->ChangeObject(middle);
  a->ChangeObject(last);
  EXPECT_EQ(a->i_objindex, last);
  EXPECT_EQ(a->i_object, Object_Find(last));
  EXPECT_EQ(a->i_previousobject, Object_Find(first));
  EXPECT_EQ(a->i_depth, 10.0f);
  EXPECT_EQ(a->i_maskindex, 4);
  EXPECT_EQ(a->i_persistent, 1);
  EXPECT_EQ(a->i_visible, 0);
  // Until the relink: still in the first object's lists and at its old place by depth.
  EXPECT_TRUE(Holds(Object_Find(first)->m_Instances, a));
  EXPECT_FALSE(Holds(Object_Find(middle)->m_Instances, a));
  EXPECT_FALSE(Holds(Object_Find(last)->m_Instances, a));
  EXPECT_EQ(Ids(Room()->m_Active), (std::vector<int32_t>{a->i_id, b->i_id, c->i_id}));
  ASSERT_EQ(RelinkQueue.Count(), 1);
  EXPECT_EQ(RelinkQueue.Get(0), a);
  ASSERT_EQ(DepthChangeQueue.Count(), 1);
  EXPECT_EQ(DepthChangeQueue.Get(0), a);

  a->Relink();
  EXPECT_EQ(a->i_previousobject, nullptr);
  EXPECT_FALSE(Holds(Object_Find(first)->m_Instances, a));
  EXPECT_FALSE(Holds(Object_Find(middle)->m_Instances, a));
  EXPECT_FALSE(Holds(Object_Find(middle)->m_InstancesRecursive, a));
  EXPECT_TRUE(Holds(Object_Find(last)->m_Instances, a));
  EXPECT_EQ(Ids(Room()->m_Active), (std::vector<int32_t>{b->i_id, c->i_id, a->i_id}));
  EXPECT_EQ(a->i_sortdepth, 10.0f);
  EXPECT_EQ(Room()->m_Active.count, 3);

  // An instance outside the current room's active list is relinked without touching that list.
  CInstance loose(0, 0, 7, first, true);
  loose.ChangeObject(last);
  loose.Relink();
  EXPECT_TRUE(Holds(Object_Find(last)->m_Instances, &loose));
  EXPECT_EQ(Ids(Room()->m_Active), (std::vector<int32_t>{b->i_id, c->i_id, a->i_id}));
  RelinkQueue.Reset();
  DepthChangeQueue.Reset();
}

// A field of the record as a number, with a way to set it.
struct Field {
  const char* name;
  std::function<double(const CInstance&)> get;
  std::function<void(CInstance&, double)> set;
  bool copied;
  bool flag;  // a byte that holds 0 or 1
};

#define NUMBER(member, copied) \
  Field { #member, [](const CInstance& i) { return static_cast<double>(i.member); }, \
          [](CInstance& i, double v) { i.member = static_cast<std::remove_reference_t<decltype(i.member)>>(v); }, copied, false }
#define FLAG(member, copied) \
  Field { #member, [](const CInstance& i) { return static_cast<double>(i.member); }, \
          [](CInstance& i, double v) { i.member = static_cast<uint8_t>(v); }, copied, true }

TEST_F(InstanceTest, CopyTakesExactlyItsFieldsAndLeavesTheRest) {
  std::vector<Field> fields = {
      NUMBER(i_id, true), NUMBER(i_spriteindex, true), NUMBER(i_imageindex, true), NUMBER(i_imagespeed, true),
      NUMBER(i_imagescalex, true), NUMBER(i_imagescaley, true), NUMBER(i_imageangle, true),
      NUMBER(i_imagealpha, true), NUMBER(i_imageblend, true), NUMBER(i_maskindex, true), NUMBER(i_depth, true),
      FLAG(i_precise, true), NUMBER(i_x, true), NUMBER(i_y, true), NUMBER(i_xstart, true), NUMBER(i_ystart, true),
      NUMBER(i_xprevious, true), NUMBER(i_yprevious, true), NUMBER(i_direction, true), NUMBER(i_speed, true),
      NUMBER(i_friction, true), NUMBER(i_gravitydir, true), NUMBER(i_gravity, true), NUMBER(i_hspeed, true),
      NUMBER(i_vspeed, true), FLAG(i_bboxdirty, true), NUMBER(i_bbox[0], true), NUMBER(i_bbox[3], true),
      FLAG(i_visible, true), FLAG(i_solid, true), FLAG(i_persistent, true), NUMBER(i_timer[0], true),
      NUMBER(i_timer[11], true), FLAG(i_marked, true), FLAG(i_deactivated, true), NUMBER(i_pathindex, true),
      NUMBER(i_pathposition, true), NUMBER(i_pathpositionprevious, true), NUMBER(i_pathspeed, true),
      NUMBER(i_pathscale, true), NUMBER(i_pathorientation, true), NUMBER(i_pathend, true),
      NUMBER(i_timelineindex, true), NUMBER(i_timelinepositionprevious, true), NUMBER(i_timelineposition, true),
      NUMBER(i_timelinespeed, true), FLAG(i_timelinerunning, true), FLAG(i_timelineloop, true),
      FLAG(i_wasoutside, true),
      // Kept by the copy.
      NUMBER(i_createstamp, false), FLAG(i_destroydone, false), FLAG(i_createdone, false),
      NUMBER(i_pathxstart, false), NUMBER(i_pathystart, false), NUMBER(i_sortdepth, false),
  };
  const int32_t from = Object(-1, 0, kObjectVisible);
  const int32_t to = Object(-1, 0, kObjectVisible);
  for (bool link : {true, false}) {
    SCOPED_TRACE(link ? "linked" : "not linked");
    CInstance source(0, 0, 1, from, true);
    CInstance target(0, 0, 2, to, true);
    for (size_t k = 0; k < fields.size(); ++k) {
      fields[k].set(source, fields[k].flag ? 1 : 1000 + static_cast<double>(k));
      fields[k].set(target, fields[k].flag ? 0 : 2000 + static_cast<double>(k));
    }
    ScriptValue text = testsupport::Str("kept apart");
    source.i_variables->Set(100000, kWholeValueIndex, &text);
    ReleaseValue(&text);
    CCode* code = CCode::FromNative([](CInstance*, CInstance*, ScriptValue*) {});
    source.i_creationcode = code;
    target.i_carriedover = 1;
    target.i_previousobject = Object_Find(to);

    target.Copy(&source, link);
    for (const Field& f : fields) {
      const double expected = f.copied ? f.get(source) : (f.flag ? 0 : 2000 + static_cast<double>(&f - &fields[0]));
      EXPECT_EQ(f.get(target), expected) << f.name;
    }
    EXPECT_EQ(target.i_carriedover, 0);
    EXPECT_EQ(target.i_objindex, from);
    EXPECT_EQ(target.i_object, Object_Find(from));
    EXPECT_EQ(target.i_creationcode, code);
    EXPECT_EQ(target.i_previousobject, Object_Find(to));
    EXPECT_EQ(target.i_list, nullptr);
    EXPECT_FALSE(Holds(Object_Find(to)->m_Instances, &target));
    EXPECT_EQ(Holds(Object_Find(from)->m_Instances, &target), link);
    // The variables are the copy's own.
    ScriptValue other = testsupport::Str("changed");
    source.i_variables->Set(100000, kWholeValueIndex, &other);
    ReleaseValue(&other);
    ScriptValue read{};
    target.i_variables->Get(100000, kWholeValueIndex, &read);
    const bool isText = (read.kind & 0xFFFFFFu) == VALUE_STRING;
    EXPECT_TRUE(isText);
    if (isText) {
      EXPECT_EQ(std::string(read.str), "kept apart");
    }
    ReleaseValue(&read);
    target.i_previousobject = nullptr;
    delete code;
  }
}

TEST_F(InstanceTest, TheIdMapChainsIdsOfOneBucketInInsertionOrder) {
  // 5, 517 and 1029 share bucket 5 (id AND 511).
  CInstance* five = new CInstance(0, 0, 5, -1, false);
  CInstance* early = new CInstance(0, 0, 517, -1, false);
  CInstance* far = new CInstance(0, 0, 1029, -1, false);
  CInstance* late = new CInstance(0, 0, 517, -1, false);  // the same id again
  for (CInstance* i : {five, early, far, late}) InstanceIdMap.Insert(i->i_id, i);
  std::vector<CInstance*> chain;
  for (auto* node = InstanceIdMap.Buckets()[5].head; node != nullptr; node = node->next) chain.push_back(node->value);
  EXPECT_EQ(chain, (std::vector<CInstance*>{five, early, far, late}));
  EXPECT_EQ(InstanceIdMap.Count(), 4);

  const struct {
    int32_t id;
    CInstance* found;
  } cases[] = {{5, five}, {517, early}, {1029, far}, {6, nullptr}, {-5, nullptr}, {-2147483647 - 1, nullptr}};
  for (const auto& c : cases) EXPECT_EQ(Instance_Find(c.id), c.found) << c.id;

  // Deleting one instance drops its own entry only, not the first entry with its id.
  Instance_Delete(late);
  EXPECT_EQ(Instance_Find(517), early);
  Instance_Delete(early);
  EXPECT_EQ(Instance_Find(517), nullptr);
  EXPECT_EQ(Instance_Find(1029), far);
  EXPECT_EQ(InstanceIdMap.Count(), 2);
  Instance_DeleteAll();
  EXPECT_EQ(InstanceIdMap.Count(), 0);
  EXPECT_EQ(Instance_Find(5), nullptr);
}

// Every way an instance is deleted takes it out of the queues, the drawing slot, its room list,
// the id map and the lists of both objects of a pending change.
TEST_F(InstanceTest, ADeletedInstanceIsLeftInNoQueueListOrMap) {
  const struct {
    const char* how;
    std::function<void(CRoom*)> remove;
  } ways[] = {
      {"RemoveMarked", [](CRoom* room) { room->RemoveMarked(); }},
      {"the room's end", [](CRoom*) {
         delete CurrentRoom;
         CurrentRoom = nullptr;
       }},
      {"Instance_DeleteAll", [](CRoom*) { Instance_DeleteAll(); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.how);
    const int32_t from = Object(-1, 0, kObjectVisible);
    const int32_t to = Object(-1, 3, kObjectVisible);
    CRoom* room = Room();
    CInstance* changed = room->AddInstance(0, 0, from);
    CInstance* deactivated = room->AddInstance(0, 0, from);
    CInstance* kept = room->AddInstance(0, 0, to);
    changed->ChangeObject(to);
    deactivated->i_deactivated = 1;
    ActivationChangeList.Add(deactivated);
    DepthChangeQueue.Add(deactivated);
    Instance_SetDrawing(changed);
    changed->i_marked = deactivated->i_marked = 1;
    const int32_t keptId = kept->i_id;

    way.remove(room);
    EXPECT_EQ(RelinkQueue.Count(), 0);
    EXPECT_EQ(DepthChangeQueue.Count(), 0);
    EXPECT_EQ(ActivationChangeList.Count(), 0);
    EXPECT_EQ(Instance_GetDrawing(), nullptr);
    EXPECT_EQ(Object_Find(from)->m_Instances.Count(), 0);
    EXPECT_EQ(Object_Find(from)->m_InstancesRecursive.Count(), 0);
    if (CurrentRoom != nullptr && Instance_Find(keptId) != nullptr) {
      // RemoveMarked leaves the unmarked instance alone.
      EXPECT_EQ(Ids(CurrentRoom->m_Active), std::vector<int32_t>{keptId});
      EXPECT_EQ(InstanceIdMap.Count(), 1);
      EXPECT_EQ(Object_Find(to)->m_Instances.Count(), 1);
    } else {
      EXPECT_EQ(InstanceIdMap.Count(), 0);
      EXPECT_EQ(Object_Find(to)->m_Instances.Count(), 0);
      if (CurrentRoom != nullptr) {
        EXPECT_EQ(CurrentRoom->m_Active.first, nullptr);
      }
    }
    // What the frame step does with the queues touches nothing that was freed.
    for (int32_t i = 0; i < RelinkQueue.Count(); ++i) RelinkQueue.Get(i)->Relink();
    delete CurrentRoom;
    CurrentRoom = nullptr;
    Instances_Reset();
    Object_FreeAll();
  }
}

TEST_F(InstanceTest, DeletingAnObjectLeavesNoInstancePointingAtIt) {
  const int32_t from = Object(-1, 0, kObjectVisible);
  const int32_t to = Object(-1, 0, kObjectVisible);
  CInstance* changing = Room()->AddInstance(0, 0, from);
  CInstance* deactivated = Room()->AddInstance(0, 0, from);
  changing->ChangeObject(to);
  // A deactivated instance has left its object's lists.
  deactivated->i_deactivated = 1;
  Object_Find(from)->RemoveInstance(deactivated);

  ASSERT_TRUE(Object_Delete(from));
  EXPECT_EQ(changing->i_previousobject, nullptr);
  EXPECT_EQ(changing->i_object, Object_Find(to));
  EXPECT_EQ(deactivated->i_object, nullptr);
  changing->Relink();
  EXPECT_TRUE(Holds(Object_Find(to)->m_Instances, changing));
  RelinkQueue.Reset();
  DepthChangeQueue.Reset();
}

}  // namespace
