// Source positions of bytecode: the line-information table of a piece of code maps code offsets
// to byte offsets in its source text, and these helpers turn those into line numbers and lines.
#pragma once

#include <cstdint>

class VMBuffer;

// One entry of a line-information table (8 bytes in the table).
struct VMLineEntry {
  int32_t codeOffset;    // first instruction of a source position
  int32_t sourceOffset;  // byte offset into the code's source text
};

// The last entry whose code offset is at most `codeOffset`, scanning from the first entry and
// stopping at the first larger one. False when the table is missing or empty, or its first entry
// already lies beyond the offset. A trailing partial entry is ignored.
bool FindLineEntry(const VMBuffer* lineInfo, int32_t codeOffset, VMLineEntry* entry);

// The line number (from 1) of the entry's source offset, honouring line markers: a line that
// starts with "#line " followed by a name and a number makes the line after it that number.
// -1 without an entry or a source text, or for a negative offset; an offset at or past the end
// of the text is taken as the last byte. When `name` is given it receives a memory-manager copy
// of the marker's name that the caller frees, or null when no marker applies.
int32_t FindSourceLine(const VMLineEntry* entry, const char* source, char** name = nullptr);

// The text of the source line holding the entry's source offset, without its line break, cut to
// 255 bytes (at a character boundary). "<unknown source line>" without an entry or a source.
// The answer lives in one process-wide buffer that the next call overwrites.
const char* SourceLineText(const VMLineEntry* entry, const char* source);
