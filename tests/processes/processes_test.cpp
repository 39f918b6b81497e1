// Programs as processes of the PC: two starts of one image, what each
// process keeps for itself (statics, module, resources, current directory,
// window classes), what they share (windows, messages, named objects, the
// notification area), CreateProcessA from a program, and what the end of a
// process takes with it.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/machine/device_notify.h"
#include "platform/machine/notify_icons.h"
#include "platform/machine/programs.h"
#include "platform/machine/window_system.h"
#include "tests/sys/pc_root.h"

namespace {

const char kProbePath[] = "C:\\Tools\\probe.exe";

struct StartRecord {
  std::string path;
  uint32_t processId;
  bool started;
};

class ProcessesTest : public sys_test::PcRootTest {
 protected:
  void SetUp() override {
    PcRootTest::SetUp();
    std::filesystem::create_directories(Host("C/Tools"));
    std::filesystem::create_directories(Host("C/Work"));
    std::filesystem::copy_file(QCAM_PROBE_PROGRAM, Host("C/Tools/probe.exe"));
    platform::ResetNotifyIcons();
    platform::SetProgramStartObserver([this](const std::string& path, uint32_t id, bool started) {
      std::lock_guard<std::mutex> hold(lock_);
      starts_.push_back({path, id, started});
    });
    platform::SetNotifyIconObserver([this](const char* action, const platform::NotifyIconState& icon) {
      std::lock_guard<std::mutex> hold(lock_);
      iconEvents_.push_back(std::string(action) + " " + icon.tip);
    });
  }
  void TearDown() override {
    platform::SetProgramStartObserver(nullptr);
    platform::SetNotifyIconObserver(nullptr);
    platform::ResetNotifyIcons();
    PcRootTest::TearDown();
  }

  // Waits (in real time, boundedly) until `done` holds, pumping this
  // thread's messages meanwhile.
  static bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 20000; ++i) {
      MSG msg;
      while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  static std::string Title(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
  }
  // The probe window of process `id`, or null.
  static HWND ProbeOf(uint32_t id) {
    for (HWND w : platform::TopLevelWindowList()) {
      char cls[64] = {};
      GetClassNameA(w, cls, sizeof cls);
      if (std::string(cls) == "ProbeWindow" && Title(w).rfind("pid=" + std::to_string(id) + " ", 0) == 0) return w;
    }
    return NULL;
  }
  static HWND WaitForProbe(uint32_t id) {
    HWND w = NULL;
    WaitUntil([&] { return (w = ProbeOf(id)) != NULL; });
    return w;
  }
  static void Quit(HWND window) {
    COPYDATASTRUCT data = {1, 4, const_cast<char*>("quit")};
    SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  }
  std::vector<StartRecord> Starts() {
    std::lock_guard<std::mutex> hold(lock_);
    return starts_;
  }
  std::vector<std::string> IconEvents() {
    std::lock_guard<std::mutex> hold(lock_);
    return iconEvents_;
  }

  std::mutex lock_;
  std::vector<StartRecord> starts_;
  std::vector<std::string> iconEvents_;
};

TEST_F(ProcessesTest, TwoStartsOfOneImageAreTwoProcessesThatEndCleanly) {
  std::string error;
  auto first = platform::StartProgram(kProbePath, "mutex", &error, "C:\\Work");
  ASSERT_TRUE(first) << error;
  HWND firstWindow = WaitForProbe(first->ProcessId());
  ASSERT_NE(firstWindow, nullptr);

  // The named mutex is seen across processes: a second "mutex" start ends.
  auto second = platform::StartProgram(kProbePath, "mutex", &error);
  ASSERT_TRUE(second) << error;
  EXPECT_EQ(second->Wait(), 7);
  EXPECT_NE(second->ProcessId(), first->ProcessId());

  auto third = platform::StartProgram(kProbePath, "", &error);
  ASSERT_TRUE(third) << error;
  HWND thirdWindow = WaitForProbe(third->ProcessId());
  ASSERT_NE(thirdWindow, nullptr);

  // Each process has its own statics, current directory, module and
  // resources, and registered its own window class of the same name.
  EXPECT_NE(Title(firstWindow).find(" starts=1 dir=C:\\Work res=probe image module=C:\\Tools\\probe.exe "),
            std::string::npos)
      << Title(firstWindow);
  EXPECT_NE(Title(thirdWindow).find(" starts=1 dir=C:\\ res=probe image module=C:\\Tools\\probe.exe "),
            std::string::npos)
      << Title(thirdWindow);

  // Both icons are in the notification area; a click reaches the right one.
  std::vector<platform::NotifyIconState> icons = platform::NotifyIcons();
  ASSERT_EQ(icons.size(), 2u);
  EXPECT_EQ(icons[0].window, firstWindow);
  EXPECT_EQ(icons[0].tip, "probe");
  EXPECT_EQ(icons[0].id, 9u);
  ASSERT_TRUE(platform::ClickNotifyIcon(0, WM_RBUTTONUP));
  EXPECT_TRUE(WaitUntil([&] { return Title(firstWindow).find("click=517") != std::string::npos; }));
  EXPECT_EQ(Title(thirdWindow).find("click=517"), std::string::npos);
  EXPECT_FALSE(platform::ClickNotifyIcon(2, WM_RBUTTONUP));

  // A device arrival tells every top-level window that the device tree
  // changed.
  platform::AnnounceDeviceInterfaceChange("\\\\?\\usb#vid_1234&pid_5678#1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
                                          true);
  EXPECT_TRUE(WaitUntil([&] {
    return Title(firstWindow).find("dev=1 ") != std::string::npos && Title(thirdWindow).find("dev=1 ") != std::string::npos;
  }));

  // The first ends (its sleeping thread with it): its window, class and icon
  // go, and its mutex is free for the next start.
  Quit(firstWindow);
  EXPECT_EQ(first->Wait(), 40);
  EXPECT_TRUE(first->Finished());
  EXPECT_FALSE(IsWindow(firstWindow));
  icons = platform::NotifyIcons();
  ASSERT_EQ(icons.size(), 1u);
  EXPECT_EQ(icons[0].window, thirdWindow);
  // Sending to the window that went does nothing and crashes nothing.
  EXPECT_EQ(SendMessageA(firstWindow, WM_USER + 7, 9, WM_RBUTTONUP), 0);

  auto fourth = platform::StartProgram(kProbePath, "mutex", &error);
  ASSERT_TRUE(fourth) << error;
  HWND fourthWindow = WaitForProbe(fourth->ProcessId());
  ASSERT_NE(fourthWindow, nullptr);
  EXPECT_NE(Title(fourthWindow).find(" starts=1 "), std::string::npos);
  Quit(fourthWindow);
  Quit(thirdWindow);
  EXPECT_EQ(fourth->Wait(), 40);
  EXPECT_EQ(third->Wait(), 40);
  EXPECT_TRUE(platform::NotifyIcons().empty());

  // A start of a missing program fails and is reported too.
  EXPECT_FALSE(platform::StartProgram("C:\\Tools\\none.exe", "", &error));
  EXPECT_NE(error.find("not a file"), std::string::npos);

  const std::vector<StartRecord> starts = Starts();
  ASSERT_EQ(starts.size(), 5u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(starts[i].path, kProbePath);
    EXPECT_TRUE(starts[i].started);
  }
  EXPECT_EQ(starts[0].processId, first->ProcessId());
  EXPECT_FALSE(starts[4].started);
  EXPECT_EQ(starts[4].processId, 0u);
  const std::vector<std::string> events = IconEvents();
  EXPECT_EQ(std::count(events.begin(), events.end(), "add probe"), 3);
  EXPECT_EQ(std::count(events.begin(), events.end(), "delete probe"), 3);
}

TEST_F(ProcessesTest, ProgramStartsAnotherWithCreateProcess) {
  std::string error;
  auto parent = platform::StartProgram(kProbePath, "spawn", &error, "C:\\Work");
  ASSERT_TRUE(parent) << error;
  HWND parentWindow = WaitForProbe(parent->ProcessId());
  ASSERT_NE(parentWindow, nullptr);
  const std::string title = Title(parentWindow);
  const size_t at = title.find(" spawned=");
  ASSERT_NE(at, std::string::npos) << title;
  const uint32_t childId = uint32_t(std::stoul(title.substr(at + 9)));
  HWND childWindow = WaitForProbe(childId);
  ASSERT_NE(childWindow, nullptr) << title;
  // The child starts in its parent's directory (no directory was given).
  EXPECT_NE(Title(childWindow).find(" dir=C:\\Work "), std::string::npos) << Title(childWindow);
  const std::vector<StartRecord> starts = Starts();
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[1].path, kProbePath);
  EXPECT_EQ(starts[1].processId, childId);
  EXPECT_TRUE(starts[1].started);
  Quit(childWindow);
  Quit(parentWindow);
  EXPECT_EQ(parent->Wait(), 40);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(childWindow); }));
}

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(ProcessesTest, NotificationAreaAndCurrentDirectoryCalls) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PlainProc;
  wc.lpszClassName = "IconOwner";
  ASSERT_TRUE(RegisterClassA(&wc));
  HWND owner = CreateWindowExA(0, "IconOwner", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
  ASSERT_NE(owner, nullptr);

  NOTIFYICONDATAA data;
  std::memset(&data, 0, sizeof data);
  data.cbSize = 40;  // no known layout
  data.hWnd = owner;
  data.uID = 1;
  data.uFlags = NIF_TIP;
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &data));  // not added yet
  // A first-version tip of 64 bytes without terminator is cut, not overrun.
  std::memset(data.szTip, 'x', sizeof data.szTip);
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));  // the same icon twice
  std::vector<platform::NotifyIconState> icons = platform::NotifyIcons();
  ASSERT_EQ(icons.size(), 1u);
  EXPECT_EQ(icons[0].tip, std::string(63, 'x'));
  EXPECT_FALSE(platform::ClickNotifyIcon(0, WM_RBUTTONUP));  // no callback message
  std::strcpy(data.szTip, "new tip");
  ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &data));
  EXPECT_EQ(platform::NotifyIcons()[0].tip, "new tip");
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data));
  EXPECT_TRUE(platform::NotifyIcons().empty());
  const std::vector<std::string> events = IconEvents();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[1], "modify new tip");
  EXPECT_EQ(events[2], "delete new tip");
  DestroyWindow(owner);
  UnregisterClassA("IconOwner", NULL);

  // The current directory: a short buffer learns the size it needs; a
  // missing folder is refused and the directory stays.
  char small[3];
  const DWORD needed = GetCurrentDirectoryA(sizeof small, small);
  char dir[MAX_PATH];
  EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, dir), needed - 1);
  EXPECT_FALSE(SetCurrentDirectoryA("C:\\Missing"));
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Work\\"));
  GetCurrentDirectoryA(MAX_PATH, dir);
  EXPECT_STREQ(dir, "C:\\Work");
  ASSERT_TRUE(SetCurrentDirectoryA(".."));
  GetCurrentDirectoryA(MAX_PATH, dir);
  EXPECT_STREQ(dir, "C:\\");
}

}  // namespace
