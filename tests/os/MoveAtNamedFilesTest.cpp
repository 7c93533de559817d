#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "os/OS_Paths.h"
#include "testlib/TestHelpers.h"

namespace fs = std::filesystem;

namespace {

class MoveAtNamedFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_old = fs::current_path();
    fs::create_directories(m_dir.path() / "cwd");
    fs::current_path(m_dir.path() / "cwd");
  }
  void TearDown() override { fs::current_path(m_old); }
  static void Write(const std::string& name, const std::string& text = "x") { std::ofstream(name) << text; }
  testsupport::TempDir m_dir;
  fs::path m_old;
};

TEST_F(MoveAtNamedFilesTest, PlainFilesMoveIntoTheDirectoriesTheirNamesSpell) {
  Write("levels@world1@map.dat", "map");
  Write("plain.dat");
  Write(".hidden@x");
  Write("ro@x");
  chmod("ro@x", 0444);
  fs::create_directory("dir@x");
  fs::create_symlink("plain.dat", "link@x");
  MoveAtNamedFiles();
  EXPECT_EQ(testsupport::ReadFile("levels/world1/map.dat"), "map");
  EXPECT_FALSE(fs::exists("levels@world1@map.dat"));
  // Untouched: no at sign, hidden, read-only, a directory, a symbolic link.
  for (const char* name : {"plain.dat", ".hidden@x", "ro@x", "dir@x", "link@x"}) {
    EXPECT_TRUE(fs::exists(fs::symlink_status(name))) << name;
  }
  EXPECT_FALSE(fs::exists("ro"));
  EXPECT_FALSE(fs::exists("link"));
}

TEST_F(MoveAtNamedFilesTest, NamesThatWouldLeaveTheDirectoryOrOverwriteStay) {
  const char* refused[] = {"..@escape", "a@..@b", ".@b", "@lead", "trail@", "a@@b"};
  for (const char* name : refused) {
    Write(name);
    EXPECT_FALSE(MoveAtNamedFile(name)) << name;
    EXPECT_TRUE(fs::exists(name)) << name;
  }
  EXPECT_FALSE(fs::exists(m_dir.path() / "escape"));

  // A directory on the way that is a symbolic link (here to outside) is not followed.
  fs::create_directory(m_dir.path() / "outside");
  fs::create_directory_symlink(m_dir.path() / "outside", "out");
  Write("out@f");
  EXPECT_FALSE(MoveAtNamedFile("out@f"));
  EXPECT_FALSE(fs::exists(m_dir.path() / "outside" / "f"));

  // An existing target is never overwritten.
  fs::create_directory("d");
  Write("d/f", "old");
  Write("d@f", "new");
  EXPECT_FALSE(MoveAtNamedFile("d@f"));
  EXPECT_EQ(testsupport::ReadFile("d/f"), "old");

  EXPECT_FALSE(MoveAtNamedFile("no-at-sign"));
  EXPECT_FALSE(MoveAtNamedFile(nullptr));
}

}  // namespace
