#include "code/Code_Error.h"

#include <cstdarg>
#include <cstdio>

#include "base/VCL.h"
#include "os/MessageBox.h"
#include "platform/MemoryManager.h"

std::atomic<bool> g_ErrorSuppressed{false};
std::atomic<bool> g_ErrorFlag{false};

void FatalError(const char* format, ...) {
  char message[kConsoleBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof(message), format ? format : "", args);
  va_end(args);
  if (g_ErrorSuppressed.load()) {
    g_ErrorFlag.store(true);
    return;
  }
  OutputConsole->Output("ERROR!!! :: %s\n", message);
  OS_ShowMessageBox("", message, MessageBoxKind::Ok, true);
  // A fatal error ends the process with a failure status.
  ExitProcessWith(1);
}
