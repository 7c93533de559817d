#include "testlib/GameDataBuilder.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace testsupport {

namespace {

[[noreturn]] void Fail(const std::string& what) { throw std::logic_error("GameDataBuilder: " + what); }

void CheckTag(const std::string& tag) {
  if (tag.size() != 4) Fail("a chunk tag has four characters: \"" + tag + "\"");
}

constexpr uint32_t kVariableKeep = 0xE0000000u;  // the instruction's own top bits of the operand

}  // namespace

// ---- ByteWriter ------------------------------------------------------------------------------

ByteWriter& ByteWriter::U8(uint8_t v) {
  m_bytes.push_back(v);
  return *this;
}

ByteWriter& ByteWriter::U16(uint16_t v) {
  U8(static_cast<uint8_t>(v & 0xFF));
  return U8(static_cast<uint8_t>(v >> 8));
}

ByteWriter& ByteWriter::I16(int16_t v) { return U16(static_cast<uint16_t>(v)); }

ByteWriter& ByteWriter::U32(uint32_t v) {
  for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
  return *this;
}

ByteWriter& ByteWriter::I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }

ByteWriter& ByteWriter::U64(uint64_t v) {
  U32(static_cast<uint32_t>(v & 0xFFFFFFFFu));
  return U32(static_cast<uint32_t>(v >> 32));
}

ByteWriter& ByteWriter::F64(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof(bits));
  return U64(bits);
}

ByteWriter& ByteWriter::Raw(const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  if (size > 0) m_bytes.insert(m_bytes.end(), p, p + size);
  return *this;
}

ByteWriter& ByteWriter::Zeros(size_t count) {
  m_bytes.insert(m_bytes.end(), count, 0);
  return *this;
}

ByteWriter& ByteWriter::String(const std::string& text) {
  U32(static_cast<uint32_t>(text.size()));
  Raw(text.data(), text.size());
  return U8(0);
}

ByteWriter& ByteWriter::Label(const std::string& name) {
  m_labels.emplace_back(name, m_bytes.size());
  return *this;
}

ByteWriter& ByteWriter::LabelAt(const std::string& name, size_t at) {
  m_labels.emplace_back(name, at);
  return *this;
}

ByteWriter& ByteWriter::Offset(const std::string& label, int64_t addend) {
  m_offsetSites.push_back(m_bytes.size());
  m_fixups.push_back({m_bytes.size(), label, "", addend, 0});
  return U32(0);
}

ByteWriter& ByteWriter::Name(const std::string& text) {
  if (m_pool == nullptr) Fail("Name() needs a writer made by the builder (NewWriter)");
  // A name points at the first character, 4 bytes after the string's length word.
  return Offset(StringPool::LabelOf(m_pool->Intern(text)), 4);
}

ByteWriter& ByteWriter::NameOrNone(const std::optional<std::string>& text) {
  return text ? Name(*text) : U32(0);
}

ByteWriter& ByteWriter::Table(const std::vector<std::string>& labels) {
  Count(static_cast<uint32_t>(labels.size()), 4);
  for (const std::string& label : labels) {
    if (label.empty()) {
      U32(0);
    } else {
      Offset(label);
    }
  }
  return *this;
}

ByteWriter& ByteWriter::Count(uint32_t count, uint32_t recordSize) {
  m_counts.push_back({m_bytes.size(), recordSize});
  return U32(count);
}

void ByteWriter::PutU32(size_t at, uint32_t v) {
  if (at + 4 > m_bytes.size()) m_bytes.resize(at + 4, 0);
  for (int i = 0; i < 4; ++i) m_bytes[at + i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
  std::erase_if(m_fixups, [at](const Fixup& f) { return f.at == at; });
  std::erase(m_offsetSites, at);
}

uint32_t ByteWriter::GetU32(size_t at) const {
  if (at + 4 > m_bytes.size()) Fail("GetU32 past the end of a writer");
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(m_bytes[at + i]) << (8 * i);
  return v;
}

void ByteWriter::Resize(size_t size) {
  m_bytes.resize(size, 0);
  std::erase_if(m_labels, [size](const auto& l) { return l.second > size; });
  std::erase_if(m_fixups, [size](const Fixup& f) { return f.at + 4 > size; });
  std::erase_if(m_counts, [size](const CountSite& c) { return c.at + 4 > size; });
  std::erase_if(m_offsetSites, [size](size_t at) { return at + 4 > size; });
}

void ByteWriter::Append(const ByteWriter& other) {
  const size_t base = m_bytes.size();
  Raw(other.m_bytes);
  for (const auto& [name, at] : other.m_labels) m_labels.emplace_back(name, base + at);
  for (Fixup f : other.m_fixups) {
    f.at += base;
    m_fixups.push_back(std::move(f));
  }
  for (CountSite c : other.m_counts) m_counts.push_back({c.at + base, c.recordSize});
  for (size_t at : other.m_offsetSites) m_offsetSites.push_back(at + base);
}

// ---- StringPool ------------------------------------------------------------------------------

int32_t StringPool::Intern(const std::string& text) {
  auto it = m_index.find(text);
  if (it != m_index.end()) return it->second;
  const auto index = static_cast<int32_t>(m_texts.size());
  m_texts.push_back(text);
  m_index.emplace(text, index);
  return index;
}

int32_t StringPool::Find(const std::string& text) const {
  auto it = m_index.find(text);
  return it == m_index.end() ? -1 : it->second;
}

// ---- CodeWriter ------------------------------------------------------------------------------

CodeWriter& CodeWriter::Word(uint32_t word) {
  m_bytes.U32(word);
  return *this;
}

CodeWriter& CodeWriter::Words(const std::vector<uint32_t>& words) {
  for (uint32_t w : words) m_bytes.U32(w);
  return *this;
}

CodeWriter& CodeWriter::Words(std::initializer_list<uint32_t> words) {
  for (uint32_t w : words) m_bytes.U32(w);
  return *this;
}

CodeWriter& CodeWriter::F64(double v) {
  m_bytes.F64(v);
  return *this;
}

CodeWriter& CodeWriter::Label(const std::string& name) {
  m_bytes.Label(name);
  return *this;
}

CodeWriter& CodeWriter::VarRef(uint32_t instruction, const std::string& name, uint32_t topBits,
                               int32_t chainOrder) {
  if (topBits > 7) Fail("a variable operand has three top bits");
  m_refs.push_back({false, name, m_bytes.Size(), topBits, chainOrder});
  m_bytes.U32(instruction);
  m_bytes.U32(topBits << 29);
  return *this;
}

CodeWriter& CodeWriter::FuncRef(uint32_t instruction, const std::string& name, int32_t chainOrder) {
  m_refs.push_back({true, name, m_bytes.Size(), 0, chainOrder});
  m_bytes.U32(instruction);
  m_bytes.U32(0);
  return *this;
}

// ---- Header ----------------------------------------------------------------------------------

int GameHeader::RoomOrderWord(int version) {
  if (version < 8) return 9;
  switch (version) {
    case 10: return 26;
    case 11: return 28;
    case 12: return 30;
    case 13: return 31;
    case 14: return 32;
    default: return 25;
  }
}

uint32_t BuiltGameData::WordAt(uint32_t offset) const {
  if (uint64_t{offset} + 4 > bytes.size()) Fail("WordAt past the end of the file");
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
  return v;
}

// ---- Corruptions -----------------------------------------------------------------------------

namespace corrupt {
Corruption FormSizeOffByOne() { return {Corruption::Kind::FormSizeOffByOne, "", ""}; }
Corruption ChunkPastEnd(const std::string& tag) { return {Corruption::Kind::ChunkPastEnd, tag, ""}; }
Corruption CountTooLarge(const std::string& tag, int64_t value, int32_t index) {
  return {Corruption::Kind::CountTooLarge, tag, "", value, index};
}
Corruption OptionConstantCount(uint32_t count) { return CountTooLarge("OPTN", count, 0); }
Corruption SetOffset(const std::string& tag, int32_t index, int64_t value) {
  return {Corruption::Kind::SetOffset, tag, "", value, index};
}
Corruption NameWithoutTerminator(const std::string& text) {
  return {Corruption::Kind::NameWithoutTerminator, "STRG", text};
}
Corruption PayloadSize(const std::string& tag, uint32_t size) {
  return {Corruption::Kind::PayloadSize, tag, "", size};
}
Corruption ChainLeavesCodeEntry(const std::string& name) {
  return {Corruption::Kind::ChainLeavesCodeEntry, "", name};
}
Corruption DuplicateChunk(const std::string& tag) { return {Corruption::Kind::DuplicateChunk, tag, ""}; }
}  // namespace corrupt

// ---- GameDataBuilder -------------------------------------------------------------------------

GameDataBuilder::GameDataBuilder() : m_strings(std::make_unique<StringPool>()) {}

GameDataBuilder& GameDataBuilder::AddChunk(const std::string& tag, ByteWriter payload) {
  CheckTag(tag);
  ChunkRecord record;
  record.tag = tag;
  record.payload = std::move(payload);
  m_chunks.push_back(std::move(record));
  return *this;
}

GameDataBuilder& GameDataBuilder::Raw(const std::string& tag, const std::vector<uint8_t>& payload) {
  ByteWriter w = NewWriter();
  w.Raw(payload);
  return AddChunk(tag, std::move(w));
}

GameDataBuilder& GameDataBuilder::Chunk(const std::string& tag,
                                        const std::function<void(ByteWriter&)>& write) {
  ByteWriter w = NewWriter();
  write(w);
  return AddChunk(tag, std::move(w));
}

GameDataBuilder& GameDataBuilder::Gen8(const GameHeader& h, const std::string& tag) {
  m_headerVersion = h.version;
  const int countWord = GameHeader::RoomOrderWord(h.version);
  ByteWriter w = NewWriter();
  for (int n = 0; n < countWord; ++n) {
    switch (n) {
      case 0: w.U8(h.debugFlags).U8(h.version).U16(0); break;
      case 1: w.NameOrNone(h.name); break;
      case 2: w.NameOrNone(h.config); break;
      case 3: w.I32(h.lastInstanceId); break;
      case 4: w.I32(h.lastTileId); break;
      case 5: w.I32(h.gameId); break;
      case 10: w.NameOrNone(h.projectName); break;
      case 15: w.I32(h.windowWidth); break;
      case 16: w.I32(h.windowHeight); break;
      case 17: w.U32(h.optionBits); break;
      case 25: w.NameOrNone(h.displayName); break;
      case 26: w.U32(static_cast<uint32_t>(h.words26to27 & 0xFFFFFFFFu)); break;
      case 27: w.U32(static_cast<uint32_t>(h.words26to27 >> 32)); break;
      case 28: w.U32(static_cast<uint32_t>(h.platformMask & 0xFFFFFFFFu)); break;
      case 29: w.U32(static_cast<uint32_t>(h.platformMask >> 32)); break;
      case 30: w.U32(h.steamAppId); break;
      case 31: w.I32(h.debuggerPort); break;
      default: w.U32(0); break;
    }
  }
  w.Count(static_cast<uint32_t>(h.roomOrder.size()), 4);
  for (int32_t room : h.roomOrder) w.I32(room);
  for (const auto& [word, value] : h.words) {
    if (word < 0) Fail("a header word index is not negative");
    w.PutU32(static_cast<size_t>(word) * 4, value);
  }
  return AddChunk(tag, std::move(w));
}

void GameDataBuilder::WriteOptions(const GameOptions& o, bool newLayout) {
  ByteWriter w = NewWriter();
  if (newLayout) {
    uint64_t bits = o.extraBits;
    if (o.fullScreen) bits |= 0x1;
    if (o.newAudio) bits |= 0x4;
    if (o.cursorShown) bits |= 0x10;
    if (o.changeDisplayMode) bits |= 0x80;
    if (o.altEnter) bits |= 0x200;
    if (o.freezeInactive) bits |= 0x8000;
    if (o.errorsAbort) bits |= 0x200000;
    if (o.uninitialisedVariables) bits |= 0x400000;
    w.I32(o.marker).I32(o.layoutNumber).U64(bits);
    w.I32(0);  // 16
    w.I32(o.windowColour).I32(o.colourDepth).I32(o.resolution).I32(o.frequency);  // 20..32
    w.I32(0).I32(0);  // 36, 40
    w.Zeros(8);       // 44
    w.U32(0).I32(0);  // 52, 56
  } else {
    auto flag = [&](bool on) { return on ? o.trueWord : 0u; };
    std::map<int, uint32_t> words = {
        {0, flag(o.fullScreen)},
        {8, flag(o.newAudio)},
        {16, flag(o.cursorShown)},
        {32, static_cast<uint32_t>(o.windowColour)},
        {36, flag(o.changeDisplayMode)},
        {40, static_cast<uint32_t>(o.colourDepth)},
        {44, static_cast<uint32_t>(o.resolution)},
        {48, static_cast<uint32_t>(o.frequency)},
        {60, flag(o.altEnter)},
        {88, flag(o.freezeInactive)},
        {128, flag(o.errorsAbort)},
        {132, flag(o.uninitialisedVariables)},
    };
    // Word 136 exists from header version 5 on; the constant count follows it.
    const int countAt = m_headerVersion >= 5 ? 140 : 136;
    for (int at = 0; at < countAt; at += 4) {
      auto it = words.find(at);
      w.U32(it == words.end() ? 0u : it->second);
    }
  }
  w.Count(static_cast<uint32_t>(o.constants.size()), 8);
  for (const auto& [name, value] : o.constants) w.NameOrNone(name).NameOrNone(value);
  AddChunk("OPTN", std::move(w));
}

GameDataBuilder& GameDataBuilder::OptnOld(const GameOptions& options) {
  WriteOptions(options, false);
  return *this;
}

GameDataBuilder& GameDataBuilder::OptnNew(const GameOptions& options) {
  WriteOptions(options, true);
  return *this;
}

GameDataBuilder& GameDataBuilder::Code(const std::vector<CodeEntry>& entries) {
  const int first = m_codeEntries;
  m_codeEntries += static_cast<int>(entries.size());
  auto entryLabel = [first](size_t i) { return "code#" + std::to_string(first + static_cast<int>(i)); };

  ByteWriter w = NewWriter();
  std::vector<std::string> table;
  for (size_t i = 0; i < entries.size(); ++i) table.push_back(entries[i].present ? entryLabel(i) : "");
  w.Table(table);
  for (size_t i = 0; i < entries.size(); ++i) {
    const CodeEntry& e = entries[i];
    if (!e.present) continue;
    const std::string label = entryLabel(i);
    const std::string end = label + ":end";
    w.Label(label).Name(e.name);
    w.Count(static_cast<uint32_t>(e.code.Size()), 1);
    const size_t start = w.Size();
    w.Append(e.code.Bytes());
    for (const CodeWriter::Reference& r : e.code.References()) {
      Chains& chains = r.function ? m_functions : m_variables;
      const int64_t sequence = m_referenceCount++;
      const std::string refLabel = (r.function ? "fref#" : "vref#") + std::to_string(sequence);
      w.LabelAt(refLabel, start + r.at);
      if (chains.links.find(r.name) == chains.links.end()) chains.names.push_back(r.name);
      chains.links[r.name].push_back(
          {refLabel, end, r.topBits, r.chainOrder >= 0 ? r.chainOrder : sequence});
      m_strings->Intern(r.name);
    }
    w.Label(end);
  }
  return AddChunk("CODE", std::move(w));
}

void GameDataBuilder::WriteEventEntry(ByteWriter& w, const std::string& label, int32_t number,
                                      const ActionCode& code) {
  const std::string action = "act#" + std::to_string(m_actionCount++);
  w.Label(label).I32(number).U32(1);
  if (code.action) w.Offset(action); else w.U32(0);
  if (!code.action) return;
  w.Label(action).Zeros(8 * 4).I32(code.text ? 0 : code.codeIndex).Zeros(6 * 4);
  w.NameOrNone(code.text);
}

GameDataBuilder& GameDataBuilder::Objt(const std::vector<ObjectEntry>& objects) {
  ByteWriter w = NewWriter();
  std::vector<std::string> table;
  for (size_t i = 0; i < objects.size(); ++i) table.push_back(objects[i].present ? "objt#" + std::to_string(i) : "");
  w.Table(table);
  const int version = m_headerVersion;
  for (size_t i = 0; i < objects.size(); ++i) {
    const ObjectEntry& o = objects[i];
    if (!o.present) continue;
    const std::string label = "objt#" + std::to_string(i);
    w.Label(label).NameOrNone(o.name).I32(o.spriteWord).I32(o.visible).I32(o.solid).I32(o.depth);
    w.I32(o.persistent).I32(o.parent).I32(o.mask);
    if (version >= 6) {
      float f[4] = {o.density, o.restitution, o.linearDamping, o.angularDamping};
      auto real = [&w](float v) { uint32_t bits; std::memcpy(&bits, &v, 4); w.U32(bits); };
      w.I32(o.physics).I32(o.sensor).I32(o.shape);
      real(f[0]);
      real(f[1]);
      w.I32(o.group);
      real(f[2]);
      real(f[3]);
      w.I32(o.pointCount.value_or(static_cast<int32_t>(o.points.size())));
      if (version >= 9) {
        real(o.friction);
        w.I32(o.awake).I32(o.kinematic);
      }
      for (const auto& p : o.points) {
        real(p.first);
        real(p.second);
      }
    }
    w.U32(o.kindCount);
    for (uint32_t k = 0; k < o.kindCount; ++k) w.Offset(label + ":kind#" + std::to_string(k));
    for (uint32_t k = 0; k < o.kindCount; ++k) {
      const auto it = o.events.find(static_cast<int32_t>(k));
      const std::vector<ObjectEvent> none;
      const std::vector<ObjectEvent>& events = it != o.events.end() ? it->second : none;
      const std::string kind = label + ":kind#" + std::to_string(k);
      w.Label(kind).U32(static_cast<uint32_t>(events.size()));
      for (size_t e = 0; e < events.size(); ++e) w.Offset(kind + ":event#" + std::to_string(e));
    }
    for (const auto& [k, events] : o.events) {
      for (size_t e = 0; e < events.size(); ++e) {
        WriteEventEntry(w, label + ":kind#" + std::to_string(k) + ":event#" + std::to_string(e), events[e].number,
                        events[e].code);
      }
    }
  }
  return AddChunk("OBJT", std::move(w));
}

GameDataBuilder& GameDataBuilder::Scpt(const std::vector<ScriptEntry>& scripts) {
  ByteWriter w = NewWriter();
  std::vector<std::string> table;
  for (size_t i = 0; i < scripts.size(); ++i) table.push_back(scripts[i].present ? "scpt#" + std::to_string(i) : "");
  w.Table(table);
  for (size_t i = 0; i < scripts.size(); ++i) {
    const ScriptEntry& s = scripts[i];
    if (!s.present) continue;
    w.Label("scpt#" + std::to_string(i)).NameOrNone(s.name);
    if (s.text) w.Name(*s.text); else w.I32(s.codeIndex);
  }
  return AddChunk("SCPT", std::move(w));
}

GameDataBuilder& GameDataBuilder::Tmln(const std::vector<TimeLineEntry>& timeLines) {
  ByteWriter w = NewWriter();
  std::vector<std::string> table;
  for (size_t i = 0; i < timeLines.size(); ++i) table.push_back(timeLines[i].present ? "tmln#" + std::to_string(i) : "");
  w.Table(table);
  for (size_t i = 0; i < timeLines.size(); ++i) {
    const TimeLineEntry& t = timeLines[i];
    if (!t.present) continue;
    const std::string label = "tmln#" + std::to_string(i);
    w.Label(label).NameOrNone(t.name);
    w.I32(t.momentCount.value_or(static_cast<int32_t>(t.moments.size())));
    for (size_t m = 0; m < t.moments.size(); ++m) w.I32(t.moments[m].time).Offset(label + ":moment#" + std::to_string(m));
    for (size_t m = 0; m < t.moments.size(); ++m) {
      WriteEventEntry(w, label + ":moment#" + std::to_string(m), 0, t.moments[m].code);
    }
  }
  return AddChunk("TMLN", std::move(w));
}

GameDataBuilder& GameDataBuilder::Vari(std::optional<std::vector<std::string>> names) {
  ChunkRecord record;
  record.tag = "VARI";
  record.generated = Generated::Variables;
  if (names) {
    for (const std::string& n : *names) m_strings->Intern(n);
  }
  record.names = std::move(names);
  m_chunks.push_back(std::move(record));
  return *this;
}

GameDataBuilder& GameDataBuilder::Func(std::optional<std::vector<std::string>> names) {
  ChunkRecord record;
  record.tag = "FUNC";
  record.generated = Generated::Functions;
  if (names) {
    for (const std::string& n : *names) m_strings->Intern(n);
  }
  record.names = std::move(names);
  m_chunks.push_back(std::move(record));
  return *this;
}

GameDataBuilder& GameDataBuilder::Strg(const std::vector<std::string>& extra) {
  for (const std::string& text : extra) m_strings->Intern(text);
  ChunkRecord record;
  record.tag = "STRG";
  record.generated = Generated::Strings;
  record.extraStrings = extra;
  m_chunks.push_back(std::move(record));
  return *this;
}

GameDataBuilder& GameDataBuilder::Bgnd(const std::vector<BackgroundEntry>& backgrounds) {
  ByteWriter w = NewWriter();
  std::vector<std::string> table;
  for (size_t i = 0; i < backgrounds.size(); ++i) {
    table.push_back(backgrounds[i].present ? "bgnd#" + std::to_string(i) : "");
  }
  w.Table(table);
  for (size_t i = 0; i < backgrounds.size(); ++i) {
    const BackgroundEntry& b = backgrounds[i];
    if (!b.present) continue;
    w.Label(table[i]).NameOrNone(b.name).U32(b.transparent).U32(b.smooth).U32(b.preload);
    if (b.tpag) w.Offset("tpag#" + std::to_string(*b.tpag)); else w.U32(0);
  }
  return AddChunk("BGND", std::move(w));
}

GameDataBuilder& GameDataBuilder::Path(const std::vector<PathEntry>& paths) {
  ByteWriter w = NewWriter();
  std::vector<std::string> table;
  for (size_t i = 0; i < paths.size(); ++i) table.push_back(paths[i].present ? "path#" + std::to_string(i) : "");
  w.Table(table);
  auto real = [&w](float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    w.U32(bits);
  };
  for (size_t i = 0; i < paths.size(); ++i) {
    const PathEntry& p = paths[i];
    if (!p.present) continue;
    w.Label(table[i]).NameOrNone(p.name).I32(p.kind).I32(p.closed).I32(p.precision);
    w.Count(static_cast<uint32_t>(p.pointCount.value_or(static_cast<int32_t>(p.points.size()))), 12);
    for (const PathEntry::Point& point : p.points) {
      real(point.x);
      real(point.y);
      real(point.speed);
    }
  }
  return AddChunk("PATH", std::move(w));
}

GameDataBuilder& GameDataBuilder::Font(const std::vector<FontEntry>& fonts, const std::vector<uint16_t>& charTable) {
  ByteWriter w = NewWriter();
  std::vector<std::string> table;
  for (size_t i = 0; i < fonts.size(); ++i) table.push_back(fonts[i].present ? "font#" + std::to_string(i) : "");
  w.Table(table);
  for (size_t i = 0; i < fonts.size(); ++i) {
    const FontEntry& f = fonts[i];
    if (!f.present) continue;
    w.Label(table[i]).NameOrNone(f.name).NameOrNone(f.faceName);
    w.I32(f.size).U32(f.bold ? 1 : 0).U32(f.italic ? 1 : 0).U32(f.firstWord).I32(f.last);
    if (f.tpag) w.Offset("tpag#" + std::to_string(*f.tpag)); else w.U32(0);
    uint32_t xscale = 0, yscale = 0;
    std::memcpy(&xscale, &f.xscale, 4);
    std::memcpy(&yscale, &f.yscale, 4);
    w.U32(xscale).U32(yscale);
    w.Count(static_cast<uint32_t>(f.glyphCount.value_or(static_cast<int32_t>(f.glyphs.size()))), 4);
    for (size_t k = 0; k < f.glyphs.size(); ++k) w.Offset(table[i] + ":glyph#" + std::to_string(k));
  }
  for (size_t i = 0; i < fonts.size(); ++i) {
    if (!fonts[i].present) continue;
    for (size_t k = 0; k < fonts[i].glyphs.size(); ++k) {
      const FontGlyphFields& g = fonts[i].glyphs[k];
      w.Label(table[i] + ":glyph#" + std::to_string(k));
      w.U16(g.character).I16(g.x).I16(g.y).I16(g.width).I16(g.height).I16(g.advance).I16(g.offset);
    }
  }
  w.Zeros((4 - w.Size() % 4) % 4);
  for (size_t c = 0; c < 256; ++c) w.U16(c < charTable.size() ? charTable[c] : static_cast<uint16_t>(c));
  return AddChunk("FONT", std::move(w));
}

GameDataBuilder& GameDataBuilder::Room(const std::vector<RoomEntry>& rooms) {
  ByteWriter w = NewWriter();
  std::vector<std::string> table;
  for (size_t i = 0; i < rooms.size(); ++i) table.push_back(rooms[i].present ? "room#" + std::to_string(i) : "");
  w.Table(table);
  auto real = [&w](float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    w.U32(bits);
  };
  auto code = [&w](const std::optional<std::string>& text, int32_t word) {
    if (text) w.Name(*text); else w.I32(word);
  };
  // A list: the count and one offset per item, then the items written by `item`.
  auto list = [&w](const std::string& label, size_t count, const std::function<void(size_t)>& item) {
    w.Label(label).U32(static_cast<uint32_t>(count));
    for (size_t k = 0; k < count; ++k) w.Offset(label + "#" + std::to_string(k));
    for (size_t k = 0; k < count; ++k) {
      w.Label(label + "#" + std::to_string(k));
      item(k);
    }
  };
  const char* kLists[] = {":bgnd", ":view", ":inst", ":tile"};
  for (size_t i = 0; i < rooms.size(); ++i) {
    const RoomEntry& r = rooms[i];
    if (!r.present) continue;
    const std::string label = table[i];
    w.Label(label).NameOrNone(r.name).NameOrNone(r.caption).I32(r.width).I32(r.height).I32(r.speed);
    w.U32(r.persistent).U32(r.colour).U32(r.showColour);
    code(r.codeText, r.codeWord);
    w.U32(r.flags);
    const bool present[] = {r.backgrounds.has_value(), r.views.has_value(), r.instances.has_value(),
                            r.tiles.has_value()};
    for (int k = 0; k < 4; ++k) {
      if (present[k]) w.Offset(label + kLists[k]); else w.U32(0);
    }
    if (m_headerVersion >= 6) {
      w.U32(r.physics).Zeros(16);
      real(r.gravityX);
      real(r.gravityY);
      real(r.pixelsToMetres);
    }
    if (r.backgrounds) {
      const std::vector<RoomBackgroundEntry>& items = *r.backgrounds;
      list(label + kLists[0], items.size(), [&](size_t k) {
        const RoomBackgroundEntry& b = items[k];
        w.I32(b.visible).I32(b.foreground).I32(b.index).I32(b.x).I32(b.y).I32(b.htiled).I32(b.vtiled);
        w.I32(b.hspeed).I32(b.vspeed).I32(b.stretch);
      });
    }
    if (r.views) {
      const std::vector<RoomViewEntry>& items = *r.views;
      list(label + kLists[1], items.size(), [&](size_t k) {
        const RoomViewEntry& v = items[k];
        w.I32(v.visible).I32(v.xview).I32(v.yview).I32(v.wview).I32(v.hview).I32(v.xport).I32(v.yport);
        w.I32(v.wport).I32(v.hport).I32(v.hborder).I32(v.vborder).I32(v.hspeed).I32(v.vspeed).I32(v.object);
      });
    }
    if (r.instances) {
      const std::vector<RoomInstanceEntry>& items = *r.instances;
      list(label + kLists[2], items.size(), [&](size_t k) {
        const RoomInstanceEntry& e = items[k];
        w.I32(e.x).I32(e.y).I32(e.object).I32(e.id);
        code(e.codeText, e.codeWord);
        real(e.xscale);
        real(e.yscale);
        w.U32(e.colour);
        real(e.angle);
      });
    }
    if (r.tiles) {
      const std::vector<RoomTileEntry>& items = *r.tiles;
      list(label + kLists[3], items.size(), [&](size_t k) {
        const RoomTileEntry& t = items[k];
        w.I32(t.x).I32(t.y).I32(t.background).I32(t.left).I32(t.top).I32(t.width).I32(t.height).I32(t.depth);
        w.I32(t.id);
        real(t.xscale);
        real(t.yscale);
        w.U32(t.colour);
      });
    }
  }
  return AddChunk("ROOM", std::move(w));
}

GameDataBuilder& GameDataBuilder::Tpag(const std::vector<TPageEntryFields>& entries) {
  ByteWriter w = NewWriter();
  std::vector<std::string> table;
  for (size_t i = 0; i < entries.size(); ++i) table.push_back("tpag#" + std::to_string(i));
  w.Table(table);
  for (size_t i = 0; i < entries.size(); ++i) {
    const TPageEntryFields& e = entries[i];
    w.Label(table[i]);
    w.I16(e.x).I16(e.y).I16(e.width).I16(e.height).I16(e.xOffset).I16(e.yOffset);
    w.I16(e.cropWidth).I16(e.cropHeight).I16(e.frameWidth).I16(e.frameHeight).I16(e.page);
  }
  w.Zeros((4 - w.Size() % 4) % 4);
  return AddChunk("TPAG", std::move(w));
}

GameDataBuilder& GameDataBuilder::Sprt(const std::vector<SpriteEntry>& sprites) {
  ByteWriter w = NewWriter();
  std::vector<std::string> table;
  for (size_t i = 0; i < sprites.size(); ++i) table.push_back(sprites[i].present ? "sprt#" + std::to_string(i) : "");
  w.Table(table);
  for (size_t i = 0; i < sprites.size(); ++i) {
    const SpriteEntry& e = sprites[i];
    if (!e.present) continue;
    w.Label(table[i]).NameOrNone(e.name);
    w.I32(e.width).I32(e.height).I32(e.left).I32(e.right).I32(e.bottom).I32(e.top);
    w.U32(e.transparent).U32(e.smooth).U32(e.preload).I32(e.bboxMode).U32(e.precise);
    w.I32(e.xOrigin).I32(e.yOrigin);
    const bool bitmap = e.kind == 0 && e.frameCount.value_or(0) >= 0;
    if (bitmap) {
      w.Count(static_cast<uint32_t>(e.frameCount.value_or(static_cast<int32_t>(e.frames.size()))), 4);
      for (int32_t page : e.frames) {
        if (page < 0) {
          w.U32(0);
        } else {
          w.Offset("tpag#" + std::to_string(page));
        }
      }
      const uint32_t rowBytes = e.width > 0 ? (static_cast<uint32_t>(e.width) + 7) / 8 : 0;
      const uint32_t maskBytes = e.height > 0 ? rowBytes * static_cast<uint32_t>(e.height) : 0;
      w.Count(static_cast<uint32_t>(e.maskCount.value_or(static_cast<int32_t>(e.masks.size()))), maskBytes);
      for (const std::vector<uint8_t>& mask : e.masks) {
        for (int32_t y = 0; y < e.height; ++y) {
          std::vector<uint8_t> row(rowBytes, 0);
          for (int32_t x = 0; x < e.width; ++x) {
            const size_t at = static_cast<size_t>(y) * static_cast<size_t>(e.width) + static_cast<size_t>(x);
            if (at < mask.size() && mask[at] != 0) row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
          }
          w.Raw(row);
        }
      }
    } else {
      w.I32(e.frameCount.value_or(-1)).U32(0).I32(e.kind).U32(0);
      if (e.kind == 2) {
        w.Count(static_cast<uint32_t>(e.json.size()), 1);
        w.U32(static_cast<uint32_t>(e.atlas.size())).U32(static_cast<uint32_t>(e.image.size()));
        w.U32(e.pageWidth).U32(e.pageHeight);
        w.Raw(e.json.data(), e.json.size()).Raw(e.atlas.data(), e.atlas.size()).Raw(e.image);
      } else {
        w.Raw(e.vectorBlock);
      }
    }
    w.Zeros((4 - w.Size() % 4) % 4);
  }
  return AddChunk("SPRT", std::move(w));
}

GameDataBuilder& GameDataBuilder::Txtr(const std::vector<TextureEntry>& entries) {
  ByteWriter w = NewWriter();
  std::vector<std::string> table;
  for (size_t i = 0; i < entries.size(); ++i) table.push_back("txtr#" + std::to_string(i));
  w.Table(table);
  for (size_t i = 0; i < entries.size(); ++i) {
    w.Label(table[i]).U32(entries[i].flags);
    if (entries[i].image.empty()) {
      w.U32(0);
    } else {
      w.Offset(table[i] + ":data");
    }
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i].image.empty()) w.Label(table[i] + ":data").Raw(entries[i].image);
  }
  w.Zeros((4 - w.Size() % 4) % 4);
  return AddChunk("TXTR", std::move(w));
}

GameDataBuilder& GameDataBuilder::Dbgi(const std::vector<std::vector<uint32_t>>& lineTables) {
  ByteWriter w = NewWriter();
  std::vector<std::string> table;
  for (size_t i = 0; i < lineTables.size(); ++i) {
    table.push_back(lineTables[i].empty() ? "" : "dbgi#" + std::to_string(i));
  }
  w.Table(table);
  for (size_t i = 0; i < lineTables.size(); ++i) {
    if (lineTables[i].empty()) continue;
    w.Label(table[i]).Count(static_cast<uint32_t>(lineTables[i].size()), 4);
    for (uint32_t word : lineTables[i]) w.U32(word);
  }
  return AddChunk("DBGI", std::move(w));
}

GameDataBuilder& GameDataBuilder::DebugSources(const std::vector<std::optional<std::string>>& sources) {
  ByteWriter w = NewWriter();
  std::vector<std::string> table;
  for (size_t i = 0; i < sources.size(); ++i) table.push_back(sources[i] ? "dsrc#" + std::to_string(i) : "");
  w.Table(table);
  for (size_t i = 0; i < sources.size(); ++i) {
    if (sources[i]) w.Label(table[i]).Name(*sources[i]);
  }
  return AddChunk("SCPT", std::move(w));
}

// ---- Layout ----------------------------------------------------------------------------------

void GameDataBuilder::GenerateStrings(ChunkRecord& chunk, const std::string& unterminated) const {
  std::vector<int32_t> order;
  const auto& texts = m_strings->Texts();
  for (int32_t i = 0; i < static_cast<int32_t>(texts.size()); ++i) {
    if (unterminated.empty() || texts[i] != unterminated) order.push_back(i);
  }
  if (!unterminated.empty()) order.push_back(m_strings->Find(unterminated));

  ByteWriter w;
  std::vector<std::string> table;
  for (int32_t i : order) table.push_back(StringPool::LabelOf(i));
  w.Table(table);
  for (int32_t i : order) {
    w.Label(StringPool::LabelOf(i)).String(texts[i]);
    if (texts[i] == unterminated) {
      w.Resize(w.Size() - 1);  // the NUL, replaced
      w.U8('!');
    }
  }
  if (unterminated.empty()) w.Zeros((4 - w.Size() % 4) % 4);  // the unterminated text ends the file
  chunk.payload = std::move(w);
}

std::vector<GameDataBuilder::Link> GameDataBuilder::SortedLinks(const Chains& chains,
                                                                const std::string& name) const {
  auto it = chains.links.find(name);
  if (it == chains.links.end()) return {};
  std::vector<Link> links = it->second;
  std::stable_sort(links.begin(), links.end(),
                   [](const Link& a, const Link& b) { return a.order < b.order; });
  return links;
}

void GameDataBuilder::GenerateReferences(ChunkRecord& chunk, bool functions) const {
  const Chains& chains = functions ? m_functions : m_variables;
  const std::vector<std::string>& names = chunk.names ? *chunk.names : chains.names;
  const std::string prefix = functions ? "func#" : "vari#";
  ByteWriter w;
  for (const std::string& name : names) {
    const std::vector<Link> links = SortedLinks(chains, name);
    w.Label(prefix + name);
    w.Offset(StringPool::LabelOf(m_strings->Find(name)), 4);
    w.I32(static_cast<int32_t>(links.size()));
    if (links.empty()) {
      w.U32(0);
    } else {
      w.Offset(links.front().label);
    }
  }
  chunk.payload = std::move(w);
}

BuiltGameData GameDataBuilder::BuildWithLabels(const std::vector<Corruption>& corruptions) const {
  using Kind = Corruption::Kind;
  std::vector<ChunkRecord> chunks = m_chunks;

  std::string unterminated;
  for (const Corruption& c : corruptions) {
    if (c.kind != Kind::NameWithoutTerminator) continue;
    if (m_strings->Find(c.name) < 0) Fail("no string \"" + c.name + "\" to leave unterminated");
    unterminated = c.name;
  }

  bool hasStrings = false;
  for (ChunkRecord& chunk : chunks) {
    switch (chunk.generated) {
      case Generated::Strings:
        GenerateStrings(chunk, unterminated);
        hasStrings = true;
        break;
      case Generated::Variables: GenerateReferences(chunk, false); break;
      case Generated::Functions: GenerateReferences(chunk, true); break;
      case Generated::None: break;
    }
  }
  if (!m_strings->Texts().empty() && !hasStrings) Fail("names are used but there is no string chunk");
  if (!unterminated.empty() && (chunks.empty() || chunks.back().generated != Generated::Strings)) {
    Fail("an unterminated name needs the string chunk last in the file");
  }

  // The first chunk with a tag (an empty tag: the last chunk), never a duplicate.
  auto findChunk = [&chunks](const std::string& tag) -> size_t {
    if (tag.empty()) {
      if (chunks.empty()) Fail("no chunk to corrupt");
      return chunks.size() - 1;
    }
    for (size_t i = 0; i < chunks.size(); ++i) {
      if (chunks[i].tag == tag && !chunks[i].copy) return i;
    }
    Fail("no chunk \"" + tag + "\" to corrupt");
  };

  // Corruptions that change the layout.
  for (const Corruption& c : corruptions) {
    if (c.kind == Kind::PayloadSize) {
      if (c.value < 0) Fail("a payload size is not negative");
      chunks[findChunk(c.tag)].payload.Resize(static_cast<size_t>(c.value));
    } else if (c.kind == Kind::DuplicateChunk) {
      const size_t i = findChunk(c.tag);
      ChunkRecord copy = chunks[i];
      copy.copy = true;
      chunks.insert(chunks.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(copy));
    }
  }

  // Lay the chunks out and place the labels.
  BuiltGameData out;
  std::vector<uint64_t> bases;
  uint64_t pos = 8;
  for (const ChunkRecord& chunk : chunks) {
    bases.push_back(pos + 8);
    if (!chunk.copy) {
      for (const auto& [name, at] : chunk.payload.Labels()) {
        if (!out.labels.emplace(name, static_cast<uint32_t>(pos + 8 + at)).second) {
          Fail("label \"" + name + "\" defined twice");
        }
      }
    }
    pos += 8 + chunk.payload.Size();
  }
  if (pos > 0xFFFFFFFFu) Fail("the file is larger than 4 GiB");

  std::vector<uint8_t>& bytes = out.bytes;
  bytes.resize(static_cast<size_t>(pos));
  auto put = [&bytes](uint64_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(at) + i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
  };
  auto get = [&bytes](uint64_t at) {
    if (at + 4 > bytes.size()) Fail("a word to patch lies past the end of the file");
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(bytes[static_cast<size_t>(at) + i]) << (8 * i);
    return v;
  };
  auto addr = [&out](const std::string& label) -> int64_t {
    auto it = out.labels.find(label);
    if (it == out.labels.end()) Fail("undefined label \"" + label + "\"");
    return it->second;
  };

  std::memcpy(bytes.data(), "FORM", 4);
  put(4, static_cast<uint32_t>(pos - 8));
  for (size_t i = 0; i < chunks.size(); ++i) {
    const uint64_t base = bases[i];
    std::memcpy(&bytes[static_cast<size_t>(base - 8)], chunks[i].tag.data(), 4);
    put(base - 4, static_cast<uint32_t>(chunks[i].payload.Size()));
    if (chunks[i].payload.Size() > 0) {
      std::memcpy(&bytes[static_cast<size_t>(base)], chunks[i].payload.Bytes().data(), chunks[i].payload.Size());
    }
  }
  for (size_t i = 0; i < chunks.size(); ++i) {
    for (const ByteWriter::Fixup& f : chunks[i].payload.Fixups()) {
      const uint64_t at = bases[i] + f.at;
      const int64_t target = addr(f.label) + f.addend - (f.base.empty() ? 0 : addr(f.base));
      put(at, (get(at) & f.keepMask) | (static_cast<uint32_t>(target) & ~f.keepMask));
    }
  }

  // The reference chains threaded through the code: each link's operand holds the distance to
  // the next link (variables keep the operand's top three bits).
  auto thread = [&](const Chains& chains, uint32_t keep) {
    for (const std::string& name : chains.names) {
      const std::vector<Link> links = SortedLinks(chains, name);
      for (size_t k = 0; k + 1 < links.size(); ++k) {
        const int64_t here = addr(links[k].label);
        const int64_t distance = addr(links[k + 1].label) - here;
        const auto at = static_cast<uint64_t>(here + 4);
        put(at, (get(at) & keep) | (static_cast<uint32_t>(distance) & ~keep));
      }
    }
  };
  thread(m_variables, kVariableKeep);
  thread(m_functions, 0);

  // Corruptions of the laid-out bytes.
  for (const Corruption& c : corruptions) {
    switch (c.kind) {
      case Kind::FormSizeOffByOne: put(4, get(4) + 1); break;
      case Kind::ChunkPastEnd: {
        const size_t i = findChunk(c.tag);
        put(bases[i] - 4, static_cast<uint32_t>(bytes.size() - bases[i] + 1));
        break;
      }
      case Kind::CountTooLarge: {
        const size_t i = findChunk(c.tag);
        const auto& sites = chunks[i].payload.CountSites();
        if (c.index < 0 || static_cast<size_t>(c.index) >= sites.size()) {
          Fail("chunk \"" + chunks[i].tag + "\" has no count " + std::to_string(c.index));
        }
        const ByteWriter::CountSite& site = sites[static_cast<size_t>(c.index)];
        uint64_t value = static_cast<uint64_t>(c.value);
        if (c.value < 0) {
          if (site.recordSize == 0) Fail("count " + std::to_string(c.index) + " needs a value");
          const uint64_t left = chunks[i].payload.Size() - (site.at + 4);
          value = left / site.recordSize + 1;
        }
        put(bases[i] + site.at, static_cast<uint32_t>(value));
        break;
      }
      case Kind::SetOffset: {
        const size_t i = findChunk(c.tag);
        const auto& sites = chunks[i].payload.OffsetSites();
        if (c.index < 0 || static_cast<size_t>(c.index) >= sites.size()) {
          Fail("chunk \"" + chunks[i].tag + "\" has no offset " + std::to_string(c.index));
        }
        const uint64_t value = c.value < 0 ? bytes.size() : static_cast<uint64_t>(c.value);
        put(bases[i] + sites[static_cast<size_t>(c.index)], static_cast<uint32_t>(value));
        break;
      }
      case Kind::ChainLeavesCodeEntry: {
        const bool function = m_variables.links.find(c.name) == m_variables.links.end();
        const Chains& chains = function ? m_functions : m_variables;
        const std::vector<Link> links = SortedLinks(chains, c.name);
        if (links.empty()) Fail("no reference chain for \"" + c.name + "\"");
        const std::string entry = (function ? "func#" : "vari#") + c.name;
        const auto count = static_cast<uint64_t>(addr(entry) + 4);
        put(count, get(count) + 1);
        const int64_t last = addr(links.back().label);
        const int64_t distance = addr(links.back().entryEnd) - last;
        const uint32_t keep = function ? 0 : kVariableKeep;
        const auto at = static_cast<uint64_t>(last + 4);
        put(at, (get(at) & keep) | (static_cast<uint32_t>(distance) & ~keep));
        break;
      }
      case Kind::NameWithoutTerminator:
      case Kind::PayloadSize:
      case Kind::DuplicateChunk: break;  // applied before the layout
    }
  }
  return out;
}

bool GameDataBuilder::WriteFile(const std::string& path, const std::vector<Corruption>& corruptions) const {
  const std::vector<uint8_t> bytes = Build(corruptions);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace testsupport
