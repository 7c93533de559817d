// The compiler's front end in one call: phases 1 to 4 on an entry's source text.
#pragma once

class CCode;

// Tokenizes, resolves, parses (as a program or, for an expression entry, one expression) and
// checks the entry's source into code->m_tree, releasing the token and symbol lists. Any tree
// the entry already held is freed first. On success an expression whose tree folded to one
// constant becomes kind CODE_CONSTANT with code->m_constant sharing the root's value (the tree
// owns the payload). The first failing phase has recorded its code error (Code_SetError) and
// the answer is false; the partly built tree stays in the entry.
//
// m_tree is a CodeNode_New block: whoever destroys the entry frees it with CodeNode_Delete
// whenever it is not null (also after a failed compilation), and must not release m_constant
// separately while the tree holds its payload. m_compiled is left to the caller.
bool Compiler_CompileTree(CCode* code);

// Frees the compiler's process-wide scratch storage (the tokenizer's text copy and the
// local-name list); the next compilation makes them again.
void Compiler_FreeScratch();

// The compiler's shutdown hook: frees the scratch storage.
void Compiler_Shutdown();
