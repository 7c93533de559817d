// Backgrounds: the one table of the game's backgrounds, one slot per background index
// (platform/ResourceTable.h). The table is emptied before the game data is read, filled from the
// background chunk ("BGND"), given own textures once the graphics device exists, changed by the
// background built-ins while the game runs and torn down at shutdown. Slots are never reused: a
// background added at run time appends a slot named "__newbackground<index>", and a deleted one
// leaves an empty slot whose index stays taken. A background put into an empty slot (assign,
// replace) has no name. Main thread only: a download finishes on the main thread too.
#pragma once

#include <cstdint>

#include "background/Background_Class.h"
#include "platform/ResourceTable.h"

class BoundedReader;
class HTTP_REQ_CONTEXT;

// The background table's record. Emptied by Background_Init and Background_FreeAll.
struct BackgroundState {
  ResourceTable<CBackground> table{"__newbackground"};
};
extern BackgroundState g_Backgrounds;

// The request record of a download: the slot it fills and the flag word (kBackgroundRemoveBack,
// kBackgroundSmooth, kBackgroundPreload). Made per request, freed by the request's cleanup.
struct BackgroundHttpRequest {
  int32_t index;
  uint32_t flags;
};

// Deletes every record and name: the table is empty (before the chunk walk).
void Background_Init();
// Reads the background chunk: a count and one entry offset per slot (0 leaves the slot empty,
// which keeps its index), each entry read by CBackground::LoadFromChunk with its name copied into
// the slot. False, after a line on DebugConsole, when the count, an entry, its name or its
// texture-page entry does not lie inside the file; the table is then empty.
bool Background_LoadChunk(BoundedReader& chunk);
// CBackground::CreateTexture for every filled slot, once the graphics device exists
// (backgrounds of the game data have no bitmap and keep texture -1).
void Background_InitTextures();
// At shutdown: every own texture, record and name; the table is empty.
void Background_FreeAll();

// True when 0 <= index < count and the slot holds a record.
bool Background_Exists(int32_t index);
// The record of slot `index`, or null (out of range or an empty slot).
CBackground* Background_Data(int32_t index);
// The slot's name; "<undefined>" for an index that names no background, null for a filled slot
// without a name.
const char* Background_GetName(int32_t index);
// The first filled slot whose name equals `name` byte for byte (case matters), or -1 (also for
// null). Slots without a name never match.
int32_t Background_FindByName(const char* name);

// Appends a slot with a new empty record named "__newbackground<index>"; answers the index.
int32_t Background_AddEmpty();
// A background from a file or an http(s) URL. A URL appends an empty slot at once and starts its
// download (Http_Get, completion Background_OnHttpLoaded); the slot stays empty (0 x 0) until
// the download completes. A file name is looked up in the save area, then in the game folder:
// found, a new slot is loaded from it (keeping the image's alpha unless the background is
// removed; a file that does not decode leaves the slot with an empty record); not found, -1 and
// no slot. Answers the new index or -1.
int32_t Background_Add(const char* name, bool removeBack, bool smooth, bool preload);
// Loads a file or URL into slot `index` (an empty slot in range gets a new record). False for an
// index out of range and for a file in neither place (nothing changes); a URL starts the download
// into the slot and answers false at once. True after a file was loaded: the background then
// draws from its own texture.
bool Background_Replace(int32_t index, const char* name, bool removeBack, bool smooth, bool preload);
// The completion of a download: makes a map of "filename" (the URL), "id" (the slot),
// "http_status" and "status" (0 when bytes arrived, else -1), stores its index in *outMap and
// answers 60, the image-loaded event. With status 200, bytes and the slot still filled, the bytes
// are decoded into the slot's record; bytes that do not decode log "Failed to decode data in
// Sprite_Add %s\n" with the URL.
int32_t Background_OnHttpLoaded(HTTP_REQ_CONTEXT* request, void* userData, int32_t* outMap);
// The cleanup of a download: frees its BackgroundHttpRequest.
void Background_FreeHttpRequest(HTTP_REQ_CONTEXT* request);
// False for an index that names no background; else the record and the name go and the slot
// stays empty; true.
bool Background_Delete(int32_t index);
// A new slot holding a copy of background `index` that owns its pixels (a background of the game
// data is read back from its page); -1 when `index` names no background.
int32_t Background_Duplicate(int32_t index);
// Makes `destination` (an index in range; an empty slot gets a new record and no name) a copy of
// `source` (which must name a background): a background of the game data passes on its page
// entry, so the destination draws from the same page. False otherwise, nothing changed.
bool Background_Assign(int32_t destination, int32_t source);
