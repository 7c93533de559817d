// One INI document held in memory: a list of sections, each a list of key = value texts.
//
// A document is read from a file (the save area first, then the game folder) or from a text,
// queried and changed in memory, and written back as text into the save area on request when
// something changed. The parser is forgiving and keeps a few fixed habits:
//   - new sections and keys are put in front of their lists, when parsing and when adding, so
//     every list holds its elements newest first (writing a document therefore reverses the
//     order of its sections and keys, and of two keys of the same name the one read last is
//     found);
//   - a key's name runs up to the next '=' wherever it is, across line ends;
//   - a value must start on its key's line, otherwise the key is dropped.
//
// Text read: "[name]" section headers followed by key=value lines. Blanks are space, tab, CR
// and LF; '#' and ';' start comments that run to the end of their line; a value may be enclosed
// in double or single quotes. Text written: per section "[name]" CR LF, then per key
// name="value" CR LF, nothing else.
//
// Every text, section and key is a memory-manager block owned by the document.
#pragma once

#include <cstdint>

struct IniKey {
  IniKey* next;
  char* name;
  char* value;
};

struct IniSection {
  IniSection* next;
  IniKey* keys;  // newest first
  char* name;
};

class IniFile {
 public:
  // An empty document with no name.
  IniFile();
  // Frees every section and key, the name and any text. Nothing is written: a user that wants
  // the file saved calls WriteToString first.
  ~IniFile();
  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  // Keeps a copy of `fileName` (unresolved) and reads the document from that file. With `log`
  // set, the file's text is also printed on the debug console as
  // "<name> file contents: <text>". A missing file gives an empty document that keeps its name.
  void Open(const char* fileName, bool log);
  // Parses a copy of `text` (null counts as the empty text).
  void LoadFromString(const char* text);

  // The first section (newest first) named exactly `section`; null when none.
  IniSection* FindSection(const char* section);
  // The first key of that section named exactly `key`; null when the section or key is missing.
  IniKey* FindKey(const char* section, const char* key);

  // The key's value (owned by the document), or `defaultValue` when the key is missing.
  const char* ReadString(const char* section, const char* key, const char* defaultValue);
  // The value read as a decimal integer the way atoi does in the "C" locale (leading white
  // space, an optional sign, digits up to the first other character, 0 when there are none,
  // saturating at the 32-bit limits), or `defaultValue` when the key is missing.
  int32_t ReadInt(const char* section, const char* key, int32_t defaultValue);

  // Stores `value` (null stores the empty text) under the key, creating the section and key in
  // front of their lists when missing. Section "SYSTEM_COMMAND" is a command channel: key
  // "INI_FILE_FLUSH" with value "NOW" writes the document now; nothing is ever stored there.
  // False for a null section or key.
  bool WriteString(const char* section, const char* key, const char* value);
  // Removes the first key of that name in the section; false when the section or key is missing.
  bool DeleteKey(const char* section, const char* key);
  // Removes the first section of that name with its keys; false when it is missing.
  bool DeleteSection(const char* section);

  // The document as text (a new terminated memory-manager block owned by the caller). When the
  // document changed since it was last written and has a name, the text is also written (without
  // its terminator) into the save area under that name.
  char* WriteToString();

  // Reads the text (from the file when there is none yet) into sections and keys, replacing any
  // held before. False only when there was no text and no file could be read.
  bool Parse();

  const char* Name() const { return m_name; }
  IniSection* Sections() const { return m_sections; }
  bool IsDirty() const { return m_dirty != 0; }

 private:
  enum class KeyResult { Read, None, Stop };

  bool ReadFileText();
  void ReleaseText();
  void FreeSections();
  // The position of the first `c` at or after `from`; -1 when there is none.
  int32_t Find(char c, int32_t from) const;
  bool SkipBlanks();
  bool ReadSectionHeader(IniSection** out);
  KeyResult ReadKey(IniKey** out);

  char* m_name = nullptr;        // the file name as given, or null for a document from a text
  int32_t m_textLength = 0;      // byte length of the text being parsed
  IniSection* m_sections = nullptr;
  int32_t m_cursor = 0;          // parse position in the text
  char* m_text = nullptr;        // the text being parsed; only held during parsing
  int32_t m_line = 0;            // line feeds passed while skipping blanks and comments
  uint8_t m_dirty = 0;           // 1 after a change that has not been written
};
