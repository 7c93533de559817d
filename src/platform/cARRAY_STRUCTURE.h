// A growable array of plain records held by value; nothing is constructed or destroyed.
// Records the array grows into start out as zero bytes.
#pragma once

#include <type_traits>

#include "platform/cARRAY_CLASS.h"

template <typename T>
class cARRAY_STRUCTURE : public carray_detail::ArrayBase<T> {
  static_assert(std::is_trivially_copyable_v<T>, "records are plain memory");

 public:
  ~cARRAY_STRUCTURE() { SetLength(0); }

  void SetLength(int32_t n) { this->ResizeTo(n); }
};
