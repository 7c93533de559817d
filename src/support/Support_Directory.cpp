#include "support/Support_Directory.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool CreateDirectoryForFile(const char* path) {
  if (path == nullptr) return false;
  const char* last = std::strrchr(path, '/');
  if (last == nullptr) return true;  // a bare file name: the current directory
  std::string dir(path, static_cast<size_t>(last - path));
  if (dir.empty()) return true;  // a file directly in the root

  // Walk from the first component (past a leading '/', so the root itself is never created),
  // creating each missing directory; one that exists already is fine.
  size_t pos = 0;
  while (pos < dir.size() && dir[pos] == '/') ++pos;
  while (pos <= dir.size()) {
    size_t next = dir.find('/', pos);
    if (next == std::string::npos) next = dir.size();
    if (next > pos) {
      std::string prefix = dir.substr(0, next);
      if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    pos = next + 1;
  }
  return IsDirectory(dir);
}
