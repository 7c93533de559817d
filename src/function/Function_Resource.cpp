#include "function/Function_Resource.h"

void RegisterResourceFunctions() {
  RegisterBackgroundFunctions();
  RegisterFontFunctions();
  RegisterPathFunctions();
}
