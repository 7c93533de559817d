#include "code/Code_Compile.h"

#include "code/Code_Main.h"
#include "code/Code_Phase1.h"
#include "code/Code_Phase2.h"
#include "code/Code_Phase3.h"
#include "code/Code_Phase4.h"
#include "code/Code_Tree.h"

bool Compiler_CompileTree(CCode* code) {
  if (code == nullptr) return false;
  if (code->m_kind == CODE_CONSTANT) {
    // Compiled before: the constant's payload goes with the old tree.
    SetReal(&code->m_constant, 0.0);
    code->m_kind = CODE_EXPRESSION;
  }
  CodeNode_Delete(code->m_tree);
  code->m_tree = CodeNode_New();

  TokenList tokens{};
  SymbolList symbols{};
  const bool isExpression = code->m_kind == CODE_EXPRESSION;
  bool ok = Phase1_Tokenize(code, &tokens) && Phase2_Resolve(code, &tokens, &symbols);
  if (ok) {
    ok = isExpression ? Phase3_ParseExpression(code, &symbols, code->m_tree)
                      : Phase3_ParseProgram(code, &symbols, code->m_tree);
  }
  if (ok) ok = Phase4_Check(code, code->m_tree);
  FreeSymbolList(&symbols);
  FreeTokenList(&tokens);

  if (ok && isExpression && code->m_tree->kind == NODE_CONSTANT) {
    code->m_constant = code->m_tree->value;  // bitwise: the payload stays the tree's
    code->m_kind = CODE_CONSTANT;
  }
  return ok;
}

void Compiler_FreeScratch() {
  Phase1_FreeScratch();
  Phase4_FreeLocals();
}

void Compiler_Shutdown() { Compiler_FreeScratch(); }
