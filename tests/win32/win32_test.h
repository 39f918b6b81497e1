// Shared parts of the window system tests: a fixture that leaves no window,
// script or hook behind, and a recorder of the messages a window or dialog
// procedure receives.
#pragma once

#include <gtest/gtest.h>

#include <commctrl.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/machine/pc_clock.h"
#include "platform/machine/pc_settings.h"
#include "platform/machine/window_system.h"

namespace win32_test {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetWindowSystemControls();
    savedSettings_ = platform::GetPcSettings();
  }
  void TearDown() override {
    for (HWND top : platform::TopLevelWindowList())
      if (GetWindowThreadProcessId(top, nullptr) == GetCurrentThreadId()) DestroyWindow(top);
    platform::ResetWindowSystemControls();
    platform::SetPcClockRate(1);
    platform::SetPcSettings(savedSettings_);
  }
  static void SetLanguage(uint16_t languageId) {
    platform::PcSettings s = platform::GetPcSettings();
    s.languageId = languageId;
    platform::SetPcSettings(s);
  }

 private:
  platform::PcSettings savedSettings_;
};

// One message as a procedure saw it.
struct Seen {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  UINT notifyCode;  // WM_NOTIFY: the header's code
};

// The messages of interest that reached the recording procedures, in order.
std::vector<Seen>& Log();
std::vector<Seen> LogOf(UINT message);
// A dialog procedure that records WM_INITDIALOG, WM_SETFONT, WM_COMMAND,
// WM_NOTIFY, WM_HSCROLL and WM_VSCROLL; WM_COMMAND IDOK / IDCANCEL end the
// dialog with the id; a WM_NOTIFY whose code is in RefuseNotify() is
// answered TRUE through DWLP_MSGRESULT.
INT_PTR CALLBACK RecordingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
std::vector<UINT>& RefuseNotify();

// The rectangle of a control in its parent's client coordinates.
RECT RectInParent(HWND control);

}  // namespace win32_test
