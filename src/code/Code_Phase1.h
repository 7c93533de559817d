// Phase 1 of the compiler: cutting a code entry's source text into tokens.
#pragma once

#include "code/Code_Token.h"

class CCode;

// Tokenizes the entry's source text into `list` (which must be empty), ending with the end
// token. A null source gives an empty list (not even an end token) and true. Clears the code
// error flag first; a character that starts no token records "Unexpected symbol." at its
// position and answers false (the tokens read so far stay in the list for the caller to free).
//
// The tokenizer keeps one process-wide copy of the text and read position, so only one
// compilation can be in progress at a time (main thread only).
bool Phase1_Tokenize(CCode* code, TokenList* list);

// Releases the process-wide copy of the source text (it is otherwise kept for the whole run and
// reused by the next compilation).
void Phase1_FreeScratch();
