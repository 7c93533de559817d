// The built-in variables of instances and of the game, registered once at start-up. The order of
// registration fixes the built-in variable ids: every per-instance variable, then every global
// variable, then the platform variables.
#pragma once

// Empties the built-in variable table and registers everything in the order above.
void InitBuiltinVariables();
// The per-instance variables (x, y, sprite_index, ...), the physics variables of the instance's
// body and five process-wide read-only values (async_load, iap_data, display_aa, delta_time,
// webgl_enabled).
void RegisterInstanceVariables();
// The game-wide variables (the arguments of the running script, room, score, ...).
void RegisterGlobalVariables();

// Writes the name of every registered variable, one line each in table order, with a '*' after
// the names that cannot be set, to `path` (text mode). False when the file cannot be made.
constexpr const char* kVariableNamesFile = "vnames.txt";
bool DumpVariableNames(const char* path = kVariableNamesFile);

// Set while an action runs relative to its instance; argument_relative reads it.
extern bool ActionRelative;
