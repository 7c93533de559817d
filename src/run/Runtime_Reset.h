// One reset for the whole runtime: every subsystem's state record back to what a fresh process
// holds, with everything the records own released. The restart loop runs it at the end of every
// pass, so the next pass starts clean; every test fixture runs it before and after each test.
// Main thread only, never while code runs.
#pragma once

enum class RuntimeResetScope {
  // Everything, as a fresh process has it.
  kProcess,
  // Everything but what a pass of the restart loop hands to the next one: the restart loop's
  // command line and first-pass flag, the game switch's exit-back state and the save directory it
  // chose, what the command line set and its parse does not reset again (the strings of
  // g_CommandLineOptions, the log files, -trace, -noerrors, ExternalCallsDisabled), the comparison
  // epsilon (it keeps its value until the process ends), and the quit signal.
  kPass,
};

// Not reset in either scope, being the process's own rather than the runtime's: the memory
// manager's counters, the installed error reporter and process-exit hook, the platform service
// selections (clock source, window service, display source, message-box responder, message-pump
// hooks), the consoles, the executable path and the restart loop's own record (RunRestartLoop
// sets it up on entry). The rooms of a running game (the live room array, with their instances)
// and the carried instances are deleted here, as are the room table, the object table and the
// event being run; a current room made outside the live room array belongs to whoever made it.
void Runtime_Reset(RuntimeResetScope scope = RuntimeResetScope::kProcess);
