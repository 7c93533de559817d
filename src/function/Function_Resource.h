// The resource built-ins: one registration routine over the families of every resource kind.
#pragma once

// Registers this group's built-ins in their fixed order (their call numbers follow from it):
// the sprite family, the background family, the font family and the path family, each from its
// own file.
void RegisterResourceFunctions();

// The families, each registering its built-ins in its table's order.
void RegisterSpriteFunctions();      // function/Function_Sprite.cpp
void RegisterBackgroundFunctions();  // function/Function_Background.cpp
void RegisterFontFunctions();        // function/Function_Font.cpp
void RegisterPathFunctions();        // function/Function_Path.cpp
