#include "testlib/GraphicsFixtures.h"

#include "debug/Debug_Overlay.h"
#include "debug/Debug_State.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Display.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/device/D3D_GL.h"

namespace {

testsupport::FakeDisplay g_display;

int32_t FakeCount() { return 1; }

bool FakeCurrent(int32_t display, OS_DisplayMode* mode) {
  if (display != 0 || !g_display.desktopReadable) return false;
  *mode = g_display.desktop;
  return true;
}

bool FakeMode(int32_t display, int32_t index, OS_DisplayMode* mode) {
  if (display != 0 || index < 0 || static_cast<size_t>(index) >= g_display.modes.size()) return false;
  *mode = g_display.modes[static_cast<size_t>(index)];
  return true;
}

bool FakeChange(const OS_DisplayRequest& request, uint32_t flags) {
  g_display.requests.emplace_back(request, flags);
  return g_display.changeSucceeds;
}

bool FakeGetCursor(int32_t* x, int32_t* y) {
  *x = g_display.cursorX;
  *y = g_display.cursorY;
  return true;
}

void FakeSetCursor(int32_t x, int32_t y) {
  g_display.cursorX = x;
  g_display.cursorY = y;
}

const OS_DisplaySource kFakeSource = {&FakeCount, &FakeCurrent, &FakeMode, &FakeChange, &FakeGetCursor, &FakeSetCursor};

}  // namespace

namespace testsupport {

FakeDisplay& TheFakeDisplay() { return g_display; }

const OS_DisplaySource* FakeDisplaySource() { return &kFakeSource; }

void ResetGraphicsState() {
  Graphics_Reset();
  g_Debug.overlay = DebugOverlayState{};
}

bool OpenTestDisplay(int32_t width, int32_t height) {
  if (!GR_D3D_Init(nullptr, width, height, 0)) return false;
  GR_SetViewport(0, 0, width, height);
  GR_SetViewArea(0, 0, width, height, 0);
  return true;
}

bool InstallTestGraphics(const D3D_Backend* backend, int32_t width, int32_t height) {
  g_display = FakeDisplay{};
  OS_SetDisplaySource(&kFakeSource);
  if (backend == FakeD3D_Backend()) FakeD3D_Reset();
  D3D_SetBackend(backend);
  return OpenTestDisplay(width, height);
}

void RemoveTestGraphics() {
  D3D_SetBackend(nullptr);
  OS_SetDisplaySource(nullptr);
}

void GraphicsTestBase::SetUp() {
  RuntimeTest::SetUp();
  g_display = FakeDisplay{};
  OS_SetDisplaySource(&kFakeSource);
  m_oldConsole = DebugConsole;
  DebugConsole = &console;
}

void GraphicsTestBase::TearDown() {
  RuntimeTest::TearDown();  // releases the device while its back end is still installed
  RemoveTestGraphics();
  DebugConsole = m_oldConsole;
}

void FakeGraphicsTest::SetUp() {
  GraphicsTestBase::SetUp();
  FakeD3D_Reset();
  D3D_SetBackend(FakeD3D_Backend());
}

void HeadlessGLTest::SetUp() {
  GraphicsTestBase::SetUp();
  D3D_SetBackend(GL_D3DBackend());
}

std::vector<uint32_t> HeadlessGLTest::ReadBack(int32_t x, int32_t y, int32_t width, int32_t height) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width > 0 ? width : 0) * static_cast<size_t>(height > 0 ? height : 0));
  if (!GL_ReadBackBuffer(g_GraphicsDevice.device, x, y, width, height, pixels.data())) pixels.clear();
  return pixels;
}

std::vector<TexturedVertex> OpenBatch() {
  const BatchVertexBuffer* b = g_VertexBatch.current;
  if (b == nullptr || g_VertexBatch.kind < 0 || g_VertexBatch.stride != sizeof(TexturedVertex)) return {};
  const auto* v = reinterpret_cast<const TexturedVertex*>(g_VertexBatch.base);
  return std::vector<TexturedVertex>(v, v + (b->nextFree - b->batchStart));
}

}  // namespace testsupport
