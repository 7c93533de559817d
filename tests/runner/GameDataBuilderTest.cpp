// The game-data builder itself: container and chunk layout, labels and names, reference chains,
// the header and option layouts, and that each corrupted variant changes exactly what it says.
#include <gtest/gtest.h>

#include <cstring>

#include "testlib/GameDataBuilder.h"
#include "testlib/TestHelpers.h"

namespace testsupport {
namespace {

struct ChunkAt {
  std::string tag;
  uint32_t base;  // payload offset in the file
  uint32_t size;
};

uint32_t Word(const std::vector<uint8_t>& b, uint64_t at) {
  EXPECT_LE(at + 4, b.size());
  if (at + 4 > b.size()) return 0;
  uint32_t v;
  std::memcpy(&v, &b[at], 4);
  return v;
}

int16_t Half(const std::vector<uint8_t>& b, uint64_t at) {
  int16_t v;
  std::memcpy(&v, &b[at], 2);
  return v;
}

// Walks the chunks as a reader would, stopping at the end of the file.
std::vector<ChunkAt> Walk(const std::vector<uint8_t>& b) {
  std::vector<ChunkAt> out;
  uint64_t pos = 8;
  while (pos + 8 <= b.size()) {
    const uint32_t size = Word(b, pos + 4);
    out.push_back({std::string(reinterpret_cast<const char*>(&b[pos]), 4), static_cast<uint32_t>(pos + 8), size});
    pos += 8 + uint64_t{size};
  }
  return out;
}

std::string TextAt(const std::vector<uint8_t>& b, uint32_t offset) {
  return std::string(reinterpret_cast<const char*>(&b[offset]));
}

// Byte offsets at which two files differ (over the shorter length).
std::vector<size_t> Diff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  std::vector<size_t> out;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    if (a[i] != b[i]) out.push_back(i);
  }
  return out;
}

// A file with one of each chunk the builder writes.
void FillGame(GameDataBuilder& g) {
  GameHeader h;
  h.roomOrder = {2, 0, 1};
  GameOptions o;
  o.constants = {{"VersionMajor", "3"}, {"Colour", "c_red"}};
  g.Gen8(h).OptnNew(o).Raw("EMPT").Raw("SOND", {1, 2, 3});
  g.Code({{"script_a", CodeWriter{}.Word(0x11).VarRef(0xC0000000, "a", 5).Word(0x22).VarRef(0xC1000000, "b")},
          CodeEntry::Empty(),
          {"enemy_create", CodeWriter{}.VarRef(0xC2000000, "a", 7).FuncRef(0xD9000000, "script_execute")}});
  g.Vari().Func();
  g.Tpag({{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0}, {0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1}});
  g.Txtr({{1, {0x89, 'P', 'N', 'G'}}, {0, {}}});
  g.Strg({"extra"});
}

TEST(GameDataBuilder, ContainerLaysChunksOutInCallOrderWithTheirSizes) {
  GameDataBuilder g;
  FillGame(g);
  const std::vector<uint8_t> b = g.Build();
  ASSERT_GE(b.size(), 8u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data()), 4), "FORM");
  EXPECT_EQ(Word(b, 4), b.size() - 8);

  const std::vector<ChunkAt> chunks = Walk(b);
  std::vector<std::string> tags;
  for (const ChunkAt& c : chunks) tags.push_back(c.tag);
  EXPECT_EQ(tags, (std::vector<std::string>{"GEN8", "OPTN", "EMPT", "SOND", "CODE", "VARI", "FUNC", "TPAG",
                                            "TXTR", "STRG"}));
  ASSERT_EQ(chunks.size(), 10u);
  EXPECT_EQ(chunks.back().base + chunks.back().size, b.size());  // the walk ends at the end
  EXPECT_EQ(chunks[0].size, (32u + 1 + 3) * 4);                  // version 14: count at word 32
  EXPECT_EQ(chunks[1].size, 64u + 2 * 8);
  EXPECT_EQ(chunks[2].size, 0u);
  EXPECT_EQ(chunks[3].size, 3u);
  EXPECT_EQ(chunks[5].size, 2u * 12);  // "a", "b"
  EXPECT_EQ(chunks[6].size, 1u * 12);
  EXPECT_EQ(chunks[7].size, 4u + 2 * 4 + 2 * 22);
  EXPECT_EQ(chunks[8].size, 4u + 2 * 4 + 2 * 8 + 4);

  // Chunks the builder lays out are padded to 4 bytes; raw ones are not.
  GameDataBuilder odd;
  odd.Raw("ODD ", {1}).Tpag({{}}).Strg({"abc"});
  const std::vector<ChunkAt> oc = Walk(odd.Build());
  EXPECT_EQ(oc[0].size, 1u);
  EXPECT_EQ(oc[1].size, 4u + 4 + 24);
  EXPECT_EQ(oc[2].size, 4u + 4 + 8);

  // Building twice gives the same bytes, and WriteFile writes them.
  EXPECT_EQ(g.Build(), b);
  TempDir dir;
  ASSERT_TRUE(g.WriteFile(dir.file("game.win")));
  const std::string written = ReadFile(dir.file("game.win"));
  EXPECT_EQ(std::vector<uint8_t>(written.begin(), written.end()), b);
}

TEST(GameDataBuilder, NamesAndLabelsResolveToTheirPlaces) {
  // A forward reference from a chunk to a label of a later one, and a name from a custom chunk.
  {
    GameDataBuilder g;
    g.Chunk("FRST", [](ByteWriter& w) { w.U32(7).Offset("mark", 2).Name("custom"); });
    g.Chunk("LATE", [](ByteWriter& w) { w.U16(0).Label("mark").U32(0xABCD); });
    g.Strg();
    const BuiltGameData built = g.BuildWithLabels();
    const std::vector<ChunkAt> c = Walk(built.bytes);
    EXPECT_EQ(built.At("mark"), c[1].base + 2);
    EXPECT_EQ(Word(built.bytes, c[0].base + 4), c[1].base + 4);
    EXPECT_EQ(TextAt(built.bytes, Word(built.bytes, c[0].base + 8)), "custom");
  }

  // The debug companion's tables: offsets to line tables and to source records.
  {
    GameDataBuilder d;
    d.Dbgi({{1, 2}, {}}).DebugSources({std::nullopt, "x = 1;"}).Strg();
    const BuiltGameData built = d.BuildWithLabels();
    const std::vector<uint8_t>& b = built.bytes;
    const std::vector<ChunkAt> c = Walk(b);
    EXPECT_EQ(c[1].tag, "SCPT");
    EXPECT_EQ(Word(b, c[0].base), 2u);
    EXPECT_EQ(Word(b, c[0].base + 4), built.At("dbgi#0"));
    EXPECT_EQ(Word(b, c[0].base + 8), 0u);
    EXPECT_EQ(Word(b, built.At("dbgi#0")), 2u);
    EXPECT_EQ(Word(b, built.At("dbgi#0") + 8), 2u);
    EXPECT_EQ(Word(b, c[1].base + 4), 0u);
    EXPECT_EQ(TextAt(b, Word(b, Word(b, c[1].base + 8))), "x = 1;");
  }

  GameDataBuilder h;
  FillGame(h);
  const BuiltGameData built = h.BuildWithLabels();
  const std::vector<uint8_t>& b = built.bytes;
  const std::vector<ChunkAt> c = Walk(b);
  const ChunkAt gen8 = c[0], code = c[4], tpag = c[7], txtr = c[8], strg = c[9];

  // Header names point at the text; the length word sits just before it.
  const uint32_t name = Word(b, gen8.base + 4);
  EXPECT_EQ(TextAt(b, name), "Game");
  EXPECT_EQ(Word(b, name - 4), 4u);
  EXPECT_EQ(TextAt(b, Word(b, gen8.base + 8)), "Default");
  EXPECT_EQ(TextAt(b, Word(b, gen8.base + 40)), "Project");
  EXPECT_EQ(TextAt(b, Word(b, gen8.base + 100)), "Game");  // the same string, once

  // The string chunk's entries point at length words, in the order first used.
  const uint32_t count = Word(b, strg.base);
  ASSERT_EQ(count, static_cast<uint32_t>(h.StringIndex("extra")) + 1);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t entry = Word(b, strg.base + 4 + 4 * i);
    EXPECT_EQ(entry, built.At("str#" + std::to_string(i)));
    EXPECT_EQ(b[entry + 4 + Word(b, entry)], 0);  // NUL-terminated after its length
  }
  EXPECT_EQ(TextAt(b, Word(b, strg.base + 4 + 4 * h.StringIndex("VersionMajor")) + 4), "VersionMajor");

  // Code: a table with an empty slot, entries with name, length and their words.
  EXPECT_EQ(Word(b, code.base), 3u);
  EXPECT_EQ(Word(b, code.base + 8), 0u);
  const uint32_t entry0 = Word(b, code.base + 4);
  EXPECT_EQ(entry0, built.At("code#0"));
  EXPECT_EQ(TextAt(b, Word(b, entry0)), "script_a");
  EXPECT_EQ(Word(b, entry0 + 4), 24u);
  EXPECT_EQ(Word(b, entry0 + 8), 0x11u);
  EXPECT_EQ(built.At("code#0:end"), entry0 + 8 + 24);
  const uint32_t entry2 = Word(b, code.base + 12);
  EXPECT_EQ(entry2, built.At("code#0:end"));  // entries follow each other

  // Texture pages: eleven signed 16-bit fields each.
  const uint32_t page1 = Word(b, tpag.base + 8);
  EXPECT_EQ(page1, built.At("tpag#1"));
  EXPECT_EQ(Half(b, Word(b, tpag.base + 4) + 18), 10);
  EXPECT_EQ(Half(b, page1 + 20), 1);

  // Textures: flags and an offset to the image bytes, 0 for none.
  const uint32_t tex0 = Word(b, txtr.base + 4);
  EXPECT_EQ(Word(b, tex0), 1u);
  EXPECT_EQ(b[Word(b, tex0 + 4) + 1], 'P');
  EXPECT_EQ(Word(b, Word(b, txtr.base + 8) + 4), 0u);
}

TEST(GameDataBuilder, ReferenceChainsThreadThroughTheCode) {
  GameDataBuilder g;
  FillGame(g);
  const BuiltGameData built = g.BuildWithLabels();
  const std::vector<uint8_t>& b = built.bytes;
  const std::vector<ChunkAt> c = Walk(b);
  const ChunkAt vari = c[5], func = c[6];

  // "a": written at vref#0 (top bits 5) and vref#2 (top bits 7); "b" once.
  EXPECT_EQ(TextAt(b, Word(b, vari.base)), "a");
  EXPECT_EQ(Word(b, vari.base + 4), 2u);
  EXPECT_EQ(Word(b, vari.base + 8), built.At("vref#0"));
  const uint32_t first = built.At("vref#0"), second = built.At("vref#2");
  EXPECT_EQ(Word(b, first), 0xC0000000u);  // the instruction itself is untouched
  EXPECT_EQ(Word(b, first + 4), (5u << 29) | (second - first));
  EXPECT_EQ(Word(b, second + 4), 7u << 29);  // the last link's distance is 0
  EXPECT_EQ(TextAt(b, Word(b, vari.base + 12)), "b");
  EXPECT_EQ(Word(b, vari.base + 16), 1u);
  EXPECT_EQ(Word(b, vari.base + 20), built.At("vref#1"));

  EXPECT_EQ(TextAt(b, Word(b, func.base)), "script_execute");
  EXPECT_EQ(Word(b, func.base + 4), 1u);
  EXPECT_EQ(Word(b, func.base + 8), built.At("fref#3"));

  // Chain orders make a chain run backwards: distances are negative, a variable's in 29 bits.
  GameDataBuilder back;
  back.Code({{"e", CodeWriter{}
                       .VarRef(1, "v", 7, 1)
                       .Word(0)
                       .VarRef(2, "v", 0, 0)
                       .FuncRef(3, "f", 1)
                       .Word(0)
                       .Word(0)
                       .FuncRef(4, "f", 0)}});
  back.Vari(std::vector<std::string>{"unused", "v"}).Func().Strg();
  const BuiltGameData rb = back.BuildWithLabels();
  const uint32_t v0 = rb.At("vref#0"), v1 = rb.At("vref#1");
  EXPECT_EQ(v1, v0 + 12);
  const ChunkAt rvari = Walk(rb.bytes)[1];
  EXPECT_EQ(Word(rb.bytes, rvari.base + 4), 0u);  // a name with no references: count 0, offset 0
  EXPECT_EQ(Word(rb.bytes, rvari.base + 8), 0u);
  EXPECT_EQ(Word(rb.bytes, rvari.base + 20), v1);  // the chain starts at the lower order
  EXPECT_EQ(Word(rb.bytes, v1 + 4), 0x1FFFFFF4u);  // -12 in 29 bits, top bits 0
  EXPECT_EQ(Word(rb.bytes, v0 + 4), 7u << 29);     // the last link
  const uint32_t f0 = rb.At("fref#2"), f1 = rb.At("fref#3");
  EXPECT_EQ(Word(rb.bytes, f1 + 4), static_cast<uint32_t>(-16));
  EXPECT_EQ(Word(rb.bytes, f0 + 4), 0u);
}

TEST(GameDataBuilder, HeaderPlacesTheRoomOrderByVersion) {
  const struct {
    int version;
    int countWord;
  } cases[] = {{7, 9}, {8, 25}, {9, 25}, {10, 26}, {11, 28}, {12, 30}, {13, 31}, {14, 32}, {15, 25}};
  for (const auto& tc : cases) {
    SCOPED_TRACE(tc.version);
    GameHeader h;
    h.version = static_cast<uint8_t>(tc.version);
    h.gameId = 77;
    h.roomOrder = {4, 5};
    GameDataBuilder g;
    g.Gen8(h).Strg();
    EXPECT_EQ(g.HeaderVersion(), tc.version);
    const std::vector<uint8_t> b = g.Build();
    const ChunkAt gen8 = Walk(b)[0];
    EXPECT_EQ(gen8.size, static_cast<uint32_t>(tc.countWord + 3) * 4);
    EXPECT_EQ(b[gen8.base + 0], 1);
    EXPECT_EQ(b[gen8.base + 1], tc.version);
    EXPECT_EQ(Word(b, gen8.base + 20), 77u);
    EXPECT_EQ(Word(b, gen8.base + 4 * tc.countWord), 2u);
    EXPECT_EQ(Word(b, gen8.base + 4 * tc.countWord + 4), 4u);
    EXPECT_EQ(Word(b, gen8.base + 4 * tc.countWord + 8), 5u);
    if (tc.countWord > 17) {
      EXPECT_EQ(Word(b, gen8.base + 60), 800u);
    }
    if (tc.countWord > 25) {
      EXPECT_EQ(TextAt(b, Word(b, gen8.base + 100)), "Game");
    }
    if (tc.countWord > 31) {
      EXPECT_EQ(Word(b, gen8.base + 124), 6502u);
    }
  }

  // Raw words go over the layout, a name word included, and grow the payload.
  GameHeader h;
  h.version = 7;
  h.words = {{1, 0}, {17, 0x3000}};
  GameDataBuilder g;
  g.Gen8(h).Strg();
  const std::vector<uint8_t> b = g.Build();
  const ChunkAt gen8 = Walk(b)[0];
  EXPECT_EQ(gen8.size, 18u * 4);
  EXPECT_EQ(Word(b, gen8.base + 4), 0u);
  EXPECT_EQ(Word(b, gen8.base + 68), 0x3000u);
}

TEST(GameDataBuilder, OptionsInBothLayouts) {
  GameOptions o;
  o.fullScreen = true;
  o.freezeInactive = true;
  o.windowColour = 0x123456;
  o.extraBits = 0x800000;
  o.constants = {{"VersionMinor", "7b"}, {std::nullopt, "x"}};

  GameDataBuilder n;
  n.OptnNew(o).Strg();
  const BuiltGameData nb = n.BuildWithLabels();
  const ChunkAt optn = Walk(nb.bytes)[0];
  EXPECT_EQ(Word(nb.bytes, optn.base), 0x80000000u);
  EXPECT_EQ(Word(nb.bytes, optn.base + 4), 2u);
  EXPECT_EQ(Word(nb.bytes, optn.base + 8), 0x1u | 0x10 | 0x200 | 0x8000 | 0x800000);
  EXPECT_EQ(Word(nb.bytes, optn.base + 20), 0x123456u);
  EXPECT_EQ(Word(nb.bytes, optn.base + 60), 2u);
  EXPECT_EQ(TextAt(nb.bytes, Word(nb.bytes, optn.base + 64)), "VersionMinor");
  EXPECT_EQ(TextAt(nb.bytes, Word(nb.bytes, optn.base + 68)), "7b");
  EXPECT_EQ(Word(nb.bytes, optn.base + 72), 0u);  // no name
  EXPECT_EQ(optn.size, 64u + 16);

  // The old layout: one word per option; word 136 only from header version 5 on.
  for (int version : {14, 4}) {
    SCOPED_TRACE(version);
    GameHeader h;
    h.version = static_cast<uint8_t>(version);
    GameDataBuilder g;
    g.Gen8(h).OptnOld(o).Strg();
    const std::vector<uint8_t> b = g.Build();
    const ChunkAt old = Walk(b)[1];
    const uint32_t countAt = version >= 5 ? 140 : 136;
    EXPECT_EQ(Word(b, old.base + 0), 1u);
    EXPECT_EQ(Word(b, old.base + 8), 0u);
    EXPECT_EQ(Word(b, old.base + 16), 1u);
    EXPECT_EQ(Word(b, old.base + 32), 0x123456u);
    EXPECT_EQ(Word(b, old.base + 60), 1u);
    EXPECT_EQ(Word(b, old.base + 88), 1u);
    EXPECT_EQ(Word(b, old.base + countAt), 2u);
    EXPECT_EQ(TextAt(b, Word(b, old.base + countAt + 8)), "7b");
    EXPECT_EQ(Word(b, old.base + countAt + 12), 0u);
    EXPECT_EQ(TextAt(b, Word(b, old.base + countAt + 16)), "x");
    EXPECT_EQ(old.size, countAt + 4 + 16);
  }
}

// Each corruption against the valid file: which words change and to what.
TEST(GameDataBuilder, CorruptedVariantsChangeExactlyWhatTheySay) {
  GameDataBuilder g;
  FillGame(g);
  const BuiltGameData valid = g.BuildWithLabels();
  const std::vector<uint8_t>& v = valid.bytes;
  const std::vector<ChunkAt> c = Walk(v);
  const ChunkAt gen8 = c[0], optn = c[1], code = c[4], vari = c[5], tpag = c[7], strg = c[9];

  // Corruptions made in place: the same length, only the named word differs.
  const uint32_t codeEntry0 = Word(v, code.base + 4);
  const uint32_t lastA = valid.At("vref#2");
  const struct {
    const char* what;
    Corruption corruption;
    std::vector<std::pair<uint32_t, uint32_t>> words;  // offset and new value of each changed word
  } inPlace[] = {
      {"form size", corrupt::FormSizeOffByOne(), {{4, static_cast<uint32_t>(v.size() - 7)}}},
      {"chunk past end", corrupt::ChunkPastEnd("GEN8"),
       {{gen8.base - 4, static_cast<uint32_t>(v.size() - gen8.base + 1)}}},
      {"last chunk past end", corrupt::ChunkPastEnd(), {{strg.base - 4, strg.size + 1}}},
      {"table count", corrupt::CountTooLarge("TPAG"), {{tpag.base, (tpag.size - 4) / 4 + 1}}},
      {"code length", corrupt::CountTooLarge("CODE", -1, 1),
       {{codeEntry0 + 4, code.base + code.size - (codeEntry0 + 8) + 1}}},
      {"option constants", corrupt::OptionConstantCount(0x7FFFFFFF), {{optn.base + 60, 0x7FFFFFFFu}}},
      {"offset outside", corrupt::OffsetOutsideImage("CODE"), {{code.base + 4, static_cast<uint32_t>(v.size())}}},
      {"name offset", corrupt::SetOffset("VARI", 0, 0), {{vari.base, 0u}}},
      {"chain", corrupt::ChainLeavesCodeEntry("a"),
       {{vari.base + 4, 3u}, {lastA + 4, (7u << 29) | (valid.At("code#2:end") - lastA)}}},
  };
  for (const auto& tc : inPlace) {
    SCOPED_TRACE(tc.what);
    const std::vector<uint8_t> b = g.Build({tc.corruption});
    ASSERT_EQ(b.size(), v.size());
    for (size_t at : Diff(v, b)) {
      bool expected = false;
      for (const auto& [w, value] : tc.words) expected = expected || (at >= w && at < w + 4);
      EXPECT_TRUE(expected) << "byte " << at << " changed";
    }
    for (const auto& [at, value] : tc.words) EXPECT_EQ(Word(b, at), value) << "word at " << at;
  }

  // A name without its terminator: moved to the end of the string chunk, the last byte of the
  // file, with no NUL after its length's worth of text.
  {
    const BuiltGameData nb = g.BuildWithLabels({corrupt::NameWithoutTerminator("enemy_create")});
    const std::vector<uint8_t>& b = nb.bytes;
    const uint32_t at = nb.At("str#" + std::to_string(g.StringIndex("enemy_create")));
    EXPECT_EQ(Word(b, at), 12u);
    EXPECT_EQ(at + 4 + 12 + 1, b.size());
    EXPECT_EQ(b.back(), '!');
    EXPECT_EQ(std::memcmp(&b[at + 4], "enemy_create", 12), 0);
    EXPECT_EQ(Word(b, Word(b, code.base + 12)), at + 4);  // the code entry's name still points at it
  }

  // A VARI of 13 bytes: one whole entry and one byte of the next.
  {
    const std::vector<uint8_t> b = g.Build({corrupt::PayloadSize("VARI", 13)});
    const std::vector<ChunkAt> cc = Walk(b);
    EXPECT_EQ(cc[5].tag, "VARI");
    EXPECT_EQ(cc[5].size, 13u);
    EXPECT_EQ(b.size(), v.size() - 11);
    EXPECT_EQ(TextAt(b, Word(b, cc[5].base)), "a");  // the strings after it moved, still found
    EXPECT_EQ(std::memcmp(&b[cc[5].base + 4], &v[vari.base + 4], 8), 0);  // count, first reference
    EXPECT_EQ(cc.back().base + cc.back().size, b.size());
  }

  // A duplicate header: a second, identical copy right after the first.
  {
    const std::vector<uint8_t> b = g.Build({corrupt::DuplicateChunk("GEN8")});
    const std::vector<ChunkAt> cc = Walk(b);
    ASSERT_EQ(cc.size(), c.size() + 1);
    EXPECT_EQ(cc[0].tag, "GEN8");
    EXPECT_EQ(cc[1].tag, "GEN8");
    EXPECT_EQ(cc[1].size, gen8.size);
    EXPECT_EQ(std::memcmp(&b[cc[0].base], &b[cc[1].base], gen8.size), 0);
    EXPECT_EQ(Word(b, 4), b.size() - 8);
  }
}

TEST(GameDataBuilder, RefusesWhatItCannotLayOut) {
  {
    GameDataBuilder g;
    g.Chunk("TEST", [](ByteWriter& w) { w.Offset("nowhere"); });
    EXPECT_THROW(g.Build(), std::logic_error);
  }
  {
    GameDataBuilder g;
    g.Gen8();  // names, and no string chunk for them
    EXPECT_THROW(g.Build(), std::logic_error);
  }
  {
    GameDataBuilder g;
    g.Strg().Gen8();
    EXPECT_NO_THROW(g.Build());
    EXPECT_THROW(g.Build({corrupt::NameWithoutTerminator("Game")}), std::logic_error);
    EXPECT_THROW(g.Build({corrupt::CountTooLarge("OPTN")}), std::logic_error);
    EXPECT_THROW(g.Build({corrupt::ChainLeavesCodeEntry("x")}), std::logic_error);
  }
  EXPECT_THROW(GameDataBuilder().Raw("TOOLONG"), std::logic_error);
}

}  // namespace
}  // namespace testsupport
