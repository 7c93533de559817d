// Fixtures for graphics tests: a scripted display source, a fixture over the recording device
// fake, and a headless OpenGL fixture (an EGL surfaceless context on Mesa).
#pragma once

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "graphics/Graphics_Batch.h"
#include "graphics/device/D3D_Fake.h"
#include "os/OS_DisplayModes.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

namespace testsupport {

// What the scripted display source answers, and the display-setting requests it was given.
struct FakeDisplay {
  OS_DisplayMode desktop{0, 0, 1024, 768, 32, 60};
  bool desktopReadable = true;
  std::vector<OS_DisplayMode> modes{{0, 0, 1024, 768, 32, 60}};
  std::vector<std::pair<OS_DisplayRequest, uint32_t>> requests;  // request, change flags
  bool changeSucceeds = false;
  int32_t cursorX = 0, cursorY = 0;
};
FakeDisplay& TheFakeDisplay();
const OS_DisplaySource* FakeDisplaySource();

// Fresh graphics state around each test, with the scripted display installed and the debug
// console recorded. The device back end is chosen by the subclass.
class GraphicsTestBase : public RuntimeTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  RecordingConsole console;

 private:
  tagIConsole* m_oldConsole = nullptr;
};

// Graphics over the recording fake (FakeD3D() scripts and logs it).
class FakeGraphicsTest : public GraphicsTestBase {
 protected:
  void SetUp() override;
};

// Graphics over OpenGL without a window.
class HeadlessGLTest : public GraphicsTestBase {
 protected:
  void SetUp() override;
  // The back buffer's pixels (0xAARRGGBB, rows from the top) in a rectangle; empty on failure.
  std::vector<uint32_t> ReadBack(int32_t x, int32_t y, int32_t width, int32_t height);
};

// Graphics state records back to their start values (device released first).
void ResetGraphicsState();

// Opens the device on a width x height back buffer with the viewport and the view area covering
// it; false when the device could not be made.
bool OpenTestDisplay(int32_t width, int32_t height);

// The graphics set-up of fixtures built on another base: the scripted display (fresh) and
// `backend` installed (the recording fake reset first), then a width x height display opened;
// false when the device could not be made. RemoveTestGraphics takes the back end and the display
// source away again once the device has been released.
bool InstallTestGraphics(const D3D_Backend* backend, int32_t width, int32_t height);
void RemoveTestGraphics();

// The vertices of the open batch (textured 24-byte layout); empty when no batch is open or its
// vertices have another layout.
std::vector<TexturedVertex> OpenBatch();

}  // namespace testsupport
