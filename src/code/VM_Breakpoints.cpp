#include "code/VM_Breakpoints.h"

#include "code/VM_Format.h"

BreakpointSlot g_Breakpoints[kBreakpointSlots] = {};

void VMClearBreakpoints() {
  for (BreakpointSlot& slot : g_Breakpoints) {
    slot.savedWord = 0;
    slot.address = nullptr;
  }
}

void VMApplyBreakpoints() {
  for (BreakpointSlot& slot : g_Breakpoints) {
    if (slot.address != nullptr) *slot.address = kBreakpointWord;
  }
}

void VMRestoreBreakpoints() {
  for (BreakpointSlot& slot : g_Breakpoints) {
    if (slot.address != nullptr) *slot.address = slot.savedWord;
  }
}
