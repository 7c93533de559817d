#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/IniFile.h"
#include "debug/Debug_Log.h"
#include "os/OS_Paths.h"
#include "platform/MemoryManager.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

// The document as written, freed again.
std::string Written(IniFile& ini) {
  char* text = ini.WriteToString();
  std::string result = text;
  MemoryManager::Free(text);
  return result;
}

// ---- Parsing: text in, text written back ----

TEST(IniFileParse, TextReadIsWrittenBackNewestFirst) {
  struct Case {
    const char* name;
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"sections and keys come out reversed, values in double quotes",
       "[a]\r\nx=1\r\ny = 'two words'\r\n[b]\r\nz=3",
       "[b]\r\nz=\"3\"\r\n[a]\r\ny=\"two words\"\r\nx=\"1\"\r\n"},
      {"a comment ends an unquoted value", "[s]\r\nx=5 ; note\r\n", "[s]\r\nx=\"5\"\r\n"},
      {"inside quotes a comment character is text", "[s]\r\nx=\"5 ; note\"\r\n",
       "[s]\r\nx=\"5 ; note\"\r\n"},
      {"a value on the next line drops its key", "[s]\r\nx=\r\ny=2", "[s]\r\ny=\"2\"\r\n"},
      {"a comment after '=' drops the key", "[s]\nx= ;c\ny=1", "[s]\r\ny=\"1\"\r\n"},
      {"empty quotes keep the key", "[s]\r\nx=\"\"\r\n", "[s]\r\nx=\"\"\r\n"},
      {"'=' at the very end keeps an empty value", "[s]\nx=", "[s]\r\nx=\"\"\r\n"},
      {"a key name runs across lines to the next '='", "[s]\r\ngarbage\r\nk=v\r\n",
       "[s]\r\ngarbage\r\nk=\"v\"\r\n"},
      {"lone line feeds: the line after a comment is read whole", "[s]\n# comment\nkey=v\n",
       "[s]\r\nkey=\"v\"\r\n"},
      {"byte-order mark skipped", "\xEF\xBB\xBF[s]\nk=v", "[s]\r\nk=\"v\"\r\n"},
      {"everything before the first header is ignored", "k=1\n[s]\nk=2",
       "[s]\r\nk=\"2\"\r\n"},
      {"a header without ']' ends the parse", "[s]\nk=1\n[t\nm=2", "[s]\r\nk=\"1\"\r\n"},
      {"a key without '=' ends the parse", "[s]\nk=1\nlonely\n[t]\n", "[s]\r\nk=\"1\"\r\n"},
      {"no header, no document", "k=v\n", ""},
      {"empty text", "", ""},
      {"quoted: trailing blanks inside dropped, rest of line skipped",
       "[s]\nk=' a \t' trailing = x\nm=2", "[s]\r\nm=\"2\"\r\nk=\" a\"\r\n"},
      {"an unclosed quote ends at the line end", "[s]\nk=\"abc  \ny=1",
       "[s]\r\ny=\"1\"\r\nk=\"abc\"\r\n"},
      {"trailing blanks and comment characters of a name dropped", "[s]\n my key ;\t=v\t \n",
       "[s]\r\nmy key=\"v\"\r\n"},
      {"text after ']' starts a key name", "[s] k=v\n[t]x\ny=1",
       "[t]\r\nx\ny=\"1\"\r\n[s]\r\nk=\"v\"\r\n"},
      {"a header may span lines", "[a\nb]\nk=v", "[a\nb]\r\nk=\"v\"\r\n"},
      {"an empty key name", "[s]\n=v", "[s]\r\n=\"v\"\r\n"},
      {"repeated sections stay separate", "[a]\nk=1\n[a]\nk=2",
       "[a]\r\nk=\"2\"\r\n[a]\r\nk=\"1\"\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t blocks = MemoryManager::BlockCount.load();
    {
      IniFile ini;
      ini.LoadFromString(c.in);
      EXPECT_FALSE(ini.IsDirty());
      EXPECT_EQ(Written(ini), c.out);
    }
    EXPECT_EQ(MemoryManager::BlockCount.load(), blocks) << "blocks left behind";
  }
}

TEST(IniFileParse, ReadingTheWrittenTextRestoresTheOriginalOrder) {
  IniFile first;
  first.LoadFromString("[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n");
  IniFile second;
  second.LoadFromString(Written(first).c_str());
  EXPECT_EQ(Written(second), "[a]\r\nx=\"1\"\r\ny=\"2\"\r\n[b]\r\nz=\"3\"\r\n");
}

TEST(IniFileParse, ParsingAgainReplacesTheDocument) {
  const int32_t blocks = MemoryManager::BlockCount.load();
  {
    IniFile ini;
    ini.LoadFromString("[a]\nx=1");
    ini.LoadFromString("[b]\ny=2");
    EXPECT_EQ(Written(ini), "[b]\r\ny=\"2\"\r\n");
    ini.LoadFromString(nullptr);
    EXPECT_EQ(ini.Sections(), nullptr);
  }
  EXPECT_EQ(MemoryManager::BlockCount.load(), blocks);
}

// ---- Lookups ----

TEST(IniFileLookup, StringsAndDefaults) {
  IniFile ini;
  ini.LoadFromString("[audio]\nVolume=7\nkey=first\nkey=second\n[video]\nmode=full\n");
  EXPECT_STREQ(ini.ReadString("audio", "Volume", "d"), "7");
  EXPECT_STREQ(ini.ReadString("audio", "volume", "d"), "d");  // case-sensitive
  EXPECT_STREQ(ini.ReadString("Audio", "Volume", "d"), "d");
  EXPECT_STREQ(ini.ReadString("audio", "key", "d"), "second");  // the one read last
  EXPECT_STREQ(ini.ReadString("video", "mode", "d"), "full");
  EXPECT_STREQ(ini.ReadString("audio", "mode", "d"), "d");
  EXPECT_EQ(ini.ReadString("nothing", "x", nullptr), nullptr);
  EXPECT_EQ(ini.FindKey(nullptr, "x"), nullptr);
  EXPECT_EQ(ini.FindKey("audio", nullptr), nullptr);
  EXPECT_EQ(ini.FindSection(nullptr), nullptr);
}

TEST(IniFileLookup, ReadIntConvertsLikeAtoi) {
  struct Case {
    const char* value;
    int32_t expected;
  };
  const Case cases[] = {
      {"12abc", 12},          {"abc", 0},
      {"  -7", -7},           {"+5", 5},
      {"", 0},                {"0x10", 0},
      {"1e3", 1},             {"2147483647", 2147483647},
      {"99999999999", INT32_MAX}, {"-2147483648", INT32_MIN},
      {"-99999999999", INT32_MIN}, {"- 3", 0},
  };
  for (const Case& c : cases) {
    IniFile ini;
    ini.WriteString("s", "k", c.value);
    EXPECT_EQ(ini.ReadInt("s", "k", 42), c.expected) << c.value;
    EXPECT_EQ(ini.ReadInt("s", "missing", 42), 42);
  }
}

// ---- Changes in memory ----

TEST(IniFileChange, WriteStringAddsInFrontAndReplacesValues) {
  IniFile ini;
  ini.LoadFromString("[a]\nx=1\n");
  EXPECT_TRUE(ini.WriteString("a", "y", "2"));
  EXPECT_TRUE(ini.WriteString("b", "z", nullptr));  // null stores the empty text
  EXPECT_TRUE(ini.WriteString("a", "x", "one"));
  EXPECT_TRUE(ini.IsDirty());
  EXPECT_STREQ(ini.ReadString("b", "z", "d"), "");
  EXPECT_EQ(Written(ini), "[b]\r\nz=\"\"\r\n[a]\r\ny=\"2\"\r\nx=\"one\"\r\n");
  EXPECT_FALSE(ini.IsDirty());

  EXPECT_FALSE(ini.WriteString(nullptr, "k", "v"));
  EXPECT_FALSE(ini.WriteString("a", nullptr, "v"));
  EXPECT_TRUE(ini.IsDirty());  // even a refused write marks the document
}

TEST(IniFileChange, DeleteKeyAndSection) {
  IniFile ini;
  ini.LoadFromString("[a]\nx=1\ny=2\nx=3\n[b]\nz=1\n[a]\nw=0\n");
  EXPECT_TRUE(ini.DeleteKey("a", "w"));
  EXPECT_TRUE(ini.IsDirty());
  Written(ini);
  EXPECT_FALSE(ini.DeleteKey("a", "w"));  // the first section "a" no longer has it
  EXPECT_FALSE(ini.DeleteKey("c", "x"));
  EXPECT_FALSE(ini.DeleteSection("c"));
  EXPECT_FALSE(ini.IsDirty());

  EXPECT_TRUE(ini.DeleteSection("a"));  // the newer one, now empty
  EXPECT_TRUE(ini.DeleteKey("a", "x"));  // the key read last
  EXPECT_STREQ(ini.ReadString("a", "x", "d"), "1");
  EXPECT_EQ(Written(ini), "[b]\r\nz=\"1\"\r\n[a]\r\ny=\"2\"\r\nx=\"1\"\r\n");
  EXPECT_TRUE(ini.DeleteSection("b"));
  EXPECT_TRUE(ini.DeleteSection("a"));
  EXPECT_EQ(ini.Sections(), nullptr);
}

TEST(IniFileChange, SystemCommandSectionStoresNothing) {
  IniFile ini;  // no name: writing only builds the text
  EXPECT_TRUE(ini.WriteString("SYSTEM_COMMAND", "OTHER", "x"));
  EXPECT_TRUE(ini.WriteString("SYSTEM_COMMAND", nullptr, "NOW"));
  EXPECT_TRUE(ini.IsDirty());
  EXPECT_TRUE(ini.WriteString("SYSTEM_COMMAND", "INI_FILE_FLUSH", "now"));
  EXPECT_TRUE(ini.IsDirty());
  EXPECT_TRUE(ini.WriteString("SYSTEM_COMMAND", "INI_FILE_FLUSH", "NOW"));
  EXPECT_FALSE(ini.IsDirty());
  EXPECT_EQ(ini.FindSection("SYSTEM_COMMAND"), nullptr);
  EXPECT_EQ(Written(ini), "");
}

// ---- Files: the save area and the game folder ----

// Puts the save area and the game folder into temporary folders, runs in a third one (names are
// resolved against the current directory) and captures the debug log.
class IniFileOnDisk : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    std::error_code ec;
    m_oldCwd = std::filesystem::current_path(ec);
    std::filesystem::current_path(m_cwd.path());
    SetGameFilePath(m_game.file("data.win").c_str());
    SetSaveAreaGameInfo("game", 0);
    Debug_SetLinkActive(true);
  }
  void TearDown() override {
    std::error_code ec;
    if (!m_oldCwd.empty()) std::filesystem::current_path(m_oldCwd, ec);
    RuntimeTest::TearDown();
  }
  std::string SavePath(const std::string& name) const { return (m_data.path() / "runner" / "game" / name).string(); }
  void Put(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }

  TempDir m_data;
  TempDir m_home;
  TempDir m_game;
  TempDir m_cwd;
  std::filesystem::path m_oldCwd;
  EnvOverride m_xdg{"XDG_DATA_HOME", m_data.path().c_str()};
  EnvOverride m_homeEnv{"HOME", m_home.path().c_str()};
};

TEST_F(IniFileOnDisk, MissingFileGivesAnEmptyNamedDocumentSilently) {
  for (bool log : {false, true}) {
    IniFile ini;
    ini.Open("options.ini", log);
    EXPECT_STREQ(ini.Name(), "options.ini");
    EXPECT_EQ(ini.Sections(), nullptr);
    EXPECT_FALSE(ini.Parse());
  }
  EXPECT_EQ(Debug_TakeLog().find("file contents"), std::string::npos);
}

TEST_F(IniFileOnDisk, ReadsTheSaveAreaFirstThenTheGameFolder) {
  Put(m_game.file("options.ini"), "[o]\r\nfrom=game\r\n");
  {
    IniFile ini;
    ini.Open("options.ini", true);
    EXPECT_STREQ(ini.ReadString("o", "from", ""), "game");
    EXPECT_NE(Debug_TakeLog().find("options.ini file contents: [o]\r\nfrom=game\r\n\n"), std::string::npos);
  }
  Put(SavePath("options.ini"), "[o]\r\nfrom=save\r\n");
  IniFile ini;
  ini.Open("options.ini", false);
  EXPECT_STREQ(ini.ReadString("o", "from", ""), "save");
  EXPECT_EQ(Debug_TakeLog().find("file contents"), std::string::npos);
}

TEST_F(IniFileOnDisk, WritingSavesIntoTheSaveAreaOnlyWhenChanged) {
  Put(m_game.file("cfg.ini"), "[a]\nx=1\n");
  IniFile ini;
  ini.Open("cfg.ini", false);
  MemoryManager::Free(ini.WriteToString());
  EXPECT_FALSE(std::filesystem::exists(SavePath("cfg.ini"))) << "unchanged: nothing written";

  ini.WriteString("a", "y", "2");
  ini.WriteString("SYSTEM_COMMAND", "INI_FILE_FLUSH", "NOW");
  EXPECT_EQ(ReadFile(SavePath("cfg.ini")), "[a]\r\ny=\"2\"\r\nx=\"1\"\r\n");
  EXPECT_EQ(ReadFile(m_game.file("cfg.ini")), "[a]\nx=1\n");

  std::filesystem::remove(SavePath("cfg.ini"));
  MemoryManager::Free(ini.WriteToString());
  EXPECT_FALSE(std::filesystem::exists(SavePath("cfg.ini"))) << "written once already";
}

TEST_F(IniFileOnDisk, DestroyingADocumentWritesNothing) {
  {
    IniFile ini;
    ini.Open("gone.ini", false);
    ini.WriteString("a", "b", "c");
  }
  EXPECT_FALSE(std::filesystem::exists(SavePath("gone.ini")));
}

}  // namespace
