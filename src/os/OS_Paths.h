// The places the runtime finds its files in: the running executable, the game data file and its
// directory (the game folder), and the per-user save area. Also the one lexical path normaliser
// that every path a game gives goes through, and a lookup that finds a file ignoring letter case.
//
// All paths are UTF-8 and use '/' as their separator. Used from the main thread (the audio-group
// loader's thread only reads the caches once they exist).
#pragma once

#include <cstddef>
#include <cstdint>

// ---- The executable ----

// The full path of the running executable (cached; never null, empty when the system cannot
// say).
const char* GetExecutablePath();

// ---- The game data file and the game folder ----

// Sets the path of the game data file (a copy is kept; null forgets it). The cached game
// directory is dropped so that it follows the new path.
void SetGameFilePath(const char* path);
// The path of the game data file, or null when none is known.
const char* GetGameFilePath();
// Makes the game file path absolute (lexically, against the current directory). A path that
// cannot be made absolute is left as it is.
void MakeGameFilePathAbsolute();
// The directory of the game data file with a trailing '/': everything before the path's last
// '/' (or, only when it has none, its last '\'). A path with neither lies in the current
// directory and gives "./". With no game file path, the current directory stands in for it.
// Cached until FreeGamePaths or SetGameFilePath.
const char* GetGameDirectory();
// Frees the game file path, the cached game directory and the working directory (at the end of
// every run).
void FreeGamePaths();
// The working directory (working_directory): the game data file's directory with its trailing
// separator, derived once per run by InitWorkingDirectory (room/Global_Variables.h); null until
// then. SetWorkingDirectory keeps a copy (null forgets it).
const char* GetWorkingDirectory();
void SetWorkingDirectory(const char* directory);

// ---- The save area ----

// The game header bit that moves the save area from the local data folder to the roaming
// (configuration) folder.
constexpr uint32_t kGameFlagRoamingSaves = 0x2000;

// The runtime's own folder inside the shared data (or configuration) folder; every game's save
// area lies in it, so a game never writes among other programs' files.
constexpr const char* kRuntimeDataFolder = "runner";
// The save-folder name of a game whose name cannot serve as one (empty, ".", ".." or nothing but
// separators).
constexpr const char* kFallbackSaveFolder = "unnamed";

// What the save area depends on in the loaded game: its save-folder name and its header flags.
// Called by the game loader once the header is read; drops the cached save directory.
void SetSaveAreaGameInfo(const char* saveFolderName, uint32_t headerFlags);
// Forgets the loaded game's information (no game loaded); drops the cached save directory.
void ClearSaveAreaGameInfo();
// The per-user save area: the data folder ($XDG_DATA_HOME, else $HOME/.local/share; with the
// roaming flag $XDG_CONFIG_HOME, else $HOME/.config), "/runner/", the game's save-folder name
// with its separators made '_' (kFallbackSaveFolder when it is empty, ".", ".." or only
// separators, and before a game is loaded), '/'. Null when no folder can be found; then nothing is cached and the
// next call tries again. Writes "SavePrePend = %s\n" to the debug console each time it is
// computed.
const char* GetSaveDirectory();
// Drops the cached save directory (a game switch, tests).
void ClearSaveDirectoryCache();
// The save area a game switch chose for the game it starts (null forgets it): while set,
// GetSaveDirectory answers it whatever game is loaded, and nothing is logged. Only a folder below
// the runtime's own folder (local or roaming) is taken, made absolute with a trailing '/';
// anything else is refused and the started game computes its own save area.
void SetSaveDirectoryOverride(const char* directory);

// ---- Path helpers ----

// The current directory, without a trailing '/' except at the root. False (and `out` empty when
// it has room) when the system cannot say or it does not fit `capacity` bytes.
bool OS_GetCurrentDirectory(char* out, size_t capacity);

// The absolute form of `path`, made lexically: '\' counts as '/', a relative path is taken
// against the current directory, "." components are dropped, ".." removes the component before
// it (never going above the root), repeated separators become one. A trailing separator is kept.
// Symbolic links are not resolved. False (and `out` empty when it has room) for a null or empty
// path, or when the result does not fit `capacity` bytes.
bool OS_FullPath(const char* path, char* out, size_t capacity);

// Looks up `path` ignoring ASCII letter case in the components after its first `baseLength`
// bytes (the base, a directory, is taken as it is). Each component that does not exist exactly
// is matched against the directory's entries; of several matches the one that sorts first
// byte-wise is taken. A directory reached through a symbolic link whose target lies outside the
// base is not looked into. On success the path of the existing file, with the letter case found
// on disk, is written to `out` and the answer is true.
bool OS_FindPathNoCase(const char* path, size_t baseLength, char* out, size_t capacity);

// Opens `path`, which must lie lexically inside the directory `root` (both absolute, as
// OS_FullPath makes them), without ever leaving `root`. The root itself is taken as the system
// resolves it. Below it every component is examined without following links: a symbolic link
// is followed only when its target, resolved the same way, lies inside the root too (at most 40
// links per open); a link leading elsewhere, or a ".." above the root, fails with EACCES, like
// any other path outside. `flags` are open(2) flags (O_NOFOLLOW and O_CLOEXEC are added); with
// O_CREAT the root and every missing directory on the way are created (mode 0777) and a new
// file gets `mode`. Answers the file descriptor, or -1 with errno set.
int OS_OpenInside(const char* root, const char* path, int flags, int mode);

// ---- Start-up housekeeping ----

// Moves every plain file of the current directory whose name holds '@' to the path the name
// spells with '/' in place of each '@' ("levels@world1@map.dat" becomes levels/world1/map.dat),
// creating the directories on the way. Hidden, read-only and non-regular entries (directories,
// symbolic links, devices) are left alone.
void MoveAtNamedFiles();
// Moves one file of the current directory as above. Nothing happens, and false is answered, when
// the name holds no '@', when one of its '@'-separated parts is empty, "." or "..", when a
// directory on the way exists as anything but a real directory, or when the target exists: no
// file leaves the current directory and none is overwritten.
bool MoveAtNamedFile(const char* name);
