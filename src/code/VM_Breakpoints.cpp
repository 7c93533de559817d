#include "code/VM_Breakpoints.h"

#include "code/VM_Format.h"
#include "code/VM_State.h"

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
