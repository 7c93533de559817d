// The vertex batch over the recording device fake: which requests share a draw call, how the
// batch buffers are made, locked and recycled across frames, and the fatal end when no buffer
// can be made.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ErrorSink.h"
#include "base/VCL.h"
#include "debug/Debug_State.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_RenderState.h"
#include "testlib/GraphicsFixtures.h"

namespace {

using ::testing::ElementsAre;

class VertexBatchTest : public testsupport::FakeGraphicsTest {
 protected:
  void SetUp() override {
    FakeGraphicsTest::SetUp();
    ASSERT_TRUE(GR_D3D_Init(nullptr, 640, 480, 0));
    GraphicsFlush();
    FakeD3D().log.clear();
  }

  // The log lines of the batch's own device calls.
  static std::vector<std::string> BatchLog() {
    std::vector<std::string> lines;
    for (const std::string& line : FakeD3D().log) {
      if (line.rfind("CreateVertexBuffer", 0) == 0 || line.rfind("Lock", 0) == 0 || line.rfind("Unlock", 0) == 0 ||
          line.rfind("DrawPrimitive", 0) == 0 || line.rfind("SetStreamSource", 0) == 0)
        lines.push_back(line);
    }
    return lines;
  }

  static void Triangles(int32_t vertices) { AllocVerts(D3DPT_TRIANGLELIST, nullptr, kVertexSizeTextured, vertices); }
};

TEST_F(VertexBatchTest, MatchingTriangleListsShareOneDrawWithTheirCombinedCount) {
  Triangles(3);
  Triangles(6);
  GraphicsFlush();
  EXPECT_THAT(BatchLog(), ElementsAre("CreateVertexBuffer 393216 0x200 0x142 2", "Lock vb1 0 393216 0x2000",
                                      "Unlock vb1", "SetStreamSource 0 vb1 0 24", "DrawPrimitive 4 0 3"));
  EXPECT_EQ(g_Debug.overlay.drawCalls, 1);
}

TEST_F(VertexBatchTest, FansAndStripsNeverShareADraw) {
  for (int32_t kind : {D3DPT_TRIANGLEFAN, D3DPT_TRIANGLESTRIP, D3DPT_LINESTRIP}) {
    FakeD3D().log.clear();
    AllocVerts(kind, nullptr, kVertexSizeColour, 4);
    AllocVerts(kind, nullptr, kVertexSizeColour, 4);
    GraphicsFlush();
    EXPECT_EQ(FakeD3D().Count("DrawPrimitive"), 2) << kind;
  }
}

TEST_F(VertexBatchTest, AStateChangeOrAnotherTextureOrSizeFlushesTheOpenBatch) {
  Triangles(3);
  GR_SetBlendMode(1);  // additive
  Triangles(3);
  GraphicsFlush();
  // The first batch is drawn before the new blend factor goes out; the second continues the
  // same buffer, locked again without overwriting what the device may still read.
  const std::vector<std::string> log = FakeD3D().log;
  const auto at = [&](const std::string& line) {
    for (size_t i = 0; i < log.size(); ++i)
      if (log[i] == line) return static_cast<int>(i);
    return -1;
  };
  ASSERT_EQ(FakeD3D().Count("DrawPrimitive 4 0 1"), 2);
  EXPECT_LT(at("DrawPrimitive 4 0 1"), at("SetRenderState 20 2"));
  EXPECT_GE(at("Lock vb1 72 393144 0x1000"), 0);
  EXPECT_GE(at("SetStreamSource 0 vb1 72 24"), 0);

  // Another vertex size starts a buffer of its own layout.
  FakeD3D().log.clear();
  Triangles(3);
  AllocVerts(D3DPT_TRIANGLELIST, nullptr, kVertexSizeColour, 3);
  GraphicsFlush();
  EXPECT_EQ(FakeD3D().Count("DrawPrimitive"), 2);
  EXPECT_EQ(FakeD3D().Count("CreateVertexBuffer 262144 0x200 0x42 2"), 1);
}

TEST_F(VertexBatchTest, ALargeRequestMakesABufferExactlyThatLarge) {
  Triangles(20001);
  GraphicsFlush();
  EXPECT_THAT(FakeD3D().Lines("CreateVertexBuffer"), ElementsAre("CreateVertexBuffer 480024 0x200 0x142 2"));
  // A full buffer is not appended to: the next request takes a new one.
  Triangles(16384);
  Triangles(3);
  GraphicsFlush();
  EXPECT_EQ(FakeD3D().Count("CreateVertexBuffer"), 3);
}

TEST_F(VertexBatchTest, ABufferIsTakenAgainOnlyInTheFifthFrameAfterItsStamp) {
  for (int frame = 0; frame < 6; ++frame) {
    Triangles(3);
    GraphicsFlush();
    ResetVertexBuffersForFrame();
  }
  // Frames 1 to 5 each made a buffer; frame 6 took the first one back, discarding its contents.
  EXPECT_EQ(FakeD3D().Count("CreateVertexBuffer"), 5);
  const std::vector<std::string> locks = FakeD3D().Lines("Lock");
  ASSERT_EQ(locks.size(), 6u);
  EXPECT_EQ(locks.back(), "Lock vb1 0 393216 0x2000");
  EXPECT_EQ(g_VertexBatch.frameCounter, 16u);
}

TEST_F(VertexBatchTest, DrawBatchCountsPrimitivesByKindAndDrawsNothingBelowOne) {
  struct Case {
    int32_t kind;
    int32_t count;
    const char* line;  // null: no draw
  };
  const Case cases[] = {{D3DPT_TRIANGLELIST, 8, "DrawPrimitive 4 0 2"}, {D3DPT_LINELIST, 5, "DrawPrimitive 2 0 2"},
                        {D3DPT_LINESTRIP, 5, "DrawPrimitive 3 0 4"},    {D3DPT_TRIANGLESTRIP, 5, "DrawPrimitive 5 0 3"},
                        {D3DPT_TRIANGLEFAN, 2, nullptr},                {D3DPT_POINTLIST, 3, "DrawPrimitive 1 0 3"},
                        {9, 3, "DrawPrimitive 1 0 3"},                   {D3DPT_TRIANGLELIST, 2, nullptr}};
  for (const Case& c : cases) {
    FakeD3D().log.clear();
    AllocVerts(c.kind, nullptr, kVertexSizeColour, c.count);
    GraphicsFlush();
    if (c.line != nullptr) {
      EXPECT_THAT(FakeD3D().Lines("DrawPrimitive"), ElementsAre(c.line)) << c.kind << " " << c.count;
    } else {
      EXPECT_EQ(FakeD3D().Count("DrawPrimitive"), 0) << c.kind << " " << c.count;
    }
  }
}

TEST_F(VertexBatchTest, ReleasedVerticesAreNotDrawn) {
  Triangles(9);
  ReleaseVerts(3);
  GraphicsFlush();
  EXPECT_THAT(FakeD3D().Lines("DrawPrimitive"), ElementsAre("DrawPrimitive 4 0 2"));
}

TEST_F(VertexBatchTest, WithSingleUseBuffersEveryFlushEndsItsBuffersUse) {
  g_GraphicsDevice.singleUseBuffers = true;
  Triangles(3);
  GraphicsFlush();
  Triangles(3);
  GraphicsFlush();
  EXPECT_EQ(FakeD3D().Count("CreateVertexBuffer"), 2);
  ResetVertexBuffersForFrame();
  EXPECT_EQ(g_VertexBatch.minBufferSize, 4096);
}

TEST_F(VertexBatchTest, WhenNeitherPoolGivesABufferTheProgramEndsWithTheFatalText) {
  FakeD3D().Fail("CreateVertexBuffer", D3DERR_OUTOFVIDEOMEMORY, 2);
  testsupport::RecordingConsole output;
  tagIConsole* saved = OutputConsole;
  OutputConsole = &output;
  testsupport::MessageBoxRecorder boxes;
  {
    testsupport::ProcessExitTrap trap;
    try {
      Triangles(3);
      ADD_FAILURE() << "the program did not end";
    } catch (const testsupport::ProcessExited& e) {
      EXPECT_EQ(e.status, kFatalExitStatus);
    }
  }
  OutputConsole = saved;
  EXPECT_THAT(FakeD3D().Lines("CreateVertexBuffer"),
              ElementsAre("CreateVertexBuffer 393216 0x200 0x142 2", "CreateVertexBuffer 393216 0x8 0x142 0"));
  EXPECT_THAT(output.Text(), ::testing::HasSubstr("Fatal Error: Can not create vertex buffer of size 393216 bytes\n0 "
                                                  "vertex buffers allocated with total size of 0 KB\n"));
}

TEST_F(VertexBatchTest, WithErrorsSuppressedAFailedBufferTakesTheWritesAndDrawsNothing) {
  FakeD3D().Fail("CreateVertexBuffer", D3DERR_OUTOFVIDEOMEMORY, 2);
  g_ErrorSuppressed.store(true);
  auto* v = static_cast<TexturedVertex*>(AllocVerts(D3DPT_TRIANGLELIST, nullptr, kVertexSizeTextured, 3));
  ASSERT_NE(v, nullptr);
  v[2] = TexturedVertex{1, 2, 3, 4, 5, 6};
  GraphicsFlush();
  g_ErrorSuppressed.store(false);
  g_ErrorFlag.store(false);
  EXPECT_EQ(FakeD3D().Count("DrawPrimitive"), 0);
}

TEST_F(VertexBatchTest, StridesFollowTheLayoutBits) {
  EXPECT_EQ(VertexStrideFromFVF(0x42), 16);
  EXPECT_EQ(VertexStrideFromFVF(0x142), 24);
  EXPECT_EQ(VertexStrideFromFVF(0x152), 36);
  EXPECT_EQ(VertexStrideFromFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), 20);
  EXPECT_EQ(VertexStrideFromFVF(0x1000), 0);
}

}  // namespace
