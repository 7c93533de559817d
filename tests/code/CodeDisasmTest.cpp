// The text disassembler: a pinned listing of a small compiled program, and the operand forms.
#include <cstdio>

#include "CodeGenTestUtil.h"

namespace codegentest {
namespace {

std::string LittleEndianHex(uint32_t word) {
  char text[9];
  std::snprintf(text, sizeof(text), "%02x%02x%02x%02x", word & 0xFF, (word >> 8) & 0xFF, (word >> 16) & 0xFF,
                word >> 24);
  return text;
}

// A built-in call prints the built-in's name, a script call its number; string constants print
// their text from the string table.
TEST_F(CodeGenTest, DisassemblyOfASmallProgram) {
  Script_Add("scr");
  CCode* code = Compile("globalvar g; g = \"hi\"; if (g == 2.5) g = f(1) else exit; scr(g)");
  std::string expected =
      "00000000 : 000006c000000000         push.s    \"hi\"\n"
      "00000008 : faff6541RRRRRRRR         pop.v.s   $g$\n"
      "00000010 : faff05c0RRRRRRRR         push.v    $g$\n"
      "00000018 : 000000c00000000000000440 push.d    2.500000\n"
      "00000024 : 00005013                 seq.d.v   \n"
      "00000028 : 080000b9                 bf        0x00000048\n"
      "0000002c : 01000fc0                 push.e    1\n"
      "00000030 : 00005203                 conv.i.v  \n"
      "00000034 : 010002da00000000         call.i    f\n"
      "0000003c : faff5541RRRRRRRR         pop.v.v   $g$\n"
      "00000044 : 020000b7                 b         0x0000004c\n"
      "00000048 : 0000029e                 exit.i    \n"
      "0000004c : faff05c0RRRRRRRR         push.v    $g$\n"
      "00000054 : 010002daa0860100         call.i    100000\n"
      "0000005c : 0000059f                 popz.v    \n";
  // The variable's id depends on the order names were first met in this process.
  const std::string reference = LittleEndianHex(testsupport::VarReference(GetVariableId("g")));
  for (size_t at = expected.find("RRRRRRRR"); at != std::string::npos; at = expected.find("RRRRRRRR")) {
    expected.replace(at, 8, reference);
  }
  testsupport::RecordingConsole console;
  DisassembleCode(code->m_code, &console);
  EXPECT_EQ(console.Text(), expected);
  EXPECT_EQ(console.lines.size(), 15u);  // one Output per instruction
}

TEST(Disassembler, OperandForms) {
  struct Row {
    std::vector<uint32_t> words;
    const char* line;
  };
  const Row rows[] = {
      {{0xC0030000u, 0u, 2u}, "00000000 : 000003c00000000002000000 push.l    8589934592\n"},
      {{0xC0040000u, 1u}, "00000000 : 000004c001000000         push.b    true\n"},
      {{0xC0040000u, 0u}, "00000000 : 000004c000000000         push.b    false\n"},
      {{0xC0010000u, 0x3FC00000u}, "00000000 : 000001c00000c03f         push.f    1.500000\n"},
      {{0xC00FFFFDu}, "00000000 : fdff0fc0                 push.e    -3\n"},
      {{0xC0060000u, 7u}, "00000000 : 000006c007000000         push.s    <string 7 out of range>\n"},
      {{0xDA020000u, 5000u}, "00000000 : 000002da88130000         call.i    5000\n"},
      {{0xB7FFFFFFu}, "00000000 : ffffffb7                 b         0xfffffffc\n"},
      // An operand that runs past the end of the code is not read.
      {{0xC0000000u, 0u}, "00000000 : 000000c000000000         push.d    <truncated>\n"},
  };
  for (const Row& row : rows) {
    testsupport::RecordingConsole console;
    const int32_t size = static_cast<int32_t>(row.words.size() * 4);
    EXPECT_EQ(DisassembleInstruction(row.words.data(), size, 0, &console), size);
    EXPECT_EQ(console.Text(), row.line);
  }
  // A trailing partial word.
  testsupport::RecordingConsole console;
  const uint32_t word = 0x9F050000u;
  EXPECT_EQ(DisassembleInstruction(&word, 2, 0, &console), 2);
  EXPECT_EQ(console.Text(), "00000000 : 0000                     <truncated>\n");
}

}  // namespace
}  // namespace codegentest
