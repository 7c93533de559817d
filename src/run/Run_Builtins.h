// The registration of every built-in function, group by group.
#pragma once

// Registers every group of built-in functions through RegisterBuiltinFunction, in the one fixed
// order that gives the built-ins their call numbers (high-score table, game, maths, graphics,
// actions, files, resources, interaction, 3-D, particles, miscellaneous, data structures, sound,
// physics, gamepads, buffers, networking, shaders, platform services). Each group's label goes to
// the debug console before its registrars run ("HighScore.." ... "Tuvo.."), then "Fini\n".
// Called once per start by the game data's first pass when it meets the header, before any code
// is compiled.
void RegisterBuiltinGroups();
