// The tray's part of 'qcam install' and the debug-log viewer, as a program
// of the PC sees them: QORBM.ini read back section by section in each
// language's code page, the tray's switches and BM.ini kept across installs,
// the capture application found through its AppName in either registry
// view, and the viewer writing what WM_COPYDATA brought it, bounded by
// cbData.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "platform/machine/codepages.h"
#include "platform/machine/pc_settings.h"
#include "platform/machine/programs.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_ids.h"
#include "shared/tray_names.h"
#include "sim/log_viewer/viewer_line.h"
#include "tests/qcam/qcam_test_files.h"
#include "tools/qcam/localisation_file.h"
#include "tools/qcam/package.h"

namespace {

namespace fs = std::filesystem;

std::string InstalledRoot(const std::string& name) {
  const std::string root = qcam_test::FreshDir("qcam_tray_install", name);
  std::vector<std::string> done;
  std::string error;
  EXPECT_TRUE(qcam_tool::InstallPackage(root, &done, &error)) << error;
  return root;
}

// "[section]" -> its lines, as text split at line ends (CR LF or LF).
std::map<std::string, std::vector<std::string>> Sections(const std::string& text) {
  std::map<std::string, std::vector<std::string>> out;
  std::string section;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    if (!line.empty() && line[0] != ';') out[section].push_back(line);
  }
  return out;
}

std::string ReadAppName(REGSAM view) {
  HKEY key = NULL;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, qcam::kCaptureAppKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return "";
  char value[260] = {};
  DWORD size = sizeof(value) - 1;
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExA(key, qcam::kCaptureAppPathValue, NULL, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_SZ ? std::string(value) : std::string();
}

TEST(TrayInstall, TextsSwitchesAndProgramsAreWhereTheTrayLooks) {
  const std::string root = InstalledRoot("texts");

  // Every section of QORBM.ini, read in its language's code page, says what
  // the UTF-8 source says; Russian goes through code page 1251.
  const auto installed = Sections(qcam_test::ReadText(root + "/Windows/System32/QORBM.ini"));
  const auto source = Sections(qcam::TrayLocalisationSource());
  ASSERT_EQ(installed.size(), 14u);
  ASSERT_EQ(installed.size(), source.size());
  for (const auto& section : source) {
    SCOPED_TRACE(section.first);
    ASSERT_TRUE(installed.count(section.first));
    const uint32_t page = qcam::SectionCodePage(section.first);
    const std::vector<std::string>& lines = installed.at(section.first);
    ASSERT_EQ(lines.size(), 4u);
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(platform::AnsiToUtf8(page, lines[i]), section.second[i]);
  }
  EXPECT_EQ(installed.at("LANG_RUSSIAN")[1], "ID_MENU_EXIT=&\xC2\xFB\xF5\xEE\xE4") << "&Выход in code page 1251";
  EXPECT_EQ(installed.at("LANG_ENGLISH")[0], "ID_MENU_TOOLTIP=Button Manager");
  EXPECT_EQ(platform::AnsiCodePageOfLanguage(1049), 1251u);

  // The tray's switches; the user's own values survive another install, and
  // so does the language choice beside the program.
  uint32_t value = 0;
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "QORTray", &value));
  EXPECT_EQ(value, 1u);
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "debug", &value));
  EXPECT_EQ(value, 103u);
  const std::string bm = root + "/C/Program Files/Qorvane/BM.ini";
  EXPECT_EQ(qcam_test::ReadText(bm), "[BM]\r\nLanguage=1000\r\n");
  ASSERT_TRUE(platform::RegSetDword(qcam::kKeyCurrentA, "QORTray", 0));
  qcam_test::WriteText(bm, "[BM]\r\nLanguage=0C0C\r\n");
  std::vector<std::string> done;
  std::string error;
  ASSERT_TRUE(qcam_tool::InstallPackage(root, &done, &error)) << error;
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "QORTray", &value));
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(qcam_test::ReadText(bm), "[BM]\r\nLanguage=0C0C\r\n");

  // A 32-bit program finds the capture application whether or not it runs
  // on 64-bit Windows, and the programs are where the paths say.
  EXPECT_EQ(ReadAppName(0), qcam_tool::kCaptureAppWin32Path);
  platform::PcSettings settings = platform::GetPcSettings();
  settings.wow64 = true;
  ASSERT_TRUE(platform::SetPcSettings(settings));
  EXPECT_EQ(ReadAppName(0), qcam_tool::kCaptureAppWin32Path) << "the WOW6432Node view";
  settings.wow64 = false;
  ASSERT_TRUE(platform::SetPcSettings(settings));
  EXPECT_TRUE(fs::is_regular_file(root + "/C/Program Files/ArcSoft/WebCam Companion 3/CaptureApp.exe"));
  EXPECT_TRUE(fs::is_regular_file(root + "/C/Tools/QORMsgBox.exe"));
  EXPECT_TRUE(qcam_tool::PackageInstalled(root));
  fs::remove(root + "/C/Tools/QORMsgBox.exe");
  EXPECT_FALSE(qcam_tool::PackageInstalled(root)) << "a missing viewer makes the next command install again";
}

// Sends one WM_COPYDATA as the tray does.
void SendLine(HWND viewer, ULONG_PTR level, const void* data, DWORD size) {
  COPYDATASTRUCT copy{};
  copy.dwData = level;
  copy.cbData = size;
  copy.lpData = const_cast<void*>(data);
  SendMessageA(viewer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
}

TEST(TrayInstall, ViewerWritesEachMessageAsOneLineBoundedByItsLength) {
  const std::string root = InstalledRoot("viewer");
  std::string error;
  std::unique_ptr<platform::RunningProgram> viewer = platform::StartProgram(qcam_tool::kLogViewerWin32Path, "", &error);
  ASSERT_TRUE(viewer) << error;
  HWND window = NULL;
  for (int i = 0; i < 5000 && !window; ++i) {
    window = FindWindowA(NULL, qcam::kLogViewerTitle);
    if (!window) Sleep(1);
  }
  ASSERT_TRUE(window) << "the viewer's window is titled QORMsgBox";

  // The text is what cbData covers: the bytes after it are never read, a
  // zero inside ends the text, line breaks do not split the line.
  const char checked[] = "Check snap buttonXXXX";
  SendLine(window, 103, checked, 17);
  const char split[] = "two\r\nlines\0hidden";
  SendLine(window, 100, split, sizeof(split) - 1);
  SendLine(window, 101, nullptr, 12);
  // The PC's code page: a friendly name in Japanese (code page 932).
  platform::PcSettings settings = platform::GetPcSettings();
  settings.languageId = 1041;
  ASSERT_TRUE(platform::SetPcSettings(settings));
  const char japanese[] = "\x83\x4A\x83\x81\x83\x89";  // カメラ
  SendLine(window, 100, japanese, 6);
  settings.languageId = 1033;
  ASSERT_TRUE(platform::SetPcSettings(settings));
  std::string huge(3 * sim::kViewerTextLimit, 'a');
  SendLine(window, 102, huge.data(), DWORD(huge.size()));

  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(viewer->Wait(), 0);
  const std::string log = qcam_test::ReadText(root + "/qormsgbox.log");
  const std::string expected = "103 Check snap button\n100 two  lines\n101 \n100 \xE3\x82\xAB\xE3\x83\xA1\xE3\x83\xA9\n102 " +
                               std::string(sim::kViewerTextLimit, 'a') + "\n";
  EXPECT_EQ(log, expected);
}

}  // namespace
