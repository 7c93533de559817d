#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/MemoryManager.h"
#include "support/Support_File.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// Takes a memory-manager text (null stays null) and frees it.
std::optional<std::string> Take(char* text) {
  if (text == nullptr) return std::nullopt;
  std::string result = text;
  MemoryManager::Free(text);
  return result;
}

bool CreateTree(std::string& path) {
  bool ok = File_CreateDirectoryTree(path.data());
  path.resize(std::strlen(path.c_str()));
  return ok;
}

// Runs the test in another current directory and goes back afterwards.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const fs::path& dir) {
    std::error_code ec;
    m_old = fs::current_path(ec);  // empty when an earlier test left a removed directory
    fs::current_path(dir);
  }
  ~ScopedCurrentDirectory() {
    std::error_code ec;
    if (!m_old.empty()) fs::current_path(m_old, ec);
  }

 private:
  fs::path m_old;
};

void Put(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// ---- Splitting paths ----

TEST(FilePathParts, ExtractFunctions) {
  struct Case {
    const char* path;
    const char* dir;
    const char* name;
    const char* drive;
    const char* ext;
  };
  const Case cases[] = {
      {"C:\\a\\b.txt", "C:\\a", "b.txt", "C:", ".txt"},
      {"a/b/c.txt", "a/b", "c.txt", "", ".txt"},
      // The last '\' wins over a later '/'.
      {"C:\\a/b.txt", "C:", "a/b.txt", "C:", ".txt"},
      {"C:\\a\\x/b.txt", "C:\\a", "x/b.txt", "C:", ".txt"},
      {"b.txt", "", "b.txt", "", ".txt"},
      {"\\b.txt", "", "b.txt", "", ".txt"},
      {"/b.txt", "", "b.txt", "", ".txt"},
      {"/usr/lib/x.so.1", "/usr/lib", "x.so.1", "", ".1"},
      {"dir.d/file", "dir.d", "file", "", ""},  // a dot in a directory is no extension
      {"/home/.profile", "/home", ".profile", "", ".profile"},
      {"dir/", "dir", "", "", ""},
      {"C:name.", "", "C:name.", "C:", "."},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(Take(File_ExtractDir(c.path)), c.dir);
    EXPECT_EQ(Take(File_ExtractName(c.path)), c.name);
    EXPECT_EQ(Take(File_ExtractDrive(c.path)), c.drive);
    EXPECT_EQ(Take(File_ExtractExt(c.path)), c.ext);
  }
}

// ---- Tests, the current directory and the environment ----

TEST(FileTests, FilesDirectoriesAndDevices) {
  TempDir dir;
  Put(dir.file("f.txt"), "x");
  fs::create_symlink(dir.file("f.txt"), dir.file("link"));
  struct Case {
    std::string path;
    bool file;
    bool directory;
  };
  const Case cases[] = {
      {dir.file("f.txt"), true, false},  {dir.file("link"), true, false},
      {dir.path().string(), false, true}, {dir.file("missing"), false, false},
      {"/dev/null", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(File_Exists(c.path.c_str()), c.file) << c.path;
    EXPECT_EQ(File_DirectoryExists(c.path.c_str()), c.directory) << c.path;
  }
  EXPECT_FALSE(File_Exists(nullptr));
  EXPECT_FALSE(File_DirectoryExists(nullptr));
}

TEST(FileTests, CurrentDirectoryAndEnvironment) {
  TempDir dir;
  {
    ScopedCurrentDirectory cd(dir.path());
    EXPECT_EQ(Take(File_GetCurrentDirectory()), fs::current_path().string());
  }
  {
    EnvOverride set("RUNNER_FILE_TEST_VAR", "caf\xC3\xA9");
    EXPECT_EQ(Take(GetEnvironmentVariableUTF8("RUNNER_FILE_TEST_VAR")), "caf\xC3\xA9");
  }
  EXPECT_EQ(Take(GetEnvironmentVariableUTF8("RUNNER_FILE_TEST_VAR")), std::nullopt);
  EXPECT_EQ(Take(GetEnvironmentVariableUTF8(nullptr)), std::nullopt);
}

// ---- Directory trees ----

TEST(DirectoryTree, CreatesEveryMissingLevel) {
  TempDir root;
  std::string path = root.file("x/y/z/");
  EXPECT_TRUE(CreateTree(path));
  EXPECT_EQ(path, root.file("x/y/z")) << "the trailing separator is removed in place";
  EXPECT_TRUE(fs::is_directory(root.file("x/y/z")));

  std::string again = root.file("x/y") + "\\";
  EXPECT_TRUE(CreateTree(again));
  EXPECT_EQ(again, root.file("x/y"));

  std::string root_only = "/";
  EXPECT_TRUE(CreateTree(root_only));

  // Relative paths need a parent that exists or can be made; a bare name has none.
  ScopedCurrentDirectory cd(root.path());
  std::string relative = "x/new";
  EXPECT_TRUE(CreateTree(relative));
  EXPECT_TRUE(fs::is_directory(root.file("x/new")));
  std::string bare = "newdir";
  EXPECT_FALSE(CreateTree(bare));
  EXPECT_FALSE(fs::exists(root.file("newdir")));
  std::string existing = "x";
  EXPECT_TRUE(CreateTree(existing));
}

TEST(DirectoryTree, CreationFailsBelowAFile) {
  TempDir root;
  Put(root.file("file"), "x");
  std::string path = root.file("a/file/sub");
  fs::create_directory(root.file("a"));
  Put(root.file("a/file"), "x");
  EXPECT_FALSE(CreateTree(path));
  std::string onFile = root.file("file");
  EXPECT_FALSE(CreateTree(onFile));
  std::string empty;
  EXPECT_FALSE(CreateTree(empty));
  EXPECT_FALSE(File_CreateDirectoryTree(nullptr));
}

TEST(DirectoryTree, DeletesEverythingButNeverFollowsLinks) {
  TempDir root;
  TempDir outside;
  Put(outside.file("keep.txt"), "kept");
  fs::create_directory(outside.file("keepdir"));
  Put(outside.file("keepdir/inner.txt"), "kept too");

  const fs::path tree = root.path() / "tree";
  fs::create_directories(tree / "nested" / "deeper");
  Put(tree / "readonly.txt", "r");
  chmod((tree / "readonly.txt").c_str(), 0444);
  Put(tree / "nested" / "deeper" / "f.bin", "f");
  fs::create_directory(tree / "lockeddir");
  Put(tree / "lockeddir" / "g.txt", "g");
  chmod((tree / "lockeddir").c_str(), 0555);
  fs::create_symlink(outside.file("keep.txt"), tree / "filelink");
  fs::create_directory_symlink(outside.file("keepdir"), tree / "nested" / "dirlink");
  fs::create_symlink(outside.file("nowhere"), tree / "dangling");

  EXPECT_TRUE(File_DeleteDirectoryTree(tree.c_str()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(tree)));
  EXPECT_EQ(ReadFile(outside.file("keep.txt")), "kept");
  EXPECT_EQ(ReadFile(outside.file("keepdir/inner.txt")), "kept too");

  EXPECT_FALSE(File_DeleteDirectoryTree(tree.c_str())) << "already gone";
  EXPECT_FALSE(File_DeleteDirectoryTree(nullptr));
}

TEST(DirectoryTree, ALinkGivenAsTheTreeIsLeftAlone) {
  TempDir root;
  TempDir outside;
  Put(outside.file("keep.txt"), "kept");
  fs::create_directory_symlink(outside.path(), root.file("link"));
  EXPECT_FALSE(File_DeleteDirectoryTree(root.file("link").c_str()));
  EXPECT_TRUE(fs::is_symlink(root.file("link")));
  EXPECT_EQ(ReadFile(outside.file("keep.txt")), "kept");

  Put(root.file("plain"), "x");
  EXPECT_FALSE(File_DeleteDirectoryTree(root.file("plain").c_str())) << "a file is no tree";
  EXPECT_TRUE(fs::exists(root.file("plain")));
}

// A tree deeper than the process may hold directories open is deleted all the same: the limit
// is lowered to 64 files for a tree of 1,500 levels, each with a file and a link beside the way
// down.
TEST(DirectoryTree, DeletesATreeOfAnyDepth) {
  TempDir root;
  TempDir outside;
  Put(outside.file("keep.txt"), "kept");
  const fs::path tree = root.path() / "deep";
  fs::create_directory(tree);
  int fd = open(tree.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  for (int level = 0; level < 1500 && fd >= 0; ++level) {
    close(openat(fd, "f", O_WRONLY | O_CREAT, 0644));
    symlinkat(outside.file("keep.txt").c_str(), fd, "l");
    mkdirat(fd, "d", 0755);
    const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
  }
  ASSERT_GE(fd, 0);
  close(fd);

  struct rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
  struct rlimit low = old;
  low.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  const bool deleted = File_DeleteDirectoryTree(tree.c_str());
  setrlimit(RLIMIT_NOFILE, &old);
  EXPECT_TRUE(deleted);
  EXPECT_FALSE(fs::exists(fs::symlink_status(tree)));
  EXPECT_EQ(ReadFile(outside.file("keep.txt")), "kept");
}

// ---- The temporary directory ----

TEST(TempDirectory, MadeUnderTmpdirWithItsPrefixAndUniqueName) {
  TempDir base;
  const std::string under = base.file("missing/level");
  EnvOverride tmp("TMPDIR", (under + "/").c_str());

  ASSERT_TRUE(File_CreateTempDirectory());
  const std::string first = Take(File_GetTempDirectory()).value_or("");
  EXPECT_EQ(first.rfind(under + "/tw_ttt_", 0), 0u) << first;
  EXPECT_GT(first.size(), (under + "/tw_ttt_").size());
  struct stat st;
  ASSERT_EQ(stat(first.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  ASSERT_TRUE(File_CreateTempDirectory());
  const std::string second = Take(File_GetTempDirectory()).value_or("");
  EXPECT_NE(first, second);
  EXPECT_TRUE(fs::is_directory(first)) << "an existing one is never reused or removed";

  fs::create_directory(fs::path(second) / "sub");
  Put(fs::path(second) / "sub" / "file", "x");
  File_DeleteTempDirectory();
  EXPECT_FALSE(fs::exists(second));
  EXPECT_EQ(Take(File_GetTempDirectory()), std::nullopt);
  File_DeleteTempDirectory();  // nothing left to delete
}

TEST(TempDirectory, FallsBackToTmpWithoutAnAbsoluteTmpdir) {
  for (const char* value : {static_cast<const char*>(nullptr), "relative/dir"}) {
    EnvOverride tmp("TMPDIR", value);
    ASSERT_TRUE(File_CreateTempDirectory());
    const std::string path = Take(File_GetTempDirectory()).value_or("");
    EXPECT_EQ(path.rfind("/tmp/tw_ttt_", 0), 0u) << path;
    EXPECT_TRUE(fs::is_directory(path));
    File_DeleteTempDirectory();
    EXPECT_FALSE(fs::exists(path));
  }
}

}  // namespace
