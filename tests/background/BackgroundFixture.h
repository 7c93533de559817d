// The fixture of the background tests: the graphics device on headless OpenGL (64 x 64), the
// background built-ins registered, a sandbox game folder (the current directory) and save area,
// calls of built-ins by name, the run-time error they reported, and game files loaded through
// the two passes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testlib/GameDataBuilder.h"
#include "testlib/GraphicsFixtures.h"
#include "testlib/ImageFixtures.h"
#include "testlib/TestHelpers.h"
#include "variable/ScriptValue.h"

namespace backgroundtest {

using testsupport::Bytes;

class BackgroundTest : public testsupport::HeadlessGLTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Calls the built-in with the arguments (released afterwards); a real result, or NaN for
  // another kind.
  double Call(const char* name, std::vector<ScriptValue> args);
  // A string result ("<no text>" for a string without text).
  std::string CallText(const char* name, std::vector<ScriptValue> args);
  // The message of the run-time error reported since the last call of this (empty when none).
  std::string TakeError();
  // Loads the file through both passes; false when a pass refuses it.
  bool LoadGame(const std::vector<uint8_t>& file);

  void WriteGameFile(const std::string& name, const Bytes& bytes) const;
  void WriteSaveFile(const std::string& name, const Bytes& bytes) const;
  std::string SaveDir() const { return m_root + "/data/runner/Project/"; }

  testsupport::TempDir m_dir;
  std::string m_root = std::filesystem::canonical(m_dir.path()).string();
  testsupport::EnvOverride m_data{"XDG_DATA_HOME", (m_root + "/data").c_str()};
  testsupport::EnvOverride m_home{"HOME", (m_root + "/home").c_str()};
  std::filesystem::path m_oldCwd;
  std::vector<uint8_t> m_game;
};

// An RGBA PNG of w x h pixels given as 0xAARRGGBB words, rows top first.
Bytes PngOf(int32_t w, int32_t h, const std::vector<uint32_t>& argb);
// A "RAW " texture blob of w x h pixels given as 0xAARRGGBB words.
Bytes RawTexture(int32_t w, int32_t h, const std::vector<uint32_t>& argb);

}  // namespace backgroundtest
