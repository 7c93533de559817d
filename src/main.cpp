// The runner: loads a compiled game data file and runs the game in it.
#include <cstdio>

#include "base/VCL.h"
#include "code/Code_Error.h"

int main(int argc, char** argv) {
  (void)argc;
  (void)argv;
  Code_InstallErrorReporter();
  EmbeddedFiles_SetTable(EmbeddedFiles_ProgramTable());
  std::fprintf(stderr, "runner: no game can be run by this build yet\n");
  return 1;
}
