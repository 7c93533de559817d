#include "testlib/VMAssembler.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>

#include "code/Code_Function.h"
#include "code/VM_Format.h"
#include "platform/MemoryManager.h"
#include "runner/GameData_Strings.h"
#include "variable/Variable_Main.h"

namespace testsupport {

namespace {

[[noreturn]] void Error(int line, const std::string& what) {
  throw std::runtime_error("assembler line " + std::to_string(line) + ": " + what);
}

const std::map<std::string, uint8_t>& Opcodes() {
  static const std::map<std::string, uint8_t> table = {
      {"conv", OP_CONV}, {"mul", OP_MUL},       {"div", OP_DIV},   {"rem", OP_REM},   {"mod", OP_MOD},
      {"add", OP_ADD},   {"sub", OP_SUB},       {"and", OP_AND},   {"or", OP_OR},     {"xor", OP_XOR},
      {"neg", OP_NEG},   {"not", OP_NOT},       {"shl", OP_SHL},   {"shr", OP_SHR},   {"slt", OP_SLT},
      {"sle", OP_SLE},   {"seq", OP_SEQ},       {"sne", OP_SNE},   {"sge", OP_SGE},   {"sgt", OP_SGT},
      {"pop", OP_POP},   {"dup", OP_DUP},       {"ret", OP_RET},   {"exit", OP_EXIT}, {"popz", OP_POPZ},
      {"b", OP_B},       {"bt", OP_BT},         {"bf", OP_BF},     {"pushenv", OP_PUSHENV},
      {"popenv", OP_POPENV}, {"push", OP_PUSH}, {"call", OP_CALL}, {"break", OP_BREAK},
  };
  return table;
}

uint8_t TypeCode(int line, const std::string& s) {
  static const std::map<std::string, uint8_t> table = {{"d", VT_DOUBLE}, {"f", VT_FLOAT}, {"i", VT_INT},
                                                        {"l", VT_LONG},   {"b", VT_BOOL},  {"v", VT_VAR},
                                                        {"s", VT_STRING}, {"e", VT_ERROR}};
  auto it = table.find(s);
  if (it != table.end()) return it->second;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (s.empty() || *end != '\0' || v < 0 || v > 15) Error(line, "bad type suffix ." + s);
  return static_cast<uint8_t>(v);
}

int64_t Integer(int line, const std::string& s) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(s.c_str(), &end, 0);
  if (s.empty() || *end != '\0') Error(line, "bad number " + s);
  return v;
}

double Real(int line, const std::string& s) {
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (s.empty() || *end != '\0') Error(line, "bad real " + s);
  return v;
}

uint32_t Reference(int line, const std::string& s) {
  if (s.empty() || s[0] != '@') return static_cast<uint32_t>(Integer(line, s));
  const size_t colon = s.find(':');
  const std::string name = s.substr(1, colon == std::string::npos ? std::string::npos : colon - 1);
  const std::string flags = colon == std::string::npos ? "" : s.substr(colon + 1);
  const int32_t id = GetVariableId(name.c_str());
  if (id < 0) Error(line, "no variable id for " + name);
  return VarReference(id, flags.find('e') == std::string::npos, flags.find('s') == std::string::npos,
                      flags.find('b') != std::string::npos);
}

struct Pending {
  size_t wordIndex;
  std::string label;
  int line;
};

}  // namespace

uint32_t VarReference(int32_t id, bool whole, bool selectorInWord, bool bias) {
  uint32_t v = static_cast<uint32_t>(id) & kVarIdMask;
  if (whole) v |= kVarWhole;
  if (selectorInWord) v |= kVarSelectorInWord;
  if (bias) v |= kVarSelectorBias;
  return v;
}

std::vector<uint32_t> Assemble(const std::string& text) {
  std::vector<uint32_t> words;
  std::map<std::string, size_t> labels;  // label -> word index
  std::vector<Pending> pending;
  std::istringstream in(text);
  std::string raw;
  int line = 0;
  while (std::getline(in, raw)) {
    ++line;
    const size_t comment = raw.find("//");
    if (comment != std::string::npos) raw.erase(comment);
    for (char& ch : raw) {
      if (ch == ',') ch = ' ';
    }
    std::istringstream tokens(raw);
    std::vector<std::string> t;
    for (std::string tok; tokens >> tok;) t.push_back(tok);
    while (!t.empty() && t[0].back() == ':') {
      labels[t[0].substr(0, t[0].size() - 1)] = words.size();
      t.erase(t.begin());
    }
    if (t.empty()) continue;

    if (t[0] == ".word") {
      if (t.size() != 2) Error(line, ".word takes one value");
      words.push_back(static_cast<uint32_t>(Integer(line, t[1])));
      continue;
    }
    // Mnemonic and suffixes.
    std::vector<std::string> parts;
    {
      std::string part;
      std::istringstream m(t[0]);
      while (std::getline(m, part, '.')) parts.push_back(part);
    }
    auto op = Opcodes().find(parts[0]);
    if (op == Opcodes().end()) Error(line, "unknown mnemonic " + parts[0]);
    const uint8_t opcode = op->second;
    const uint8_t t1 = parts.size() > 1 ? TypeCode(line, parts[1]) : 0;
    const uint8_t t2 = parts.size() > 2 ? TypeCode(line, parts[2]) : 0;
    const std::vector<std::string> args(t.begin() + 1, t.end());
    auto need = [&](size_t n) {
      if (args.size() != n) Error(line, t[0] + " takes " + std::to_string(n) + " argument(s)");
    };

    if (IsBranchForm(opcode)) {
      if (opcode == OP_POPENV && args.size() == 1 && args[0] == "break") {
        words.push_back(kPopEnvLeaveWord);
        continue;
      }
      need(1);
      const char first = args[0][0];
      if (first == '-' || (first >= '0' && first <= '9')) {
        words.push_back(MakeBranchWord(opcode, static_cast<int32_t>(Integer(line, args[0]))));
      } else {
        pending.push_back({words.size(), args[0], line});
        words.push_back(MakeBranchWord(opcode, 0));
      }
      continue;
    }
    switch (opcode) {
      case OP_PUSH: {
        if (t1 == VT_VAR) {
          need(2);
          words.push_back(MakeWord(opcode, t1, t2, static_cast<int32_t>(Integer(line, args[0]))));
          words.push_back(Reference(line, args[1]));
        } else if (t1 == VT_ERROR) {
          need(1);
          words.push_back(MakeWord(opcode, t1, t2, static_cast<int32_t>(Integer(line, args[0]))));
        } else if (t1 == VT_DOUBLE || t1 == VT_LONG) {
          need(1);
          words.push_back(MakeWord(opcode, t1, t2));
          uint64_t bits;
          if (t1 == VT_DOUBLE) {
            const double d = Real(line, args[0]);
            std::memcpy(&bits, &d, 8);
          } else {
            bits = static_cast<uint64_t>(Integer(line, args[0]));
          }
          words.push_back(static_cast<uint32_t>(bits));
          words.push_back(static_cast<uint32_t>(bits >> 32));
        } else if (t1 == VT_FLOAT) {
          need(1);
          words.push_back(MakeWord(opcode, t1, t2));
          const float f = static_cast<float>(Real(line, args[0]));
          uint32_t bits;
          std::memcpy(&bits, &f, 4);
          words.push_back(bits);
        } else {
          need(1);
          words.push_back(MakeWord(opcode, t1, t2));
          if (VMOperandSize(t1) == 4) words.push_back(static_cast<uint32_t>(Integer(line, args[0])));
        }
        break;
      }
      case OP_POP:
        need(2);
        if (t1 == VT_ERROR) {
          const int32_t n = static_cast<int32_t>(Integer(line, args[0]));
          const int32_t m = static_cast<int32_t>(Integer(line, args[1]));
          words.push_back(MakeWord(opcode, t1, t2, ((m & 0xFF) << 8) | (n & 0xFF)));
        } else {
          words.push_back(MakeWord(opcode, t1, t2, static_cast<int32_t>(Integer(line, args[0]))));
          if (VMOperandSize(t1) == 4) words.push_back(Reference(line, args[1]));
        }
        break;
      case OP_CALL: {
        need(2);
        int32_t number;
        if (args[0][0] == '@') {
          if (!FindFunctionIndex(args[0].c_str() + 1, &number)) Error(line, "no function " + args[0]);
        } else {
          number = static_cast<int32_t>(Integer(line, args[0]));
        }
        const uint8_t type = parts.size() > 1 ? t1 : static_cast<uint8_t>(VT_INT);
        words.push_back(MakeWord(opcode, type, t2, static_cast<int32_t>(Integer(line, args[1]))));
        if (VMOperandSize(type) == 4) words.push_back(static_cast<uint32_t>(number));
        break;
      }
      case OP_BREAK:
        need(1);
        words.push_back(MakeWord(opcode, VT_ERROR, 0, static_cast<int32_t>(Integer(line, args[0]))));
        break;
      case OP_DUP:
        if (args.size() > 1) Error(line, "dup takes at most one argument");
        words.push_back(MakeWord(opcode, t1, t2, args.empty() ? 0 : static_cast<int32_t>(Integer(line, args[0]))));
        break;
      default:
        need(0);
        words.push_back(MakeWord(opcode, t1, t2));
        break;
    }
  }
  for (const Pending& p : pending) {
    auto it = labels.find(p.label);
    if (it == labels.end()) Error(p.line, "unknown label " + p.label);
    const int32_t offset = static_cast<int32_t>(it->second) - static_cast<int32_t>(p.wordIndex);
    words[p.wordIndex] = MakeBranchWord(WordOpcode(words[p.wordIndex]), offset);
  }
  return words;
}

std::unique_ptr<VMBuffer> MakeCodeBuffer(const std::vector<uint32_t>& words) {
  const uint32_t bytes = static_cast<uint32_t>(words.size() * 4);
  uint32_t* block = static_cast<uint32_t*>(MemoryManager::Alloc(bytes > 0 ? bytes : 4, __FILE__, __LINE__, true));
  if (bytes > 0) std::memcpy(block, words.data(), bytes);
  return std::make_unique<VMBuffer>(block, static_cast<int32_t>(bytes), true);
}

std::unique_ptr<VMBuffer> AssembleCode(const std::string& text) { return MakeCodeBuffer(Assemble(text)); }

StringTableFixture::StringTableFixture(const std::vector<const char*>& texts) {
  m_data.assign(4, 0);  // offset 0 never holds a record
  for (const char* text : texts) {
    if (text == nullptr) {
      m_entries.push_back(0);
      continue;
    }
    m_entries.push_back(static_cast<uint32_t>(m_data.size()));
    const uint32_t length = static_cast<uint32_t>(std::strlen(text));
    const uint8_t* lengthBytes = reinterpret_cast<const uint8_t*>(&length);
    m_data.insert(m_data.end(), lengthBytes, lengthBytes + 4);
    m_data.insert(m_data.end(), text, text + length + 1);
  }
  StringTable_Set(m_data.data(), m_data.size(), m_entries.data(), static_cast<int32_t>(m_entries.size()));
}

StringTableFixture::~StringTableFixture() { StringTable_Clear(); }

}  // namespace testsupport
