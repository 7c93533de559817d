// The object chunk of the game data.
#pragma once

class BoundedReader;

// Reads the object chunk ("OBJT") into the object table.
// Until that work lands, the payload is recorded (runner/GameData_Pending.h) and accepted.
bool Object_LoadChunk(BoundedReader& chunk);
