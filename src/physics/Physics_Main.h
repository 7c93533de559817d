// The physics layer's process-wide settings.
#pragma once

// Installs the physics layer's error hook (-debug): from then on the errors the physics library
// reports are shown as run-time errors. Stays installed for the life of the process.
void Physics_SetErrorHandler();
// Whether the hook is installed.
bool Physics_ErrorHandlerInstalled();
