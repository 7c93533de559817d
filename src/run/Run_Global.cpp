#include "run/Run_Global.h"

namespace {
int32_t g_newRoom = 0;
}  // namespace

int32_t Run_GetNewRoom() { return g_newRoom; }

void Run_SetNewRoom(int32_t code) { g_newRoom = code; }
