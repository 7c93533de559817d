// Corrupted game files: each is refused with its reason, and the
// sanitizers see no read or write outside the image.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "GameDataTestUtil.h"

namespace gamedatatest {
namespace {

using testsupport::CodeWriter;
using testsupport::GameDataBuilder;
using testsupport::GameOptions;
namespace corrupt = testsupport::corrupt;

constexpr uint32_t kPushVar = 0xC0050000u;
constexpr uint32_t kCall = 0xDA020000u;

// A small game with every chunk the loader reads itself; the string chunk comes last, so that
// a name can lose its terminator at the end of the file.
GameDataBuilder ValidGame() {
  GameDataBuilder g;
  GameOptions options;
  options.constants = {{"VersionMajor", "1"}, {"Colour", "c_red"}};
  g.Gen8().OptnNew(options);
  g.Code({{"main", CodeWriter{}.VarRef(kPushVar, "hp").FuncRef(kCall, "script_execute").VarRef(kPushVar, "hp")},
          {"other", CodeWriter{}.VarRef(kPushVar, "hp")}});
  g.Vari().Func();
  // A bitmap sprite of one frame and one mask, and a skeleton sprite.
  testsupport::SpriteEntry bitmap;
  bitmap.name = "spr_wall";
  bitmap.width = 8;
  bitmap.height = 2;
  bitmap.frames = {0};
  bitmap.masks = {std::vector<uint8_t>(16, 1)};
  testsupport::SpriteEntry skeleton;
  skeleton.name = "spr_bones";
  skeleton.kind = 2;
  skeleton.json = "{}";
  skeleton.atlas = "page";
  g.Sprt({bitmap, skeleton});
  g.Bgnd({{"back", false, false, false, 0}});
  testsupport::PathEntry path;
  path.name = "pth_patrol";
  path.points = {{0, 0, 100}, {32, 0, 100}};
  g.Path({path});
  // A page font of one glyph.
  testsupport::FontEntry font;
  font.name = "fnt_main";
  font.tpag = 0;
  font.glyphs = {{65, 0, 0, 4, 8, 5, 0}};
  g.Font({font});
  g.Tpag({{}});
  g.Txtr({{0, {1, 2, 3}}});
  g.Strg();
  return g;
}

TEST_F(GameDataTest, CorruptedFilesAreRefusedWithTheirReason) {
  const testsupport::BuiltGameData valid = ValidGame().BuildWithLabels();
  ASSERT_TRUE(LoadFromDisk(valid.bytes)) << m_console.Text();
  const int64_t imageSize = static_cast<int64_t>(valid.bytes.size());

  struct Case {
    const char* what;
    testsupport::Corruption corruption;
    const char* reason;
  };
  const Case cases[] = {
      {"FORM size off by one", corrupt::FormSizeOffByOne(), "FORM size"},
      {"last chunk past the end", corrupt::ChunkPastEnd(), "past the end of the file"},
      {"header past the end", corrupt::ChunkPastEnd("GEN8"), "past the end of the file"},
      {"code count", corrupt::CountTooLarge("CODE"), "code chunk holds fewer entries"},
      {"string count", corrupt::CountTooLarge("STRG"), "string chunk holds fewer entries"},
      {"texture-page count", corrupt::CountTooLarge("TPAG"), "texture-page chunk holds fewer entries"},
      {"texture count", corrupt::CountTooLarge("TXTR"), "texture chunk holds fewer entries"},
      {"huge code count", corrupt::CountTooLarge("CODE", 0xFFFFFFFFu), "code chunk holds fewer entries"},
      {"constant count 0x7FFFFFFF", corrupt::OptionConstantCount(0x7FFFFFFFu), "fewer than its 2147483647 constants"},
      {"code entry outside", corrupt::OffsetOutsideImage("CODE"), "code entry 0 lies outside the file"},
      {"string outside", corrupt::OffsetOutsideImage("STRG", 2), "string 2 lies outside the file"},
      {"texture-page entry outside", corrupt::OffsetOutsideImage("TPAG"), "texture-page entry 0 lies outside"},
      {"texture outside", corrupt::OffsetOutsideImage("TXTR"), "texture 0 lies outside the file"},
      {"texture bytes outside", corrupt::OffsetOutsideImage("TXTR", 1), "texture 0 lies outside the file"},
      {"header name outside", corrupt::OffsetOutsideImage("GEN8"), "names a text outside the file"},
      {"constant name outside", corrupt::OffsetOutsideImage("OPTN"), "option constant 0 refers to text outside"},
      {"variable name outside", corrupt::OffsetOutsideImage("VARI", 0), "name of variable 0 lies outside"},
      {"first variable reference outside", corrupt::OffsetOutsideImage("VARI", 1), "lies outside the code"},
      {"first function reference outside", corrupt::OffsetOutsideImage("FUNC", 1), "lies outside the code"},
      {"name without a terminator", corrupt::NameWithoutTerminator("hp"), "has no end"},
      {"variable chunk of 13 bytes", corrupt::PayloadSize("VARI", 13), "not a whole number of 12-byte entries"},
      {"function chunk of 11 bytes", corrupt::PayloadSize("FUNC", 11), "not a whole number of 12-byte entries"},
      {"chain leaving its code entry", corrupt::ChainLeavesCodeEntry("hp"), "lies outside the code"},
      {"sprite count", corrupt::CountTooLarge("SPRT"), "sprite chunk holds fewer entries"},
      {"sprite entry outside", corrupt::OffsetOutsideImage("SPRT", 0), "sprite 0 or its name lies outside"},
      {"sprite name outside", corrupt::OffsetOutsideImage("SPRT", 2), "sprite 0 or its name lies outside"},
      {"sprite frame's page entry outside", corrupt::OffsetOutsideImage("SPRT", 3), "texture-page entry outside the file"},
      {"sprite frame count", corrupt::CountTooLarge("SPRT", -1, 1), "sprite 0 has more frames than"},
      {"sprite mask count", corrupt::CountTooLarge("SPRT", -1, 2), "sprite 0 has masks past the end"},
      {"skeleton JSON length", corrupt::CountTooLarge("SPRT", -1, 3), "sprite 1 has skeleton data past the end"},
      {"background count", corrupt::CountTooLarge("BGND"), "background chunk holds fewer entries"},
      {"background entry outside", corrupt::OffsetOutsideImage("BGND", 0), "background 0, its name or its texture-page entry lies outside"},
      {"background entry cut by the end", corrupt::SetOffset("BGND", 0, imageSize - 12), "background 0, its name or its texture-page entry lies outside"},
      {"background name outside", corrupt::OffsetOutsideImage("BGND", 1), "background 0, its name or its texture-page entry lies outside"},
      {"background page entry outside", corrupt::OffsetOutsideImage("BGND", 2), "background 0, its name or its texture-page entry lies outside"},
      {"background page entry cut by the end", corrupt::SetOffset("BGND", 2, imageSize - 10), "background 0, its name or its texture-page entry lies outside"},
      {"path count", corrupt::CountTooLarge("PATH"), "path chunk holds fewer entries"},
      {"path entry outside", corrupt::OffsetOutsideImage("PATH", 0), "path 0 or its name lies outside"},
      {"path point count -1", corrupt::CountTooLarge("PATH", 0xFFFFFFFFu, 1), "the points of path 0 do not lie"},
      {"path point count past the end", corrupt::CountTooLarge("PATH", 0x10000000, 1), "the points of path 0 do not lie"},
      {"font chunk of 100 bytes", corrupt::PayloadSize("FONT", 100), "font chunk of 100 bytes is too short"},
      {"font count", corrupt::CountTooLarge("FONT"), "too short for"},
      {"font entry outside", corrupt::OffsetOutsideImage("FONT", 0), "font 0 or its name lies outside"},
      {"font face name outside", corrupt::OffsetOutsideImage("FONT", 2), "font 0, its glyph table, face name"},
      {"font page entry outside", corrupt::OffsetOutsideImage("FONT", 3), "font 0, its glyph table, face name"},
      {"font glyph outside", corrupt::OffsetOutsideImage("FONT", 4), "glyph 0 of font 0 lies outside the file"},
      {"duplicate header", corrupt::DuplicateChunk("GEN8"), "a second header chunk"},
      {"duplicate texture pages", corrupt::DuplicateChunk("TPAG"), "chunk TPAG more than once"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> file = ValidGame().Build({c.corruption});
    m_console.Clear();
    EXPECT_FALSE(LoadFromDisk(file));
    EXPECT_NE(m_console.Text().find(c.reason), std::string::npos) << m_console.Text();
  }
}

TEST_F(GameDataTest, ARepeatedHeaderOfAnotherKindIsRefusedToo) {
  GameDataBuilder g;
  g.Gen8().Gen8({}, "GENL").Strg();
  EXPECT_FALSE(LoadFromDisk(g.Build()));
  EXPECT_NE(m_console.Text().find("a second header chunk"), std::string::npos);
}

TEST_F(GameDataTest, TruncatedAndTinyFilesAreRefused) {
  const std::vector<uint8_t> valid = ValidGame().Build();
  for (size_t size : {size_t{1}, size_t{7}, size_t{12}, valid.size() / 2, valid.size() - 1}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> cut(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(size));
    // Keep the container's size word true to the cut file, so that the chunks are what breaks.
    if (size >= 8) {
      const uint32_t formSize = static_cast<uint32_t>(size - 8);
      std::memcpy(&cut[4], &formSize, 4);
    }
    m_console.Clear();
    EXPECT_FALSE(LoadFromDisk(cut));
  }
  EXPECT_FALSE(GameData_ReadFile("/nonexistent/game.win"));
}

// Bytes this process has read from files so far.
uint64_t BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return 0;
}

// What is not a game file is refused before it is read: something that is not a regular file at
// once (a named pipe would block the start for ever), a file whose FORM header does not match
// its size after its first eight bytes (a huge junk file is not read whole).
TEST_F(GameDataTest, TheGameFileIsCheckedBeforeItIsRead) {
  testsupport::TempDir dir;
  const std::string pipe = dir.file("pipe.win");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  struct Case {
    std::string path;
    const char* reason;
  };
  const Case refused[] = {
      {dir.path().string(), "is not a file"},
      {pipe, "is not a file"},
      {"/dev/zero", "is not a file"},
  };
  for (const Case& c : refused) {
    m_console.Clear();
    EXPECT_FALSE(GameData_ReadFile(c.path.c_str())) << c.path;
    EXPECT_NE(m_console.Text().find(c.reason), std::string::npos) << c.path << ": " << m_console.Text();
  }

  // A sparse file of 1 GB, as junk and as a FORM whose size word is one short.
  const std::string junk = dir.file("junk.win");
  for (const char* start : {"JUNKJUNK", "FORM\xF7\xFF\xFF\x3F"}) {
    {
      std::ofstream out(junk, std::ios::binary | std::ios::trunc);
      out.write(start, 8);
    }
    std::filesystem::resize_file(junk, 1ull << 30);
    const uint64_t before = BytesRead();
    m_console.Clear();
    EXPECT_FALSE(GameData_ReadFile(junk.c_str()));
    EXPECT_LT(BytesRead() - before, 1u << 20);
    EXPECT_NE(m_console.Text().find(start[0] == 'J' ? "not a FORM container" : "does not match its length"),
              std::string::npos)
        << m_console.Text();
  }
}

}  // namespace
}  // namespace gamedatatest
