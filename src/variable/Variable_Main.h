// The variable store of the script engine.
//
// Variable ids (int32):
//   0 .. count-1        a built-in variable: its index in the built-in variable table, served
//                       by the entry's native getter and setter
//   100,000 + p         a user variable: position p of the user variable-name table
//                       (variable/Variable_Names.h), held in a CVariableList
// The access routines split at 10,000: below it the built-in accessors, from it a list. No id
// from 10,000 to 99,999 is handed out.
//
// Every read and write carries an encoded element index (row * 32,000 + column, or
// kWholeValueIndex for the whole value), passed through to GetValueElement / SetValueElement and
// to the built-in accessors.
//
// Main thread only: the node free list, the error flags and the tables are unsynchronised.
#pragma once

#include <cstdint>

#include "variable/ScriptValue.h"
#include "variable/Variable_Names.h"  // names and ids: GetVariableId, VariableName
#include "variable/Variable_State.h"

class CInstance;
class IBuffer;
class tagIConsole;

// ---- Built-in variables ----

// The entries, their accessors and the table itself are in variable/Variable_State.h.

// Ids below this are built-in variables for the access routines.
constexpr int32_t kBuiltinVariableIdLimit = 10000;

// Appends an entry (the name is copied; null counts as empty). A full table shows
// "INTERNAL ERROR: Adding too many variables" and adds nothing.
void RegisterBuiltinVariable(const char* name, BuiltinVariableGetter getter, BuiltinVariableSetter setter);
// The index of the first entry whose name equals `name` exactly (case matters); -1 when none.
int32_t FindBuiltinVariable(const char* name);
// The entry's name, or "<unknown built-in variable>" for an index outside the table.
const char* BuiltinVariableName(int32_t index);
// Releases every name and empties the table (count 0), ready for a new registration.
void ClearBuiltinVariables();

// ---- Error flags ----

// g_Variables.instanceMissing is set when a read through a target found no instance; it is
// cleared by CVariableList::Get and by GetVariable. (The array-index flag is
// g_Variables.arrayIndexError.flag.)

// ---- The uninitialised-variable option ----

// With the option on (g_Options.uninitialisedVariables), reading a variable a list does not hold
// fails and gives kUninitialisedValue; off (the default), it succeeds with real 0.
constexpr double kUninitialisedValue = 12345678.9;

// ---- Variable lists ----

struct VariableNode {
  VariableNode* bucketNext;  // the next node of the same bucket
  VariableNode* chainNext;   // the next older node of the list; in the free list, the next free node
  ScriptValue value;
  int32_t id;
};

// The variables of one instance, the global variables, or the local variables of one running
// piece of code: 64 buckets chosen by the low six bits of the id, plus a chain through every node
// from newest to oldest. A list holds at most one node per id.
//
// Iteration order (copying, saving, dumping, the debugger): bucket 0 to 63, each bucket from its
// head, so the most recently inserted node of a bucket comes first.
class CVariableList {
 public:
  static constexpr int32_t kBucketCount = 64;

  CVariableList();
  // Releases every variable, as Clear does.
  virtual ~CVariableList();
  CVariableList(const CVariableList&) = delete;
  CVariableList& operator=(const CVariableList&) = delete;

  // Releases every value and returns the nodes to the free list; the list is empty afterwards.
  void Clear();
  bool Exists(int32_t id) const;
  // The node of the id, or null when the list does not hold it (a read that changes nothing).
  VariableNode* Lookup(int32_t id) const {
    for (VariableNode* node = m_Buckets[static_cast<uint32_t>(id) & (kBucketCount - 1)]; node != nullptr;
         node = node->bucketNext) {
      if (node->id == id) return node;
    }
    return nullptr;
  }
  // Clears the array-index and instance-missing flags, then reads the variable (or one element
  // of it) into `out`, releasing what `out` held. A variable the list does not hold reads as
  // real 0 with success, or, with the uninitialised-variable option on, as kUninitialisedValue
  // with failure. False also for an element outside the array.
  bool Get(int32_t id, int32_t arrayIndex, ScriptValue* out);
  // Clears the array-index flag and stores the value (or one element of it), adding the variable
  // when missing. False when the element index lay outside what an array can hold.
  bool Set(int32_t id, int32_t arrayIndex, const ScriptValue* value);
  // The node of the id, added (holding real 0) when missing.
  VariableNode* FindOrAdd(int32_t id);
  // Makes this list an independent copy of `other`: strings copied, arrays duplicated.
  void CopyFrom(const CVariableList* other);

  // Saved form: s32 count, then per node in iteration order its name (VariableName, a
  // NUL-terminated string) and its value record. False when the buffer refused a write.
  bool Save(IBuffer* buffer) const;
  // Replaces the contents with a saved list. A name the running game does not know is skipped
  // with a warning on DebugConsole; a name met twice keeps its later value. False when the data is
  // corrupt or ends early (a count that cannot fit in the bytes left, a value cut short); what was
  // read up to there is kept.
  bool Load(IBuffer* buffer);
  // One line per variable: "name(id) = value".
  void Dump(tagIConsole* console) const;

  VariableNode* m_Buckets[kBucketCount];
  VariableNode* m_LastAdded;  // newest node, head of the chain through chainNext
  int32_t m_Count;
  // Taken from the process-wide count g_Variables.listEpochs when the list is made and at every
  // Clear (Load and CopyFrom clear first), so never the same for two lives of any list. Nodes
  // leave a list only through Clear: a node found in a list stays its node while the epoch holds,
  // which lets the machine keep the nodes it found (per reading site) and check them in O(1).
  uint64_t m_Epoch;

 private:
  VariableNode* Find(int32_t id) const;
  void Link(VariableNode* node);
};

// A node with the id, links null and value real 0: taken from the free list, or newly allocated
// when that is empty. Nodes are never given back to the heap.
VariableNode* AllocVariableNode(int32_t id);
// Releases the node's value and pushes the node onto the free list.
void FreeVariableNode(VariableNode* node);
// The number of nodes waiting in the free list.
int32_t VariableNodeFreeCount();

// Writes the value readably: reals that are whole int32 numbers as "%d", other reals as "%f",
// strings quoted, arrays as nested braces (at most 30 rows of 30 elements, " ... " marking the
// rest; an array inside kMaxValueNesting others, or met again once the walk's repeat budget is
// spent (variable/ValueWalk.h), as "{ ... }"), int64 and int32 in decimal, "undefined", pointers
// as "%p"; unknown kinds print nothing.
void PrintValue(tagIConsole* console, const ScriptValue* value);

// ---- Access ----

// One instance: a built-in id goes to the entry's accessor (a read-only variable, an id without an
// accessor or a negative id gives false), any other id to the instance's list. A list write
// answers true whatever the element write gave.
bool GetInstanceVariable(CInstance* instance, int32_t id, int32_t arrayIndex, ScriptValue* out);
bool SetInstanceVariable(CInstance* instance, int32_t id, int32_t arrayIndex, const ScriptValue* value);

// The global list.
bool GetGlobalVariable(int32_t id, int32_t arrayIndex, ScriptValue* out);
bool SetGlobalVariable(int32_t id, int32_t arrayIndex, const ScriptValue* value);

// Targets of GetVariable / SetVariable. Self, other, global, not-specified and local are resolved
// by the callers; here they find no instance.
constexpr int32_t kTargetSelf = -1;
constexpr int32_t kTargetOther = -2;
constexpr int32_t kTargetAll = -3;
constexpr int32_t kTargetNoone = -4;
constexpr int32_t kTargetGlobal = -5;
constexpr int32_t kTargetNotSpecified = -6;
constexpr int32_t kTargetLocal = -7;

// Reads through a target: -3 the first live instance of the current room's active list; 100,000
// and up the instance of that id unless it is marked for destruction (deactivated still counts);
// 0 .. 99,999 the first live instance of the object or its descendants, else of the relink queue,
// else of the activation-change list, with that object index. ("Live": neither marked nor
// deactivated.) No instance, or another negative target: the instance-missing flag is set and the
// answer is false.
bool GetVariable(int32_t target, int32_t id, int32_t arrayIndex, ScriptValue* out);
// Writes through a target to every instance it stands for (-3: every live instance of the current
// room; an object index: every live instance of the object and its descendants, and of the relink
// queue). Answers what the last instance write answered. Another negative target gives false
// silently; a target that reaches no instance is the fatal error "Unable to find any instance for
// object index '%d'".
bool SetVariable(int32_t target, int32_t id, int32_t arrayIndex, const ScriptValue* value);

// ---- Global variables ----

// The global list is g_Variables.globals; g_Variables.declaredGlobals holds one byte per user
// variable position (id - 100,000), 1 when a globalvar declaration named it.
constexpr int32_t kDeclaredGlobalsInitial = 10000;
constexpr int32_t kDeclaredGlobalsStep = 1000;

// Whether a globalvar declaration named the variable.
bool IsGlobalDeclared(int32_t id);
// Marks the variable declared (growing the table in steps of 1,000 to cover it) and answers its
// node of the global list, which exists from now on. A built-in id does nothing and gives null.
VariableNode* DeclareGlobalVariable(int32_t id);

// A fresh empty global list and a declared-global table of 10,000 zero entries.
void InitGlobalVariables();
// The global list, then the declared-global table (s32 length, one s32 0/1 per entry).
bool SaveGlobalVariables(IBuffer* buffer);
// Replaces the global list and the declared-global table with the saved ones. False when the
// data is corrupt or ends early.
bool LoadGlobalVariables(IBuffer* buffer);
// Shutdown: empties the built-in table, destroys the global list, releases the declared table.
void FreeVariables();
