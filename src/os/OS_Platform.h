// Starting and stopping the operating system's user-interface services for one pass of the
// restart loop: SDL's video, event, game-controller and joystick subsystems. Headless runs
// (RUNNER_HEADLESS=1) use SDL's offscreen video driver. Main thread only.
#pragma once

// Starts the services and makes SIGINT and SIGTERM arrive as quit requests. False, with the
// reason on DebugConsole, when SDL cannot start (the program runs on without a window then).
bool InitPlatformUI();
// Destroys the window and stops the services; every event still queued, a quit request
// included, is dropped. Nothing when they are not started.
void ShutdownPlatformUI();
