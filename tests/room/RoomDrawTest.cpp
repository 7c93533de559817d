// Drawing the room on the recording device: the clears, targets, viewports and view areas of a
// frame, the order of the depth merge, the draw passes around the views, the GUI layer and the
// batching of instance sprites. Draw handlers are native code entries that record what they see.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/Graphics_Window.h"
#include "graphics/device/D3D_Fake.h"
#include "particle/Particle_System.h"
#include "room/Event_Names.h"
#include "room/Room_Draw.h"
#include "room/Room_Run.h"
#include "room/Room_View.h"
#include "room/WorldFixture.h"
#include "runner/GameData.h"
#include "testlib/GraphicsFixtures.h"

namespace {

using testsupport::AddHandler;
using testsupport::AddObject;

// What the handlers saw, one line each.
std::vector<std::string> g_seen;

std::string Rect(int32_t x, int32_t y, int32_t w, int32_t h) {
  return std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) + " " + std::to_string(h);
}

class RoomDrawTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    ASSERT_TRUE(testsupport::InstallTestGraphics(FakeD3D_Backend(), 640, 480));
    g_seen.clear();
    CRoom* room = Room();
    room->m_ShowColour = 0;
  }
  void TearDown() override {
    for (int32_t index : m_sprites) Sprite_Data(index)->m_pageEntries.Clear();  // the test's entries
    WorldTest::TearDown();
    testsupport::RemoveTestGraphics();
  }

  // An object of that depth whose instances are visible; answers its index.
  static int32_t DepthObject(int32_t depth) {
    const int32_t object = AddObject();
    Object_Find(object)->m_Depth = depth;
    return object;
  }
  // The device log lines since `from` that start with `prefix`.
  static std::vector<std::string> Since(size_t from, const std::string& prefix) {
    std::vector<std::string> lines;
    const std::vector<std::string>& log = FakeD3D().log;
    for (size_t i = from; i < log.size(); ++i) {
      if (log[i].rfind(prefix, 0) == 0) lines.push_back(log[i]);
    }
    return lines;
  }
  static size_t Mark() { return FakeD3D().log.size(); }

  // A 100 x 100 sprite whose one frame is the top-left corner of a white page.
  int32_t PageSprite() {
    if (m_page < 0) {
      std::vector<uint32_t> pixels(256 * 256, 0xFFFFFFFFu);
      m_page = GR_Texture_Create(256, 256, pixels.data(), pixels.size() * 4);
      TPageEntry e{};
      e.width = e.height = e.cropWidth = e.cropHeight = e.fullWidth = e.fullHeight = 100;
      e.texturePage = static_cast<int16_t>(m_page);
      TPageEntry_Write(reinterpret_cast<TPageEntry*>(m_entry), e);
    }
    const int32_t index = Sprite_AddEmpty();
    CSprite* sprite = Sprite_Data(index);
    sprite->m_width = sprite->m_height = 100;
    sprite->m_numb = 1;
    sprite->m_pageEntries.Push(reinterpret_cast<TPageEntry*>(m_entry));
    sprite->ComputeBoundingBox();
    m_sprites.push_back(index);
    return index;
  }

  int32_t m_page = -1;
  std::vector<int32_t> m_sprites;
  alignas(8) uint8_t m_entry[sizeof(TPageEntry)] = {};
};

// Records "<event number> <instance id>" into g_seen.
void RecordEvent(CInstance* self, CInstance*, ScriptValue*) {
  g_seen.push_back(std::to_string(Event_GetNumber()) + " " + std::to_string(self->i_id));
}

TEST_F(RoomDrawTest, TheViewIsClearedWithTheRoomColourOnlyWhenItIsShown) {
  const struct {
    const char* what;
    bool showColour;
    bool mode3D;
    std::vector<std::string> clears;
  } cases[] = {
      {"show colour", true, false, {"Clear 0 0x7 0xFF563412 1 0"}},
      {"show colour in 3-D mode", true, true, {"Clear 0 0x7 0xFF563412 1 0"}},
      {"3-D mode without it", false, true, {"Clear 0 0x6 0x00000000 1 0"}},
      {"neither", false, false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CurrentRoom->m_ShowColour = c.showColour ? 1 : 0;
    CurrentRoom->m_Colour = 0x123456;
    GR_3D_SetMode(c.mode3D);
    const size_t mark = Mark();
    DrawTheRoom(DrawRegion{0, 0, 640, 480});
    EXPECT_EQ(Since(mark, "Clear"), c.clears);
  }
}

// The merge as a list of "i<id>", "p<depth>" and "t<index>".
std::vector<std::string> MergeOrder(CRoom& room) {
  std::vector<std::string> order;
  Room_WalkDepthOrder(
      room,
      [](void* context, const DepthOrderItem& item) {
        auto* out = static_cast<std::vector<std::string>*>(context);
        if (item.kind == DepthOrderItem::kInstance) out->push_back("i" + std::to_string(item.instance->i_id));
        if (item.kind == DepthOrderItem::kTile) out->push_back("t" + std::to_string(item.tile));
        if (item.kind == DepthOrderItem::kParticles) out->push_back("p" + std::to_string(item.depth));
      },
      &order);
  return order;
}

RoomTile TileAt(float depth, uint8_t visible = 1) {
  return RoomTile{0, 0, -1, 0, 0, 16, 16, depth, 0, 1, 1, 0xFFFFFF, 1, visible};
}

TEST_F(RoomDrawTest, TheMergeDrawsTheGreatestDepthFirstAndAtEqualDepthInstanceParticlesTile) {
  const struct {
    const char* what;
    std::vector<int32_t> instances;  // depths; ids from 100001
    std::vector<float> particles;
    std::vector<float> tiles;
    std::vector<std::string> order;
  } cases[] = {
      {"equal depth", {0}, {0}, {0}, {"i100001", "p0.000000", "t0"}},
      {"tile 5, particles 4.5, instance 4", {4}, {4.5f}, {5}, {"t0", "p4.500000", "i100001"}},
      {"instances alone, greatest depth first", {-3, 7, 2}, {}, {}, {"i100002", "i100003", "i100001"}},
      {"systems of one depth drawn once, the next strictly below", {}, {2, 2, 1}, {}, {"p2.000000", "p1.000000"}},
      {"tiles in their sorted order", {1}, {}, {3, 0}, {"t0", "i100001", "t1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    delete CurrentRoom;
    CurrentRoom = nullptr;
    Instances_Reset();
    ParticleSystem_DestroyAll();
    CRoom& room = *Room();
    for (int32_t depth : c.instances) room.AddInstance(0, 0, DepthObject(depth));
    for (float depth : c.particles) ParticleSystem_Depth(ParticleSystem_Create(), depth);
    for (float depth : c.tiles) room.AddTile(TileAt(depth));
    room.SortTiles();
    EXPECT_EQ(MergeOrder(room), c.order);
  }
}

TEST_F(RoomDrawTest, TheMergePassesOverWhatIsNotDrawn) {
  CRoom& room = *Room();
  CInstance* hidden = room.AddInstance(0, 0, DepthObject(1));
  hidden->i_visible = 0;
  room.AddInstance(0, 0, DepthObject(2))->i_marked = 1;
  room.AddInstance(0, 0, DepthObject(3))->i_deactivated = 1;
  room.AddInstance(0, 0, DepthObject(4));
  room.AddTile(TileAt(5, 0));
  ParticleSystem_AutomaticDraw(ParticleSystem_Create(), false);
  EXPECT_EQ(MergeOrder(room), (std::vector<std::string>{"i100004"}));
}

TEST_F(RoomDrawTest, ADrawThatDeletesTilesLeavesTheWalkOnTheTilesThatRemain) {
  CRoom& room = *Room();
  room.AddInstance(0, 0, DepthObject(0));
  room.AddTile(TileAt(100));
  room.AddTile(TileAt(-100));
  room.SortTiles();
  // The instance's draw deletes the layer already drawn: the tile below moves to index 0.
  std::vector<std::string> order;
  Room_WalkDepthOrder(
      room,
      [](void* context, const DepthOrderItem& item) {
        auto* out = static_cast<std::vector<std::string>*>(context);
        if (item.kind == DepthOrderItem::kInstance) {
          out->push_back("i");
          CurrentRoom->DeleteTileLayer(100);
        }
        if (item.kind == DepthOrderItem::kTile) out->push_back("t" + std::to_string(item.tile));
      },
      &order);
  EXPECT_EQ(order, (std::vector<std::string>{"t0", "i", "t0"}));
}

TEST_F(RoomDrawTest, InThreeDModeADeepInstanceIsDrawnFirstAtDepthElevenThousand) {
  CRoom& room = *Room();
  const int32_t deep = DepthObject(20000);
  const int32_t near = DepthObject(-5);
  const auto record = [](CInstance* self, CInstance*, ScriptValue*) {
    g_seen.push_back(std::to_string(self->i_id) + " at " + std::to_string(static_cast<int>(g_RenderStates.depth2D)));
  };
  AddHandler(deep, EVENT_DRAW, 0, record);
  AddHandler(near, EVENT_DRAW, 0, record);
  room.AddInstance(0, 0, near);
  room.AddInstance(0, 0, deep);
  GR_3D_SetMode(true);
  DrawTheRoom(DrawRegion{0, 0, 640, 480});
  EXPECT_EQ(g_seen, (std::vector<std::string>{"100002 at 11000", "100001 at -5"}));
}

TEST_F(RoomDrawTest, ATileIsCulledOnlyWhenItsRectangleMissesTheRegion) {
  const DrawRegion region{0, 0, 100, 100};
  const struct {
    const char* what;
    float x, y, xscale, yscale;
    bool meets;
  } cases[] = {
      {"inside", 10, 10, 1, 1, true},
      {"touching the right edge", 100, 10, 1, 1, true},
      {"one past the right edge", 101, 10, 1, 1, false},
      {"ending on the left edge", -16, 10, 1, 1, true},
      {"ending before the left edge", -17, 10, 1, 1, false},
      {"touching the bottom edge", 10, 100, 1, 1, true},
      {"above the top", 10, -17, 1, 1, false},
      {"negative x scale reaching back into the region", 110, 10, -1, 1, true},
      {"negative x scale still outside", 117, 10, -1, 1, false},
      {"negative y scale from below", 10, 116, 1, -1, true},
  };
  for (const auto& c : cases) {
    RoomTile tile = TileAt(0);
    tile.x = c.x;
    tile.y = c.y;
    tile.xscale = c.xscale;
    tile.yscale = c.yscale;
    EXPECT_EQ(Room_TileMeetsRegion(tile, region), c.meets) << c.what;
  }
}

TEST_F(RoomDrawTest, AnInvisibleInstanceGetsNoDrawAndOneWithoutSpriteOrHandlerDrawsNothing) {
  CRoom& room = *Room();
  const int32_t handled = DepthObject(0);
  AddHandler(handled, EVENT_DRAW, 0, RecordEvent);
  AddHandler(handled, EVENT_DRAW, kDrawEventBegin, RecordEvent);
  room.AddInstance(0, 0, handled)->i_visible = 0;
  room.AddInstance(0, 0, DepthObject(0));  // no sprite, no handler
  GraphicsFlush();
  const size_t mark = Mark();
  DrawTheRoom(DrawRegion{0, 0, 640, 480});
  EXPECT_TRUE(g_seen.empty());
  EXPECT_TRUE(Since(mark, "DrawPrimitive").empty());
}

TEST_F(RoomDrawTest, ADrawPassOverMoreInstancesThanObjectsReachesEveryInheritedHandlerAndNoOther) {
  CRoom& room = *Room();
  const int32_t parent = DepthObject(0);
  const int32_t child = AddObject(parent);
  AddHandler(parent, EVENT_DRAW, kDrawEventBegin, RecordEvent);
  std::vector<std::string> expected;
  for (int32_t i = 0; i < 4; ++i) {
    const CInstance* instance = room.AddInstance(0, 0, child);
    expected.insert(expected.begin(), std::to_string(kDrawEventBegin) + " " + std::to_string(instance->i_id));
  }
  PerformDrawEvent(DrawRegion{0, 0, 640, 480}, kDrawEventEnd);
  EXPECT_TRUE(g_seen.empty());
  PerformDrawEvent(DrawRegion{0, 0, 640, 480}, kDrawEventBegin);
  EXPECT_EQ(g_seen, expected);  // from the last instance of the active list to the first
}

TEST_F(RoomDrawTest, APreDrawHandlerThatDrawsGetsTheWindowClearRightBeforeItAndNoSecondClear) {
  GR_Window_SetColour(0x00FF00);
  CurrentRoom->m_ClearDisplay = 1;
  for (bool preDraw : {true, false}) {
    SCOPED_TRACE(preDraw ? "with a pre-draw handler" : "without one");
    delete CurrentRoom;
    CurrentRoom = nullptr;
    Instances_Reset();
    Room()->m_ShowColour = 0;
    CurrentRoom->m_ClearDisplay = 1;
    const int32_t object = DepthObject(0);
    const auto mark = [](CInstance*, CInstance*, ScriptValue*) {
      g_seen.push_back(std::to_string(Event_GetNumber()) + " after " + std::to_string(FakeD3D().log.size()));
      GR_DrawRectangle(0, 0, 10, 10, false);
    };
    if (preDraw) AddHandler(object, EVENT_DRAW, kDrawEventPreDraw, mark);
    AddHandler(object, EVENT_DRAW, kDrawEventPostDraw, mark);
    CurrentRoom->AddInstance(0, 0, object);
    g_seen.clear();
    const size_t start = Mark();
    DrawRoom();
    // The window colour (green) cleared exactly once, the line before the first handler ran.
    const std::vector<std::string>& log = FakeD3D().log;
    std::vector<size_t> clears;
    for (size_t i = start; i < log.size(); ++i) {
      if (log[i].rfind("Clear", 0) == 0 && log[i].find("0x0000FF00") != std::string::npos) clears.push_back(i);
    }
    ASSERT_EQ(clears.size(), 1u);
    ASSERT_FALSE(g_seen.empty());
    const size_t firstHandler = std::stoul(g_seen[0].substr(g_seen[0].find("after ") + 6));
    EXPECT_EQ(clears[0] + 1, firstHandler) << g_seen[0];
  }
}

TEST_F(RoomDrawTest, AFrameEndingWithASurfaceTargetSetReportsItAndDrawsNoPostDrawGuiOrCursor) {
  testsupport::ErrorRecorder errors;
  const int32_t surface = GR_Surface_Create(32, 32, -1);
  ASSERT_GE(surface, 0);
  static int32_t s_surface;
  static bool s_leaveSet;
  s_surface = surface;
  s_leaveSet = true;
  const int32_t object = DepthObject(0);
  AddHandler(object, EVENT_DRAW, 0, [](CInstance*, CInstance*, ScriptValue*) {
    if (s_leaveSet) GR_Surface_SetTarget(0, s_surface);
  });
  for (int32_t number : {kDrawEventPostDraw, kDrawEventGuiBegin, kDrawEventGui, kDrawEventGuiEnd}) {
    AddHandler(object, EVENT_DRAW, number, RecordEvent);
  }
  g_RoomDraw.cursorSprite = PageSprite();
  CurrentRoom->AddInstance(0, 0, object);
  GraphicsFlush();
  const size_t unbalanced = Mark();
  DrawRoom();
  GraphicsFlush();
  EXPECT_TRUE(Since(unbalanced, "DrawPrimitive").empty()) << "no application surface on the window, no cursor";
  EXPECT_EQ(errors.errors(),
            (std::vector<testsupport::ErrorRecorder::Error>{
                {"Unbalanced surface stack. You MUST use surface_reset_target() for each set.", false}}));
  EXPECT_TRUE(g_seen.empty());
  EXPECT_TRUE(GR_Surface_StackEmpty());  // the next frame starts at the window
  EXPECT_EQ(g_RoomDraw.viewCurrent, 0);

  // Balanced, the same frame runs every pass and draws the cursor.
  s_leaveSet = false;
  errors.Clear();
  GraphicsFlush();
  const size_t mark = Mark();
  DrawRoom();
  GraphicsFlush();
  EXPECT_TRUE(errors.errors().empty());
  EXPECT_EQ(g_seen, (std::vector<std::string>{"77 100001", "74 100001", "64 100001", "75 100001"}));
  // The application surface on the window, then the cursor.
  EXPECT_EQ(Since(mark, "DrawPrimitive").size(), 2u);
}

// What a draw-begin handler sees of each view: view_current, viewport and view area.
void RecordView(CInstance*, CInstance*, ScriptValue*) {
  const TransformState& t = g_Transforms;
  g_seen.push_back("view " + std::to_string(g_RoomDraw.viewCurrent) + " port " +
                   Rect(t.viewportX, t.viewportY, t.viewportWidth, t.viewportHeight) + " area " +
                   Rect(static_cast<int32_t>(t.viewAreaX), static_cast<int32_t>(t.viewAreaY),
                        static_cast<int32_t>(t.viewAreaWidth), static_cast<int32_t>(t.viewAreaHeight)));
}

TEST_F(RoomDrawTest, EachVisibleViewIsDrawnIntoItsSurfaceOrItsScaledPort) {
  CRoom& room = *Room();
  room.m_Width = 2000;
  room.m_Height = 2000;
  room.m_ViewsEnabled = 1;
  const int32_t surface = GR_Surface_Create(50, 40, -1);
  // View 0: a port of the left half; view 1 draws into the surface; view 2 names a surface that
  // does not exist and falls back to its port; view 3 is not visible.
  room.m_Views[0] = RoomView{1, 10, 20, 300, 200, 0, 0, 320, 480, 0, 32, 32, -1, -1, -1, -1};
  room.m_Views[1] = RoomView{1, 0, 0, 100, 80, 0, 0, 10, 10, 0, 32, 32, -1, -1, -1, surface};
  room.m_Views[2] = RoomView{1, 500, 600, 320, 240, 320, 0, 320, 480, 0, 32, 32, -1, -1, -1, 999};
  room.m_Views[3] = RoomView{0, 0, 0, 10, 10, 0, 0, 10, 10, 0, 32, 32, -1, -1, -1, -1};
  const int32_t object = DepthObject(0);
  AddHandler(object, EVENT_DRAW, kDrawEventBegin, RecordView);
  room.AddInstance(0, 0, object);
  const size_t mark = Mark();
  DrawRoom();
  // The application surface is 640 x 480 and the ports span 640 x 480: scale 1.
  EXPECT_EQ(g_seen, (std::vector<std::string>{"view 0 port 0 0 320 480 area 10 20 300 200",
                                              "view 1 port 0 0 50 40 area 0 0 100 80",
                                              "view 2 port 320 0 320 480 area 500 600 320 240"}));
  EXPECT_EQ(g_RoomDraw.viewCurrent, 0);
  // The application surface, then view 1's surface, then back, then back to the window.
  const std::vector<std::string> targets = Since(mark, "SetRenderTarget 0");
  ASSERT_EQ(targets.size(), 4u);
  EXPECT_NE(targets[0], targets[1]);
  EXPECT_EQ(targets[2], targets[0]);
  EXPECT_EQ(targets[3], "SetRenderTarget 0 backbuffer");
  // Every mapping of a visible view is recorded for the mouse.
  EXPECT_TRUE(GR_Window_GetViewMapping(0)->inUse);
  EXPECT_TRUE(GR_Window_GetViewMapping(2)->inUse);
  EXPECT_FALSE(GR_Window_GetViewMapping(3)->inUse);
}

TEST_F(RoomDrawTest, WithViewsDisabledTheViewAreaIsTheWholeRoomWhateverTheWindowSize) {
  CRoom& room = *Room();
  room.m_Width = 1000;
  room.m_Height = 300;
  const int32_t object = DepthObject(0);
  AddHandler(object, EVENT_DRAW, kDrawEventBegin, RecordView);
  room.AddInstance(0, 0, object);
  DrawRoom();
  EXPECT_EQ(g_seen, (std::vector<std::string>{"view 0 port 0 0 640 480 area 0 0 1000 300"}));
}

TEST_F(RoomDrawTest, AHundredInstancesOfOneSpritePageReachTheDeviceInOneDrawCallPerView) {
  CRoom& room = *Room();
  room.m_ViewsEnabled = 1;
  room.m_Views[0] = RoomView{1, 0, 0, 640, 480, 0, 0, 320, 480, 0, 32, 32, -1, -1, -1, -1};
  room.m_Views[1] = RoomView{1, 0, 0, 640, 480, 320, 0, 320, 480, 0, 32, 32, -1, -1, -1, -1};
  const int32_t object = DepthObject(0);
  Object_Find(object)->m_SpriteIndex = PageSprite();
  for (int32_t i = 0; i < 100; ++i) room.AddInstance(static_cast<float>(i * 5), static_cast<float>(i * 4), object);
  // The draw-begin and draw-end handlers mark the log around each view's instances.
  const auto mark = [](CInstance*, CInstance*, ScriptValue*) {
    g_seen.push_back(std::to_string(FakeD3D().log.size()));
  };
  const int32_t marker = DepthObject(0);
  AddHandler(marker, EVENT_DRAW, kDrawEventBegin, mark);
  AddHandler(marker, EVENT_DRAW, kDrawEventEnd, mark);
  room.AddInstance(0, 0, marker);
  DrawRoom();
  ASSERT_EQ(g_seen.size(), 4u);
  for (int view = 0; view < 2; ++view) {
    const size_t from = std::stoul(g_seen[2 * view]), to = std::stoul(g_seen[2 * view + 1]);
    int draws = 0;
    for (size_t i = from; i < to; ++i) draws += FakeD3D().log[i].rfind("DrawPrimitive", 0) == 0 ? 1 : 0;
    EXPECT_EQ(draws, 1) << "view " << view;
  }
}

TEST_F(RoomDrawTest, ASurfaceResetDuringTheGuiPassRestoresTheGuiProjection) {
  GUI_SetSize(320, 240);
  static int32_t s_surface;
  s_surface = GR_Surface_Create(16, 16, -1);
  const int32_t object = DepthObject(0);
  AddHandler(object, EVENT_DRAW, kDrawEventGui, [](CInstance*, CInstance*, ScriptValue*) {
    GR_Surface_SetTarget(0, s_surface);
    GR_DrawRectangle(0, 0, 4, 4, false);
    GR_Surface_ResetTarget();
    const TransformState& t = g_Transforms;
    g_seen.push_back("port " + Rect(t.viewportX, t.viewportY, t.viewportWidth, t.viewportHeight) + " scale " +
                     std::to_string(t.matrices[kMatrixView].At(0, 0)) + " region " +
                     Rect(t.boundsLeft, t.boundsTop, t.boundsRight, t.boundsBottom));
  });
  CurrentRoom->AddInstance(0, 0, object);
  DrawRoom();
  EXPECT_EQ(g_seen, (std::vector<std::string>{"port 0 0 640 480 scale 2.000000 region 0 0 320 240"}));
  EXPECT_FALSE(g_RoomDraw.guiPass);
}

}  // namespace
