#include "code/Code_Phase3.h"

#include <algorithm>
#include <cstring>

#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "variable/Variable_Names.h"

namespace {

// The most arguments a call may pass.
constexpr int32_t kMaxCallArguments = 16;

struct Parser {
  CCode* code;
  const SymbolList* symbols;
  CodeSymbol endSymbol;  // answered for every index past the list
  int32_t statements;    // statements being parsed, one inside the other
  int32_t expressions;   // primaries being parsed, one inside the other
  int32_t height;        // height of the node the last parse routine filled
  bool failed;
};

const CodeSymbol& Sym(const Parser& p, int32_t i) {
  if (i >= 0 && i < p.symbols->count) return p.symbols->symbols[i];
  return p.endSymbol;
}

int32_t KindAt(const Parser& p, int32_t i) { return Sym(p, i).kind; }

void Fail(Parser& p, int32_t position, const char* message) {
  if (!p.failed) Code_SetError(p.code, position, message);
  p.failed = true;
}

void FailAt(Parser& p, int32_t i, const char* message) { Fail(p, Sym(p, i).position, message); }

// Counts one level of nesting in `counter` for as long as it lives.
class NestingGuard {
 public:
  NestingGuard(Parser& p, int32_t* counter, int32_t i, const char* message) : m_counter(counter) {
    if (++*m_counter > kMaxParseNesting) FailAt(p, i, message);
  }
  ~NestingGuard() { --*m_counter; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;

 private:
  int32_t* m_counter;
};

// Records the height of a node just made over children of height `childHeight`.
void SetHeight(Parser& p, int32_t childHeight, int32_t position) {
  p.height = childHeight + 1;
  if (p.height > kMaxTreeHeight) Fail(p, position, "Expression too complex.");
}

void MakeNode(CodeNode* node, int32_t kind, int32_t operand, int32_t position) {
  CodeNode_Reset(node, position);
  node->kind = kind;
  node->operand = operand;
}

// Moves what `node` holds into a new first child and makes `node` a node of the given kind
// over it.
void Wrap(CodeNode* node, int32_t kind, int32_t operand, int32_t position) {
  CodeNode moved;
  std::memcpy(static_cast<void*>(&moved), node, sizeof(CodeNode));
  std::memset(static_cast<void*>(node), 0, sizeof(CodeNode));
  CodeNode* first = CodeNode_AddChild(node, moved.position);
  std::memcpy(static_cast<void*>(first), &moved, sizeof(CodeNode));
  node->kind = kind;
  node->operand = operand;
  node->position = position;
}

void MakeConstantReal(CodeNode* node, double value, int32_t position) {
  MakeNode(node, NODE_CONSTANT, 0, position);
  SetReal(&node->value, value);
}

int32_t ParseExpression(Parser& p, int32_t i, CodeNode* out);
int32_t ParseStatement(Parser& p, int32_t i, CodeNode* out);
int32_t ParseUnary(Parser& p, int32_t i, CodeNode* out);

// The binding level of a binary operator (1 binds loosest), 0 for any other symbol.
int BinaryLevel(int32_t kind) {
  switch (kind) {
    case TOKEN_AND: case TOKEN_OR: case TOKEN_XOR:
      return 1;
    case TOKEN_ASSIGN: case TOKEN_EQUAL: case TOKEN_LESS: case TOKEN_LESS_EQUAL:
    case TOKEN_NOT_EQUAL: case TOKEN_GREATER_EQUAL: case TOKEN_GREATER:
      return 2;
    case TOKEN_BIT_OR: case TOKEN_BIT_AND: case TOKEN_BIT_XOR:
      return 3;
    case TOKEN_SHIFT_LEFT: case TOKEN_SHIFT_RIGHT:
      return 4;
    case TOKEN_PLUS: case TOKEN_MINUS:
      return 5;
    case TOKEN_TIMES: case TOKEN_DIVIDE: case TOKEN_INT_DIVIDE: case TOKEN_MODULO:
      return 6;
    default:
      return 0;
  }
}

bool IsUnaryOperator(int32_t kind) {
  return kind == TOKEN_NOT || kind == TOKEN_PLUS || kind == TOKEN_MINUS || kind == TOKEN_BIT_NOT;
}

bool IsAssignOperator(int32_t kind) {
  return (kind >= TOKEN_ASSIGN && kind <= TOKEN_DIV_ASSIGN) || kind == TOKEN_OR_ASSIGN ||
         kind == TOKEN_AND_ASSIGN || kind == TOKEN_XOR_ASSIGN;
}

// Call: the function symbol, "(", arguments separated by "," (one may close the list), ")".
int32_t ParseCall(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& function = Sym(p, i);
  MakeNode(out, NODE_CALL, function.index, function.position);
  ++i;
  if (KindAt(p, i) != TOKEN_OPEN) {
    FailAt(p, i, "Symbol ( expected.");
    return i;
  }
  ++i;
  int32_t childHeight = 0;
  for (;;) {
    if (KindAt(p, i) == TOKEN_CLOSE) break;
    if (KindAt(p, i) == TOKEN_END) {
      FailAt(p, i, "Symbol ) expected.");
      return i;
    }
    CodeNode* argument = CodeNode_AddChild(out, Sym(p, i).position);
    i = ParseExpression(p, i, argument);
    if (p.failed) return i;
    childHeight = std::max(childHeight, p.height);
    const int32_t kind = KindAt(p, i);
    if (kind == TOKEN_COMMA) {
      ++i;
    } else if (kind == TOKEN_CLOSE) {
      break;
    } else {
      FailAt(p, i, kind == TOKEN_END ? "Symbol ) expected." : "Symbol , or ) expected.");
      return i;
    }
  }
  const int32_t argc = out->childCount;
  const int32_t declared = GetFunctionArgCount(out->operand);
  if (argc > kMaxCallArguments || (declared >= 0 && declared != argc)) {
    FailAt(p, i, "Wrong number of arguments to function or script.");
    return i;
  }
  SetHeight(p, childHeight, out->position);
  return i + 1;
}

// Optional indexes after a variable: "[" expressions separated by "," (one may close the
// list) "]". `childHeight` comes in as the height of the children so far and goes out updated.
int32_t ParseIndexes(Parser& p, int32_t i, CodeNode* variable, int32_t* childHeight) {
  if (KindAt(p, i) != TOKEN_OPEN_BRACKET) return i;
  ++i;
  int32_t indexes = 0;
  for (;;) {
    int32_t kind = KindAt(p, i);
    if (kind == TOKEN_CLOSE_BRACKET) break;
    if (kind == TOKEN_END) {
      FailAt(p, i, "Symbol ] expected.");
      return i;
    }
    CodeNode* index = CodeNode_AddChild(variable, Sym(p, i).position);
    i = ParseExpression(p, i, index);
    if (p.failed) return i;
    *childHeight = std::max(*childHeight, p.height);
    ++indexes;
    kind = KindAt(p, i);
    if (kind == TOKEN_COMMA) {
      ++i;
    } else if (kind == TOKEN_CLOSE_BRACKET) {
      break;
    } else {
      FailAt(p, i, kind == TOKEN_END ? "Symbol ] expected." : "Symbol , or ] expected.");
      return i;
    }
  }
  ++i;  // past "]"
  if (indexes > 2) FailAt(p, i, "Only 1- and 2-dimensional arrays are supported.");
  return i;
}

// A name: a variable node whose instance expression is the constant -6 (none given).
int32_t ParseVariable(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& name = Sym(p, i);
  MakeNode(out, NODE_VARIABLE, name.index, name.position);
  MakeConstantReal(CodeNode_AddChild(out, name.position), kNoInstanceGiven, name.position);
  int32_t childHeight = 1;
  i = ParseIndexes(p, i + 1, out, &childHeight);
  if (p.failed) return i;
  SetHeight(p, childHeight, name.position);
  return i;
}

int32_t ParsePrimary(Parser& p, int32_t i, CodeNode* out) {
  NestingGuard guard(p, &p.expressions, i, "Expression too complex.");
  if (p.failed) return i;
  const CodeSymbol& symbol = Sym(p, i);
  switch (symbol.kind) {
    case TOKEN_CONSTANT:
      MakeNode(out, NODE_CONSTANT, 0, symbol.position);
      CopyValue(&out->value, &symbol.value);
      p.height = 1;
      return i + 1;
    case TOKEN_FUNCTION:
      return ParseCall(p, i, out);
    case TOKEN_VARIABLE:
      return ParseVariable(p, i, out);
    case TOKEN_OPEN:
      i = ParseExpression(p, i + 1, out);
      if (p.failed) return i;
      if (KindAt(p, i) != TOKEN_CLOSE) {
        FailAt(p, i, "Symbol ) expected.");
        return i;
      }
      return i + 1;
    default:
      if (IsUnaryOperator(symbol.kind)) return ParseUnary(p, i, out);
      FailAt(p, i, "Unexpected symbol in expression.");
      return i;
  }
}

// A primary followed by any number of "." name parts; each name becomes a variable whose
// instance expression is everything before its dot.
int32_t ParsePostfix(Parser& p, int32_t i, CodeNode* out) {
  i = ParsePrimary(p, i, out);
  if (p.failed) return i;
  while (KindAt(p, i) == TOKEN_DOT) {
    const CodeSymbol& name = Sym(p, i + 1);
    if (name.kind != TOKEN_VARIABLE) {
      FailAt(p, i + 1, "Variable name expected.");
      return i + 1;
    }
    Wrap(out, NODE_VARIABLE, name.index, name.position);
    int32_t childHeight = p.height;
    i = ParseIndexes(p, i + 2, out, &childHeight);
    if (p.failed) return i;
    SetHeight(p, childHeight, name.position);
    if (p.failed) return i;
  }
  return i;
}

// A unary operator applies to a postfix expression, so -a.b negates a.b.
int32_t ParseUnary(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& symbol = Sym(p, i);
  if (!IsUnaryOperator(symbol.kind)) return ParsePostfix(p, i, out);
  MakeNode(out, NODE_UNARY, symbol.kind, symbol.position);
  i = ParsePostfix(p, i + 1, CodeNode_AddChild(out, Sym(p, i + 1).position));
  if (p.failed) return i;
  SetHeight(p, p.height, symbol.position);
  return i;
}

// The binary levels, left-associative, by precedence climbing: operators of `minLevel` and
// tighter are taken here, each right operand binding one level tighter than its operator.
int32_t ParseBinary(Parser& p, int32_t i, CodeNode* out, int minLevel) {
  i = ParseUnary(p, i, out);
  if (p.failed) return i;
  int32_t height = p.height;
  for (;;) {
    const CodeSymbol& op = Sym(p, i);
    const int level = BinaryLevel(op.kind);
    if (level == 0 || level < minLevel) break;
    Wrap(out, NODE_BINARY, op.kind, out->position);
    CodeNode* right = CodeNode_AddChild(out, Sym(p, i + 1).position);
    i = ParseBinary(p, i + 1, right, level + 1);
    if (p.failed) return i;
    SetHeight(p, std::max(height, p.height), op.position);
    if (p.failed) return i;
    height = p.height;
  }
  p.height = height;
  return i;
}

int32_t ParseExpression(Parser& p, int32_t i, CodeNode* out) { return ParseBinary(p, i, out, 1); }

// Parses a statement into a new child of `parent`, raising *childHeight to its height.
int32_t ParseChildStatement(Parser& p, int32_t i, CodeNode* parent, int32_t* childHeight) {
  i = ParseStatement(p, i, CodeNode_AddChild(parent, Sym(p, i).position));
  *childHeight = std::max(*childHeight, p.height);
  return i;
}

int32_t ParseChildExpression(Parser& p, int32_t i, CodeNode* parent, int32_t* childHeight) {
  i = ParseExpression(p, i, CodeNode_AddChild(parent, Sym(p, i).position));
  *childHeight = std::max(*childHeight, p.height);
  return i;
}

// "{" or "begin", statements, "}" or "end" (the written forms mix freely).
int32_t ParseBlock(Parser& p, int32_t i, CodeNode* out) {
  MakeNode(out, NODE_BLOCK, 0, Sym(p, i).position);
  ++i;
  int32_t childHeight = 0;
  for (;;) {
    const int32_t kind = KindAt(p, i);
    if (kind == TOKEN_END_BLOCK) break;
    if (kind == TOKEN_END) {
      FailAt(p, i, "Symbol  } expected.");
      return i;
    }
    i = ParseChildStatement(p, i, out, &childHeight);
    if (p.failed) return i;
  }
  SetHeight(p, childHeight, out->position);
  return i + 1;
}

// var and globalvar: names, optionally separated by commas, up to the first symbol that is not
// a name.
int32_t ParseDeclaration(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& keyword = Sym(p, i);
  MakeNode(out, keyword.kind, 0, keyword.position);
  ++i;
  while (KindAt(p, i) == TOKEN_VARIABLE) {
    const CodeSymbol& name = Sym(p, i);
    if (name.index < kUserVariableBase) {
      FailAt(p, i, "Cannot redeclare a builtin variable.");
      return i;
    }
    CodeNode* entry = CodeNode_AddChild(out, name.position);
    MakeConstantReal(entry, 0.0, name.position);
    entry->operand = name.index;
    ++i;
    if (KindAt(p, i) == TOKEN_COMMA) ++i;
  }
  SetHeight(p, out->childCount > 0 ? 1 : 0, keyword.position);
  return i;
}

// Anything else: a postfix expression that must be a variable, an assignment operator and the
// value.
int32_t ParseAssignment(Parser& p, int32_t i, CodeNode* out) {
  const int32_t start = i;
  i = ParsePostfix(p, i, out);
  if (p.failed) return i;
  if (out->kind != NODE_VARIABLE) {
    FailAt(p, start, "Variable name expected.");
    return i;
  }
  const CodeSymbol& op = Sym(p, i);
  if (!IsAssignOperator(op.kind)) {
    FailAt(p, i, "Assignment operator expected.");
    return i;
  }
  int32_t childHeight = p.height;
  Wrap(out, NODE_ASSIGN, op.kind, out->position);
  i = ParseChildExpression(p, i + 1, out, &childHeight);
  if (p.failed) return i;
  SetHeight(p, childHeight, out->position);
  return i;
}

// Each statement routine below starts at the statement's first symbol, fills `out` and answers
// the index past the statement (or where the error was recorded).

// if condition [then] statement [else statement]
int32_t ParseIf(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& first = Sym(p, i);
  int32_t childHeight = 0;
  MakeNode(out, NODE_IF, 0, first.position);
  i = ParseChildExpression(p, i + 1, out, &childHeight);
  if (p.failed) return i;
  if (KindAt(p, i) == TOKEN_THEN) ++i;
  i = ParseChildStatement(p, i, out, &childHeight);
  if (p.failed) return i;
  if (KindAt(p, i) == TOKEN_ELSE) {
    i = ParseChildStatement(p, i + 1, out, &childHeight);
    if (p.failed) return i;
  }
  SetHeight(p, childHeight, first.position);
  return i;
}

// while condition [do] statement, and with instances [do] statement.
int32_t ParseWhileOrWith(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& first = Sym(p, i);
  int32_t childHeight = 0;
  MakeNode(out, first.kind, 0, first.position);
  i = ParseChildExpression(p, i + 1, out, &childHeight);
  if (p.failed) return i;
  if (KindAt(p, i) == TOKEN_DO) ++i;
  i = ParseChildStatement(p, i, out, &childHeight);
  if (p.failed) return i;
  SetHeight(p, childHeight, first.position);
  return i;
}

// do statement until condition
int32_t ParseDo(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& first = Sym(p, i);
  int32_t childHeight = 0;
  MakeNode(out, NODE_DO, 0, first.position);
  i = ParseChildStatement(p, i + 1, out, &childHeight);
  if (p.failed) return i;
  if (KindAt(p, i) != TOKEN_UNTIL) {
    FailAt(p, i, "Keyword until expected.");
    return i;
  }
  i = ParseChildExpression(p, i + 1, out, &childHeight);
  if (p.failed) return i;
  SetHeight(p, childHeight, first.position);
  return i;
}

// for ( statement condition [;] statement ) statement
int32_t ParseFor(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& first = Sym(p, i);
  int32_t childHeight = 0;
  MakeNode(out, NODE_FOR, 0, first.position);
  if (KindAt(p, i + 1) != TOKEN_OPEN) {
    FailAt(p, i + 1, "Symbol ( expected.");
    return i + 1;
  }
  i = ParseChildStatement(p, i + 2, out, &childHeight);
  if (p.failed) return i;
  i = ParseChildExpression(p, i, out, &childHeight);
  if (p.failed) return i;
  if (KindAt(p, i) == TOKEN_SEMICOLON) ++i;
  i = ParseChildStatement(p, i, out, &childHeight);
  if (p.failed) return i;
  if (KindAt(p, i) != TOKEN_CLOSE) {
    FailAt(p, i, "Symbol ) expected.");
    return i;
  }
  i = ParseChildStatement(p, i + 1, out, &childHeight);
  if (p.failed) return i;
  SetHeight(p, childHeight, first.position);
  return i;
}

// repeat count statement
int32_t ParseRepeat(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& first = Sym(p, i);
  int32_t childHeight = 0;
  MakeNode(out, NODE_REPEAT, 0, first.position);
  i = ParseChildExpression(p, i + 1, out, &childHeight);
  if (p.failed) return i;
  i = ParseChildStatement(p, i, out, &childHeight);
  if (p.failed) return i;
  SetHeight(p, childHeight, first.position);
  return i;
}

// exit, break and continue: the keyword alone.
int32_t ParseKeyword(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& first = Sym(p, i);
  MakeNode(out, first.kind, 0, first.position);
  SetHeight(p, 0, first.position);
  return i + 1;
}

// return value
int32_t ParseReturn(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& first = Sym(p, i);
  int32_t childHeight = 0;
  MakeNode(out, NODE_RETURN, 0, first.position);
  i = ParseChildExpression(p, i + 1, out, &childHeight);
  if (p.failed) return i;
  SetHeight(p, childHeight, first.position);
  return i;
}

// switch value { statements }: the case and default labels are statements of the body.
int32_t ParseSwitch(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& first = Sym(p, i);
  int32_t childHeight = 0;
  MakeNode(out, NODE_SWITCH, 0, first.position);
  i = ParseChildExpression(p, i + 1, out, &childHeight);
  if (p.failed) return i;
  if (KindAt(p, i) != TOKEN_BEGIN) {
    FailAt(p, i, "Symbol {  expected.");
    return i;
  }
  ++i;
  for (;;) {
    const int32_t kind = KindAt(p, i);
    if (kind == TOKEN_END_BLOCK) break;
    if (kind == TOKEN_END) {
      FailAt(p, i, "Symbol  } expected.");
      return i;
    }
    i = ParseChildStatement(p, i, out, &childHeight);
    if (p.failed) return i;
  }
  SetHeight(p, childHeight, first.position);
  return i + 1;
}

// case value :
int32_t ParseCase(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& first = Sym(p, i);
  int32_t childHeight = 0;
  MakeNode(out, NODE_CASE, 0, first.position);
  i = ParseChildExpression(p, i + 1, out, &childHeight);
  if (p.failed) return i;
  if (KindAt(p, i) != TOKEN_COLON) {
    FailAt(p, i, "Symbol : expected.");
    return i;
  }
  SetHeight(p, childHeight, first.position);
  return i + 1;
}

// default :
int32_t ParseDefault(Parser& p, int32_t i, CodeNode* out) {
  const CodeSymbol& first = Sym(p, i);
  MakeNode(out, NODE_DEFAULT, 0, first.position);
  if (KindAt(p, i + 1) != TOKEN_COLON) {
    FailAt(p, i + 1, "Symbol : expected.");
    return i + 1;
  }
  SetHeight(p, 0, first.position);
  return i + 2;
}

// ; alone
int32_t ParseEmpty(Parser& p, int32_t i, CodeNode* out) {
  MakeNode(out, NODE_EMPTY, 0, Sym(p, i).position);
  p.height = 1;
  return i + 1;
}

// The statement its first symbol starts.
int32_t ParseStatementBody(Parser& p, int32_t i, CodeNode* out) {
  switch (KindAt(p, i)) {
    case TOKEN_FUNCTION: return ParseCall(p, i, out);
    case TOKEN_BEGIN: return ParseBlock(p, i, out);
    case TOKEN_IF: return ParseIf(p, i, out);
    case TOKEN_WHILE:
    case TOKEN_WITH: return ParseWhileOrWith(p, i, out);
    case TOKEN_DO: return ParseDo(p, i, out);
    case TOKEN_FOR: return ParseFor(p, i, out);
    case TOKEN_REPEAT: return ParseRepeat(p, i, out);
    case TOKEN_EXIT:
    case TOKEN_BREAK:
    case TOKEN_CONTINUE: return ParseKeyword(p, i, out);
    case TOKEN_RETURN: return ParseReturn(p, i, out);
    case TOKEN_SWITCH: return ParseSwitch(p, i, out);
    case TOKEN_CASE: return ParseCase(p, i, out);
    case TOKEN_DEFAULT: return ParseDefault(p, i, out);
    case TOKEN_VAR:
    case TOKEN_GLOBALVAR: return ParseDeclaration(p, i, out);
    case TOKEN_SEMICOLON: return ParseEmpty(p, i, out);
    case TOKEN_END:
      FailAt(p, i, "Unexpected end of code reached.");
      return i;
    default: return ParseAssignment(p, i, out);
  }
}

int32_t ParseStatement(Parser& p, int32_t i, CodeNode* out) {
  NestingGuard guard(p, &p.statements, i, "Code nested too deeply.");
  if (p.failed) return i;
  i = ParseStatementBody(p, i, out);
  if (p.failed) return i;
  while (KindAt(p, i) == TOKEN_SEMICOLON) ++i;
  return i;
}

Parser MakeParser(CCode* code, const SymbolList* symbols) {
  Parser p{};
  p.code = code;
  p.symbols = symbols;
  p.endSymbol.kind = TOKEN_END;
  SetReal(&p.endSymbol.value, 0.0);
  // Past the list, symbols read as the end of the text at the last symbol's position.
  p.endSymbol.position = symbols->count > 0 ? symbols->symbols[symbols->count - 1].position : 0;
  return p;
}

}  // namespace

bool Phase3_ParseProgram(CCode* code, const SymbolList* symbols, CodeNode* root) {
  Code_ClearErrorFlag();
  Parser p = MakeParser(code, symbols);
  if (KindAt(p, 0) == TOKEN_END) {
    MakeNode(root, NODE_EMPTY_PROGRAM, 0, Sym(p, 0).position);
    return true;
  }
  if (KindAt(p, 0) == TOKEN_BEGIN) {
    const int32_t i = ParseStatement(p, 0, root);
    if (!p.failed && KindAt(p, i) != TOKEN_END) FailAt(p, i, "Program ends before end of the code.");
    return !p.failed;
  }
  MakeNode(root, NODE_BLOCK, 0, Sym(p, 0).position);
  int32_t i = 0;
  int32_t childHeight = 0;
  while (!p.failed && KindAt(p, i) != TOKEN_END) i = ParseChildStatement(p, i, root, &childHeight);
  return !p.failed;
}

bool Phase3_ParseExpression(CCode* code, const SymbolList* symbols, CodeNode* root) {
  Code_ClearErrorFlag();
  Parser p = MakeParser(code, symbols);
  if (KindAt(p, 0) == TOKEN_END) {
    MakeConstantReal(root, 0.0, Sym(p, 0).position);
    return true;
  }
  ParseExpression(p, 0, root);
  return !p.failed;
}
