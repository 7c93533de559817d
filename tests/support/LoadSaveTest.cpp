#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/IniFile.h"
#include "base/VCL.h"
#include "buffer/Buffer_Standard.h"
#include "os/OS_Paths.h"
#include "platform/MemoryManager.h"
#include "support/CStream.h"
#include "support/LoadSave.h"
#include "support/LoadSave_File.h"
#include "support/Support_Directory.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// A sandbox game: the game file in <root>/game, the save area <root>/data/runner/MyGame/, the current
// directory the game folder. The debug console is recorded.
class LoadSaveTest : public testsupport::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    m_game = m_root + "/game/";
    m_save = m_root + "/data/runner/MyGame/";
    fs::create_directories(m_game);
    fs::create_directories(m_root + "/work");
    m_oldCwd = fs::current_path();
    fs::current_path(m_game);
    m_oldConsole = DebugConsole;
    DebugConsole = &m_console;
    SetGameFilePath((m_game + "data.win").c_str());
    SetWorkingDirectory(m_game.c_str());  // as the game loader derives it
    SetSaveAreaGameInfo("MyGame", 0);
    ASSERT_EQ(std::string(GetSaveDirectory()), m_save);
    m_console.lines.clear();  // the save area's log line
  }
  void TearDown() override {
    DebugConsole = m_oldConsole;
    fs::current_path(m_oldCwd);
    RuntimeTest::TearDown();
  }

  std::string GamePath(const char* name) {
    char out[kLoadSavePathSize];
    LoadSave_ResolveGamePath(out, sizeof(out), name);
    return out;
  }
  std::string SavePath(const char* name) {
    char out[kLoadSavePathSize];
    LoadSave_ResolveSavePath(out, sizeof(out), name);
    return out;
  }
  std::string ReadAll(LoadSaveFile* f) {
    std::string s;
    while (!LoadSave_feof(f)) s.push_back(static_cast<char>(LoadSave_fgetc(f)));
    return s;
  }

  TempDir m_dir;
  std::string m_root = fs::canonical(m_dir.path()).string();
  std::string m_game, m_save;
  // The save area's data folder lies in the sandbox; the home folder too, so nothing can reach
  // the real one.
  EnvOverride m_data{"XDG_DATA_HOME", (m_root + "/data").c_str()};
  EnvOverride m_home{"HOME", (m_root + "/home").c_str()};
  fs::path m_oldCwd;
  RecordingConsole m_console;
  tagIConsole* m_oldConsole = nullptr;
};

// ---- Resolvers ----

TEST_F(LoadSaveTest, CurrentDirectoryIsTheGameFolder) {
  EXPECT_EQ(GamePath("data/a.txt"), m_game + "data/a.txt");
  EXPECT_EQ(GamePath("data\\a.txt"), m_game + "data/a.txt");
  EXPECT_EQ(SavePath("data/a.txt"), m_save + "data/a.txt");
  // The same name with the game folder in front.
  const std::string inGame = m_game + "scores.ini";
  EXPECT_EQ(GamePath(inGame.c_str()), inGame);
  EXPECT_EQ(SavePath(inGame.c_str()), m_save + "scores.ini");
  // A name already in the save area stays there, for both writing and (second place) reading.
  const std::string inSave = m_save + "x/y.txt";
  EXPECT_EQ(SavePath(inSave.c_str()), inSave);
  EXPECT_TRUE(m_console.lines.empty());
}

TEST_F(LoadSaveTest, CurrentDirectoryElsewhere) {
  fs::current_path(m_root + "/work");
  // Two separators after the game folder: the rest after the current directory keeps its own.
  EXPECT_EQ(GamePath("a.txt"), m_game + "/a.txt");
  EXPECT_EQ(SavePath("a.txt"), m_save + "a.txt");
  EXPECT_EQ(SavePath("sub/../b.txt"), m_save + "b.txt");
  // A name in the game folder (the working directory) is kept for reading, moved for writing.
  const std::string inGame = m_game + "lvl/1.dat";
  EXPECT_EQ(GamePath(inGame.c_str()), inGame);
  EXPECT_EQ(SavePath(inGame.c_str()), m_save + "lvl/1.dat");
  EXPECT_TRUE(m_console.lines.empty());
}

TEST_F(LoadSaveTest, PathsOutsideAreRefusedUnlessPicked) {
  const std::string outside = m_root + "/other/x.txt";
  EXPECT_EQ(SavePath(outside.c_str()), "");
  ASSERT_EQ(m_console.lines.size(), 1u);
  EXPECT_EQ(m_console.lines[0], "Error! not allowing save with filename '" + outside + "'\n");
  EXPECT_EQ(GamePath(outside.c_str()), "");

  m_console.lines.clear();
  LoadSave_PermitWrite(outside.c_str(), false);
  EXPECT_EQ(SavePath(outside.c_str()), outside);
  EXPECT_EQ(SavePath((m_root + "/OTHER/X.TXT").c_str()), m_root + "/OTHER/X.TXT");  // case ignored
  EXPECT_TRUE(m_console.lines.empty());
  EXPECT_EQ(GamePath(outside.c_str()), "");  // a save dialog does not permit reading

  // An open dialog permits reading with any letter case in the name.
  LoadSave_PermitRead((m_root + "/Other/X.txt").c_str());
  EXPECT_EQ(GamePath(outside.c_str()), outside);
  EXPECT_EQ(GamePath((m_root + "/other/y.txt").c_str()), "");

  // A sibling of the game folder that shares its first letters is outside it.
  const std::string sibling = m_root + "/gamex/a.txt";
  EXPECT_EQ(GamePath(sibling.c_str()), "");
}

TEST_F(LoadSaveTest, PickedPathUnderTheCurrentDirectoryIsRedirected) {
  const std::string picked = m_game + "saves/slot1.sav";
  LoadSave_PermitWrite(picked.c_str(), false);
  EXPECT_EQ(SavePath(picked.c_str()), m_save + "saves/slot1.sav");
  ASSERT_EQ(m_console.lines.size(), 1u);
  EXPECT_EQ(m_console.lines[0], "Warning! Save location - redirected to: '" + m_save + "saves/slot1.sav'\n");
}

TEST_F(LoadSaveTest, PermittedDirectoryCoversOnlyWhatIsBelowIt) {
  LoadSave_PermitWrite((m_root + "/tmp\\cache").c_str(), true);
  struct Case {
    std::string name;
    bool allowed;
  };
  const Case cases[] = {
      {m_root + "/tmp/cache/a/b.bin", true},
      {m_root + "/TMP/Cache/c.bin", true},
      {m_root + "/tmp/cachex/b.bin", false},
      {m_root + "/tmp/cache", false},
      {m_root + "/tmp/cach", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SavePath(c.name.c_str()), c.allowed ? c.name : "") << c.name;
  }
}

TEST_F(LoadSaveTest, SaveAreaBelowTheCurrentDirectoryIsNotNested) {
  fs::current_path(m_root);  // an ancestor of both the game folder and the save area
  const std::string inSave = m_save + "a.txt";
  EXPECT_EQ(SavePath(inSave.c_str()), inSave);
  EXPECT_EQ(SavePath("game/a.txt"), m_save + "game/a.txt");
  EXPECT_EQ(GamePath("a.txt"), m_game + "/a.txt");
}

TEST_F(LoadSaveTest, RefusedAndUnresolvableNames) {
  EXPECT_EQ(GamePath(nullptr), "");
  EXPECT_EQ(SavePath(nullptr), "");
  EXPECT_TRUE(m_console.lines.empty());
  EXPECT_FALSE(LoadSave_WriteSaveFile(nullptr, "x", 1));
  EXPECT_EQ(LoadSave_ReadGameFile(nullptr, nullptr), nullptr);

  // A result that does not fit the caller's buffer is refused.
  char small[16] = "untouched";
  LoadSave_ResolveGamePath(small, sizeof(small), "a.txt");
  EXPECT_STREQ(small, "");
  const std::string longName(3000, 'n');
  EXPECT_EQ(SavePath(longName.c_str()), "");
  EXPECT_EQ(GamePath(longName.c_str()), "");

  // Without a save area every save path is refused, picked or not.
  const std::string picked = m_root + "/picked.txt";
  LoadSave_PermitWrite(picked.c_str(), false);
  m_data.Set(nullptr);
  m_home.Set(nullptr);
  ClearSaveDirectoryCache();
  m_console.lines.clear();
  EXPECT_EQ(SavePath("a.txt"), "");
  EXPECT_EQ(SavePath(picked.c_str()), "");
  EXPECT_EQ(m_console.lines.size(), 2u);
  EXPECT_FALSE(LoadSave_WriteSaveFile("a.txt", "x", 1));
}

TEST_F(LoadSaveTest, GameFilesAreFoundIgnoringLetterCase) {
  WriteBytes(m_game + "Data/Level1.TXT", "level");
  EXPECT_EQ(GamePath("data/level1.txt"), m_game + "Data/Level1.TXT");
  EXPECT_TRUE(LoadSave_GameFileExists("DATA/LEVEL1.txt"));
  int size = -1;
  void* block = LoadSave_ReadGameFile("data/level1.txt", &size);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::string(static_cast<char*>(block), static_cast<size_t>(size)), "level");
  MemoryManager::Free(block);
  // A name that matches nothing stays as written.
  EXPECT_EQ(GamePath("data/level2.txt"), m_game + "data/level2.txt");
  EXPECT_FALSE(LoadSave_GameFileExists("data/level2.txt"));
  // The save area is not searched that way.
  WriteBytes(m_save + "Slot.sav", "s");
  EXPECT_FALSE(LoadSave_SaveFileExists("slot.sav"));
}

// A game folder or save area that holds symbolic links (shipped with the game, or left by
// anything else) never lets the game read or write the player's other files through them.
TEST_F(LoadSaveTest, SymbolicLinksNeverLeadOutOfTheGameFolderOrTheSaveArea) {
  WriteBytes(m_root + "/secret/key.txt", "secret");
  WriteBytes(m_root + "/victim/f.txt", "keep");
  WriteBytes(m_game + "real.txt", "real");
  WriteBytes(m_save + "real.sav", "old");
  fs::create_directories(m_game + "sub");
  fs::create_symlink(m_root + "/secret/key.txt", m_game + "leak.txt");
  fs::create_symlink(m_root + "/secret", m_game + "Dir");
  fs::create_symlink("../../secret/key.txt", m_game + "sub/up.txt");
  fs::create_symlink("real.txt", m_game + "alias.txt");
  fs::create_symlink(m_game + "real.txt", m_game + "absalias.txt");
  fs::create_symlink("../real.txt", m_game + "sub/back.txt");
  fs::create_symlink(m_root + "/victim", m_save + "out");
  fs::create_symlink(m_root + "/victim/f.txt", m_save + "f.txt");
  fs::create_symlink(m_root + "/victim/new.txt", m_save + "new.txt");
  fs::create_symlink("real.sav", m_save + "alias.sav");

  struct Case {
    const char* name;
    const char* contents;  // null: refused
  };
  const Case reads[] = {
      {"leak.txt", nullptr},     {"Dir/key.txt", nullptr},   {"dir/KEY.TXT", nullptr},
      {"sub/up.txt", nullptr},   {"alias.txt", "real"},      {"absalias.txt", "real"},
      {"sub/back.txt", "real"},  {"SUB/BACK.TXT", "real"},
  };
  for (const Case& c : reads) {
    int size = -1;
    void* block = LoadSave_ReadGameFile(c.name, &size);
    EXPECT_EQ(block != nullptr, c.contents != nullptr) << c.name;
    EXPECT_EQ(LoadSave_GameFileExists(c.name), c.contents != nullptr) << c.name;
    if (block != nullptr && c.contents != nullptr) {
      EXPECT_EQ(std::string(static_cast<char*>(block), static_cast<size_t>(size)), c.contents) << c.name;
    }
    MemoryManager::Free(block);
    LoadSaveFile* f = LoadSave_fopen(c.name, "r");
    EXPECT_EQ(f != nullptr, c.contents != nullptr) << c.name;
    LoadSave_fclose(f);
    // Whole-stream loads and buffer loads go the same way.
    CStream stream(0);
    stream.LoadFromFile(c.name, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.GetData()), static_cast<size_t>(stream.GetSize())),
              c.contents != nullptr ? c.contents : "")
        << c.name;
    Buffer_Standard buffer(0, BUFFER_GROW, 1);
    EXPECT_EQ(buffer.Load(c.name, 0, -1, 0), c.contents != nullptr) << c.name;
  }
  // An INI file reached through a link that leads out reads as an empty file.
  WriteBytes(m_root + "/secret/conf.ini", "[s]\nk=leaked\n");
  fs::create_symlink(m_root + "/secret/conf.ini", m_game + "conf.ini");
  IniFile ini;
  ini.Open("conf.ini", false);
  EXPECT_STREQ(ini.ReadString("s", "k", "none"), "none");
  WriteBytes(m_game + "real.ini", "[s]\nk=kept\n");
  fs::create_symlink("real.ini", m_game + "inside.ini");
  ini.Open("inside.ini", false);
  EXPECT_STREQ(ini.ReadString("s", "k", "none"), "kept");

  // Writing: nothing outside is created, truncated or written; the refusal is a plain failure.
  EXPECT_FALSE(LoadSave_WriteSaveFile("out/x.txt", "x", 1));
  EXPECT_FALSE(LoadSave_WriteSaveFile("out/deeper/x.txt", "x", 1));
  EXPECT_FALSE(LoadSave_WriteSaveFile("f.txt", "x", 1));
  EXPECT_FALSE(LoadSave_WriteSaveFile("new.txt", "x", 1));
  EXPECT_FALSE(LoadSave_SaveFileExists("f.txt"));
  EXPECT_EQ(LoadSave_ReadSaveFile("out/f.txt", nullptr), nullptr);
  LoadSave_fclose(LoadSave_fopen("f.txt", "w"));
  EXPECT_EQ(ReadFile(m_root + "/victim/f.txt"), "keep");
  EXPECT_FALSE(fs::exists(m_root + "/victim/x.txt"));
  EXPECT_FALSE(fs::exists(m_root + "/victim/deeper"));
  EXPECT_FALSE(fs::exists(m_root + "/victim/new.txt"));

  // A link inside the save area that points inside keeps working.
  EXPECT_TRUE(LoadSave_WriteSaveFile("alias.sav", "new", 3));
  EXPECT_EQ(ReadFile(m_save + "real.sav"), "new");
  EXPECT_TRUE(fs::is_symlink(m_save + "alias.sav"));
}

// A named pipe or a device is not a file of the game: opening it neither blocks nor reads it.
TEST_F(LoadSaveTest, PipesAndDevicesAreNotRead) {
  ASSERT_EQ(mkfifo((m_game + "pipe").c_str(), 0600), 0);
  fs::create_directories(m_save);
  ASSERT_EQ(mkfifo((m_save + "pipe.sav").c_str(), 0600), 0);
  EXPECT_EQ(LoadSave_ReadGameFile("pipe", nullptr), nullptr);
  EXPECT_EQ(LoadSave_fopen("pipe", "r"), nullptr);
  EXPECT_EQ(LoadSave_ReadSaveFile("pipe.sav", nullptr), nullptr);
  EXPECT_EQ(LoadSave_ReadWholeFile("/dev/zero", nullptr), nullptr);
  EXPECT_EQ(LoadSave_ReadWholeFile((m_game + "pipe").c_str(), nullptr), nullptr);
}

// ---- Whole files ----

TEST_F(LoadSaveTest, WholeFilesInBothPlaces) {
  const std::string bytes("a\0b\xff", 4);
  EXPECT_TRUE(LoadSave_WriteSaveFile("deep/er/f.bin", bytes.data(), 4));
  EXPECT_EQ(ReadFile(m_save + "deep/er/f.bin"), bytes);
  EXPECT_TRUE(LoadSave_SaveFileExists("deep/er/f.bin"));
  EXPECT_FALSE(LoadSave_GameFileExists("deep/er/f.bin"));

  int size = -1;
  void* block = LoadSave_ReadSaveFile("deep/er/f.bin", &size);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(size, 4);
  EXPECT_EQ(std::string(static_cast<char*>(block), 4), bytes);
  MemoryManager::Free(block);

  // An empty file is a block of one zero byte with size 0.
  EXPECT_TRUE(LoadSave_WriteSaveFile("empty.txt", nullptr, 0));
  size = -1;
  block = LoadSave_ReadSaveFile("empty.txt", &size);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(MemoryManager::GetSize(block), 1);
  MemoryManager::Free(block);

  // Missing files and directories read as nothing, and the size is left alone.
  size = 77;
  EXPECT_EQ(LoadSave_ReadGameFile("missing.txt", &size), nullptr);
  EXPECT_EQ(LoadSave_ReadSaveFile("deep", &size), nullptr);
  EXPECT_EQ(size, 77);
  EXPECT_FALSE(LoadSave_SaveFileExists("deep"));

  WriteBytes(m_game + "g.txt", "game");
  block = LoadSave_ReadGameFile("g.txt", nullptr);  // the size is optional
  ASSERT_NE(block, nullptr);
  MemoryManager::Free(block);
}

TEST_F(LoadSaveTest, WriteFileWritesUnresolved) {
  const std::string target = m_root + "/work/raw.bin";
  EXPECT_TRUE(_WriteFile(target.c_str(), "12345", 5));
  EXPECT_EQ(ReadFile(target), "12345");
  EXPECT_TRUE(_WriteFile(target.c_str(), "9", 1));  // truncates
  EXPECT_EQ(ReadFile(target), "9");

  testing::internal::CaptureStderr();
  EXPECT_FALSE(_WriteFile((m_root + "/no/such/dir/f").c_str(), "x", 1));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "_WriteFile: No such file or directory\n");
}

TEST_F(LoadSaveTest, CreateDirectoryForFileBuildsTheWholeTree) {
  const std::string file = m_root + "/x/a/b/f.txt";
  EXPECT_TRUE(CreateDirectoryForFile(file.c_str()));
  EXPECT_TRUE(fs::is_directory(m_root + "/x/a/b"));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(CreateDirectoryForFile(file.c_str()));  // already there

  EXPECT_TRUE(CreateDirectoryForFile("rel//one/f.txt"));  // relative, from the game folder
  EXPECT_TRUE(fs::is_directory(m_game + "rel/one"));
  EXPECT_TRUE(CreateDirectoryForFile("bare.txt"));

  WriteBytes(m_root + "/plain", "x");
  EXPECT_FALSE(CreateDirectoryForFile((m_root + "/plain/sub/f.txt").c_str()));
  EXPECT_FALSE(CreateDirectoryForFile(nullptr));
}

// ---- File handles ----

TEST_F(LoadSaveTest, WriteModeStartsEmptyAndReplacesTheFile) {
  WriteBytes(m_save + "f.txt", "old contents");
  LoadSaveFile* f = LoadSave_fopen("f.txt", "w");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(LoadSave_ftell(f), 0);
  EXPECT_TRUE(LoadSave_feof(f));
  EXPECT_EQ(LoadSave_fputs(f, "new\n"), 5);
  EXPECT_EQ(ReadFile(m_save + "f.txt"), "old contents");  // nothing reaches the disk before close
  LoadSave_fclose(f);
  EXPECT_EQ(ReadFile(m_save + "f.txt"), "new\r\n");

  // Closing a write handle with nothing written leaves an empty file.
  LoadSave_fclose(LoadSave_fopen("f.txt", "wt"));
  EXPECT_TRUE(fs::exists(m_save + "f.txt"));
  EXPECT_EQ(fs::file_size(m_save + "f.txt"), 0u);
}

TEST_F(LoadSaveTest, ReadModesAndTheByteOrderMark) {
  WriteBytes(m_game + "bom.txt", "\xEF\xBB\xBF" "AB");
  LoadSaveFile* text = LoadSave_fopen("bom.txt", "rt");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(LoadSave_ftell(text), 3);
  EXPECT_EQ(LoadSave_fgetc(text), 'A');
  LoadSave_fclose(text);

  LoadSaveFile* raw = LoadSave_fopen("bom.txt", "r");
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(LoadSave_fgetc(raw), 0xEF);
  LoadSave_fclose(raw);

  // A short file is not mistaken for one with the mark.
  WriteBytes(m_game + "short.txt", "\xEF\xBB");
  LoadSaveFile* shortFile = LoadSave_fopen("short.txt", "tr");
  ASSERT_NE(shortFile, nullptr);
  EXPECT_EQ(LoadSave_ftell(shortFile), 0);
  LoadSave_fclose(shortFile);

  // Read-only handles of missing files are null; closing a read handle writes nothing.
  EXPECT_EQ(LoadSave_fopen("missing.txt", "r"), nullptr);
  EXPECT_EQ(LoadSave_fopen("missing.txt", "rt"), nullptr);
  EXPECT_FALSE(fs::exists(m_save + "bom.txt"));
  EXPECT_TRUE(m_console.lines.empty());
}

TEST_F(LoadSaveTest, ReadingPrefersTheGameFolderAndWritingLandsInTheSaveArea) {
  WriteBytes(m_save + "both.txt", "save");
  LoadSaveFile* f = LoadSave_fopen("both.txt", "r");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadAll(f), "save");  // only in the save area so far
  LoadSave_fclose(f);
  WriteBytes(m_game + "both.txt", "game");
  f = LoadSave_fopen("both.txt", "r");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadAll(f), "game");
  LoadSave_fclose(f);

  // r+ starts with the existing contents and saves them back whole.
  WriteBytes(m_game + "hello.txt", "hello");
  f = LoadSave_fopen("hello.txt", "r+");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(LoadSave_fwrite("J", 1, 1, f), 1);
  LoadSave_fclose(f);
  EXPECT_EQ(ReadFile(m_save + "hello.txt"), "Jello");
  EXPECT_EQ(ReadFile(m_game + "hello.txt"), "hello");
}

TEST_F(LoadSaveTest, AppendStartsAtTheEnd) {
  WriteBytes(m_game + "ten.bin", "0123456789");
  LoadSaveFile* f = LoadSave_fopen("ten.bin", "a");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(LoadSave_ftell(f), 10);
  EXPECT_EQ(LoadSave_fwrite("ab", 1, 2, f), 2);
  LoadSave_fclose(f);
  EXPECT_EQ(ReadFile(m_save + "ten.bin"), "0123456789ab");
  EXPECT_EQ(ReadFile(m_game + "ten.bin"), "0123456789");

  // A missing file appends to nothing.
  f = LoadSave_fopen("new/log.txt", "a");
  ASSERT_NE(f, nullptr);
  LoadSave_fputs(f, "x");
  LoadSave_fclose(f);
  EXPECT_EQ(ReadFile(m_save + "new/log.txt"), "x");
}

TEST_F(LoadSaveTest, PutsWritesWindowsLineEnds) {
  struct Case {
    const char* text;
    const char* written;
  };
  const Case cases[] = {
      {"one\ntwo\n", "one\r\ntwo\r\n"},
      {"one\r\ntwo\r\n", "one\r\ntwo\r\n"},
      {"\nx", "\r\nx"},
      {"\n\n", "\r\n\r\n"},
      {"a\rb", "a\rb"},
      {"", ""},
  };
  for (const Case& c : cases) {
    LoadSaveFile* f = LoadSave_fopen("lines.txt", "w");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(LoadSave_fputs(f, c.text), static_cast<int>(std::strlen(c.written))) << c.text;
    LoadSave_fclose(f);
    EXPECT_EQ(ReadFile(m_save + "lines.txt"), c.written) << c.text;
  }
}

TEST_F(LoadSaveTest, PositionEndOfFileAndEndOfLine) {
  WriteBytes(m_game + "ab.txt", "a\r\nb");
  LoadSaveFile* f = LoadSave_fopen("ab.txt", "r");
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(LoadSave_feoln(f));
  EXPECT_EQ(LoadSave_fgetc(f), 'a');
  EXPECT_TRUE(LoadSave_feoln(f));
  EXPECT_EQ(LoadSave_ftell(f), 1);  // feoln does not move
  EXPECT_EQ(LoadSave_fseek(f, 3, 0), 3);
  EXPECT_EQ(LoadSave_fgetc(f), 'b');
  EXPECT_TRUE(LoadSave_feof(f));
  EXPECT_EQ(LoadSave_fgetc(f), 0xFF);  // past the end: 0xFF, and the position still moves
  EXPECT_EQ(LoadSave_ftell(f), 5);
  EXPECT_EQ(LoadSave_fgetc(f), 0xFF);
  EXPECT_EQ(LoadSave_ftell(f), 6);

  EXPECT_EQ(LoadSave_fseek(f, 1, 0), 1);
  EXPECT_EQ(LoadSave_fseek(f, 2, 1), 3);
  EXPECT_EQ(LoadSave_fseek(f, 1, 2), 3);   // one back from the end
  EXPECT_EQ(LoadSave_fseek(f, 0, 7), 3);   // an unknown origin does nothing
  char two[2];
  EXPECT_EQ(LoadSave_fseek(f, 0, 0), 0);
  EXPECT_EQ(LoadSave_fread(two, 1, 2, f), 2);
  EXPECT_EQ(std::string(two, 2), "a\r");
  EXPECT_EQ(LoadSave_fread(two, 2, 1, f), 2);
  EXPECT_EQ(LoadSave_fread(two, 1, 2, f), 0);
  LoadSave_fclose(f);

  WriteBytes(m_game + "empty.txt", "");
  f = LoadSave_fopen("empty.txt", "r");
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(LoadSave_feoln(f));
  EXPECT_TRUE(LoadSave_feof(f));
  LoadSave_fclose(f);
}

TEST_F(LoadSaveTest, ReadRealReadsADecimalNumber) {
  struct Case {
    std::string bytes;
    double value;
    int used;
    int position;  // afterwards
  };
  const Case cases[] = {
      {"   2.5x", 2.5, 3, 6},
      {"\t\r\n-1e3,", -1000.0, 4, 7},
      {"+.5", 0.5, 3, 3},
      {"7.", 7.0, 2, 2},
      {"1e", 1.0, 1, 1},
      {"2E+", 2.0, 1, 1},
      {"0x10", 0.0, 1, 1},
      {"42", 42.0, 2, 2},  // ends with the data, no terminator after it
      {"  abc", 0.0, 0, 2},
      {"inf", 0.0, 0, 0},
      {"-", 0.0, 0, 0},
      {".", 0.0, 0, 0},
      {"   ", 0.0, 0, 3},
  };
  for (const Case& c : cases) {
    WriteBytes(m_game + "n.txt", c.bytes);
    LoadSaveFile* f = LoadSave_fopen("n.txt", "r");
    ASSERT_NE(f, nullptr);
    double value = -99.0;
    EXPECT_EQ(LoadSave_ReadReal(f, &value), c.used) << c.bytes;
    EXPECT_EQ(value, c.value) << c.bytes;
    EXPECT_EQ(LoadSave_ftell(f), c.position) << c.bytes;
    LoadSave_fclose(f);
  }
}

}  // namespace

// ---- Memory streams loaded from files ----

TEST_F(LoadSaveTest, StreamLoadsFromTheSaveAreaFirstThenTheGameFolder) {
  WriteBytes(m_game + "both.bin", "game-copy");
  WriteBytes(m_save + "both.bin", "save-copy");
  WriteBytes(m_game + "only.bin", "0123456789");
  struct {
    const char* name;
    int32_t skip;
    std::string expected;
  } cases[] = {
      {"both.bin", 0, "save-copy"}, {"only.bin", 4, "456789"}, {"only.bin", 10, ""},
      {"only.bin", 99, ""},         {"missing.bin", 0, ""},     {"only.bin", -3, "0123456789"},
  };
  for (const auto& c : cases) {
    CStream stream(8);
    stream.SetPosition(5);
    stream.LoadFromFile(c.name, c.skip);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.GetData()), stream.GetSize()), c.expected)
        << c.name << " skip " << c.skip;
    EXPECT_EQ(stream.GetPosition(), 5);
  }
}
