#include "runner/Runner_Main.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "background/Background_Main.h"
#include "base/IniFile.h"
#include "base/VCL.h"
#include "code/Code_Constant.h"
#include "code/VM_State.h"
#include "debug/Debug_State.h"
#include "extension/Extension_Main.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Display.h"
#include "object/Object_Main.h"
#include "option/Option_Main.h"
#include "os/OS_Paths.h"
#include "os/OS_Window.h"
#include "physics/Physics_Main.h"
#include "platform/MemoryManager.h"
#include "room/Global_Variables.h"
#include "room/Room_Main.h"
#include "runner/GameData.h"
#include "script/Script_Main.h"
#include "sound/Audio_Main.h"
#include "sound/Sound_Main.h"
#include "support/LoadSave.h"
#include "support/Support_File.h"
#include "timeline/TimeLine_Main.h"

RunnerLoadState g_RunnerLoad;

namespace {

// `path` with everything from its last '/' (or, with none, its last '\') replaced by
// "/options.ini"; empty when the path has neither.
std::string OptionsFilePath(const std::string& path) {
  size_t cut = path.rfind('/');
  if (cut == std::string::npos) cut = path.rfind('\\');
  if (cut == std::string::npos) return std::string();
  return path.substr(0, cut) + "/options.ini";
}

// `path` with everything from its last '.' replaced by ".qxdebug"; empty when it has no '.'.
std::string DebugFilePath(const std::string& path) {
  const size_t cut = path.rfind('.');
  if (cut == std::string::npos) return std::string();
  return path.substr(0, cut) + ".qxdebug";
}

void ReadOptionsFile(const std::string& gamePath) {
  delete g_RunnerLoad.optionsFile;
  g_RunnerLoad.optionsFile = nullptr;
  const std::string path = OptionsFilePath(gamePath);
  if (path.empty()) return;
  DebugConsole->Output("Checking if INIFile %s Exists\n", path.c_str());
  if (!File_Exists(path.c_str())) {
    DebugConsole->Output("!!!!No INI File %s\n", path.c_str());
    return;
  }
  int size = 0;
  char* bytes = static_cast<char*>(LoadSave_ReadWholeFile(path.c_str(), &size));
  const std::string text = bytes != nullptr ? std::string(bytes, static_cast<size_t>(size)) : std::string();
  MemoryManager::Free(bytes);
  g_RunnerLoad.optionsFile = new IniFile();
  g_RunnerLoad.optionsFile->LoadFromString(text.c_str());
  LoadSave_Nothing();
  Runner_ReadIniOptions(*g_RunnerLoad.optionsFile);
}

void ReadDebugFile(const std::string& gamePath) {
  const std::string path = DebugFilePath(gamePath);
  if (path.empty() || !LoadSave_GameFileExists(path.c_str())) return;
  int size = 0;
  void* bytes = LoadSave_ReadGameFile(path.c_str(), &size);
  if (bytes == nullptr) return;
  if (GameData_LoadDebugImage(static_cast<const uint8_t*>(bytes), static_cast<size_t>(size)) &&
      !DebugFile_ProcessChunks()) {
    GameData_FreeDebug();  // a companion that is refused is not used
  }
  MemoryManager::Free(bytes);
}

}  // namespace

bool RunnerLoadGame() {
  GameData_Free();
  const char* named = GetGameFilePath();
  DebugConsole->Output("RunnerLoadGame: %s\n", named != nullptr ? named : "(null)");
  char resolved[kLoadSavePathSize] = {};
  if (named != nullptr && named[0] != '\0') {
    InitWorkingDirectory();
    // The game's folder first, then the save area; a file in neither is named as the game's
    // folder has it, so that the message shows where it was looked for.
    LoadSave_ResolveGamePath(resolved, sizeof(resolved), named);
    g_RunnerLoad.readFromGameFolder = true;
    if (!LoadSave_FileExists(resolved)) {
      char saved[kLoadSavePathSize] = {};
      LoadSave_ResolveSavePath(saved, sizeof(saved), named);
      if (saved[0] != '\0' && LoadSave_FileExists(saved)) {
        std::memcpy(resolved, saved, sizeof(resolved));
        g_RunnerLoad.readFromGameFolder = false;
      }
    }
  } else {
    char* chosen = Runner_ChooseGameFile();
    if (chosen == nullptr) {
      ShowMessage("Unable to find game!!: no game file was named (-game FILE, or data.win beside the program)");
      return false;
    }
    std::snprintf(resolved, sizeof(resolved), "%s", chosen);
    MemoryManager::Free(chosen);
    g_RunnerLoad.readFromGameFolder = true;
  }
  // A name refused by both places keeps its own text, so that the message names it.
  const std::string path = resolved[0] != '\0' ? resolved : (named != nullptr ? named : "");
  DebugConsole->Output("RunnerLoadGame() - %s\n", path.c_str());
  SetGameFilePath(path.c_str());
  InitWorkingDirectory();

  ReadOptionsFile(path);
  ReadDebugFile(path);

  DebugConsole->Output("Reading File %s\n", path.c_str());
  if (resolved[0] == '\0' || !GameData_ReadFile(path.c_str())) {
    DebugConsole->Output("FAILED to load File %s\n", path.c_str());
    GameData_Free();
    ShowMessage(("Unable to find game!!: " + path).c_str());
    return false;
  }
  DebugConsole->Output("Loaded File %s(%d)\n", path.c_str(), static_cast<int32_t>(g_GameData.GameImageSize));
  DebugConsole->Output("IFF wad found\n");  // the reader only takes a FORM container
  if (g_RunnerLoad.firstGameName == nullptr) g_RunnerLoad.firstGameName = MemoryManager::DuplicateText(path.c_str());
  return true;
}

void Runner_ReadIniOptions(IniFile& ini) {
  auto allowed = [&ini](const char* key) { return ini.FindKey("DEFAULT", key) == nullptr || ini.ReadInt("DEFAULT", key, 1) != 0; };
  g_RunnerLoad.orientLandscape = allowed("OrientLandscape");
  g_RunnerLoad.orientLandscapeFlipped = allowed("OrientLandscapeFlipped");
  g_RunnerLoad.orientPortrait = allowed("OrientPortrait");
  g_RunnerLoad.orientPortraitFlipped = allowed("OrientPortraitFlipped");

  if (ini.FindKey("DEFAULT", "Debug") != nullptr) {
    g_Debug.DebugMode = ini.ReadInt("DEFAULT", "Debug", 0) != 0;
    if (g_Debug.DebugMode) {
      g_Debug.DebugOverlayFlags = kDebugOverlayShown;
      Physics_SetErrorHandler();
    }
  }
  if (ini.FindKey("DEFAULT", "Trace") != nullptr) g_VM.trace = ini.ReadInt("DEFAULT", "Trace", 0) != 0;
  if (ini.FindKey("DEFAULT", "NewDebugger") != nullptr) {
    g_Debug.NewDebugger = ini.ReadInt("DEFAULT", "NewDebugger", 0) != 0;
  }
  if (ini.FindKey("DEFAULT", "debugIP") != nullptr) {
    std::string address = ini.ReadString("DEFAULT", "debugIP", "");
    const size_t colon = address.rfind(':');
    if (colon != std::string::npos) {
      g_Debug.debuggerPort = std::atoi(address.c_str() + colon + 1);
      address.erase(colon);
      g_Debug.NewDebugger = true;
    }
    g_Debug.debuggerAddress = address;
    DebugConsole->Output("debugIP=%s Port=%d\n", address.c_str(), g_Debug.debuggerPort);
  }
}

char* Runner_ChooseGameFile() { return nullptr; }

bool Game_InitGraphics() {
  if (g_Options.changeDisplayMode) {
    GraphicsSetDisplayModeFromOptions(g_Options.colourDepth, g_Options.resolution, g_Options.frequency);
  }
  DebugConsole->Output("GR_D3D_Init()\n");
  const GameHeaderInfo& header = g_GameData.headerInfo;
  if (!GR_D3D_Init(OS_Window().sdlWindow(), header.windowWidth, header.windowHeight, header.optionBits)) return false;
  DebugOverlay_Init();
  DebugConsole->Output("Background_InitTextures()\n");
  Background_InitTextures();
  DebugConsole->Output("Sprite_InitTextures()\n");
  DebugConsole->Output("Font_InitTextures()\n");
  GraphicsPostInit();
  return true;
}

namespace {

struct PrepareStep {
  const char* log;
  bool (*run)();
  const char* failure;
};

bool PrepareSounds() { return Sound_InitHardware() && Sound_Prepare(); }

const PrepareStep kPrepareChain[] = {
    {"Extension_Prepare() \n", Extension_Prepare, "Failed to prepare extension packages."},
    {"Code_Constant_Prepare() \n", DefineGameConstants, "Failed to define the constants."},
    {"Script_Prepare() \n", Script_Prepare, "Failed to compile the scripts."},
    {"TimeLine_Prepare() \n", TimeLine_Prepare, "Failed to compile the actions in the time lines."},
    {"Object_Prepare() \n", Object_Prepare, "Failed to compile the actions in the objects."},
    {nullptr, Room_Prepare, "Failed to compile the actions in the objects."},  // logs its own line
    {"Sound_Prepare() \n", PrepareSounds, "Failed to prepare the sounds."},
};

}  // namespace

bool Game_PrepareResources() {
  for (const PrepareStep& step : kPrepareChain) {
    if (step.log != nullptr) DebugConsole->Output("%s", step.log);
    if (!step.run()) {
      ShowMessage(step.failure);
      return false;
    }
  }
  Audio_Prepare();
  DebugConsole->Output("InitGraphics() \n");
  DebugConsole->Output("Finished PrepareGame() \n");
  return true;
}

void Runner_ResetLoadState(bool process) {
  delete g_RunnerLoad.optionsFile;
  char* first = g_RunnerLoad.firstGameName;
  g_RunnerLoad = RunnerLoadState{};
  if (process) {
    MemoryManager::Free(first);
  } else {
    g_RunnerLoad.firstGameName = first;
  }
}
