// The gamepad and joystick built-ins.
#pragma once

// Registers this group's built-ins in their fixed order (their call numbers follow from it). The
// group has no built-ins yet: nothing is registered, and the groups after it keep their order.
void RegisterGamepadFunctions();
