#include "os/OS_Paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "platform/MemoryManager.h"

namespace {

// The paths (memory-manager texts, null when not known).
struct PathState {
  char* executablePath = nullptr;  // found once and never freed: it cannot change
  char* gameFilePath = nullptr;
  char* gameDirectory = nullptr;   // cache
  char* workingDirectory = nullptr;
  char* saveDirectory = nullptr;   // cache
  char* saveDirectoryOverride = nullptr;  // chosen by a game switch
  // What the save area takes from the loaded game.
  bool gameInfoLoaded = false;
  char* saveFolderName = nullptr;
  uint32_t gameHeaderFlags = 0;
};
PathState g_paths;

// Writes `text` to `out` when it fits; otherwise `out` is made empty (when it has room at all).
bool PutText(const std::string& text, char* out, size_t capacity) {
  if (out == nullptr || capacity == 0) return false;
  if (text.size() + 1 > capacity) {
    out[0] = '\0';
    return false;
  }
  std::memcpy(out, text.c_str(), text.size() + 1);
  return true;
}

bool CurrentDirectory(std::string& out) {
  std::vector<char> buffer(4096);
  for (;;) {
    if (getcwd(buffer.data(), buffer.size()) != nullptr) {
      out = buffer.data();
      return !out.empty() && out[0] == '/';
    }
    if (errno != ERANGE || buffer.size() >= (1u << 20)) return false;
    buffer.resize(buffer.size() * 2);
  }
}

// The lexical absolute form of `path` (see OS_FullPath).
bool FullPath(const char* path, std::string& out) {
  if (path == nullptr || path[0] == '\0') return false;
  std::string text(path);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  if (text[0] != '/') {
    std::string cwd;
    if (!CurrentDirectory(cwd)) return false;
    text = cwd + "/" + text;
  }
  const bool trailing = text.back() == '/';

  std::vector<std::string> parts;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == '/') ++i;
    size_t start = i;
    while (i < text.size() && text[i] != '/') ++i;
    if (i == start) break;
    std::string part = text.substr(start, i - start);
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(std::move(part));
  }

  out.clear();
  for (const std::string& part : parts) {
    out += '/';
    out += part;
  }
  if (out.empty() || trailing) out += '/';
  return true;
}

// ASCII letters compared without case, in the "C" locale.
bool EqualNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char ca = static_cast<unsigned char>(*a);
    unsigned char cb = static_cast<unsigned char>(*b);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + ('a' - 'A'));
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + ('a' - 'A'));
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The data folder of the save area, without a trailing '/', or false when none is known.
bool FindDataFolder(bool roaming, std::string& folder) {
  const char* xdg = std::getenv(roaming ? "XDG_CONFIG_HOME" : "XDG_DATA_HOME");
  std::string chosen;
  // Only an absolute value counts; relative ones are ignored, as for the home folder.
  if (xdg != nullptr && xdg[0] == '/') {
    chosen = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return false;
    chosen = std::string(home) + (roaming ? "/.config" : "/.local/share");
  }
  if (!FullPath(chosen.c_str(), folder)) return false;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder == "/") folder.clear();  // "/" + "/" + name would start with two separators
  return true;
}

// The game's save-folder name used as one directory name below the runtime's own folder:
// separators become '_'. A name that would not name a folder of its own there (empty, ".", "..",
// or nothing but separators) becomes kFallbackSaveFolder, so the save area is never the runtime's
// folder, the shared data folder or anything above them.
std::string SaveFolderComponent(const char* name) {
  std::string result = name ? name : "";
  bool onlySeparators = true;
  for (char& c : result) {
    if (c == '/' || c == '\\') {
      c = '_';
    } else {
      onlySeparators = false;
    }
  }
  if (onlySeparators || result == "." || result == "..") result = kFallbackSaveFolder;
  return result;
}

// The components of `text` between '/' separators, empty ones left out.
std::vector<std::string> Components(const std::string& text) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == '/') ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != '/') ++i;
    if (i > start) parts.push_back(text.substr(start, i - start));
  }
  return parts;
}

// True when `path` is `dir` or lies below it (both absolute, without "." or "..").
bool PathInside(const std::string& path, const std::string& dir) {
  if (dir == "/") return !path.empty() && path[0] == '/';
  return path.compare(0, dir.size(), dir) == 0 && (path.size() == dir.size() || path[dir.size()] == '/');
}

// What the system makes of `path` with every link followed; false when it does not exist.
bool RealPath(const std::string& path, std::string& out) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return false;
  out = real;
  std::free(real);
  return true;
}

// Opens the directory `below` (real directories, no links) under `rootFd`, one component at a
// time without following links.
int OpenBelow(int rootFd, const std::vector<std::string>& below) {
  int fd = openat(rootFd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  for (const std::string& part : below) {
    if (fd < 0) return -1;
    const int next = openat(fd, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    close(fd);
    fd = next;
  }
  return fd;
}

// Creates `dir` and every missing directory above it, following what exists as it is.
void MakeDirectories(const std::string& dir) {
  std::string made;
  for (const std::string& part : Components(dir)) {
    made += '/';
    made += part;
    mkdir(made.c_str(), 0777);
  }
}

// False when `path` is a symbolic link whose target lies outside the directory `real` (a real
// path).
bool StaysInside(const std::string& path, const std::string& real) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
  std::string target;
  return RealPath(path, target) && PathInside(target, real);
}

// Fails with `error`, closing `fd` when it is open.
int FailOpen(int fd, int error) {
  if (fd >= 0) close(fd);
  errno = error;
  return -1;
}

}  // namespace

const char* GetExecutablePath() {
  if (g_paths.executablePath != nullptr) return g_paths.executablePath;
  std::vector<char> buffer(1024);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) {
      g_paths.executablePath = MemoryManager::DuplicateText("", 0);
      break;
    }
    if (static_cast<size_t>(n) < buffer.size()) {
      g_paths.executablePath = MemoryManager::DuplicateText(buffer.data(), static_cast<size_t>(n));
      break;
    }
    if (buffer.size() >= (1u << 20)) {
      g_paths.executablePath = MemoryManager::DuplicateText("", 0);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  return g_paths.executablePath;
}

void SetGameFilePath(const char* path) {
  char* copy = path ? MemoryManager::DuplicateText(path, std::strlen(path)) : nullptr;
  MemoryManager::Free(g_paths.gameFilePath);
  g_paths.gameFilePath = copy;
  MemoryManager::Free(g_paths.gameDirectory);
  g_paths.gameDirectory = nullptr;
}

const char* GetGameFilePath() { return g_paths.gameFilePath; }

void MakeGameFilePathAbsolute() {
  if (g_paths.gameFilePath == nullptr) return;
  std::string full;
  if (!FullPath(g_paths.gameFilePath, full)) return;
  SetGameFilePath(full.c_str());
}

const char* GetGameDirectory() {
  if (g_paths.gameDirectory != nullptr) return g_paths.gameDirectory;
  if (g_paths.gameFilePath == nullptr) {
    // No game file yet: the current directory stands in for its directory.
    std::string cwd;
    if (!CurrentDirectory(cwd)) cwd.clear();
    if (cwd.empty() || cwd.back() != '/') cwd += '/';
    g_paths.gameDirectory = MemoryManager::DuplicateText(cwd.c_str(), cwd.size());
    return g_paths.gameDirectory;
  }
  // Any '/' wins over a later '\'.
  const char* cut = std::strrchr(g_paths.gameFilePath, '/');
  if (cut == nullptr) cut = std::strrchr(g_paths.gameFilePath, '\\');
  if (cut == nullptr) {
    // No separator: the file lies in the current directory.
    g_paths.gameDirectory = MemoryManager::DuplicateText("./", 2);
    return g_paths.gameDirectory;
  }
  const size_t length = static_cast<size_t>(cut - g_paths.gameFilePath);
  char* dir = static_cast<char*>(
      MemoryManager::Alloc(static_cast<uint32_t>(length + 2), __FILE__, __LINE__, true));
  if (length > 0) std::memcpy(dir, g_paths.gameFilePath, length);
  dir[length] = '/';
  dir[length + 1] = '\0';
  g_paths.gameDirectory = dir;
  return g_paths.gameDirectory;
}

void FreeGamePaths() {
  MemoryManager::Free(g_paths.gameFilePath);
  g_paths.gameFilePath = nullptr;
  MemoryManager::Free(g_paths.gameDirectory);
  g_paths.gameDirectory = nullptr;
  SetWorkingDirectory(nullptr);
}

const char* GetWorkingDirectory() { return g_paths.workingDirectory; }

void SetWorkingDirectory(const char* directory) {
  char* copy = directory != nullptr ? MemoryManager::DuplicateText(directory, std::strlen(directory)) : nullptr;
  MemoryManager::Free(g_paths.workingDirectory);
  g_paths.workingDirectory = copy;
}

void SetSaveAreaGameInfo(const char* saveFolderName, uint32_t headerFlags) {
  char* copy = MemoryManager::DuplicateText(saveFolderName ? saveFolderName : "",
                        saveFolderName ? std::strlen(saveFolderName) : 0);
  MemoryManager::Free(g_paths.saveFolderName);
  g_paths.saveFolderName = copy;
  g_paths.gameHeaderFlags = headerFlags;
  g_paths.gameInfoLoaded = true;
  ClearSaveDirectoryCache();
}

void ClearSaveAreaGameInfo() {
  MemoryManager::Free(g_paths.saveFolderName);
  g_paths.saveFolderName = nullptr;
  g_paths.gameHeaderFlags = 0;
  g_paths.gameInfoLoaded = false;
  ClearSaveDirectoryCache();
}

const char* GetSaveDirectory() {
  if (g_paths.saveDirectoryOverride != nullptr) return g_paths.saveDirectoryOverride;
  if (g_paths.saveDirectory != nullptr) return g_paths.saveDirectory;
  const bool roaming = g_paths.gameInfoLoaded && (g_paths.gameHeaderFlags & kGameFlagRoamingSaves) != 0;
  std::string folder;
  if (!FindDataFolder(roaming, folder)) return nullptr;
  std::string save = folder + "/" + kRuntimeDataFolder + "/" + SaveFolderComponent(g_paths.saveFolderName) + "/";
  g_paths.saveDirectory = MemoryManager::DuplicateText(save.c_str(), save.size());
  DebugConsole->Output("SavePrePend = %s\n", g_paths.saveDirectory);
  return g_paths.saveDirectory;
}

void SetSaveDirectoryOverride(const char* directory) {
  MemoryManager::Free(g_paths.saveDirectoryOverride);
  g_paths.saveDirectoryOverride = nullptr;
  std::string full;
  if (directory == nullptr || !FullPath(directory, full)) return;
  if (full.back() != '/') full += '/';
  // Only a folder of its own inside the runtime's folder (local or roaming) is taken.
  for (bool roaming : {false, true}) {
    std::string folder;
    if (!FindDataFolder(roaming, folder)) continue;
    const std::string runtime = folder + "/" + kRuntimeDataFolder + "/";
    if (full.size() > runtime.size() && full.compare(0, runtime.size(), runtime) == 0) {
      g_paths.saveDirectoryOverride = MemoryManager::DuplicateText(full.c_str(), full.size());
      return;
    }
  }
}

void ClearSaveDirectoryCache() {
  MemoryManager::Free(g_paths.saveDirectory);
  g_paths.saveDirectory = nullptr;
}

bool OS_GetCurrentDirectory(char* out, size_t capacity) {
  std::string cwd;
  if (!CurrentDirectory(cwd)) {
    if (out != nullptr && capacity > 0) out[0] = '\0';
    return false;
  }
  return PutText(cwd, out, capacity);
}

bool OS_FullPath(const char* path, char* out, size_t capacity) {
  std::string full;
  if (!FullPath(path, full)) {
    if (out != nullptr && capacity > 0) out[0] = '\0';
    return false;
  }
  return PutText(full, out, capacity);
}

bool OS_FindPathNoCase(const char* path, size_t baseLength, char* out, size_t capacity) {
  if (path == nullptr) return false;
  const size_t length = std::strlen(path);
  if (baseLength > length) return false;
  std::string found(path, baseLength);
  if (found.empty()) found.push_back('/');
  std::string baseReal;
  if (!RealPath(found, baseReal)) return false;

  size_t i = baseLength;
  while (i < length) {
    while (i < length && path[i] == '/') ++i;
    size_t start = i;
    while (i < length && path[i] != '/') ++i;
    if (i == start) break;
    std::string part(path + start, i - start);
    std::string dir = found;
    if (dir.back() != '/') dir += '/';

    if (part == "." || part == ".." || Exists(dir + part)) {
      found = dir + part;
      if (!StaysInside(found, baseReal)) return false;
      continue;
    }
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return false;
    std::string best;
    bool matched = false;
    while (struct dirent* entry = readdir(d)) {
      if (!EqualNoCase(entry->d_name, part.c_str())) continue;
      if (!matched || std::strcmp(entry->d_name, best.c_str()) < 0) best = entry->d_name;
      matched = true;
    }
    closedir(d);
    if (!matched) return false;
    found = dir + best;
    if (!StaysInside(found, baseReal)) return false;
  }
  if (!Exists(found)) return false;
  return PutText(found, out, capacity);
}

int OS_OpenInside(const char* root, const char* path, int flags, int mode) {
  std::string rootFull, pathFull, rootReal;
  if (!FullPath(root, rootFull) || !FullPath(path, pathFull)) return FailOpen(-1, ENOENT);
  while (rootFull.size() > 1 && rootFull.back() == '/') rootFull.pop_back();
  if (!PathInside(pathFull, rootFull)) return FailOpen(-1, EACCES);
  const bool create = (flags & O_CREAT) != 0;
  if (create) MakeDirectories(rootFull);
  if (!RealPath(rootFull, rootReal)) return FailOpen(-1, ENOENT);
  const int rootFd = open(rootReal.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (rootFd < 0) return -1;

  // What is left to walk, last component first, and the real directories walked so far.
  std::vector<std::string> pending = Components(pathFull.substr(rootFull.size()));
  std::reverse(pending.begin(), pending.end());
  std::vector<std::string> below;
  int dir = OpenBelow(rootFd, below);
  int links = 0;
  int result = -1;
  int error = 0;
  while (dir >= 0) {
    if (pending.empty()) {
      // The path names a directory (the root, or one a link leads to).
      result = openat(dir, ".", (flags & ~O_CREAT) | O_CLOEXEC);
      error = errno;
      break;
    }
    const std::string part = pending.back();
    pending.pop_back();
    const bool last = pending.empty();
    if (part == ".") continue;
    if (part == "..") {
      if (below.empty()) {
        error = EACCES;
        break;
      }
      below.pop_back();
      close(dir);
      dir = OpenBelow(rootFd, below);
      continue;
    }

    struct stat st;
    const bool exists = fstatat(dir, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
      char target[PATH_MAX];
      const ssize_t n = readlinkat(dir, part.c_str(), target, sizeof(target) - 1);
      if (++links > 40 || n <= 0) {
        error = n <= 0 ? EACCES : ELOOP;
        break;
      }
      target[n] = '\0';
      std::vector<std::string> parts;
      if (target[0] == '/') {
        // An absolute target counts only when it lies inside the root; the walk starts again
        // from the root with what follows it there.
        std::string targetFull;
        if (!FullPath(target, targetFull) || !PathInside(targetFull, rootReal)) {
          error = EACCES;
          break;
        }
        parts = Components(targetFull.substr(rootReal == "/" ? 0 : rootReal.size()));
        below.clear();
        close(dir);
        dir = OpenBelow(rootFd, below);
      } else {
        parts = Components(target);
      }
      for (auto it = parts.rbegin(); it != parts.rend(); ++it) pending.push_back(*it);
      continue;
    }
    if (last) {
      result = openat(dir, part.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
      error = errno;
      break;
    }
    if (!exists && create && mkdirat(dir, part.c_str(), 0777) != 0 && errno != EEXIST) {
      error = errno;
      break;
    }
    const int next = openat(dir, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      error = errno == ELOOP ? EACCES : errno;  // became a link meanwhile
      break;
    }
    close(dir);
    dir = next;
    below.push_back(part);
  }
  if (dir < 0 && error == 0) error = errno;
  if (dir >= 0) close(dir);
  close(rootFd);
  if (result < 0) return FailOpen(-1, error == 0 ? ENOENT : error);
  return result;
}

bool MoveAtNamedFile(const char* name) {
  if (name == nullptr || std::strchr(name, '@') == nullptr) return false;
  std::vector<std::string> parts;
  const char* start = name;
  for (const char* p = name;; ++p) {
    if (*p == '@' || *p == '\0') {
      parts.emplace_back(start, static_cast<size_t>(p - start));
      if (*p == '\0') break;
      start = p + 1;
    }
  }
  for (const std::string& part : parts) {
    if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos) return false;
  }
  std::string target;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    target += parts[i];
    mkdir(target.c_str(), 0777);  // failures show in the check below
    struct stat st;
    if (lstat(target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    target += '/';
  }
  target += parts.back();
  return renameat2(AT_FDCWD, name, AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0;
}

void MoveAtNamedFiles() {
  DIR* dir = opendir(".");
  if (dir == nullptr) return;
  std::vector<std::string> names;
  while (struct dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (name[0] == '.' || std::strchr(name, '@') == nullptr) continue;  // hidden, or nothing to do
    struct stat st;
    if (lstat(name, &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if ((st.st_mode & S_IWUSR) == 0) continue;  // read-only
    names.emplace_back(name);
  }
  closedir(dir);
  // Moved after the listing, so that no entry is met twice while the directory changes.
  for (const std::string& name : names) MoveAtNamedFile(name.c_str());
}
