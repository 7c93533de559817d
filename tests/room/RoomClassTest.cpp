// The room record: copies from definitions, tiles and their layers, activation changes and
// background scrolling.
#include "room/RoomFixture.h"

namespace roomtest {
namespace {

class RoomClassTest : public RoomTest {
 protected:
  void SetUp() override {
    RoomTest::SetUp();
    Room_SetLastInstanceId(100000);
    Room_SetLastTileId(500);
  }
};

RoomTile Tile(float depth, float x = 0, float y = 0, int32_t w = 10, int32_t h = 10) {
  RoomTile t{};
  t.x = x;
  t.y = y;
  t.width = w;
  t.height = h;
  t.depth = depth;
  t.xscale = t.yscale = 1.0f;
  t.visible = 1;
  return t;
}

std::vector<float> Depths(const CRoom& room) {
  std::vector<float> depths;
  for (int32_t i = 0; i < room.m_Tiles.Count(); ++i) depths.push_back(room.m_Tiles[i].depth);
  return depths;
}

TEST_F(RoomClassTest, ACopyFromDefinitionsMakesInstancesInDefinitionOrderWithPendingIds) {
  const int32_t deep = AddObject();
  const int32_t shallow = AddObject();
  Object_Find(deep)->m_Depth = 10;
  const int32_t index = Room_Add();
  CRoom* definition = Room_Data(index);
  definition->m_Width = 300;
  definition->SetCaption("cap");
  const int32_t a = definition->AddInstanceDef(5.7f, 6.2f, deep);
  const int32_t none = definition->AddInstanceDef(0, 0, -1);  // no instance, no pending id
  const int32_t b = definition->AddInstanceDef(1, 2, shallow);
  const int32_t c = definition->AddInstanceDef(3, 4, deep);
  definition->AddTileDef(2, 1, 1, 8, 8, 10, 20, 50, 2.0f, 1.0f, 0x80FF0000u);
  EXPECT_EQ(definition->m_Active.count, 0);  // definitions make no instance in the table room
  EXPECT_EQ(none, a + 1);

  CRoom live;
  live.Copy(definition, true);
  EXPECT_EQ(std::vector<int32_t>(live.m_PendingCreateIds.Data(), live.m_PendingCreateIds.Data() + 3),
            (std::vector<int32_t>{a, b, c}));
  EXPECT_EQ(live.m_PendingCreateIds.Count(), 3);
  EXPECT_EQ(Ids(live.m_Active), (std::vector<int32_t>{b, a, c}));  // by depth, equal depths in order
  EXPECT_EQ(Instance_Find(a)->i_x, 5.0f);
  EXPECT_EQ(Object_Find(deep)->m_Instances.First()->item->i_id, a);
  EXPECT_EQ(live.m_Width, 300);
  EXPECT_STREQ(live.m_Caption, "cap");
  EXPECT_NE(live.m_Caption, definition->m_Caption);
  ASSERT_EQ(live.m_Tiles.Count(), 1);
  const RoomTile& tile = live.m_Tiles[0];
  EXPECT_EQ(tile.x, 10.0f);
  EXPECT_EQ(tile.depth, 50.0f);
  EXPECT_EQ(tile.xscale, 2.0f);
  EXPECT_EQ(tile.blend, 0xFF0000);
  EXPECT_FLOAT_EQ(tile.alpha, 128.0f / 255.0f);
  EXPECT_EQ(tile.visible, 1);
  EXPECT_EQ(tile.id, 501);

  // A duplicate copies the live instances and gets its own definitions, without live tiles.
  CRoom twin;
  twin.m_OwnsDefinition = 1;
  twin.Copy(&live, false);
  EXPECT_EQ(twin.m_Active.count, 3);
  EXPECT_EQ(twin.m_PendingCreateIds.Count(), 0);
  EXPECT_EQ(twin.m_Tiles.Count(), 0);
  EXPECT_NE(twin.Definition(), live.Definition());
  EXPECT_EQ(twin.Definition()->tiles.Count(), 1);
  twin.DeleteActiveInstances();
}

TEST_F(RoomClassTest, TilesGrowByTenKeepTheirIdsAndSortStably) {
  CRoom room;
  for (int32_t i = 0; i < 11; ++i) {
    EXPECT_EQ(room.AddTile(Tile(0)), i);
    EXPECT_EQ(room.m_Tiles.Capacity(), i < 10 ? 10 : 20);
    EXPECT_EQ(room.m_Tiles[i].id, 501 + i);
  }
  EXPECT_EQ(room.FindTile(505), 4);
  EXPECT_EQ(room.FindTile(999), -1);
  room.DeleteTile(-1);
  room.DeleteTile(11);
  room.DeleteTile(4);
  EXPECT_EQ(room.m_Tiles.Count(), 10);
  EXPECT_EQ(room.m_Tiles[4].id, 506);
  EXPECT_EQ(room.FindTile(505), -1);

  CRoom one;
  one.AddTile(Tile(0));
  one.DeleteTile(0);
  EXPECT_EQ(one.m_Tiles.Count(), 0);
  EXPECT_EQ(one.m_Tiles.Capacity(), 0);

  CRoom layers;
  layers.AddTile(Tile(10));
  layers.AddTile(Tile(1000));
  const int32_t second = layers.m_Tiles[layers.AddTile(Tile(10))].id;
  layers.SortTiles();
  EXPECT_EQ(Depths(layers), (std::vector<float>{1000, 10, 10}));
  EXPECT_EQ(layers.m_Tiles[2].id, second);
}

TEST_F(RoomClassTest, TileLayersAreHiddenShiftedMovedAndDeletedByDepth) {
  CRoom room;
  room.AddTile(Tile(5, 0, 0));
  room.AddTile(Tile(5, 4, 4));
  room.AddTile(Tile(7, 0, 0));
  room.HideTileLayer(5);
  EXPECT_EQ(room.m_Tiles[0].visible + room.m_Tiles[1].visible + room.m_Tiles[2].visible, 1);
  room.ShowTileLayer(5);
  EXPECT_EQ(room.m_Tiles[0].visible, 1);
  // (5, 5) lies in both tiles of depth 5; the one whose centre (9, 9) is nearer wins.
  EXPECT_EQ(room.FindTileAt(5, 5, 5), 0);
  EXPECT_EQ(room.FindTileAt(5, 8, 8), 1);
  EXPECT_EQ(room.FindTileAt(5, 14, 5), -1);  // x + width is outside
  EXPECT_EQ(room.FindTileAt(6, 1, 1), -1);
  room.ShiftTileLayer(7, 100, 0);
  EXPECT_EQ(room.m_Tiles[2].x, 100.0f);
  room.DeleteTilesAt(5, 2, 2);
  EXPECT_EQ(Depths(room), (std::vector<float>{5, 7}));
  room.SetTileLayerDepth(5, 7);
  room.DeleteTileLayer(7);
  EXPECT_EQ(room.m_Tiles.Count(), 0);
}

TEST_F(RoomClassTest, DeactivationMovesToTheEndAndReactivationInsertsAfterEqualDepths) {
  const int32_t object = AddObject();
  CRoom room;
  CInstance* a = room.AddInstance(0, 0, object);
  CInstance* b = room.AddInstance(0, 0, object);
  CInstance* c = room.AddInstance(0, 0, object);
  b->i_deactivated = 1;
  room.UpdateDeactivated();
  a->i_deactivated = 1;
  room.UpdateDeactivated();
  EXPECT_EQ(Ids(room.m_Active), (std::vector<int32_t>{c->i_id}));
  EXPECT_EQ(Ids(room.m_Deactivated), (std::vector<int32_t>{b->i_id, a->i_id}));
  EXPECT_EQ(Object_Find(object)->m_Instances.First()->item, c);
  EXPECT_EQ(Object_Find(object)->m_Instances.First()->next, nullptr);
  b->i_deactivated = 0;
  room.UpdateDeactivated();
  EXPECT_EQ(Ids(room.m_Active), (std::vector<int32_t>{c->i_id, b->i_id}));
  EXPECT_EQ(Ids(room.m_Deactivated), (std::vector<int32_t>{a->i_id}));
  EXPECT_EQ(Instance_Find(a->i_id), a);  // still in the id map
}

TEST_F(RoomClassTest, BackgroundsScrollByTheirSpeedWhetherVisibleOrNot) {
  CRoom room;
  room.m_Backgrounds[0].hspeed = 2.5f;
  room.m_Backgrounds[7].vspeed = -1.0f;
  room.ScrollBackgrounds();
  room.ScrollBackgrounds();
  EXPECT_EQ(room.m_Backgrounds[0].x, 5.0f);
  EXPECT_EQ(room.m_Backgrounds[7].y, -2.0f);
}

}  // namespace
}  // namespace roomtest
