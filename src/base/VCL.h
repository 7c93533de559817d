// Console objects and log files, the topmost message box, two small string helpers and the
// table of images built into the program.
#pragma once

#include <cstdint>
#include <string>

// The console interface: one working operation, printf-style output.
class tagIConsole {
 public:
  virtual ~tagIConsole() = default;
  virtual void Output(const char* format, ...) __attribute__((format(printf, 2, 3))) = 0;
};

// A console that copies its messages to the debugger's log while the link is active and
// appends them to its log file when the command line asked for one.
class TConsole : public tagIConsole {
 public:
  explicit constexpr TConsole(uint8_t target) : target_(target) {}
  ~TConsole() override = default;
  void Output(const char* format, ...) override __attribute__((format(printf, 2, 3)));

  // Writes an already formatted message (cut to 4,095 bytes), as Output does after formatting.
  void Write(const char* text);

 private:
  uint8_t target_;  // 1: the -debugoutput file, 0: the -output file
};

extern tagIConsole* DebugConsole;   // the general log
extern tagIConsole* OutputConsole;  // what concerns the game's author

// Log files, filled in by the command-line parser.
struct LogSettings {
  bool debugOutputWanted = false;
  std::string debugOutputFile;
  bool outputWanted = false;
  std::string outputFile;
};
extern LogSettings g_LogSettings;

// The largest formatted console message, terminator included.
constexpr int kConsoleBufferSize = 4096;

// A topmost box with the text and the main window's caption; answers the box's result.
int ShowMessage(const char* text);

// The 1-based byte position of the first `sub` in `text`; 0 when either is null or it is absent.
int32_t VCL_Pos(const char* sub, const char* text);

// A text owned by the memory manager (null when empty).
struct VCLString {
  char* text = nullptr;
  ~VCLString();
};
// Sets `holder` to `text` without its leading and trailing blanks (bytes 0x00 to 0x20).
void VCL_Trim(VCLString& holder, const char* text);
void VCL_Shutdown();

// The table of built-in files: a 32-bit count, then count pairs (size, offset from the table's
// start), then the data.
void EmbeddedFiles_SetTable(const void* table);
const void* EmbeddedFiles_GetData(int index);
uint32_t EmbeddedFiles_GetSize(int index);
// The program's own table, drawn at build time.
const void* EmbeddedFiles_ProgramTable();
