#include "support/LoadSave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/VCL.h"
#include "os/OS_Paths.h"
#include "platform/MemoryManager.h"
#include "support/Support_Directory.h"

PermittedPaths g_Permitted;

namespace {

bool EqualNoCaseN(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + ('a' - 'A'));
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + ('a' - 'A'));
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
  return true;
}

// True when `path` lies in the directory `dir` (or is that directory): the bytes agree over the
// directory's length and the directory ends at a separator of the path. Without that last test
// "/games/g" would also contain "/games/gx/file".
bool InDirectory(const char* path, const char* dir, bool ignoreCase) {
  if (path == nullptr || dir == nullptr) return false;
  const size_t length = std::strlen(dir);
  if (length == 0) return false;
  const bool same = ignoreCase ? EqualNoCaseN(path, dir, length) : std::strncmp(path, dir, length) == 0;
  if (!same) return false;
  return dir[length - 1] == '/' || path[length] == '/' || path[length] == '\0';
}

// The working directory (working_directory): the game data file's directory, none before the
// loader derived it.
const char* WorkingDirectory() { return GetWorkingDirectory(); }

void AddPermitted(PermittedPath** list, const char* path, uint8_t prefix) {
  char full[kLoadSavePathSize];
  if (!OS_FullPath(path, full, sizeof(full))) return;
  PermittedPath* entry = static_cast<PermittedPath*>(
      MemoryManager::Alloc(sizeof(PermittedPath), __FILE__, __LINE__, true));
  entry->path = MemoryManager::DuplicateText(full);
  entry->prefix = prefix;
  entry->next = *list;
  *list = entry;
}

void FreeList(PermittedPath** list) {
  PermittedPath* entry = *list;
  while (entry != nullptr) {
    PermittedPath* next = entry->next;
    MemoryManager::Free(entry->path);
    MemoryManager::Free(entry);
    entry = next;
  }
  *list = nullptr;
}

bool IsReadPermitted(const char* full) {
  for (PermittedPath* e = g_Permitted.PermittedReadList; e != nullptr; e = e->next) {
    if (std::strlen(e->path) == std::strlen(full) && EqualNoCaseN(full, e->path, std::strlen(full))) {
      return true;
    }
  }
  return false;
}

bool IsWritePermitted(const char* full) {
  const size_t fullLength = std::strlen(full);
  for (PermittedPath* e = g_Permitted.PermittedWriteList; e != nullptr; e = e->next) {
    const size_t length = std::strlen(e->path);
    if (e->prefix) {
      // A directory permits what lies below it, not a sibling sharing its first letters.
      if (length == 0 || length >= fullLength || !EqualNoCaseN(full, e->path, length)) continue;
      if (e->path[length - 1] == '/' || full[length] == '/') return true;
    } else if (length == fullLength && EqualNoCaseN(full, e->path, length)) {
      return true;
    }
  }
  return false;
}

// Writes head + tail into out; false (out empty) when it does not fit.
bool Join(char* out, int capacity, const char* head, const char* tail) {
  const size_t a = std::strlen(head);
  const size_t b = std::strlen(tail);
  if (static_cast<uint64_t>(a) + b + 1 > static_cast<uint64_t>(capacity)) {
    out[0] = '\0';
    return false;
  }
  std::memmove(out, head, a);
  std::memmove(out + a, tail, b + 1);
  return true;
}

bool PathExists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

}  // namespace

void LoadSave_PermitRead(const char* path) { AddPermitted(&g_Permitted.PermittedReadList, path, 0); }

void LoadSave_PermitWrite(const char* path, bool directory) {
  AddPermitted(&g_Permitted.PermittedWriteList, path, directory ? 1 : 0);
}

void LoadSave_ClearPermittedPaths() {
  FreeList(&g_Permitted.PermittedReadList);
  FreeList(&g_Permitted.PermittedWriteList);
}

void LoadSave_ResolveGamePath(char* out, int capacity, const char* name) {
  if (out == nullptr || capacity <= 0) return;
  out[0] = '\0';
  char full[kLoadSavePathSize];
  if (name == nullptr || !OS_FullPath(name, full, sizeof(full))) return;

  char cwd[kLoadSavePathSize];
  const bool haveCwd = OS_GetCurrentDirectory(cwd, sizeof(cwd));
  const char* game = GetGameDirectory();
  const char* work = WorkingDirectory();

  if (haveCwd && InDirectory(full, cwd, false)) {
    if (InDirectory(full, game, false)) {
      Join(out, capacity, full, "");
    } else {
      // The rest after the current directory keeps its leading separator, so the result has
      // two separators after the game directory; the file system reads them as one.
      Join(out, capacity, game, full + std::strlen(cwd));
    }
  } else if (work != nullptr && InDirectory(full, work, false)) {
    Join(out, capacity, game, full + std::strlen(work));
  } else if (IsReadPermitted(full)) {
    Join(out, capacity, full, "");
  }

  // A file in the game folder that is missing as written may be there in another letter case.
  if (out[0] != '\0' && InDirectory(out, game, false) && !PathExists(out)) {
    char found[kLoadSavePathSize];
    if (OS_FindPathNoCase(out, std::strlen(game), found, sizeof(found))) Join(out, capacity, found, "");
  }
}

void LoadSave_ResolveSavePath(char* out, int capacity, const char* name) {
  if (out == nullptr || capacity <= 0) return;
  out[0] = '\0';
  if (name == nullptr) return;
  char full[kLoadSavePathSize];
  if (!OS_FullPath(name, full, sizeof(full))) {
    DebugConsole->Output("Error! not allowing save with filename '%s'\n", name);
    return;
  }
  const bool permitted = IsWritePermitted(full);

  const char* save = GetSaveDirectory();
  if (save == nullptr) {
    DebugConsole->Output("Error! not allowing save with filename '%s'\n", full);
    return;
  }
  char cwd[kLoadSavePathSize];
  const bool haveCwd = OS_GetCurrentDirectory(cwd, sizeof(cwd));
  const char* work = WorkingDirectory();

  bool mapped = true;
  bool fits = true;
  // A path already in the save area stays as it is. It is tested first: the save area often
  // lies below the current directory (a game started from the home folder), and mapping such a
  // path as one below the current directory would nest the save area inside itself.
  if (InDirectory(full, save, false)) {
    fits = Join(out, capacity, full, "");
  } else if (haveCwd && InDirectory(full, cwd, false)) {
    const char* rest = full + std::strlen(cwd);
    if (*rest == '/') ++rest;  // the separator after the current directory
    fits = Join(out, capacity, save, rest);
  } else if (work != nullptr && InDirectory(full, work, false)) {
    fits = Join(out, capacity, save, full + std::strlen(work));
  } else {
    mapped = false;
  }

  if (mapped) {
    if (!fits) {
      DebugConsole->Output("Error! not allowing save with filename '%s'\n", full);
      return;
    }
    if (permitted) DebugConsole->Output("Warning! Save location - redirected to: '%s'\n", out);
    return;
  }
  if (permitted && Join(out, capacity, full, "")) return;
  DebugConsole->Output("Error! not allowing save with filename '%s'\n", full);
}

namespace {

// Opens a path the resolvers gave. Below the game folder or the save area (the more specific of
// the two when one lies in the other) the open never leaves that folder, whatever symbolic links
// lie on the way; a file the player picked in a dialog is opened as it is. Reads are opened
// without blocking, so a named pipe cannot hold the game.
int OpenResolved(const char* path, int flags, int mode = 0) {
  if (path == nullptr || path[0] == '\0') {
    errno = ENOENT;
    return -1;
  }
  const char* root = nullptr;
  const char* game = GetGameDirectory();
  const char* save = GetSaveDirectory();
  if (game != nullptr && InDirectory(path, game, false)) root = game;
  if (save != nullptr && InDirectory(path, save, false) && (root == nullptr || std::strlen(save) > std::strlen(root))) {
    root = save;
  }
  if (root != nullptr) return OS_OpenInside(root, path, flags, mode);
  return open(path, flags | O_CLOEXEC, mode);
}

// Reads the whole regular file open as `fd` (closed here); see LoadSave_ReadWholeFile.
void* ReadWholeFd(int fd, int* outSize) {
  if (fd < 0) return nullptr;
  struct stat st;
  // Only a regular file is read: a directory, a pipe or a device is not a file of the game, and
  // a file larger than a size can say is not read at all.
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 || st.st_size > INT_MAX) {
    close(fd);
    return nullptr;
  }
  const size_t size = static_cast<size_t>(st.st_size);
  uint8_t* block = static_cast<uint8_t*>(
      MemoryManager::Alloc(static_cast<uint32_t>(size > 0 ? size : 1), __FILE__, __LINE__, true));
  size_t done = 0;
  while (done < size) {
    ssize_t n = read(fd, block + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // a file that shrank meanwhile leaves the rest zero
    done += static_cast<size_t>(n);
  }
  close(fd);
  if (outSize != nullptr) *outSize = static_cast<int>(size);
  return block;
}

// True when `fd` (closed here) is open on something that is not a directory.
bool IsOpenFile(int fd) {
  if (fd < 0) return false;
  struct stat st;
  const bool ok = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  close(fd);
  return ok;
}

constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY;

}  // namespace

void* LoadSave_ReadWholeFile(const char* path, int* outSize) {
  if (path == nullptr || path[0] == '\0') return nullptr;
  return ReadWholeFd(open(path, kReadFlags | O_CLOEXEC), outSize);
}

bool LoadSave_FileExists(const char* path) {
  if (path == nullptr || path[0] == '\0') return false;
  return IsOpenFile(open(path, kReadFlags | O_CLOEXEC));
}

void* LoadSave_ReadGameFile(const char* name, int* outSize) {
  char path[kLoadSavePathSize];
  LoadSave_ResolveGamePath(path, sizeof(path), name);
  return ReadWholeFd(OpenResolved(path, kReadFlags), outSize);
}

void* LoadSave_ReadSaveFile(const char* name, int* outSize) {
  char path[kLoadSavePathSize];
  LoadSave_ResolveSavePath(path, sizeof(path), name);
  return ReadWholeFd(OpenResolved(path, kReadFlags), outSize);
}

bool LoadSave_GameFileExists(const char* name) {
  char path[kLoadSavePathSize];
  LoadSave_ResolveGamePath(path, sizeof(path), name);
  return IsOpenFile(OpenResolved(path, kReadFlags));
}

bool LoadSave_SaveFileExists(const char* name) {
  char path[kLoadSavePathSize];
  LoadSave_ResolveSavePath(path, sizeof(path), name);
  return IsOpenFile(OpenResolved(path, kReadFlags));
}

bool LoadSave_WriteSaveFile(const char* name, const void* data, int size) {
  char path[kLoadSavePathSize];
  LoadSave_ResolveSavePath(path, sizeof(path), name);
  if (path[0] == '\0') return false;
  // Inside the save area the missing directories are made on the way, never through a link
  // that leads out of it; a picked file outside gets its directories as before.
  if (!InDirectory(path, GetSaveDirectory(), false)) CreateDirectoryForFile(path);
  const int fd = OpenResolved(path, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY, 0666);
  if (fd < 0) return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  size_t left = (bytes != nullptr && size > 0) ? static_cast<size_t>(size) : 0;
  while (left > 0) {
    const ssize_t n = write(fd, bytes, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes += n;
    left -= static_cast<size_t>(n);
  }
  close(fd);
  return true;
}

bool _WriteFile(const char* path, const void* data, int size) {
  FILE* f = (path != nullptr && path[0] != '\0') ? std::fopen(path, "wb") : nullptr;
  if (f == nullptr) {
    const int error = path == nullptr || path[0] == '\0' ? ENOENT : errno;
    std::fprintf(stderr, "_WriteFile: %s\n", std::strerror(error));
    return false;
  }
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  size_t left = (bytes != nullptr && size > 0) ? static_cast<size_t>(size) : 0;
  while (left > 0) {
    size_t n = std::fwrite(bytes, 1, left, f);
    if (n == 0) break;
    bytes += n;
    left -= n;
  }
  std::fclose(f);
  return true;
}

void LoadSave_Nothing() {}
