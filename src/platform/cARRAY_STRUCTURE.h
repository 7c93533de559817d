// A growable array of plain records held by value; nothing is constructed or destroyed.
// Records the array grows into start out as zero bytes. Moving hands the block over; a move
// assignment first releases the block of the array it assigns to.
#pragma once

#include <type_traits>

#include "platform/cARRAY_CLASS.h"

template <typename T>
class cARRAY_STRUCTURE : public carray_detail::ArrayBase<T> {
  static_assert(std::is_trivially_copyable_v<T>, "records are plain memory");

 public:
  cARRAY_STRUCTURE() = default;
  cARRAY_STRUCTURE(cARRAY_STRUCTURE&& other) noexcept { this->TakeFrom(other); }
  cARRAY_STRUCTURE& operator=(cARRAY_STRUCTURE&& other) noexcept {
    if (this != &other) {
      SetLength(0);
      this->TakeFrom(other);
    }
    return *this;
  }
  ~cARRAY_STRUCTURE() { SetLength(0); }

  void SetLength(int32_t n) { this->ResizeTo(n); }
};
