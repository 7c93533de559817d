// Files and directories on disk.
#pragma once

// Creates every missing directory on the way to the file `path` (the part before its last '/').
// An absolute path is walked from the root. Answers true when that directory exists afterwards
// (a path without a directory part answers true).
bool CreateDirectoryForFile(const char* path);
