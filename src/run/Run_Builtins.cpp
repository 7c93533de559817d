#include "run/Run_Builtins.h"

#include "base/VCL.h"
#include "function/Function_Action.h"
#include "function/Function_Buffer.h"
#include "function/Function_D3D.h"
#include "function/Function_Data_Structures.h"
#include "function/Function_File.h"
#include "function/Function_Gamepad.h"
#include "function/Function_Graphics.h"
#include "function/Function_Interaction.h"
#include "function/Function_Math.h"
#include "function/Function_Misc.h"
#include "function/Function_Motion.h"
#include "function/Function_Network.h"
#include "function/Function_Particle.h"
#include "function/Function_Physics.h"
#include "function/Function_Push.h"
#include "function/Function_Resource.h"
#include "function/Function_Shader.h"
#include "function/Function_Sound.h"
#include "function/Function_Steam.h"
#include "function/Function_Tuvo.h"
#include "function/Function_Vertex.h"
#include "run/Run_Score.h"

namespace {

// One row of the registration: its label on the debug console and the registrars it calls.
struct BuiltinGroup {
  const char* label;
  void (*registrars[4])();
};

const BuiltinGroup kGroups[] = {
    {"HighScore..", {LoadHighscoresFromSaveArea}},
    {"Game..", {RegisterMotionFunctions}},
    {"Math..", {RegisterMathFunctions}},
    {"Graphic..", {RegisterGraphicsFunctions}},
    {"Action..", {RegisterActionFunctions}},
    {"File..", {RegisterFileFunctions}},
    {"Resource..", {RegisterResourceFunctions}},
    {"Interaction..", {RegisterInteractionFunctions}},
    {"3D..", {RegisterD3DFunctions}},
    {"Particle..", {RegisterParticleFunctions}},
    {"Misc..", {RegisterMiscFunctions}},
    {"DS..", {RegisterDataStructureFunctions}},
    {"Sound..", {RegisterSoundFunctions}},
    {"Physics..", {RegisterPhysicsFunctions}},
    {"Gamepad..", {RegisterGamepadFunctions}},
    {"Buffers..", {RegisterBufferFunctions, RegisterVertexFunctions}},
    {"Networking..", {RegisterNetworkFunctions}},
    {"Shaders..", {RegisterShaderFunctions, RegisterVertexFormatFunctions, RegisterSteamFunctions, RegisterPushFunctions}},
    {"Tuvo..", {RegisterTuvoFunctions, RegisterWin8Functions}},
};

}  // namespace

void RegisterBuiltinGroups() {
  for (const BuiltinGroup& group : kGroups) {
    DebugConsole->Output("%s", group.label);
    for (void (*registrar)() : group.registrars) {
      if (registrar != nullptr) registrar();
    }
  }
  DebugConsole->Output("Fini\n");
}
