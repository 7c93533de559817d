#include "testlib/InProcessGame.h"

#include <gtest/gtest.h>

#include "base/VCL.h"
#include "run/Run_Main.h"
#include "testlib/TestHelpers.h"

namespace testsupport {

bool WriteOneObjectGame(const ObjectEntry& object, const std::string& path) {
  RoomInstanceEntry instance;
  instance.id = 100001;
  instance.codeWord = 0;
  RoomEntry room;
  room.name = "room0";
  room.codeWord = 0;
  room.instances = std::vector<RoomInstanceEntry>{instance};
  GameHeader header;
  header.roomOrder = {0};
  header.lastInstanceId = 100001;
  GameDataBuilder builder;
  builder.Gen8(header).OptnNew().Objt({object}).Room({room}).Strg();
  return builder.WriteFile(path);
}

int RunGameInProcess(const std::string& path, const char* frames, PumpMessagesHook hook,
                     std::vector<std::string>* lines) {
  RecordingConsole output;
  tagIConsole* const oldOutput = OutputConsole;
  OutputConsole = &output;
  EnvOverride frameLimit("RUNNER_FRAMES", frames);
  EnvOverride clock("RUNNER_FIXED_CLOCK", "1");
  const PumpMessagesHook oldHook = PumpMessages_SetHook(hook);
  ::testing::internal::CaptureStdout();
  const int status = RunRestartLoop(("runner -game \"" + path + "\"").c_str());
  ::testing::internal::GetCapturedStdout();
  PumpMessages_SetHook(oldHook);
  OutputConsole = oldOutput;
  lines->clear();
  for (const std::string& line : output.Lines()) {
    lines->push_back(line.substr(0, line.size() - (!line.empty() && line.back() == '\n' ? 1 : 0)));
  }
  return status;
}

}  // namespace testsupport
