// The ds_* built-in functions: the script face of the containers in
// support/Support_Data_Structures.h.
//
// Every built-in that names a structure converts its index argument to a number (a value that is
// not a number names no structure), rounds it to nearest with ties to even (a few truncate, as
// noted where they are defined) and checks it; a bad index is reported with the non-fatal
// run-time error "Data structure with index does not exist." and changes nothing.
#pragma once

// Registers the ds_* built-ins in their fixed order: ds_set_precision, ds_exists, then the list
// and map families.
void RegisterDataStructureFunctions();
