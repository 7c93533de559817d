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

// ---- Character positions (0-based, counted in characters) ----

// The 0-based character position of the first occurrence of `sub` in `text`, characters
// compared as decoded; -1 when there is none or when either is null or empty. Runs in time
// linear in the two lengths.
int32_t Utf8FindText(const char* sub, const char* text);
// Frees *out (a memory-manager block or null) and puts there a new block holding characters
// start .. start + count - 1 of `text`, as many as exist, each decoded and encoded again (a null
// text counts as empty). The empty text when start is not below the length; a negative start
// counts from 0 and a count of 0x7FFFFFFF takes the rest.
void Utf8CopyChars(char** out, const char* text, int32_t start, int32_t count);
// Removes `count` characters from 1-based position `index` of *text (a memory-manager block,
// replaced by a new one when anything is removed). Nothing happens for a null text, a count of 0
// or less, or an index outside 1 .. length; a count past the end removes to the end. The
// characters before the removed ones keep their bytes, those after are decoded and encoded again.
void Utf8DeleteChars(char** text, int32_t index, int32_t count);
// A new memory-manager text of the characters below 128, one byte each, in order; null for a
// null or empty text.
char* KeepAsciiOnly(const char* text);

// ---- Full Unicode (text from the system: typed text, the keyboard string) ----

// The code point at *text, 1 to 4 bytes; *text moves past it. A malformed, overlong, cut-short
// or surrogate sequence gives U+FFFD and moves past its lead byte only; at the NUL, 0 without
// moving.
uint32_t Utf8DecodeCodePoint(const char** text);
