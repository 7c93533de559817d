#include "code/Code_Error.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/VCL.h"
#include "code/Code_Main.h"
#include "code/VM_ErrConsole.h"
#include "code/VM_Exec.h"
#include "code/VM_LineInfo.h"
#include "graphics/Graphics_Window.h"
#include "object/Object_Class.h"
#include "option/Option_Main.h"
#include "os/MessageBox.h"
#include "os/OS_Messages.h"
#include "platform/MemoryManager.h"
#include "platform/Thread.h"
#include "room/Event_Names.h"
#include "room/Event_State.h"
#include "room/Instance_Class.h"
#include "run/Run_Global.h"
#include "timeline/TimeLine_Main.h"
#include "variable/Variable_Main.h"

namespace {

// The error reporting's state. Error_ResetState assigns a fresh record.
struct ErrorState {
  ErrorForm* form = nullptr;   // the one ErrorForm, made at start-up
  char* lastCodeError = nullptr;  // MemoryManager block
  char* errorLast = nullptr;      // MemoryManager block: the value of error_last
  bool errorOccurred = false;
  bool ending = false;
  bool dialogSwitch = true;

  const char* shaderName = nullptr;
  bool shaderFragment = false;

  ErrorDebugConnectedHook debugConnected = nullptr;
  ErrorDebugPauseHook debugPauseLoop = nullptr;
  const char* debugPendingText = nullptr;
  ErrorVoidHook ioClear = nullptr;
};
ErrorState g_errors;

constexpr char kRuleLine[] =
    "--------------------------------------------------------------------------------------------\n";
constexpr char kHashLine[] =
    "############################################################################################\n";
static_assert(sizeof(kRuleLine) == 94 && sizeof(kHashLine) == 94, "92 characters and a line feed");

constexpr char kDialogRule[] = "___________________________________________";
static_assert(sizeof(kDialogRule) == 44, "43 underscores");

constexpr int kHeaderSize = 32768;
constexpr char kTimeLinePrefix[] = "twl_Object";
constexpr size_t kTimeLinePrefixLength = 10;

// For code named after a time line moment ("twl_Object..." ending in digits) the action number
// is those trailing digits: 0 when the name ends in none.
void TakeTimeLineActionNumber(const char* name, int32_t* action) {
  if (name == nullptr || std::strncmp(name, kTimeLinePrefix, kTimeLinePrefixLength) != 0) return;
  const char* end = name + std::strlen(name);
  const char* digits = end;
  while (digits > name && digits[-1] >= '0' && digits[-1] <= '9') --digits;
  int64_t number = 0;
  for (const char* p = digits; p < end; ++p) {
    number = number * 10 + (*p - '0');
    if (number > INT32_MAX) number = INT32_MAX;  // absurdly long digit runs stay in range
  }
  *action = static_cast<int32_t>(number);
}

// Where a piece of bytecode stands in its source: the line (-1 when unknown), the name a line
// marker gives (owned, or null) and the line's text.
struct SourceLocation {
  int32_t line = -1;
  char* name = nullptr;
  char text[256] = "";
  SourceLocation() = default;
  SourceLocation(const SourceLocation&) = delete;
  SourceLocation& operator=(const SourceLocation&) = delete;
  ~SourceLocation() { MemoryManager::Free(name); }
};

void Locate(const VMBuffer* lineInfo, const char* source, int32_t pc, SourceLocation* out) {
  VMLineEntry entry{};
  const VMLineEntry* found = FindLineEntry(lineInfo, pc, &entry) ? &entry : nullptr;
  out->line = FindSourceLine(found, source, &out->name);
  if (out->name != nullptr && out->name[0] == '\0') {  // a marker without a name names nothing
    MemoryManager::Free(out->name);
    out->name = nullptr;
  }
  // The line text lives in a shared buffer until the next lookup: keep a copy.
  std::snprintf(out->text, sizeof(out->text), "%s", SourceLineText(found, source));
}

// Appends at most what fits into a fixed buffer, always terminated.
struct BoundedText {
  char* text;
  size_t size;    // bytes of the buffer
  size_t length;  // bytes written, terminator excluded

  void Add(const char* piece, size_t count) {
    if (length + 1 >= size) return;
    const size_t room = size - 1 - length;
    const size_t n = count < room ? count : room;
    std::memcpy(text + length, piece, n);
    length += n;
    text[length] = '\0';
  }
  void Add(const char* piece) { Add(piece, std::strlen(piece)); }
};

}  // namespace

// ---- Code errors ----

void Code_SetError(CCode* code, int32_t position, const char* message) {
  GraphicsLeaveFullscreen();
  if (g_ErrorFlag.load()) return;  // the first error stands
  g_ErrorFlag.store(true);
  MemoryManager::Free(g_errors.lastCodeError);
  g_errors.lastCodeError = nullptr;

  const char* source = (code != nullptr && code->m_source != nullptr) ? code->m_source : "";
  const char* text = message ? message : "";
  const int64_t length = static_cast<int64_t>(std::strlen(source));
  int64_t at = position;
  if (at < 0) at = 0;
  if (at > length) at = length;

  int32_t line = 1;
  int32_t column = 0;
  int64_t lineStart = 0;
  for (int64_t i = 0; i < at; ++i) {
    if (source[i] == '\n') {
      ++line;
      column = 0;
      lineStart = i + 1;
    } else if (source[i] != '\r') {
      ++column;
    }
  }

  if (code != nullptr && code->m_kind == CODE_PROGRAM) {
    const char* lineEnd = std::strchr(source + lineStart, '\n');
    const int64_t lineLength = lineEnd ? (lineEnd - (source + lineStart)) : (length - lineStart);
    g_errors.lastCodeError = MemoryManager::FormatText("Error in code at line %d:\n   %.*s\n\nat position %d: %s", line,
                                 static_cast<int>(lineLength), source + lineStart, column + 1, text);
  } else {
    g_errors.lastCodeError = MemoryManager::FormatText("Error in expression: %s\n position %d: %s", source, column + 1, text);
  }
}

bool Code_GetErrorFlag() { return g_ErrorFlag.load(); }

void Code_SetErrorFlag(bool set) { g_ErrorFlag.store(set); }

// Called before every run of code: the flag is only written when it is set, so the usual call is
// a plain read rather than a locked exchange.
void Code_ClearErrorFlag() {
  if (g_ErrorFlag.load(std::memory_order_relaxed)) g_ErrorFlag.store(false);
}

const char* Code_GetLastError() { return g_errors.lastCodeError; }

void Code_SetLastError(const char* text) {
  char* copy = text != nullptr ? MemoryManager::DuplicateText(text) : nullptr;
  MemoryManager::Free(g_errors.lastCodeError);
  g_errors.lastCodeError = copy;
}

// ---- Run-time errors ----

namespace {

void ReportFromContext(const char* message, bool fatal) {
  if (g_errors.ending) return;  // a fatal error already ended the game
  const char* text = message ? message : "";

  int32_t action = Event_GetAction() + 1;
  VMExecContext* context = g_VM.current;

  // Where the running bytecode stands.
  const bool haveLine = context != nullptr && context->lineInfo != nullptr;
  SourceLocation here;
  if (haveLine) Locate(context->lineInfo, context->source, context->pc, &here);
  const char* contextName =
      here.name != nullptr ? here.name : (context != nullptr && context->name ? context->name : "");
  if (haveLine) TakeTimeLineActionNumber(contextName, &action);

  // The script call stack.
  TErrStreamConsole stack;
  if (context != nullptr && context->callDepth > 0) {
    stack.Output("%s", kRuleLine);
    stack.Output("stack frame is\n%s (line %d)\n", contextName, here.line);
    // Frame 0 is the running code itself; the callers follow, innermost first.
    const int frames = VM_GetFrameCount(context);
    for (int i = 1; i < frames && i <= context->callDepth; ++i) {
      VMFrameInfo frame{};
      if (!VM_GetFrame(context, i, &frame) || frame.code == nullptr) break;
      if (frame.lineInfo != nullptr) {
        SourceLocation at;
        Locate(frame.lineInfo, frame.source, frame.pc, &at);
        const char* frameName = at.name != nullptr ? at.name : (frame.name ? frame.name : "");
        stack.Output("called from - %s (line %d) - %s\n", frameName, at.line, at.text);
        TakeTimeLineActionNumber(frameName, &action);
      } else {
        stack.Output("%s\n", frame.name ? frame.name : "");
      }
    }
  }

  // The header: which event of which object (or which time line moment, or which shader).
  static char header[kHeaderSize];
  const char* prefix = fatal ? "FATAL " : "";
  const int32_t eventType = Event_GetType();
  if (eventType == kEventTypeShader) {
    std::snprintf(header, sizeof(header), "%s%s\n\n\n%s\n",
                  g_errors.shaderFragment ? "FATAL ERROR in Fragment Shader compilation\n\nShaderName: "
                                   : "FATAL ERROR in Vertex Shader compilation\n\nShaderName: ",
                  g_errors.shaderName ? g_errors.shaderName : "", text);
  } else if (eventType == kEventTypeTimeLine) {
    std::snprintf(header, sizeof(header), "%sERROR in\naction number %d\nat time step%d\nof time line %s:\n\n\n%s",
                  prefix, action, Event_GetNumber(), TimeLine_GetName(Event_GetObject()), text);
  } else {
    std::snprintf(header, sizeof(header), "%sERROR in\naction number %d\nof %s\nfor object %s:\n\n\n%s", prefix,
                  action, GetEventDescription(eventType, Event_GetNumber()), Object_GetName(Event_GetObject()),
                  text);
  }

  TErrStreamConsole report;
  report.Output("%s", kHashLine);
  report.Output("%s\n", header);
  if (context != nullptr) {
    if (haveLine) {
      report.Output(" at %s (line %d) - %s\n", contextName, here.line, here.text);
    } else {
      report.Output("at %s\n", context->name ? context->name : "");
    }
  }
  report.Output("%s", kHashLine);
  report.Append(stack.Text());

  ShowRuntimeError(report.Text(), fatal);

  if (!g_errors.dialogSwitch) return;
  if (context != nullptr && context->locals != nullptr && context->locals->m_Count > 0) {
    OutputConsole->Output("%s", kRuleLine);
    OutputConsole->Output("Local Variables : \n");
    context->locals->Dump(OutputConsole);
  }
  if (context != nullptr && context->self != nullptr && context->self->i_variables != nullptr &&
      context->self->i_variables->m_Count > 0) {
    OutputConsole->Output("%s", kRuleLine);
    OutputConsole->Output("Self Variables : \n");
    context->self->i_variables->Dump(OutputConsole);
  }
  if (g_Variables.globals != nullptr && g_Variables.globals->m_Count > 0) {
    OutputConsole->Output("%s", kRuleLine);
    OutputConsole->Output("Global Variables : \n");
    g_Variables.globals->Dump(OutputConsole);
  }
}

void ShowAndRecord(const char* text, bool fatal) {
  if (g_errors.ending) return;
  if (g_Options.allErrorsAbort) fatal = true;
  GraphicsLeaveFullscreen();
  if (g_errors.dialogSwitch) {
    if (fatal) {
      FormatErrorForDialog(text, false);
    } else if (FormatErrorForDialog(text, true)) {
      fatal = true;  // the player chose Abort
    }
  }
  if (g_errors.ioClear != nullptr) g_errors.ioClear();
  Error_SetLast(text);
  if (!g_ErrorSuppressed.load()) OutputConsole->Output("ERROR!!! :: %s\n", text ? text : "");
  g_errors.errorOccurred = true;
  if (fatal) {
    g_errors.ending = true;
    Run_SetNewRoom(kNewRoomQuit);
    Run_SetRunning(false);  // the quit request
  }
}

}  // namespace

void Code_InstallErrorReporter() {
  const ErrorReporter reporter{&ReportFromContext, &ShowAndRecord};
  ErrorSink_SetReporter(&reporter);
}

// ---- The error dialog ----

char* Error_ComposeDialogText(const char* text) {
  const char* source = text ? text : "";
  const size_t length = std::strlen(source);
  const size_t size = 2 * length + 256;
  BoundedText out{static_cast<char*>(MemoryManager::Alloc(static_cast<uint32_t>(size), __FILE__, __LINE__, true)),
                  size, 0};
  out.Add("\r\n");
  out.Add(kDialogRule);
  out.Add("\r\n");
  const char* lineStart = source;
  const char* p = source;
  while (*p != '\0') {
    if (*p == '\r' || *p == '\n') {
      out.Add(lineStart, static_cast<size_t>(p - lineStart));
      out.Add("\r\n");
      ++p;
      if (*p == '\r' || *p == '\n') ++p;  // the second character of the same break
      lineStart = p;
    } else if (*p == '\t') {
      out.Add(lineStart, static_cast<size_t>(p - lineStart));
      out.Add("       ");
      ++p;
      lineStart = p;
    } else {
      ++p;
    }
  }
  out.Add(lineStart, static_cast<size_t>(p - lineStart));  // the last line, without a break
  return out.text;
}

void ErrorForm_Create() {
  static ErrorForm form;
  if (g_errors.form == nullptr) g_errors.form = &form;
}

bool FormatErrorForDialog(const char* text, bool allowIgnore) {
  GraphicsLeaveFullscreen();
  char* composed = Error_ComposeDialogText(text);
  ErrorForm_Create();
  g_errors.form->m_text = composed;
  g_errors.form->m_allowIgnore = allowIgnore ? 1 : 0;

  bool abort = false;
  if (g_errors.debugConnected != nullptr && g_errors.debugConnected()) {
    // The debugger shows the error and holds the game until it lets it go on: ignored.
    g_errors.debugPendingText = composed;
    if (g_errors.debugPauseLoop != nullptr) g_errors.debugPauseLoop();
    g_errors.debugPendingText = nullptr;
  } else {
    abort = ShowErrorDialog() == 1;
  }
  g_errors.form->m_text = nullptr;
  MemoryManager::Free(composed);
  return abort;
}

int32_t ShowErrorDialog() {
  // Let the window settle before the modal box takes over.
  Thread::Sleep(100);
  PumpMessages();
  Thread::Sleep(100);
  PumpMessages();
  ErrorForm_Create();
  const bool allowIgnore = g_errors.form->m_allowIgnore == 1;
  const MessageBoxAnswer answer =
      OS_ShowMessageBox("Code Error", g_errors.form->m_text ? g_errors.form->m_text : "",
                        allowIgnore ? MessageBoxKind::AbortIgnore : MessageBoxKind::Ok, true);
  // Without Ignore the one button is Abort.
  return answer == MessageBoxAnswer::Ignore ? 0 : 1;
}

// ---- Process-wide error state ----

const char* Error_GetLast() { return g_errors.errorLast; }

void Error_SetLast(const char* text) {
  char* copy = text ? MemoryManager::DuplicateText(text) : nullptr;  // copied first: the text may be error_last itself
  MemoryManager::Free(g_errors.errorLast);
  g_errors.errorLast = copy;
}

bool Error_GetOccurred() { return g_errors.errorOccurred; }
void Error_SetOccurred(bool occurred) { g_errors.errorOccurred = occurred; }
bool Error_IsEnding() { return g_errors.ending; }
bool Error_GetDialogSwitch() { return g_errors.dialogSwitch; }
void Error_SetDialogSwitch(bool on) { g_errors.dialogSwitch = on; }
bool Error_GetAllErrorsFatal() { return g_Options.allErrorsAbort; }
void Error_SetAllErrorsFatal(bool on) { g_Options.allErrorsAbort = on; }

void Error_SetShaderInfo(const char* shaderName, bool fragmentStage) {
  g_errors.shaderName = shaderName;
  g_errors.shaderFragment = fragmentStage;
}

void Error_ResetState() {
  g_ErrorFlag.store(false);
  g_ErrorSuppressed.store(false);
  MemoryManager::Free(g_errors.lastCodeError);
  MemoryManager::Free(g_errors.errorLast);
  g_errors = ErrorState{};
  g_Options.allErrorsAbort = false;
}

void Error_ClearEnding() { g_errors.ending = false; }

void Error_SetDebuggerHooks(ErrorDebugConnectedHook connected, ErrorDebugPauseHook pauseLoop) {
  g_errors.debugConnected = connected;
  g_errors.debugPauseLoop = pauseLoop;
}

const char* Error_GetDebuggerPendingText() { return g_errors.debugPendingText; }

void Error_SetIOClearHook(ErrorVoidHook hook) { g_errors.ioClear = hook; }
