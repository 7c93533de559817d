// The particle system table: slots reused after a destroy, settings on live systems only, and the
// depths room drawing asks for.
#include <gtest/gtest.h>

#include "particle/Particle_System.h"
#include "testlib/RuntimeTest.h"

namespace {

class ParticleSystemTest : public testsupport::RuntimeTest {};

TEST_F(ParticleSystemTest, AFreedSlotIsReusedClearedAndBadIdsChangeNothing) {
  const int32_t a = ParticleSystem_Create();
  const int32_t b = ParticleSystem_Create();
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  ParticleSystem_Depth(a, 40);
  ParticleSystem_Position(a, 3, 4);
  ParticleSystem_Destroy(a);
  EXPECT_FALSE(ParticleSystem_Exists(a));
  ParticleSystem_Depth(a, 99);  // a destroyed system takes no settings
  EXPECT_EQ(g_ParticleSystems.systems[a]->depth, 0);
  EXPECT_EQ(ParticleSystem_Create(), a);
  EXPECT_TRUE(ParticleSystem_Exists(a));
  EXPECT_EQ(g_ParticleSystems.systems[a]->x, 0);
  for (int32_t bad : {-1, 2, 1 << 30}) {
    EXPECT_FALSE(ParticleSystem_Exists(bad));
    ParticleSystem_Depth(bad, 1);
    ParticleSystem_Destroy(bad);
  }
  ParticleSystem_Depth(b, 7);
  ParticleSystem_AutomaticDraw(b, false);
  ParticleSystem_Clear(b);
  EXPECT_EQ(g_ParticleSystems.systems[b]->depth, 0);
  EXPECT_EQ(g_ParticleSystems.systems[b]->automaticDraw, 1);
}

TEST_F(ParticleSystemTest, RoomDrawingSeesTheDepthsOfLiveAutomaticallyDrawnSystems) {
  EXPECT_EQ(ParticleSystem_MaxDepth(), kNoParticleDepth);
  const int32_t ids[] = {ParticleSystem_Create(), ParticleSystem_Create(), ParticleSystem_Create(),
                         ParticleSystem_Create(), ParticleSystem_Create()};
  ParticleSystem_Depth(ids[0], 5);
  ParticleSystem_Depth(ids[1], 5.005f);
  ParticleSystem_Depth(ids[2], -3);
  ParticleSystem_Depth(ids[3], 50);
  ParticleSystem_AutomaticDraw(ids[3], false);
  ParticleSystem_Depth(ids[4], 60);
  ParticleSystem_Destroy(ids[4]);
  EXPECT_EQ(ParticleSystem_MaxDepth(), 5.005f);
  EXPECT_EQ(ParticleSystem_NextDepthBelow(5.005f), 5.0f);
  EXPECT_EQ(ParticleSystem_NextDepthBelow(5.0f), -3.0f);
  EXPECT_EQ(ParticleSystem_NextDepthBelow(-3.0f), kNoParticleDepth);
  // Systems within 0.01 of the depth are drawn together; the others wait for their own.
  EXPECT_EQ(ParticleSystem_DrawAtDepth(5.0f), 2);
  EXPECT_EQ(ParticleSystem_DrawAtDepth(-3.0f), 1);
  EXPECT_EQ(ParticleSystem_DrawAtDepth(50.0f), 0);
}

}  // namespace
