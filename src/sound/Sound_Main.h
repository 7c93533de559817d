// Sounds of the legacy sound system, one slot per sound index.
// The game data loader fills the table; until then it is empty and every lookup answers -1.
#pragma once

#include <cstdint>

class BoundedReader;

// The index of the first filled slot whose name equals `name` byte for byte (case matters), or
// -1 when none does (also for a null name).
int32_t Sound_Find(const char* name);

// Reads the sound chunk ("SOND") for the legacy player.
// The payload is recorded as it stands (support/PendingChunk.h) and accepted.
bool Sound_Init(BoundedReader& chunk);

// Reads the audio data chunk ("AUDO") for the legacy player.
// The payload is recorded as it stands (support/PendingChunk.h) and accepted.
bool Wave_Init(BoundedReader& chunk);

// Empties the sound list and the sound-name list.
void Sound_ClearList();

// Starts the sound hardware for the legacy player. No sound device is opened: true.
bool Sound_InitHardware();
// Prepares the legacy sounds after loading. There are no sound records to prepare: true.
bool Sound_Prepare();
