// The tray's parts that take outside bytes: the language choice, the
// copy-data command, the log line, the capture application's registered
// path and a camera's friendly name.
#include <windows.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "shared/tray_names.h"
#include "tests/tray/tray_rig.h"
#include "tray/debug_log.h"
#include "tray/tray_command.h"
#include "tray/tray_language.h"

namespace tray_test {
namespace {

TEST(TrayLanguage, SectionsFollowTheTwoTables) {
  using qorbm::ChooseLanguageSection;
  EXPECT_STREQ(ChooseLanguageSection("1000", 1031), "LANG_GERMAN");       // the default: the system's
  EXPECT_STREQ(ChooseLanguageSection("", 1041), "LANG_JAPANESE");         // empty: the system's
  EXPECT_STREQ(ChooseLanguageSection("0G0C", 1042), "LANG_KOREAN");       // not hexadecimal
  EXPECT_STREQ(ChooseLanguageSection("0c0c", 1033), "LANG_FRENCH");       // configured French (Canada)
  EXPECT_STREQ(ChooseLanguageSection("0C0A", 1033), "LANG_SPANISH");
  EXPECT_STREQ(ChooseLanguageSection("1000", 3084), "LANG_ENGLISH");      // the system's French (Canada)
  EXPECT_STREQ(ChooseLanguageSection("0404xyz", 1033), "LANG_CHINESE_T"); // four characters are read
  EXPECT_STREQ(ChooseLanguageSection("816", 1033), "LANG_PORTUGUESE");    // 0x816 = 2070
  EXPECT_STREQ(ChooseLanguageSection("0409", 1036), "LANG_ENGLISH");      // configured English
  EXPECT_STREQ(ChooseLanguageSection("0", 1049), "LANG_ENGLISH");         // 0 is a language too
  // Every Spanish country, and nothing between them.
  for (unsigned k = 0; k <= 21; ++k) EXPECT_STREQ(qorbm::LanguageSection(WORD(0x040A + 0x400 * k), false), "LANG_SPANISH");
  EXPECT_STREQ(qorbm::LanguageSection(WORD(0x040A + 0x400 * 22), false), "LANG_ENGLISH");
  EXPECT_STREQ(qorbm::LanguageSection(0x040B, false), "LANG_ENGLISH");
  EXPECT_STREQ(qorbm::LanguageSection(2052, false), "LANG_CHINESE_S");
  EXPECT_STREQ(qorbm::LanguageSection(1053, true), "LANG_SWEDISH");
}

bool Exit(ULONG_PTR id, const void* bytes, DWORD size) {
  COPYDATASTRUCT data;
  data.dwData = id;
  data.cbData = size;
  data.lpData = const_cast<void*>(bytes);
  return qorbm::IsExitCommand(&data);
}

TEST(TrayCommand, OnlyExitEndsAndNoByteBeyondTheCopyIsRead) {
  EXPECT_TRUE(Exit(4402, "EXIT", 4));
  EXPECT_TRUE(Exit(4402, "EXIT", 5));             // with its terminator
  EXPECT_TRUE(Exit(4402, "EXIT\0junk", 9));       // the text ends at the zero
  EXPECT_FALSE(Exit(4402, "exit", 4));
  EXPECT_FALSE(Exit(4402, "EXI", 3));
  EXPECT_FALSE(Exit(4402, "EXITS", 5));
  EXPECT_FALSE(Exit(4401, "EXIT", 4));
  EXPECT_FALSE(Exit(4402, nullptr, 4));           // a size without data
  EXPECT_FALSE(Exit(4402, "EXIT", 0));
  EXPECT_FALSE(qorbm::IsExitCommand(nullptr));
  // 512 bytes and more without a zero: only the 512 copied are looked at
  // (the address sanitizer sees a read past them).
  std::vector<char> full(600, 'E');
  EXPECT_FALSE(Exit(4402, full.data(), 600));
  std::vector<char> exact(512, 'X');
  std::memcpy(exact.data(), "EXIT", 4);
  EXPECT_FALSE(Exit(4402, exact.data(), 512));
}

size_t Format(char* line, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const size_t length = qorbm::FormatLogLine(line, format, arguments);
  va_end(arguments);
  return length;
}

TEST(TrayLog, ALongLineIsCutInsideItsBuffer) {
  // The line buffer sits between guards that must stay untouched.
  std::vector<char> memory(qorbm::kLogLineSize + 64, '#');
  char* line = memory.data() + 32;
  const std::string name(5000, 'n');
  EXPECT_EQ(Format(line, "%s", name.c_str()), qorbm::kLogLineSize - 1);
  EXPECT_EQ(line[qorbm::kLogLineSize - 1], '\0');
  for (size_t i = 0; i < 32; ++i) {
    EXPECT_EQ(memory[i], '#');
    EXPECT_EQ(memory[32 + qorbm::kLogLineSize + i], '#');
  }
  EXPECT_EQ(Format(line, "ClearCameraStatus 0x%x", 0x30au), 23u);
  EXPECT_STREQ(line, "ClearCameraStatus 0x30a");
}

// The registered path is read into 260 bytes: a path of 259 characters
// and its terminator is started as it stands; a longer one is not read and
// nothing is started.
TEST_F(TrayTest, TheLongestAppNameIsStartedAndALongFriendlyNameIsLoggedCut) {
  const std::string path = "C:\\" + std::string(256, 'a');
  WriteAppName(path, REG_SZ);
  const std::string longName = "Qorvane " + std::string(3000, 'q');
  PluggedCamera camera("notebook", 1, longName);
  ASSERT_TRUE(camera.Ok());
  StartTray();
  ASSERT_TRUE(WaitUntil([&] { return desk_->Count("plug in and play!") == 1; }));
  bool sawName = false;
  for (const LogLine& l : desk_->Lines())
    if (l.level == 100 && l.text.rfind("Qorvane qqq", 0) == 0) {
      sawName = true;
      EXPECT_EQ(l.text, longName.substr(0, qorbm::kLogLineSize - 1));
    }
  EXPECT_TRUE(sawName);
  camera.Press(2);
  ASSERT_TRUE(WaitUntil([&] { return desk_->Broadcasts().size() == 1; }));
  std::vector<std::string> starts = StartedPaths();
  ASSERT_EQ(starts.size(), 2u);  // the tray, then the capture application
  EXPECT_EQ(starts[1], path);
  EXPECT_EQ(CaptureStarts(), 0u);

  WriteAppName(path + "b", REG_SZ);
  camera.Press(4);
  ASSERT_TRUE(WaitUntil([&] { return desk_->Broadcasts().size() == 2; }));
  EXPECT_EQ(StartedPaths().size(), 2u);
}

}  // namespace
}  // namespace tray_test
