// QORBM on the PC: the button's states, several bits in one tick, the
// capture application already running, the plug-state follow-up with the
// icon and the poll thread's idling, the tray menu, two cameras, a second
// instance, no icon, the language of its texts, and the commands that end
// it or do not.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/machine/paths.h"

#include "platform/machine/window_system.h"
#include "shared/qcam_ids.h"
#include "shared/tray_names.h"
#include "tests/tray/tray_rig.h"
#include "tray/camera_device_link.h"

namespace tray_test {
namespace {

std::vector<std::string> ClearLines(Desk& desk) {
  std::vector<std::string> out;
  for (const LogLine& l : desk.Lines())
    if (l.text.rfind("ClearCameraStatus 0x", 0) == 0) out.push_back(l.text);
  return out;
}

HWND CaptureWindow() { return FindWindowA(qcam::kCaptureAppWindowClass, qcam::kCaptureAppWindowTitle); }

TEST_F(TrayTest, EachButtonStateStartsTheCaptureApplicationOnceAndIsBroadcast) {
  PluggedCamera camera("notebook", 1, "Qorvane USB2.0 Camera");
  ASSERT_TRUE(camera.Ok());
  StartTray();
  ASSERT_TRUE(WaitUntil([&] { return desk_->Count("plug in and play!") == 1; }));
  const std::vector<LogLine> start = desk_->Lines();
  ASSERT_GE(start.size(), 3u);
  EXPECT_EQ(start[0].text, "CQORTrayDlg, ulCameraStatus = 0x1");
  EXPECT_EQ(start[0].level, 103u);
  EXPECT_EQ(start[1].text, "Qorvane USB2.0 Camera");
  EXPECT_EQ(start[1].level, 100u);
  EXPECT_EQ(desk_->Count("Thread Start"), 1u);
  ASSERT_EQ(platform::NotifyIcons().size(), 1u);
  EXPECT_EQ(platform::NotifyIcons()[0].tip, "Button Manager");
  EXPECT_FALSE(IsWindowVisible(TrayDialog()));

  // State 2: bit 0x100, wParam 3; the application starts.
  camera.Press(2);
  ASSERT_TRUE(WaitUntil([&] { return desk_->Broadcasts().size() == 1; }));
  EXPECT_EQ(desk_->Broadcasts()[0], WPARAM(3));
  EXPECT_EQ(CaptureStarts(), 1u);
  EXPECT_TRUE(WaitUntil([] { return CaptureWindow() != NULL; }));
  EXPECT_EQ(ReadStatus() & qcam::kStatusButton2, 0u);
  EXPECT_GE(desk_->Count("Check snap button"), 1u);
  ASSERT_EQ(ClearLines(*desk_).size(), 1u);

  // State 4: bit 0x200, wParam 1; state 1 while idle: bit 0x2, wParam 2.
  // The application runs already: no second start.
  camera.Press(4);
  ASSERT_TRUE(WaitUntil([&] { return desk_->Broadcasts().size() == 2; }));
  camera.Press(1);
  ASSERT_TRUE(WaitUntil([&] { return desk_->Broadcasts().size() == 3; }));
  EXPECT_EQ(desk_->Broadcasts(), (std::vector<WPARAM>{3, 1, 2}));
  EXPECT_EQ(CaptureStarts(), 1u);
  EXPECT_EQ(ReadStatus() & (qcam::kStatusButton4 | qcam::kStatusButtonIdle), 0u);
  // The application heard the last two.
  EXPECT_TRUE(WaitUntil([] { return GetWindowLongPtrA(CaptureWindow(), GWLP_USERDATA) >= 2; }));
}

TEST_F(TrayTest, SeveralBitsInOneTickAreHandledInOrderAndOnlyExitEndsTheTray) {
  PluggedCamera camera("notebook", 1, "Qorvane USB2.0 Camera");
  std::string error;
  captureApp_ = platform::StartProgram(kCapturePath, "", &error);
  ASSERT_TRUE(captureApp_) << error;
  ASSERT_TRUE(WaitUntil([] { return CaptureWindow() != NULL; }));
  StartTray();
  ASSERT_TRUE(WaitUntil([&] { return desk_->Count("plug in and play!") == 1; }));

  const DWORD base = ReadStatus() & ~DWORD(0x30A);
  WriteStatus(base | 0x30A);
  ASSERT_TRUE(WaitUntil([&] { return desk_->Broadcasts().size() == 4; }));
  EXPECT_EQ(desk_->Broadcasts(), (std::vector<WPARAM>{2, 2, 3, 1}));
  EXPECT_EQ(ReadStatus() & 0x30A, 0u);
  char expected[4][40];
  std::snprintf(expected[0], 40, "ClearCameraStatus 0x%x", unsigned(base | 0x308));
  std::snprintf(expected[1], 40, "ClearCameraStatus 0x%x", unsigned(base | 0x300));
  std::snprintf(expected[2], 40, "ClearCameraStatus 0x%x", unsigned(base | 0x200));
  std::snprintf(expected[3], 40, "ClearCameraStatus 0x%x", unsigned(base));
  const std::vector<std::string> cleared = ClearLines(*desk_);
  ASSERT_EQ(cleared.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(cleared[size_t(i)], expected[i]);
  // The application that ran already got them all, and was not started again.
  EXPECT_EQ(CaptureStarts(), 1u);
  EXPECT_TRUE(WaitUntil([] { return GetWindowLongPtrA(CaptureWindow(), GWLP_USERDATA) == 4; }));

  // "exit" in lower case, "EXIT" with another id, and a command without
  // data do nothing.
  WriteStatus(ReadStatus() | qcam::kStatusTrayExit);
  SendCommand(qcam::kTrayCommandId, "exit", 4);
  SendCommand(qcam::kTrayCommandId + 1, "EXIT", 4);
  SendCommand(qcam::kTrayCommandId, nullptr, 4);
  PcWait(3);
  EXPECT_FALSE(tray_->Finished());
  EXPECT_NE(ReadStatus() & qcam::kStatusTrayExit, 0u);
  // "EXIT" clears bit 0x4 through the driver, removes the icon and ends.
  EndTray();
  EXPECT_EQ(ReadStatus() & qcam::kStatusTrayExit, 0u);
  EXPECT_TRUE(platform::NotifyIcons().empty());
  EXPECT_EQ(TrayDialog(), nullptr);
  const std::vector<std::string> icons = IconEvents();
  ASSERT_FALSE(icons.empty());
  EXPECT_EQ(icons.back(), "delete Button Manager");
}

TEST_F(TrayTest, UnplugAndPlugAreFollowedOnceAndTheMenuFollowsTheCamera) {
  auto camera = std::make_unique<PluggedCamera>("notebook", 1, "Qorvane USB2.0 Camera");
  StartTray();
  ASSERT_TRUE(WaitUntil([&] { return desk_->Count("plug in and play!") == 1; }));

  std::mutex menuLock;
  std::vector<platform::PopupMenuEvent> menus;
  platform::SetPopupMenuHook([&](const platform::PopupMenuEvent& e) {
    std::lock_guard<std::mutex> hold(menuLock);
    menus.push_back(e);
  });
  auto menuCount = [&] {
    std::lock_guard<std::mutex> hold(menuLock);
    return menus.size();
  };
  // 50 Hz chosen from the menu, then the menu shows it checked.
  platform::ScriptMenuChoices({32780});
  ASSERT_TRUE(platform::ClickNotifyIcon(0, WM_RBUTTONUP));
  ASSERT_TRUE(WaitUntil([&] { return menuCount() == 1; }));
  PcWait(1);
  ASSERT_TRUE(platform::ClickNotifyIcon(0, WM_RBUTTONUP));
  ASSERT_TRUE(WaitUntil([&] { return menuCount() == 2; }));
  {
    std::lock_guard<std::mutex> hold(menuLock);
    const std::vector<platform::MenuItemInfo>& items = menus[1].items;
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].id, 32798);
    EXPECT_EQ(items[0].text, "&Exit");
    EXPECT_TRUE(items[1].separator);
    EXPECT_EQ(items[2].text, "&50Hz");
    EXPECT_TRUE(items[2].checked);
    EXPECT_FALSE(items[2].grayed);
    EXPECT_EQ(items[4].text, "&60Hz");
    EXPECT_FALSE(items[4].checked);
    EXPECT_EQ(menus[1].owner, TrayDialog());
  }

  // Unplugged: followed once, the icon made again, no more button checks,
  // the power-line items grayed.
  const size_t iconEventsBefore = IconEvents().size();
  camera.reset();
  ASSERT_TRUE(WaitUntil([&] { return desk_->Count("plug out or stop") == 1; }));
  PcWait(1);
  const size_t checks = desk_->Count("Check snap button");
  PcWait(12);
  EXPECT_EQ(desk_->Count("Check snap button"), checks);
  EXPECT_EQ(desk_->Count("plug out or stop"), 1u);
  const std::vector<std::string> icons = IconEvents();
  ASSERT_GE(icons.size(), iconEventsBefore + 2);
  EXPECT_EQ(icons[iconEventsBefore], "delete Button Manager");
  EXPECT_EQ(icons[iconEventsBefore + 1], "add Button Manager");
  ASSERT_TRUE(platform::ClickNotifyIcon(0, WM_RBUTTONUP));
  ASSERT_TRUE(WaitUntil([&] { return menuCount() == 3; }));
  {
    std::lock_guard<std::mutex> hold(menuLock);
    EXPECT_TRUE(menus[2].items[2].grayed);
    EXPECT_TRUE(menus[2].items[4].grayed);
    EXPECT_FALSE(menus[2].items[2].checked);
  }

  // Plugged in again: followed once, and the button works again.
  camera = std::make_unique<PluggedCamera>("notebook", 1, "Qorvane USB2.0 Camera");
  ASSERT_TRUE(WaitUntil([&] { return desk_->Count("plug in and play!") == 2; }));
  camera->Press(2);
  ASSERT_TRUE(WaitUntil([&] { return desk_->Broadcasts().size() == 1; }));
  EXPECT_EQ(desk_->Count("plug out or stop"), 1u);
  EXPECT_EQ(desk_->Count("plug in and play!"), 2u);

  // Exit from the menu ends the tray.
  platform::ScriptMenuChoices({32798});
  ASSERT_TRUE(platform::ClickNotifyIcon(0, WM_RBUTTONUP));
  ASSERT_TRUE(WaitUntil([&] { return tray_->Finished(); }));
  EXPECT_TRUE(platform::NotifyIcons().empty());
  platform::SetPopupMenuHook(nullptr);
}

TEST_F(TrayTest, TheCameraWithThePrivateSetIsChosenASecondInstanceEndsAndNoIconStillWatches) {
  // No icon, and a log of levels 100 and 101 only.
  WriteTrayValues(0, 101);
  PluggedCamera other("basic", 1, "Other Maker Camera");
  PluggedCamera ours("notebook", 2, "Qorvane USB2.0 Camera");
  ASSERT_TRUE(other.Ok());
  ASSERT_TRUE(ours.Ok());
  {
    // The camera without the private set comes first in enumeration order.
    ASSERT_EQ(CoInitialize(NULL), S_OK);
    std::vector<std::string> display, friendly;
    qorbm::CameraDeviceLink::ListDevices(&display, &friendly);
    CoUninitialize();
    ASSERT_EQ(friendly, (std::vector<std::string>{"Other Maker Camera", "Qorvane USB2.0 Camera"}));
  }
  StartTray();
  ASSERT_TRUE(WaitUntil([&] { return desk_->Count("plug in and play!") == 1; }));
  EXPECT_EQ(desk_->Count("Qorvane USB2.0 Camera"), 1u);
  EXPECT_EQ(desk_->Count("Other Maker Camera"), 0u);
  EXPECT_TRUE(platform::NotifyIcons().empty());

  ours.Press(4);
  ASSERT_TRUE(WaitUntil([&] { return desk_->Broadcasts().size() == 1; }));
  EXPECT_EQ(desk_->Broadcasts()[0], WPARAM(1));
  for (const LogLine& l : desk_->Lines()) EXPECT_LE(l.level, 101u) << l.text;

  // A second instance ends at once, silently.
  platform::ClearMessageBoxLog();
  std::string error;
  auto second = platform::StartProgram(kTrayPath, "", &error, kTrayFolder);
  ASSERT_TRUE(second) << error;
  EXPECT_EQ(second->Wait(), 0);
  EXPECT_TRUE(platform::MessageBoxLog().empty());
  EXPECT_FALSE(tray_->Finished());
  EXPECT_EQ(desk_->Count("Thread Start"), 1u);
  // The device change of another camera keeps the chosen one.
  PluggedCamera third("basic", 3, "Third Camera");
  PcWait(3);
  EXPECT_EQ(desk_->Count("Qorvane USB2.0 Camera"), 1u);
  EXPECT_TRUE(platform::NotifyIcons().empty());
}

TEST_F(TrayTest, TextsComeInTheConfiguredOrTheSystemLanguage) {
  WriteIni("C:\\Windows\\System32\\QORBM.ini",
           "[LANG_ENGLISH]\r\nID_MENU_TOOLTIP=Snapshot Button\r\n"
           "[LANG_FRENCH]\r\nID_MENU_TOOLTIP=Bouton photo\r\nID_MENU_EXIT=&Quitter\r\n"
           "[LANG_SPANISH]\r\nID_MENU_TOOLTIP=Boton de foto\r\n");
  struct Case {
    const char* bmIni;  // null: no BM.ini
    uint16_t system;
    const char* tip;
  };
  const Case cases[] = {
      {"[BM]\r\nLanguage=0C0C\r\n", 1033, "Bouton photo"},     // French (Canada) configured
      {"[BM]\r\nLanguage=0C0A\r\n", 1033, "Boton de foto"},    // Spanish (modern sort)
      {"[BM]\r\nLanguage=1000\r\n", 1036, "Bouton photo"},     // the system's French
      {"[BM]\r\nLanguage=zz\r\n", 3082, "Boton de foto"},      // not hexadecimal: the system's
      {nullptr, 3084, "Snapshot Button"},                       // the system's French (Canada) is not known
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tip);
    std::string host;
    ASSERT_TRUE(platform::MapWin32Path("C:\\Program Files\\Qorvane\\BM.ini", &host));
    std::filesystem::remove(host);
    if (c.bmIni) WriteIni("C:\\Program Files\\Qorvane\\BM.ini", c.bmIni);
    SetLanguage(c.system);
    StartTray();
    ASSERT_TRUE(WaitUntil([&] { return platform::NotifyIcons().size() == 1; }));
    EXPECT_EQ(platform::NotifyIcons()[0].tip, c.tip);
    EndTray();
  }
}

}  // namespace
}  // namespace tray_test
