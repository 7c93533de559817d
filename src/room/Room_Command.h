// The instance and room commands: what the instance, room and game built-ins (and the action
// built-ins) do to the current room's instances and the room-change request.
//
// The commands act at once on the instance records. What they defer: the removal of destroyed
// instances (the room's removal pass), the relink of changed instances, depth changes and
// activation changes (UpdateActiveLists after the current event phase), and the room change
// (after the frame step). A deactivated instance stays in the active list (a reactivated one in
// the deactivated list) with only its flag changed until then.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <string>

class CInstance;

// `prefix` followed by `number` in decimal (a minus sign for negatives).
std::string Command_NumberMessage(const char* prefix, int32_t number);

// ---- Instances ----

// A new instance of `objectIndex` at (x, y) in the current room, after its create event (with
// itself as other). An object that does not exist, or no current room, reports the non-fatal
// error "Creating instance for non-existing object: <object>" and gives null.
CInstance* Command_CreateInstance(int32_t objectIndex, float x, float y);
// Performs the destroy event once (i_destroydone) and marks the instance destroyed; it stays in
// its lists until the room's removal pass. Later calls do nothing. A null instance is ignored.
void Command_DestroyInstance(CInstance* instance);
// Changes the instance into `objectIndex`: nothing for its own object; with `perform`, the
// destroy event first (unless it already ran) and the create event after. An object that does
// not exist reports "Asking to change into non-existing object: <object>" (not fatal).
void Command_ChangeInstance(CInstance* instance, int32_t objectIndex, bool perform);
// Sets the sprite; a sprite that does not exist reports "Setting instance to non-existing
// sprite: <sprite>" (not fatal) and changes nothing.
void Command_SetSprite(CInstance* instance, int32_t sprite);
// A copy of `self` (instance_copy) with its own new id, queued for a depth change, with its
// create event performed when `perform` is set. Null without a caller or a room.
CInstance* Command_CopyInstance(CInstance* self, bool perform);
// Every live instance of the active list whose mask covers the point (precisely) and whose
// destroy event has not run is destroyed (position_destroy).
void Command_PositionDestroy(float x, float y);
// Every live instance of the active list whose mask covers the point (precisely) changes into
// `objectIndex` (position_change); an object that does not exist is reported once, as for
// Command_ChangeInstance, and nothing changes.
void Command_PositionChange(float x, float y, int32_t objectIndex, bool perform);

// ---- Room and game requests ----
// The frame loop acts on them after the step; a later request of the same step overwrites an
// earlier one. Each room request also resets the transition kind to 0.

// Goes to `room`; a room that does not exist reports the fatal error "Unexisting room number:
// <room>" and asks the game to quit.
void Command_GotoRoom(int32_t room);
// Goes to the current room again.
void Command_RestartRoom();
// Goes to the room before the current one in the room order; in the first room the fatal error
// "Moving to previous room before the first room." asks the game to quit.
void Command_PreviousRoom();
// Goes to the room after the current one in the room order; in the last room the fatal error
// "Moving to next room after the last room." asks the game to quit.
void Command_NextRoom();
// Asks for the end of the game (no change of the transition kind).
void Command_EndGame();
// The window's game-ending key (Alt+F4 in a game started by a switch with a way back): asks for
// the end of the game as Command_EndGame does.
void RequestGameEnd();
// Asks for a restart of the game (no change of the transition kind).
void Command_RestartGame();

// ---- Moves ----

// Each coordinate with a snap above 0 goes to the nearest multiple of it (halves to even).
void Command_MoveSnap(CInstance* instance, float hsnap, float vsnap);
// The wrap of the action built-ins: an instance moving left past 0 comes in from the right
// (x becomes W + x + sprite width), one moving right past W comes in from the left; likewise
// vertically.
void Command_MoveWrap(CInstance* instance, bool horizontal, bool vertical);
// move_wrap: x below -margin becomes W + x + 2 margin, then x above W + margin becomes
// x - W - 2 margin; likewise vertically. Speeds are not looked at.
void Command_MoveWrapMargin(CInstance* instance, bool horizontal, bool vertical, float margin);
// Aims the motion at (x, y) with the given speed.
void Command_MoveTowardsPoint(CInstance* instance, float x, float y, float speed);

// ---- Screen ----

// Writes the current render target from (0, 0), the window's size, as a PNG file in the save
// area. A null or empty name reports "Trying to save screen to empty image file name." (not
// fatal).
void Command_SaveScreen(const char* name);

// ---- Deactivation and activation ----
// Each change sets i_deactivated and queues the instance in ActivationChangeList; instances
// marked as destroyed are never touched. `self` and `other` stand for -1 and -2; either may be
// null (then those targets do nothing).

// Every instance not yet deactivated; with `notMe` the caller stays active.
void Command_DeactivateAll(CInstance* self, bool notMe);
// -1 self, -2 other, -3 all, an instance id, or every instance of the object and its descendant
// objects (when the object exists).
void Command_DeactivateObject(CInstance* self, CInstance* other, int32_t target);
// Every deactivated instance.
void Command_ActivateAll();
// As Command_DeactivateObject, the other way (an object index is not checked for existence).
void Command_ActivateObject(CInstance* self, CInstance* other, int32_t target);
// The instances touching the region (inside set) or wholly outside it (inside clear) are
// deactivated; with `notMe` the caller is active again afterwards.
void Command_DeactivateRegion(CInstance* self, float left, float top, float width, float height, bool inside,
                              bool notMe);
void Command_ActivateRegion(float left, float top, float width, float height, bool inside);
