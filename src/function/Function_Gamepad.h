// The gamepad built-ins (io/Gamepad_Class.h holds the pads).
#pragma once

// Registers this group's built-ins in their fixed order (their call numbers follow from it), then
// makes the gamepad slots and finds the pads (Gamepad_Init).
void RegisterGamepadFunctions();
