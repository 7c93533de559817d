// Plain file-system functions on paths the caller already has (no mapping into the game folder
// or the save area): tests for files and directories, splitting a path into its parts, creating
// and deleting whole directory trees, the current directory, environment variables, and the
// game's private temporary directory, made at start-up and deleted at shutdown.
//
// Paths are UTF-8 and taken as they are. Splitting accepts both '\' and '/' as separators.
// Every text answered is a new memory-manager block owned by the caller.
#pragma once

// True when the path's attributes can be read and it is neither a directory nor a device.
bool File_Exists(const char* path);
// True when the path's attributes can be read and it is a directory.
bool File_DirectoryExists(const char* path);
// The process's current directory (the empty text when the system cannot say).
char* File_GetCurrentDirectory();

// The part before the last '\'; with no '\', before the last '/'. The empty text when there is
// neither, or the separator is the first character.
char* File_ExtractDir(const char* path);
// The part after the last '\'; with no '\', after the last '/'; the whole path with neither.
char* File_ExtractName(const char* path);
// The drive part ("C:" for "C:\a\b.txt"): the first two characters when the second is ':',
// otherwise the empty text.
char* File_ExtractDrive(const char* path);
// The extension with its dot (".txt" for "C:\a\b.txt"): from the last '.' of the last path
// component; the empty text when that component has none.
char* File_ExtractExt(const char* path);

// Creates the directory and every missing directory above it. One trailing separator of `path`
// is removed in the caller's text. Answers whether the directory exists afterwards. A bare
// relative name (no separator at all) is not created and answers false unless it exists.
bool File_CreateDirectoryTree(char* path);
// Deletes the directory and everything in it. Symbolic links inside are removed themselves,
// never followed; a path that is itself a symbolic link is left alone and answers false.
// Answers false at the first entry that cannot be deleted, leaving the rest.
bool File_DeleteDirectoryTree(const char* path);

// Makes the game's private temporary directory, named "tw_ttt_" and a unique suffix, under
// $TMPDIR (when it is an absolute path) or /tmp. Answers whether it was made.
bool File_CreateTempDirectory();
// The temporary directory's path; null when there is none.
char* File_GetTempDirectory();
// Deletes the temporary directory with everything in it, and forgets it.
void File_DeleteTempDirectory();

// The value of the environment variable `name`; null when it is not set.
char* GetEnvironmentVariableUTF8(const char* name);
