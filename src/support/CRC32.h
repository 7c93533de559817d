// CRC-32 over the reflected polynomial 0xEDB88320 (the usual ISO 3309 / IEEE 802.3 table).
// The results here are NOT inverted at the end: they are the bitwise complement of the usual
// CRC-32 of the same bytes. ds_map hashes its keys with them, so the departure must stay.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The byte-at-a-time table. It is constant-initialised with the right values, so a hash taken
// before InitCRC32Table runs never sees an empty table.
extern std::array<uint32_t, 256> CRC32Table;

// Fills CRC32Table (once, at start-up, before any other thread runs).
void InitCRC32Table();

// The running value over the bytes of `text` up to its terminator; a null text counts as empty.
uint32_t CRC32String(const char* text);
// The running value over `length` bytes at `data` (a null `data` counts as no bytes).
uint32_t CRC32Buffer(const void* data, size_t length);
