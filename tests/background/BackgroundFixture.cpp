#include "BackgroundFixture.h"

#include <cmath>
#include <cstring>
#include <fstream>

#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/VM_State.h"
#include "function/Function_Resource.h"
#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Transform.h"
#include "os/OS_Paths.h"
#include "os/OS_Messages.h"
#include "runner/GameData.h"

namespace backgroundtest {

namespace fs = std::filesystem;

void BackgroundTest::SetUp() {
  HeadlessGLTest::SetUp();
  ASSERT_TRUE(testsupport::OpenTestDisplay(64, 64));
  fs::create_directories(m_root + "/game");
  m_oldCwd = fs::current_path();
  fs::current_path(m_root + "/game");
  SetGameFilePath((m_root + "/game/data.win").c_str());
  SetSaveAreaGameInfo("Project", 0);
  Error_SetDialogSwitch(false);
  Run_SetRunning(true);
  RegisterBackgroundFunctions();
}

void BackgroundTest::TearDown() {
  fs::current_path(m_oldCwd);
  HeadlessGLTest::TearDown();
}

namespace {

ScriptValue CallRaw(const char* name, std::vector<ScriptValue>& args) {
  ScriptValue result{};
  int32_t number = -1;
  if (!FindFunctionIndex(name, &number) || number >= kScriptCallBase) {
    ADD_FAILURE() << "no built-in " << name;
    return result;
  }
  g_VM.CurrentBuiltinName = g_VM.functions[number].name;
  g_VM.functions[number].func(&result, nullptr, nullptr, static_cast<int32_t>(args.size()),
                              args.empty() ? nullptr : args.data());
  for (ScriptValue& v : args) ReleaseValue(&v);
  return result;
}

}  // namespace

double BackgroundTest::Call(const char* name, std::vector<ScriptValue> args) {
  ScriptValue result = CallRaw(name, args);
  const double answer = result.Kind() == VALUE_REAL ? result.real : std::nan("");
  ReleaseValue(&result);
  return answer;
}

std::string BackgroundTest::CallText(const char* name, std::vector<ScriptValue> args) {
  ScriptValue result = CallRaw(name, args);
  std::string answer = result.Kind() != VALUE_STRING ? "<not a string>" : result.str != nullptr ? result.str : "<no text>";
  ReleaseValue(&result);
  return answer;
}

std::string BackgroundTest::TakeError() {
  std::string text = Error_GetLast() != nullptr ? Error_GetLast() : "";
  // The report frames the message with where the code stood: keep the message line.
  const size_t start = text.find("\n\n\n");
  if (start != std::string::npos) text = text.substr(start + 3, text.find('\n', start + 3) - start - 3);
  Error_ResetState();
  Error_SetDialogSwitch(false);
  Run_SetRunning(true);
  return text;
}

bool BackgroundTest::LoadGame(const std::vector<uint8_t>& file) {
  m_game = file;
  return GameData_LoadImage(m_game.data(), m_game.size()) && GameData_ScanHeader() && LoadGameData();
}

namespace {

void WriteBytes(const std::string& path, const Bytes& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

void BackgroundTest::WriteGameFile(const std::string& name, const Bytes& bytes) const {
  WriteBytes(m_root + "/game/" + name, bytes);
}

void BackgroundTest::WriteSaveFile(const std::string& name, const Bytes& bytes) const {
  WriteBytes(SaveDir() + name, bytes);
}

Bytes PngOf(int32_t w, int32_t h, const std::vector<uint32_t>& argb) {
  testsupport::PngImage image;
  image.width = static_cast<uint32_t>(w);
  image.height = static_cast<uint32_t>(h);
  image.colourType = 6;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t p = argb[static_cast<size_t>(y * w + x)];
      const uint8_t rgba[4] = {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p),
                               static_cast<uint8_t>(p >> 24)};
      image.rows.insert(image.rows.end(), rgba, rgba + 4);
    }
  }
  return testsupport::MakePNG(image);
}

Bytes RawTexture(int32_t w, int32_t h, const std::vector<uint32_t>& argb) {
  Bytes raw(16);
  const uint32_t header[4] = {0x20574152, static_cast<uint32_t>(w), static_cast<uint32_t>(h), 0};
  std::memcpy(raw.data(), header, 16);
  for (uint32_t p : argb) {
    const uint8_t rgba[4] = {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p),
                             static_cast<uint8_t>(p >> 24)};
    raw.insert(raw.end(), rgba, rgba + 4);
  }
  return raw;
}

}  // namespace backgroundtest
