// A growable array of borrowed pointers: nothing it holds is destroyed.
#pragma once

#include "platform/cARRAY_CLASS.h"

template <typename T>
class cARRAY_CLASS_NO_DELETE : public carray_detail::ArrayBase<T*> {
 public:
  ~cARRAY_CLASS_NO_DELETE() { SetLength(0); }

  void SetLength(int32_t n) { this->ResizeTo(n); }
  T* Get(int32_t i) const { return (i >= 0 && i < this->m_length) ? this->m_items[i] : nullptr; }
};
