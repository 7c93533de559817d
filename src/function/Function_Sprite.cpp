// The sprite family of the resource built-ins. It holds font_set_cache_size, which stands among
// the sprite built-ins: the glyph cache has a fixed size, so it changes nothing.
#include "code/Code_Function.h"
#include "function/Function_Resource.h"

namespace {

// font_set_cache_size (ind, max): nothing; the result stays 0.
void F_FontSetCacheSize(ScriptValue*, CInstance*, CInstance*, int32_t, ScriptValue*) {}

// In registration order, which fixes the call numbers.
constexpr BuiltinSpec kFunctions[] = {
    {"font_set_cache_size", F_FontSetCacheSize, 2},
};

}  // namespace

void RegisterSpriteFunctions() { RegisterBuiltinTable(kFunctions); }
