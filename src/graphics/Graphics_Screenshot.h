// The screenshot of a run: RUNNER_SCREENSHOT=file.png in the environment asks for the back
// buffer of the last finished frame as an opaque RGBA PNG image, written when the game's frame
// loop ends. The path comes from whoever starts the runner, never from the game.
#pragma once

// The path RUNNER_SCREENSHOT names, or nullptr when it is unset or empty.
const char* GR_ScreenshotPath();
// Writes the device's back buffer to `path` as an opaque RGBA PNG. On failure prints a message
// naming the path on standard error and answers false (no device, a read-back that fails, a
// file that cannot be written); a partly written file is removed.
bool GR_WriteScreenshot(const char* path);
