#include "shader/Shader_Main.h"

#include "support/PendingChunk.h"

bool Shader_LoadChunk(BoundedReader& chunk) {
  PendingChunk_Record("Shader_LoadChunk", chunk);
  return true;
}
