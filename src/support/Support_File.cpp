#include "support/Support_File.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/MemoryManager.h"

namespace {

// The directory the temporary directory is made under, and the temporary directory itself
// (memory-manager texts).
struct TempState {
  char* base = nullptr;
  char* directory = nullptr;
};
TempState g_temp;

// The last '\' of the path, or, when it has none, its last '/'; null with neither.
const char* LastSeparator(const char* path) {
  const char* cut = std::strrchr(path, '\\');
  return cut != nullptr ? cut : std::strrchr(path, '/');
}

bool IsDirectoryPath(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// One directory on the way down a tree being deleted: its name in its parent, its identity
// (to check the way back up), and its entries still to delete.
struct DeleteLevel {
  std::string name;
  dev_t device;
  ino_t inode;
  std::vector<std::string> pending;
};

// Reads the entries of the open directory `fd` (left open) into a new level named `name`. A
// directory without write permission cannot lose its entries, so the owner gets it first. (A
// file's own permissions do not matter for removing it.) False on a listing error.
bool EnterLevel(int fd, const std::string& name, std::vector<DeleteLevel>& levels) {
  struct stat self;
  if (fstat(fd, &self) != 0) return false;
  if ((self.st_mode & S_IWUSR) == 0) fchmod(fd, (self.st_mode & 07777) | S_IWUSR);
  const int listFd = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listFd >= 0 ? fdopendir(listFd) : nullptr;
  if (dir == nullptr) {
    if (listFd >= 0) close(listFd);
    return false;
  }
  DeleteLevel level{name, self.st_dev, self.st_ino, {}};
  for (;;) {
    errno = 0;
    struct dirent* entry = readdir(dir);
    if (entry == nullptr) break;
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    level.pending.emplace_back(entry->d_name);
  }
  const bool ok = errno == 0;
  closedir(dir);
  if (ok) levels.push_back(std::move(level));
  return ok;
}

// Deletes the directory `name` (relative to `parentFd`) with everything in it. Entries are
// examined without following symbolic links: a link is removed itself, whatever it points to,
// and a link in the place of `name` is not a directory here and answers false. The walk holds
// one directory open at a time, going back up through "..", which must be the directory it came
// from; so a tree of any depth is deleted within the open-file limit.
bool DeleteTreeAt(int parentFd, const char* name) {
  int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  std::vector<DeleteLevel> levels;
  bool ok = EnterLevel(fd, name, levels);
  while (ok) {
    DeleteLevel& top = levels.back();
    if (!top.pending.empty()) {
      const std::string entry = std::move(top.pending.back());
      top.pending.pop_back();
      struct stat st;
      if (fstatat(fd, entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        ok = errno == ENOENT;  // gone meanwhile
      } else if (!S_ISDIR(st.st_mode)) {
        ok = unlinkat(fd, entry.c_str(), 0) == 0 || errno == ENOENT;
      } else {
        const int child = openat(fd, entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ok = child >= 0;
        if (ok) {
          close(fd);
          fd = child;
          ok = EnterLevel(fd, entry, levels);
        }
      }
      continue;
    }
    // Everything below the deepest level is gone: remove it from its parent.
    const std::string done = std::move(top.name);
    levels.pop_back();
    if (levels.empty()) {
      close(fd);
      return unlinkat(parentFd, name, AT_REMOVEDIR) == 0;
    }
    const int up = openat(fd, "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    close(fd);
    fd = up;
    struct stat st;
    // A directory moved meanwhile would lead elsewhere: stop there.
    ok = up >= 0 && fstat(up, &st) == 0 && st.st_dev == levels.back().device && st.st_ino == levels.back().inode &&
         unlinkat(fd, done.c_str(), AT_REMOVEDIR) == 0;
  }
  if (fd >= 0) close(fd);
  return false;
}

}  // namespace

bool File_Exists(const char* path) {
  if (path == nullptr) return false;
  struct stat st;
  if (stat(path, &st) != 0) return false;
  return !S_ISDIR(st.st_mode) && !S_ISCHR(st.st_mode) && !S_ISBLK(st.st_mode);
}

bool File_DirectoryExists(const char* path) { return path != nullptr && IsDirectoryPath(path); }

char* File_GetCurrentDirectory() {
  std::vector<char> buffer(1024);
  for (;;) {
    if (getcwd(buffer.data(), buffer.size()) != nullptr) return MemoryManager::DuplicateText(buffer.data());
    if (errno != ERANGE || buffer.size() >= (1u << 20)) return MemoryManager::DuplicateText("", 0);
    buffer.resize(buffer.size() * 2);
  }
}

char* File_ExtractDir(const char* path) {
  if (path == nullptr) return MemoryManager::DuplicateText("", 0);
  const char* cut = LastSeparator(path);
  if (cut == nullptr) return MemoryManager::DuplicateText("", 0);
  return MemoryManager::DuplicateText(path, static_cast<size_t>(cut - path));
}

char* File_ExtractName(const char* path) {
  if (path == nullptr) return MemoryManager::DuplicateText("", 0);
  const char* cut = LastSeparator(path);
  return MemoryManager::DuplicateText(cut != nullptr ? cut + 1 : path);
}

char* File_ExtractDrive(const char* path) {
  if (path == nullptr || path[0] == '\0' || path[1] != ':') return MemoryManager::DuplicateText("", 0);
  return MemoryManager::DuplicateText(path, 2);
}

char* File_ExtractExt(const char* path) {
  if (path == nullptr) return MemoryManager::DuplicateText("", 0);
  // The last component starts after the drive and after the last separator of either kind.
  const char* name = path[0] != '\0' && path[1] == ':' ? path + 2 : path;
  const char* dot = nullptr;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') {
      name = p + 1;
      dot = nullptr;
    } else if (*p == '.') {
      dot = p;
    }
  }
  return MemoryManager::DuplicateText(dot != nullptr ? dot : "");
}

bool File_CreateDirectoryTree(char* path) {
  if (path == nullptr || path[0] == '\0') return false;
  size_t length = std::strlen(path);
  if (path[length - 1] == '\\' || path[length - 1] == '/') path[--length] = '\0';

  // The root ("/" with its separator removed) and existing directories are there already.
  if (length == 0 || IsDirectoryPath(path)) return true;
  // Longer paths cannot be created by the system anyway; this also bounds the recursion.
  if (length >= PATH_MAX) return false;

  char* parent = File_ExtractDir(path);
  bool ok;
  if (parent[0] != '\0') {
    ok = File_CreateDirectoryTree(parent);
  } else {
    // No parent text: a directory right below the root can be made; a bare relative name is
    // not.
    ok = path[0] == '/';
  }
  MemoryManager::Free(parent);
  if (!ok) return false;
  // Someone else may make the same directory meanwhile; it only has to exist afterwards.
  return mkdir(path, 0777) == 0 || (errno == EEXIST && IsDirectoryPath(path));
}

bool File_DeleteDirectoryTree(const char* path) {
  if (path == nullptr || path[0] == '\0') return false;
  return DeleteTreeAt(AT_FDCWD, path);
}

bool File_CreateTempDirectory() {
  // Only an absolute TMPDIR counts: a relative one would move with the current directory.
  const char* env = std::getenv("TMPDIR");
  std::string base = (env != nullptr && env[0] == '/') ? env : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  MemoryManager::Free(g_temp.base);
  g_temp.base = MemoryManager::DuplicateText(base.c_str(), base.size());
  MemoryManager::Free(g_temp.directory);
  g_temp.directory = nullptr;

  // The base may be missing (a TMPDIR not made yet).
  std::string made = base;
  File_CreateDirectoryTree(made.data());

  // mkdtemp picks a name that does not exist and creates it in one step, so a directory left
  // behind by an earlier run, or made by someone else meanwhile, is never taken over.
  std::string path = (base == "/" ? std::string() : base) + "/tw_ttt_XXXXXX";
  if (mkdtemp(path.data()) == nullptr) return false;
  g_temp.directory = MemoryManager::DuplicateText(path.c_str(), path.size());
  return true;
}

char* File_GetTempDirectory() {
  return g_temp.directory != nullptr ? MemoryManager::DuplicateText(g_temp.directory) : nullptr;
}

void File_DeleteTempDirectory() {
  if (g_temp.directory != nullptr) File_DeleteDirectoryTree(g_temp.directory);
  MemoryManager::Free(g_temp.directory);
  MemoryManager::Free(g_temp.base);
  g_temp = TempState{};
}

char* GetEnvironmentVariableUTF8(const char* name) {
  if (name == nullptr) return nullptr;
  const char* value = std::getenv(name);
  return value != nullptr ? MemoryManager::DuplicateText(value) : nullptr;
}
