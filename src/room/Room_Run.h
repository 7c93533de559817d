// The running game's rooms and values: the live room array (one slot per room index holding the
// current room and the persistent rooms left earlier), the persistent instances carried from one
// room to the next, and the game values that starting a game resets. StartGame, StartRoom,
// EndRoom, GotoRoom and EndGame (declared in run/Run_Global.h) are the transitions between
// rooms; this file holds them.
//
// Ownership: the live room array owns its rooms and through them their instances; the carried
// array owns its instance copies, which are in no list, no object list and not in the id map.
// A persistent room left earlier keeps its instances in its slot, out of their objects' lists and
// out of the id map, so no query and no event reaches them until the room is entered again.
// Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/GrowArray.h"

class CInstance;
class CRoom;

// One record; Room_RunReset puts it back.
struct RoomRunState {
  CRoom* current = nullptr;  // CurrentRoom (room/Room_Class.h)
  int32_t currentIndex = 0;  // `room`
  bool started = false;      // StartGame ran and EndGame has not yet
  GrowArray<CRoom*> rooms;
  GrowArray<CInstance*> carried{5, 10};  // 10 at first, then 5 at a time
  // The game values (StartGame resets all but health, and the cursor sprite of room/Room_Draw.h).
  int32_t score = 0;
  int32_t lives = -1;
  double health = 100.0;
  int32_t stepCounter = 0;
  int32_t transitionKind = 0;
  // The score, lives and health display settings (kept by StartGame).
  uint8_t showScore = 1;
  uint8_t captionSet = 0;  // show_score or action_set_caption was used (only saved and loaded)
  uint8_t showLives = 0;
  uint8_t showHealth = 0;
  std::string captionScore = "Score: ";
  std::string captionLives = "Lives: ";
  std::string captionHealth = "Health: ";
};
extern RoomRunState g_RoomRun;

// Deletes the carried instances and frees their array.
void FreeCarriedInstances();
// Deletes every room of the live room array (with its instances) and the carried instances, and
// puts the record back to its defaults. A current room that is not in the array belongs to
// whoever made it: it is forgotten, not deleted.
void Room_RunReset();
