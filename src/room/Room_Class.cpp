#include "room/Room_Class.h"

#include <cmath>

#include "background/Background_Main.h"
#include "base/VCL.h"
#include "code/Code_Main.h"
#include "object/Object_Class.h"
#include "physics/Physics_World.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "room/Room_Main.h"
#include "runner/GameData_Code.h"
#include "support/BoundedReader.h"

namespace {

// The ROOM entry: the words every version has, then the physics fields (version 6 on).
constexpr uint64_t kEntrySize = 0x38;
constexpr uint64_t kEntrySizePhysics = 0x58;
constexpr uint64_t kBackgroundEntrySize = 10 * 4;
constexpr uint64_t kViewEntrySize = 14 * 4;
constexpr uint64_t kInstanceEntrySize = 36;
constexpr uint64_t kTileEntrySize = 48;

void DeleteInstances(ActiveList* list) {
  for (CInstance* instance = list->first; instance != nullptr;) {
    CInstance* next = instance->i_next;
    Instance_Delete(instance);
    instance = next;
  }
  *list = ActiveList{};
}

void ReplaceText(char*& slot, const char* text) {
  char* copy = MemoryManager::DuplicateText(text);
  MemoryManager::Free(slot);
  slot = copy;
}

float BlendAlpha(uint32_t colour) { return static_cast<float>(static_cast<double>(colour >> 24) / 255.0); }

// A list of the entry: a count and that many offsets, each naming a record of `recordSize` bytes
// inside the image. Offset 0 is an empty list; an offset 0 in the list is an empty item.
class EntryList {
 public:
  EntryList(const BoundedReader& image, uint32_t offset, uint64_t recordSize, const char* what)
      : m_image(image), m_recordSize(recordSize) {
    if (offset == 0) return;
    BoundedReader head = image.At(offset, 4);
    uint32_t count = 0;
    if (!head.U32(&count) || !image.At(offset + 4ull, 4ull * count).Ok()) {
      DebugConsole->Output("Game data: a room's %s list at offset %u lies outside the file\n", what, offset);
      m_ok = false;
      return;
    }
    m_offset = offset;
    m_count = count;
  }
  bool Ok() const { return m_ok; }
  bool Present() const { return m_offset != 0; }
  uint32_t Count() const { return m_count; }
  // The record of item i (not Ok() when it lies outside the image); `empty` set for offset 0.
  BoundedReader Item(uint32_t i, bool* empty) const {
    uint32_t at = 0;
    m_image.At(m_offset + 4ull + 4ull * i, 4).ReadAt(0, &at);
    *empty = at == 0;
    return m_image.At(at, m_recordSize);
  }

 private:
  const BoundedReader& m_image;
  uint64_t m_recordSize;
  uint32_t m_offset = 0;
  uint32_t m_count = 0;
  bool m_ok = true;
};

// Reads the items of a list with `read`(index, record); false when one lies outside the image.
template <typename Read>
bool ReadItems(const EntryList& list, const char* what, Read read) {
  for (uint32_t i = 0; i < list.Count(); ++i) {
    bool empty = false;
    BoundedReader record = list.Item(i, &empty);
    if (empty) continue;
    if (!record.Ok() || !read(i, record)) {
      DebugConsole->Output("Game data: %s entry %u of a room lies outside the file\n", what, i);
      return false;
    }
  }
  return true;
}

// The code reference of a room or an instance entry: with a CODE chunk an entry index (-1 none),
// otherwise the image offset of a text (0 none). False when it names nothing the file holds.
bool CheckCodeReference(const BoundedReader& image, int32_t word) {
  if (CodeChunkPresent()) return word == -1 || (word >= 0 && word < CodeEntryCount());
  const char* text = nullptr;
  return image.TextAt(static_cast<uint32_t>(word), &text);
}

bool HasCode(int32_t word) { return CodeChunkPresent() ? word != -1 : word != 0; }

}  // namespace

CRoom::CRoom() { Reset(); }

CRoom::~CRoom() {
  delete m_PhysicsWorld;
  m_PhysicsWorld = nullptr;
  ReleaseDefinition();
  MemoryManager::Free(m_Caption);
  m_Caption = nullptr;
  MemoryManager::Free(m_CreationCodeText);
  m_CreationCodeText = nullptr;
  MemoryManager::Free(m_Name);
  m_Name = nullptr;
  Reset();
}

void CRoom::Reset() {
  m_CachedTile = -1;
  MemoryManager::Free(m_Caption);
  m_Caption = nullptr;
  m_Speed = 30;
  m_Width = 640;
  m_Height = 480;
  m_Persistent = 0;
  m_Colour = 0xC0C0C0;
  m_ShowColour = 1;
  for (RoomBackground& background : m_Backgrounds) background = RoomBackground{};
  m_ViewsEnabled = 0;
  m_ClearWindow = 0;
  m_ClearDisplay = 0;
  for (RoomView& view : m_Views) {
    const int32_t surface = view.surfaceId;
    view = RoomView{};
    view.surfaceId = surface;
  }
  MemoryManager::Free(m_CreationCodeText);
  m_CreationCodeText = nullptr;
  m_CreationCode = nullptr;
  m_PhysicsEnabled = 0;
  m_GravityX = 0;
  m_GravityY = 0;
  m_PixelsToMetres = 0.0f;
  DeleteActiveInstances();
  DeleteDeactivatedInstances();
  m_PendingCreateIds.Free();
  m_Tiles.Free();
}

void CRoom::ReleaseDefinition() {
  if (m_Definition != nullptr && --m_Definition->refs == 0) {
    m_Definition->instances.Free();
    m_Definition->tiles.Free();
    delete m_Definition;
  }
  m_Definition = nullptr;
}

void CRoom::MakeBlankDefinition() {
  ReleaseDefinition();
  m_Definition = new RoomDefinition();
}

RoomDefinition* CRoom::WritableDefinition() {
  if (m_Definition == nullptr) {
    m_Definition = new RoomDefinition();
  } else if (m_Definition->refs > 1) {
    const RoomDefinition* shared = m_Definition;
    RoomDefinition* own = new RoomDefinition();
    own->speed = shared->speed;
    own->hasInstanceList = shared->hasInstanceList;
    own->hasTileList = shared->hasTileList;
    for (int32_t i = 0; i < shared->instances.Count(); ++i) own->instances.Push(shared->instances[i]);
    for (int32_t i = 0; i < shared->tiles.Count(); ++i) own->tiles.Push(shared->tiles[i]);
    ReleaseDefinition();
    m_Definition = own;
  }
  return m_Definition;
}

bool CRoom::LoadFromData(const BoundedReader& image, uint64_t entry, int32_t version) {
  Reset();
  delete m_PhysicsWorld;
  m_PhysicsWorld = nullptr;
  MakeBlankDefinition();
  const bool physics = version >= 6;
  BoundedReader fields = image.At(entry, physics ? kEntrySizePhysics : kEntrySize);
  uint32_t nameOffset = 0, captionOffset = 0, persistent = 0, colour = 0, showColour = 0, flags = 0;
  uint32_t backgroundList = 0, viewList = 0, instanceList = 0, tileList = 0, physicsWord = 0;
  int32_t code = 0;
  float gravityX = 0.0f, gravityY = 0.0f, scale = 0.0f;
  fields.U32(&nameOffset);
  fields.U32(&captionOffset);
  fields.I32(&m_Width);
  fields.I32(&m_Height);
  fields.I32(&m_Speed);
  fields.U32(&persistent);
  fields.U32(&colour);
  fields.U32(&showColour);
  fields.I32(&code);
  fields.U32(&flags);
  fields.U32(&backgroundList);
  fields.U32(&viewList);
  fields.U32(&instanceList);
  fields.U32(&tileList);
  if (physics) {
    fields.U32(&physicsWord);
    fields.Skip(16);
    fields.Read(&gravityX);
    fields.Read(&gravityY);
    fields.Read(&scale);
  }
  const char* name = nullptr;
  const char* caption = nullptr;
  if (!fields.Ok() || !image.TextAt(nameOffset, &name) || !image.TextAt(captionOffset, &caption)) {
    DebugConsole->Output("Game data: the room entry at offset %llu lies outside the file\n",
                         static_cast<unsigned long long>(entry));
    return false;
  }
  ReplaceText(m_Name, name);
  SetCaption(caption);
  m_Definition->speed = m_Speed;
  m_Persistent = persistent != 0;
  m_Colour = static_cast<int32_t>(colour);
  m_ShowColour = showColour != 0;

  if (!CheckCodeReference(image, code)) {
    DebugConsole->Output("Game data: the creation code of room %s names nothing the file holds\n", m_Name);
    return false;
  }
  if (CodeChunkPresent()) {
    ReplaceText(m_CreationCodeText, "");
  } else {
    const char* text = nullptr;
    image.TextAt(static_cast<uint32_t>(code), &text);
    ReplaceText(m_CreationCodeText, text);
  }
  if (HasCode(code)) m_CreationCode = Code_Get(Code_Add(code, false));

  m_ViewsEnabled = (flags & 1u) != 0;
  m_ClearWindow = (flags & 2u) != 0;
  m_ClearDisplay = (flags & 4u) == 0;

  if (physics) {
    m_PhysicsEnabled = physicsWord != 0;
    m_GravityX = num::TruncInt32(gravityX);
    m_GravityY = num::TruncInt32(gravityY);
    m_PixelsToMetres = scale;
  }

  const EntryList backgrounds(image, backgroundList, kBackgroundEntrySize, "background");
  const EntryList views(image, viewList, kViewEntrySize, "view");
  const EntryList instances(image, instanceList, kInstanceEntrySize, "instance");
  const EntryList tiles(image, tileList, kTileEntrySize, "tile");
  if (!backgrounds.Ok() || !views.Ok() || !instances.Ok() || !tiles.Ok()) return false;

  const bool backgroundsRead = ReadItems(backgrounds, "background", [this](uint32_t i, BoundedReader& r) {
    if (i >= kRoomBackgroundCount) return true;
    int32_t w[10];
    for (int32_t& word : w) r.I32(&word);
    RoomBackground& b = m_Backgrounds[i];
    b.visible = w[0] != 0;
    b.foreground = w[1] != 0;
    b.index = w[2];
    b.x = static_cast<float>(w[3]);
    b.y = static_cast<float>(w[4]);
    b.htiled = w[5] != 0;
    b.vtiled = w[6] != 0;
    b.hspeed = static_cast<float>(w[7]);
    b.vspeed = static_cast<float>(w[8]);
    b.blend = 0xFFFFFF;
    b.alpha = 1.0f;
    const CBackground* image = Background_Data(b.index);
    if (w[9] != 0 && image != nullptr) {
      if (image->m_Width > 0) b.xscale = static_cast<float>(m_Width) / static_cast<float>(image->m_Width);
      if (image->m_Height > 0) b.yscale = static_cast<float>(m_Height) / static_cast<float>(image->m_Height);
    }
    return true;
  });
  const bool viewsRead = ReadItems(views, "view", [this](uint32_t i, BoundedReader& r) {
    if (i >= kRoomViewCount) return true;
    int32_t w[14];
    for (int32_t& word : w) r.I32(&word);
    RoomView& v = m_Views[i];
    v.visible = w[0] != 0;
    v.xview = static_cast<float>(w[1]);
    v.yview = static_cast<float>(w[2]);
    v.wview = static_cast<float>(w[3]);
    v.hview = static_cast<float>(w[4]);
    v.xport = w[5];
    v.yport = w[6];
    v.wport = w[7];
    v.hport = w[8];
    v.angle = 0.0f;
    v.hborder = w[9];
    v.vborder = w[10];
    v.hspeed = w[11];
    v.vspeed = w[12];
    v.object = w[13];
    return true;
  });
  if (!backgroundsRead || !viewsRead) return false;

  // The definitions: instance creation code goes into the game code table, whose index the
  // definition keeps (-1 for none, so that no instance is taken for the owner of entry 0).
  RoomDefinition* definition = m_Definition;
  definition->hasInstanceList = instances.Present() && instances.Count() > 0;
  definition->hasTileList = tiles.Present();
  bool codeOk = true;
  const bool instancesRead = ReadItems(instances, "instance", [&](uint32_t, BoundedReader& r) {
    RoomInstanceDef def{};
    int32_t word = 0;
    r.I32(&def.x);
    r.I32(&def.y);
    r.I32(&def.objectIndex);
    r.I32(&def.id);
    r.I32(&word);
    r.Read(&def.xscale);
    r.Read(&def.yscale);
    r.U32(&def.colour);
    r.Read(&def.angle);
    if (!CheckCodeReference(image, word)) {
      codeOk = false;
      return true;
    }
    def.codeIndex = HasCode(word) ? Code_Add(word, false) : -1;
    definition->instances.Push(def);
    return true;
  });
  if (!codeOk) {
    DebugConsole->Output("Game data: an instance of room %s names creation code the file does not hold\n", m_Name);
    return false;
  }
  const bool tilesRead = ReadItems(tiles, "tile", [&](uint32_t, BoundedReader& r) {
    RoomTileDef def{};
    r.I32(&def.x);
    r.I32(&def.y);
    r.I32(&def.background);
    r.I32(&def.left);
    r.I32(&def.top);
    r.I32(&def.width);
    r.I32(&def.height);
    r.I32(&def.depth);
    r.I32(&def.id);
    r.Read(&def.xscale);
    r.Read(&def.yscale);
    r.U32(&def.colour);
    definition->tiles.Push(def);
    return true;
  });
  if (!instancesRead || !tilesRead) return false;

  if (m_PhysicsEnabled) {
    m_PhysicsWorld = new CPhysicsWorld(m_PixelsToMetres, m_Speed);
    m_PhysicsWorld->World()->SetGravity(b2Vec2(static_cast<float>(m_GravityX), static_cast<float>(m_GravityY)));
  }
  return true;
}

void CRoom::Copy(const CRoom* source, bool fromDefinitions) {
  Reset();
  if (source == nullptr) return;
  SetCaption(source->m_Caption);
  m_Width = source->m_Width;
  m_Height = source->m_Height;
  m_Speed = source->m_Speed;
  m_Persistent = source->m_Persistent;
  m_Colour = source->m_Colour;
  m_ShowColour = source->m_ShowColour;
  ReplaceText(m_CreationCodeText, source->m_CreationCodeText);
  m_CreationCode = source->m_CreationCode;
  m_PhysicsEnabled = source->m_PhysicsEnabled;
  m_GravityX = source->m_GravityX;
  m_GravityY = source->m_GravityY;
  m_PixelsToMetres = source->m_PixelsToMetres;
  for (int32_t i = 0; i < kRoomBackgroundCount; ++i) m_Backgrounds[i] = source->m_Backgrounds[i];
  m_ViewsEnabled = source->m_ViewsEnabled;
  m_ClearWindow = source->m_ClearWindow;
  m_ClearDisplay = source->m_ClearDisplay;
  for (int32_t i = 0; i < kRoomViewCount; ++i) {
    const int32_t surface = m_Views[i].surfaceId;
    m_Views[i] = source->m_Views[i];
    m_Views[i].surfaceId = surface;
  }
  delete m_PhysicsWorld;
  m_PhysicsWorld = nullptr;
  if (source->m_PhysicsWorld != nullptr) {
    m_PhysicsWorld = new CPhysicsWorld(source->m_PhysicsWorld->m_scale, source->m_PhysicsWorld->m_updateSpeed);
    m_PhysicsWorld->World()->SetGravity(source->m_PhysicsWorld->World()->GetGravity());
  }

  // The definition record: shared, or this room's own copy.
  if (source->m_Definition != nullptr && source->m_Definition != m_Definition) {
    ReleaseDefinition();
    m_Definition = source->m_Definition;
    ++m_Definition->refs;
  }
  if (m_OwnsDefinition) WritableDefinition();

  const RoomDefinition* definition = m_Definition;
  if (fromDefinitions && definition != nullptr) {
    if (definition->hasInstanceList) {
      m_PendingCreateIds.Reserve(definition->instances.Count());
      for (int32_t i = 0; i < definition->instances.Count(); ++i) {
        const RoomInstanceDef& def = definition->instances[i];
        if (def.objectIndex < 0) continue;
        CInstance* instance =
            new CInstance(static_cast<float>(def.x), static_cast<float>(def.y), def.id, def.objectIndex, true);
        instance->i_creationcode = Code_Get(def.codeIndex);
        instance->i_imagescalex = def.xscale;
        instance->i_imagescaley = def.yscale;
        instance->i_imageblend = static_cast<int32_t>(def.colour & 0xFFFFFFu);
        instance->i_imagealpha = BlendAlpha(def.colour);
        instance->i_imageangle = def.angle;
        instance->i_bboxdirty = 1;
        instance->BuildPhysicsBody(this);
        m_Active.Insert(instance);
        InstanceIdMap.Insert(instance->i_id, instance);
        m_PendingCreateIds.Push(instance->i_id);
      }
    }
    if (definition->hasTileList && definition->tiles.Count() > 0) {
      m_Tiles.Reserve(definition->tiles.Count());
      for (int32_t i = 0; i < definition->tiles.Count(); ++i) {
        const RoomTileDef& def = definition->tiles[i];
        RoomTile tile{};
        tile.x = static_cast<float>(def.x);
        tile.y = static_cast<float>(def.y);
        tile.depth = static_cast<float>(def.depth);
        tile.background = def.background;
        tile.left = def.left;
        tile.top = def.top;
        tile.width = def.width;
        tile.height = def.height;
        tile.id = def.id;
        tile.xscale = def.xscale;
        tile.yscale = def.yscale;
        tile.blend = static_cast<int32_t>(def.colour & 0xFFFFFFu);
        tile.alpha = BlendAlpha(def.colour);
        tile.visible = 1;
        m_Tiles.Push(tile);
      }
    }
  } else if (!fromDefinitions && !m_OwnsDefinition) {
    for (int32_t i = 0; i < source->m_Tiles.Count(); ++i) m_Tiles.Push(source->m_Tiles[i]);
  }

  for (const CInstance* from = source->m_Active.first; from != nullptr; from = from->i_next) {
    CInstance* instance = new CInstance(0.0f, 0.0f, 0, 0, false);
    instance->Copy(from, true);
    m_Active.Insert(instance);
    InstanceIdMap.Insert(instance->i_id, instance);
  }
  for (const CInstance* from = source->m_Deactivated.first; from != nullptr; from = from->i_next) {
    CInstance* instance = new CInstance(0.0f, 0.0f, 0, 0, false);
    instance->Copy(from, false);
    m_Deactivated.Append(instance);
    InstanceIdMap.Insert(instance->i_id, instance);
  }
}

void CRoom::SetCaption(const char* text) { ReplaceText(m_Caption, text); }

CInstance* CRoom::AddInstance(float x, float y, int32_t objectIndex) {
  Room_SetLastInstanceId(num::WrapAdd32(Room_GetLastInstanceId(), 1));
  const int32_t id = Room_GetLastInstanceId();
  CInstance* instance = new CInstance(x, y, id, objectIndex, true);
  instance->BuildPhysicsBody(this);
  m_Active.Insert(instance);
  InstanceIdMap.Insert(id, instance);
  return instance;
}

int32_t CRoom::AddInstanceDef(float x, float y, int32_t objectIndex) {
  RoomDefinition* definition = WritableDefinition();
  Room_SetLastInstanceId(num::WrapAdd32(Room_GetLastInstanceId(), 1));
  RoomInstanceDef def{};
  def.x = num::TruncInt32(x);
  def.y = num::TruncInt32(y);
  def.objectIndex = objectIndex;
  def.id = Room_GetLastInstanceId();
  def.codeIndex = -1;
  def.xscale = 1.0f;
  def.yscale = 1.0f;
  def.colour = 0xFFFFFFFFu;
  def.angle = 0.0f;
  definition->instances.Push(def);
  definition->hasInstanceList = true;
  return def.id;
}

void CRoom::RemoveInstance(CInstance* instance) { Instance_Delete(instance); }

void CRoom::RemoveMarked() {
  for (CInstance* instance = m_Active.first; instance != nullptr;) {
    CInstance* next = instance->i_next;
    if (instance->i_marked != 0) {
      DepthChangeQueue.Remove(instance);
      RemoveInstance(instance);
    }
    instance = next;
  }
}

void CRoom::DeleteActiveInstances() { DeleteInstances(&m_Active); }

void CRoom::DeleteDeactivatedInstances() { DeleteInstances(&m_Deactivated); }

void CRoom::UpdateDeactivated() {
  for (CInstance* instance = m_Deactivated.first; instance != nullptr;) {
    CInstance* next = instance->i_next;
    if (instance->i_deactivated == 0) {
      m_Deactivated.Remove(instance);
      m_Active.Insert(instance);
      if (instance->i_object != nullptr) instance->i_object->AddInstance(instance);
    }
    instance = next;
  }
  for (CInstance* instance = m_Active.first; instance != nullptr;) {
    CInstance* next = instance->i_next;
    if (instance->i_deactivated != 0) {
      m_Active.Remove(instance);
      m_Deactivated.Append(instance);
      if (instance->i_object != nullptr) instance->i_object->RemoveInstance(instance);
    }
    instance = next;
  }
}

void CRoom::ScrollBackgrounds() {
  for (RoomBackground& background : m_Backgrounds) {
    background.x += background.hspeed;
    background.y += background.vspeed;
  }
}

// ---- Tiles ----

int32_t CRoom::FindTile(int32_t id) {
  if (m_CachedTile >= 0 && m_CachedTile < m_Tiles.Count() && m_Tiles[m_CachedTile].id == id) return m_CachedTile;
  for (int32_t i = 0; i < m_Tiles.Count(); ++i) {
    if (m_Tiles[i].id == id) {
      m_CachedTile = i;
      return i;
    }
  }
  return -1;
}

int32_t CRoom::AddTile(const RoomTile& tile) {
  m_Tiles.Push(tile);
  const int32_t index = m_Tiles.Count() - 1;
  Room_SetLastTileId(num::WrapAdd32(Room_GetLastTileId(), 1));
  m_Tiles[index].id = Room_GetLastTileId();
  m_CachedTile = index;
  return index;
}

void CRoom::DeleteTile(int32_t index) {
  const int32_t count = m_Tiles.Count();
  if (index < 0 || index >= count) return;
  RoomTile* tiles = m_Tiles.Data();
  for (int32_t i = index; i + 1 < count; ++i) tiles[i] = tiles[i + 1];
  m_Tiles.SetCount(count - 1);
  if (m_Tiles.Count() == 0) m_Tiles.Free();
}

void CRoom::SortTiles() {
  RoomTile* tiles = m_Tiles.Data();
  const int32_t count = m_Tiles.Count();
  bool sorted = true;
  for (int32_t i = 1; i < count && sorted; ++i) sorted = !(tiles[i].depth > tiles[i - 1].depth);
  if (sorted) return;
  for (int32_t i = 1; i < count; ++i) {
    const RoomTile tile = tiles[i];
    int32_t j = i;
    while (j > 0 && tiles[j - 1].depth < tile.depth) {
      tiles[j] = tiles[j - 1];
      --j;
    }
    tiles[j] = tile;
  }
}

void CRoom::HideTileLayer(float depth) {
  for (int32_t i = 0; i < m_Tiles.Count(); ++i) {
    if (m_Tiles[i].depth == depth) m_Tiles[i].visible = 0;
  }
}

void CRoom::ShowTileLayer(float depth) {
  for (int32_t i = 0; i < m_Tiles.Count(); ++i) {
    if (m_Tiles[i].depth == depth) m_Tiles[i].visible = 1;
  }
}

void CRoom::ShiftTileLayer(float depth, float dx, float dy) {
  for (int32_t i = 0; i < m_Tiles.Count(); ++i) {
    if (m_Tiles[i].depth == depth) {
      m_Tiles[i].x += dx;
      m_Tiles[i].y += dy;
    }
  }
}

void CRoom::SetTileLayerDepth(float depth, float newDepth) {
  for (int32_t i = 0; i < m_Tiles.Count(); ++i) {
    if (m_Tiles[i].depth == depth) m_Tiles[i].depth = newDepth;
  }
}

void CRoom::DeleteTileLayer(float depth) {
  int32_t kept = 0;
  for (int32_t i = 0; i < m_Tiles.Count(); ++i) {
    if (m_Tiles[i].depth != depth) m_Tiles[kept++] = m_Tiles[i];
  }
  m_Tiles.SetCount(kept);
  if (kept == 0) m_Tiles.Free();
}

namespace {

bool Covers(const RoomTile& tile, float px, float py) {
  return tile.x <= px && px < tile.x + static_cast<float>(tile.width) * tile.xscale && tile.y <= py &&
         py < tile.y + static_cast<float>(tile.height) * tile.yscale;
}

}  // namespace

void CRoom::DeleteTilesAt(float depth, float px, float py) {
  for (int32_t i = m_Tiles.Count() - 1; i >= 0; --i) {
    if (m_Tiles[i].depth == depth && Covers(m_Tiles[i], px, py)) DeleteTile(i);
  }
}

int32_t CRoom::FindTileAt(float depth, float px, float py) const {
  int32_t best = -1;
  double bestDistance = 0.0;
  for (int32_t i = 0; i < m_Tiles.Count(); ++i) {
    const RoomTile& tile = m_Tiles[i];
    if (tile.depth != depth || !Covers(tile, px, py)) continue;
    const double cx = tile.x + static_cast<float>(tile.width) * tile.xscale / 2.0f;
    const double cy = tile.y + static_cast<float>(tile.height) * tile.yscale / 2.0f;
    const double distance = (cx - px) * (cx - px) + (cy - py) * (cy - py);
    if (best < 0 || distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}

int32_t CRoom::AddTileDef(int32_t background, int32_t left, int32_t top, int32_t width, int32_t height, int32_t x,
                          int32_t y, int32_t depth, float xscale, float yscale, uint32_t colour) {
  RoomDefinition* definition = WritableDefinition();
  Room_SetLastTileId(num::WrapAdd32(Room_GetLastTileId(), 1));
  RoomTileDef def{x, y, background, left, top, width, height, depth, Room_GetLastTileId(), xscale, yscale, colour};
  definition->tiles.Push(def);
  definition->hasTileList = true;
  return def.id;
}

void CRoom::ClearTileDefs() {
  RoomDefinition* definition = WritableDefinition();
  definition->tiles.Free();
  definition->hasTileList = true;
}
