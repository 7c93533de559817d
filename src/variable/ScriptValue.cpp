#include "variable/ScriptValue.h"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "buffer/IBuffer.h"
#include "base/ErrorSink.h"
#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "variable/ValueWalk.h"
#include "variable/Variable_State.h"

namespace {

// A zero-filled block for `count` items of `size` bytes: a count that cannot be a block is
// fatal, as running out of memory is.
void* AllocItems(int64_t count, int64_t size) { return Grow_Resize(nullptr, count, static_cast<size_t>(size)); }

void* GrowItems(void* block, int64_t count, int64_t size) { return Grow_Resize(block, count, static_cast<size_t>(size)); }

// A row's element block grown to `count` elements, the room added left as it is: the row only
// ever reads the elements below its length, and every element it takes on is written first
// (GrowRowTo).
ScriptValue* GrowElements(ScriptValue* block, int64_t count) {
  return static_cast<ScriptValue*>(Grow_Resize(block, count, sizeof(ScriptValue), false));
}

// The room given to a row list or an element block that must hold `count` items: the next power
// of two, so that filling an array item by item copies each item a bounded number of times
// instead of once per item added. ReAlloc hands back a block that is already big enough as it
// is. The room past a row list's count stays zero-filled (rows that later appear in it start
// empty); the room past a row's length holds nothing meaningful.
int64_t RoomFor(int64_t count) {
  int64_t room = 4;
  while (room < count) room *= 2;
  return room;
}

// Replaces the target's payload and kind with those of `from`, which hands over what it owns.
// The target's spare word stays as it is.
void MoveInto(ScriptValue* target, const ScriptValue& from) {
  target->bits = from.bits;
  target->kind = from.kind;
}

// Frees an array whose count reached 0 and everything in it. A nested array whose last
// reference goes with it joins a list of arrays waiting to be freed (linked through nextFreed,
// as its owner no longer matters) instead of being freed by a nested call, so a chain of arrays
// of any length is freed in one loop.
void FreeArray(ValueArray* array) {
  array->nextFreed = nullptr;
  ValueArray* waiting = array;
  while (waiting != nullptr) {
    ValueArray* current = waiting;
    waiting = current->nextFreed;
    for (int32_t r = 0; r < current->rowCount; ++r) {
      ValueRow& row = current->rows[r];
      ScriptValue* const elements = row.elements;
      const int32_t length = row.length;
      for (int32_t c = 0; c < length; ++c) {
        ScriptValue* element = &elements[c];
        // The block goes with the row below: only what an element owns is freed, and nothing
        // is written back.
        if (element->Kind() == VALUE_STRING) {
          MemoryManager::Free(element->str);
          continue;
        }
        if (element->Kind() != VALUE_ARRAY || element->arr == nullptr) continue;
        ValueArray* inner = element->arr;
        if (inner->owner == element) inner->owner = nullptr;
        if (--inner->refCount <= 0) {
          inner->nextFreed = waiting;
          waiting = inner;
        }
        SetUndefined(element);
      }
      MemoryManager::Free(row.elements);
    }
    MemoryManager::Free(current->rows);
    MemoryManager::Free(current);
  }
}

// The arrays reachable from `from` through array elements (from included) that reach `target`
// (target included when it is reachable), each once. Arrays hold no loops, so a depth-first walk
// that remembers each array's answer visits every array once; it keeps its own stack, so any
// depth of nesting is walked without recursion.
std::vector<ValueArray*> ArraysReaching(ValueArray* from, const ValueArray* target) {
  std::vector<ValueArray*> reaching;
  if (from == target) {
    reaching.push_back(from);
    return reaching;
  }
  struct Frame {
    ValueArray* array;
    int32_t row;
    int32_t column;
    bool reaches;
  };
  std::unordered_map<const ValueArray*, bool> answers;  // arrays entered: whether they reach
  std::vector<Frame> stack;
  answers.emplace(from, false);
  stack.push_back({from, 0, 0, false});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    ValueArray* child = nullptr;
    while (child == nullptr && frame.row < frame.array->rowCount) {
      const ValueRow& row = frame.array->rows[frame.row];
      if (frame.column >= row.length) {
        ++frame.row;
        frame.column = 0;
        continue;
      }
      const ScriptValue& element = row.elements[frame.column++];
      if (element.Kind() == VALUE_ARRAY) child = element.arr;
    }
    if (child == nullptr) {  // every element seen
      const Frame done = frame;
      stack.pop_back();
      answers[done.array] = done.reaches;
      if (done.reaches) reaching.push_back(done.array);
      if (!stack.empty()) stack.back().reaches |= done.reaches;
      continue;
    }
    if (child == target) {
      if (answers.emplace(child, true).second) reaching.push_back(child);
      frame.reaches = true;
      continue;
    }
    const auto seen = answers.find(child);
    if (seen != answers.end()) {
      frame.reaches |= seen->second;
      continue;
    }
    answers.emplace(child, false);
    stack.push_back({child, 0, 0, false});  // `frame` is not used past this point
  }
  return reaching;
}

// A copy of `from` that does not reach `target`: every array of `reaching` (ArraysReaching) is
// copied once, and the copies hold each other where the originals held each other; every other
// array stays shared. Count 1 (the caller's reference), no owner.
ValueArray* CopyAvoiding(ValueArray* from, const std::vector<ValueArray*>& reaching) {
  std::unordered_map<const ValueArray*, ValueArray*> copies;
  for (ValueArray* array : reaching) copies.emplace(array, ValueArray_Duplicate(array, nullptr));
  for (const auto& [original, copy] : copies) {
    for (int32_t r = 0; r < copy->rowCount; ++r) {
      ValueRow& row = copy->rows[r];
      for (int32_t c = 0; c < row.length; ++c) {
        ScriptValue& element = row.elements[c];
        if (element.Kind() != VALUE_ARRAY || element.arr == nullptr) continue;
        const auto replacement = copies.find(element.arr);
        if (replacement == copies.end()) continue;
        --element.arr->refCount;  // the original is still held where it was
        element.arr = replacement->second;
        ++element.arr->refCount;
        element.arr->inArray = true;
      }
    }
  }
  // Each copy but the top one is held by the copy of an array on a path to it: its own first
  // reference goes.
  ValueArray* top = copies.at(from);
  for (const auto& [original, copy] : copies) {
    if (copy != top && --copy->refCount <= 0) FreeArray(copy);
  }
  return top;
}

// Copies `value` into the empty record `copy` for storing into an element of `target`: as
// CopyValue, except that an array that reaches the target is stored as CopyAvoiding makes it.
// Only the target itself can reach a target that no element ever held, so the walk is left out
// then (building nested arrays level by level costs no walk per level).
void CopyForStore(ScriptValue* copy, const ScriptValue* value, const ValueArray* target) {
  if (value->Kind() != VALUE_ARRAY || value->arr == nullptr || (value->arr != target && !target->inArray)) {
    CopyValue(copy, value);
    return;
  }
  const std::vector<ValueArray*> reaching = ArraysReaching(value->arr, target);
  if (reaching.empty()) {
    CopyValue(copy, value);
    return;
  }
  copy->kind = value->kind;
  copy->arr = CopyAvoiding(value->arr, reaching);
}

// The room given to a row's element block that must hold `length` elements: RoomFor's doubling
// while the block is small; past kRowDoublingLimit elements the most a row ever grows to (a
// column stops at kArrayRowStride - 1). A big row then moves once more at most, rather than
// being copied or remapped at every doubling, and the room it does not use costs no memory until
// it is written, as nothing clears it.
constexpr int64_t kRowDoublingLimit = 4096;
int64_t RowRoomFor(int64_t length) {
  if (length <= kRowDoublingLimit) return RoomFor(length);
  return length > kArrayRowStride ? length : kArrayRowStride;
}

// Makes the whole pages between two addresses present and writable in one request, instead of
// one page fault per page as they are first written. Only a hint: where the system cannot, the
// pages come page by page as before.
void MakePagesPresent(const void* from, const void* to) {
#ifdef MADV_POPULATE_WRITE
  constexpr uintptr_t kPage = 4096;
  const uintptr_t start = (reinterpret_cast<uintptr_t>(from) + kPage - 1) & ~(kPage - 1);
  const uintptr_t end = reinterpret_cast<uintptr_t>(to) & ~(kPage - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
#else
  (void)from;
  (void)to;
#endif
}

// Makes the row `length` elements long (more than it is): the block grows when it has no room,
// and the elements added (a gap left by a far index included) become real 0. In a block past the
// doubling sizes, the pages up to the end of the kRowMemoryStep the new length reaches into are
// made present at once (the row then lengthens in place up to there).
void GrowRowTo(ValueRow* row, int64_t length) {
  const auto stepEnd = [](int64_t n) { return (n + kRowMemoryStep - 1) / kRowMemoryStep * kRowMemoryStep; };
  // The pages up to the end of the step the length reaches into are present already, unless the
  // block just moved.
  int64_t present = stepEnd(row->length);
  if (length > row->capacity) {
    const int64_t room = RowRoomFor(length);
    row->elements = GrowElements(row->elements, room);
    row->capacity = static_cast<int32_t>(room);
    present = row->length;
  }
  if (row->capacity > kRowDoublingLimit && stepEnd(length) > present) {
    MakePagesPresent(row->elements + row->length, row->elements + std::min<int64_t>(stepEnd(length), row->capacity));
  }
  std::memset(static_cast<void*>(row->elements + row->length), 0,
              static_cast<size_t>(length - row->length) * sizeof(ScriptValue));
  row->length = static_cast<int32_t>(length);
}

void SetIndexError(int32_t row, int32_t column, const ValueArray* array) {
  const int32_t rowCount = array ? array->rowCount : 0;
  g_Variables.arrayIndexError.flag = 1;
  g_Variables.arrayIndexError.row = row;
  g_Variables.arrayIndexError.column = column;
  g_Variables.arrayIndexError.rowCount = rowCount;
  g_Variables.arrayIndexError.rowLength = (row >= 0 && row < rowCount) ? array->rows[row].length : -1;
}

void AppendFormatted(char** cursor, char** start, uint32_t* capacity, char* scratch, size_t size,
                     const char* format, ...) __attribute__((format(printf, 6, 7)));
void AppendFormatted(char** cursor, char** start, uint32_t* capacity, char* scratch, size_t size,
                     const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(scratch, size, format, args);
  va_end(args);
  AppendText(cursor, start, capacity, scratch);
}

}  // namespace

// ---- Setting values ----

void SetString(ScriptValue* v, const char* text) {
  v->str = MemoryManager::DuplicateText(text);
  v->kind = VALUE_STRING;
}

void SetUndefined(ScriptValue* v) {
  v->bits = 0;
  v->kind = VALUE_UNDEFINED;
}

// ---- Copying and releasing ----

void CopyValue(ScriptValue* dst, const ScriptValue* src) {
  if (dst == src) return;  // a value is already a copy of itself
  dst->kind = src->kind;
  switch (src->Kind()) {
    case VALUE_REAL:
    case VALUE_INT64:
    case VALUE_PTR:
      dst->bits = src->bits;
      break;
    case VALUE_STRING:
      dst->str = MemoryManager::DuplicateText(src->str);
      break;
    case VALUE_ARRAY:
      dst->arr = src->arr;
      if (dst->arr != nullptr) ++dst->arr->refCount;
      break;
    case VALUE_INT32:
      std::memcpy(&dst->bits, &src->bits, sizeof(int32_t));
      break;
    default:  // undefined and unknown kinds carry nothing
      break;
  }
}

void AssignValue(ScriptValue* dst, const ScriptValue* src) {
  if (dst == src) return;
  if (dst->Kind() == VALUE_STRING) MemoryManager::Free(dst->str);
  dst->bits = 0;
  CopyValue(dst, src);
}

void ReleaseValue(ScriptValue* v) {
  if (v->Kind() == VALUE_STRING) {
    MemoryManager::Free(v->str);
  } else if (v->Kind() == VALUE_ARRAY && v->arr != nullptr) {
    ValueArray* array = v->arr;
    if (array->owner == v) array->owner = nullptr;
    if (--array->refCount <= 0) FreeArray(array);
  }
  SetUndefined(v);
}

void DuplicateValue(ScriptValue* dst, const ScriptValue* src) {
  if (dst == src) return;
  // The destination's previous text block, reused for a text that fits and freed otherwise.
  char* oldText = dst->Kind() == VALUE_STRING ? dst->str : nullptr;
  dst->kind = src->kind;
  switch (src->Kind()) {
    case VALUE_REAL:
    case VALUE_INT64:
    case VALUE_PTR:
      MemoryManager::Free(oldText);
      dst->bits = src->bits;
      break;
    case VALUE_INT32:
      MemoryManager::Free(oldText);
      dst->bits = 0;
      std::memcpy(&dst->bits, &src->bits, sizeof(int32_t));
      break;
    case VALUE_STRING: {
      if (src->str == nullptr) {
        MemoryManager::Free(oldText);
        dst->str = nullptr;
        break;
      }
      const size_t needed = std::strlen(src->str) + 1;
      if (oldText != nullptr && static_cast<size_t>(MemoryManager::GetSize(oldText)) >= needed) {
        std::memmove(oldText, src->str, needed);
        dst->str = oldText;
      } else {
        MemoryManager::Free(oldText);
        dst->str = MemoryManager::DuplicateText(src->str);
      }
      break;
    }
    case VALUE_ARRAY:
      MemoryManager::Free(oldText);
      dst->arr = ValueArray_Duplicate(src->arr, dst);
      break;
    default:
      MemoryManager::Free(oldText);
      dst->bits = 0;
      break;
  }
}

ValueArray* ValueArray_Create(const ScriptValue* owner) {
  ValueArray* array = static_cast<ValueArray*>(AllocItems(1, sizeof(ValueArray)));
  array->refCount = 1;
  array->inArray = false;
  array->rows = nullptr;
  array->owner = owner;
  array->rowCount = 0;
  return array;
}

ValueArray* ValueArray_Duplicate(const ValueArray* array, const ScriptValue* newOwner) {
  if (array == nullptr) return nullptr;
  ValueArray* copy = ValueArray_Create(newOwner);
  if (array->rowCount <= 0) return copy;
  copy->rows = static_cast<ValueRow*>(AllocItems(array->rowCount, sizeof(ValueRow)));
  copy->rowCount = array->rowCount;
  for (int32_t r = 0; r < array->rowCount; ++r) {
    const ValueRow& from = array->rows[r];
    if (from.length <= 0) continue;
    ValueRow& to = copy->rows[r];
    to.elements = static_cast<ScriptValue*>(AllocItems(from.length, sizeof(ScriptValue)));
    to.length = from.length;
    to.capacity = from.length;
    for (int32_t c = 0; c < from.length; ++c) {
      ScriptValue* element = &to.elements[c];
      CopyValue(element, &from.elements[c]);
      if (element->Kind() == VALUE_ARRAY && element->arr != nullptr) element->arr->inArray = true;
    }
  }
  return copy;
}

bool IsArrayOwner(const ScriptValue* v) {
  return v->Kind() == VALUE_ARRAY && v->arr != nullptr && v->arr->owner == v;
}

// ---- Element access ----

bool GetValueElement(ScriptValue* target, const ScriptValue* source, int32_t index) {
  const bool isArray = source->Kind() == VALUE_ARRAY;
  if (!isArray && index != kWholeValueIndex) {
    FatalError("trying to index a variable which is not an array");
    // Only reached while errors are suppressed: the read gives the real 0.
    ReleaseValue(target);
    SetReal(target, 0.0);
    return false;
  }
  ValueArray* array = isArray ? source->arr : nullptr;
  if (array != nullptr && array->owner == nullptr) array->owner = source;

  const ScriptValue* from = source;
  if (index != kWholeValueIndex) {
    const int32_t row = num::DivInt32(index, kArrayRowStride);
    const int32_t column = num::ModInt32(index, kArrayRowStride);
    const int32_t rowCount = array ? array->rowCount : 0;
    if (row < 0 || row >= rowCount || column < 0 || column >= array->rows[row].length) {
      SetIndexError(row, column, array);
      ReleaseValue(target);
      SetReal(target, 0.0);
      return false;
    }
    from = &array->rows[row].elements[column];
  }
  if (from == target) return true;
  // Copy first: the target may hold the last reference to the array the element lives in.
  ScriptValue copy{};
  CopyValue(&copy, from);
  ReleaseValue(target);
  MoveInto(target, copy);
  return true;
}

void SetValueElement(ScriptValue* target, const ScriptValue* value, int32_t index) {
  if (index == kWholeValueIndex) {
    if (target == value) return;
    if (target->Kind() == VALUE_ARRAY && value->Kind() == VALUE_ARRAY && value->arr != nullptr &&
        value->arr->owner == nullptr) {
      value->arr->owner = value;
    }
    // Copy before releasing: the value may live inside what the target holds.
    ScriptValue copy{};
    CopyValue(&copy, value);
    ReleaseValue(target);
    MoveInto(target, copy);
    return;
  }

  ScriptValue held{};  // the value, when releasing the target could destroy it
  const bool convert = target->Kind() != VALUE_ARRAY;
  if (convert) {
    CopyValue(&held, value);
    value = &held;
    ReleaseValue(target);
    target->arr = nullptr;
    target->kind = VALUE_ARRAY;
  }

  // Claim the array: create it, copy it when it is shared and not ours, or write in place.
  ValueArray* array = target->arr;
  if (array == nullptr) {
    target->arr = ValueArray_Create(target);
  } else if (array->owner != target && array->refCount != 1) {
    --array->refCount;
    target->arr = ValueArray_Duplicate(array, target);
  } else if (array->owner == nullptr) {
    array->owner = target;
  }

  SetArrayElement(target, value, index);
  if (convert) ReleaseValue(&held);
}

void SetArrayElement(ScriptValue* target, const ScriptValue* value, int32_t index) {
  if (target->arr == nullptr) target->arr = ValueArray_Create(target);
  ValueArray* array = target->arr;
  const int32_t row = num::DivInt32(index, kArrayRowStride);
  const int32_t column = num::ModInt32(index, kArrayRowStride);

  // Copy before growing: the value may be an element of this very array, whose rows and
  // elements may move, and a copy of the array itself is taken as it was before the store.
  ScriptValue copy{};
  CopyForStore(&copy, value, array);
  if (row >= array->rowCount) {
    const int64_t rows = static_cast<int64_t>(row) + 1;
    array->rows = static_cast<ValueRow*>(GrowItems(array->rows, RoomFor(rows), sizeof(ValueRow)));
    array->rowCount = static_cast<int32_t>(rows);
  }
  if (row < 0 || column < 0) {
    SetIndexError(row, column, array);
    ReleaseValue(&copy);
    return;
  }

  ValueRow& slot = array->rows[row];
  if (column >= slot.length) GrowRowTo(&slot, static_cast<int64_t>(column) + 1);
  ScriptValue* element = &slot.elements[column];
  ReleaseValue(element);
  MoveInto(element, copy);
  if (element->Kind() == VALUE_ARRAY && element->arr != nullptr) element->arr->inArray = true;
}

// ---- Text form ----

void AppendText(char** cursor, char** start, uint32_t* capacity, const char* text) {
  if (text == nullptr) text = "";
  const int64_t length = static_cast<int64_t>(std::strlen(text));
  // A text not yet started has no room, whatever the capacity says.
  const int64_t used = (*start != nullptr) ? (*cursor - *start) : 0;
  const int64_t have = (*start != nullptr) ? static_cast<int64_t>(*capacity) : 0;
  const int64_t needed = length + used + 1;
  if (have < needed) {
    int64_t grown = have * 2;
    if (needed + 1 >= grown) grown = needed + 1;
    *start = static_cast<char*>(GrowItems(*start, grown, 1));
    *capacity = static_cast<uint32_t>(grown);
  }
  *cursor = *start + used;
  std::memcpy(*cursor, text, static_cast<size_t>(length) + 1);
  *cursor += length;
}

namespace {

// The text form of every kind but arrays. Kept out of the array walk so that each level of
// nesting costs only a small frame.
[[gnu::noinline]] void AppendScalarText(char** cursor, char** start, uint32_t* capacity, const ScriptValue* value) {
  char scratch[512];
  switch (value->Kind()) {
    case VALUE_REAL: {
      const double real = value->real;
      if (std::isnan(real)) {
        AppendText(cursor, start, capacity, "NaN");
      } else {
        const int64_t whole = num::TruncInt64(real);
        if (static_cast<double>(whole) == real) {
          AppendFormatted(cursor, start, capacity, scratch, sizeof(scratch), "%lld", static_cast<long long>(whole));
        } else {
          AppendFormatted(cursor, start, capacity, scratch, sizeof(scratch), "%.2f", real);
        }
      }
      break;
    }
    case VALUE_STRING:
      if (value->str != nullptr) AppendText(cursor, start, capacity, value->str);
      break;
    case VALUE_INT64:
      AppendFormatted(cursor, start, capacity, scratch, sizeof(scratch), "%lld", static_cast<long long>(value->i64));
      break;
    case VALUE_INT32:
      AppendFormatted(cursor, start, capacity, scratch, sizeof(scratch), "%d", value->i32);
      break;
    case VALUE_UNDEFINED:
      AppendText(cursor, start, capacity, "undefined");
      break;
    case VALUE_PTR:
      AppendFormatted(cursor, start, capacity, scratch, sizeof(scratch), "%p", value->ptr);
      break;
    default:
      break;
  }
}

// `depth` counts the arrays around the value; `repeat` tells whether one of them was written
// before in this walk.
void AppendValueTextAt(char** cursor, char** start, uint32_t* capacity, const ScriptValue* value, int depth,
                       ValueWalk* walk, bool repeat) {
  if (repeat) walk->Charge(value);
  if (value->Kind() != VALUE_ARRAY) {
    AppendScalarText(cursor, start, capacity, value);
    return;
  }
  const ValueArray* array = value->arr;
  if (depth >= kMaxValueNesting || !walk->Enter(array, &repeat)) {
    AppendText(cursor, start, capacity, "{ ... }");
    return;
  }
  AppendText(cursor, start, capacity, "{ ");
  const int32_t rowCount = array ? array->rowCount : 0;
  for (int32_t r = 0; r < rowCount; ++r) {
    AppendText(cursor, start, capacity, "{ ");
    const ValueRow& row = array->rows[r];
    for (int32_t c = 0; c < row.length; ++c) {
      if (c > 0) AppendText(cursor, start, capacity, ",");
      AppendValueTextAt(cursor, start, capacity, &row.elements[c], depth + 1, walk, repeat);
    }
    AppendText(cursor, start, capacity, " }, ");
  }
  AppendText(cursor, start, capacity, " }");
}

}  // namespace

void AppendValueText(char** cursor, char** start, uint32_t* capacity, const ScriptValue* value) {
  ValueWalk walk;
  AppendValueTextAt(cursor, start, capacity, value, 0, &walk, false);
}

char* ValueToString(const ScriptValue* value) {
  char* start = nullptr;
  char* cursor = nullptr;
  uint32_t capacity = 0;
  AppendValueText(&cursor, &start, &capacity, value);
  if (start == nullptr) AppendText(&cursor, &start, &capacity, "");
  return start;
}

// ---- Comparison ----

bool ValuesEqual(const ScriptValue* a, const ScriptValue* b) {
  if (a->Kind() != b->Kind()) return false;
  switch (a->Kind()) {
    case VALUE_REAL:
      return std::fabs(a->real - b->real) < g_Variables.MathEpsilon;
    case VALUE_STRING:
      if (a->str == b->str) return true;
      if (a->str == nullptr || b->str == nullptr) return false;
      return std::strcmp(a->str, b->str) == 0;
    case VALUE_INT64:
    case VALUE_PTR:
      return a->bits == b->bits;
    case VALUE_INT32:
      return a->i32 == b->i32;
    case VALUE_UNDEFINED:
      return true;
    default:  // arrays, even the same array, and unknown kinds
      return false;
  }
}

// ---- Buffer format ----

namespace {

bool WriteS32(IBuffer* buffer, int32_t number) {
  const double payload = number;
  return buffer->Write(BUFFER_S32, &payload) == 0;
}

// `depth` counts the arrays around the value; `repeat` tells whether one of them was written
// before in this walk.
bool WriteValueAt(const ScriptValue* value, IBuffer* buffer, int depth, ValueWalk* walk, bool repeat) {
  if (repeat) walk->Charge(value);
  if (value->Kind() == VALUE_ARRAY && (depth >= kMaxValueNesting || !walk->Enter(value->arr, &repeat))) {
    return WriteS32(buffer, VALUE_UNDEFINED);
  }
  if (!WriteS32(buffer, static_cast<int32_t>(value->kind))) return false;
  switch (value->Kind()) {
    case VALUE_REAL:
      return buffer->Write(BUFFER_F64, &value->real) == 0;
    case VALUE_STRING:
      return buffer->WriteString(value->str) == 0;
    case VALUE_ARRAY: {
      const ValueArray* array = value->arr;
      const int32_t rowCount = array ? array->rowCount : 0;
      if (!WriteS32(buffer, rowCount)) return false;
      for (int32_t r = 0; r < rowCount; ++r) {
        const ValueRow& row = array->rows[r];
        if (!WriteS32(buffer, row.length)) return false;
        for (int32_t c = 0; c < row.length; ++c) {
          if (!WriteValueAt(&row.elements[c], buffer, depth + 1, walk, repeat)) return false;
        }
      }
      return true;
    }
    default:  // the other kinds save their kind only
      return true;
  }
}

}  // namespace

bool WriteValueToBuffer(const ScriptValue* value, IBuffer* buffer) {
  ValueWalk walk;
  return WriteValueAt(value, buffer, 0, &walk, false);
}

namespace {

// Reading trusts nothing: every count is checked against the bytes left before anything is
// allocated for it, and every element against the end before it is read (a read past the end
// would otherwise answer a plausible -3).
class ValueReader {
 public:
  explicit ValueReader(IBuffer* buffer)
      : buffer_(buffer),
        wrap_(buffer->m_Type == BUFFER_WRAP),
        // A wrap buffer reads round and round: what it can hold is its size, once.
        budget_(wrap_ ? static_cast<int64_t>(buffer->m_Size)
                      : static_cast<int64_t>(buffer->m_Size) - buffer->m_Position) {}

  bool Read(ScriptValue* value, int depth) {
    int32_t kind;
    if (!ReadS32(&kind)) {
      SetUndefined(value);  // nothing was read: the value holds nothing of ours
      return false;
    }
    value->kind = static_cast<uint32_t>(kind);
    switch (value->Kind()) {
      case VALUE_REAL:
        value->bits = 0;
        return ReadF64(&value->real);
      case VALUE_STRING:
        value->str = nullptr;
        if (!Fits(1)) return false;
        value->str = buffer_->ReadString();
        budget_ -= value->str ? static_cast<int64_t>(std::strlen(value->str)) + 1 : 2;
        return true;
      case VALUE_ARRAY:
        value->arr = nullptr;
        return depth < kMaxReadNesting && ReadArray(value, depth);
      default:  // no payload was saved
        value->bits = 0;
        return true;
    }
  }

 private:
  // A count of rows or elements; each row takes at least its 4-byte length and each element at
  // least its 4-byte kind, so a count whose minimum exceeds what is left is corrupt.
  bool ReadCount(int32_t* count) {
    if (!ReadS32(count)) return false;
    if (*count < 0) *count = 0;
    return static_cast<int64_t>(*count) * 4 <= BytesLeft();
  }

  bool ReadArray(ScriptValue* value, int depth) {
    ValueArray* array = ValueArray_Create(value);
    array->inArray = depth > 0;
    value->arr = array;
    int32_t rowCount;
    if (!ReadCount(&rowCount)) return false;
    if (rowCount == 0) return true;
    array->rows = static_cast<ValueRow*>(AllocItems(rowCount, sizeof(ValueRow)));
    array->rowCount = rowCount;
    for (int32_t r = 0; r < rowCount; ++r) {
      int32_t length;
      if (!ReadCount(&length)) return false;
      if (length == 0) continue;
      ValueRow& row = array->rows[r];
      row.elements = static_cast<ScriptValue*>(AllocItems(length, sizeof(ScriptValue)));
      row.length = length;
      row.capacity = length;
      // Every element is a zero-filled real 0 until it is read, so a failure part-way leaves
      // an array that releases cleanly.
      for (int32_t c = 0; c < length; ++c) {
        if (!Read(&row.elements[c], depth + 1)) return false;
      }
    }
    return true;
  }

  bool ReadS32(int32_t* out) {
    double number;
    if (!ReadNumber(BUFFER_S32, 4, &number)) return false;
    *out = num::TruncInt32(number);
    return true;
  }

  bool ReadF64(double* out) { return ReadNumber(BUFFER_F64, 8, out); }

  bool ReadNumber(int type, int64_t size, double* out) {
    if (!Fits(size)) return false;
    ScriptValue got{};
    const int result = buffer_->Read(type, &got);
    if (result != 0 || got.Kind() != VALUE_REAL) {
      if (got.Kind() == VALUE_STRING || got.Kind() == VALUE_ARRAY) ReleaseValue(&got);
      return false;
    }
    budget_ -= size;
    *out = got.real;
    return true;
  }

  // Whether an element of `size` bytes can still be read: a buffer that does not wrap first
  // rounds its position up to the alignment.
  bool Fits(int64_t size) const {
    if (budget_ < size) return false;
    if (wrap_) return true;
    const int64_t alignment = buffer_->m_Alignment > 1 ? buffer_->m_Alignment : 1;
    const int64_t position = buffer_->m_Position > 0 ? buffer_->m_Position : 0;
    const int64_t aligned = (position + alignment - 1) / alignment * alignment;
    return aligned + size <= static_cast<int64_t>(buffer_->m_Size);
  }

  int64_t BytesLeft() const {
    if (wrap_) return budget_;
    return static_cast<int64_t>(buffer_->m_Size) - buffer_->m_Position;
  }

  IBuffer* buffer_;
  bool wrap_;
  int64_t budget_;  // bytes this read may still take
};

}  // namespace

bool ReadValueFromBuffer(ScriptValue* value, IBuffer* buffer) {
  ValueReader reader(buffer);
  if (reader.Read(value, 0)) return true;
  ReleaseValue(value);
  return false;
}
