#include "run/Runtime_Reset.h"

#include <cstdint>

#include "base/Common.h"
#include "buffer/IBuffer.h"
#include "code/Code_Error.h"
#include "code/Code_Main.h"
#include "code/VM_State.h"
#include "debug/Debug_Log.h"
#include "debug/Debug_State.h"
#include "extension/Extension_Main.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Text.h"
#include "io/IO_Main.h"
#include "networking/Networking_Http.h"
#include "object/Object_Main.h"
#include "option/Option_Main.h"
#include "particle/Particle_System.h"
#include "os/OS_GameWindow.h"
#include "os/OS_Messages.h"
#include "os/OS_Paths.h"
#include "os/OS_Services.h"
#include "room/Event_State.h"
#include "room/Room_Draw.h"
#include "room/Room_Main.h"
#include "room/Room_Run.h"
#include "run/Run_CommandLine.h"
#include "run/Run_Frame.h"
#include "run/Run_Global.h"
#include "run/Run_Score.h"
#include "run/Run_Startup.h"
#include "runner/GameData.h"
#include "runner/Runner_Main.h"
#include "script/Script_Main.h"
#include "sound/Audio_Main.h"
#include "support/LoadSave.h"
#include "support/Support_Data_Structures.h"
#include "support/Support_File.h"
#include "timeline/TimeLine_Main.h"
#include "variable/Variable_State.h"

void Runtime_Reset(RuntimeResetScope scope) {
  const bool pass = scope == RuntimeResetScope::kPass;
  // What the records below reset but a pass hands to the next one.
  const double epsilon = g_Variables.MathEpsilon;
  const uint8_t externalCallsDisabled = g_Extensions.ExternalCallsDisabled;
  const bool trace = g_VM.trace;
  const bool dialogSwitch = Error_GetDialogSwitch();

  // The rooms of a running game with their instances (before the objects they refer to), the
  // loaded game and the managers made from it, then what scripts made.
  Room_RunReset();
  GameData_Free();
  Runner_ResetLoadState(!pass);
  Script_FreeAll();
  TimeLine_FreeAll();
  Object_FreeAll();
  ParticleSystem_DestroyAll();
  Room_ResetGlobals();
  g_RoomDraw = RoomDrawState{};
  Event_SetType(0);
  Event_SetNumber(0);
  Event_SetObject(0);
  Event_SetAction(0);
  Http_FreeAll();
  DataStructures_Reset();
  Buffer_FreeAll();
  LoadSave_ClearPermittedPaths();
  File_DeleteTempDirectory();

  // The script engines, the compiler and the variables.
  Code_Reset();
  VM_Reset();
  Variable_Reset();
  Extension_FreeAll();
  g_Extensions = ExtensionState{};
  g_Options = OptionState{};
  Error_ResetState();
  SeedRandom(0);

  // The frame, the display and the debugger.
  GR_Text_Init();
  Graphics_Reset();
  g_Debug = DebugState{};
  Debug_SetLinkActive(false);
  Debug_TakeLog();
  SoundDisabled = false;
  Run_SetRunning(false);
  Run_SetNewRoom(kNewRoomNone);
  Run_SetAsyncLoad(-1);
  g_FrameLoop = FrameLoopState{};
  HighScore_Clear();
  OS_DiscardQuitMessages();
  g_IO = IOState{};
  g_GameWindow = GameWindowState{};
  g_OSServices = OSServiceState{};

  // The paths of the game, and what the command line and a game switch leave for the next pass.
  FreeGamePaths();
  ClearSaveAreaGameInfo();
  if (pass) {
    g_Variables.MathEpsilon = epsilon;
    g_Extensions.ExternalCallsDisabled = externalCallsDisabled;
    g_VM.trace = trace;
    Error_SetDialogSwitch(dialogSwitch);
  } else {
    CommandLine_Reset();
    Run_ClearGameSwitch();
    OS_ClearQuitSignal();
  }
}
