// The breakpoint table: words the debugger has replaced with the break word. Applying writes the
// break word over every set slot's instruction; restoring puts the saved instructions back. The
// debugger link fills the table; until it does, the table is empty and both hooks do nothing.
#pragma once

#include <cstdint>

constexpr int32_t kBreakpointSlots = 256;

struct BreakpointSlot {
  uint32_t savedWord;   // the instruction the break word replaces
  uint32_t* address;    // the word in the code, null when the slot is free
};
// The table itself is g_VM.breakpoints (code/VM_State.h).

// Frees every slot (saved word 0, no address), leaving the words in the code as they are: only
// for a table whose addresses no longer point at live code (start-up).
void VMClearBreakpoints();
// A debugger disconnect: every set slot's saved instruction goes back in place, then every slot
// is freed (freeing the slots alone would leave break words in the code with nothing left to say
// what they replaced), and the debugger's connection, step and break request are cleared.
void VMDisconnectDebugger();
// Writes the break word over the instruction of every set slot.
void VMApplyBreakpoints();
// Puts the saved instruction of every set slot back in place.
void VMRestoreBreakpoints();
