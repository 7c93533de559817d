#include "room/Room_Main.h"

#include <cstdio>

#include "base/ErrorSink.h"
#include "base/VCL.h"
#include "code/Code_Error.h"
#include "code/Code_Main.h"
#include "room/Room_Class.h"
#include "room/Room_Draw.h"
#include "runner/GameData.h"
#include "runner/GameData_Code.h"
#include "support/BoundedReader.h"

RoomTableState g_RoomTable;
cARRAY_STRUCTURE<int32_t>& RoomOrder = g_RoomTable.order;

namespace {

void DestroyRooms() {
  for (int32_t i = 0; i < g_RoomTable.rooms.Count(); ++i) delete g_RoomTable.rooms[i];
  g_RoomTable.rooms.Free();
  g_RoomTable.names.FreeAll();
}

// Appends `room` under "__newroom<index>" and answers its index.
int32_t AppendRoom(CRoom* room) {
  const int32_t index = g_RoomTable.names.Count();
  char name[128];
  std::snprintf(name, sizeof(name), "__newroom%d", index);
  g_RoomTable.names.Add(name);
  g_RoomTable.rooms.SetCount(index);
  g_RoomTable.rooms.Push(room);
  return index;
}

// Compiles `code` under `name`; on failure shows the compiler's error and answers false.
bool CompileRoomCode(CCode* code, const char* name) {
  if (code == nullptr || code->m_compiled) return true;
  if (code->Compile(name)) return true;
  char message[2048];
  const char* error = Code_GetLastError();
  std::snprintf(message, sizeof(message), "COMPILATION ERROR in room script\n%s", error != nullptr ? error : "");
  ShowRuntimeError(message, false);
  return false;
}

}  // namespace

bool Room_LoadChunk(BoundedReader& chunk) {
  uint32_t count = 0;
  if (!chunk.U32(&count) || count > INT32_MAX || !chunk.Fits(count, 4)) {
    DebugConsole->Output("Game data: the room chunk holds fewer entries than its count %u\n", count);
    return false;
  }
  DestroyRooms();
  g_RoomTable.rooms.SetCount(count);
  g_RoomTable.names.Set(static_cast<int32_t>(count) - 1, nullptr);
  const BoundedReader image = chunk.At(0, chunk.ImageSize());
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset = 0;
    chunk.ReadAt(4 + 4ull * i, &offset);
    if (offset == 0) continue;
    CRoom* room = new CRoom();
    g_RoomTable.rooms[static_cast<int32_t>(i)] = room;
    if (!room->LoadFromData(image, offset, g_GameData.GameHeaderVersion)) return false;
    g_RoomTable.names.Set(static_cast<int32_t>(i), room->m_Name);
  }
  return true;
}

void Room_ResetGlobals() {
  DestroyRooms();
  g_RoomTable.order.SetLength(0);
  g_RoomTable.lastInstanceId = 0;
  g_RoomTable.lastTileId = 0;
  g_RoomDraw.gui = GuiSettings{};
}

bool Room_Prepare() {
  DebugConsole->Output("Room_Prepare() \n");
  if (CodeChunkPresent()) return true;
  char name[1024];
  for (int32_t i = 0; i < g_RoomTable.rooms.Count(); ++i) {
    CRoom* room = g_RoomTable.rooms[i];
    if (room == nullptr) continue;
    const char* roomName = room->m_Name != nullptr ? room->m_Name : "";
    if (room->m_CreationCodeText != nullptr && room->m_CreationCodeText[0] != '\0') {
      std::snprintf(name, sizeof(name), "Room.%s", roomName);
      if (!CompileRoomCode(room->m_CreationCode, name)) return false;
    }
    const RoomDefinition* definition = room->Definition();
    if (definition == nullptr) continue;
    for (int32_t j = 0; j < definition->instances.Count(); ++j) {
      const int32_t codeIndex = definition->instances[j].codeIndex;
      if (codeIndex < 0) continue;
      std::snprintf(name, sizeof(name), "Instance.%s.%d", roomName, j);
      if (!CompileRoomCode(Code_Get(codeIndex), name)) return false;
    }
  }
  return true;
}

int32_t Room_Count() { return g_RoomTable.rooms.Count(); }

bool Room_Exists(int32_t index) { return Room_Data(index) != nullptr; }

CRoom* Room_Data(int32_t index) {
  if (index < 0 || index >= g_RoomTable.rooms.Count()) return nullptr;
  return g_RoomTable.rooms[index];
}

const char* Room_GetName(int32_t index) {
  if (!Room_Exists(index)) return "<undefined>";
  const char* name = g_RoomTable.names.Name(index);
  return name != nullptr ? name : "<undefined>";
}

int32_t Room_FindByName(const char* name) { return g_RoomTable.names.FindFirst(name); }

int32_t Room_First() { return RoomOrder.GetLength() > 0 ? RoomOrder[0] : -1; }

int32_t Room_Last() { return RoomOrder.GetLength() > 0 ? RoomOrder[RoomOrder.GetLength() - 1] : -1; }

int32_t Room_Previous(int32_t room) {
  for (int32_t i = 1; i < RoomOrder.GetLength(); ++i) {
    if (RoomOrder[i] == room) return RoomOrder[i - 1];
  }
  return -1;
}

int32_t Room_Next(int32_t room) {
  for (int32_t i = RoomOrder.GetLength() - 2; i >= 0; --i) {
    if (RoomOrder[i] == room) return RoomOrder[i + 1];
  }
  return -1;
}

int32_t Room_Add() {
  CRoom* room = new CRoom();
  room->MakeBlankDefinition();
  return AppendRoom(room);
}

int32_t Room_Duplicate(int32_t index) {
  const CRoom* source = Room_Data(index);
  if (source == nullptr) return -1;
  CRoom* room = new CRoom();
  room->m_OwnsDefinition = 1;
  room->Copy(source, false);
  return AppendRoom(room);
}

bool Room_Assign(int32_t destination, int32_t source) {
  const CRoom* from = Room_Data(source);
  if (from == nullptr || !Room_Exists(destination)) return false;
  // The table room takes the settings and shares the definitions; instances are made from them
  // when the room starts, so none is made here.
  CRoom* room = new CRoom();
  room->Copy(from, false);
  delete g_RoomTable.rooms[destination];
  g_RoomTable.rooms[destination] = room;
  return true;
}

void Room_SetLastInstanceId(int32_t id) { g_RoomTable.lastInstanceId = id; }

int32_t Room_GetLastInstanceId() { return g_RoomTable.lastInstanceId; }

void Room_SetLastTileId(int32_t id) { g_RoomTable.lastTileId = id; }

int32_t Room_GetLastTileId() { return g_RoomTable.lastTileId; }
