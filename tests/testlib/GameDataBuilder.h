// Writes game data files for tests: the "FORM" container and its chunks, laid out in the order
// the chunk methods are called, with every offset inside the file resolved through labels, and
// corrupted variants of the same file on request. No binary game files are kept in the tree;
// every test that needs one builds it here.
//
// How it fits together:
// - ByteWriter: a little-endian byte buffer. Label(name) names the current position; Offset(name)
//   writes a 32-bit word that becomes the image offset of that label once the file is laid out
//   (forward references are fine). Labels are global to the file.
// - GameDataBuilder: one method per chunk. Each records the chunk's payload (a ByteWriter); the
//   string chunk ("STRG") and the variable and function chunks ("VARI", "FUNC") are generated
//   when the file is built, from every name and reference the other chunks used, so chunk
//   methods may be called in file order whatever refers to what.
// - Build(corruptions) lays the chunks out, resolves the labels and applies the corruptions.
//   The builder is not changed by a build: one builder gives the valid file and each variant.
//
// Alignment: the chunks the builder lays out itself are whole 32-bit words (texture pages,
// textures and strings are padded with zeros), so that a file made of them keeps every chunk, and
// so every code entry, 4-byte aligned. Raw chunks are as given.
//
// Names: a resource name is an offset to the first character of a string whose 32-bit length
// word sits just before it; the string chunk's entries point at the length words. Every name a
// chunk uses goes into the string chunk once, in the order first used (its index there is
// StringIndex(text)). A file that uses names must have a string chunk.
//
// Labels made by the builder (use any name without '#' for your own):
//   "str#I"      the length word of string I (the text is 4 bytes on)
//   "code#I"     code entry I; "code#I:end" the byte after its instructions
//   "tpag#I"     texture-page entry I
//   "txtr#I"     texture entry I; "txtr#I:data" its image bytes
//   "vref#K", "fref#K"  the K-th variable / function referring instruction written
//   "vari#NAME", "func#NAME"  the entry of NAME in the variable / function chunk
//   "dbgi#I", "dsrc#I"  the debug companion's line table / source record of code entry I
//
// Extending it for a new chunk: add a method that fills a ByteWriter (Name(), Offset(), Table(),
// Count() and Label() cover the usual fields) and hands it to AddChunk(tag, writer).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class StringPool;

// A little-endian byte buffer with labels and 32-bit references resolved at layout.
class ByteWriter {
 public:
  // A word to patch once label addresses are known:
  //   value = (old & keepMask) | ((addr(label) + addend - addr(base)) & ~keepMask),
  // with addr(base) taken as 0 when `base` is empty (an absolute image offset).
  struct Fixup {
    size_t at;
    std::string label;
    std::string base;
    int64_t addend;
    uint32_t keepMask;
  };
  // A count word and the size of one of the records it counts (the records run to the end of
  // the payload); used by the "count larger than its payload" corruption.
  struct CountSite {
    size_t at;
    uint32_t recordSize;
  };

  ByteWriter() = default;
  explicit ByteWriter(StringPool* pool) : m_pool(pool) {}

  size_t Size() const { return m_bytes.size(); }
  const std::vector<uint8_t>& Bytes() const { return m_bytes; }

  ByteWriter& U8(uint8_t v);
  ByteWriter& U16(uint16_t v);
  ByteWriter& I16(int16_t v);
  ByteWriter& U32(uint32_t v);
  ByteWriter& I32(int32_t v);
  ByteWriter& U64(uint64_t v);
  ByteWriter& F64(double v);
  ByteWriter& Raw(const void* data, size_t size);
  ByteWriter& Raw(const std::vector<uint8_t>& data) { return Raw(data.data(), data.size()); }
  ByteWriter& Zeros(size_t count);
  // The length word, the bytes and a NUL.
  ByteWriter& String(const std::string& text);

  // Names the current position, or a position already written.
  ByteWriter& Label(const std::string& name);
  ByteWriter& LabelAt(const std::string& name, size_t at);
  // A word holding the image offset of `label` plus `addend`.
  ByteWriter& Offset(const std::string& label, int64_t addend = 0);
  // A name offset: the text is added to the file's string chunk and the word points at its
  // first character. Needs a writer made by the builder (it owns the strings).
  ByteWriter& Name(const std::string& text);
  // A name offset, or 0 (none) when there is no text.
  ByteWriter& NameOrNone(const std::optional<std::string>& text);
  // The common resource table: a count, then one offset per label; an empty label is an empty
  // slot (offset 0).
  ByteWriter& Table(const std::vector<std::string>& labels);
  // A count word (recorded as a count site).
  ByteWriter& Count(uint32_t count, uint32_t recordSize);

  // Overwrites a word (growing the buffer when needed); a reference written there is dropped.
  void PutU32(size_t at, uint32_t v);
  uint32_t GetU32(size_t at) const;
  // Cuts or zero-extends the buffer; labels, fixups and sites beyond the new end are dropped.
  void Resize(size_t size);
  // Appends another writer's bytes with its labels, fixups and sites.
  void Append(const ByteWriter& other);
  // Adds a patch by hand (see Fixup).
  void AddFixup(Fixup fixup) { m_fixups.push_back(std::move(fixup)); }

  const std::vector<std::pair<std::string, size_t>>& Labels() const { return m_labels; }
  const std::vector<Fixup>& Fixups() const { return m_fixups; }
  const std::vector<CountSite>& CountSites() const { return m_counts; }
  // Positions of the words written by Offset/Name/Table (non-empty slots), in writing order.
  const std::vector<size_t>& OffsetSites() const { return m_offsetSites; }

 private:
  std::vector<uint8_t> m_bytes;
  std::vector<std::pair<std::string, size_t>> m_labels;
  std::vector<Fixup> m_fixups;
  std::vector<CountSite> m_counts;
  std::vector<size_t> m_offsetSites;
  StringPool* m_pool = nullptr;
};

// The file's strings, in the order first used.
class StringPool {
 public:
  // The index of `text`, added when new.
  int32_t Intern(const std::string& text);
  // The index of `text`, or -1.
  int32_t Find(const std::string& text) const;
  const std::vector<std::string>& Texts() const { return m_texts; }
  static std::string LabelOf(int32_t index) { return "str#" + std::to_string(index); }

 private:
  std::vector<std::string> m_texts;
  std::map<std::string, int32_t> m_index;
};

// The instructions of one code entry. Words are written as given; VarRef and FuncRef write a
// referring instruction and its operand word, which the builder threads into the reference
// chain of the name: before binding, the operand holds the distance in bytes to the next
// referring instruction of the same name (variables: low 29 bits, under the top bits given;
// functions: the whole word). The last link's distance is 0.
class CodeWriter {
 public:
  struct Reference {
    bool function;
    std::string name;
    size_t at;          // the instruction word, from the first instruction
    uint32_t topBits;   // variables: the top three bits of the operand (0..7)
    int32_t chainOrder; // links are chained in this order; -1 = order of writing
  };

  CodeWriter() = default;
  CodeWriter(std::initializer_list<uint32_t> words) { Words(words); }

  CodeWriter& Word(uint32_t word);
  CodeWriter& Words(const std::vector<uint32_t>& words);
  CodeWriter& Words(std::initializer_list<uint32_t> words);
  CodeWriter& F64(double v);
  CodeWriter& Label(const std::string& name);
  CodeWriter& VarRef(uint32_t instruction, const std::string& name, uint32_t topBits = 0,
                     int32_t chainOrder = -1);
  CodeWriter& FuncRef(uint32_t instruction, const std::string& name, int32_t chainOrder = -1);

  size_t Size() const { return m_bytes.Size(); }
  const ByteWriter& Bytes() const { return m_bytes; }
  const std::vector<Reference>& References() const { return m_refs; }

 private:
  ByteWriter m_bytes;
  std::vector<Reference> m_refs;
};

// One slot of the code chunk. `present` false leaves the slot empty (offset 0).
struct CodeEntry {
  std::string name;
  CodeWriter code;
  bool present = true;
  static CodeEntry Empty() { return CodeEntry{"", {}, false}; }
};

// The header chunk's fields. Word n lies at payload offset 4n; which words exist depends on the
// version: the room order (count, then indices) starts at the version's count word, and only
// the fields below that word are written.
struct GameHeader {
  uint8_t debugFlags = 1;  // bit 0: built without debugging
  uint8_t version = 14;
  std::optional<std::string> name = "Game";             // word 1 (none writes offset 0)
  std::optional<std::string> config = "Default";        // word 2
  int32_t lastInstanceId = 100000;         // word 3
  int32_t lastTileId = 10000000;           // word 4
  int32_t gameId = 0;                      // word 5
  std::optional<std::string> projectName = "Project";   // word 10
  int32_t windowWidth = 800;               // word 15 (version 8 on)
  int32_t windowHeight = 480;              // word 16
  uint32_t optionBits = 2;                 // word 17
  std::optional<std::string> displayName = "Game";      // word 25 (version 10 on)
  uint64_t words26to27 = 0;                // version 11 on
  uint64_t platformMask = ~uint64_t{0};    // words 28-29 (version 12 on)
  uint32_t steamAppId = 0;                 // word 30 (version 13 on)
  int32_t debuggerPort = 6502;             // word 31 (version 14 on)
  std::vector<int32_t> roomOrder;
  // Raw words written last, over whatever the layout put there (the payload grows to hold
  // them; gaps are 0).
  std::map<int, uint32_t> words;

  // The word that holds the room-order count for a header version.
  static int RoomOrderWord(int version);
};

// The options chunk, for both layouts.
struct GameOptions {
  bool fullScreen = false;
  bool newAudio = false;
  bool cursorShown = true;
  int32_t windowColour = 0xFFFFFF;
  bool changeDisplayMode = false;
  int32_t colourDepth = 0;
  int32_t resolution = 0;
  int32_t frequency = 0;
  bool altEnter = true;
  bool freezeInactive = false;
  bool errorsAbort = false;
  bool uninitialisedVariables = false;
  // Constants in file order: name and value texts; no text writes offset 0.
  std::vector<std::pair<std::optional<std::string>, std::optional<std::string>>> constants;

  // New layout only: the leading negative word, the layout number and further bits ORed in.
  int32_t marker = INT32_MIN;
  int32_t layoutNumber = 2;
  uint64_t extraBits = 0;
  // Old layout only: the word written for each true option (any non-zero value counts).
  uint32_t trueWord = 1;
};

// One texture-page entry: eleven signed 16-bit fields.
struct TPageEntryFields {
  int16_t x = 0, y = 0, width = 0, height = 0;
  int16_t xOffset = 0, yOffset = 0, cropWidth = 0, cropHeight = 0;
  int16_t frameWidth = 0, frameHeight = 0;
  int16_t page = 0;
};

struct TextureEntry {
  uint32_t flags = 0;
  std::vector<uint8_t> image;  // the compressed image bytes; empty writes offset 0
};

// The code of one handler (an object event or a time-line moment). Its event entry is three words:
// the event number (objects; 0 for moments), an action count of 1 and the offset of the action
// record, sixteen words with the code index in word 8 and the offset of the source text in word
// 15. With `text` the text is written (and the code index word is 0), else the code index;
// `action` false writes an action offset of 0.
struct ActionCode {
  std::optional<std::string> text;
  int32_t codeIndex = 0;
  bool action = true;
};

struct ObjectEvent {
  int32_t number = 0;
  ActionCode code;
};

// One object entry; the physics block is written from header version 6 on (friction, awake and
// kinematic from version 9 on), laid out by the last header written.
struct ObjectEntry {
  std::optional<std::string> name;
  int32_t spriteWord = -1;
  bool visible = true;
  bool solid = false;
  int32_t depth = 0;
  bool persistent = false;
  int32_t parent = -1;
  int32_t mask = -1;
  bool physics = false;
  bool sensor = false;
  int32_t shape = 0;
  float density = 0.5f;
  float restitution = 0.1f;
  int32_t group = 0;
  float linearDamping = 0.1f;
  float angularDamping = 0.1f;
  float friction = 0.2f;
  bool awake = true;
  bool kinematic = false;
  std::vector<std::pair<float, float>> points;
  std::optional<int32_t> pointCount;  // the point count written; none: the number of points
  std::map<int32_t, std::vector<ObjectEvent>> events;  // by event kind
  uint32_t kindCount = 12;  // the event kinds stored (kinds past 11 get empty lists)
  bool present = true;
};

// One script entry: the offset of `text` when there is one, else the code index.
struct ScriptEntry {
  std::optional<std::string> name;
  std::optional<std::string> text;
  int32_t codeIndex = 0;
  bool present = true;
};

struct TimeLineMoment {
  int32_t time = 0;
  ActionCode code;
};

struct TimeLineEntry {
  std::optional<std::string> name;
  std::vector<TimeLineMoment> moments;
  std::optional<int32_t> momentCount;  // the count written; none: the number of moments
  bool present = true;
};

// One sprite entry. Bitmap sprites (kind 0 with a frame count of 0 or more) write one texture-page
// reference per frame and their masks, packed 8 pixels a byte with rows on byte boundaries; the
// other layout (frame count -1) writes the kind and its data: the vector block as given, or the
// skeleton's three lengths, page size and bytes. Count sites: the table's count, then per entry
// its frame count (4-byte records) and mask count (records of one packed mask), or the
// skeleton's JSON length (1-byte records).
struct SpriteEntry {
  std::optional<std::string> name;
  int32_t width = 1, height = 1;
  int32_t left = 0, right = 0, bottom = 0, top = 0;  // stored in this order
  uint32_t transparent = 1, smooth = 0, preload = 1;
  int32_t bboxMode = 0;
  uint32_t precise = 0;
  int32_t xOrigin = 0, yOrigin = 0;
  // Bitmap sprites: the texture-page entry of each frame (its index in the "TPAG" chunk, -1 for
  // offset 0) and the masks (width x height bytes, 0 free, anything else solid).
  std::vector<int32_t> frames;
  std::optional<int32_t> frameCount;  // the count written; none: the number of frames (or -1 for
                                      // kinds 1 and 2)
  std::vector<std::vector<uint8_t>> masks;
  std::optional<int32_t> maskCount;  // the count written; none: the number of masks
  // The frame count -1 layout.
  int32_t kind = 0;
  std::vector<uint8_t> vectorBlock;
  std::string json, atlas;
  std::vector<uint8_t> image;
  uint32_t pageWidth = 0, pageHeight = 0;
  bool present = true;
};

// One background entry: the name, three flags and the texture-page entry its image lies in
// (the label "tpag#I"; none writes offset 0).
struct BackgroundEntry {
  std::optional<std::string> name;
  bool transparent = false;
  bool smooth = false;
  bool preload = false;
  std::optional<int32_t> tpag;
  bool present = true;
};

// One path entry: name, kind, closed, precision, the point count and the points (x, y, speed as
// f32). Count sites: the table's count, then per entry its point count (12-byte records).
struct PathEntry {
  std::optional<std::string> name;
  int32_t kind = 0;
  int32_t closed = 1;
  int32_t precision = 4;
  struct Point {
    float x = 0, y = 0, speed = 100;
  };
  std::vector<Point> points;
  std::optional<int32_t> pointCount;  // the count written; none: the number of points
  bool present = true;
};

// One glyph record of a font: seven 16-bit fields.
struct FontGlyphFields {
  uint16_t character = 0;
  int16_t x = 0, y = 0, width = 0, height = 0, advance = 0, offset = 0;
};

// One font entry (label "font#I"; its glyph records "font#I:glyph#K"). `firstWord` is the whole
// word 20: the first character in its low 16 bits, the character set and antialiasing above.
// Count sites: the table's count, then per entry its glyph count (4-byte records).
struct FontEntry {
  std::optional<std::string> name;
  std::optional<std::string> faceName = std::string("Arial");
  int32_t size = 12;
  bool bold = false;
  bool italic = false;
  uint32_t firstWord = 32;
  int32_t last = 127;
  std::optional<int32_t> tpag;  // the texture-page entry of the glyph image (none: offset 0)
  float xscale = 1.0f, yscale = 1.0f;
  std::vector<FontGlyphFields> glyphs;  // written in this order
  std::optional<int32_t> glyphCount;    // the count written; none: the number of glyphs
  bool present = true;
};

// The records a room entry lists (ten, fourteen, nine and twelve words).
struct RoomBackgroundEntry {
  bool visible = false;
  bool foreground = false;
  int32_t index = -1;
  int32_t x = 0, y = 0;
  bool htiled = true, vtiled = true;
  int32_t hspeed = 0, vspeed = 0;
  bool stretch = false;
};

struct RoomViewEntry {
  bool visible = false;
  int32_t xview = 0, yview = 0, wview = 640, hview = 480;
  int32_t xport = 0, yport = 0, wport = 640, hport = 480;
  int32_t hborder = 32, vborder = 32, hspeed = -1, vspeed = -1, object = -1;
};

// An instance entry; its creation code word is the offset of `codeText` when there is one, else
// `codeWord` (a code index with a CODE chunk, -1 none; without one 0 is none).
struct RoomInstanceEntry {
  int32_t x = 0, y = 0, object = 0, id = 0;
  std::optional<std::string> codeText;
  int32_t codeWord = -1;
  float xscale = 1.0f, yscale = 1.0f;
  uint32_t colour = 0xFFFFFFFFu;
  float angle = 0.0f;
};

struct RoomTileEntry {
  int32_t x = 0, y = 0, background = 0, left = 0, top = 0, width = 16, height = 16, depth = 0, id = 0;
  float xscale = 1.0f, yscale = 1.0f;
  uint32_t colour = 0xFFFFFFFFu;
};

// One room entry (label "room#I"); its lists follow it ("room#I:bgnd", ":view", ":inst", ":tile",
// each item "...#K"). The physics words are written from header version 6 on, laid out by the
// last header written. The creation code word is as for instances. A list given as absent
// writes offset 0.
struct RoomEntry {
  std::optional<std::string> name;
  std::optional<std::string> caption;
  int32_t width = 640, height = 480, speed = 30;
  bool persistent = false;
  uint32_t colour = 0xC0C0C0;
  bool showColour = true;
  std::optional<std::string> codeText;
  int32_t codeWord = -1;
  uint32_t flags = 0;  // bit 0 views enabled, bit 1 clear window, bit 2 do not clear the display
  std::optional<std::vector<RoomBackgroundEntry>> backgrounds = std::vector<RoomBackgroundEntry>(8);
  std::optional<std::vector<RoomViewEntry>> views = std::vector<RoomViewEntry>(8);
  std::optional<std::vector<RoomInstanceEntry>> instances = std::vector<RoomInstanceEntry>();
  std::optional<std::vector<RoomTileEntry>> tiles = std::vector<RoomTileEntry>();
  bool physics = false;
  float gravityX = 0.0f, gravityY = 10.0f, pixelsToMetres = 0.1f;
  bool present = true;
};

// A change made to the laid-out file.
struct Corruption {
  enum class Kind {
    FormSizeOffByOne,       // the FORM size word one larger than the file holds
    ChunkPastEnd,           // a chunk's size one byte more than is left in the file
    CountTooLarge,          // a count word larger than its payload holds
    SetOffset,              // an offset word set to a value (default: just past the image)
    NameWithoutTerminator,  // a string's NUL replaced, the string moved to the end of the file
    PayloadSize,            // a chunk's payload cut or zero-extended to a size
    ChainLeavesCodeEntry,   // one more link than written, the last distance pointing past the
                            // end of that link's code entry
    DuplicateChunk,         // a second copy of a chunk right after it
  };
  Kind kind;
  std::string tag;    // the chunk (empty: the last chunk, where that makes sense)
  std::string name;   // a string or a variable / function name
  int64_t value = -1; // a size or word value; -1: the kind's default
  int32_t index = 0;  // which site of the chunk, in writing order
};

namespace corrupt {
Corruption FormSizeOffByOne();
Corruption ChunkPastEnd(const std::string& tag = "");
// `index` picks the count word of the chunk (in writing order); `value` -1 is the smallest
// count that does not fit.
Corruption CountTooLarge(const std::string& tag, int64_t value = -1, int32_t index = 0);
// The "OPTN" constant count.
Corruption OptionConstantCount(uint32_t count);
// `index` picks the offset word of the chunk in writing order (common tables: slot 0 is site
// 0; VARI/FUNC entries: name then first reference); `value` -1 is the image size.
Corruption SetOffset(const std::string& tag, int32_t index = 0, int64_t value = -1);
inline Corruption OffsetOutsideImage(const std::string& tag, int32_t index = 0) {
  return SetOffset(tag, index, -1);
}
// Needs the string chunk last in the file: the text then ends at the end of the file.
Corruption NameWithoutTerminator(const std::string& text);
Corruption PayloadSize(const std::string& tag, uint32_t size);
// The variable (or, when not a variable, function) reference chain of `name`.
Corruption ChainLeavesCodeEntry(const std::string& name);
Corruption DuplicateChunk(const std::string& tag);
}  // namespace corrupt

// A laid-out file and where its labels ended up.
struct BuiltGameData {
  std::vector<uint8_t> bytes;
  std::map<std::string, uint32_t> labels;
  // The image offset of a label; throws std::out_of_range for an unknown one.
  uint32_t At(const std::string& label) const { return labels.at(label); }
  uint32_t WordAt(uint32_t offset) const;
};

class GameDataBuilder {
 public:
  GameDataBuilder();
  GameDataBuilder(const GameDataBuilder&) = delete;
  GameDataBuilder& operator=(const GameDataBuilder&) = delete;
  GameDataBuilder(GameDataBuilder&&) = default;
  GameDataBuilder& operator=(GameDataBuilder&&) = default;

  // ---- Chunks, in file order --------------------------------------------------------------
  GameDataBuilder& Gen8(const GameHeader& header = {}, const std::string& tag = "GEN8");
  // The options chunk in the old layout (words) or the new one (bit field). The old layout
  // holds its word 136 only for header version 5 on (the last header written, else 14).
  GameDataBuilder& OptnOld(const GameOptions& options = {});
  GameDataBuilder& OptnNew(const GameOptions& options = {});
  GameDataBuilder& Code(const std::vector<CodeEntry>& entries);
  // The variable / function chunk: one 12-byte entry per name, in the order given, with the
  // reference chain the code wrote for it (count 0 and offset 0 when it has none). Without
  // names: every name the code referred to, in the order first written.
  GameDataBuilder& Vari(std::optional<std::vector<std::string>> names = std::nullopt);
  GameDataBuilder& Func(std::optional<std::vector<std::string>> names = std::nullopt);
  // The string chunk: every name used anywhere in the file, plus `extra` texts.
  GameDataBuilder& Strg(const std::vector<std::string>& extra = {});
  GameDataBuilder& Tpag(const std::vector<TPageEntryFields>& entries);
  GameDataBuilder& Txtr(const std::vector<TextureEntry>& entries);
  // "OBJT", "SCPT" and "TMLN": the common resource table, then each entry (labels "objt#I",
  // "scpt#I", "tmln#I"), then the event lists, entries and action records they point at.
  GameDataBuilder& Objt(const std::vector<ObjectEntry>& objects);
  GameDataBuilder& Scpt(const std::vector<ScriptEntry>& scripts);
  GameDataBuilder& Tmln(const std::vector<TimeLineEntry>& timeLines);
  // "SPRT": the common resource table, then each entry (label "sprt#I"), padded to whole words.
  GameDataBuilder& Sprt(const std::vector<SpriteEntry>& sprites);
  // "BGND" and "ROOM": the common resource table, then each entry ("bgnd#I", "room#I") and for a
  // room its lists. Chunks are written in the order called, so either may come first: the loader
  // reads BGND ahead of ROOM (a room stretching a background reads that background's size).
  GameDataBuilder& Bgnd(const std::vector<BackgroundEntry>& backgrounds);
  // "PATH": the common resource table, then each entry ("path#I") with its points.
  GameDataBuilder& Path(const std::vector<PathEntry>& paths);
  GameDataBuilder& Room(const std::vector<RoomEntry>& rooms);
  // "FONT": the common resource table, each entry with its glyph offsets, the glyph records,
  // then the character table's 256 16-bit codes as its last 512 bytes (codes not given are
  // their own position: an identity table).
  GameDataBuilder& Font(const std::vector<FontEntry>& fonts, const std::vector<uint16_t>& charTable = {});
  // The debug companion file's chunks (a second file built the same way; its strings still need
  // a string chunk, which the companion's walk steps over).
  // "DBGI": a count, then one offset per code entry to its line table (a count of words, then
  // the words); an empty table writes offset 0.
  GameDataBuilder& Dbgi(const std::vector<std::vector<uint32_t>>& lineTables);
  // "SCPT": a count, then one offset per code entry to a record whose first word is the offset
  // of the entry's source text (its first character); no text writes offset 0 in the table.
  GameDataBuilder& DebugSources(const std::vector<std::optional<std::string>>& sources);
  // A chunk with the given payload bytes (the size may be 0).
  GameDataBuilder& Raw(const std::string& tag, const std::vector<uint8_t>& payload = {});
  // A chunk written by a callback on a writer that can use names and labels.
  GameDataBuilder& Chunk(const std::string& tag, const std::function<void(ByteWriter&)>& write);
  GameDataBuilder& AddChunk(const std::string& tag, ByteWriter payload);

  // A writer whose Name() adds to this file's strings (for AddChunk).
  ByteWriter NewWriter() { return ByteWriter(m_strings.get()); }
  // The string chunk index of `text` (added when new).
  int32_t StringIndex(const std::string& text) { return m_strings->Intern(text); }
  // The header version of the last header chunk written (14 before any).
  int HeaderVersion() const { return m_headerVersion; }

  // ---- Output -----------------------------------------------------------------------------
  // Throws std::logic_error for a file that cannot be laid out (an undefined label, names
  // without a string chunk, a corruption that does not apply).
  BuiltGameData BuildWithLabels(const std::vector<Corruption>& corruptions = {}) const;
  std::vector<uint8_t> Build(const std::vector<Corruption>& corruptions = {}) const {
    return BuildWithLabels(corruptions).bytes;
  }
  bool WriteFile(const std::string& path, const std::vector<Corruption>& corruptions = {}) const;

 private:
  enum class Generated { None, Strings, Variables, Functions };
  struct ChunkRecord {
    std::string tag;
    ByteWriter payload;
    Generated generated = Generated::None;
    std::optional<std::vector<std::string>> names;  // VARI / FUNC
    std::vector<std::string> extraStrings;          // STRG
    bool copy = false;                              // a duplicate: its labels are the original's
  };
  struct Link {
    std::string label;     // the referring instruction
    std::string entryEnd;  // the end of its code entry
    uint32_t topBits;
    int64_t order;
  };
  struct Chains {
    std::vector<std::string> names;  // in the order first written
    std::map<std::string, std::vector<Link>> links;
  };

  void GenerateStrings(ChunkRecord& chunk, const std::string& unterminated) const;
  void GenerateReferences(ChunkRecord& chunk, bool functions) const;
  std::vector<Link> SortedLinks(const Chains& chains, const std::string& name) const;
  void WriteOptions(const GameOptions& options, bool newLayout);
  // Writes an event entry at `label` (and its action record after it) for a handler.
  void WriteEventEntry(ByteWriter& w, const std::string& label, int32_t number, const ActionCode& code);

  std::vector<ChunkRecord> m_chunks;
  std::unique_ptr<StringPool> m_strings;
  Chains m_variables;
  Chains m_functions;
  int m_headerVersion = 14;
  int m_codeEntries = 0;
  int64_t m_referenceCount = 0;
  int64_t m_actionCount = 0;
};

}  // namespace testsupport
