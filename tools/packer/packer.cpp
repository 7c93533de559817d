// The game packer: turns a game folder into a game data file.
//
//   packer FOLDER OUTPUT
//
// FOLDER holds "game.json", the manifest, and the source files it names (paths relative to the
// folder). The manifest:
//
//   {
//     "name": "mygame",                         the game's name (default: the folder's name)
//     "scripts": [ {"name": "scr_add", "file": "scr_add.gml"} ],
//     "paths": [ {"name": "pth_patrol", "kind": "smooth", "closed": false, "precision": 4,
//                 "points": [[0, 0, 100], [64, 0, 50], [64, 64]]} ],
//     "objects": [ {"name": "obj_player", "depth": 0, "visible": true, "solid": false,
//                   "persistent": false, "parent": "obj_base",
//                   "events": {"create": "player_create.gml", "step": "player_step.gml"}} ],
//     "rooms": [ {"name": "room_first", "width": 640, "height": 480, "speed": 30,
//                 "persistent": false, "code": "room_first.gml",
//                 "instances": [ {"object": "obj_player", "x": 32, "y": 48, "code": "p1.gml"} ]} ]
//   }
//
// Rooms are played in manifest order; instance ids are given in order from 100001.
// A path's kind is "straight" (the default) or "smooth"; it is closed unless "closed" is false;
// its precision is 0..8 (default 4); each point is x, y and an optional speed (default 100).
//
// Event keys: "create", "destroy", "alarm0".."alarm11", "begin_step", "step", "end_step",
// "draw", "outside", "boundary", "game_start", "game_end", "room_start", "room_end",
// "animation_end", "end_of_path", "user0".."user15", or "KIND_NUMBER" with two decimal numbers.
// Scripts and events are written as source text, which the runner compiles when it prepares the
// game. Every error names what is wrong and the packer exits with status 1.
#include <json-c/json.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "testlib/GameDataBuilder.h"

namespace fs = std::filesystem;
using testsupport::GameDataBuilder;

namespace {

struct PackError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string ReadText(const fs::path& folder, const std::string& name) {
  const fs::path path = folder / name;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

json_object* Member(json_object* object, const char* key) {
  json_object* value = nullptr;
  return json_object_object_get_ex(object, key, &value) ? value : nullptr;
}

std::string Text(json_object* object, const char* key, const std::string& what, const char* fallback = nullptr) {
  json_object* value = Member(object, key);
  if (value == nullptr) {
    if (fallback != nullptr) return fallback;
    throw PackError(what + ": \"" + key + "\" is missing");
  }
  if (!json_object_is_type(value, json_type_string)) throw PackError(what + ": \"" + key + "\" must be a text");
  return json_object_get_string(value);
}

int32_t Int(json_object* object, const char* key, const std::string& what, int32_t fallback) {
  json_object* value = Member(object, key);
  if (value == nullptr) return fallback;
  if (!json_object_is_type(value, json_type_int)) throw PackError(what + ": \"" + key + "\" must be a whole number");
  const int64_t number = json_object_get_int64(value);
  if (number < INT32_MIN || number > INT32_MAX) throw PackError(what + ": \"" + key + "\" is out of range");
  return static_cast<int32_t>(number);
}

bool Flag(json_object* object, const char* key, const std::string& what, bool fallback) {
  json_object* value = Member(object, key);
  if (value == nullptr) return fallback;
  if (!json_object_is_type(value, json_type_boolean)) throw PackError(what + ": \"" + key + "\" must be true or false");
  return json_object_get_boolean(value) != 0;
}

// The array under `key` (none: empty).
std::vector<json_object*> Array(json_object* object, const char* key, const std::string& what) {
  std::vector<json_object*> items;
  json_object* value = Member(object, key);
  if (value == nullptr) return items;
  if (!json_object_is_type(value, json_type_array)) throw PackError(what + ": \"" + key + "\" must be a list");
  for (size_t i = 0; i < json_object_array_length(value); ++i) {
    json_object* item = json_object_array_get_idx(value, i);
    if (!json_object_is_type(item, json_type_object)) throw PackError(what + ": every entry of \"" + key + "\" must be an object");
    items.push_back(item);
  }
  return items;
}

// A decimal number that is all of `text`, within 0..limit.
bool ReadNumber(const std::string& text, int32_t limit, int32_t* out) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  *out = std::stoi(text);
  return *out <= limit;
}

// The event kind and number an event key names.
bool EventOfKey(const std::string& key, int32_t* kind, int32_t* number) {
  static const std::map<std::string, std::pair<int32_t, int32_t>> named = {
      {"create", {0, 0}},      {"destroy", {1, 0}},       {"step", {3, 0}},        {"begin_step", {3, 1}},
      {"end_step", {3, 2}},    {"draw", {8, 0}},          {"outside", {7, 0}},     {"boundary", {7, 1}},
      {"game_start", {7, 2}},  {"game_end", {7, 3}},      {"room_start", {7, 4}},  {"room_end", {7, 5}},
      {"animation_end", {7, 7}}, {"end_of_path", {7, 8}},
  };
  if (auto found = named.find(key); found != named.end()) {
    *kind = found->second.first;
    *number = found->second.second;
    return true;
  }
  if (key.rfind("alarm", 0) == 0 && ReadNumber(key.substr(5), 11, number)) {
    *kind = 2;
    return true;
  }
  if (key.rfind("user", 0) == 0 && ReadNumber(key.substr(4), 15, number)) {
    *kind = 7;
    *number += 10;
    return true;
  }
  const size_t cut = key.find('_');
  return cut != std::string::npos && ReadNumber(key.substr(0, cut), 11, kind) &&
         ReadNumber(key.substr(cut + 1), 255, number);
}

// The manifest's paths, numbered in manifest order.
std::vector<testsupport::PathEntry> Paths(json_object* manifest) {
  std::vector<testsupport::PathEntry> paths;
  for (json_object* entry : Array(manifest, "paths", "game.json")) {
    testsupport::PathEntry path;
    const std::string what = "path " + Text(entry, "name", "a path");
    path.name = Text(entry, "name", what);
    const std::string kind = Text(entry, "kind", what, "straight");
    if (kind != "straight" && kind != "smooth") throw PackError(what + ": \"kind\" must be \"straight\" or \"smooth\"");
    path.kind = kind == "smooth" ? 1 : 0;
    path.closed = Flag(entry, "closed", what, true) ? 1 : 0;
    path.precision = Int(entry, "precision", what, 4);
    if (path.precision < 0 || path.precision > 8) throw PackError(what + ": \"precision\" must lie in 0..8");
    json_object* points = Member(entry, "points");
    if (points != nullptr && !json_object_is_type(points, json_type_array)) throw PackError(what + ": \"points\" must be a list");
    for (size_t i = 0; points != nullptr && i < json_object_array_length(points); ++i) {
      json_object* point = json_object_array_get_idx(points, i);
      const size_t count = json_object_is_type(point, json_type_array) ? json_object_array_length(point) : 0;
      if (count != 2 && count != 3) throw PackError(what + ": every point must be [x, y] or [x, y, speed]");
      float values[3] = {0, 0, 100};
      for (size_t k = 0; k < count; ++k) {
        json_object* number = json_object_array_get_idx(point, k);
        if (!json_object_is_type(number, json_type_int) && !json_object_is_type(number, json_type_double)) {
          throw PackError(what + ": point " + std::to_string(i) + " must hold numbers");
        }
        values[k] = static_cast<float>(json_object_get_double(number));
      }
      path.points.push_back({values[0], values[1], values[2]});
    }
    paths.push_back(path);
  }
  return paths;
}

GameDataBuilder Pack(const fs::path& folder) {
  const std::string manifestText = ReadText(folder, "game.json");
  json_tokener_error error = json_tokener_success;
  json_object* manifest = json_tokener_parse_verbose(manifestText.c_str(), &error);
  if (manifest == nullptr) throw PackError("game.json: " + std::string(json_tokener_error_desc(error)));
  struct Release {
    json_object* object;
    ~Release() { json_object_put(object); }
  } release{manifest};
  if (!json_object_is_type(manifest, json_type_object)) throw PackError("game.json must hold one object");

  const std::string name = Text(manifest, "name", "game.json", fs::absolute(folder).lexically_normal().parent_path().filename().string().c_str());

  const std::vector<testsupport::PathEntry> paths = Paths(manifest);

  std::vector<testsupport::ScriptEntry> scripts;
  for (json_object* entry : Array(manifest, "scripts", "game.json")) {
    testsupport::ScriptEntry script;
    script.name = Text(entry, "name", "a script");
    script.text = ReadText(folder, Text(entry, "file", "script " + *script.name));
    scripts.push_back(script);
  }

  // Objects are numbered in manifest order; a parent is named.
  const std::vector<json_object*> objectEntries = Array(manifest, "objects", "game.json");
  std::map<std::string, int32_t> objectIndex;
  for (size_t i = 0; i < objectEntries.size(); ++i) {
    const std::string objectName = Text(objectEntries[i], "name", "an object");
    if (!objectIndex.emplace(objectName, static_cast<int32_t>(i)).second) throw PackError("object " + objectName + " is defined twice");
  }
  std::vector<testsupport::ObjectEntry> objects;
  for (json_object* entry : objectEntries) {
    testsupport::ObjectEntry object;
    const std::string what = "object " + Text(entry, "name", "an object");
    object.name = Text(entry, "name", what);
    object.depth = Int(entry, "depth", what, 0);
    object.visible = Flag(entry, "visible", what, true);
    object.solid = Flag(entry, "solid", what, false);
    object.persistent = Flag(entry, "persistent", what, false);
    if (Member(entry, "parent") != nullptr) {
      const std::string parent = Text(entry, "parent", what);
      const auto found = objectIndex.find(parent);
      if (found == objectIndex.end()) throw PackError(what + ": parent " + parent + " is no object");
      object.parent = found->second;
    }
    if (json_object* events = Member(entry, "events")) {
      if (!json_object_is_type(events, json_type_object)) throw PackError(what + ": \"events\" must be an object");
      json_object_object_foreach(events, key, value) {
        int32_t kind = 0, number = 0;
        if (!EventOfKey(key, &kind, &number)) throw PackError(what + ": no event is called \"" + key + "\"");
        if (!json_object_is_type(value, json_type_string)) throw PackError(what + ": event " + key + " must name a file");
        testsupport::ObjectEvent event;
        event.number = number;
        event.code.text = ReadText(folder, json_object_get_string(value));
        object.events[kind].push_back(event);
      }
    }
    objects.push_back(object);
  }

  std::vector<testsupport::RoomEntry> rooms;
  int32_t nextId = 100001;
  for (json_object* entry : Array(manifest, "rooms", "game.json")) {
    testsupport::RoomEntry room;
    const std::string what = "room " + Text(entry, "name", "a room");
    room.name = Text(entry, "name", what);
    room.width = Int(entry, "width", what, 640);
    room.height = Int(entry, "height", what, 480);
    room.speed = Int(entry, "speed", what, 30);
    room.persistent = Flag(entry, "persistent", what, false);
    room.codeWord = 0;  // the file holds no compiled code: 0 is no creation code
    if (Member(entry, "code") != nullptr) room.codeText = ReadText(folder, Text(entry, "code", what));
    std::vector<testsupport::RoomInstanceEntry> instances;
    for (json_object* item : Array(entry, "instances", what)) {
      testsupport::RoomInstanceEntry instance;
      const std::string objectName = Text(item, "object", what + ": an instance");
      const auto found = objectIndex.find(objectName);
      if (found == objectIndex.end()) throw PackError(what + ": " + objectName + " is no object");
      instance.object = found->second;
      instance.x = Int(item, "x", what, 0);
      instance.y = Int(item, "y", what, 0);
      instance.id = nextId++;
      instance.codeWord = 0;
      if (Member(item, "code") != nullptr) instance.codeText = ReadText(folder, Text(item, "code", what));
      instances.push_back(instance);
    }
    room.instances = instances;
    rooms.push_back(room);
  }

  GameDataBuilder builder;
  testsupport::GameHeader header;
  for (size_t i = 0; i < rooms.size(); ++i) header.roomOrder.push_back(static_cast<int32_t>(i));
  header.lastInstanceId = nextId - 1;
  header.name = name;
  header.projectName = name;
  header.displayName = name;
  builder.Gen8(header);
  builder.OptnNew();
  if (!paths.empty()) builder.Path(paths);
  if (!scripts.empty()) builder.Scpt(scripts);
  if (!objects.empty()) builder.Objt(objects);
  if (!rooms.empty()) builder.Room(rooms);
  builder.Strg();
  return builder;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: packer FOLDER OUTPUT\n");
    return 1;
  }
  try {
    const GameDataBuilder builder = Pack(argv[1]);
    if (!builder.WriteFile(argv[2])) throw PackError(std::string("cannot write ") + argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "packer: %s\n", e.what());
    return 1;
  }
  return 0;
}
