// The tray's world for its tests: a PC root with the camera package
// installed (the extension announced for the notebook camera only), QORBM
// and a stand-in capture application installed, cameras to plug in and
// unplug, and a desk thread that keeps the "QORMsgBox" log viewer and a
// window that hears the button message.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/machine/notify_icons.h"
#include "platform/machine/programs.h"
#include "tests/tray/plugged_camera.h"

namespace tray_test {

constexpr const char* kTrayPath = "C:\\Program Files\\Qorvane\\QORBM.exe";
constexpr const char* kTrayFolder = "C:\\Program Files\\Qorvane";
constexpr const char* kCapturePath = "C:\\Program Files\\ArcSoft\\WebCam Companion 3\\CaptureApp.exe";
constexpr const char* kTrayDialogTitle = "Qorvane System Tray";

struct LogLine {
  DWORD level;
  std::string text;
};

// The desk: a thread of the first process with the log viewer window and a
// hidden window that registered the button message, pumping its messages
// until the desk goes.
class Desk {
 public:
  Desk();
  ~Desk();
  std::vector<LogLine> Lines();
  size_t Count(const std::string& text);
  std::vector<WPARAM> Broadcasts();

 private:
  static LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Run();

  std::mutex lock_;
  std::vector<LogLine> lines_;
  std::vector<WPARAM> broadcasts_;
  UINT buttonMessage_ = 0;
  std::atomic<DWORD> threadId_{0};
  std::atomic<bool> ready_{false};
  std::thread thread_;
};

class TrayTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Waits in real time, boundedly, until `done` holds.
  static bool WaitUntil(const std::function<bool()>& done);
  // Lets `seconds` of PC time pass.
  static void PcWait(double seconds);

  void StartTray();
  HWND TrayDialog() const;
  // WM_COPYDATA to the tray's dialog.
  void SendCommand(ULONG_PTR id, const void* bytes, DWORD size);
  // Ends the tray with "EXIT" and waits for the process to end.
  void EndTray();

  DWORD ReadStatus();
  void WriteStatus(DWORD value);
  void WriteTrayValues(DWORD trayEnabled, DWORD debugLevel);
  void WriteAppName(const std::string& bytes, DWORD type);
  void WriteIni(const std::string& win32Path, const std::string& text);
  void SetLanguage(uint16_t languageId);
  // Starts of the capture application recorded by the start observer.
  size_t CaptureStarts();
  std::vector<std::string> StartedPaths();
  std::vector<std::string> IconEvents();
  // Closes the stand-in capture application when it runs.
  void CloseCaptureApp();

  std::string root_;
  std::unique_ptr<Desk> desk_;
  std::unique_ptr<platform::RunningProgram> tray_;
  // A capture application the test started itself.
  std::unique_ptr<platform::RunningProgram> captureApp_;
  std::mutex lock_;
  std::vector<std::string> starts_;
  std::vector<std::string> iconEvents_;
};

}  // namespace tray_test
