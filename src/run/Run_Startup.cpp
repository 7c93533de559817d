#include "run/Run_Startup.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "background/Background_Main.h"
#include "base/VCL.h"
#include "code/Code_Compile.h"
#include "code/Code_CodeGen.h"
#include "code/Code_Constant.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/VM_Exec.h"
#include "code/VM_Variables.h"
#include "debug/Debug_State.h"
#include "font/Font_Main.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Frame.h"
#include "graphics/Graphics_Text.h"
#include "graphics/Graphics_Texture.h"
#include "io/IO_Main.h"
#include "networking/Networking_Http.h"
#include "object/Object_Lists.h"
#include "object/Object_Main.h"
#include "os/MessageBox.h"
#include "os/OS_Clock.h"
#include "os/OS_GameWindow.h"
#include "os/OS_Messages.h"
#include "os/OS_Paths.h"
#include "os/OS_Platform.h"
#include "os/OS_Window.h"
#include "path/Path_Main.h"
#include "platform/MemoryManager.h"
#include "room/Event_Dispatch.h"
#include "room/Instance_Class.h"
#include "room/Instance_Variables.h"
#include "room/Room_Run.h"
#include "run/Run_CommandLine.h"
#include "run/Run_Frame.h"
#include "run/Run_Global.h"
#include "run/Run_Main.h"
#include "run/Run_Score.h"
#include "runner/GameData.h"
#include "runner/Runner_Main.h"
#include "script/Script_Main.h"
#include "sound/Sound_Main.h"
#include "sprite/Sprite_Main.h"
#include "support/CRC32.h"
#include "support/Support_File.h"
#include "timeline/TimeLine_Main.h"
#include "variable/Variable_Main.h"

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

// The debugger server of a game built for debugging. No debugger server can be made by this
// runtime, so a start that asks for one says it failed and the game starts normally.
void StartDebugServer() {
  const GameHeaderInfo& header = g_GameData.headerInfo;
  if ((header.debugFlags & 0xFF) != 0) return;
  if (!g_Debug.DebugMode) {
    g_Debug.NewDebugger = true;
  } else if (!g_Debug.NewDebugger) {
    return;
  }
  OutputConsole->Output("Start debug server\n");
  OutputConsole->Output("Failed to create debug server\n");
}

}  // namespace

bool InitRunner() {
  EmbeddedFiles_SetTable(EmbeddedFiles_ProgramTable());
  Timing_Init();
  InitPlatformUI();  // without it the game runs on with no window
  InitCRC32Table();
  File_CreateTempDirectory();
  RegisterBuiltinConstants();
  InitRunGlobals();
  InitBuiltinVariables();
  Path_Init();
  HighScore_Clear();
  RelinkQueue.Reset();
  DepthChangeQueue.Reset();
  PumpMessages();
  return true;
}

bool StartRunner() {
  DebugConsole->Output("\n***************************************\n*     Tuvo Games Runner v%d.%d(%d)[r%d]    *\n***************************************\t \n",
                       1, 4, 1522, 787878);
  if (!RunnerLoadGame()) return false;
  DebugConsole->Output("Get Resolution\n");
  if (!GameData_ScanHeader()) {
    ShowMessage("The game data file could not be read.");
    return false;
  }
  const GameHeaderInfo& header = g_GameData.headerInfo;
  DebugConsole->Output("Create Window\n");
  CreateGameWindow(header.windowWidth, header.windowHeight);
  DebugConsole->Output("Init Graphics\n");
  if (!Game_InitGraphics()) return false;
  DebugConsole->Output("IO Init\n");
  IO_Init();
  Error_SetIOClearHook(IO_Clear);
  DebugConsole->Output("Process Messages\n");
  PumpMessages();
  DebugConsole->Output("Splash!\n");
  DebugConsole->Output("Start Frame\n");
  GR_D3D_Start_Frame();
  DebugConsole->Output("Part Create Textures\n");
  DebugConsole->Output("Debug Init Remote Interface\n");
  DebugConsole->Output("VM Init\n");
  VMInit();
  StartDebugServer();
  DebugConsole->Output("Create Score Form\n");
  DebugConsole->Output("Create Load Form\n");
  DebugConsole->Output("Create Error Form\n");
  DebugConsole->Output("Do The Work\n");
  return PrepareGame();
}

bool PrepareGame() {
  std::srand(2101988);
  if (!LoadGameData()) {
    DebugConsole->Output("Failed to load the game\n");
    ShowMessage("The game data file could not be read.");
    return false;
  }
  InitGlobalVariables();
  DebugConsole->Output("PrepareGame()\n");
  if (!Game_PrepareResources()) return false;
  DebugConsole->Output("Run_Start\n");
  Run_Start();
  return true;
}

void Run_Start() {
  if (!Run_IsRunning()) {
    Run_SetRunning(true);
    StartGame();
  }
  Run_SetRunning(true);
  g_FrameLoop.debuggerPaused = false;
  EnterMainLoop();
}

void ShutdownRunner() {
  FreeConstants();
  FreeBuiltinFunctions();
  FreeArgumentSlots();
  Compiler_Shutdown();
  CodeGen_Shutdown();
  Room_RunReset();
  Instance_DeleteAll();
  ObjectLists_Free();
  Object_FreeAll();
  Object_Finalise();
  Sprite_FreeAll();
  File_DeleteTempDirectory();
  GraphicsPrintFPSStats();
  Http_FreeAll();
  Background_FreeAll();
  GR_Text_Init();
  GR_Texture_FreeAll();
  Script_FreeAll();
  FreeVariables();
  FreeLibraryInitCode();
  TimeLine_FreeAll();
  Path_FreeAll();
  GameData_Free();
  Font_Shutdown();
  Sound_ClearList();
  VCL_Shutdown();
  GR_D3D_Finish();
  OS_Window().destroyWindow();
  PumpMessages_SetWindowProcedure(nullptr);
  ShutdownPlatformUI();
}

void Run_RequestGameSwitch(const char* target, const char* exitBackPath, const char* saveDirectory) {
  Replace(g_switch.target, target);
  Replace(g_switch.exitBackPath, exitBackPath);
  Replace(g_switch.saveDirectory, saveDirectory);
}

bool Run_GameSwitchPending() { return g_switch.target != nullptr; }

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
