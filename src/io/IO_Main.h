// Keyboard and mouse input as the game steps see it, and the on-screen virtual keys.
// Main thread only.
#pragma once

// Clears the keyboard and mouse state of the step copy and the live copy (keys, last key and
// character, typed string, buttons, wheel). This build keeps no such state between frames, so
// there is nothing to clear.
void IO_Clear();
// Frees every virtual key. This build defines none, so there is nothing to free.
void IO_ClearVirtualKeys();
