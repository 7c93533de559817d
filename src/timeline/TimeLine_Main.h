// Time lines: lists of moments, each a step number and an action, which an instance runs as its
// time-line position passes them. A moment's action is a handler (CEvent) or a script reference.
// The table is made at the start of every main pass, filled from the time-line chunk ("TMLN"),
// prepared once and changed only by the time-line built-ins. Main thread only.
#pragma once

#include <cstdint>
#include <vector>

class BoundedReader;
class CEvent;

// A moment's action: a CEvent pointer, or (lowest bit 1) a script reference, script index * 2 + 1.
using TimeLineAction = uintptr_t;
inline bool TimeLine_IsScriptAction(TimeLineAction action) { return (action & 1u) != 0; }
inline int32_t TimeLine_ActionScript(TimeLineAction action) { return static_cast<int32_t>(action >> 1); }
inline CEvent* TimeLine_ActionEvent(TimeLineAction action) {
  return TimeLine_IsScriptAction(action) ? nullptr : reinterpret_cast<CEvent*>(action);
}

class CTimeLine {
 public:
  CTimeLine() = default;
  // Deletes every handler (script references are not handlers).
  virtual ~CTimeLine();
  CTimeLine(const CTimeLine&) = delete;
  CTimeLine& operator=(const CTimeLine&) = delete;

  int32_t GetCount() const { return static_cast<int32_t>(m_times.size()); }
  // The time of moment i; 0 out of range.
  int32_t GetTime(int32_t i) const;
  // The action of moment i; 0 out of range.
  TimeLineAction GetEvent(int32_t i) const;
  // The index of the moment at exactly `time`; -1 when none.
  int32_t FindMoment(int32_t time) const;
  // The first moment whose time is at least `position`; the count when none.
  int32_t FindAtOrAfter(double position) const;
  // The last moment whose time is at most `position`; -1 when none.
  int32_t FindAtOrBefore(double position) const;

  // Inserts a moment at `time` running script `script`, after every moment of a smaller time;
  // nothing changes when a moment at that time exists.
  void AddScriptMoment(int32_t time, int32_t script);
  // Removes the moment at exactly `time` (deleting its handler); nothing when there is none.
  void ClearMoment(int32_t time);
  // Removes every moment.
  void Clear();

  // Reads the time-line entry at image offset `entry`: its moments with their handlers, sorted
  // by time (moments of equal time keep their file order). False, after a line on DebugConsole,
  // when the entry, a moment or a handler lies outside the image.
  bool Load(const BoundedReader& image, uint64_t entry);
  // Compiles every handler with the event type 100,000 and the event number set to the moment's
  // time; false at the first failure.
  bool Compile();

 private:
  std::vector<TimeLineAction> m_actions;
  std::vector<int32_t> m_times;
};

// Destroys any table and makes an empty one (the start of every main pass).
void TimeLine_Init();
// Reads the time-line chunk: entry i becomes time line i (an entry offset of 0 leaves slot i
// empty). False, after a line on DebugConsole, when the chunk does not hold what it claims.
bool TimeLine_LoadChunk(BoundedReader& chunk);
// Compiles every time line in index order with the event object set to its index.
bool TimeLine_Prepare();

int32_t TimeLine_Count();
bool TimeLine_Exists(int32_t index);
CTimeLine* TimeLine_Data(int32_t index);
// The name of the time line at `index`, or "<undefined>" for an index that names none.
const char* TimeLine_GetName(int32_t index);
// The lowest filled index whose name equals `name` byte for byte, or -1 (also for null).
int32_t TimeLine_FindByName(const char* name);

// Appends an empty time line named "__newtimeline<index>" and answers its index.
int32_t TimeLine_Add();
// Destroys the time line at `index` and moves every later one (with its name) down by one; the
// last slot becomes empty. False when the index has no time line.
bool TimeLine_Delete(int32_t index);
// Destroys the table.
void TimeLine_FreeAll();
