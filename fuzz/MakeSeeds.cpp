// Writes the fuzz harness's seed corpus into a folder: valid game data files made by the test
// game-data builder (every header version, both option layouts, code with its reference chains,
// strings, texture pages and textures, the chunks of later subsystems) and a few corrupted
// variants of the full file.
#include <cstdio>
#include <string>
#include <vector>

#include "testlib/GameDataBuilder.h"

using namespace testsupport;

namespace {

// A 1x1 RGBA image.
const std::vector<uint8_t> kTinyPng = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4,
    0x89, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x00, 0x01, 0x00, 0x00,
    0x05, 0x00, 0x01, 0x0D, 0x0A, 0x2D, 0xB4, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE,
    0x42, 0x60, 0x82};

// An empty common resource table, for the chunks whose readers come later.
std::vector<uint8_t> EmptyTable() { return {0, 0, 0, 0}; }

// A whole game: every chunk kind, in the order a file places them.
void FullGame(GameDataBuilder& g, bool newOptions, bool stringsLast) {
  GameHeader h;
  h.roomOrder = {0};
  g.Gen8(h);
  GameOptions o;
  o.constants = {{"VersionMajor", "1"}, {"VersionMinor", "7b"}, {"c_level", "3"}};
  if (newOptions) {
    g.OptnNew(o);
  } else {
    g.OptnOld(o);
  }
  for (const char* tag : {"EXTN", "SOND", "AGRP", "SPRT", "BGND", "PATH", "SCPT", "SHDR", "FONT",
                          "TMLN", "OBJT", "ROOM"}) {
    g.Raw(tag, EmptyTable());
  }
  g.Raw("DAFL");
  g.Tpag({{0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 0}, {0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1}, {0, 0, 1, 1, 0, 0, 1, 1, 1, 1, -1}});
  g.Code({{"main", CodeWriter{}
                                  .VarRef(0xC0500000, "score", 1)
                                  .Word(0x84000001)
                                  .VarRef(0x45500000, "x", 0)
                                  .FuncRef(0xD9020000, "script_execute")
                                  .Word(0x9C000000)},
          CodeEntry::Empty(),
          {"obj_step", CodeWriter{}.VarRef(0xC0500000, "score", 7).Word(0x9C000000)}});
  g.Vari().Func();
  if (!stringsLast) g.Strg({"Hello"});
  g.Txtr({{1, kTinyPng}, {0, {}}});
  g.Raw("AUDO", EmptyTable());
  if (stringsLast) g.Strg({"Hello"});
}

int written = 0;

bool Write(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.c_str());
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (ok) ++written;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = true;

  GameDataBuilder full;
  FullGame(full, true, false);
  ok &= Write(dir, "full-new-options", full.Build());
  GameDataBuilder old;
  FullGame(old, false, false);
  ok &= Write(dir, "full-old-options", old.Build());

  for (int version : {7, 8, 9, 10, 11, 12, 13, 14, 15}) {
    GameHeader h;
    h.version = static_cast<uint8_t>(version);
    h.roomOrder = {1, 0, 2};
    GameDataBuilder g;
    g.Gen8(h).OptnOld().Strg();
    ok &= Write(dir, "header-v" + std::to_string(version), g.Build());
  }

  GameDataBuilder unknown;
  unknown.Gen8().Raw("ABCD", {1, 2, 3, 4}).Strg();
  ok &= Write(dir, "unknown-chunk", unknown.Build());

  const std::vector<std::pair<std::string, Corruption>> variants = {
      {"form-size", corrupt::FormSizeOffByOne()},
      {"chunk-past-end", corrupt::ChunkPastEnd("TPAG")},
      {"code-count", corrupt::CountTooLarge("CODE")},
      {"code-length", corrupt::CountTooLarge("CODE", -1, 1)},
      {"tpag-count", corrupt::CountTooLarge("TPAG")},
      {"code-offset", corrupt::OffsetOutsideImage("CODE")},
      {"vari-13", corrupt::PayloadSize("VARI", 13)},
      {"chain", corrupt::ChainLeavesCodeEntry("score")},
      {"option-constants", corrupt::OptionConstantCount(0x7FFFFFFF)},
      {"duplicate-header", corrupt::DuplicateChunk("GEN8")},
  };
  for (const auto& [name, corruption] : variants) ok &= Write(dir, "bad-" + name, full.Build({corruption}));
  GameDataBuilder last;
  FullGame(last, true, true);
  ok &= Write(dir, "bad-unterminated", last.Build({corrupt::NameWithoutTerminator("Hello")}));

  std::printf("make_fuzz_seeds: %d files in %s\n", written, dir.c_str());
  return ok ? 0 : 1;
}
