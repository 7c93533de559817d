// The main window and its window procedure: SDL events pushed into SDL's queue under the
// offscreen driver, pumped by PumpMessages and read back from the step input state.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "base/VCL.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Window.h"
#include "io/IO_Main.h"
#include "option/Option_Main.h"
#include "os/MessageBox.h"
#include "os/OS_GameWindow.h"
#include "os/OS_Messages.h"
#include "os/OS_Platform.h"
#include "os/OS_Services.h"
#include "os/OS_Window.h"
#include "run/Run_Frame.h"
#include "run/Run_Global.h"
#include "run/Run_Startup.h"
#include "runner/GameData.h"
#include "testlib/GraphicsFixtures.h"
#include "testlib/RuntimeTest.h"
#include "testlib/SdlEvents.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

TEST(TranslateKeyTest, KeysReadByKeycodeElseByTheirUSKey) {
  struct Case {
    int32_t keycode;
    SDL_Scancode scancode;
    uint16_t mod;
    int32_t key;
    const char* why;
  };
  const Case cases[] = {
      {SDLK_a, SDL_SCANCODE_A, 0, 65, "letters by keycode"},
      {SDLK_a, SDL_SCANCODE_Q, 0, 65, "an AZERTY A is still A"},
      {SDLK_z, SDL_SCANCODE_Z, KMOD_SHIFT, 90, "shift changes no key number"},
      {SDLK_5, SDL_SCANCODE_5, 0, 53, "digits"},
      {SDLK_F1, SDL_SCANCODE_F1, 0, 112, "F1"},
      {SDLK_F12, SDL_SCANCODE_F12, 0, 123, "F12"},
      {SDLK_F13, SDL_SCANCODE_F13, 0, 124, "F13"},
      {SDLK_KP_8, SDL_SCANCODE_KP_8, KMOD_NUM, 104, "keypad 8 with Num Lock"},
      {SDLK_KP_8, SDL_SCANCODE_KP_8, 0, 38, "keypad 8 without Num Lock is up"},
      {SDLK_KP_0, SDL_SCANCODE_KP_0, 0, 45, "keypad 0 without Num Lock is insert"},
      {SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, KMOD_NUM, 110, "keypad point"},
      {SDLK_KP_MULTIPLY, SDL_SCANCODE_KP_MULTIPLY, 0, 106, "keypad multiply"},
      {SDLK_KP_DIVIDE, SDL_SCANCODE_KP_DIVIDE, 0, 111, "keypad divide"},
      {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, 0, 13, "keypad enter is enter"},
      {SDLK_LEFT, SDL_SCANCODE_LEFT, 0, 37, "arrows"},
      {SDLK_DOWN, SDL_SCANCODE_DOWN, 0, 40, "arrows"},
      {SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, 0, 8, "backspace"},
      {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0, 27, "escape"},
      {SDLK_DELETE, SDL_SCANCODE_DELETE, 0, 46, "delete"},
      {SDLK_LGUI, SDL_SCANCODE_LGUI, 0, 91, "left system key"},
      {SDLK_APPLICATION, SDL_SCANCODE_APPLICATION, 0, 93, "menu key"},
      {SDLK_NUMLOCKCLEAR, SDL_SCANCODE_NUMLOCKCLEAR, 0, 144, "num lock"},
      {SDLK_SCROLLLOCK, SDL_SCANCODE_SCROLLLOCK, 0, 145, "scroll lock"},
      {SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, 0, 186, "punctuation"},
      {SDLK_BACKQUOTE, SDL_SCANCODE_GRAVE, 0, 192, "punctuation"},
      {SDLK_QUOTE, SDL_SCANCODE_APOSTROPHE, 0, 222, "punctuation"},
      {SDLK_RCTRL, SDL_SCANCODE_RCTRL, 0, 0xA3, "sides are told apart"},
      {SDLK_LALT, SDL_SCANCODE_LALT, 0, 0xA4, "sides are told apart"},
      {0x444, SDL_SCANCODE_A, 0, 65, "a Cyrillic letter reads as the US key of its place"},
      {0xDF, SDL_SCANCODE_MINUS, 0, 189, "a German sharp s reads as minus"},
      {0x431, SDL_SCANCODE_COMMA, 0, 188, "a Cyrillic letter on the comma key"},
      {SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY, 0, 0, "keys without a number are dropped"},
      {SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN, 0, 0, "unknown"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OS_TranslateKey(c.keycode, c.scancode, c.mod), c.key) << c.why;
  }
}

class GameWindowTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    ASSERT_TRUE(InitPlatformUI());
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    m_oldProcedure = PumpMessages_SetWindowProcedure(GameWindowProc);
    Run_SetRunning(true);
    IO_Init();
    IO_StartStep();
  }
  void TearDown() override {
    PumpMessages_SetWindowProcedure(m_oldProcedure);
    ShutdownPlatformUI();
    RuntimeTest::TearDown();
  }

  static void Text(const char* text) {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    std::strncpy(event.text.text, text, sizeof event.text.text - 1);
    ASSERT_EQ(SDL_PushEvent(&event), 1);
  }
  static void Window(Uint8 kind, int32_t data1 = 0, int32_t data2 = 0, Uint32 timestamp = 0) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = kind;
    event.window.data1 = data1;
    event.window.data2 = data2;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    if (timestamp != 0) {
      // SDL stamps pushed events itself: put the wanted time in place.
      SDL_Event queued;
      ASSERT_EQ(SDL_PeepEvents(&queued, 1, SDL_GETEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT), 1);
      queued.window.timestamp = timestamp;
      ASSERT_EQ(SDL_PeepEvents(&queued, 1, SDL_ADDEVENT, 0, 0), 1);
    }
  }
  // The events are drained and the next step takes them in.
  static void Step() {
    PumpMessages();
    IO_StartStep();
  }

  WindowProcedure m_oldProcedure = nullptr;
};

TEST_F(GameWindowTest, SideKeysReportTheGenericNumberThenTheirSide) {
  PushKey(SDL_KEYDOWN, SDLK_RCTRL, SDL_SCANCODE_RCTRL);
  Step();
  EXPECT_TRUE(IO_KeyPressed(17));
  EXPECT_TRUE(IO_KeyPressed(0xA3));
  EXPECT_FALSE(IO_KeyPressed(0xA2));
  EXPECT_EQ(IO_GetLastKey(), 0xA3);  // the side came second

  PushKey(SDL_KEYDOWN, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT);
  PushKey(SDL_KEYDOWN, SDLK_RSHIFT, SDL_SCANCODE_RSHIFT);
  Step();
  EXPECT_TRUE(IO_KeyPressed(16));
  EXPECT_TRUE(IO_KeyPressed(0xA0));
  EXPECT_TRUE(IO_KeyPressed(0xA1));

  PushKey(SDL_KEYUP, SDLK_RSHIFT, SDL_SCANCODE_RSHIFT);
  Step();
  EXPECT_TRUE(IO_KeyReleased(16));
  EXPECT_TRUE(IO_KeyReleased(0xA1));
  EXPECT_FALSE(IO_KeyReleased(0xA0));
  EXPECT_TRUE(IO_KeyDown(0xA0));

  PushKey(SDL_KEYDOWN, SDLK_RALT, SDL_SCANCODE_RALT);
  PushKey(SDL_KEYUP, SDLK_RALT, SDL_SCANCODE_RALT);
  Step();
  EXPECT_TRUE(IO_KeyReleased(18));
  EXPECT_TRUE(IO_KeyReleased(0xA5));
}

TEST_F(GameWindowTest, RepeatsGiveOnePressAndControlKeysTypeTheirCharacters) {
  PushKey(SDL_KEYDOWN, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE);
  PushKey(SDL_KEYDOWN, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, 0, true);
  Step();
  EXPECT_TRUE(IO_KeyPressed(8));
  EXPECT_EQ(IO_GetLastChar(), 8);

  Text("ab\xC3\xA9\xF0\x9F\x98\x80");
  Step();
  EXPECT_STREQ(IO_GetKeyboardString(), "ab\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(IO_GetLastChar(), 0xDE00);  // the pair's second unit came last

  // Held backspace: each repeat removes a character (the pair whole).
  PushKey(SDL_KEYDOWN, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, 0, true);
  PushKey(SDL_KEYDOWN, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, 0, true);
  Step();
  EXPECT_FALSE(IO_KeyPressed(8));
  EXPECT_STREQ(IO_GetKeyboardString(), "ab");

  for (auto [keycode, scancode, ch] : {std::tuple{SDLK_TAB, SDL_SCANCODE_TAB, 9},
                                       std::tuple{SDLK_RETURN, SDL_SCANCODE_RETURN, 13},
                                       std::tuple{SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 27}}) {
    PushKey(SDL_KEYDOWN, keycode, scancode);
    Step();
    EXPECT_EQ(IO_GetLastChar(), ch);
  }
  EXPECT_STREQ(IO_GetKeyboardString(), "ab");  // control characters are not stored
}

TEST_F(GameWindowTest, MouseButtonsMovementAndTheWheel) {
  SDL_Event move{};
  move.type = SDL_MOUSEMOTION;
  move.motion.x = 120;
  move.motion.y = -3;
  ASSERT_EQ(SDL_PushEvent(&move), 1);
  Step();
  EXPECT_EQ(IO_GetRawMouseX(0), 120);
  EXPECT_EQ(IO_GetRawMouseY(0), -3);

  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 10, 20);
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 10, 20);
  Step();
  EXPECT_TRUE(IO_DeviceButtonPressed(2, 0));
  EXPECT_EQ(IO_GetMouseButton(0), 2);  // the side button is ignored
  EXPECT_EQ(IO_GetRawMouseX(0), 10);   // the click's place
  PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 10, 20);
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 11, 21);
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 12, 22);
  PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 12, 22);
  Step();
  EXPECT_TRUE(IO_DeviceButtonReleased(2, 0));
  EXPECT_TRUE(IO_DeviceButtonPressed(3, 0));
  EXPECT_FALSE(IO_DeviceButtonPressed(1, 0));  // pressed and released before the step
  EXPECT_TRUE(IO_DeviceButtonReleased(1, 0));
  EXPECT_EQ(IO_GetMouseLastButton(0), 1);

  PushWheel(2);
  Step();
  EXPECT_TRUE(IO_WheelUp(0));
  EXPECT_FALSE(IO_WheelDown(0));
  PushWheel(1, true);  // the system reports this wheel's direction flipped
  Step();
  EXPECT_FALSE(IO_WheelUp(0));
  EXPECT_TRUE(IO_WheelDown(0));
  PushWheel(0);
  Step();
  EXPECT_FALSE(IO_WheelUp(0));
  EXPECT_FALSE(IO_WheelDown(0));
}

TEST_F(GameWindowTest, AltEnterTogglesFullScreenOnlyWhenTheGameAllowsIt) {
  g_Options.altEnterFullScreen = true;
  PushKey(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT);
  Step();
  EXPECT_TRUE(GR_Window_GetFullscreen());
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 1);
  EXPECT_TRUE(IO_KeyPressed(13));  // the key still reaches the game
  // A repeat and a plain Enter change nothing.
  PushKey(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT, true);
  PushKey(SDL_KEYUP, SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT);
  PushKey(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN);
  Step();
  EXPECT_TRUE(GR_Window_GetFullscreen());
  PushKey(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_RALT);
  Step();
  EXPECT_FALSE(GR_Window_GetFullscreen());

  g_Options.altEnterFullScreen = false;
  g_FrameLoop.resizeCountdown = 0;
  PushKey(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT);
  Step();
  EXPECT_FALSE(GR_Window_GetFullscreen());
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 0);
}

TEST_F(GameWindowTest, AltF4EndsOnlyAGameStartedByASwitchWithAWayBack) {
  PushKey(SDL_KEYDOWN, SDLK_F4, SDL_SCANCODE_F4, KMOD_LALT);
  Step();
  EXPECT_EQ(Run_GetNewRoom(), kNewRoomNone);
  EXPECT_TRUE(IO_KeyPressed(115));

  Run_RequestGameSwitch("next.win", "back.win", nullptr);
  ::testing::internal::CaptureStdout();
  HandleGameSwitch();
  ::testing::internal::GetCapturedStdout();
  ASSERT_TRUE(Run_SwitchedWithExitBack());
  PushKey(SDL_KEYUP, SDLK_F4, SDL_SCANCODE_F4, KMOD_LALT);
  PushKey(SDL_KEYDOWN, SDLK_F4, SDL_SCANCODE_F4);
  PushKey(SDL_KEYUP, SDLK_F4, SDL_SCANCODE_F4);
  Step();
  EXPECT_EQ(Run_GetNewRoom(), kNewRoomNone);  // F4 alone
  PushKey(SDL_KEYDOWN, SDLK_F4, SDL_SCANCODE_F4, KMOD_RALT);
  Step();
  EXPECT_EQ(Run_GetNewRoom(), kNewRoomEndGame);
  EXPECT_TRUE(IO_KeyPressed(115));
}

TEST_F(GameWindowTest, ACloseRequestOnlyAsksToQuit) {
  ASSERT_TRUE(OS_Window().createWindow("t", 0, 0, 64, 48, kOSWindowHidden));
  Window(SDL_WINDOWEVENT_CLOSE);
  PumpMessages();  // meets the close; the quit request it posts is met by the next drain
  EXPECT_TRUE(Run_IsRunning());
  PumpMessages();
  EXPECT_FALSE(Run_IsRunning());
  EXPECT_NE(OS_Window().sdlWindow(), nullptr);  // the window goes with the shutdown only

  Run_SetRunning(true);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&quit), 1);
  // The earlier drain stopped at the quit request, before SDL's end-of-drain mark: one more
  // drain reaches that mark first.
  for (int i = 0; i < 3; ++i) PumpMessages();
  EXPECT_FALSE(Run_IsRunning());
  EXPECT_NE(OS_Window().sdlWindow(), nullptr);
}

TEST_F(GameWindowTest, FocusLossPausesUnlessOurMessageBoxTookIt) {
  Window(SDL_WINDOWEVENT_FOCUS_GAINED);
  PumpMessages();
  EXPECT_TRUE(g_GameWindow.focus);
  EXPECT_FALSE(g_OSServices.pauseRequested);

  OS_NoteMessageBoxTime(5000, 6000);
  Window(SDL_WINDOWEVENT_FOCUS_LOST, 0, 0, 5500);
  PumpMessages();
  EXPECT_FALSE(g_GameWindow.focus);
  EXPECT_FALSE(g_OSServices.pauseRequested);

  Window(SDL_WINDOWEVENT_FOCUS_LOST, 0, 0, 6001);
  PumpMessages();
  EXPECT_TRUE(g_OSServices.pauseRequested);
}

TEST_F(GameWindowTest, APlayersResizeBecomesThePendingSize) {
  Window(SDL_WINDOWEVENT_RESIZED, 900, 700);
  PumpMessages();
  EXPECT_TRUE(g_GameWindow.sizeChanged);
  EXPECT_EQ(g_GraphicsDevice.pendingWidth, 900);
  EXPECT_EQ(g_GraphicsDevice.pendingHeight, 700);
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 10);

  // Minimised to nothing: no size to apply.
  Window(SDL_WINDOWEVENT_RESIZED, 0, 0);
  PumpMessages();
  EXPECT_EQ(g_GraphicsDevice.pendingWidth, -1);
  EXPECT_EQ(g_GraphicsDevice.pendingHeight, -1);

  // In full screen the size is the display's: ignored.
  g_GraphicsDevice.fullScreen = true;
  g_FrameLoop.resizeCountdown = 0;
  Window(SDL_WINDOWEVENT_RESIZED, 300, 200);
  PumpMessages();
  EXPECT_EQ(g_GraphicsDevice.pendingWidth, -1);
  EXPECT_EQ(g_FrameLoop.resizeCountdown, 0);
}

// Creation over the in-memory window service and a scripted 1024 x 768 display.
class CreateGameWindowTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    OS_SetWindowService(OS_FakeWindowService());
    OS_FakeWindowState() = OSFakeWindowState{};
    OS_SetDisplaySource(FakeDisplaySource());
    TheFakeDisplay() = FakeDisplay{};
    m_oldDebug = DebugConsole;
    m_oldOutput = OutputConsole;
    DebugConsole = OutputConsole = &m_console;
    m_oldProcedure = PumpMessages_SetWindowProcedure(nullptr);
    g_GameData.headerInfo.displayName = m_name;
  }
  void TearDown() override {
    g_GameData.headerInfo.displayName = nullptr;
    PumpMessages_SetWindowProcedure(m_oldProcedure);
    DebugConsole = m_oldDebug;
    OutputConsole = m_oldOutput;
    OS_SetDisplaySource(nullptr);
    OS_SetWindowService(nullptr);
    RuntimeTest::TearDown();
  }

  char m_name[12] = "Space Drift";
  RecordingConsole m_console;
  tagIConsole* m_oldDebug = nullptr;
  tagIConsole* m_oldOutput = nullptr;
  WindowProcedure m_oldProcedure = nullptr;
};

TEST_F(CreateGameWindowTest, StyleComesFromTheHeaderFlags) {
  struct Case {
    uint32_t flags;
    uint32_t style;
  };
  const uint32_t base = kOSWindowOpenGL | kOSWindowHidden;
  const Case cases[] = {
      {0, base},
      {kHeaderResizable, base | kOSWindowResizable},
      {kHeaderBorderless | kHeaderResizable, base | kOSWindowBorderless},
      {kHeaderFullScreen, base | kOSWindowFullScreen},
      {kHeaderFullScreen | kHeaderBorderless, base | kOSWindowFullScreen | kOSWindowBorderless},
  };
  for (const Case& c : cases) {
    g_GameData.headerInfo.optionBits = c.flags;
    CreateGameWindow(640, 480);
    EXPECT_EQ(OS_FakeWindowState().createStyle, c.style) << c.flags;
  }
}

TEST_F(CreateGameWindowTest, TheClientAreaIsClampedAndCentredAndTheWindowDressed) {
  g_GameData.headerInfo.optionBits = kHeaderShowCursor;
  CreateGameWindow(2000, 400);
  const OSFakeWindowState& w = OS_FakeWindowState();
  ASSERT_TRUE(w.windowExists);
  // 1024 wide (the display), centred: (1024 - 1024) / 2 = 0, (768 - 400) / 2 = 184.
  EXPECT_EQ(w.client.left, 0);
  EXPECT_EQ(w.client.top, 184);
  EXPECT_EQ(w.client.Width(), 1024);
  EXPECT_EQ(w.client.Height(), 400);
  EXPECT_EQ(w.title, "Space Drift");
  EXPECT_STREQ(GR_Window_GetCaption(), "Space Drift");
  EXPECT_EQ(w.iconWidth, 32);
  EXPECT_EQ(w.cursor, OSCursor::Arrow);
  EXPECT_EQ(GR_Window_GetCursor(), 0);
  EXPECT_EQ(m_console.lines,
            (std::vector<std::string>{"AdjustWindowRectEx\n", "RegisterClassEx\n", "CreateWindowEx\n"}));
  // The window procedure is the game's from now on.
  EXPECT_EQ(PumpMessages_SetWindowProcedure(nullptr), &GameWindowProc);

  g_GameData.headerInfo.optionBits = 0;
  CreateGameWindow(320, 200);
  EXPECT_EQ(w.cursor, OSCursor::None);
  EXPECT_EQ(GR_Window_GetCursor(), -1);

  BringGameWindowToFront();
  EXPECT_TRUE(w.shown);
  EXPECT_EQ(w.raiseCount, 1);
}

TEST_F(CreateGameWindowTest, AWindowThatCannotBeMadeIsReported) {
  OS_FakeWindowState().refuseCreate = true;
  CreateGameWindow(640, 480);
  EXPECT_FALSE(OS_FakeWindowState().windowExists);
  EXPECT_EQ(m_console.Count("Failed to create mainwindow\n"), 1);
  EXPECT_EQ(GR_Window_GetCaption(), nullptr);
}

}  // namespace
