// Sounds of the audio engine, one slot per sound index.
// The game data loader fills the table; until then it is empty and every lookup answers -1.
#pragma once

#include <cstdint>

class BoundedReader;

// Sound off (-noaudio, or no sound device): while set every audio and legacy-sound operation
// does nothing.
extern bool SoundDisabled;

// The index of the first filled slot whose name equals `name` byte for byte (case matters), or
// -1 when none does (also for a null name).
int32_t Audio_FindSoundByName(const char* name);

// Reads the sound chunk ("SOND") for the audio engine.
// The payload is recorded as it stands (support/PendingChunk.h) and accepted.
bool Audio_Load(BoundedReader& chunk);

// Reads the audio group chunk ("AGRP").
// The payload is recorded as it stands (support/PendingChunk.h) and accepted.
bool AudioGroup_Load(BoundedReader& chunk);

// Binds the sounds of audio group `group` to their data in the audio data chunk ("AUDO").
// The payload is recorded as it stands (support/PendingChunk.h) and accepted.
bool Audio_WAVs(BoundedReader& chunk, int32_t group);

// Prepares the audio engine's sounds after the legacy ones. There are none to prepare.
void Audio_Prepare();
