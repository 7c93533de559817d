// Rooms: the place instances live in while the game runs. A room holds its settings (caption,
// size, speed, colours, 8 backgrounds, 8 views), its live tiles, its creation code, an optional
// physics world and its instances in two lists, the depth-sorted active list and the deactivated
// list; changes to which list or object an instance belongs to are queued during a step and
// applied between event phases (room/Instance_Class.h).
//
// Each room of the game data is loaded once into a definition room (the room table,
// room/Room_Main.h) whose instance and tile definitions are native lists read from its ROOM
// entry. The room that runs is a copy made from a definition when the room starts, or a copy kept
// from an earlier visit of a persistent room (room/Room_Run.h).
//
// Ownership: a room owns its instances (both lists), its live tiles, its caption and creation
// code text and its physics world. Its definition record (the instance and tile definitions) is
// shared by the rooms copied from it and counted: the last room to let go frees it, so replacing
// a room in the table never leaves a copy pointing at freed definitions. The creation code entry
// belongs to the game code table (code/Code_Main.h). Main thread only.
#pragma once

#include <cstdint>

#include "platform/GrowArray.h"
#include "room/Instance_Class.h"

class BoundedReader;
class CCode;
class CPhysicsWorld;

constexpr int32_t kRoomBackgroundCount = 8;
constexpr int32_t kRoomViewCount = 8;

// One of a room's 8 background slots.
struct RoomBackground {
  uint8_t visible = 0;
  uint8_t foreground = 0;
  int32_t index = -1;
  float x = 0.0f;
  float y = 0.0f;
  uint8_t htiled = 1;
  uint8_t vtiled = 1;
  float hspeed = 0.0f;
  float vspeed = 0.0f;
  float xscale = 1.0f;
  float yscale = 1.0f;
  int32_t blend = 0xFFFFFF;
  float alpha = 1.0f;
};

// One of a room's 8 views.
struct RoomView {
  uint8_t visible = 0;
  float xview = 0.0f;
  float yview = 0.0f;
  float wview = 640.0f;
  float hview = 480.0f;
  int32_t xport = 0;
  int32_t yport = 0;
  int32_t wport = 640;
  int32_t hport = 480;
  float angle = 0.0f;
  int32_t hborder = 32;
  int32_t vborder = 32;
  int32_t hspeed = -1;
  int32_t vspeed = -1;
  int32_t object = -1;
  int32_t surfaceId = -1;  // set when the view record is made; copies and loads keep their own
};

// A live tile: a rectangle of a background drawn at a depth.
struct RoomTile {
  float x;
  float y;
  int32_t background;
  int32_t left;  // the source rectangle on the background
  int32_t top;
  int32_t width;
  int32_t height;
  float depth;
  int32_t id;
  float xscale;
  float yscale;
  int32_t blend;
  float alpha;
  uint8_t visible;
};

// An instance the room creates when it starts fresh.
struct RoomInstanceDef {
  int32_t x;
  int32_t y;
  int32_t objectIndex;  // negative: no instance is made
  int32_t id;
  int32_t codeIndex;    // the creation code's index in the game code table, -1 for none
  float xscale;
  float yscale;
  uint32_t colour;      // low 24 bits blend, top byte alpha x 255
  float angle;
};

// A tile the room makes when it starts fresh.
struct RoomTileDef {
  int32_t x;
  int32_t y;
  int32_t background;
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  int32_t depth;
  int32_t id;
  float xscale;
  float yscale;
  uint32_t colour;  // low 24 bits blend, top byte alpha x 255
};

// The definitions a room starts from, shared by the rooms copied from it (see the header).
struct RoomDefinition {
  int32_t refs = 1;   // rooms holding it
  int32_t speed = 30; // the entry's speed word
  bool hasInstanceList = false;
  bool hasTileList = false;
  GrowArray<RoomInstanceDef> instances;
  GrowArray<RoomTileDef> tiles;
};

class CRoom {
 public:
  // A room with every default below and no definition record.
  CRoom();
  // Destroys the physics world, lets go of the definition record, frees the texts, the tiles and
  // every instance of both lists.
  ~CRoom();
  CRoom(const CRoom&) = delete;
  CRoom& operator=(const CRoom&) = delete;

  // Every setting back to its default (backgrounds and views included, surface ids kept), every
  // instance of both lists deleted (leaving the id map), the pending create ids and the live
  // tiles freed. The definition record, the name and the physics world stay.
  void Reset();

  // Fills a definition room from the ROOM entry at image offset `entry` of `image`; `version` is
  // the game header's version (the physics fields exist from 6 on). Every offset and count of the
  // entry is checked against the image: false (after a line on DebugConsole) when one lies
  // outside it, when a text has no end or a code index names no entry of the CODE chunk. Lists of
  // more than 8 backgrounds or views fill the first 8 slots; the rest are ignored.
  bool LoadFromData(const BoundedReader& image, uint64_t entry, int32_t version);

  // Makes this room a copy of `source` (null: just reset). With `fromDefinitions` (a room start,
  // room_assign) the instances of the source's definitions are created here in definition order,
  // linked to their objects and entered into the id map, with their ids kept as the pending
  // create ids, and the live tiles are made from the tile definitions. Without it (room_duplicate)
  // the live tiles are copied. Either way every instance the source holds is copied too.
  // The definition record is shared, unless this room owns its record (m_OwnsDefinition set
  // beforehand): it then gets its own copy.
  void Copy(const CRoom* source, bool fromDefinitions);

  // The caption becomes an own copy of `text` (null clears it).
  void SetCaption(const char* text);

  // A new instance of the object at (x, y) with the next instance id, linked into its object's
  // lists, given its physics body, inserted into the active list by depth and entered into the
  // id map. No event runs.
  CInstance* AddInstance(float x, float y, int32_t objectIndex);
  // Appends an instance definition (x and y truncated to whole numbers, the next instance id, no
  // creation code, scales 1, colour 0xFFFFFFFF, angle 0) and answers its id. Rooms copied from
  // this one earlier keep the definitions they had. No instance is made now: the definition
  // takes effect when the room next starts fresh.
  int32_t AddInstanceDef(float x, float y, int32_t objectIndex);
  // Deletes one instance of this room (Instance_Delete).
  void RemoveInstance(CInstance* instance);
  // Deletes every instance of the active list marked as destroyed, after taking it out of the
  // depth-change queue.
  void RemoveMarked();
  // Delete every instance of one list; the list becomes empty.
  void DeleteActiveInstances();
  void DeleteDeactivatedInstances();
  // Moves instances whose deactivated flag changed between the lists: first every instance of the
  // deactivated list that is active again goes into the active list by depth and back into its
  // object's lists; then every deactivated instance of the active list goes to the end of the
  // deactivated list and out of its object's lists.
  void UpdateDeactivated();
  // Moves every background by its speed.
  void ScrollBackgrounds();

  // ---- Tiles (an index out of range does nothing or answers -1) ----
  // The index of the tile with `id` (the cached index first), -1 when none.
  int32_t FindTile(int32_t id);
  // Appends a copy of `tile` with the next tile id (the array grows by 10 entries at a time) and
  // answers its index.
  int32_t AddTile(const RoomTile& tile);
  // Removes the tile at `index`, keeping the order of the others; the array is freed when empty.
  void DeleteTile(int32_t index);
  // Sorts the tiles into non-increasing depth, tiles of equal depth keeping their order.
  void SortTiles();
  void HideTileLayer(float depth);
  void ShowTileLayer(float depth);
  void ShiftTileLayer(float depth, float dx, float dy);
  void SetTileLayerDepth(float depth, float newDepth);
  void DeleteTileLayer(float depth);
  // Deletes the tiles of that depth covering (x, y): x <= px < x + width x xscale, likewise y.
  void DeleteTilesAt(float depth, float px, float py);
  // Among the tiles of that depth covering (x, y), the one whose centre is nearest (the earlier
  // on equal distance); -1 when none.
  int32_t FindTileAt(float depth, float px, float py) const;
  // Appends a tile definition with the next tile id and answers the id (rooms copied earlier keep
  // the definitions they had).
  int32_t AddTileDef(int32_t background, int32_t left, int32_t top, int32_t width, int32_t height, int32_t x,
                     int32_t y, int32_t depth, float xscale, float yscale, uint32_t colour);
  // The tile definitions become an empty list.
  void ClearTileDefs();

  // The definition record, or null.
  const RoomDefinition* Definition() const { return m_Definition; }
  // Gives the room a blank definition record of its own (speed word 30, empty lists).
  void MakeBlankDefinition();

  int32_t m_CachedTile = -1;
  char* m_Caption = nullptr;  // memory-manager text, or null
  int32_t m_Speed = 30;       // steps per second
  int32_t m_Width = 640;
  int32_t m_Height = 480;
  uint8_t m_Persistent = 0;
  int32_t m_Colour = 0xC0C0C0;
  uint8_t m_ShowColour = 1;
  RoomBackground m_Backgrounds[kRoomBackgroundCount];
  uint8_t m_ViewsEnabled = 0;
  uint8_t m_ClearWindow = 0;
  uint8_t m_ClearDisplay = 0;
  RoomView m_Views[kRoomViewCount];
  char* m_CreationCodeText = nullptr;  // memory-manager text, "" with compiled code, or null
  CCode* m_CreationCode = nullptr;     // not owned (the game code table's)
  uint8_t m_PhysicsEnabled = 0;
  int32_t m_GravityX = 0;
  int32_t m_GravityY = 0;
  float m_PixelsToMetres = 0.0f;
  ActiveList m_Active;       // ascending sort depth
  ActiveList m_Deactivated;  // in the order instances were deactivated
  // The ids of the instances the last copy from definitions made, in definition order; the room
  // start performs their create events and creation code, then frees the list.
  GrowArray<int32_t> m_PendingCreateIds;
  CPhysicsWorld* m_PhysicsWorld = nullptr;  // owned, null when the room has no physics
  GrowArray<RoomTile> m_Tiles{10, 10};      // live tiles
  char* m_Name = nullptr;                   // memory-manager text, the name as loaded
  uint8_t m_OwnsDefinition = 0;             // Copy gives this room its own definition record

 private:
  void ReleaseDefinition();
  // The definition record, made this room's alone (copied when shared) so that it may change.
  RoomDefinition* WritableDefinition();
  RoomDefinition* m_Definition = nullptr;
};

// The room being run; null before the first room and between games.
extern CRoom*& CurrentRoom;

// The counters the ids of new instances and tiles come from: a new id is the counter plus one,
// which the counter then takes.
void Room_SetLastInstanceId(int32_t id);
int32_t Room_GetLastInstanceId();
void Room_SetLastTileId(int32_t id);
int32_t Room_GetLastTileId();
