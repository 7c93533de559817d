// Phase 3 of the compiler: a recursive-descent parser that turns the symbol list into the code
// tree (Code_Tree.h).
#pragma once

#include <cstdint>

#include "code/Code_Token.h"
#include "code/Code_Tree.h"

class CCode;

// How deeply statements may nest in statements and expressions in expressions, and how tall the
// tree may grow (operator chains such as 1+1+...+1 grow it without nesting). Beyond these the
// parse fails with "Code nested too deeply." (statements) or "Expression too complex." instead
// of exhausting the native stack here or in the passes that walk the tree recursively.
constexpr int32_t kMaxParseNesting = 1000;
constexpr int32_t kMaxTreeHeight = 1000;

// Parses a program (a list of statements) into `root`: only the end symbol gives an empty
// program (kind -2); a program that begins with "{" or "begin" is that one block; otherwise a
// block of the statements up to the end. Clears the code error flag first; answers false
// exactly when an error was recorded (at the first one, with the offending symbol's position).
// The partly built tree stays in `root` for its owner to free.
bool Phase3_ParseProgram(CCode* code, const SymbolList* symbols, CodeNode* root);

// Parses one expression into `root` (symbols after it are ignored); only the end symbol gives
// the constant real 0. Errors as for Phase3_ParseProgram.
bool Phase3_ParseExpression(CCode* code, const SymbolList* symbols, CodeNode* root);
