// The open-file dialog as the machine answers it: the scripted path, a
// cancel, a file that must exist, and callers' structures that are wrong.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/machine/window_system.h"
#include "platform/nt/platform_control.h"

namespace {

class OpenFileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    platform::ResetWindowSystemControls();
    char pattern[] = "/tmp/qcam-ofn-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    ASSERT_TRUE(platform::SetRoot(root_));
    std::filesystem::create_directories(root_ + "/C");
    std::ofstream(root_ + "/C/frame.bmp") << "BM";
  }
  void TearDown() override {
    platform::ResetWindowSystemControls();
    platform::ResetMachine();
    std::filesystem::remove_all(root_);
  }
  OPENFILENAMEA Dialog(char* buffer, DWORD size, DWORD flags = OFN_FILEMUSTEXIST) {
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof(ofn));
    ofn.lStructSize = sizeof(ofn);
    ofn.lpstrFilter = "BMP Files\0*.bmp\0";
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = size;
    ofn.Flags = flags;
    return ofn;
  }
  std::string root_;
};

TEST_F(OpenFileDialogTest, AnswersComeFromTheScript) {
  char path[260] = {};
  OPENFILENAMEA ofn = Dialog(path, sizeof(path));
  EXPECT_FALSE(GetOpenFileNameA(&ofn)) << "without a script the user cancels";
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  platform::ScriptOpenFileAnswers({"C:\\missing.bmp", "C:\\frame.bmp", ""});
  EXPECT_FALSE(GetOpenFileNameA(&ofn)) << "a file that is not there cannot be confirmed";
  ASSERT_TRUE(GetOpenFileNameA(&ofn));
  EXPECT_STREQ(path, "C:\\frame.bmp");
  EXPECT_EQ(ofn.nFileOffset, 3);
  EXPECT_EQ(ofn.nFileExtension, 9);
  EXPECT_FALSE(GetOpenFileNameA(&ofn)) << "an empty answer is Cancel";
  // Without OFN_FILEMUSTEXIST any path is taken.
  platform::ScriptOpenFileAnswers({"C:\\new"});
  OPENFILENAMEA any = Dialog(path, sizeof(path), 0);
  ASSERT_TRUE(GetOpenFileNameA(&any));
  EXPECT_EQ(any.nFileExtension, 6) << "no extension: the end of the name";
}

TEST_F(OpenFileDialogTest, BadStructuresAreRefused) {
  EXPECT_FALSE(GetOpenFileNameA(nullptr));
  EXPECT_EQ(CommDlgExtendedError(), DWORD(CDERR_INITIALIZATION));
  char path[8] = {};
  OPENFILENAMEA ofn = Dialog(path, sizeof(path));
  ofn.lStructSize = 12;
  EXPECT_FALSE(GetOpenFileNameA(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), DWORD(CDERR_STRUCTSIZE));
  ofn = Dialog(nullptr, 10);
  EXPECT_FALSE(GetOpenFileNameA(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), DWORD(CDERR_INITIALIZATION));
  // A buffer too small: the size needed in its first word, nothing copied
  // past its end.
  platform::ScriptOpenFileAnswers({"C:\\frame.bmp"});
  char small[10];
  std::memset(small, 'x', sizeof(small));
  ofn = Dialog(small, 8);
  EXPECT_FALSE(GetOpenFileNameA(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), DWORD(FNERR_BUFFERTOOSMALL));
  WORD needed = 0;
  std::memcpy(&needed, small, sizeof(needed));
  EXPECT_EQ(needed, 13);
  EXPECT_EQ(small[8], 'x');
  // The structure as it was before Windows 2000 is taken.
  platform::ScriptOpenFileAnswers({"C:\\frame.bmp"});
  char full[64] = {};
  ofn = Dialog(full, sizeof(full));
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  EXPECT_TRUE(GetOpenFileNameA(&ofn));
}

}  // namespace
