#include "code/Code_Phase1.h"

#include <algorithm>
#include <cstring>

#include "code/Code_Error.h"
#include "code/Code_Main.h"
#include "platform/GrowArray.h"
#include "platform/MemoryManager.h"

namespace {

// The text being tokenized (the source and three spaces), grown when a longer text comes and
// never shrunk, and the read position in it.
struct ScannerState {
  char* text = nullptr;
  uint32_t capacity = 0;
  int32_t length = 0;
  int32_t readPos = 0;
};
ScannerState g_scanner;

struct Keyword {
  const char* word;
  TokenKind kind;
};

constexpr Keyword kKeywords[] = {
    {"begin", TOKEN_BEGIN},     {"end", TOKEN_END_BLOCK},   {"if", TOKEN_IF},
    {"then", TOKEN_THEN},       {"else", TOKEN_ELSE},       {"while", TOKEN_WHILE},
    {"do", TOKEN_DO},           {"for", TOKEN_FOR},         {"until", TOKEN_UNTIL},
    {"repeat", TOKEN_REPEAT},   {"exit", TOKEN_EXIT},       {"break", TOKEN_BREAK},
    {"continue", TOKEN_CONTINUE}, {"with", TOKEN_WITH},     {"return", TOKEN_RETURN},
    {"switch", TOKEN_SWITCH},   {"case", TOKEN_CASE},       {"default", TOKEN_DEFAULT},
    {"var", TOKEN_VAR},         {"globalvar", TOKEN_GLOBALVAR}, {"and", TOKEN_AND},
    {"or", TOKEN_OR},           {"not", TOKEN_NOT},         {"div", TOKEN_INT_DIVIDE},
    {"mod", TOKEN_MODULO},      {"xor", TOKEN_XOR},
};

struct Operator {
  char text[3];
  TokenKind kind;
};

constexpr Operator kTwoCharOperators[] = {
    {"!=", TOKEN_NOT_EQUAL},   {"&&", TOKEN_AND},          {"&=", TOKEN_AND_ASSIGN},
    {"*=", TOKEN_MUL_ASSIGN},  {"+=", TOKEN_ADD_ASSIGN},   {"-=", TOKEN_SUB_ASSIGN},
    {"/=", TOKEN_DIV_ASSIGN},  {":=", TOKEN_ASSIGN},       {"<=", TOKEN_LESS_EQUAL},
    {"<>", TOKEN_NOT_EQUAL},   {"<<", TOKEN_SHIFT_LEFT},   {"==", TOKEN_EQUAL},
    {">=", TOKEN_GREATER_EQUAL}, {">>", TOKEN_SHIFT_RIGHT}, {"^=", TOKEN_XOR_ASSIGN},
    {"^^", TOKEN_XOR},         {"||", TOKEN_OR},           {"|=", TOKEN_OR_ASSIGN},
};

constexpr Operator kOneCharOperators[] = {
    {"!", TOKEN_NOT},       {"%", TOKEN_MODULO},        {"&", TOKEN_BIT_AND},
    {"(", TOKEN_OPEN},      {")", TOKEN_CLOSE},         {"*", TOKEN_TIMES},
    {"+", TOKEN_PLUS},      {",", TOKEN_COMMA},         {"-", TOKEN_MINUS},
    {".", TOKEN_DOT},       {"/", TOKEN_DIVIDE},        {":", TOKEN_COLON},
    {";", TOKEN_SEMICOLON}, {"<", TOKEN_LESS},          {"=", TOKEN_ASSIGN},
    {">", TOKEN_GREATER},   {"[", TOKEN_OPEN_BRACKET},  {"]", TOKEN_CLOSE_BRACKET},
    {"^", TOKEN_BIT_XOR},   {"{", TOKEN_BEGIN},         {"|", TOKEN_BIT_OR},
    {"}", TOKEN_END_BLOCK}, {"~", TOKEN_BIT_NOT},
};

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// The character at `pos`, or NUL past the end of the text.
char At(int32_t pos) { return pos >= 0 && pos < g_scanner.length ? g_scanner.text[pos] : '\0'; }

char* CopyRange(int32_t start, int32_t end) {
  return MemoryManager::DuplicateText(g_scanner.text + start, static_cast<uint32_t>(end - start));
}

// Skips blanks (every byte that is at most 32 as a signed 8-bit number, so also 0x80..0xFF)
// and comments.
void SkipBlanksAndComments() {
  for (;;) {
    while (g_scanner.readPos < g_scanner.length && static_cast<signed char>(g_scanner.text[g_scanner.readPos]) <= 32) {
      ++g_scanner.readPos;
    }
    if (g_scanner.readPos + 1 >= g_scanner.length || g_scanner.text[g_scanner.readPos] != '/') return;
    const char next = g_scanner.text[g_scanner.readPos + 1];
    if (next == '/') {
      // A line comment: up to the next carriage return or line feed, which goes with it.
      int32_t pos = g_scanner.readPos + 2;
      while (pos < g_scanner.length && g_scanner.text[pos] != '\r' && g_scanner.text[pos] != '\n') ++pos;
      g_scanner.readPos = pos < g_scanner.length ? pos + 1 : g_scanner.length;
    } else if (next == '*') {
      // A block comment ends after the next "*/", looked for from the opening slash on.
      int32_t pos = g_scanner.readPos;
      while (pos + 1 < g_scanner.length && !(g_scanner.text[pos] == '*' && g_scanner.text[pos + 1] == '/')) ++pos;
      g_scanner.readPos = pos + 1 < g_scanner.length ? pos + 2 : g_scanner.length;
    } else {
      return;
    }
  }
}

CodeToken ReadToken() {
  SkipBlanksAndComments();
  CodeToken token{TOKEN_END, nullptr, g_scanner.readPos};
  if (g_scanner.readPos >= g_scanner.length) {
    token.position = g_scanner.length;
    return token;
  }
  const int32_t start = g_scanner.readPos;
  const char c = g_scanner.text[start];

  if (IsLetter(c)) {
    int32_t end = start + 1;
    while (end < g_scanner.length && (IsLetter(g_scanner.text[end]) || IsDigit(g_scanner.text[end]))) ++end;
    g_scanner.readPos = end;
    token.kind = TOKEN_IDENTIFIER;
    token.text = CopyRange(start, end);
    for (const Keyword& keyword : kKeywords) {
      if (std::strcmp(keyword.word, token.text) == 0) {
        token.kind = keyword.kind;
        break;
      }
    }
    return token;
  }

  if (IsDigit(c) || (c == '.' && IsDigit(At(start + 1)))) {
    bool seenDot = false;
    int32_t end = start;
    while (end < g_scanner.length) {
      const char d = g_scanner.text[end];
      if (d == '.' && !seenDot) {
        seenDot = true;
      } else if (!IsDigit(d)) {
        break;
      }
      ++end;
    }
    g_scanner.readPos = end;
    token.kind = TOKEN_NUMBER;
    token.text = CopyRange(start, end);
    return token;
  }

  if (c == '$') {
    int32_t end = start + 1;
    while (end < g_scanner.length && IsHexDigit(g_scanner.text[end])) ++end;
    g_scanner.readPos = end;
    token.kind = TOKEN_NUMBER;
    token.text = CopyRange(start, end);
    return token;
  }

  if (c == '"' || c == '\'') {
    // No escapes; an unclosed string runs to the end of the text, the last appended space
    // excluded (the text always ends with three spaces here).
    int32_t end = start + 1;
    while (end < g_scanner.length - 1 && g_scanner.text[end] != c) ++end;
    token.kind = TOKEN_STRING;
    token.position = start + 1;
    token.text = CopyRange(start + 1, end);
    g_scanner.readPos = end + 1;
    return token;
  }

  if (start + 1 < g_scanner.length) {
    for (const Operator& op : kTwoCharOperators) {
      if (op.text[0] == c && op.text[1] == g_scanner.text[start + 1]) {
        g_scanner.readPos = start + 2;
        token.kind = op.kind;
        return token;
      }
    }
  }
  for (const Operator& op : kOneCharOperators) {
    if (op.text[0] == c) {
      g_scanner.readPos = start + 1;
      token.kind = op.kind;
      return token;
    }
  }
  g_scanner.readPos = start + 1;
  token.kind = TOKEN_UNEXPECTED;
  return token;
}

void AppendToken(TokenList* list, const CodeToken& token) {
  // The list doubles whenever it is full, so long texts do not cost quadratic copying.
  Grow_Reserve(list->tokens, list->capacity, static_cast<int64_t>(list->count) + 1);
  list->tokens[list->count++] = token;
}

}  // namespace

bool Phase1_Tokenize(CCode* code, TokenList* list) {
  Code_ClearErrorFlag();
  const char* source = code != nullptr ? code->m_source : nullptr;
  if (source == nullptr) return true;

  // Positions are 32-bit offsets: a text that leaves no room for the appended spaces cannot be
  // tokenized.
  const uint64_t sourceLength = std::strlen(source);
  const uint64_t length = sourceLength + 3;
  if (length >= static_cast<uint64_t>(INT32_MAX)) {
    Code_SetError(code, 0, "Code too long.");
    return false;
  }
  if (length + 1 > g_scanner.capacity) {
    MemoryManager::Free(g_scanner.text);
    g_scanner.capacity = static_cast<uint32_t>(length + 1);
    g_scanner.text = static_cast<char*>(MemoryManager::Alloc(g_scanner.capacity, __FILE__, __LINE__, false));
  }
  std::memcpy(g_scanner.text, source, sourceLength);
  std::memcpy(g_scanner.text + sourceLength, "   ", 4);
  g_scanner.length = static_cast<int32_t>(length);
  g_scanner.readPos = 0;

  for (;;) {
    CodeToken token = ReadToken();
    if (token.kind == TOKEN_UNEXPECTED) {
      Code_SetError(code, token.position, "Unexpected symbol.");
      return false;
    }
    AppendToken(list, token);
    if (token.kind == TOKEN_END) return true;
  }
}

void Phase1_FreeScratch() {
  MemoryManager::Free(g_scanner.text);
  g_scanner = ScannerState{};
}

void FreeTokenList(TokenList* list) {
  if (list == nullptr) return;
  for (int32_t i = 0; i < list->count; ++i) MemoryManager::Free(list->tokens[i].text);
  MemoryManager::Free(list->tokens);
  list->tokens = nullptr;
  list->count = 0;
  list->capacity = 0;
}
