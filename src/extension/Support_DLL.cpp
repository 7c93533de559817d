#include "extension/Support_DLL.h"

#include <dlfcn.h>
#include <strings.h>

#include <cstring>
#include <string>
#include <utility>

#include "base/VCL.h"
#include "extension/Extension_Main.h"
#include "os/OS_Paths.h"
#include "platform/cARRAY_CLASS.h"
#include "support/LoadSave.h"

namespace {

// One defined function.
struct ExternalFunction {
  std::string path;       // the library as loaded (resolved)
  std::string givenPath;  // the library as the game named it
  void* module = nullptr;  // null after DLL_Free
  std::string name;
  void* address = nullptr;
  int32_t decorated = 0;  // found under "_<name>@<N>"
  int32_t argumentCount = 0;
  int32_t argumentKinds[kDLLMaxArguments] = {};  // non-zero: a string
  int32_t resultKind = VALUE_REAL;
};

// Definitions are never removed: an index stays valid for the process.
cARRAY_CLASS<ExternalFunction> g_Definitions;

// ---- Finding and loading a library ----

bool EndsWithDll(const std::string& name) {
  if (name.size() < 4) return false;
  const char* tail = name.c_str() + name.size() - 4;
  return strcasecmp(tail, ".dll") == 0;
}

// The path of an existing library file for `name`: the save area first, then the game folder.
bool FindLibraryFile(const std::string& name, std::string* out) {
  char path[kLoadSavePathSize];
  if (LoadSave_SaveFileExists(name.c_str())) {
    LoadSave_ResolveSavePath(path, sizeof(path), name.c_str());
  } else if (LoadSave_GameFileExists(name.c_str())) {
    LoadSave_ResolveGamePath(path, sizeof(path), name.c_str());
  } else {
    return false;
  }
  // The resolvers may join with a doubled separator; the path kept is the plain absolute form.
  char plain[kLoadSavePathSize];
  if (path[0] == '\0' || !OS_FullPath(path, plain, sizeof(plain))) return false;
  *out = plain;
  return true;
}

// The library file for a name a game gives; a name ending in ".dll" is also tried with ".so".
bool ResolveLibrary(const char* name, std::string* out) {
  const std::string given = name;
  if (FindLibraryFile(given, out)) return true;
  if (EndsWithDll(given)) return FindLibraryFile(given.substr(0, given.size() - 4) + ".so", out);
  return false;
}

// The loaded library of `path`: the handle of the last definition made for it, else a new load.
void* LoadModule(const std::string& path) {
  void* module = nullptr;
  for (int32_t i = 0; i < g_Definitions.GetLength(); ++i) {
    const ExternalFunction* f = g_Definitions.Get(i);
    if (f->path == path) module = f->module;
  }
  if (module != nullptr) return module;
  module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* why = dlerror();
    DebugConsole->Output("Cannot load the library %s: %s\n", path.c_str(), why ? why : "unknown error");
  }
  return module;
}

// ---- Calling ----

// One argument as the function receives it.
union CallArgument {
  double real;
  const char* text;
};

template <typename P>
P Pass(const CallArgument& a);
template <>
double Pass<double>(const CallArgument& a) { return a.real; }
template <>
const char* Pass<const char*>(const CallArgument& a) { return a.text; }

template <typename R, typename... P, size_t... I>
R CallWith(void* address, const CallArgument* a, std::index_sequence<I...>) {
  return reinterpret_cast<R (*)(P...)>(address)(Pass<P>(a[I])...);
}

// Up to four arguments, each a real or a string: the shape is built argument by argument from
// the kinds.
template <typename R, typename... P>
R CallMixed(void* address, const CallArgument* a, const int32_t* kinds, int32_t count) {
  constexpr int32_t n = static_cast<int32_t>(sizeof...(P));
  if constexpr (n < kDLLMaxMixedArguments) {
    if (n < count) {
      return kinds[n] != 0 ? CallMixed<R, P..., const char*>(address, a, kinds, count)
                           : CallMixed<R, P..., double>(address, a, kinds, count);
    }
  }
  return CallWith<R, P...>(address, a, std::index_sequence_for<P...>{});
}

template <size_t>
using RealArgument = double;

template <typename R, size_t... I>
R CallReals(void* address, const CallArgument* a, std::index_sequence<I...>) {
  return reinterpret_cast<R (*)(RealArgument<I>...)>(address)(a[I].real...);
}

// Five to sixteen arguments, all reals.
template <typename R>
R CallManyReals(void* address, const CallArgument* a, int32_t count) {
  switch (count) {
    case 5: return CallReals<R>(address, a, std::make_index_sequence<5>{});
    case 6: return CallReals<R>(address, a, std::make_index_sequence<6>{});
    case 7: return CallReals<R>(address, a, std::make_index_sequence<7>{});
    case 8: return CallReals<R>(address, a, std::make_index_sequence<8>{});
    case 9: return CallReals<R>(address, a, std::make_index_sequence<9>{});
    case 10: return CallReals<R>(address, a, std::make_index_sequence<10>{});
    case 11: return CallReals<R>(address, a, std::make_index_sequence<11>{});
    case 12: return CallReals<R>(address, a, std::make_index_sequence<12>{});
    case 13: return CallReals<R>(address, a, std::make_index_sequence<13>{});
    case 14: return CallReals<R>(address, a, std::make_index_sequence<14>{});
    case 15: return CallReals<R>(address, a, std::make_index_sequence<15>{});
    default: return CallReals<R>(address, a, std::make_index_sequence<16>{});
  }
}

template <typename R>
R CallShape(const ExternalFunction& f, const CallArgument* a) {
  if (f.argumentCount <= kDLLMaxMixedArguments) return CallMixed<R>(f.address, a, f.argumentKinds, f.argumentCount);
  return CallManyReals<R>(f.address, a, f.argumentCount);
}

// A value as a parameter of the given kind.
CallArgument ArgumentFor(const ScriptValue& v, bool asString) {
  CallArgument a{};
  if (asString) {
    a.text = v.Kind() == VALUE_STRING && v.str != nullptr ? v.str : "";
    return a;
  }
  switch (v.Kind()) {
    case VALUE_REAL: a.real = v.real; break;
    case VALUE_INT32: a.real = static_cast<double>(v.i32); break;
    case VALUE_INT64: a.real = static_cast<double>(v.i64); break;
    case VALUE_PTR: std::memcpy(&a.real, &v.bits, sizeof(a.real)); break;
    default: a.real = 0.0; break;
  }
  return a;
}

// Closes `module` once and forgets it in every definition that holds it.
void UnloadModule(void* module) {
  for (int32_t j = 0; j < g_Definitions.GetLength(); ++j) {
    if (g_Definitions.Get(j)->module == module) g_Definitions.Get(j)->module = nullptr;
  }
  dlclose(module);
}

}  // namespace

int32_t DLL_Define(const char* path, const char* name, int32_t, int32_t argumentCount, const int32_t* stringFlags,
                   int32_t resultIsString) {
  if (path == nullptr || name == nullptr || argumentCount < 0 || argumentCount > kDLLMaxArguments) return -1;
  bool anyString = false;
  for (int32_t i = 0; i < argumentCount && stringFlags != nullptr; ++i) anyString |= stringFlags[i] != 0;
  if (argumentCount > kDLLMaxMixedArguments && anyString) return -1;

  std::string resolved;
  if (!ResolveLibrary(path, &resolved)) {
    DebugConsole->Output("Cannot find the library %s in the game folder or the save area\n", path);
    return -1;
  }
  void* module = LoadModule(resolved);
  if (module == nullptr) return -1;

  auto* f = new ExternalFunction;
  f->path = resolved;
  f->givenPath = path;
  f->module = module;
  f->name = name;
  f->address = dlsym(module, name);
  if (f->address == nullptr) {
    int32_t bytes = 0;
    for (int32_t i = 0; i < argumentCount; ++i) bytes += stringFlags != nullptr && stringFlags[i] != 0 ? 4 : 8;
    const std::string decorated = "_" + f->name + "@" + std::to_string(bytes);
    f->address = dlsym(module, decorated.c_str());
    f->decorated = 1;
  }
  if (f->address == nullptr) {
    // The library stays loaded, as other definitions may come to use it.
    delete f;
    return -1;
  }
  f->argumentCount = argumentCount;
  for (int32_t i = 0; i < argumentCount; ++i) f->argumentKinds[i] = stringFlags != nullptr ? stringFlags[i] : 0;
  f->resultKind = resultIsString != 0 ? VALUE_STRING : VALUE_REAL;

  const int32_t index = g_Definitions.GetLength();
  g_Definitions.SetLength(index + 1);
  g_Definitions[index] = f;
  return index;
}

void DLL_Call(int32_t index, int32_t argumentCount, const ScriptValue* args, ScriptValue* result) {
  SetReal(result, 0.0);
  const ExternalFunction* f = g_Definitions.Get(index);
  if (f == nullptr || argumentCount != f->argumentCount || f->module == nullptr || f->address == nullptr) return;
  CallArgument a[kDLLMaxArguments] = {};
  for (int32_t i = 0; i < argumentCount; ++i) a[i] = ArgumentFor(args[i], f->argumentKinds[i] != 0);
  if (g_Extensions.ExternalCallsOff) return;

  if (f->resultKind == VALUE_STRING) {
    const char* text = CallShape<const char*>(*f, a);
    result->kind = VALUE_STRING;
    result->str = nullptr;
    SetString(result, text);
  } else {
    result->real = CallShape<double>(*f, a);
  }
}


void DLL_Free(const char* path) {
  if (path == nullptr) return;
  for (int32_t i = 0; i < g_Definitions.GetLength(); ++i) {
    const ExternalFunction* f = g_Definitions.Get(i);
    if (f->module != nullptr && (f->path == path || f->givenPath == path)) UnloadModule(f->module);
  }
}

int32_t DLL_DefinitionCount() { return g_Definitions.GetLength(); }

void DLL_FreeAll() {
  for (int32_t i = 0; i < g_Definitions.GetLength(); ++i) {
    if (g_Definitions.Get(i)->module != nullptr) UnloadModule(g_Definitions.Get(i)->module);
  }
  g_Definitions.SetLength(0);
}
