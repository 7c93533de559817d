#include "code/VM_Breakpoints.h"

#include "code/VM_Format.h"
#include "code/VM_State.h"
#include "debug/Debug_State.h"

void VMClearBreakpoints() {
  for (BreakpointSlot& slot : g_VM.breakpoints) {
    slot.savedWord = 0;
    slot.address = nullptr;
  }
}

void VMApplyBreakpoints() {
  for (BreakpointSlot& slot : g_VM.breakpoints) {
    if (slot.address != nullptr) *slot.address = kBreakpointWord;
  }
}

void VMRestoreBreakpoints() {
  for (BreakpointSlot& slot : g_VM.breakpoints) {
    if (slot.address != nullptr) *slot.address = slot.savedWord;
  }
}

void VMDisconnectDebugger() {
  VMRestoreBreakpoints();
  VMClearBreakpoints();
  g_Debug.debugger.connected = false;
  g_Debug.debugger.stepKind = -1;
  g_Debug.debugger.breakRequest = false;
}
