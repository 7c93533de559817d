// Tokens and symbols of the script compiler. Phase 1 cuts the source text into tokens, phase 2
// turns each token into a symbol (names resolved, literals turned into values), and phase 3
// parses the symbols. The codes below are shared by tokens, symbols and the operator codes that
// the code tree stores.
#pragma once

#include <cstdint>

#include "variable/ScriptValue.h"

enum TokenKind : int32_t {
  TOKEN_END = -2,         // the end of the text
  TOKEN_UNEXPECTED = -1,  // phase 1: a character that starts no token; phase 2: an unresolved name
  TOKEN_IDENTIFIER = 0,
  TOKEN_NUMBER = 1,
  TOKEN_STRING = 2,
  TOKEN_CONSTANT = 5,  // symbol only: a constant value
  TOKEN_FUNCTION = 6,  // symbol only: a call number
  TOKEN_VARIABLE = 7,  // symbol only: a variable id

  TOKEN_BEGIN = 11,  // "begin" "{"
  TOKEN_END_BLOCK = 12,  // "end" "}"
  TOKEN_IF = 13,
  TOKEN_THEN = 14,
  TOKEN_ELSE = 15,
  TOKEN_WHILE = 16,
  TOKEN_DO = 17,
  TOKEN_FOR = 18,
  TOKEN_UNTIL = 19,
  TOKEN_REPEAT = 20,
  TOKEN_EXIT = 21,
  TOKEN_BREAK = 22,
  TOKEN_CONTINUE = 23,
  TOKEN_WITH = 24,
  TOKEN_RETURN = 25,
  TOKEN_SWITCH = 26,
  TOKEN_CASE = 27,
  TOKEN_DEFAULT = 28,
  TOKEN_VAR = 29,
  TOKEN_GLOBALVAR = 30,

  TOKEN_ASSIGN = 101,       // ":=" "="
  TOKEN_ADD_ASSIGN = 102,   // "+="
  TOKEN_SUB_ASSIGN = 103,   // "-="
  TOKEN_MUL_ASSIGN = 104,   // "*="
  TOKEN_DIV_ASSIGN = 105,   // "/="
  TOKEN_OPEN = 106,         // "("
  TOKEN_CLOSE = 107,        // ")"
  TOKEN_SEMICOLON = 108,    // ";"
  TOKEN_COMMA = 109,        // ","
  TOKEN_OPEN_BRACKET = 110,   // "["
  TOKEN_CLOSE_BRACKET = 111,  // "]"
  TOKEN_DOT = 112,          // "."
  TOKEN_COLON = 113,        // ":"
  TOKEN_OR_ASSIGN = 114,    // "|="
  TOKEN_AND_ASSIGN = 115,   // "&="
  TOKEN_XOR_ASSIGN = 116,   // "^="

  TOKEN_AND = 201,            // "&&" "and"
  TOKEN_OR = 202,             // "||" "or"
  TOKEN_NOT = 203,            // "!" "not"
  TOKEN_LESS = 204,           // "<"
  TOKEN_LESS_EQUAL = 205,     // "<="
  TOKEN_EQUAL = 206,          // "=="
  TOKEN_NOT_EQUAL = 207,      // "!=" "<>"
  TOKEN_GREATER_EQUAL = 208,  // ">="
  TOKEN_GREATER = 209,        // ">"
  TOKEN_PLUS = 210,           // "+"
  TOKEN_MINUS = 211,          // "-"
  TOKEN_TIMES = 212,          // "*"
  TOKEN_DIVIDE = 213,         // "/"
  TOKEN_INT_DIVIDE = 214,     // "div"
  TOKEN_MODULO = 215,         // "%" "mod"
  TOKEN_XOR = 216,            // "^^" "xor"
  TOKEN_BIT_OR = 217,         // "|"
  TOKEN_BIT_AND = 218,        // "&"
  TOKEN_BIT_XOR = 219,        // "^"
  TOKEN_BIT_NOT = 220,        // "~"
  TOKEN_SHIFT_LEFT = 221,     // "<<"
  TOKEN_SHIFT_RIGHT = 222,    // ">>"
};

// One token. The text is an owned MemoryManager copy: the word, the literal's characters (a
// hexadecimal literal keeps its '$'), a string's contents or a keyword as written; null for the
// end, unexpected and operator tokens.
struct CodeToken {
  int32_t kind;      // TokenKind
  char* text;
  int32_t position;  // offset of the first character (for a string: the one after the quote)
};

struct TokenList {
  int32_t count;
  CodeToken* tokens;  // MemoryManager block
  int32_t capacity;   // tokens the block holds
};

// One symbol, made from the token at the same index.
struct CodeSymbol {
  int32_t kind;       // TokenKind
  int32_t index;      // call number of a function symbol, variable id of a variable symbol
  ScriptValue value;  // a constant symbol's value, owned by the symbol
  int32_t position;   // copied from the token
};

struct SymbolList {
  int32_t count;
  CodeSymbol* symbols;  // MemoryManager block, one per token
};

// Frees every token's text and the array; the list is empty afterwards.
void FreeTokenList(TokenList* list);
// Releases every symbol's value and frees the array; the list is empty afterwards.
void FreeSymbolList(SymbolList* list);
