// The registration of every built-in function, group by group.
#pragma once

// Registers every group of built-in functions through RegisterBuiltinFunction, in the one fixed
// order that gives the built-ins their call numbers. Called once per start by the game data's
// first pass when it meets the header, before any code is compiled.
void RegisterBuiltinGroups();
