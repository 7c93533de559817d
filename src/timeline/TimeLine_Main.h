// Time lines: timed lists of moments whose actions run as an instance's time line advances.
#pragma once

#include <cstdint>

class BoundedReader;

// The name of the time line at `index`, or "<undefined>" for an index that names none.
const char* TimeLine_GetName(int32_t index);

// The index of the first filled time line slot whose name equals `name` byte for byte (case
// matters), or -1 when none does (also for a null name). The table is empty until the loader
// fills it.
int32_t TimeLine_FindByName(const char* name);

// Reads the time line chunk ("TMLN").
// Until that work lands, the payload is recorded (runner/GameData_Pending.h) and accepted.
bool TimeLine_LoadChunk(BoundedReader& chunk);
// Empties the time line table (the main pass, before any chunk is read).
void TimeLine_FreeAll();
