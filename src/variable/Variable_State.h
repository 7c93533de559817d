// The state of the value and variable layer: one record, g_Variables, that the values, the
// variable lists and both script engines read and write. It holds the error flags that element
// and instance look-ups raise for the engines' messages, the comparison epsilon, the built-in
// variable table, the global variables and the variable-node free list.
//
// A fresh record is the state of a fresh process; Variable_Reset frees what the record owns and
// assigns one. Main thread only: nothing here is synchronised.
#pragma once

#include <cstdint>

#include "platform/NameTable.h"
#include "platform/cARRAY_STRUCTURE.h"
#include "variable/ScriptValue.h"

class CInstance;
class CVariableList;
struct VariableNode;

// ---- Built-in variable entries ----

// Produces the variable's value for the instance into `out`; true when a value was produced.
using BuiltinVariableGetter = bool (*)(CInstance* self, int32_t arrayIndex, ScriptValue* out);
// Stores `value` (read, never taken over) into the instance's variable; true on success.
using BuiltinVariableSetter = bool (*)(CInstance* self, int32_t arrayIndex, const ScriptValue* value);

struct BuiltinVariableEntry {
  const char* name;  // the script name (a copy that the record's builtinNames holds)
  BuiltinVariableGetter getter;
  BuiltinVariableSetter setter;  // null for a read-only variable
  uint8_t canSet;                // 1 when a setter was given
};

constexpr int32_t kMaxBuiltinVariables = 500;

// ---- The record ----

struct VariableState {
  // Set when a read through a target found no instance; cleared by CVariableList::Get and by
  // GetVariable.
  uint8_t instanceMissing = 0;
  // The last out-of-range element access (see ArrayIndexErrorState).
  ArrayIndexErrorState arrayIndexError = {};
  // The comparison epsilon of ValuesEqual and of the virtual machine's comparisons (0.00001 at
  // start; math_set_epsilon changes it).
  double MathEpsilon = 0.00001;

  // The global variables (made by InitGlobalVariables), and one byte per user variable position
  // (id - 100,000): 1 when a globalvar declaration named it.
  CVariableList* globals = nullptr;
  cARRAY_STRUCTURE<uint8_t> declaredGlobals;

  // The built-in variable table, filled in registration order from index 0; an entry's index is
  // its variable id.
  int32_t builtinCount = 0;
  BuiltinVariableEntry builtins[kMaxBuiltinVariables] = {};
  // The built-in variables' names by id, for finding a name without a walk over the table.
  NameTable builtinNames;

  // Released variable nodes (memory-manager blocks), linked through chainNext.
  VariableNode* freeNodes = nullptr;
  int32_t freeNodeCount = 0;
  // The last epoch handed to a variable list (CVariableList::m_Epoch); kept across resets.
  uint64_t listEpochs = 0;
};
extern VariableState g_Variables;

// Frees everything the record owns (the built-in names, the global list, the declared table, the
// free nodes) and puts a fresh record in its place.
void Variable_Reset();
