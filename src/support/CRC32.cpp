#include "support/CRC32.h"

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;

constexpr uint32_t TableEntry(uint32_t index) {
  uint32_t c = index;
  for (int bit = 0; bit < 8; ++bit) c = (c & 1u) ? (c >> 1) ^ kPolynomial : c >> 1;
  return c;
}

constexpr std::array<uint32_t, 256> BuildTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) table[i] = TableEntry(i);
  return table;
}

inline uint32_t Step(uint32_t c, unsigned char b) { return (c >> 8) ^ CRC32Table[(c ^ b) & 0xFFu]; }

}  // namespace

constinit std::array<uint32_t, 256> CRC32Table = BuildTable();

void InitCRC32Table() {
  for (uint32_t i = 0; i < 256; ++i) CRC32Table[i] = TableEntry(i);
}

uint32_t CRC32String(const char* text) {
  uint32_t c = 0xFFFFFFFFu;
  if (text == nullptr) return c;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) c = Step(c, *p);
  return c;
}

uint32_t CRC32Buffer(const void* data, size_t length) {
  uint32_t c = 0xFFFFFFFFu;
  if (data == nullptr) return c;
  const unsigned char* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < length; ++i) c = Step(c, p[i]);
  return c;
}
