#include "iap/IAP_Main.h"

void ProcessIAPEvents() {}
