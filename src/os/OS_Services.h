// The platform's side of the game services: what the window reports to them. Main thread only.
#pragma once

// The services' state: one record, reset by Runtime_Reset.
struct OSServiceState {
  // Set when the game window lost the activation to another program; the services' step update
  // takes it.
  bool pauseRequested = false;
};
extern OSServiceState g_OSServices;

// Marks a pause event: the game window was deactivated in favour of another program.
void OS_RaisePauseEvent();
