#include "function/Function_Resource.h"

void RegisterResourceFunctions() {
  RegisterSpriteFunctions();
  RegisterBackgroundFunctions();
  RegisterFontFunctions();
  RegisterPathFunctions();
}
