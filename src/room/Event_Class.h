// One event handler: the code an object runs for one (event kind, event number), or the action
// of one time-line moment. A handler is read from the game data, compiled during preparation and
// lives as long as the object or time line that holds it.
#pragma once

#include <cstdint>

class BoundedReader;
class CCode;
class CInstance;

class CEvent {
 public:
  CEvent() = default;
  // Destroys the handler's code entry (the text points into the game data and stays).
  virtual ~CEvent();
  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;

  // Reads a handler from the event entry at image offset `entry`: the entry's third word is the
  // image offset of its action record (0: no action, the handler keeps no code). With a CODE
  // chunk the handler's text is empty and its code is the code entry whose index is the action
  // record's ninth word; otherwise its text is the string at the offset in the record's
  // sixteenth word (none when 0) and its code is made from that text. False (after a line on
  // DebugConsole) when the entry, the record or the text lies outside the image or the code
  // index names no entry of the CODE chunk.
  bool LoadFromData(const BoundedReader& image, uint64_t entry);

  // Compiles the handler's text under the name "Object.<object>.<event>.<action>" made from the
  // current event object, type, number and action (event state, set by the caller). With a CODE
  // chunk there is nothing to compile: true at once. On failure reports
  // "COMPILATION ERROR in code action\n<compiler error>" as a fatal run-time error and answers
  // false.
  bool Compile();

  // Runs the handler's code for (self, other) with argument_relative cleared, reporting a
  // failure as a run-time error; argument_relative is put back afterwards.
  void Execute(CInstance* self, CInstance* other);

  // Clearing a handler changes nothing: its code stays until the handler is destroyed.
  void Clear() {}

  // True when the handler has a code text (an empty text counts): a handler without one is not
  // present.
  bool IsPresent() const { return m_text != nullptr; }

  CCode* m_code = nullptr;        // owned
  const char* m_text = nullptr;   // the code text in the game image, "" with a CODE chunk
};
