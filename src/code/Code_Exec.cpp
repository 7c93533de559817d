#include "code/Code_Exec.h"

#include "code/Code_Error.h"
#include "code/Code_TreeExec.h"
#include "code/VM_Exec.h"

namespace {
// The tree interpreter's entry points (Code_SetTreeInterpreter).
struct TreeHooks {
  TreeRunHook execProgram = TreeRunProgram;
  TreeRunHook evalExpression = TreeRunExpression;
};
TreeHooks g_tree;

bool ExecuteOnTree(CInstance* self, CInstance* other, CCode* code, ScriptValue* result) {
  if (!code->m_compiled) {
    Code_SetError(code, 0, "Internal Error: Executing non-compiled code->");
    return false;
  }
  if (code->m_kind == CODE_CONSTANT) {
    Code_CopyConstant(code, result);
    return true;
  }
  if (self == nullptr || other == nullptr) {
    Code_SetError(code, 0, "Internal Error: Executing code for nil instance.");
    return false;
  }
  ReleaseValue(result);
  SetUndefined(result);
  TreeRunHook run = code->m_kind == CODE_EXPRESSION ? g_tree.evalExpression : g_tree.execProgram;
  if (run == nullptr) {
    Code_SetError(code, 0, "Internal Error: No tree interpreter.");
    return false;
  }
  return run(self, other, code, result) != -1;
}
}  // namespace

void Code_SetTreeInterpreter(TreeRunHook execProgram, TreeRunHook evalExpression) {
  g_tree.execProgram = execProgram;
  g_tree.evalExpression = evalExpression;
}

void Code_CopyConstant(const CCode* code, ScriptValue* result) {
  ReleaseValue(result);
  CopyValue(result, &code->m_constant);
}

bool Code_Execute(CInstance* self, CInstance* other, CCode* code, ScriptValue* result) {
  Code_ClearErrorFlag();
  if (code == nullptr) return true;  // an empty slot: nothing to run
  if (code->m_native) {
    code->m_native(self, other, result);
    return true;
  }
  if (!g_VM.UseVM) return ExecuteOnTree(self, other, code, result);

  if (code->m_kind == CODE_CONSTANT) {
    Code_CopyConstant(code, result);
  } else if (code->m_code != nullptr && code->m_code->m_size > 0) {
    VMExecute(code->m_name, self, other, code->m_code, result, code->m_lineInfo, code->m_sourceCopy);
  }
  // Failures on the virtual machine are reported by the machine itself.
  return true;
}

bool Code_ExecuteAndReport(CInstance* self, CInstance* other, CCode* code, ScriptValue* result) {
  if (Code_Execute(self, other, code, result)) return true;
  ReportRuntimeError(Code_GetLastError(), false);
  Code_ClearErrorFlag();
  return false;
}

bool Code_Evaluate(CInstance* self, CInstance* other, CCode* code, ScriptValue* result) {
  if (Code_Execute(self, other, code, result)) return true;
  ReleaseValue(result);
  SetString(result, "ERROR");
  return false;
}
