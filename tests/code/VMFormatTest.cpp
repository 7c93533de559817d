// The instruction format, the source-line helpers, the word writer and the string routines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "code/VM_Exec.h"
#include "code/VM_Format.h"
#include "code/VM_LineInfo.h"
#include "platform/MemoryManager.h"
#include "testlib/VMAssembler.h"

namespace {

TEST(VMFormat, InstructionSizesFollowTheFirstType) {
  struct Row {
    const char* text;
    size_t bytes;
  };
  const Row rows[] = {
      {"push.d 1.5", 12}, {"push.l 5", 12},   {"push.i 7", 8},   {"push.v -1 0xA0000001", 8},
      {"push.e 4", 4},    {"call.i 3 0", 8},  {"break 0", 4},    {"pop.v.i -1 0xA0000001", 8},
      {"pop.e.v 4 0", 4}, {"add.i.d", 4},     {"b 1", 4},        {"push.7 0", 8},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(testsupport::Assemble(row.text).size() * 4, row.bytes) << row.text;
  }
}

TEST(VMFormat, WordFieldsAndBranchOffsets) {
  const uint32_t word = MakeWord(OP_CONV, VT_INT, VT_DOUBLE, -3);
  EXPECT_EQ(WordOpcode(word), OP_CONV);
  EXPECT_EQ(WordT1(word), VT_INT);
  EXPECT_EQ(WordT2(word), VT_DOUBLE);
  EXPECT_EQ(WordImmediate(word), -3);
  EXPECT_EQ(WordBranchOffset(0xB7FFFFFFu), -1);
  EXPECT_EQ(WordBranchOffset(0xB7000001u), 1);
  EXPECT_EQ(WordBranchOffset(0xB7800000u), -0x800000);
  EXPECT_TRUE(IsOperandForm(OP_PUSH) && IsOperandForm(OP_BREAK) && IsOperandForm(OP_POP));
  EXPECT_TRUE(IsBranchForm(OP_B) && IsBranchForm(OP_POPENV) && !IsBranchForm(OP_CALL));
  EXPECT_TRUE(IsOneTypeForm(OP_DUP) && IsOneTypeForm(OP_PUSH) && IsOneTypeForm(OP_CALL));
  EXPECT_TRUE(IsTwoTypeForm(OP_CONV) && IsTwoTypeForm(OP_POP) && IsTwoTypeForm(OP_SGT));
}

TEST(VMFormat, NamesAndSizes) {
  EXPECT_STREQ(OpcodeName(OP_POPENV), "popenv");
  EXPECT_STREQ(OpcodeName(OP_SGE), "sge");
  EXPECT_STREQ(OpcodeName(OP_BREAK), "break");
  EXPECT_STREQ(OpcodeName(0x01), "unknown");
  EXPECT_STREQ(OpcodeName(0x17), "unknown");
  const char* suffixes[16] = {".d", ".f", ".i", ".l", ".b", ".v", ".s", "", "", "", "", "", "", "", "", ".e"};
  const int typeSizes[16] = {8, 4, 4, 8, 4, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const int stackSizes[16] = {8, 4, 4, 8, 4, 16, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (uint32_t t = 0; t < 16; ++t) {
    EXPECT_STREQ(TypeSuffixName(t), suffixes[t]) << t;
    EXPECT_EQ(VMTypeSize(t), typeSizes[t]) << t;
    EXPECT_EQ(VMStackSize(t), stackSizes[t]) << t;
  }
  EXPECT_EQ(VMOperandSize(VT_DEBUGSTR), 4);
}

// A line-information table of (code offset, source offset) pairs.
std::unique_ptr<VMBuffer> LineTable(const std::vector<int32_t>& pairs) {
  std::vector<uint32_t> words(pairs.begin(), pairs.end());
  return testsupport::MakeCodeBuffer(words);
}

TEST(VMLineInfo, FindLineEntryTakesTheLastEntryNotAfterTheOffset) {
  auto table = LineTable({0, 0, 8, 10, 20, 30});
  VMLineEntry e{};
  ASSERT_TRUE(FindLineEntry(table.get(), 0, &e));
  EXPECT_EQ(e.sourceOffset, 0);
  ASSERT_TRUE(FindLineEntry(table.get(), 12, &e));
  EXPECT_EQ(e.sourceOffset, 10);
  ASSERT_TRUE(FindLineEntry(table.get(), 1000, &e));
  EXPECT_EQ(e.sourceOffset, 30);
  auto late = LineTable({4, 1});
  EXPECT_FALSE(FindLineEntry(late.get(), 0, &e));
  EXPECT_FALSE(FindLineEntry(nullptr, 0, &e));
  // A table whose size is not a whole number of entries ignores the partial one.
  auto words = testsupport::MakeCodeBuffer({0, 5, 4});
  ASSERT_TRUE(FindLineEntry(words.get(), 100, &e));
  EXPECT_EQ(e.sourceOffset, 5);
}

TEST(VMLineInfo, FindSourceLineCountsLinesAndHonoursMarkers) {
  const char* text = "a = 1;\nb = 2;\n#line scr_x 10\nc = 3;\nd = 4;\n";
  struct Row {
    int32_t offset;
    int32_t line;
    const char* name;
  };
  const int32_t c = static_cast<int32_t>(std::strstr(text, "c =") - text);
  const int32_t d = static_cast<int32_t>(std::strstr(text, "d =") - text);
  const Row rows[] = {{0, 1, nullptr}, {3, 1, nullptr}, {7, 2, nullptr}, {c, 10, "scr_x"},
                      {d, 11, "scr_x"}, {1000, 11, "scr_x"}, {-1, -1, nullptr}};
  for (const Row& row : rows) {
    VMLineEntry e{0, row.offset};
    char* name = nullptr;
    EXPECT_EQ(FindSourceLine(&e, text, &name), row.line) << row.offset;
    if (row.name == nullptr) {
      EXPECT_EQ(name, nullptr);
    } else {
      ASSERT_NE(name, nullptr);
      EXPECT_STREQ(name, row.name);
    }
    MemoryManager::Free(name);
  }
  EXPECT_EQ(FindSourceLine(nullptr, text), -1);
  EXPECT_EQ(FindSourceLine(nullptr, nullptr), -1);
  VMLineEntry first{0, 0};
  EXPECT_EQ(FindSourceLine(&first, ""), 1);
}

TEST(VMLineInfo, SourceLineTextIsTheWholeLineWithoutItsBreak) {
  const char* text = "first\r\nsecond line\nthird";
  struct Row {
    int32_t offset;
    const char* line;
  };
  const Row rows[] = {{0, "first"}, {3, "first"}, {7, "second line"}, {12, "second line"}, {21, "third"},
                      {500, "third"}};
  for (const Row& row : rows) {
    VMLineEntry e{0, row.offset};
    EXPECT_STREQ(SourceLineText(&e, text), row.line) << row.offset;
  }
  EXPECT_STREQ(SourceLineText(nullptr, text), "<unknown source line>");
  // A long line is cut to 255 bytes, never inside a character.
  std::string longLine(254, 'x');
  longLine += "\xC3\xA9\xC3\xA9";
  VMLineEntry e{0, 3};
  EXPECT_EQ(std::strlen(SourceLineText(&e, longLine.c_str())), 254u);
}

TEST(VMWriteBuffer, GrowsByDoublingAndKeepsEveryWord) {
  VMWriteBuffer buffer(64);
  for (uint32_t i = 0; i < 17; ++i) buffer.WriteWord(1, i * 3);
  EXPECT_EQ(buffer.Capacity(), 128);
  EXPECT_EQ(buffer.BytesWritten(), 68);
  for (uint32_t i = 0; i < 17; ++i) EXPECT_EQ(buffer.Words()[i], i * 3);

  VMWriteBuffer operands(4);
  operands.WriteWord(2, 0xAAu, 0xBBu);
  operands.WriteDouble(0.5);
  operands.WriteFloat(1.5f);
  operands.WriteInt(-2);
  operands.WriteInt64(-3);
  operands.WriteBool(true);
  operands.Finish();
  ASSERT_EQ(operands.m_size, 36);
  const uint32_t* w = operands.m_data;
  double d;
  std::memcpy(&d, w + 2, 8);
  float f;
  std::memcpy(&f, w + 4, 4);
  int64_t l;
  std::memcpy(&l, w + 6, 8);
  EXPECT_EQ(w[0], 0xAAu);
  EXPECT_EQ(w[1], 0xBBu);
  EXPECT_EQ(d, 0.5);
  EXPECT_EQ(f, 1.5f);
  EXPECT_EQ(static_cast<int32_t>(w[5]), -2);
  EXPECT_EQ(l, -3);
  EXPECT_EQ(w[8], 1u);
}

TEST(VMStringRoutines, DuplicateAndBoundedLength) {
  char* copy = DuplicateString("hello");
  EXPECT_STREQ(copy, "hello");
  FreeMemory(copy);
  EXPECT_EQ(DuplicateString(nullptr), nullptr);
  const char bytes[6] = {'a', 'b', 0, 'c', 'd', 'e'};
  EXPECT_EQ(BoundedStringLength(bytes, 6), 2);
  EXPECT_EQ(BoundedStringLength(bytes, 1), 1);
  EXPECT_EQ(BoundedStringLength(nullptr, 4), 0);
}

}  // namespace
