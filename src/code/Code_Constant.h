// The named constants of script code: the built-in ones (instance selectors, colours, keys,
// event numbers, ...) registered at every start-up, the game's own constants added when the
// game is prepared, and the one lookup the compiler and the asset built-ins use, which answers
// the names of the game's resources before the table's entries.
//
// The table keeps every entry until FreeConstants; a name added twice gives two entries and
// every lookup takes the newest. Main thread only.
#pragma once

#include <cstdint>

#include "variable/ScriptValue.h"

// Appends an entry: the name copied (null stays null), the value copied by its kind (a
// string's text duplicated, an array shared).
void AddConstant(const char* name, const ScriptValue* value);
void RegisterBuiltinConstant(const char* name, double value);
void RegisterBuiltinStringConstant(const char* name, const char* text);

// False for null or empty text; otherwise whether the first byte is a letter or '_' and every
// further byte a letter, digit or '_' (ASCII only).
bool IsValidIdentifier(const char* text);

// Adds the game constant `name` (trimmed of leading and trailing blanks) with the value of its
// value text, compiled as a constant expression (earlier constants and resource names may be
// used in it). A text that does not fold to one constant gives the real 0 and a line on
// DebugConsole; an empty or null text gives 0 silently. A name that is not a valid identifier
// shows "Constant name <name>  is not valid." and answers false.
bool DefineConstant(const char* name, const char* valueText);

// DefineConstant for each name and value text in order; the first false ends the walk with
// false.
bool DefineConstantList(int32_t count, const char* const* names, const char* const* valueTexts);

// DefineConstantList over the game's constants as the options chunk listed them (names and
// value texts, in file order). Run while the game is prepared; false stops the start.
bool DefineGameConstants();

// Compiles `text` as an expression and, when it folds to one constant, copies that into
// `value` (which the caller then owns) and answers true. Otherwise `value` is the real 0 and the
// answer is false.
bool FoldConstantExpression(const char* text, ScriptValue* value);

// Compiles `text` as an expression named "Constant.<n>" (n counting up from 0 since the table was last freed) and
// evaluates it for a scratch instance (at 0, 0, id 0, object 0, in no list) as self and other
// through Code_Evaluate. False when the compilation fails, else Code_Evaluate's answer. `value`
// is overwritten (its old payload is not released).
bool EvaluateConstantExpression(const char* text, ScriptValue* value);

// Resource names first, in this order: object, sprite, sound, audio sound, background, path,
// font, time line, script, room (the index as a real); then the table from the newest entry to
// the oldest, names compared exactly (a copy of the stored value). False when nothing matches;
// `value` is then untouched.
bool ResolveConstant(const char* name, ScriptValue* value);

// The stored value of the newest entry whose name equals `name` ignoring the case of ASCII
// letters, or null.
const ScriptValue* FindConstant(const char* name);

// The number of entries in the table.
int32_t ConstantCount();

// Registers the built-in constants (at every start-up, before the game data is read).
void RegisterBuiltinConstants();
// Releases every entry; the table is empty afterwards and constant expressions are numbered from
// 0 again.
void FreeConstants();
