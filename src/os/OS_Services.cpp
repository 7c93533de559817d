#include "os/OS_Services.h"

OSServiceState g_OSServices;

void OS_RaisePauseEvent() { g_OSServices.pauseRequested = true; }
