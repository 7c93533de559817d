// The main window as the rest of the program sees it: its kept caption and the switch out of
// full screen that comes before every message box.
#pragma once

#include <cstdint>

// Shows the main window once and, when the game runs full screen, resets the device for windowed
// mode (closing an open frame without presenting and opening it again) so that a message box can
// be seen.
void GraphicsLeaveFullscreen();

// window_set_caption's store: the UTF-8 caption of the main window (null until one is set).
void GR_Window_SetCaption(const char* caption);
const char* GR_Window_GetCaption();

// The colour the window is cleared to around the game's view (the game options' window colour).
void GR_Window_SetColour(int32_t colour);
int32_t GR_Window_GetColour();

// The window's system cursor: -1 hides it, any other constant shows the default arrow. The
// constant is kept (0 at first); the cursor itself changes only while the graphics layer has a
// window.
void GR_Window_SetCursor(int32_t cursor);
int32_t GR_Window_GetCursor();

// Forgets the caption and the cursor constant and puts the colour back to white (0xFFFFFF), as in
// a fresh process.
void GR_Window_Reset();
