// Extension functions: native functions that the game's extensions declare. Extension function i
// is called by number 500,000 + i. For now the table holds each function's name and declared
// argument count; the extension loader fills it.
#pragma once

#include <cstdint>

#include "platform/GrowArray.h"
#include "platform/NameTable.h"

class BoundedReader;

// The extension layer's state. Extension_FreeAll empties the table and keeps the two switches;
// assigning a fresh record resets everything.
struct ExtensionState {
  // `ExternalCallsDisabled`: set (never cleared within a process) when the game may not call
  // external library functions (-steam, the header's flag, a switch with a game to return to);
  // the external built-ins and the calling convention constants are then not registered.
  uint8_t ExternalCallsDisabled = 0;
  // `ExternalCallsOff` (-ext): external library functions return at once without being called.
  bool ExternalCallsOff = false;
  // `IAPDataMap`: the ds_map index of the in-app purchase data the built-in iap_data reads, -1
  // when there is none.
  int32_t IAPDataMap = -1;
  // The function table: per function index its name and its declared argument count.
  NameTable names;
  GrowArray<int32_t> argumentCounts;
};
extern ExtensionState g_Extensions;

// The argument count answered for an index that designates no extension function.
constexpr int32_t kNoExtensionFunction = -100;

// Appends a function named `name` (copied; null counts as empty) declaring `argumentCount`
// arguments (-1: any number) and answers its index.
int32_t Extension_FunctionAdd(const char* name, int32_t argumentCount);
// The number of extension functions in the table.
int32_t Extension_FunctionCount();
// The index of the first function whose name equals `name` byte for byte, or -1 (also for null).
int32_t Extension_FindFunction(const char* name);
// The declared argument count of function `index`, or kNoExtensionFunction (-100) when there is
// no such function.
int32_t Extension_GetArgumentCount(int32_t index);
// Releases the table; it is empty afterwards.
void Extension_FreeAll();

// Game start: runs the initialisation function of every extension package. The table holds no
// packages, so there is none to run: true. False would stop the start of the game.
bool Extension_Initialise();
// Game end: runs the final function of every extension package; true on success (no packages:
// true).
bool Extension_Finalise();

// Registers the platform's built-in variables (through RegisterBuiltinVariable); called last in
// the built-in variable registration. None are provided yet.
void RegisterTuvoVariables();

// Reads the extension chunk ("EXTN") into the table.
// The payload is recorded as it stands (support/PendingChunk.h) and accepted.
bool Extension_Load(BoundedReader& chunk);

// Prepares the extension packages after loading, before any code is compiled. The table holds
// only functions and nothing of them needs preparing: true.
bool Extension_Prepare();
