#include "variable/ScriptValue.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "buffer/IBuffer.h"
#include "base/ErrorSink.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "variable/Variable_State.h"

namespace {

// A block for `count` items of `size` bytes, sized in 64 bits: a count that cannot be a real
// request is fatal, as running out of memory is.
void* AllocItems(int64_t count, int64_t size) {
  const int64_t bytes = count * size;
  if (count < 0 || bytes > static_cast<int64_t>(UINT32_MAX - MemoryManager::kHeaderSize)) OutOfMemoryHandler();
  return MemoryManager::Alloc(static_cast<uint32_t>(bytes), __FILE__, __LINE__, true);
}

void* GrowItems(void* block, int64_t count, int64_t size) {
  const int64_t bytes = count * size;
  if (count < 0 || bytes > static_cast<int64_t>(UINT32_MAX - MemoryManager::kHeaderSize)) OutOfMemoryHandler();
  return MemoryManager::ReAlloc(block, static_cast<uint32_t>(bytes), __FILE__, __LINE__);
}

// The room given to a row list or an element block that must hold `count` items: the next power
// of two, so that filling an array item by item copies each item a bounded number of times
// instead of once per item added. ReAlloc hands back a block that is already big enough as it
// is, and the room past the count stays zero-filled (nothing is ever written there), so the items
// that later appear in it start as real 0 like freshly allocated ones.
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

void FreeArray(ValueArray* array) {
  for (int32_t r = 0; r < array->rowCount; ++r) {
    ValueRow& row = array->rows[r];
    for (int32_t c = 0; c < row.length; ++c) ReleaseValue(&row.elements[c]);
    MemoryManager::Free(row.elements);
  }
  MemoryManager::Free(array->rows);
  MemoryManager::Free(array);
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

void SetReal(ScriptValue* v, double real) {
  v->real = real;
  v->kind = VALUE_REAL;
}

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
    for (int32_t c = 0; c < from.length; ++c) CopyValue(&to.elements[c], &from.elements[c]);
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

  if (row >= array->rowCount) {
    const int64_t rows = static_cast<int64_t>(row) + 1;
    array->rows = static_cast<ValueRow*>(GrowItems(array->rows, RoomFor(rows), sizeof(ValueRow)));
    array->rowCount = static_cast<int32_t>(rows);
  }
  if (row < 0 || column < 0) {
    SetIndexError(row, column, array);
    return;
  }

  // Copy before growing: the value may be an element of this very row, which may move.
  ScriptValue copy{};
  CopyValue(&copy, value);
  ValueRow& slot = array->rows[row];
  if (column >= slot.length) {
    const int64_t length = static_cast<int64_t>(column) + 1;
    const int64_t room = RoomFor(length);
    slot.elements = static_cast<ScriptValue*>(GrowItems(slot.elements, room, sizeof(ScriptValue)));
    slot.length = static_cast<int32_t>(length);
    if (slot.capacity < room) slot.capacity = static_cast<int32_t>(room);
  }
  ScriptValue* element = &slot.elements[column];
  ReleaseValue(element);
  MoveInto(element, copy);
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

void AppendValueText(char** cursor, char** start, uint32_t* capacity, const ScriptValue* value) {
  switch (value->Kind()) {
    case VALUE_REAL: {
      char scratch[512];
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
    case VALUE_ARRAY: {
      AppendText(cursor, start, capacity, "{ ");
      const ValueArray* array = value->arr;
      const int32_t rowCount = array ? array->rowCount : 0;
      for (int32_t r = 0; r < rowCount; ++r) {
        AppendText(cursor, start, capacity, "{ ");
        const ValueRow& row = array->rows[r];
        for (int32_t c = 0; c < row.length; ++c) {
          if (c > 0) AppendText(cursor, start, capacity, ",");
          AppendValueText(cursor, start, capacity, &row.elements[c]);
        }
        AppendText(cursor, start, capacity, " }, ");
      }
      AppendText(cursor, start, capacity, " }");
      break;
    }
    case VALUE_INT64: {
      char scratch[256];
      AppendFormatted(cursor, start, capacity, scratch, sizeof(scratch), "%lld", static_cast<long long>(value->i64));
      break;
    }
    case VALUE_INT32: {
      char scratch[256];
      AppendFormatted(cursor, start, capacity, scratch, sizeof(scratch), "%d", value->i32);
      break;
    }
    case VALUE_UNDEFINED:
      AppendText(cursor, start, capacity, "undefined");
      break;
    case VALUE_PTR: {
      char scratch[256];
      AppendFormatted(cursor, start, capacity, scratch, sizeof(scratch), "%p", value->ptr);
      break;
    }
    default:
      break;
  }
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

}  // namespace

bool WriteValueToBuffer(const ScriptValue* value, IBuffer* buffer) {
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
          if (!WriteValueToBuffer(&row.elements[c], buffer)) return false;
        }
      }
      return true;
    }
    default:  // the other kinds save their kind only
      return true;
  }
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
