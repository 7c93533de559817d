// libFuzzer harness for the runtime's text and binary formats. The input's first byte chooses
// the format, the rest is the data:
//   0  a value record (ReadValueFromBuffer), written back when it reads
//   1  a saved variable list (CVariableList::Load), saved again
//   2  saved globals (LoadGlobalVariables), saved again
//   3  an INI text, parsed, looked up, changed and written back
//   4  a sequence of operations on a binary buffer of a chosen kind, size and alignment
//   5  a sequence of operations on a memory stream
// Offsets, sizes, types and alignments are taken from the input unchanged, except the sizes
// that would make a buffer or stream grow or a wrap buffer repeat its bytes, which are kept
// below 1 MB (a big request is work a script asks for, not a fault).
#include <cstdio>
#include <vector>

#include "FuzzCommon.h"
#include "base/IniFile.h"
#include "buffer/Buffer_Standard.h"
#include "support/CStream.h"
#include "variable/ScriptValue.h"
#include "variable/Variable_Main.h"
#include "variable/Variable_Names.h"

namespace {

// A size that may make a buffer grow: its low 20 bits, with its sign.
int GrowSize(int32_t v) { return v < 0 ? -static_cast<int>(static_cast<uint32_t>(-static_cast<int64_t>(v)) & 0xFFFFF) : (v & 0xFFFFF); }

// What IBuffer's writes take: the 8-byte payload of a value, a real or a text pointer by type.
struct Payload {
  union {
    double real;
    const char* text;
  };
};

Payload MakePayload(fuzz::Input& in, int type, std::string& text) {
  Payload p{};
  if (type == BUFFER_STRING || type == BUFFER_TEXT) {
    text = in.Bytes(in.Byte());
    p.text = text.c_str();
  } else {
    p.real = in.Real();
  }
  return p;
}

void ValueRecord(const std::string& data) {
  Buffer_Standard buffer(static_cast<int>(data.size()), BUFFER_FIXED, 1);
  if (!data.empty()) std::memcpy(buffer.GetData(), data.data(), data.size());
  ScriptValue value;
  SetReal(&value, 0.0);
  if (ReadValueFromBuffer(&value, &buffer)) {
    Buffer_Standard out(0, BUFFER_GROW, 1);
    WriteValueToBuffer(&value, &out);
  }
  ReleaseValue(&value);
}

void VariableList(const std::string& data, bool globals) {
  Buffer_Standard buffer(static_cast<int>(data.size()), BUFFER_FIXED, 1);
  if (!data.empty()) std::memcpy(buffer.GetData(), data.data(), data.size());
  Buffer_Standard out(0, BUFFER_GROW, 1);
  if (globals) {
    if (LoadGlobalVariables(&buffer)) SaveGlobalVariables(&out);
  } else {
    CVariableList list;
    if (list.Load(&buffer)) list.Save(&out);
  }
}

void Ini(const std::string& data) {
  IniFile ini;
  ini.LoadFromString(data.c_str());
  ini.ReadString("a", "b", "");
  ini.ReadInt("section", "key", 7);
  ini.WriteString("new", "key", "value");
  ini.DeleteKey("a", "b");
  ini.DeleteSection("section");
  MemoryManager::Free(ini.WriteToString());
}

void BufferOps(fuzz::Input& in) {
  const int kind = in.Byte() % 5;
  const int size = GrowSize(in.Int());
  const int alignment = in.Int();
  Buffer_Standard buffer(size, kind, alignment);
  Buffer_Standard other(GrowSize(in.Int()), in.Byte() % 5, in.Int());
  ScriptValue value;
  SetReal(&value, 0.0);
  for (int step = 0; step < 256 && !in.Empty(); ++step) {
    std::string text;
    switch (in.Byte() % 16) {
      case 0: {
        const int type = in.Byte() % 16;
        const Payload p = MakePayload(in, type, text);
        buffer.Write(type, &p);
        break;
      }
      case 1:
        buffer.Read(in.Byte() % 16, &value);
        break;
      case 2: {
        const int base = in.Byte() % 4;
        buffer.Seek(base, GrowSize(in.Int()));  // a write past the end grows a grow buffer
        break;
      }
      case 3: {
        const int offset = in.Int();
        buffer.Peek(offset, in.Byte() % 16, &value);
        break;
      }
      case 4: {
        const int offset = in.Int();
        const int type = in.Byte() % 16;
        const Payload p = MakePayload(in, type, text);
        buffer.Poke(offset, type, &p);
        break;
      }
      case 5:
        buffer.Resize(GrowSize(in.Int()));
        break;
      case 6: {
        const int src = in.Int(), count = GrowSize(in.Int()), dest = GrowSize(in.Int());
        if (in.Byte() & 1) {
          buffer.Copy(src, count, &other, dest);
        } else {
          other.Copy(src, count, &buffer, dest);
        }
        break;
      }
      case 7: {
        const int offset = GrowSize(in.Int()), count = GrowSize(in.Int());
        const int type = in.Byte() % 16;
        const Payload p = MakePayload(in, type, text);
        buffer.Fill(offset, count, type, &p, in.Int(), (in.Byte() & 1) != 0);
        break;
      }
      case 8: {
        const int offset = in.Int(), count = GrowSize(in.Int());  // a wrap buffer repeats itself
        buffer.Base64Encode(&value, offset, count);
        break;
      }
      case 9: {
        text = in.Bytes(in.Byte());
        const int offset = GrowSize(in.Int()), count = in.Int();
        buffer.Base64Decode(text.c_str(), offset, count);
        break;
      }
      case 10: {
        const int offset = in.Int(), count = GrowSize(in.Int());  // a wrap buffer repeats itself
        if (in.Byte() & 1) {
          buffer.Md5(&value, offset, count);
        } else {
          buffer.Sha1(&value, offset, count);
        }
        break;
      }
      case 11: {
        text = in.Bytes(in.Byte());
        const int src = in.Int(), count = GrowSize(in.Int()), dest = GrowSize(in.Int());
        buffer.LoadFromMemory(text.data(), static_cast<int>(text.size()), src, count, dest);
        break;
      }
      case 12: {
        uint8_t* region = nullptr;
        int length = 0;
        const int offset = in.Int(), count = GrowSize(in.Int());  // a wrap buffer repeats itself
        buffer.ExtractRegion(&region, &length, offset, count, (in.Byte() & 1) != 0);
        MemoryManager::Free(region);
        break;
      }
      case 13: {
        text = in.Bytes(in.Byte());
        const int each = in.Byte() % 9;
        buffer.WriteBytes(text.data(), each, each == 0 ? 0 : static_cast<int>(text.size()) / each);
        break;
      }
      case 14: {
        std::vector<uint8_t> target(4096);
        const int each = in.Byte() % 9;
        buffer.ReadBytes(target.data(), each, each == 0 ? 0 : static_cast<int>(target.size()) / each);
        break;
      }
      default:
        text = in.Bytes(in.Byte());
        buffer.WriteString(text.c_str());
        MemoryManager::Free(buffer.ReadString());
        break;
    }
  }
  ReleaseValue(&value);
}

void StreamOps(fuzz::Input& in) {
  CStream stream(GrowSize(in.Int()));
  CStream other(0);
  // A write at the end doubles a stream, so a run of them is stopped once the streams pass 1 MB.
  for (int step = 0; step < 256 && !in.Empty() && stream.GetSize() < (1 << 20) && other.GetSize() < (1 << 20);
       ++step) {
    std::string text;
    switch (in.Byte() % 12) {
      case 0: {
        const int32_t offset = GrowSize(in.Int());  // a write past the end grows the stream
        stream.Seek(offset, in.Byte() % 4);
        break;
      }
      case 1: {
        std::vector<uint8_t> target(4096);
        stream.ReadBuffer(target.data(), in.Int() % 4097);
        break;
      }
      case 2:
        text = in.Bytes(in.Byte());
        stream.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
        break;
      case 3:
        stream.ReadInteger();
        stream.ReadReal();
        stream.ReadBoolean();
        break;
      case 4:
        stream.WriteInteger(in.Int());
        stream.WriteReal(in.Real());
        stream.WriteBoolean(in.Byte() & 1);
        break;
      case 5:
        MemoryManager::Free(stream.ReadStringNew());
        break;
      case 6:
        text = in.Bytes(in.Byte());
        stream.WriteString(text.c_str());
        break;
      case 7:
        MemoryManager::Free(stream.WriteHexNew());
        break;
      case 8:
        text = in.Bytes(in.Byte());
        stream.ReadHex(text.c_str());
        break;
      case 9: {
        // A window lives only while its source keeps its bytes, so it is read and dropped at once.
        const bool borrow = (in.Byte() & 1) != 0;
        CStream window(0);
        CStream& target = borrow ? window : other;
        target.CopyFrom(&stream, GrowSize(in.Int()), borrow);
        MemoryManager::Free(target.WriteHexNew());
        target.ReadInteger();
        break;
      }
      case 10:
        delete stream.ReadStream();
        break;
      default:
        stream.SetPosition(GrowSize(in.Int()));
        break;
    }
  }
}

// ---- Seeds ----

void WriteSeed(const std::string& dir, const std::string& name, uint8_t format, const void* data, size_t size) {
  const std::string path = dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(&format, 1, 1, f);
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

void WriteSeed(const std::string& dir, const std::string& name, uint8_t format, const IBuffer& buffer) {
  WriteSeed(dir, name, format, buffer.GetData(), static_cast<size_t>(buffer.GetUsedSize()));
}

void WriteSeed(const std::string& dir, const std::string& name, uint8_t format, const std::string& bytes) {
  WriteSeed(dir, name, format, bytes.data(), bytes.size());
}

// A little-endian word, for the operation sequences.
std::string Word(int32_t v) {
  std::string s(4, '\0');
  std::memcpy(s.data(), &v, 4);
  return s;
}

std::string RealBytes(double d) {
  std::string s(8, '\0');
  std::memcpy(s.data(), &d, 8);
  return s;
}

// Writes the seed corpus with the runtime's own writers: values of every kind, variable lists
// with arrays, globals, INI texts as the tests use them, and operation sequences over each
// buffer kind and over a stream.
void WriteSeeds(const std::string& dir) {
  ScriptValue values[4];
  SetReal(&values[0], 2.5);
  SetString(&values[1], "text with \xC3\xA9");
  SetUndefined(&values[2]);
  SetReal(&values[3], 0.0);
  values[3].kind = VALUE_INT64;
  values[3].i64 = -1234567890123ll;
  for (int i = 0; i < 4; ++i) {
    Buffer_Standard b(0, BUFFER_GROW, 1);
    WriteValueToBuffer(&values[i], &b);
    WriteSeed(dir, "value-" + std::to_string(i), 0, b);
  }

  CVariableList list;
  const int32_t score = FindOrAddUserVariable("score"), name = FindOrAddUserVariable("name");
  list.Set(score, kWholeValueIndex, &values[0]);
  list.Set(name, kWholeValueIndex, &values[1]);
  list.Set(FindOrAddUserVariable("a"), 1 * 32000 + 2, &values[0]);  // a two-row array
  list.Set(FindOrAddUserVariable("a"), 0, &values[1]);
  {
    Buffer_Standard b(0, BUFFER_GROW, 1);
    list.Save(&b);
    WriteSeed(dir, "variables", 1, b);
    Buffer_Standard v(0, BUFFER_GROW, 1);
    CVariableList* array = &list;
    ScriptValue whole;
    SetReal(&whole, 0.0);
    array->Get(FindOrAddUserVariable("a"), kWholeValueIndex, &whole);
    WriteValueToBuffer(&whole, &v);
    WriteSeed(dir, "value-array", 0, v);
    ReleaseValue(&whole);
  }
  SetGlobalVariable(score, kWholeValueIndex, &values[0]);
  SetGlobalVariable(name, kWholeValueIndex, &values[1]);
  {
    Buffer_Standard b(0, BUFFER_GROW, 1);
    SaveGlobalVariables(&b);
    WriteSeed(dir, "globals", 2, b);
  }
  for (ScriptValue& v : values) ReleaseValue(&v);

  const char* inis[] = {
      "[a]\r\nb=1\r\n",
      "; comment\n[section]\nkey = \"quoted value\" ; tail\nother='x'\n\n[a]\nb=two words\n",
      "key=before any section\n[ spaced ]\n = empty name\n[unterminated\nk=v",
  };
  for (size_t i = 0; i < sizeof(inis) / sizeof(inis[0]); ++i) WriteSeed(dir, "ini-" + std::to_string(i), 3, std::string(inis[i]));

  for (uint8_t kind = 0; kind < 5; ++kind) {
    std::string ops;
    ops += static_cast<char>(kind);
    ops += Word(16) + Word(4) + Word(8) + static_cast<char>(1) + Word(1);
    ops += std::string(1, 0) + static_cast<char>(BUFFER_S32) + RealBytes(-5);  // write
    ops += std::string(1, 0) + static_cast<char>(BUFFER_STRING) + static_cast<char>(3) + "abc";
    ops += std::string(1, 2) + static_cast<char>(0) + Word(0);                // seek to the start
    ops += std::string(1, 1) + static_cast<char>(BUFFER_S32);                 // read
    ops += std::string(1, 3) + Word(-3) + static_cast<char>(BUFFER_F64);      // peek before it
    ops += std::string(1, 4) + Word(14) + static_cast<char>(BUFFER_U16) + RealBytes(70000);
    ops += std::string(1, 5) + Word(64);                                      // resize
    ops += std::string(1, 6) + Word(2) + Word(100) + Word(-7) + static_cast<char>(1);
    ops += std::string(1, 7) + Word(3) + Word(40) + static_cast<char>(BUFFER_U8) + RealBytes(9) + Word(3) + '\1';
    ops += std::string(1, 8) + Word(0) + Word(-1);
    ops += std::string(1, 9) + static_cast<char>(4) + "QUJD" + Word(5) + Word(3);
    ops += std::string(1, 10) + Word(1) + Word(1 << 30) + '\0';
    ops += std::string(1, 12) + Word(-20) + Word(30) + '\1';
    WriteSeed(dir, "buffer-kind" + std::to_string(kind), 4, ops);
  }
  std::string stream = Word(8);
  stream += std::string(1, 4) + Word(42) + RealBytes(1.5) + '\1';
  stream += std::string(1, 6) + static_cast<char>(5) + "hello";
  stream += std::string(1, 0) + Word(0) + '\0';
  stream += std::string(1, 3) + std::string(1, 5) + std::string(1, 7);
  stream += std::string(1, 8) + static_cast<char>(8) + "0A0B0C0D";
  stream += std::string(1, 9) + Word(3) + '\0';
  stream += std::string(1, 10);
  WriteSeed(dir, "stream", 5, stream);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Setup();
  InitGlobalVariables();
  // Names the saved lists may use.
  for (const char* name : {"score", "hp", "name", "a", "b"}) FindOrAddUserVariable(name);
  // With FUZZ_WRITE_SEEDS=folder the harness writes its seed corpus there and ends.
  if (const char* dir = getenv("FUZZ_WRITE_SEEDS")) {
    WriteSeeds(dir);
    std::exit(0);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t format = in.Byte();
  try {
    switch (format % 6) {
      case 0: ValueRecord(in.Rest()); break;
      case 1: VariableList(in.Rest(), false); break;
      case 2: VariableList(in.Rest(), true); break;
      case 3: Ini(in.Rest()); break;
      case 4: BufferOps(in); break;
      default: StreamOps(in); break;
    }
  } catch (const fuzz::FatalExit&) {
  }
  return 0;
}
