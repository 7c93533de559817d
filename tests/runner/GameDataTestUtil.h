// Shared by the game data tests: a console that keeps what the loader logs, and a fixture that
// starts and ends every test with nothing loaded.
#pragma once

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "code/Code_Constant.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "extension/Extension_Main.h"
#include "option/Option_Main.h"
#include "runner/GameData.h"
#include "testlib/GameDataBuilder.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

namespace gamedatatest {

using testsupport::RecordingConsole;


// A chunk of a built file: its tag, and its payload's offset and size in the file.
struct ChunkPlace {
  std::string tag;
  uint32_t offset;
  uint32_t size;
};

inline std::vector<ChunkPlace> ChunkPlaces(const std::vector<uint8_t>& file) {
  std::vector<ChunkPlace> out;
  for (uint64_t at = 8; at + 8 <= file.size();) {
    uint32_t size;
    std::memcpy(&size, &file[at + 4], 4);
    out.push_back({std::string(reinterpret_cast<const char*>(&file[at]), 4), static_cast<uint32_t>(at + 8), size});
    at += 8ull + size;
  }
  return out;
}

template <typename T>
T ImageValue(uint64_t offset) {
  T value{};
  if (g_GameData.GameImage != nullptr && offset + sizeof(T) <= static_cast<uint64_t>(g_GameData.GameImageSize)) {
    std::memcpy(&value, g_GameData.GameImage + offset, sizeof(T));
  } else {
    ADD_FAILURE() << "offset " << offset << " outside the image";
  }
  return value;
}

class GameDataTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    m_savedConsole = DebugConsole;
    DebugConsole = &m_console;
  }
  void TearDown() override {
    if (HasFailure()) std::fprintf(stderr, "The loader logged:\n%s", m_console.Text().c_str());
    DebugConsole = m_savedConsole;
    RuntimeTest::TearDown();
  }

  // Both passes over `file`, as the start-up runs them.
  bool Load(const std::vector<uint8_t>& file) {
    return GameData_LoadImage(file.data(), file.size()) && GameData_ScanHeader() && LoadGameData();
  }
  // The file read from disk, then both passes, as the start-up runs them.
  bool LoadFromDisk(const std::vector<uint8_t>& file) {
    testsupport::TempDir dir;
    const std::string path = dir.file("game.win");
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    return GameData_ReadFile(path.c_str()) && GameData_ScanHeader() && LoadGameData();
  }

  RecordingConsole m_console;

 private:
  tagIConsole* m_savedConsole = nullptr;
};

}  // namespace gamedatatest
