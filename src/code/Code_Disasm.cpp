#include "code/Code_Disasm.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/VCL.h"
#include "code/Code_Function.h"
#include "code/Code_Main.h"
#include "code/VM_Format.h"
#include "runner/GameData_Strings.h"
#include "variable/Variable_Names.h"

namespace {

void Append(std::string* line, const char* format, ...) __attribute__((format(printf, 2, 3)));

void Append(std::string* line, const char* format, ...) {
  char small[128];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(small, sizeof(small), format, args);
  va_end(args);
  if (length < 0) return;
  if (static_cast<size_t>(length) < sizeof(small)) {
    line->append(small, static_cast<size_t>(length));
    return;
  }
  std::string big(static_cast<size_t>(length) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(big.data(), big.size(), format, args);
  va_end(args);
  line->append(big.data(), static_cast<size_t>(length));
}

void PadTo(std::string* line, size_t column) {
  if (line->size() < column) line->append(column - line->size(), ' ');
}

template <typename T>
T Read(const uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof(value));
  return value;
}

// The operand of an operand-form word, by its first type.
void AppendOperand(std::string* line, uint32_t word, const uint8_t* operand) {
  switch (WordT1(word)) {
    case VT_DOUBLE: Append(line, "%f", Read<double>(operand)); return;
    case VT_FLOAT: Append(line, "%f", static_cast<double>(Read<float>(operand))); return;
    case VT_INT: {
      const int32_t value = Read<int32_t>(operand);
      const char* name = nullptr;
      if (WordOpcode(word) == OP_CALL && value >= 0 && value < kScriptCallBase &&
          GetBuiltinFunctionInfo(value, &name, nullptr, nullptr) && name != nullptr) {
        Append(line, "%s", name);
      } else {
        Append(line, "%d", value);
      }
      return;
    }
    case VT_LONG: Append(line, "%lld", static_cast<long long>(Read<int64_t>(operand))); return;
    case VT_BOOL: Append(line, "%s", Read<uint32_t>(operand) != 0 ? "true" : "false"); return;
    case VT_VAR:
      Append(line, "$%s$", VariableName(static_cast<int32_t>(Read<uint32_t>(operand) & kVarIdMask)));
      return;
    case VT_STRING: {
      const int32_t index = Read<int32_t>(operand);
      const char* text = nullptr;
      if (StringTable_Get(index, &text)) {
        Append(line, "\"%s\"", text != nullptr ? text : "");
      } else {
        Append(line, "<string %d out of range>", index);
      }
      return;
    }
    case VT_DEBUGSTR: Append(line, "%d", Read<int32_t>(operand)); return;
    case VT_ERROR: Append(line, "%d", WordImmediate(word)); return;
    default: return;
  }
}

}  // namespace

int32_t DisassembleInstruction(const uint32_t* words, int32_t sizeBytes, int32_t offset, tagIConsole* console) {
  if (words == nullptr || sizeBytes <= 0 || offset < 0 || offset >= sizeBytes) return sizeBytes > 0 ? sizeBytes : 0;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(words);
  std::string line;
  Append(&line, "%08x : ", static_cast<uint32_t>(offset));

  if (static_cast<int64_t>(sizeBytes) - offset < 4) {
    for (int32_t i = offset; i < sizeBytes; ++i) Append(&line, "%02x", bytes[i]);
    PadTo(&line, 36);
    line += "<truncated>\n";
    if (console != nullptr) console->Output("%s", line.c_str());
    return sizeBytes;
  }

  const uint32_t word = Read<uint32_t>(bytes + offset);
  const uint8_t opcode = WordOpcode(word);
  const bool operandForm = IsOperandForm(opcode);
  const bool branch = IsBranchForm(opcode);
  // The walk uses the machine's operand sizes, so a debugger string's index is stepped over.
  const int64_t operandSize = operandForm ? VMOperandSize(WordT1(word)) : 0;
  int64_t next = static_cast<int64_t>(offset) + 4 + operandSize;
  const bool truncated = next > sizeBytes;
  if (truncated) next = sizeBytes;

  for (int64_t i = offset; i < next; ++i) Append(&line, "%02x", bytes[i]);
  PadTo(&line, 36);
  line += OpcodeName(opcode);
  if (!branch) {
    if (IsTwoTypeForm(opcode)) {
      line += TypeSuffixName(WordT1(word));
      line += TypeSuffixName(WordT2(word));
    } else if (IsOneTypeForm(opcode)) {
      line += TypeSuffixName(WordT1(word));
    }
  }
  PadTo(&line, 46);
  if (truncated) {
    line += "<truncated>";
  } else if (operandForm) {
    AppendOperand(&line, word, bytes + offset + 4);
  } else if (branch) {
    const int64_t target = static_cast<int64_t>(offset) + 4 * static_cast<int64_t>(WordBranchOffset(word));
    Append(&line, "0x%08x", static_cast<uint32_t>(target & 0xFFFFFFFF));
  }
  line += "\n";
  if (console != nullptr) console->Output("%s", line.c_str());
  return static_cast<int32_t>(next);
}

void DisassembleCode(const VMBuffer* code, tagIConsole* console) {
  if (code == nullptr || code->m_data == nullptr || code->m_size <= 0) return;
  int32_t offset = 0;
  while (offset < code->m_size) offset = DisassembleInstruction(code->m_data, code->m_size, offset, console);
}
