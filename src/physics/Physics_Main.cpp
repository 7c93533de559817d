#include "physics/Physics_Main.h"

namespace {
bool g_errorHandlerInstalled = false;
}  // namespace

void Physics_SetErrorHandler() { g_errorHandlerInstalled = true; }

bool Physics_ErrorHandlerInstalled() { return g_errorHandlerInstalled; }
