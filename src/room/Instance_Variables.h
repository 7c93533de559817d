// The built-in variables of instances and of the game, registered once at start-up. The order of
// registration fixes the built-in variable ids: every per-instance variable, then every global
// variable, then the platform variables.
#pragma once

// Empties the built-in variable table and registers everything in the order above.
void InitBuiltinVariables();
// The per-instance variables (x, y, sprite_index, ...).
void RegisterInstanceVariables();
// The game-wide variables (the arguments of the running script, room, score, ...).
void RegisterGlobalVariables();

// Set while an action runs relative to its instance; argument_relative reads it.
extern bool ActionRelative;
