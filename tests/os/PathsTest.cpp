#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/VCL.h"
#include "os/OS_Paths.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// A sandbox: the current directory in a temporary folder, the path caches empty, the debug
// console recorded. Everything is put back afterwards.
class PathsTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    m_root = fs::canonical(m_dir.path()).string();
    m_oldCwd = fs::current_path();
    fs::current_path(m_root);
    m_oldConsole = DebugConsole;
    DebugConsole = &m_console;
  }
  void TearDown() override {
    DebugConsole = m_oldConsole;
    fs::current_path(m_oldCwd);
    RuntimeTest::TearDown();
  }
  static std::string FullPath(const char* path) {
    char out[2048];
    return OS_FullPath(path, out, sizeof(out)) ? std::string(out) : std::string("<failed>");
  }

  TempDir m_dir;
  std::string m_root;
  fs::path m_oldCwd;
  RecordingConsole m_console;
  tagIConsole* m_oldConsole = nullptr;
};

TEST_F(PathsTest, FullPathFoldsLexically) {
  struct Case {
    const char* in;
    std::string out;
  };
  const Case cases[] = {
      {"a/b/../c", m_root + "/a/c"},
      {"./x", m_root + "/x"},
      {"\\x\\y", "/x/y"},
      {"/a//b/./c/", "/a/b/c/"},
      {"/a/b/..", "/a"},
      {"/../../x", "/x"},
      {"/", "/"},
      {"..\\..\\..\\..\\..\\..\\..\\..", "/"},
      {"", "<failed>"},
      {nullptr, "<failed>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FullPath(c.in), c.out) << (c.in ? c.in : "(null)");
  }

  // A result that does not fit is refused and leaves the output empty.
  char small[8] = "xxxxxxx";
  EXPECT_FALSE(OS_FullPath("/abcdefgh", small, sizeof(small)));
  EXPECT_STREQ(small, "");
  EXPECT_TRUE(OS_FullPath("/abcdef", small, sizeof(small)));
  EXPECT_STREQ(small, "/abcdef");

  char cwd[2048];
  ASSERT_TRUE(OS_GetCurrentDirectory(cwd, sizeof(cwd)));
  EXPECT_EQ(std::string(cwd), m_root);
}

TEST_F(PathsTest, GameDirectoryIsTheGameFilesDirectory) {
  struct Case {
    const char* gameFile;
    const char* directory;
  };
  const Case cases[] = {
      {"/games/x/y\\data.win", "/games/x/"},  // a '/' wins over a later '\'
      {"/games/x/data.win", "/games/x/"},
      {"g\\data.win", "g/"},
      {"data.win", "./"},  // no separator: the current directory, never the root
      {"/data.win", "/"},
  };
  for (const Case& c : cases) {
    SetGameFilePath(c.gameFile);
    EXPECT_STREQ(GetGameDirectory(), c.directory) << c.gameFile;
    EXPECT_STREQ(GetGameFilePath(), c.gameFile);
  }

  // Cached until the path changes or is freed.
  SetGameFilePath("/one/data.win");
  const char* first = GetGameDirectory();
  EXPECT_EQ(GetGameDirectory(), first);
  FreeGamePaths();
  EXPECT_EQ(GetGameFilePath(), nullptr);

  // With no game file the current directory stands in for its directory.
  EXPECT_EQ(std::string(GetGameDirectory()), m_root + "/");
}

TEST_F(PathsTest, GameFilePathIsMadeAbsolute) {
  SetGameFilePath("sub/../game\\data.win");
  MakeGameFilePathAbsolute();
  EXPECT_EQ(std::string(GetGameFilePath()), m_root + "/game/data.win");
  EXPECT_EQ(std::string(GetGameDirectory()), m_root + "/game/");
}

TEST_F(PathsTest, ExecutablePathNamesThisProgram) {
  const std::string exe = GetExecutablePath();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.front(), '/');
  EXPECT_EQ(fs::path(exe).filename(), "test_os");
  EXPECT_EQ(GetExecutablePath(), GetExecutablePath());
}

TEST_F(PathsTest, SaveDirectoryFollowsTheDataFolders) {
  const std::string home = m_root + "/home";
  EnvOverride homeVar("HOME", home.c_str());
  EnvOverride dataVar("XDG_DATA_HOME", nullptr);
  EnvOverride configVar("XDG_CONFIG_HOME", nullptr);

  // Before a game is loaded there is no name: the fallback stands in, never the shared folder.
  EXPECT_EQ(std::string(GetSaveDirectory()), home + "/.local/share/runner/unnamed/");

  SetSaveAreaGameInfo("MyGame", 0);
  EXPECT_EQ(std::string(GetSaveDirectory()), home + "/.local/share/runner/MyGame/");
  SetSaveAreaGameInfo("MyGame", kGameFlagRoamingSaves);
  EXPECT_EQ(std::string(GetSaveDirectory()), home + "/.config/runner/MyGame/");

  dataVar.Set((m_root + "/data/").c_str());
  configVar.Set((m_root + "/config").c_str());
  SetSaveAreaGameInfo("MyGame", 0x1FFF);  // every other bit: still local
  EXPECT_EQ(std::string(GetSaveDirectory()), m_root + "/data/runner/MyGame/");
  SetSaveAreaGameInfo("MyGame", kGameFlagRoamingSaves);
  EXPECT_EQ(std::string(GetSaveDirectory()), m_root + "/config/runner/MyGame/");

  // A relative folder variable is not a folder.
  dataVar.Set("relative/data");
  SetSaveAreaGameInfo("MyGame", 0);
  EXPECT_EQ(std::string(GetSaveDirectory()), home + "/.local/share/runner/MyGame/");
}

TEST_F(PathsTest, SaveDirectoryIsLoggedOncePerComputedPath) {
  EnvOverride dataVar("XDG_DATA_HOME", (m_root + "/data").c_str());
  SetSaveAreaGameInfo("G", 0);
  m_console.lines.clear();
  const char* first = GetSaveDirectory();
  EXPECT_EQ(GetSaveDirectory(), first);
  ASSERT_EQ(m_console.lines.size(), 1u);
  EXPECT_EQ(m_console.lines[0], "SavePrePend = " + m_root + "/data/runner/G/\n");

  ClearSaveDirectoryCache();
  GetSaveDirectory();
  EXPECT_EQ(m_console.lines.size(), 2u);
}

TEST_F(PathsTest, NoDataFolderGivesNullAndIsTriedAgain) {
  EnvOverride homeVar("HOME", nullptr);
  EnvOverride dataVar("XDG_DATA_HOME", nullptr);
  SetSaveAreaGameInfo("G", 0);
  m_console.lines.clear();
  EXPECT_EQ(GetSaveDirectory(), nullptr);
  EXPECT_TRUE(m_console.lines.empty());

  homeVar.Set(m_root.c_str());
  ASSERT_NE(GetSaveDirectory(), nullptr);
  EXPECT_EQ(std::string(GetSaveDirectory()), m_root + "/.local/share/runner/G/");
}

// A game names its own save folder; whatever the name, the folder is one of its own below the
// runtime's folder: never the shared data or configuration folder (where, for instance, a game
// named "autostart" would otherwise write the desktop's start-up entries), never above it.
TEST_F(PathsTest, SaveFolderNameCannotLeaveTheRuntimesFolder) {
  EnvOverride dataVar("XDG_DATA_HOME", (m_root + "/data").c_str());
  EnvOverride configVar("XDG_CONFIG_HOME", (m_root + "/config").c_str());
  struct Case {
    const char* name;
    const char* folder;
  };
  const Case cases[] = {
      {"", "unnamed"},
      {".", "unnamed"},
      {"..", "unnamed"},
      {"/", "unnamed"},
      {"\\//\\", "unnamed"},
      {"../../etc", ".._.._etc"},
      {"a\\b", "a_b"},
      {"...", "..."},
      {"autostart", "autostart"},
  };
  for (const Case& c : cases) {
    SetSaveAreaGameInfo(c.name, 0);
    EXPECT_EQ(std::string(GetSaveDirectory()), m_root + "/data/runner/" + c.folder + "/") << c.name;
    SetSaveAreaGameInfo(c.name, kGameFlagRoamingSaves);
    EXPECT_EQ(std::string(GetSaveDirectory()), m_root + "/config/runner/" + c.folder + "/") << c.name;
  }
}

// Opening inside a folder follows only the links that stay inside it, the way the system would
// resolve them (relative targets from the link's own directory, ".." from the real directory).
TEST_F(PathsTest, OpenInsideFollowsOnlyLinksThatStayInside) {
  const std::string root = m_root + "/r";
  fs::create_directories(root + "/d");
  fs::create_directories(m_root + "/outdir");
  std::ofstream(root + "/a.txt") << "a";
  std::ofstream(m_root + "/outside.txt") << "o";
  fs::create_symlink("loop2", root + "/loop1");
  fs::create_symlink("loop1", root + "/loop2");
  fs::create_symlink("../../outside.txt", root + "/d/up");
  fs::create_symlink("../a.txt", root + "/d/ok");
  fs::create_symlink("d", root + "/dlink");
  fs::create_symlink(root + "/a.txt", root + "/abs");
  fs::create_symlink(root + "/d/../d/ok", root + "/abschain");
  fs::create_symlink(m_root + "/outside.txt", root + "/absout");
  fs::create_symlink(m_root + "/outdir", root + "/dout");
  fs::create_symlink(".", root + "/self");

  struct Case {
    const char* below;
    int error;  // 0: opens and reads "a"
  };
  const Case cases[] = {
      {"/a.txt", 0},        {"/d/ok", 0},          {"/dlink/ok", 0},     {"/abs", 0},
      {"/abschain", 0},     {"/self/self/a.txt", 0}, {"/d/up", EACCES},  {"/absout", EACCES},
      {"/dout/x", EACCES},  {"/loop1", ELOOP},     {"/missing", ENOENT}, {"/../outside.txt", EACCES},
  };
  for (const Case& c : cases) {
    const std::string path = root + c.below;
    errno = 0;
    const int fd = OS_OpenInside(root.c_str(), path.c_str(), O_RDONLY, 0);
    if (c.error == 0) {
      ASSERT_GE(fd, 0) << c.below << " errno " << errno;
      char byte = 0;
      EXPECT_EQ(read(fd, &byte, 1), 1) << c.below;
      EXPECT_EQ(byte, 'a') << c.below;
      close(fd);
    } else {
      EXPECT_EQ(fd, -1) << c.below;
      EXPECT_EQ(errno, c.error) << c.below;
    }
  }

  // Creating makes the root and the missing directories, but never through a link outside.
  const std::string fresh = m_root + "/fresh/root";
  const int made = OS_OpenInside(fresh.c_str(), (fresh + "/x/y/z.txt").c_str(), O_WRONLY | O_CREAT, 0644);
  EXPECT_GE(made, 0);
  if (made >= 0) close(made);
  EXPECT_TRUE(fs::is_regular_file(fresh + "/x/y/z.txt"));
  EXPECT_EQ(OS_OpenInside(root.c_str(), (root + "/dout/new/z.txt").c_str(), O_WRONLY | O_CREAT, 0644), -1);
  EXPECT_EQ(OS_OpenInside(root.c_str(), (root + "/absout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), -1);
  EXPECT_FALSE(fs::exists(m_root + "/outdir/new"));
  EXPECT_EQ(fs::file_size(m_root + "/outside.txt"), 1u);
}

TEST_F(PathsTest, FindPathNoCaseMatchesEachComponent) {
  fs::create_directories(m_root + "/Game/Data/Sub");
  std::ofstream(m_root + "/Game/Data/Sub/File.TXT") << "x";
  std::ofstream(m_root + "/Game/Data/other.txt") << "x";
  const std::string base = m_root + "/Game/";
  char out[2048];

  struct Case {
    std::string path;
    const char* found;  // below the base, or null when nothing matches
  };
  const Case cases[] = {
      {base + "data/sub/file.txt", "Data/Sub/File.TXT"},
      {base + "DATA//SUB/FILE.txt", "Data/Sub/File.TXT"},
      {base + "Data/Sub/File.TXT", "Data/Sub/File.TXT"},
      {base + "data/OTHER.TXT", "Data/other.txt"},
      {base + "data/missing.txt", nullptr},
      {base + "data/other.txt/x", nullptr},  // a file is not a directory
  };
  for (const Case& c : cases) {
    const bool found = OS_FindPathNoCase(c.path.c_str(), base.size(), out, sizeof(out));
    EXPECT_EQ(found, c.found != nullptr) << c.path;
    if (found && c.found) {
      EXPECT_EQ(std::string(out), base + c.found) << c.path;
    }
  }

  // The base itself is taken as written.
  const std::string wrongBase = m_root + "/game/";
  const std::string path = wrongBase + "data/other.txt";
  EXPECT_FALSE(OS_FindPathNoCase(path.c_str(), wrongBase.size(), out, sizeof(out)));

  // Of several matches the one sorting first is taken.
  std::ofstream(m_root + "/Game/Data/OTHER.txt") << "y";
  const std::string twice = base + "data/Other.Txt";
  ASSERT_TRUE(OS_FindPathNoCase(twice.c_str(), base.size(), out, sizeof(out)));
  EXPECT_EQ(std::string(out), base + "Data/OTHER.txt");

  // A link to a directory outside the base is not looked into; one inside is.
  fs::create_directories(m_root + "/Outside");
  std::ofstream(m_root + "/Outside/Secret.txt") << "s";
  fs::create_symlink(m_root + "/Outside", m_root + "/Game/Out");
  fs::create_symlink("Data", m_root + "/Game/In");
  EXPECT_FALSE(OS_FindPathNoCase((base + "out/secret.txt").c_str(), base.size(), out, sizeof(out)));
  EXPECT_FALSE(OS_FindPathNoCase((base + "Out/secret.txt").c_str(), base.size(), out, sizeof(out)));
  ASSERT_TRUE(OS_FindPathNoCase((base + "in/sub/file.txt").c_str(), base.size(), out, sizeof(out)));
  EXPECT_EQ(std::string(out), base + "In/Sub/File.TXT");
}

TEST_F(PathsTest, ASwitchChosenSaveAreaMustLieInTheRuntimesFolder) {
  EnvOverride dataVar("XDG_DATA_HOME", (m_root + "/data").c_str());
  EnvOverride configVar("XDG_CONFIG_HOME", (m_root + "/config").c_str());
  SetSaveAreaGameInfo("G", 0);
  struct Case {
    std::string requested;
    std::string answer;  // what GetSaveDirectory answers afterwards
  };
  const std::string own = m_root + "/data/runner/G/";
  const Case cases[] = {
      {m_root + "/data/runner/Other", m_root + "/data/runner/Other/"},
      {m_root + "/config/runner/x/../Roam/", m_root + "/config/runner/Roam/"},
      {m_root + "/data/runner/", own},              // the runtime's folder itself
      {m_root + "/data/runner/../../etc", own},     // leaves it
      {"/etc", own},
      {m_root + "/data/runnerX/y", own},
  };
  for (const Case& c : cases) {
    SetSaveDirectoryOverride(c.requested.c_str());
    EXPECT_EQ(std::string(GetSaveDirectory()), c.answer) << c.requested;
    // A game loaded later keeps the chosen area.
    SetSaveAreaGameInfo("Later", 0);
    EXPECT_EQ(std::string(GetSaveDirectory()), c.answer == own ? m_root + "/data/runner/Later/" : c.answer);
    SetSaveAreaGameInfo("G", 0);
  }
  SetSaveDirectoryOverride(nullptr);
  EXPECT_EQ(std::string(GetSaveDirectory()), own);
}

}  // namespace
