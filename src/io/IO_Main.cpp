#include "io/IO_Main.h"

void IO_Clear() {}

void IO_ClearVirtualKeys() {}
