// The update dialog on the PC's window system: its controls and options,
// device changes around an update, the dump file and the single instance.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <thread>

#include "platform/machine/paths.h"
#include "platform/machine/programs.h"
#include "platform/machine/window_system.h"
#include "tests/updater/updater_rig.h"
#include "tools/qcam/cmd_update.h"
#include "updater/resource.h"
#include "updater/upgrade_dialog.h"

namespace updatertest {
namespace {

class DialogTest : public UpdaterTest {
 protected:
  void TearDown() override {
    platform::ResetWindowSystemControls();
    UpdaterTest::TearDown();
  }
  // Runs the dialog modally; `step` runs at every idle moment of its loop
  // and returns true to close it.
  void Run(const CSettingsProfile& settings, const std::function<bool(HWND, CUpgradeDialog&)>& step) {
    CUpgradeDialog dialog(GetModuleHandleA(nullptr), settings);
    platform::SetModalHook([&](platform::WindowHandle w, platform::ModalEvent e) {
      if (e == platform::ModalEvent::Idle && w == dialog.GetSafeHwnd() && step(w, dialog)) dialog.EndDialog(IDCANCEL);
    });
    dialog.DoModal();
    platform::SetModalHook(nullptr);
  }
  static std::string Text(HWND dialog, int id) {
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
  }
  static bool Visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
  static bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
  static std::vector<std::string> Log(HWND dialog) {
    std::vector<std::string> lines;
    const int n = int(SendDlgItemMessageA(dialog, IDC_LOG_LIST, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char line[256] = {};
      SendDlgItemMessageA(dialog, IDC_LOG_LIST, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(line));
      lines.push_back(line);
    }
    return lines;
  }
  static void Toggle(HWND dialog, int id, bool on) {
    HWND box = GetDlgItem(dialog, id);
    SendMessageA(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(box));
  }
};

TEST_F(DialogTest, OpensWithHiddenControlsOptionsAndDetectedVersion) {
  Plug();
  Run(CSettingsProfile(), [&](HWND d, CUpgradeDialog& dialog) -> bool {
    char caption[64] = {};
    GetWindowTextA(d, caption, sizeof(caption));
    EXPECT_STREQ(caption, "Firmware Upgrade Tool");
    for (int id : {IDC_OPT_PROGRAM, IDC_OPT_WRITE, IDC_OPT_VERIFY, IDC_OPT_DUMP, IDC_OPT_WP_RESTORE, IDC_LOG_LIST,
                   IDC_DEVICE_COMBO, IDC_UNUSED_BUTTON})
      EXPECT_FALSE(Visible(d, id)) << id;
    EXPECT_TRUE(Visible(d, IDC_PROGRESS));
    EXPECT_FALSE(Enabled(d, IDC_CLOSE));
    EXPECT_TRUE(Enabled(d, IDC_UPGRADE));
    EXPECT_EQ(Text(d, IDC_FW_VERSION), "1.0.100915");
    EXPECT_EQ(Text(d, IDC_STATUS), "The program will upgrade the firmware of your camera!");
    const std::vector<std::string> log = Log(d);
    EXPECT_EQ(log.front(), "FW Update Version = 2010/12/07. V0.01");
    EXPECT_EQ(log.back(), "1.0.100915");
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_OPT_PROGRAM), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_OPT_DUMP), BST_UNCHECKED);
    std::vector<platform::MenuItemInfo> menu;
    EXPECT_TRUE(platform::DescribeMenu(GetSystemMenu(d, FALSE), &menu));
    if (!menu.empty()) {
      EXPECT_EQ(menu.back().id, IDM_ABOUTBOX);
      EXPECT_EQ(menu.back().text, "&About QCAMLDR...");
    }

    // Program off takes write with it; write on brings program back.
    Toggle(d, IDC_OPT_PROGRAM, false);
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_OPT_WRITE), BST_UNCHECKED);
    EXPECT_FALSE(dialog.Options().write);
    Toggle(d, IDC_OPT_WRITE, true);
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_OPT_PROGRAM), BST_CHECKED);
    EXPECT_TRUE(dialog.Options().program && dialog.Options().write);
    return true;
  });
}

TEST_F(DialogTest, WriteProtectHandlingShowsItsCheckBox) {
  Plug();
  CSettingsProfile settings;
  settings.AddValue("WriteProtect", "WPFuncEnable", "1");
  Run(settings, [&](HWND d, CUpgradeDialog&) -> bool {
    EXPECT_TRUE(Visible(d, IDC_OPT_WP_RESTORE));
    return true;
  });
}

TEST_F(DialogTest, UnplugAndPlugBeforeAnUpdate) {
  sim::GenericCameraDevice& camera = Plug();
  int step = 0;
  Run(CSettingsProfile(), [&](HWND d, CUpgradeDialog&) -> bool {
    if (step++ == 0) {
      camera.Unplug();
      EXPECT_EQ(Text(d, IDC_FW_VERSION), "");
      EXPECT_EQ(Text(d, IDC_STATUS), "Device is not connected!");
      EXPECT_EQ(Text(d, IDC_PROGRESS_TEXT), "");
      EXPECT_TRUE(Enabled(d, IDC_UPGRADE)) << "removal disables nothing";
      EXPECT_TRUE(camera.Plug());
      EXPECT_EQ(Text(d, IDC_FW_VERSION), "1.0.100915");
      EXPECT_TRUE(Enabled(d, IDC_UPGRADE));
      EXPECT_EQ(Log(d).back(), "1.0.100915");
    }
    return true;
  });
}

TEST_F(DialogTest, RemovalAfterTheUpdateKeepsTheStatusAndArrivalShowsNewVersion) {
  // The chip stays off the bus for five PC seconds, long enough for the
  // dialog to see the removal on its own.
  sim::GenericCameraDevice& camera = Plug(0x9710, {}, 1, 5000);
  bool clicked = false, sawRemoval = false;
  Run(CSettingsProfile(), [&](HWND d, CUpgradeDialog&) -> bool {
    if (!clicked) {
      clicked = true;
      EXPECT_TRUE(platform::ClickDialogButton(d, IDC_UPGRADE));
      return false;
    }
    // The chip's worker announces its removal and its arrival to this
    // thread's dialog, so the loop keeps pumping messages until the chip
    // is back, never blocking on the worker; a null message brings the
    // loop round again when nothing else would wake it.
    auto comeBack = [d] {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      PostMessageA(d, WM_NULL, 0, 0);
      return false;
    };
    if (!sawRemoval) {
      if (camera.Plugged() && camera.Restarting()) return comeBack();  // not off the bus yet
      if (camera.Plugged()) {
        ADD_FAILURE() << "the chip left the bus and came back unseen";
        return true;
      }
      sawRemoval = true;
      EXPECT_EQ(Text(d, IDC_STATUS), "Firmware upgrading successfully done!");
      EXPECT_EQ(Text(d, IDC_FW_VERSION), "1.0.100915");
      return comeBack();
    }
    if (camera.Restarting()) return comeBack();
    camera.WaitRestart();
    EXPECT_EQ(Text(d, IDC_FW_VERSION), "1.3.101203");
    EXPECT_TRUE(Enabled(d, IDC_CLOSE));
    const std::vector<std::string> log = Log(d);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Device is not connected!"), 0);
    EXPECT_EQ(log.front(), "Start update procedure");
    return true;
  });
  EXPECT_TRUE(clicked);
  EXPECT_TRUE(sawRemoval);
}

TEST_F(UpdaterTest, DumpFileLinesAndName) {
  sim::GenericCameraDevice& camera = Plug();
  auto core = MakeCore();
  core->Detect(DetectAtStart);
  core->WriteFlashDump(65536);
  const std::string name = core->LastDumpPath();
  EXPECT_TRUE(std::regex_match(name, std::regex(R"(C:\\FW_\d{4}_\d{4}_\d{6}\.txt)"))) << name;
  std::string host;
  ASSERT_TRUE(platform::MapWin32Path(name, &host));
  std::ifstream in(host, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  char first[32], last[32];
  std::snprintf(first, sizeof(first), "0x00, 0x%02X\r\n", camera.Flash().Bytes()[0]);
  std::snprintf(last, sizeof(last), "0xFFFF, 0x%02X\r\n", camera.Flash().Bytes()[0xFFFF]);
  EXPECT_EQ(text.substr(0, strlen(first)), first);
  EXPECT_EQ(text.substr(text.size() - strlen(last)), last);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 65536);
  EXPECT_EQ(view_.log.back(), "UVC: logging Flash FW contect...finished.");

  // Without a C: folder the file cannot be made and nothing is written.
  std::filesystem::remove_all(root_ + "/C");
  view_.messages.clear();
  core->WriteFlashDump(16);
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].rfind("Can not create C:\\FW_", 0), 0u);
}

TEST_F(UpdaterTest, SecondInstanceShowsMessageAndEnds) {
  const std::string target = root_ + "/C/Program Files/Qorvane/QCAMLDR.exe";
  std::filesystem::create_directories(std::filesystem::path(target).parent_path());
  std::filesystem::copy_file(qcam_tool::BuiltUpdaterPath(), target);
  std::atomic<bool> shown{false};
  platform::SetModalHook([&](platform::WindowHandle, platform::ModalEvent) { shown = true; });
  platform::ClearMessageBoxLog();
  std::string error;
  auto first = platform::StartProgram(qcam_tool::kUpdaterWin32Path, "", &error);
  ASSERT_TRUE(first) << error;
  while (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  auto second = platform::StartProgram(qcam_tool::kUpdaterWin32Path, "", &error);
  ASSERT_TRUE(second) << error;
  EXPECT_EQ(second->Wait(), 0);
  std::vector<platform::MessageBoxRecord> boxes = platform::MessageBoxLog();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, "Another instance of this program is already running");
  EXPECT_EQ(boxes.back().caption, "");
  EXPECT_EQ(boxes.back().type & MB_ICONEXCLAMATION, unsigned(MB_ICONEXCLAMATION));
  for (platform::WindowHandle w : platform::TopLevelWindowList()) platform::CloseWindowByUser(w);
  first->Wait();
  second.reset();
  first.reset();
  platform::SetModalHook(nullptr);
}

}  // namespace
}  // namespace updatertest
