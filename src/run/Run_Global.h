// The main loop's process-wide requests.
#pragma once

#include <cstdint>

// The room-change request the frame loop reads after each frame: kNewRoomNone when none, a room
// index to go to, or one of the codes below. While it is not kNewRoomNone events are held back
// (room/Event_Dispatch.h).
constexpr int32_t kNewRoomNone = -1;
constexpr int32_t kNewRoomEndGame = -100;  // ends the frame loop (the game ends)
constexpr int32_t kNewRoomRestart = -200;  // the game ends and starts again in the same process
constexpr int32_t kNewRoomQuit = -400;     // ends the frame loop (a fatal error: the game quits)

int32_t Run_GetNewRoom();
void Run_SetNewRoom(int32_t code);

// The built-in global async_load: the ds_map index of the asynchronous event being performed, -1
// outside such an event.
int32_t Run_GetAsyncLoad();
void Run_SetAsyncLoad(int32_t mapIndex);

// ---- The asynchronous pump (records in support/LoadSave_Request.h) ----

// Queues a finished record that performs other-event `eventNumber` with map `mapIndex` as
// async_load at the next pump. Its cleanup destroys the map afterwards, only when the map's slot
// still holds that very map (an event that destroyed it and made a new one keeps the new one).
void Async_PostEvent(int32_t mapIndex, int32_t eventNumber);
// The same, and the cleanup also deletes buffer `bufferIndex` (when it still exists).
void Async_PostEventWithBuffer(int32_t mapIndex, int32_t bufferIndex, int32_t eventNumber);
// The asynchronous phase of the frame step. First the store answers, push notifications,
// deferred extension scripts and HTTP workers; then a walk of the queue from its head (newest
// first). An inactive record is passed over; an active one has its hook called, then:
// - status 3 (progress), with a completion: a map {"id", "status" 1, "url" (the empty string
//   for none), "contentLength", "sizeDownloaded"} as async_load and event 62; the map is
//   destroyed and the record stays;
// - status 7 (finished): unlinked; its completion fills async_load and answers an event number,
//   which is performed when it is 60 or more; the map handed to the event is destroyed when its
//   slot still holds it; the cleanup runs, the record is deleted and the walk starts again at
//   the head;
// - any other status: passed over.
// Only the numbers 60 to 64, 67 and 69 to 75 are performed: on every live instance (not marked,
// not deactivated, not created during the dispatch) of every object listed for (other, n),
// through PerformEvent with no room-change guard. async_load is -1 again after every event.
void Async_ProcessEvents();

// ---- One pass of the restart loop ----

// The run state at the start of a pass: the running flag cleared, no room change requested, the
// frame loop's state fresh (with the step limit of RUNNER_FRAMES, a positive count, when set;
// 600 steps in a headless run without it).
void InitRunGlobals();
// ---- Game and room start and end (room/Room_Run.cpp) ----

// Starts the game: builds the per-event object lists, resets score (0), lives (-1), the cursor
// sprite, the step counter and the transition kind (health keeps its value), runs the library
// initialisation code and the extensions' initialisation (a failure stops the start here: no
// room), sets the window cursor from the show-cursor option, empties the live room array (sized
// to the room count) and the carried instances, then enters the first room of the room order.
// An empty room order starts no room: "The game has no room to start: its room order is empty."
// is shown and the game is asked to quit (kNewRoomQuit). Logs "StartGame()\n" and
// "StartGame() - DONE\n".
void StartGame();
// Enters room `index` (first: the first room of a started game): the new-room code becomes none;
// the room is the persistent copy stored in its slot, or a fresh copy of its definition with its
// instances; the carried instances join it (an instance of the same id takes their state); each
// new instance gets its create event and then its creation code, in definition order (a carried
// one gets neither, and the create events stop while a room change is pending); the game start
// event (first only), the room's creation code (fresh copies only) and the room start event
// follow, with marked instances removed after each. A negative index enters nothing.
void StartRoom(int32_t index, bool first);
// Leaves the current room: the room end event (and the game end event when `endingGame`) with
// no room change pending; the persistent instances go to the carried array (without a destroy
// event); a persistent room stays in its slot with its other instances set aside, any other
// room is deleted. Nothing without a current room.
void EndRoom(bool endingGame);
// EndRoom(false), then StartRoom(index, false).
void GotoRoom(int32_t index);
// Ends the game after the frame loop stopped, and before a restart: EndRoom(true), every room
// copy and carried instance deleted, the extensions finalised (and on success the default
// cursor shown). Nothing when no game was started.
void EndGame();
// Frees what one pass kept: the game file path and the cached game directory.
void FreeRunGlobals();
