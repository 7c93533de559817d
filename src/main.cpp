// The runner: loads a compiled game data file and runs the game in it.
#include <string>

#include "code/Code_Error.h"
#include "run/Run_CommandLine.h"
#include "run/Run_Main.h"

int main(int argc, char** argv) {
  Code_InstallErrorReporter();
  const std::string commandLine = CommandLine_Join(argc, argv);
  return RunRestartLoop(commandLine.c_str());
}
