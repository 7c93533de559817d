// UTF-8 helpers for the 16-bit character set: a character is a code point 0..65535 written in
// one to three bytes. Nothing is validated; every byte sequence decodes to something, and no
// helper reads past a text's terminating NUL.
#pragma once

#include <cstdint>

// The character at *text; *text moves past it. A sequence cut short by the NUL decodes from
// the bytes before the NUL and stops at the NUL.
uint16_t Utf8DecodeChar(const char** text);
// Writes the one to three bytes of `ch` (its low 16 bits) at *out and moves *out past them.
void Utf8EncodeChar(char** out, uint32_t ch);
int Utf8CharSize(uint32_t ch);
int32_t Utf8Length(const char* text);
int32_t Utf8Compare(const char* a, const char* b);
int32_t Utf8CompareN(const char* a, const char* b, int32_t n);
