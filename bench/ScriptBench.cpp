// The script engine benchmark. Each program is script text compiled at run time, then timed on
// the virtual machine (bytecode) and on the tree interpreter; bench/lua/ holds the same programs
// for Lua 5.4, and scripts/bench runs both and prints the ratios.
//
// Usage: script_bench [--runs N] [--only NAME] [--vm-only] [--disasm]
// Prints one line per program and engine:
//   <program> <engine> best_ms=<best time per run> result=<value> blocks=<blocks allocated per run>
// and exits with status 1 when a program gives the wrong answer on either engine or leaves
// memory-manager blocks behind.
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/VCL.h"
#include "room/Instance_Variables.h"
#include "code/Code_CodeGen.h"
#include "code/Code_Compile.h"
#include "code/Code_Constant.h"
#include "code/Code_Disasm.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "code/Code_Main.h"
#include "code/VM_Exec.h"
#include "code/VM_Variables.h"
#include "platform/MemoryManager.h"
#include "room/Instance_Class.h"
#include "script/Script_Main.h"
#include "variable/ScriptValue.h"
#include "variable/Variable_Main.h"

namespace {

struct Program {
  const char* name;
  const char* source;  // the code that is timed
  double expected;     // its result
};

// Scripts every program may call.
const std::vector<std::pair<const char*, const char*>> kScripts = {
    {"fib", "if (argument0 < 2) return argument0; return fib(argument0 - 1) + fib(argument0 - 2)"},
};

// The same programs are in bench/lua/*.lua; keep them in step.
const std::vector<Program> kPrograms = {
    {"fib", "return fib(25)", 75025},
    {"loops",
     "var i, j, s; s = 0;"
     "for (i = 0; i < 1000; i += 1) { for (j = 0; j < 1000; j += 1) { s += i * j - j } }"
     "return s",
     249000750000},
    {"strings",
     "var s, i, n; n = 0;"
     "repeat (200) { s = \"\"; for (i = 0; i < 500; i += 1) { s += \"ab\" } n += string_length(s) }"
     "return n",
     200000},
    {"arrays",
     "var a, i, s; s = 0;"
     "repeat (20) { a = 0; for (i = 0; i < 10000; i += 1) { a[i] = i } for (i = 0; i < 10000; i += 1) { s += a[i] } }"
     "return s",
     999900000},
    {"globals",
     "global.n = 0; for (global.i = 0; global.i < 1000000; global.i += 1) { global.n += global.i } return global.n",
     499999500000},
};

// ---- Built-ins and built-in variables the programs use ----

void StringLength(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const char* text = argc > 0 ? GetArgumentString(args, 0) : nullptr;
  SetReal(result, text != nullptr ? static_cast<double>(std::strlen(text)) : 0.0);
}

// ---- Running ----

class Console : public tagIConsole {
 public:
  void Output(const char* format, ...) override __attribute__((format(printf, 2, 3))) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
  }
};

struct Options {
  int runs = 5;
  const char* only = nullptr;
  bool vmOnly = false;
  bool disasm = false;
};

// One engine's view of a compiled program.
struct Compiled {
  std::vector<std::unique_ptr<CCode>> scripts;
  std::unique_ptr<CCode> main;
};

bool CompileAll(const Program& program, Compiled* out) {
  std::vector<int32_t> indices;
  for (const auto& script : kScripts) indices.push_back(Script_Add(script.first));
  for (size_t i = 0; i < kScripts.size(); ++i) {
    auto code = std::make_unique<CCode>(kScripts[i].second, false);
    if (!code->Compile(kScripts[i].first)) {
      std::fprintf(stderr, "%s: %s\n", kScripts[i].first, Code_GetLastError() ? Code_GetLastError() : "");
      return false;
    }
    Script_SetCode(indices[i], code.get());
    out->scripts.push_back(std::move(code));
  }
  out->main = std::make_unique<CCode>(program.source, false);
  if (!out->main->Compile(program.name)) {
    std::fprintf(stderr, "%s: %s\n", program.name, Code_GetLastError() ? Code_GetLastError() : "");
    return false;
  }
  return true;
}

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Runs the program `runs` times on one engine; false when it answered wrongly or leaked.
bool Measure(const Program& program, bool onVM, const Options& options, CInstance* self, CInstance* other) {
  g_VM.UseVM = onVM;
  Compiled compiled;
  if (!CompileAll(program, &compiled)) return false;
  if (options.disasm && onVM) {
    Console console;
    std::printf("--- %s\n", program.name);
    DisassembleCode(compiled.main->m_code, &console);
    for (const auto& script : compiled.scripts) {
      std::printf("--- script %s\n", script->m_name);
      DisassembleCode(script->m_code, &console);
    }
  }

  double best = 1e300;
  double answer = -1;
  int64_t blocks = 0;
  bool ok = true;
  for (int run = 0; run < options.runs; ++run) {
    InitGlobalVariables();
    ScriptValue result{};
    const int32_t blocksBefore = MemoryManager::BlockCount.load();
    const int64_t allocsBefore = MemoryManager::AllocCount.load();
    const auto start = std::chrono::steady_clock::now();
    const bool ran = Code_Execute(self, other, compiled.main.get(), &result);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    blocks = MemoryManager::AllocCount.load() - allocsBefore;
    best = std::min(best, Milliseconds(elapsed));
    answer = result.Kind() == VALUE_REAL ? result.real : std::nan("");
    ReleaseValue(&result);
    // The locals pool and the variable-node free list keep what they took on the first run.
    if (run > 0 && MemoryManager::BlockCount.load() != blocksBefore) {
      std::fprintf(stderr, "%s: %d blocks left behind\n", program.name, MemoryManager::BlockCount.load() - blocksBefore);
      ok = false;
    }
    if (!ran || answer != program.expected) {
      std::fprintf(stderr, "%s on the %s: answered %.17g, expected %.17g%s%s\n", program.name,
                   onVM ? "machine" : "tree interpreter", answer, program.expected, ran ? "" : " (failed) ",
                   Code_GetLastError() ? Code_GetLastError() : "");
      ok = false;
      break;
    }
  }
  std::printf("%-8s %-4s best_ms=%.3f result=%.17g blocks=%lld\n", program.name, onVM ? "vm" : "tree", best, answer,
              static_cast<long long>(blocks));
  std::fflush(stdout);
  Script_FreeAll();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  Code_InstallErrorReporter();
  Options options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      options.runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
      options.only = argv[++i];
    } else if (std::strcmp(argv[i], "--vm-only") == 0) {
      options.vmOnly = true;
    } else if (std::strcmp(argv[i], "--disasm") == 0) {
      options.disasm = true;
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--only NAME] [--vm-only] [--disasm]\n", argv[0]);
      return 2;
    }
  }

  InitGlobalVariables();
  RegisterBuiltinConstants();
  RegisterBuiltinFunction("string_length", StringLength, 1);
  RegisterGlobalVariables();
  Code_SetGeneratorHook(&CodeGen_GenerateForEntry);

  CInstance self(0, 0, 100001, -1, false);
  CInstance other(0, 0, 100002, -1, false);
  bool ok = true;
  for (const Program& program : kPrograms) {
    if (options.only != nullptr && std::strcmp(options.only, program.name) != 0) continue;
    ok = Measure(program, true, options, &self, &other) && ok;
    if (!options.vmOnly) ok = Measure(program, false, options, &self, &other) && ok;
  }

  FreeArgumentSlots();
  VMFreeLocalsPool();
  FreeBuiltinFunctions();
  FreeConstants();
  FreeVariables();
  Compiler_FreeScratch();
  return ok ? 0 : 1;
}
