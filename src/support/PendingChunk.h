// Chunks whose readers come with later work: until a subsystem reads its chunk, its reader
// records where the payload lies and accepts it. The main pass forgets the records when it resets
// the managers, and so does GameData_Free.
#pragma once

#include <cstdint>

#include "support/BoundedReader.h"

// Records the payload handed to the reader named `reader` (a text that lives for the whole run,
// such as a literal), replacing an earlier record of the same reader.
void PendingChunk_Record(const char* reader, const BoundedReader& chunk);
// The payload last handed to `reader` and the place of that record among all records since the
// last reset (0 for the first); false when the reader got nothing since then.
bool PendingChunk_Find(const char* reader, ChunkPayload* payload, int32_t* order = nullptr);
void PendingChunk_ForgetAll();
