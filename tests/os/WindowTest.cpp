#include <gtest/gtest.h>

#include <SDL.h>

#include "os/OS_Messages.h"
#include "os/OS_Platform.h"
#include "os/OS_Window.h"

namespace {

// The same checks hold for both services: what the program asks of a window comes back.
void CheckWindowRoundTrip(const OSWindowService& w) {
  OSRect rect;
  EXPECT_FALSE(w.getClientRect(&rect));  // no window yet
  ASSERT_TRUE(w.createWindow("first", 100, 50, 320, 240, 0));
  w.setTitle("caf\xc3\xa9");
  ASSERT_TRUE(w.getClientRect(&rect));
  EXPECT_EQ(rect.Width(), 320);
  EXPECT_EQ(rect.Height(), 240);

  // The frame surrounds the client area by the borders.
  OSRect frame;
  ASSERT_TRUE(w.getWindowRect(&frame));
  const OSRect b = w.frameBorders();
  int32_t x = 0, y = 0;
  ASSERT_TRUE(w.clientToScreen(&x, &y));
  EXPECT_EQ(frame.left, x - b.left);
  EXPECT_EQ(frame.top, y - b.top);
  EXPECT_EQ(frame.Width(), 320 + b.left + b.right);

  // Setting the frame sets the client area inside it.
  w.setWindowRect(10, 20, 400 + b.left + b.right, 300 + b.top + b.bottom);
  ASSERT_TRUE(w.getClientRect(&rect));
  EXPECT_EQ(rect.Width(), 400);
  EXPECT_EQ(rect.Height(), 300);
  x = 5;
  y = 6;
  ASSERT_TRUE(w.clientToScreen(&x, &y));
  EXPECT_EQ(x, 10 + b.left + 5);
  EXPECT_EQ(y, 20 + b.top + 6);

  OSRect work;
  ASSERT_TRUE(w.displayWorkArea(&work));
  EXPECT_GT(work.Width(), 0);
  EXPECT_GT(work.Height(), 0);

  w.destroyWindow();
  EXPECT_FALSE(w.getWindowRect(&frame));
  EXPECT_FALSE(w.isActive());
}

TEST(WindowService, FakeKeepsWhatIsAskedAndAnswersWhatIsArranged) {
  OS_SetWindowService(OS_FakeWindowService());
  OSFakeWindowState& fake = OS_FakeWindowState();
  fake = OSFakeWindowState{};
  CheckWindowRoundTrip(OS_Window());

  const OSWindowService& w = OS_Window();
  ASSERT_TRUE(w.createWindow("t", 0, 0, 64, 64, 0));
  EXPECT_FALSE(w.isActive());
  w.setFocus();
  EXPECT_TRUE(w.isActive());
  w.setCursor(OSCursor::None);
  EXPECT_EQ(fake.cursor, OSCursor::None);
  fake.keys[144] = kOSKeyToggled;
  EXPECT_EQ(w.getKeyState(144), kOSKeyToggled);
  EXPECT_EQ(w.getKeyState(256), 0);
  EXPECT_EQ(w.getKeyState(-1), 0);
  w.sendKey(144, false);
  w.sendKey(144, true);
  ASSERT_EQ(fake.sentKeys.size(), 2u);
  EXPECT_TRUE(fake.sentKeys[1].release);
  fake.workArea = OSRect{0, 30, 800, 600};
  OSRect work;
  ASSERT_TRUE(w.displayWorkArea(&work));
  EXPECT_EQ(work.top, 30);
  fake.refuseCreate = true;
  EXPECT_FALSE(w.createWindow("t", 0, 0, 64, 64, 0));
  OS_SetWindowService(nullptr);
}

TEST(WindowService, RealServiceOverSdlRunsHeadless) {
  ASSERT_EQ(&OS_Window(), OS_RealWindowService());
  const OSWindowService& w = OS_Window();
  EXPECT_FALSE(w.createWindow("t", 0, 0, 64, 64, 0));  // no video system yet
  ASSERT_TRUE(InitPlatformUI());
  CheckWindowRoundTrip(w);

  ASSERT_TRUE(w.createWindow("keys", 0, 0, 64, 64, kOSWindowHidden));
  ASSERT_NE(w.sdlWindow(), nullptr);
  EXPECT_STREQ(SDL_GetWindowTitle(w.sdlWindow()), "keys");
  EXPECT_TRUE(w.isActive());  // headless: the game's window is the one in use
  w.setCursor(OSCursor::Cross);
  w.setCursor(OSCursor::None);

  // A simulated key reaches the pump as a key event of the window.
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  w.sendKey('A', false);
  w.sendKey(0xA1, true);
  w.sendKey(300, false);  // no such key: nothing
  SDL_Event events[4];
  ASSERT_EQ(SDL_PeepEvents(events, 4, SDL_GETEVENT, SDL_KEYDOWN, SDL_KEYUP), 2);
  EXPECT_EQ(events[0].type, static_cast<Uint32>(SDL_KEYDOWN));
  EXPECT_EQ(events[0].key.keysym.sym, SDLK_a);
  EXPECT_EQ(events[0].key.windowID, SDL_GetWindowID(w.sdlWindow()));
  EXPECT_EQ(events[1].type, static_cast<Uint32>(SDL_KEYUP));
  EXPECT_EQ(events[1].key.keysym.scancode, SDL_SCANCODE_RSHIFT);
  EXPECT_EQ(w.getKeyState('A') & kOSKeyDown, 0);
  EXPECT_EQ(w.getKeyState(999), 0);

  ShutdownPlatformUI();
  EXPECT_EQ(w.sdlWindow(), nullptr);
}

}  // namespace
