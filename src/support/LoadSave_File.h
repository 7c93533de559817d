// The file handle of the file built-ins (see the LoadSave_f* functions in support/LoadSave.h).
#pragma once

#include <cstdint>

#include "support/LoadSave.h"

class IBuffer;

struct LoadSaveFile {
  // The whole file: a growable buffer of alignment 1. Its position is the file position; its
  // used size is the end of the file's data.
  IBuffer* buffer;
  uint8_t text;   // 1 when opened with 't'
  char* name;     // for a handle opened for writing, a copy of the name given (unresolved)
  uint8_t write;  // 1 when the buffer is saved into the save area on close
};
