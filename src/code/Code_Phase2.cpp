#include "code/Code_Phase2.h"

#include <cstring>
#include <string>

#include "code/Code_Constant.h"
#include "code/Code_Error.h"
#include "code/Code_Function.h"
#include "platform/MemoryManager.h"
#include "variable/Variable_Names.h"

double Phase2_NumberValue(const char* text) {
  double value = 0.0;
  if (text == nullptr) return value;
  if (text[0] == '$') {
    for (const char* p = text + 1; *p != '\0'; ++p) {
      const double c = static_cast<unsigned char>(*p);
      if (*p >= '0' && *p <= '9') {
        value = (value * 16.0 + c) - 48.0;
      } else if (*p >= 'A' && *p <= 'F') {
        value = ((value * 16.0 + 10.0) + c) - 65.0;
      } else if (*p >= 'a' && *p <= 'f') {
        value = ((value * 16.0 + 10.0) + c) - 97.0;
      }
    }
    return value;
  }
  bool fraction = false;
  double scale = 1.0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '.') {
      fraction = true;
      continue;
    }
    const double c = static_cast<unsigned char>(*p);
    if (!fraction) {
      value = (value * 10.0 + c) - 48.0;
    } else {
      scale = scale / 10.0;
      value = (c - 48.0) * scale + value;
    }
  }
  return value;
}

bool Phase2_Resolve(CCode* code, const TokenList* tokens, SymbolList* symbols) {
  Code_ClearErrorFlag();
  const int32_t count = tokens != nullptr ? tokens->count : 0;
  symbols->count = count;
  symbols->symbols = count > 0 ? MemoryManager::AllocArray<CodeSymbol>(static_cast<uint32_t>(count), __FILE__, __LINE__)
                               : nullptr;

  for (int32_t i = 0; i < count; ++i) {
    const CodeToken& token = tokens->tokens[i];
    CodeSymbol& symbol = symbols->symbols[i];
    symbol.kind = token.kind;
    symbol.index = 0;
    SetReal(&symbol.value, 0.0);
    symbol.position = token.position;

    switch (token.kind) {
      case TOKEN_IDENTIFIER: {
        const char* name = token.text != nullptr ? token.text : "";
        const bool isCall = i + 1 < count && tokens->tokens[i + 1].kind == TOKEN_OPEN;
        if (isCall) {
          int32_t callNumber = -1;
          if (FindFunctionIndex(name, &callNumber)) {
            symbol.kind = TOKEN_FUNCTION;
            symbol.index = callNumber;
          } else {
            symbol.kind = TOKEN_UNEXPECTED;
            const std::string message = std::string("Unknown function or script: ") + name;
            Code_SetError(code, token.position, message.c_str());
          }
        } else if (ResolveConstant(name, &symbol.value)) {
          symbol.kind = TOKEN_CONSTANT;
        } else {
          symbol.kind = TOKEN_VARIABLE;
          symbol.index = GetVariableId(name);
        }
        break;
      }
      case TOKEN_NUMBER:
        symbol.kind = TOKEN_CONSTANT;
        SetReal(&symbol.value, Phase2_NumberValue(token.text));
        break;
      case TOKEN_STRING:
        symbol.kind = TOKEN_CONSTANT;
        SetString(&symbol.value, token.text != nullptr ? token.text : "");
        break;
      default:
        break;
    }
    if (Code_GetErrorFlag()) {
      // The symbols after this one stay real 0 values of the identifier kind; nothing reads them.
      return false;
    }
  }
  return true;
}

void FreeSymbolList(SymbolList* list) {
  if (list == nullptr) return;
  for (int32_t i = 0; i < list->count; ++i) ReleaseValue(&list->symbols[i].value);
  MemoryManager::Free(list->symbols);
  list->symbols = nullptr;
  list->count = 0;
}
