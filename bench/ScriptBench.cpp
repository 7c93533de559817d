// The script engine benchmark. Each program is script text compiled at run time, then timed on
// the virtual machine (bytecode) and on the tree interpreter; bench/lua/ holds the same programs
// for Lua 5.4, and scripts/bench runs this and Lua in turn and prints the ratios.
//
// Usage: script_bench [--runs N] [--only NAME] [--engine vm|tree|both] [--words] [--disasm] [--source TEXT]
// (--words: the machine runs its fast paths word by word, without decoded steps; --source: the
// programs picked run TEXT instead of their own code and their answer is not checked, e.g. a
// smaller size of a program for an instruction count)
// Prints one line per program, engine and run:
//   <program> <engine> ms=<processor time of the run> result=<value> blocks=<blocks allocated>
// The time is this process's processor time (the clock Lua's os.clock reads), compilation not
// included. Exits with status 1 when a program gives the wrong answer or leaves memory-manager
// blocks behind.
#include <algorithm>
#include <ctime>
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

// The same programs are in bench/lua/*.lua, written as a Lua programmer would write them; keep
// them in step. A column of a two-index array stops at 31,999, so the 1e7 elements of "arrays"
// are 500 rows of 20,000.
const std::vector<Program> kPrograms = {
    {"fib", "var r; r = 0; repeat (3) { r = fib(30) } return r", 832040},
    {"loops",
     "var i, j, s; s = 0;"
     "for (i = 0; i < 10000; i += 1) { for (j = 0; j < 3000; j += 1) { s += (i * j) mod 7 } }"
     "return s",
     77126141},
    {"strings", "var s, i; s = \"\"; for (i = 0; i < 100000; i += 1) { s += \"x\" } return string_length(s)", 100000},
    {"arrays",
     "var a, i, j, n, s; n = 0;"
     "for (i = 0; i < 500; i += 1) { for (j = 0; j < 20000; j += 1) { n += 1; a[i, j] = n } }"
     "s = 0;"
     "for (i = 0; i < 500; i += 1) { for (j = 0; j < 20000; j += 1) { s += a[i, j] } }"
     "return s",
     50000005000000},
    {"globals", "var i; global.counter = 0; for (i = 0; i < 30000000; i += 1) { global.counter += 1 } return global.counter",
     30000000},
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
  int runs = 1;
  const char* only = nullptr;
  bool vm = true;
  bool tree = true;
  bool disasm = false;
  const char* source = nullptr;  // the code to run in place of each program's own
};

// One engine's view of a compiled program.
struct Compiled {
  std::vector<std::unique_ptr<CCode>> scripts;
  std::unique_ptr<CCode> main;
};

bool CompileAll(const Program& program, const char* source, Compiled* out) {
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
  out->main = std::make_unique<CCode>(source, false);
  if (!out->main->Compile(program.name)) {
    std::fprintf(stderr, "%s: %s\n", program.name, Code_GetLastError() ? Code_GetLastError() : "");
    return false;
  }
  return true;
}

// The processor time this process has used, in milliseconds.
double ProcessMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Runs the program `runs` times on one engine; false when it answered wrongly or leaked.
bool Measure(const Program& program, bool onVM, const Options& options, CInstance* self, CInstance* other) {
  g_VM.UseVM = onVM;
  Compiled compiled;
  if (!CompileAll(program, options.source != nullptr ? options.source : program.source, &compiled)) return false;
  if (options.disasm && onVM) {
    Console console;
    std::printf("--- %s\n", program.name);
    DisassembleCode(compiled.main->m_code, &console);
    for (const auto& script : compiled.scripts) {
      std::printf("--- script %s\n", script->m_name);
      DisassembleCode(script->m_code, &console);
    }
  }

  double answer = -1;
  int64_t blocks = 0;
  bool ok = true;
  for (int run = 0; run < options.runs; ++run) {
    InitGlobalVariables();
    ScriptValue result{};
    const int32_t blocksBefore = MemoryManager::BlockCount.load();
    const int64_t allocsBefore = MemoryManager::AllocCount.load();
    const double start = ProcessMilliseconds();
    const bool ran = Code_Execute(self, other, compiled.main.get(), &result);
    const double elapsed = ProcessMilliseconds() - start;
    blocks = MemoryManager::AllocCount.load() - allocsBefore;
    answer = result.Kind() == VALUE_REAL ? result.real : std::nan("");
    ReleaseValue(&result);
    // The locals pool and the variable-node free list keep what they took on the first run.
    if (run > 0 && MemoryManager::BlockCount.load() != blocksBefore) {
      std::fprintf(stderr, "%s: %d blocks left behind\n", program.name, MemoryManager::BlockCount.load() - blocksBefore);
      ok = false;
    }
    if (!ran || (answer != program.expected && options.source == nullptr)) {
      std::fprintf(stderr, "%s on the %s: answered %.17g, expected %.17g%s%s\n", program.name,
                   onVM ? "machine" : "tree interpreter", answer, program.expected, ran ? "" : " (failed) ",
                   Code_GetLastError() ? Code_GetLastError() : "");
      ok = false;
      break;
    }
    std::printf("%s %s ms=%.3f result=%.17g blocks=%lld\n", program.name, onVM ? "vm" : "tree", elapsed, answer,
                static_cast<long long>(blocks));
    std::fflush(stdout);
  }
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
    } else if (std::strcmp(argv[i], "--engine") == 0 && i + 1 < argc) {
      const char* engine = argv[++i];
      options.vm = std::strcmp(engine, "tree") != 0;
      options.tree = std::strcmp(engine, "vm") != 0;
    } else if (std::strcmp(argv[i], "--words") == 0) {
      g_VM.decodedSteps = false;
    } else if (std::strcmp(argv[i], "--disasm") == 0) {
      options.disasm = true;
    } else if (std::strcmp(argv[i], "--source") == 0 && i + 1 < argc) {
      options.source = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--only NAME] [--engine vm|tree|both] [--words] [--disasm] [--source TEXT]\n", argv[0]);
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
    if (options.vm) ok = Measure(program, true, options, &self, &other) && ok;
    if (options.tree) ok = Measure(program, false, options, &self, &other) && ok;
  }

  FreeArgumentSlots();
  VMFreeLocalsPool();
  FreeBuiltinFunctions();
  FreeConstants();
  FreeVariables();
  Compiler_FreeScratch();
  return ok ? 0 : 1;
}
