// Games run whole in the test's own process: a one-room game around one object, and the runner's
// restart loop over it, headless with a fixed clock, a hook at every message pump and the
// console collected.
#pragma once

#include <string>
#include <vector>

#include "os/OS_Messages.h"
#include "testlib/GameDataBuilder.h"

namespace testsupport {

// Writes a game of one room ("room0") holding one instance (id 100001) of `object` to `path`.
bool WriteOneObjectGame(const ObjectEntry& object, const std::string& path);

// Runs the game at `path` for `frames` steps with a fixed clock, calling `hook` at every message
// pump; answers the runner's exit status, and in *lines what was written to the output console,
// each line without its newline.
int RunGameInProcess(const std::string& path, const char* frames, PumpMessagesHook hook,
                     std::vector<std::string>* lines);

}  // namespace testsupport
