// The runner: loads a compiled game data file and runs the game in it.
#include <cstdio>

#include "base/VCL.h"

int main(int argc, char** argv) {
  (void)argc;
  (void)argv;
  EmbeddedFiles_SetTable(EmbeddedFiles_ProgramTable());
  std::fprintf(stderr, "runner: no game can be run by this build yet\n");
  return 1;
}
