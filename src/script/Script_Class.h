// One script of the game: its name, and either its source text (compiled at start-up) or, in a
// game that carries bytecode, the index of its entry in the code chunk. Main thread only.
#pragma once

#include <cstdint>

class BoundedReader;
class CCode;
class CStream;

class CScript {
 public:
  CScript() = default;
  // Destroys the text stream, the text and the code entry when the script owns it.
  virtual ~CScript();
  CScript(const CScript&) = delete;
  CScript& operator=(const CScript&) = delete;

  // Reads the script entry at image offset `entry`: the name (pointing into the image) and, with
  // a CODE chunk, the code index, else a copy of the source text (none for offset 0). Any stream
  // and code held before are destroyed. False, after a line on DebugConsole, when the entry or its
  // texts lie outside the image or the code index names no entry of the code chunk.
  bool Load(const BoundedReader& image, uint64_t entry);
  // With a CODE chunk the code entry of the stored index (nothing is compiled); otherwise the
  // source text compiled under the name "Script.<name>". False with the compile error recorded.
  bool Compile();
  CCode* GetCode() const { return m_code; }
  // The source text: the stored text; else, when a text stream is held, the text it stores
  // (scrambled with the seed 60418, as a length-prefixed string); else a new empty text. The text
  // belongs to the script.
  const char* GetText();
  // Gives the script a code entry that someone else owns (fixtures that build code themselves).
  void SetBorrowedCode(CCode* code);

  CStream* m_textStream = nullptr;  // owned; the stored, scrambled form of the text
  CCode* m_code = nullptr;
  char* m_text = nullptr;           // owned memory-manager text; null in games with bytecode
  int32_t m_codeIndex = -1;         // games with bytecode: the code chunk entry
  const char* m_name = nullptr;     // not owned

 private:
  void DropCode();
  bool m_ownsCode = true;
};
