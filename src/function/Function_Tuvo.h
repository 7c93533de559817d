// The platform-service built-ins: the GUI layer's size (display_set_gui_size,
// display_set_gui_maximise, display_get_gui_width, display_get_gui_height) and the application
// surface switches (application_surface_enable, application_surface_draw_enable,
// application_surface_is_enabled).
#pragma once

// Registers this group's built-ins in their fixed order (their call numbers follow from it).
// display_set_gui_maximise takes any number of arguments and reads the first four passed.
void RegisterTuvoFunctions();
void RegisterWin8Functions();
