// Room transitions. A room change is never animated here: what remains is the state behind the
// transition built-ins, so that games using them run unchanged — the number of transition steps,
// the table of user-defined transitions (kept, though nothing draws them) and the answer to which
// kinds exist. The transition kind itself is the run state's (room/Room_Run.h), always 0.
// Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <string>

// A transition a script defined: the call number of its function and the name it was given.
struct TransitionDefinition {
  int32_t callNumber = -1;
  std::string name;
};

struct TransitionState {
  int32_t steps = 80;  // never below 1
  // By kind, 1..999999.
  std::map<int32_t, TransitionDefinition> defined;
};
extern TransitionState g_Transitions;

// Steps := the value when it is above 0, else 1.
void GR_Transition_SetSteps(int32_t steps);
int32_t GR_Transition_GetSteps();
// Records the function `name` as transition `kind`. `callNumber` is the name looked up as a
// function (code/Code_Function.h FindFunctionIndex): a script, an extension function,
// script_execute or a built-in; below 0 when the name is none of these, which answers false and
// records nothing. Kinds below 1 or above 999999 are not recorded, yet answer true.
bool GR_Transition_Define(int32_t kind, const char* name, int32_t callNumber);
// True for the built-in kinds 1 to 21 that no script defined. Any other kind, and every kind a
// script defined, writes "TransFunctionExists()\n" on the debug console and answers false.
bool GR_Transition_Exists(int32_t kind);
