// Phase 4 of the compiler: one bottom-up walk of the code tree that makes the names declared
// with var local, turns variables with a constant instance and no index into simple variables,
// and folds every operation whose operands are all constants into one constant node.
#pragma once

#include <cstdint>

#include "code/Code_Tree.h"

class CCode;

// Checks and folds the tree in place. Clears the code error flag and the local-name list first;
// answers false when an error was recorded (the walk stops at the first one).
//
// The local-name list (ids named by var, in walk order) is process-wide and lives until the
// next call; it grows as needed.
bool Phase4_Check(CCode* code, CodeNode* root);

// Frees the local-name list.
void Phase4_FreeLocals();
