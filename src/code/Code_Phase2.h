// Phase 2 of the compiler: turning the tokens into symbols. Every identifier is resolved once
// (a call number, a constant value or a variable id) and every literal becomes a value.
#pragma once

#include "code/Code_Token.h"

class CCode;

// Fills `symbols` (which must be empty) with one symbol per token, in token order:
//   - an identifier followed by "(" becomes a function symbol with its call number
//     (FindFunctionIndex: a script or extension function before a built-in of the same name);
//     an unknown name records "Unknown function or script: <name>" and fails;
//   - any other identifier becomes a constant symbol when ResolveConstant knows it (resource
//     names first, then named constants), else a variable symbol with GetVariableId's id;
//   - a number becomes a constant real, a string a constant string;
//   - every other token a symbol of the same kind and position.
// Clears the code error flag first and stops with false at the first recorded error.
bool Phase2_Resolve(CCode* code, const TokenList* tokens, SymbolList* symbols);

// The value of a number token's text: decimal digits with at most one '.', or '$' and
// hexadecimal digits; computed in double precision digit by digit.
double Phase2_NumberValue(const char* text);
