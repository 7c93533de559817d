#include "run/Run_Main.h"

#include <cstdio>
#include <string>

#include "graphics/Graphics_Screenshot.h"
#include "io/IO_Main.h"
#include "os/OS_Messages.h"
#include "os/OS_Paths.h"
#include "os/OS_Window.h"
#include "platform/MemoryManager.h"
#include "run/Run_CommandLine.h"
#include "run/Run_Frame.h"
#include "run/Run_Global.h"
#include "run/Run_Startup.h"
#include "run/Runtime_Reset.h"

namespace {

// What outlives the passes of the restart loop.
struct RestartLoopState {
  char* commandLine = nullptr;  // memory-manager text sized for the line
  bool restart = true;
  bool firstPass = true;
};
RestartLoopState g_loop;

// The default game file: "data.win" beside the executable, when it can be opened.
void LocateDefaultGameFile() {
  std::string path = GetExecutablePath();
  const size_t cut = path.rfind('/');
  path = (cut == std::string::npos ? std::string() : path.substr(0, cut + 1)) + "data.win";
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    std::fclose(file);
    SetGameFilePath(path.c_str());
  }
}

}  // namespace

void Runner_SetCommandLine(const char* commandLine) {
  char* copy = MemoryManager::DuplicateText(commandLine ? commandLine : "");
  MemoryManager::Free(g_loop.commandLine);
  g_loop.commandLine = copy;
}

const char* Runner_GetCommandLine() { return g_loop.commandLine; }

void Runner_RequestRestart() { g_loop.restart = true; }

bool Runner_IsFirstPass() { return g_loop.firstPass; }

int RunRestartLoop(const char* commandLine) {
  g_loop = RestartLoopState{};
  Runner_SetCommandLine(commandLine);
  MoveAtNamedFiles();
  int status = 0;
  while (g_loop.restart) {
    g_loop.restart = false;
    LocateDefaultGameFile();
    ParseCommandLine(g_loop.commandLine);
    MakeGameFilePathAbsolute();
    InitRunner();
    const bool started = StartRunner();
    status = started ? 0 : 1;
    OS_Window().setFocus();
    while (Run_IsRunning()) {
      IO_CopyPointerBlock();
      RunMainTick();
      PumpMessages();
    }
    // RUNNER_SCREENSHOT: the last finished frame, before the game's end tears anything down; a
    // screenshot that cannot be written fails the run.
    if (const char* screenshot = GR_ScreenshotPath(); screenshot != nullptr && started) {
      if (!GR_WriteScreenshot(screenshot)) status = 1;
    }
    EndGame();
    IO_Quit();
    OS_PostQuitMessage();  // dropped with the event queue by the shutdown: never seen by a next pass
    ShutdownRunner();
    HandleGameSwitch();
    FreeRunGlobals();
    Runtime_Reset(RuntimeResetScope::kPass);  // the next pass starts as the first one did
    g_loop.firstPass = false;
    if (OS_QuitSignalled()) break;  // an interrupt ends the process, not just the game
  }
  MemoryManager::Free(g_loop.commandLine);
  g_loop.commandLine = nullptr;
  return status;
}
