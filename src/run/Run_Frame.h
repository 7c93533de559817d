// The frame loop and the frame step. RunMainTick is one pass of the loop the restart loop runs
// while the running flag is set: it paces the game to the room speed, counts frames per second,
// runs one game step inside a graphics frame and then acts on the new-room code, the one place
// where room changes, restarts and the end of the game take effect. RunFrameStep is one game
// step: animation, then the event phases in a fixed order, each followed by UpdateActiveLists and
// ending the step early when an event asked for a room change. Main thread only.
#pragma once

#include <cstdint>

// The frame loop's state. One record, reset by InitRunGlobals at the start of every pass.
struct FrameLoopState {
  int64_t lastWake = 0;     // microseconds: when the previous tick's wait ended
  int64_t fpsBase = 0;      // the start of the second being counted
  int32_t frameCounter = 0;  // frames counted in that second
  int32_t fps = 0;          // frames of the last complete second
  bool sleepOption = true;  // the wait is slept (else the loop runs free)
  int32_t resizeCountdown = 0;  // frames until a pending window size change applies
  bool debuggerPaused = false;  // the debugger holds the game: no steps, no frames
  int64_t stepTimeBase = 0;     // the start of the previous step
  int64_t deltaTime = 0;        // microseconds between the starts of the last two steps
  // RUNNER_FRAMES: after this many game steps the game ends as if it asked to (0: no limit).
  int64_t frameLimit = 0;
  int64_t framesRun = 0;
  // The mouse in the room at this step's and the previous step's mouse phase.
  int32_t mouseX = 0, mouseY = 0;
  int32_t previousMouseX = 0, previousMouseY = 0;
};
extern FrameLoopState g_FrameLoop;

// Resets the pacing: the last wake-up, the FPS base and the step time base to now, the FPS value
// and the frame counter to 0; pumps the messages; writes the main-loop banner.
void EnterMainLoop();
// One tick of the frame loop (see above). The wait before the step is the rest of the room speed's
// period (1,000,000 / speed microseconds, speed 60 without a room, a speed of 0 or less stored
// back as 1), measured from the end of the previous wait and never above 1,000,000 microseconds;
// it is slept only while the sleep option is on. Codes after the step: -100 and -400 clear the
// running flag; -200 ends and starts the game again; a room index goes to that room. A pending
// game switch becomes -400. With RUNNER_FRAMES=N the running flag is cleared after the Nth step.
void RunMainTick();
// One game step over the current room; nothing when there is no current room.
void RunFrameStep();
// Applies the deferred instance changes: relinks, then depth changes (every queued active
// instance unlinked, then each inserted again by depth), then activation changes.
void UpdateActiveLists();
