// Where a game's files live. A game may read the files that came with it (the game folder, the
// directory of the game data file) and may write only into its own per-user save area. Every
// file access of game code goes through the two resolvers below; a name that lies outside the
// allowed places resolves to the empty path, and nothing opens under the empty path, unless the
// player picked that file in a file dialog.
//
// Paths are UTF-8 and use '/' as their separator. A name given by a game is made absolute
// lexically against the current directory ('\' counts as '/', "." and ".." are folded and
// repeated separators are folded). Reading and writing through the resolvers never leave the
// game folder or the save area: a symbolic link on the way is followed only when its target lies
// inside the same folder, and any other path fails as a missing or refused file does.
#pragma once

#include <cstdint>

// The size of the path buffers the resolvers write into.
constexpr int kLoadSavePathSize = 2048;

// ---- Permitted paths ----
//
// Files the player picked in a dialog, and directories the game named as a temporary write
// location, may be used outside the game folder and the save area. Both lists only grow while
// the game runs; new entries go in front.
struct PermittedPath {
  PermittedPath* next;
  char* path;      // owned, made absolute like every other path a game gives
  uint8_t prefix;  // 1: a directory; every path below it is permitted
};

struct PermittedPaths {
  // Files picked in an open-file dialog.
  PermittedPath* PermittedReadList = nullptr;
  // Files picked in a save-file dialog (prefix 0) and temporary write directories (prefix 1).
  PermittedPath* PermittedWriteList = nullptr;
};
extern PermittedPaths g_Permitted;

// Adds a file the player chose in an open-file dialog.
void LoadSave_PermitRead(const char* path);
// Adds a file the player chose in a save-file dialog (directory false), or a directory under
// which every path may be written (directory true).
void LoadSave_PermitWrite(const char* path, bool directory);
// Empties both lists (at shutdown, and between tests).
void LoadSave_ClearPermittedPaths();

// ---- Resolvers ----
//
// Both write a NUL-terminated path into `out` (capacity bytes, at least 1), the empty text when
// the name is refused, null, or its result does not fit.

// Maps a name onto the game folder. A relative name (or one below the current directory) lands
// in the game folder; a name already in the game folder stays as it is. When the resulting file
// does not exist, the part below the game folder is looked up again ignoring letter case.
void LoadSave_ResolveGamePath(char* out, int capacity, const char* name);
// Maps a name into the save area. Prints "Error! not allowing save with filename '%s'\n" on the
// debug console for a refused name, and "Warning! Save location - redirected to: '%s'\n" when a
// name the player picked in a dialog is redirected into the save area.
void LoadSave_ResolveSavePath(char* out, int capacity, const char* name);

// ---- Whole files ----

// Reads a file (no resolving) into a new zero-filled memory-manager block of its length (1 byte
// for an empty file), with no terminator added; *outSize (when outSize is not null) receives
// the length. Null when the file cannot be opened, is not a regular file (a directory, a pipe,
// a device) or is too large to hold; *outSize is then left alone. The caller frees the block with MemoryManager::Free.
void* LoadSave_ReadWholeFile(const char* path, int* outSize);
// True when the file (no resolving) can be opened for reading.
bool LoadSave_FileExists(const char* path);

// LoadSave_ReadWholeFile of the name mapped onto the game folder / into the save area.
void* LoadSave_ReadGameFile(const char* name, int* outSize);
void* LoadSave_ReadSaveFile(const char* name, int* outSize);
// LoadSave_FileExists of the name mapped onto the game folder / into the save area.
bool LoadSave_GameFileExists(const char* name);
bool LoadSave_SaveFileExists(const char* name);

// Maps the name into the save area, creates the missing directories of that path and writes
// `size` bytes as the whole file. False when the name is refused or the file cannot be opened.
bool LoadSave_WriteSaveFile(const char* name, const void* data, int size);

// Writes `size` bytes to `path` as the whole file, with no resolving. On failure to open it
// prints "_WriteFile: " and the system's error text on standard error and answers false.
bool _WriteFile(const char* path, const void* data, int size);

// Called once by the game loader; does nothing.
void LoadSave_Nothing();

// ---- File handles ----
//
// The stdio-like handles of the file built-ins. A handle never keeps a file open: opening reads
// the whole file into a growable buffer, everything happens on that buffer, and closing a handle
// opened for writing saves the buffer into the save area in one go. The handle itself is
// declared in support/LoadSave_File.h.

struct LoadSaveFile;

// Mode letters, in any order, others ignored: 't' text (skip a leading UTF-8 byte-order mark),
// 'r' read, 'w' write (starts empty), 'a' read, write and append, '+' write. Reading looks in
// the game folder first, then in the save area. Null when only reading was asked and the file is
// in neither place.
LoadSaveFile* LoadSave_fopen(const char* name, const char* mode);
// Saves the contents of a handle opened for writing into the save area and frees the handle.
// A null handle does nothing.
void LoadSave_fclose(LoadSaveFile* file);
// The position.
int LoadSave_ftell(LoadSaveFile* file);
// Moves the position (origin 0 start, 1 current, 2 end; any other origin does nothing) and
// answers the new position.
int LoadSave_fseek(LoadSaveFile* file, int offset, int origin);
// True when the position is not below the size.
bool LoadSave_feof(LoadSaveFile* file);
// True at the end, or when the byte at the position is a carriage return or a line feed. The
// position does not move.
bool LoadSave_feoln(LoadSaveFile* file);
// The byte at the position, advancing by one; at the end the position still advances and the
// answer is 0xFF.
uint8_t LoadSave_fgetc(LoadSaveFile* file);
// Skips white space, then reads the longest decimal number there into *out; advances by the
// characters of the number and answers their count (0 and *out 0 when no number starts there).
int LoadSave_ReadReal(LoadSaveFile* file, double* out);
// Reads / writes size * count bytes at the position; answers the bytes moved.
int LoadSave_fread(void* destination, int size, int count, LoadSaveFile* file);
int LoadSave_fwrite(const void* source, int size, int count, LoadSaveFile* file);
// Writes the text with every line feed not directly after a carriage return written as CR LF;
// answers the bytes written (0 for an empty or null text).
int LoadSave_fputs(LoadSaveFile* file, const char* text);
