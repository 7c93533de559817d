// The string built-ins of the maths group: conversion, measuring, character and byte access,
// editing and searching. Script positions are 1-based and counted in characters (the byte
// built-ins count bytes); a string value with no text counts as the empty text, and an argument
// that is not a string counts as no text.
#include <langinfo.h>
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "base/ErrorSink.h"
#include "base/Utf8.h"
#include "function/Function_Args.h"
#include "function/Function_Math.h"
#include "platform/MemoryManager.h"
#include "platform/Numeric.h"
#include "variable/ScriptValue.h"

namespace {

// The longest text these built-ins build (a repeat, a replacement or a formatted number); a
// longer one is reported and not made.
constexpr uint64_t kMaxBuiltText = uint64_t{1} << 26;

bool FitsText(uint64_t bytes, const char* name) {
  if (bytes <= kMaxBuiltText) return true;
  ReportRuntimeError((std::string(name) + ": the result would be too long").c_str(), false);
  return false;
}

void SetText(ScriptValue* result, const std::string& text) { SetString(result, text.c_str()); }
void SetNoText(ScriptValue* result) { SetString(result, nullptr); }
// Hands a memory-manager text (or null for no text) to the result.
void SetOwnedText(ScriptValue* result, char* text) {
  SetString(result, nullptr);
  result->str = text;
}

// A position or count argument, rounded with ties to even (out of range: the most negative
// 32-bit value), widened so that arithmetic on it cannot overflow.
int64_t ArgRounded(int32_t argc, const ScriptValue* args, int32_t index) {
  return num::RoundInt32(ArgReal(argc, args, index));
}

// The argument at `index` is a string holding text.
bool HasText(int32_t argc, const ScriptValue* args, int32_t index) {
  return ArgKindWord(argc, args, index) == VALUE_STRING && args[index].str != nullptr;
}
bool IsRealArg(int32_t argc, const ScriptValue* args, int32_t index) {
  return ArgKindWord(argc, args, index) == VALUE_REAL;
}

// Where character `index` (0-based) of a text begins; the terminator when the text is shorter.
const char* CharAt(const char* text, int64_t index) {
  while (index > 0 && *text != '\0') {
    Utf8DecodeChar(&text);
    --index;
  }
  return text;
}

// ---- Conversion ----

// The number at the start of a text in the "C" locale: an optional sign, digits with an optional
// '.' and fraction, an optional exponent; 0 when the text does not start with a number.
double LeadingNumber(const char* text) {
  const char* p = text;
  if (*p == '+' || *p == '-') ++p;
  int digits = 0;
  while (*p >= '0' && *p <= '9') ++p, ++digits;
  if (*p == '.') {
    ++p;
    while (*p >= '0' && *p <= '9') ++p, ++digits;
  }
  if (digits == 0) return 0.0;
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    if (*q == '+' || *q == '-') ++q;
    if (*q >= '0' && *q <= '9') {
      while (*q >= '0' && *q <= '9') ++q;
      p = q;
    }
  }
  // The process stays in the "C" locale, so strtod reads '.' as the decimal point.
  return std::strtod(std::string(text, static_cast<size_t>(p - text)).c_str(), nullptr);
}

void Real(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int64_t kind = ArgKindWord(argc, args, 0);
  if (kind == VALUE_REAL || kind == VALUE_INT32 || kind == VALUE_INT64) {
    SetReal(result, ArgReal(argc, args, 0));
    return;
  }
  char* ascii = KeepAsciiOnly(ArgText(argc, args, 0));
  if (ascii == nullptr) return;
  const char* start = ascii;
  while (*start != '\0' && static_cast<unsigned char>(*start) <= 32) ++start;
  size_t length = std::strlen(start);
  while (length > 0 && static_cast<unsigned char>(start[length - 1]) <= 32) --length;
  SetReal(result, LeadingNumber(std::string(start, length).c_str()));
  MemoryManager::Free(ascii);
}

void String(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc < 1) return;
  SetOwnedText(result, ValueToString(&args[0]));
}

void StringFormat(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (ArgKindWord(argc, args, 0) == VALUE_STRING) {
    SetString(result, args[0].str);
    return;
  }
  if (argc < 3) return;
  const double value = GetArgumentNumber(args, 0);
  const int64_t total = GetArgumentInt(args, 1);
  const int64_t decimals = std::max<int64_t>(GetArgumentInt(args, 2), 0);
  // The field is total + decimals wide (the point not counted); a negative width aligns left.
  const int64_t width = total + decimals;
  if (!FitsText(static_cast<uint64_t>(width < 0 ? -width : width), "string_format") ||
      !FitsText(static_cast<uint64_t>(decimals), "string_format")) {
    SetNoText(result);
    return;
  }
  const int w = static_cast<int>(width);
  const int d = static_cast<int>(decimals);
  const int length = std::snprintf(nullptr, 0, "%*.*f", w, d, value);
  if (length < 0) return;
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), "%*.*f", w, d, value);
  SetString(result, text.c_str());
}

// The one-character text of a code point truncated to 32 bits: 7 bits (every negative value
// included), else two bytes up to 2047, else three bytes of the low 16 bits.
void Chr(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int32_t c = num::TruncInt32(ArgReal(argc, args, 0));
  char bytes[4] = {};
  if (c <= 127) {
    bytes[0] = static_cast<char>(c & 0x7F);
  } else if (c <= 2047) {
    bytes[0] = static_cast<char>(0xC0 | ((c >> 6) & 0x1F));
    bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    bytes[0] = static_cast<char>(0xE0 | ((c >> 12) & 0x0F));
    bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
  }
  SetString(result, bytes);
}

void AnsiChar(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const char bytes[2] = {static_cast<char>(num::RoundInt64(ArgReal(argc, args, 0)) & 0xFF), 0};
  SetString(result, bytes);
}

void Ord(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const char* text = ArgText(argc, args, 0);
  if (text != nullptr && *text != '\0') SetReal(result, Utf8DecodeChar(&text));
}

// ---- Measuring and searching ----

void StringLength(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, Utf8Length(ArgText(argc, args, 0)));
}

void StringByteLength(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const char* text = ArgText(argc, args, 0);
  SetReal(result, text != nullptr ? static_cast<double>(std::strlen(text)) : 0.0);
}

void StringPos(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, Utf8FindText(ArgText(argc, args, 0), ArgText(argc, args, 1)) + 1);
}

// Calls found(offset) for each occurrence of `pattern` (not empty) in `text`, left to right, in
// time linear in the two lengths (a prefix-function scan). With `overlapping` the search goes on
// one byte after the start of an occurrence, else after its end. Stops when found answers false.
template <typename Found>
void ForEachOccurrence(const std::string& text, const std::string& pattern, bool overlapping, Found found) {
  const size_t m = pattern.size();
  std::vector<size_t> border(m, 0);
  size_t k = 0;
  for (size_t i = 1; i < m; ++i) {
    while (k > 0 && pattern[i] != pattern[k]) k = border[k - 1];
    if (pattern[i] == pattern[k]) ++k;
    border[i] = k;
  }
  k = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    while (k > 0 && text[i] != pattern[k]) k = border[k - 1];
    if (text[i] == pattern[k]) ++k;
    if (k == m) {
      if (!found(i + 1 - m)) return;
      k = overlapping ? border[m - 1] : 0;
    }
  }
}

void StringCount(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const char* sub = ArgText(argc, args, 0);
  const char* text = ArgText(argc, args, 1);
  if (sub == nullptr || text == nullptr || *sub == '\0' || *text == '\0') return;
  int64_t count = 0;
  ForEachOccurrence(text, sub, true, [&count](size_t) { return ++count, true; });
  SetReal(result, static_cast<double>(count));
}

// ---- Characters and bytes ----

void StringCopy(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc != 3 || !HasText(argc, args, 0) || !IsRealArg(argc, args, 1) || !IsRealArg(argc, args, 2)) {
    SetNoText(result);
    return;
  }
  const char* text = args[0].str;
  const int64_t index = ArgRounded(argc, args, 1);
  const int64_t start = std::max<int64_t>(index, 1) - 1;
  const int64_t requested = ArgRounded(argc, args, 2);
  int64_t count = std::max<int64_t>(requested, 0);
  const int64_t length = Utf8Length(text);
  if (start + count > length) count = length - start;
  if (count < 0) {
    const std::string message = std::string("string_copy(") + text + ", " + std::to_string(index) + ", " +
                                std::to_string(requested) + "): Index is out of bounds";
    ReportRuntimeError(message.c_str(), false);
    SetString(result, "");
    return;
  }
  char* copy = nullptr;
  Utf8CopyChars(&copy, text, static_cast<int32_t>(start), static_cast<int32_t>(count));
  SetOwnedText(result, copy);
}

// The 0-based character position of string_char_at and string_ord_at, or -1 when their call is
// not (string with text, real) or the position lies past the end.
int64_t CharacterPosition(int32_t argc, const ScriptValue* args) {
  if (argc != 2 || !HasText(argc, args, 0) || !IsRealArg(argc, args, 1)) return -1;
  const int64_t k = std::max<int64_t>(ArgRounded(argc, args, 1) - 1, 0);
  return k < Utf8Length(args[0].str) ? k : -1;
}

void StringCharAt(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int64_t k = CharacterPosition(argc, args);
  if (k < 0) {
    SetNoText(result);
    return;
  }
  char* copy = nullptr;
  Utf8CopyChars(&copy, args[0].str, static_cast<int32_t>(k), 1);
  SetOwnedText(result, copy);
}

void StringOrdAt(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const int64_t k = CharacterPosition(argc, args);
  if (k < 0) {
    SetReal(result, -1.0);
    return;
  }
  const char* at = CharAt(args[0].str, k);
  SetReal(result, Utf8DecodeChar(&at));
}

void StringByteAt(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc != 2 || !HasText(argc, args, 0) || !IsRealArg(argc, args, 1)) return;
  const int64_t length = static_cast<int64_t>(std::strlen(args[0].str));
  if (length == 0) return;
  int64_t k = std::max<int64_t>(ArgRounded(argc, args, 1) - 1, 0);
  if (k >= length) k = length - 1;
  SetReal(result, static_cast<int8_t>(args[0].str[k]));
}

void StringSetByteAt(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const char* text = ArgText(argc, args, 0);
  if (text == nullptr) {
    SetNoText(result);
    return;
  }
  std::string copy = text;
  if (argc == 3 && HasText(argc, args, 0) && IsRealArg(argc, args, 1) && IsRealArg(argc, args, 2)) {
    const int64_t k = ArgRounded(argc, args, 1) - 1;
    if (k >= 0 && k < static_cast<int64_t>(copy.size())) {
      copy[static_cast<size_t>(k)] = static_cast<char>(num::TruncInt32(args[2].real) & 0xFF);
    } else {
      ReportRuntimeError("string_set_byte_at : index beyond end of string", false);
    }
  }
  SetText(result, copy);  // a 0 byte ends the text there
}

// ---- Editing ----

void StringDelete(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  char* copy = MemoryManager::DuplicateText(ArgText(argc, args, 0));
  Utf8DeleteChars(&copy, num::RoundInt32(ArgReal(argc, args, 1)), num::RoundInt32(ArgReal(argc, args, 2)));
  SetOwnedText(result, copy);
}

void StringInsert(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const char* sub = ArgText(argc, args, 0);
  const char* text = ArgText(argc, args, 1);
  if (sub == nullptr || text == nullptr) {
    SetNoText(result);
    return;
  }
  if (*sub == '\0') {
    SetString(result, text);
    return;
  }
  const int64_t length = Utf8Length(text);
  const int64_t p = std::min(std::max<int64_t>(ArgRounded(argc, args, 2) - 1, 0), length);
  char* head = nullptr;
  char* tail = nullptr;
  Utf8CopyChars(&head, text, 0, static_cast<int32_t>(p));
  Utf8CopyChars(&tail, text, static_cast<int32_t>(p), 0x7FFFFFFF);
  SetText(result, std::string(head) + sub + tail);
  MemoryManager::Free(head);
  MemoryManager::Free(tail);
}

// The locale of case mapping, one per thread: the user's default, or "C.UTF-8" when that is not
// a UTF-8 locale (the plain "C" locale maps only ASCII letters). The process locale is never
// changed. Null when neither can be made; the "C" locale's mapping serves then.
locale_t CaseLocale() {
  struct Holder {
    locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    Holder() {
      if (locale != static_cast<locale_t>(0) && std::strcmp(nl_langinfo_l(CODESET, locale), "UTF-8") == 0) return;
      if (locale != static_cast<locale_t>(0)) freelocale(locale);
      locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    }
    ~Holder() {
      if (locale != static_cast<locale_t>(0)) freelocale(locale);
    }
  };
  thread_local Holder holder;
  return holder.locale;
}

template <bool Upper>
void StringCase(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (!HasText(argc, args, 0)) {
    SetNoText(result);
    return;
  }
  const locale_t locale = CaseLocale();
  std::string out;
  for (const char* p = args[0].str; *p != '\0';) {
    wint_t c = Utf8DecodeChar(&p);
    if (locale != static_cast<locale_t>(0)) {
      if (Upper ? iswlower_l(c, locale) : iswupper_l(c, locale)) c = Upper ? towupper_l(c, locale) : towlower_l(c, locale);
    } else if (Upper ? iswlower(c) : iswupper(c)) {
      c = Upper ? towupper(c) : towlower(c);
    }
    char bytes[3];
    char* end = bytes;
    Utf8EncodeChar(&end, static_cast<uint32_t>(c));
    out.append(bytes, static_cast<size_t>(end - bytes));
  }
  SetText(result, out);
}

void StringRepeat(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const char* text = ArgText(argc, args, 0);
  const int64_t count = ArgRounded(argc, args, 1);
  if (text == nullptr || *text == '\0' || count <= 0) {
    SetNoText(result);
    return;
  }
  const uint64_t length = std::strlen(text);
  if (!FitsText(length * static_cast<uint64_t>(count), "string_repeat")) {
    SetNoText(result);
    return;
  }
  std::string out;
  out.reserve(length * static_cast<uint64_t>(count));
  for (int64_t i = 0; i < count; ++i) out.append(text, length);
  SetText(result, out);
}

// The characters string_letters, string_digits and string_lettersdigits keep.
enum KeepClass { kLetters = 1, kDigits = 2 };

template <int Keep>
void StringFilter(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  // string_digits wants exactly one string argument; the others only refuse a real.
  const bool refused = Keep == kDigits ? (argc != 1 || ArgKindWord(argc, args, 0) != VALUE_STRING)
                                       : ArgKindWord(argc, args, 0) == VALUE_REAL;
  const char* text = refused ? nullptr : ArgText(argc, args, 0);
  if (text == nullptr || *text == '\0') {
    SetNoText(result);
    return;
  }
  std::string out;
  while (*text != '\0') {
    const uint16_t c = Utf8DecodeChar(&text);
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool digit = c >= '0' && c <= '9';
    if (((Keep & kLetters) && letter) || ((Keep & kDigits) && digit)) out.push_back(static_cast<char>(c));
  }
  SetText(result, out);
}

template <bool All>
void StringReplace(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetOwnedText(result,
               StringReplaceText(ArgText(argc, args, 0), ArgText(argc, args, 1), ArgText(argc, args, 2), All));
}

// Every character decoded and encoded again: in this form texts compare character by character
// exactly as their bytes compare.
std::string Canonical(const char* text) {
  char* copy = nullptr;
  Utf8CopyChars(&copy, text, 0, 0x7FFFFFFF);
  std::string out = copy;
  MemoryManager::Free(copy);
  return out;
}

}  // namespace

char* StringReplaceText(const char* s, const char* sub, const char* replacement, bool all) {
  if (s == nullptr || *s == '\0') return nullptr;
  const std::string hay = Canonical(s);
  const std::string needle = sub != nullptr ? Canonical(sub) : std::string();
  if (needle.empty()) return MemoryManager::DuplicateText(s);
  const size_t replacementLength = replacement != nullptr ? std::strlen(replacement) : 0;

  std::vector<size_t> hits;
  ForEachOccurrence(hay, needle, false, [&hits, all](size_t at) {
    hits.push_back(at);
    return all;
  });
  // No occurrence leaves the text as it was.
  if (hits.empty()) return MemoryManager::DuplicateText(s);
  const uint64_t size = hay.size() - hits.size() * needle.size() + hits.size() * uint64_t{replacementLength};
  if (!FitsText(size, all ? "string_replace_all" : "string_replace")) return nullptr;
  std::string out;
  out.reserve(size);
  size_t from = 0;
  for (size_t at : hits) {
    out.append(hay, from, at - from);
    out.append(replacement != nullptr ? replacement : "", replacementLength);
    from = at + needle.size();
  }
  out.append(hay, from, std::string::npos);
  return MemoryManager::DuplicateText(out.c_str());
}

const BuiltinSpec kStringBuiltins[] = {
    {"real", Real, 1},
    {"string", String, 1},
    {"string_format", StringFormat, 3},
    {"chr", Chr, 1},
    {"ansi_char", AnsiChar, 1},
    {"ord", Ord, 1},
    {"string_length", StringLength, 1},
    {"string_pos", StringPos, 2},
    {"string_copy", StringCopy, 3},
    {"string_char_at", StringCharAt, 2},
    {"string_ord_at", StringOrdAt, 2},
    {"string_byte_length", StringByteLength, 1},
    {"string_byte_at", StringByteAt, 2},
    {"string_set_byte_at", StringSetByteAt, 3},
    {"string_delete", StringDelete, 3},
    {"string_insert", StringInsert, 3},
    {"string_lower", StringCase<false>, 1},
    {"string_upper", StringCase<true>, 1},
    {"string_repeat", StringRepeat, 2},
    {"string_letters", StringFilter<kLetters>, 1},
    {"string_digits", StringFilter<kDigits>, 1},
    {"string_lettersdigits", StringFilter<kLetters | kDigits>, 1},
    {"string_replace", StringReplace<false>, 3},
    {"string_replace_all", StringReplace<true>, 3},
    {"string_count", StringCount, 2},
};
const int32_t kStringBuiltinCount = static_cast<int32_t>(std::size(kStringBuiltins));
