#include "timeline/TimeLine_Main.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/VCL.h"
#include "platform/NameTable.h"
#include "room/Event_Class.h"
#include "room/Event_State.h"
#include "support/BoundedReader.h"

namespace {

struct TimeLineTableState {
  std::vector<CTimeLine*> timeLines;  // null for an empty slot
  NameTable names;                    // at the same indices; an empty slot holds none
};
TimeLineTableState g_timeLines;

void DeleteAction(TimeLineAction action) { delete TimeLine_ActionEvent(action); }

}  // namespace

// ---- CTimeLine ----

CTimeLine::~CTimeLine() { Clear(); }

int32_t CTimeLine::GetTime(int32_t i) const { return (i >= 0 && i < GetCount()) ? m_times[static_cast<size_t>(i)] : 0; }

TimeLineAction CTimeLine::GetEvent(int32_t i) const {
  return (i >= 0 && i < GetCount()) ? m_actions[static_cast<size_t>(i)] : 0;
}

int32_t CTimeLine::FindMoment(int32_t time) const {
  for (int32_t i = 0; i < GetCount(); ++i) {
    if (m_times[static_cast<size_t>(i)] == time) return i;
  }
  return -1;
}

int32_t CTimeLine::FindAtOrAfter(double position) const {
  for (int32_t i = 0; i < GetCount(); ++i) {
    if (m_times[static_cast<size_t>(i)] >= position) return i;
  }
  return GetCount();
}

int32_t CTimeLine::FindAtOrBefore(double position) const {
  for (int32_t i = GetCount() - 1; i >= 0; --i) {
    if (m_times[static_cast<size_t>(i)] <= position) return i;
  }
  return -1;
}

void CTimeLine::AddScriptMoment(int32_t time, int32_t script) {
  if (FindMoment(time) >= 0) return;
  const auto at = std::upper_bound(m_times.begin(), m_times.end(), time);
  const auto offset = at - m_times.begin();
  m_times.insert(at, time);
  m_actions.insert(m_actions.begin() + offset, static_cast<TimeLineAction>(script) * 2 + 1);
}

void CTimeLine::ClearMoment(int32_t time) {
  const int32_t i = FindMoment(time);
  if (i < 0) return;
  DeleteAction(m_actions[static_cast<size_t>(i)]);
  m_actions.erase(m_actions.begin() + i);
  m_times.erase(m_times.begin() + i);
}

void CTimeLine::Clear() {
  for (TimeLineAction action : m_actions) DeleteAction(action);
  m_actions.clear();
  m_times.clear();
}

bool CTimeLine::Load(const BoundedReader& image, uint64_t entry) {
  Clear();
  BoundedReader r = image.At(entry, image.ImageSize() - std::min<uint64_t>(entry, image.ImageSize()));
  uint32_t nameOffset = 0;
  int32_t count = 0;
  r.U32(&nameOffset);
  r.I32(&count);
  if (!r.Ok() || count < 0 || !r.Fits(static_cast<uint64_t>(count), 8)) {
    DebugConsole->Output("Game data: a time line at offset %llu holds fewer moments than its count %d\n",
                         static_cast<unsigned long long>(entry), count);
    return false;
  }
  struct Moment {
    int32_t time;
    uint32_t offset;
  };
  std::vector<Moment> moments(static_cast<size_t>(count));
  for (Moment& m : moments) {
    r.I32(&m.time);
    r.U32(&m.offset);
  }
  // The moment queries need ascending times; a file with them out of order is sorted, equal
  // times keeping their order.
  std::stable_sort(moments.begin(), moments.end(), [](const Moment& a, const Moment& b) { return a.time < b.time; });
  m_times.reserve(moments.size());
  m_actions.reserve(moments.size());
  for (const Moment& m : moments) {
    CEvent* event = new CEvent();
    m_times.push_back(m.time);
    m_actions.push_back(reinterpret_cast<TimeLineAction>(event));
    if (!event->LoadFromData(image, m.offset)) return false;
  }
  return true;
}

bool CTimeLine::Compile() {
  Event_SetType(kEventTypeTimeLine);
  for (int32_t i = 0; i < GetCount(); ++i) {
    CEvent* event = TimeLine_ActionEvent(m_actions[static_cast<size_t>(i)]);
    if (event == nullptr) continue;
    Event_SetNumber(m_times[static_cast<size_t>(i)]);
    if (!event->Compile()) return false;
  }
  return true;
}

// ---- The table ----

void TimeLine_Init() { TimeLine_FreeAll(); }

void TimeLine_FreeAll() {
  for (CTimeLine* t : g_timeLines.timeLines) delete t;
  g_timeLines.timeLines.clear();
  g_timeLines.timeLines.shrink_to_fit();
  g_timeLines.names.FreeAll();
}

bool TimeLine_LoadChunk(BoundedReader& chunk) {
  uint32_t count = 0;
  if (!chunk.U32(&count) || count > INT32_MAX || !chunk.Fits(count, 4)) {
    DebugConsole->Output("Game data: the time-line chunk holds fewer entries than its count %u\n", count);
    return false;
  }
  TimeLine_FreeAll();
  g_timeLines.timeLines.assign(count, nullptr);
  g_timeLines.names.Set(static_cast<int32_t>(count) - 1, nullptr);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t entry = 0;
    chunk.U32(&entry);
    if (entry == 0) continue;
    uint32_t nameOffset = 0;
    BoundedReader head = chunk.At(entry, 4);
    head.U32(&nameOffset);
    const char* name = nullptr;
    if (!head.Ok() || !chunk.TextAt(nameOffset, &name)) {
      DebugConsole->Output("Game data: time line %u or its name lies outside the file\n", i);
      return false;
    }
    CTimeLine* timeLine = new CTimeLine();
    g_timeLines.timeLines[i] = timeLine;
    g_timeLines.names.Set(static_cast<int32_t>(i), name);
    if (!timeLine->Load(chunk, entry)) return false;
  }
  return true;
}

bool TimeLine_Prepare() {
  for (int32_t i = 0; i < TimeLine_Count(); ++i) {
    CTimeLine* timeLine = TimeLine_Data(i);
    if (timeLine == nullptr) continue;
    Event_SetObject(i);
    if (!timeLine->Compile()) return false;
  }
  return true;
}

int32_t TimeLine_Count() { return static_cast<int32_t>(g_timeLines.timeLines.size()); }

bool TimeLine_Exists(int32_t index) { return TimeLine_Data(index) != nullptr; }

CTimeLine* TimeLine_Data(int32_t index) {
  if (index < 0 || index >= TimeLine_Count()) return nullptr;
  return g_timeLines.timeLines[static_cast<size_t>(index)];
}

const char* TimeLine_GetName(int32_t index) {
  if (!TimeLine_Exists(index)) return "<undefined>";
  const char* name = g_timeLines.names.Name(index);
  return name != nullptr ? name : "<undefined>";
}

// Only filled slots hold a name.
int32_t TimeLine_FindByName(const char* name) { return g_timeLines.names.FindFirst(name); }

int32_t TimeLine_Add() {
  const int32_t index = TimeLine_Count();
  char name[32];
  std::snprintf(name, sizeof(name), "__newtimeline%d", index);
  g_timeLines.timeLines.push_back(new CTimeLine());
  g_timeLines.names.Add(name);
  return index;
}

bool TimeLine_Delete(int32_t index) {
  if (!TimeLine_Exists(index)) return false;
  const size_t at = static_cast<size_t>(index);
  delete g_timeLines.timeLines[at];
  // Later time lines move down; the table keeps its number of slots.
  std::rotate(g_timeLines.timeLines.begin() + static_cast<std::ptrdiff_t>(at), g_timeLines.timeLines.begin() + static_cast<std::ptrdiff_t>(at) + 1,
              g_timeLines.timeLines.end());
  g_timeLines.timeLines.back() = nullptr;
  g_timeLines.names.RemoveAt(index);
  g_timeLines.names.Add(nullptr);
  return true;
}
