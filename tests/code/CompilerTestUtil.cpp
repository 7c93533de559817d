#include "CompilerTestUtil.h"

#include <cstdio>
#include <cstring>

#include "code/Code_Compile.h"
#include "code/Code_Constant.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/Code_Main.h"
#include "code/Code_Phase1.h"
#include "code/Code_Phase2.h"
#include "code/Code_Phase3.h"
#include "code/Code_Token.h"
#include "extension/Extension_Main.h"
#include "object/Object_Class.h"
#include "object/Object_Main.h"
#include "script/Script_Main.h"
#include "variable/Variable_Main.h"
#include "variable/Variable_Names.h"

namespace compilertest {

namespace {

std::string Number(double v) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.15g", v);
  return text;
}

std::string OperatorText(int32_t op) {
  switch (op) {
    case 101: return "=";
    case 102: return "+=";
    case 103: return "-=";
    case 104: return "*=";
    case 105: return "/=";
    case 114: return "|=";
    case 115: return "&=";
    case 116: return "^=";
    case 201: return "&&";
    case 202: return "||";
    case 203: return "!";
    case 204: return "<";
    case 205: return "<=";
    case 206: return "==";
    case 207: return "!=";
    case 208: return ">=";
    case 209: return ">";
    case 210: return "+";
    case 211: return "-";
    case 212: return "*";
    case 213: return "/";
    case 214: return "div";
    case 215: return "mod";
    case 216: return "^^";
    case 217: return "|";
    case 218: return "&";
    case 219: return "^";
    case 220: return "~";
    case 221: return "<<";
    case 222: return ">>";
    default: return "op" + std::to_string(op);
  }
}

std::string CallName(int32_t callNumber) {
  const char* name = nullptr;
  if (GetBuiltinFunctionInfo(callNumber, &name, nullptr, nullptr) && name != nullptr) return name;
  if (callNumber == kScriptExecuteCall) return "script_execute";
  if (callNumber >= kScriptCallBase && callNumber < kScriptExecuteCall) {
    return "script" + std::to_string(callNumber - kScriptCallBase);
  }
  return "call" + std::to_string(callNumber);
}

std::string Children(const CodeNode* node, int32_t from, const char* separator) {
  std::string text;
  for (int32_t i = from; i < node->childCount; ++i) {
    if (i > from) text += separator;
    text += DumpTree(&node->children[i]);
  }
  return text;
}

std::string Named(const char* name, const CodeNode* node) { return std::string(name) + "(" + Children(node, 0, ", ") + ")"; }

bool IsNoInstance(const CodeNode* node) {
  return node->kind == NODE_CONSTANT && node->value.Kind() == VALUE_REAL && node->value.real == kNoInstanceGiven;
}

}  // namespace

std::string DumpTree(const CodeNode* node) {
  switch (node->kind) {
    case NODE_EMPTY_PROGRAM: return "empty";
    case NODE_EMPTY: return "nop";
    case NODE_CONSTANT:
      switch (node->value.Kind()) {
        case VALUE_REAL: return Number(node->value.real);
        case VALUE_STRING: return "\"" + std::string(node->value.str != nullptr ? node->value.str : "") + "\"";
        default: return "value" + std::to_string(node->value.Kind());
      }
    case NODE_CALL: return CallName(node->operand) + "(" + Children(node, 0, ", ") + ")";
    case NODE_VARIABLE: {
      std::string text;
      if (node->childCount > 0 && !IsNoInstance(&node->children[0])) text = DumpTree(&node->children[0]) + ".";
      text += VariableName(node->operand);
      if (node->childCount > 1) text += "[" + Children(node, 1, ", ") + "]";
      return text;
    }
    case NODE_SIMPLE_VARIABLE: return std::string(VariableName(node->operand)) + "@" + std::to_string(node->instance);
    case NODE_IF: return Named("if", node);
    case NODE_WHILE: return Named("while", node);
    case NODE_DO: return Named("do", node);
    case NODE_FOR: return Named("for", node);
    case NODE_REPEAT: return Named("repeat", node);
    case NODE_EXIT: return "exit";
    case NODE_BREAK: return "break";
    case NODE_CONTINUE: return "continue";
    case NODE_WITH: return Named("with", node);
    case NODE_RETURN: return Named("return", node);
    case NODE_SWITCH: return Named("switch", node);
    case NODE_CASE: return Named("case", node);
    case NODE_CONSTANT_CASE: return Named("constcase", node);
    case NODE_DEFAULT: return "default";
    case NODE_VAR:
    case NODE_GLOBALVAR: {
      std::string text = node->kind == NODE_VAR ? "var(" : "globalvar(";
      for (int32_t i = 0; i < node->childCount; ++i) {
        if (i > 0) text += ", ";
        text += VariableName(node->children[i].operand);
      }
      return text + ")";
    }
    case NODE_ASSIGN:
      if (node->childCount != 2) return "assign?";
      return DumpTree(&node->children[0]) + " " + OperatorText(node->operand) + " " + DumpTree(&node->children[1]);
    case NODE_BLOCK: return "{" + Children(node, 0, "; ") + "}";
    case NODE_UNARY:
      return "(" + OperatorText(node->operand) + (node->childCount > 0 ? DumpTree(&node->children[0]) : "?") + ")";
    case NODE_BINARY:
      if (node->childCount != 2) return "binary?";
      return "(" + DumpTree(&node->children[0]) + " " + OperatorText(node->operand) + " " +
             DumpTree(&node->children[1]) + ")";
    default: return "kind" + std::to_string(node->kind);
  }
}

void LastError(std::string* message, int32_t* position) {
  *message = "";
  *position = -1;
  const char* text = Code_GetLastError();
  if (text == nullptr) return;
  // "...at position N: message" (programs) or "... position N: message" (expressions); the
  // column is 1-based.
  const std::string all = text;
  const size_t at = all.rfind("position ");
  if (at == std::string::npos) return;
  const size_t colon = all.find(": ", at);
  *position = std::stoi(all.substr(at + 9, colon - at - 9)) - 1;
  *message = all.substr(colon + 2);
}

namespace {

Outcome Finish(CCode* code, bool ok) {
  Outcome outcome;
  outcome.ok = ok;
  outcome.kind = code->m_kind;
  if (code->m_tree != nullptr) outcome.tree = DumpTree(code->m_tree);
  if (Code_GetErrorFlag()) LastError(&outcome.error, &outcome.errorPos);
  Code_ClearErrorFlag();
  delete code;
  return outcome;
}

}  // namespace

Outcome Parse(const std::string& source, bool expression) {
  CCode* code = new CCode(source.c_str(), expression);
  code->m_tree = CodeNode_New();
  TokenList tokens{};
  SymbolList symbols{};
  bool ok = Phase1_Tokenize(code, &tokens) && Phase2_Resolve(code, &tokens, &symbols);
  if (ok) {
    ok = expression ? Phase3_ParseExpression(code, &symbols, code->m_tree)
                    : Phase3_ParseProgram(code, &symbols, code->m_tree);
  }
  FreeSymbolList(&symbols);
  FreeTokenList(&tokens);
  return Finish(code, ok);
}

Outcome Compile(const std::string& source, bool expression) {
  CCode* code = new CCode(source.c_str(), expression);
  const bool ok = Compiler_CompileTree(code);
  return Finish(code, ok);
}

namespace {
void TestBuiltin(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) {}
}  // namespace

void RegisterTestFunction(const char* name, int32_t argc) { RegisterBuiltinFunction(name, &TestBuiltin, argc); }

}  // namespace compilertest
