#include "run/Run_Startup.h"

#include <cstdio>
#include <string>

#include "base/VCL.h"
#include "os/MessageBox.h"
#include "os/OS_Clock.h"
#include "os/OS_Messages.h"
#include "os/OS_Paths.h"
#include "os/OS_Platform.h"
#include "os/OS_Window.h"
#include "platform/MemoryManager.h"
#include "run/Run_CommandLine.h"
#include "run/Run_Global.h"
#include "run/Run_Main.h"
#include "runner/GameData.h"

namespace {

// The pending game switch (memory-manager texts, null when none) and whether the running game
// was started by a switch with a path to come back to.
struct GameSwitchState {
  char* target = nullptr;
  char* exitBackPath = nullptr;
  char* saveDirectory = nullptr;
  bool switchedWithExitBack = false;
};
GameSwitchState g_switch;

void Replace(char*& slot, const char* value) {
  char* copy = MemoryManager::DuplicateText(value);
  MemoryManager::Free(slot);
  slot = copy;
}

void FreeSwitchRequest() {
  Replace(g_switch.target, nullptr);
  Replace(g_switch.exitBackPath, nullptr);
  Replace(g_switch.saveDirectory, nullptr);
}

}  // namespace

bool InitRunner() {
  EmbeddedFiles_SetTable(EmbeddedFiles_ProgramTable());
  Timing_Init();
  InitPlatformUI();  // without it the game runs on with no window
  InitRunGlobals();
  PumpMessages();
  return true;
}

bool StartRunner() {
  const char* path = GetGameFilePath();
  if (path == nullptr) {
    OS_ShowMessageBox("runner", "No game data file: there is no data.win beside the program and no -game FILE was given.",
                      MessageBoxKind::Ok, true);
    return false;
  }
  if (!RunnerLoadGame(path)) {
    const std::string text = std::string("The game data file \"") + path + "\" could not be loaded.";
    OS_ShowMessageBox("runner", text.c_str(), MessageBoxKind::Ok, true);
    return false;
  }
  Run_Start();
  return true;
}

void Run_Start() { Run_SetRunning(true); }

void ShutdownRunner() {
  GameData_Free();
  OS_Window().destroyWindow();
  ShutdownPlatformUI();
}

void Run_RequestGameSwitch(const char* target, const char* exitBackPath, const char* saveDirectory) {
  Replace(g_switch.target, target);
  Replace(g_switch.exitBackPath, exitBackPath);
  Replace(g_switch.saveDirectory, saveDirectory);
}

bool Run_SwitchedWithExitBack() { return g_switch.switchedWithExitBack; }

void HandleGameSwitch() {
  CommandLineOptions& options = g_CommandLineOptions;
  if (g_switch.target != nullptr) {
    std::string line = "-game \"" + std::string(g_switch.target) + "\"";
    if (g_switch.exitBackPath != nullptr) {
      line += " -exit \"" + std::string(g_switch.exitBackPath) + "\"";
      std::printf("%s", line.c_str());
      std::fflush(stdout);
      g_switch.switchedWithExitBack = true;
    }
    Runner_SetCommandLine(line.c_str());
    Runner_RequestRestart();
    ClearSaveDirectoryCache();
    SetSaveDirectoryOverride(g_switch.saveDirectory);
    FreeSwitchRequest();
  } else if (options.exitGamePath != nullptr) {
    const std::string line = "-game \"" + std::string(options.exitGamePath) + "\"";
    Runner_SetCommandLine(line.c_str());
    g_switch.switchedWithExitBack = false;
    Runner_RequestRestart();
    MemoryManager::Free(options.exitGamePath);
    options.exitGamePath = nullptr;
    ClearSaveDirectoryCache();
    SetSaveDirectoryOverride(nullptr);
  }
}

void Run_ClearGameSwitch() {
  FreeSwitchRequest();
  g_switch = GameSwitchState{};
  SetSaveDirectoryOverride(nullptr);
}
