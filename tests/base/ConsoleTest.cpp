#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/VCL.h"
#include "debug/Debug_Log.h"
#include "graphics/Graphics_Window.h"
#include "testlib/RuntimeTest.h"
#include "testlib/TestHelpers.h"

using namespace testsupport;

namespace {

// Points the two log files into a temporary folder for one test.
class ConsoleTest : public testsupport::RuntimeTest {
 protected:
  void WantOutput() {
    g_LogSettings.outputWanted = true;
    g_LogSettings.outputFile = m_dir.file("log.txt");
  }
  void WantDebugOutput() {
    g_LogSettings.debugOutputWanted = true;
    g_LogSettings.debugOutputFile = m_dir.file("debug.txt");
  }
  TempDir m_dir;
};

TEST_F(ConsoleTest, WithoutLogSwitchesNoFileIsMade) {
  g_LogSettings = LogSettings{};
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(m_dir.path());
  OutputConsole->Output("hello %d\n", 1);
  DebugConsole->Output("hello %d\n", 2);
  std::filesystem::current_path(previous);
  EXPECT_TRUE(std::filesystem::is_empty(m_dir.path()));
}

TEST_F(ConsoleTest, EachConsoleWritesOnlyItsOwnFile) {
  WantOutput();
  OutputConsole->Output("first %s\n", "line");
  OutputConsole->Output("second\n");
  DebugConsole->Output("not in log.txt\n");
  EXPECT_EQ(ReadFile(m_dir.file("log.txt")), "first line\r\nsecond\r\n");
  EXPECT_FALSE(std::filesystem::exists(m_dir.file("debug.txt")));

  WantDebugOutput();
  DebugConsole->Output("a\nb");
  EXPECT_EQ(ReadFile(m_dir.file("debug.txt")), "a\r\nb");
}

TEST_F(ConsoleTest, LongMessagesAreCutAndPercentSignsKept) {
  WantOutput();
  std::string longText(5000, 'x');
  OutputConsole->Output("%s", longText.c_str());
  EXPECT_EQ(ReadFile(m_dir.file("log.txt")), std::string(4095, 'x'));

  std::filesystem::remove(m_dir.file("log.txt"));
  OutputConsole->Output("100%% done\n");
  OutputConsole->Output(nullptr);
  EXPECT_EQ(ReadFile(m_dir.file("log.txt")), "100% done\r\n");
}

TEST_F(ConsoleTest, AnUnopenableLogIsSkipped) {
  g_LogSettings.outputWanted = true;
  g_LogSettings.outputFile = m_dir.file("missing/folder/log.txt");
  OutputConsole->Output("lost\n");
  EXPECT_FALSE(std::filesystem::exists(g_LogSettings.outputFile));
}

TEST_F(ConsoleTest, TheDebuggerLogCapturesWhileTheLinkIsActive) {
  DebugConsole->Output("before\n");
  Debug_SetLinkActive(true);
  DebugConsole->Output("during %d\n", 1);
  OutputConsole->Output("also\n");
  EXPECT_EQ(Debug_TakeLog(), "during 1\nalso\n");
  std::string chunk(4000, 'y');
  for (int i = 0; i < 10; ++i) Debug_CaptureLog(chunk.c_str());
  EXPECT_EQ(Debug_TakeLog().size(), kDebugLogLimit);
}

TEST(ShowMessage, UsesTheKeptCaptionAndNeverBlocks) {
  MessageBoxRecorder boxes;
  ShowMessage("INTERNAL ERROR: Adding too many variables");
  GR_Window_SetCaption("My Game");
  ShowMessage("second");
  GR_Window_SetCaption(nullptr);
  ASSERT_EQ(boxes.boxes().size(), 2u);
  EXPECT_EQ(boxes.boxes()[0].caption, "");
  EXPECT_EQ(boxes.boxes()[0].text, "INTERNAL ERROR: Adding too many variables");
  EXPECT_EQ(boxes.boxes()[1].caption, "My Game");
}

TEST(ShowMessage, HeadlessPrintsCaptionAndTextOnStderr) {
  ::testing::internal::CaptureStderr();
  MessageBoxAnswer answer = OS_ShowMessageBox("Fatal Memory Error", "Out of Memory!", MessageBoxKind::Ok, true);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, MessageBoxAnswer::Ok);
  EXPECT_EQ(err, "Fatal Memory Error: Out of Memory!\n");
  EXPECT_EQ(OS_DefaultAnswer(MessageBoxKind::AbortIgnore), MessageBoxAnswer::Abort);
}

TEST(VCL, Pos) {
  struct { const char* sub; const char* text; int32_t pos; } cases[] = {
      {"lo", "hello", 4}, {"x", "hello", 0}, {"h", "hello", 1}, {nullptr, "hello", 0}, {"a", nullptr, 0}};
  for (auto c : cases) EXPECT_EQ(VCL_Pos(c.sub, c.text), c.pos);
}

TEST(VCL, TrimRemovesOnlyControlBytesAndSpaces) {
  struct { const char* in; const char* out; } cases[] = {
      {"  abc \t", "abc"},
      {"   ", ""},
      {"", ""},
      {"\x01 x y\x1f", "x y"},
      {" caf\xC3\xA9 ", "caf\xC3\xA9"},  // UTF-8 letters are not blanks
  };
  VCLString holder;
  for (auto c : cases) {
    VCL_Trim(holder, c.in);
    ASSERT_NE(holder.text, nullptr) << c.in;
    EXPECT_STREQ(holder.text, c.out);
  }
  VCL_Trim(holder, "a much longer text than before, so the block is replaced ");
  EXPECT_STREQ(holder.text, "a much longer text than before, so the block is replaced");
  VCL_Trim(holder, holder.text + 2);  // the text may come from the holder itself
  EXPECT_STREQ(holder.text, "much longer text than before, so the block is replaced");
  VCL_Trim(holder, nullptr);
  EXPECT_EQ(holder.text, nullptr);
}

TEST(EmbeddedFiles, TableEntriesAndBounds) {
  EmbeddedFiles_SetTable(EmbeddedFiles_ProgramTable());
  ASSERT_NE(EmbeddedFiles_GetData(0), nullptr);
  for (int i = 0; i <= 15; ++i) {
    const char* data = static_cast<const char*>(EmbeddedFiles_GetData(i));
    ASSERT_NE(data, nullptr) << i;
    EXPECT_EQ(std::string(data, 4), "DDS ") << i;
  }
  const unsigned char* png = static_cast<const unsigned char*>(EmbeddedFiles_GetData(16));
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(png) + 1, 3), "PNG");
  EXPECT_GT(EmbeddedFiles_GetSize(16), 0u);
  EXPECT_EQ(EmbeddedFiles_GetData(17), nullptr);
  EXPECT_EQ(EmbeddedFiles_GetSize(17), 0u);
  EXPECT_EQ(EmbeddedFiles_GetData(-1), nullptr);
}

}  // namespace
