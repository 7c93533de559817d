// The graphics built-ins: colour and drawing state and primitives (the 3-D family is in
// Function_D3D.h). Every one has the BuiltinFunction signature; numbers are read from the
// argument's real value without a kind test unless said, and misuse is reported through
// ReportRuntimeError, not fatal.
//
// Main thread only: the built-ins draw through the one vertex batch and change the one drawing
// state.
#pragma once

#include "code/Code_Function.h"

// Registers the graphics group in its fixed order (their call numbers follow from it): the
// colour and drawing-state built-ins, then the primitive built-ins.
void RegisterGraphicsFunctions();
