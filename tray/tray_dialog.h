// CQORTrayDlg: the tray's main dialog, never shown. It owns the tray icon
// and its menu, takes the "EXIT" command, and hosts the camera watcher: the
// detection on every device change, the 1-second timer that follows the
// camera's plug state and the button bits of CameraStatus, and the poll
// thread that asks the driver to look at the button.
#pragma once

#include <windows.h>

#include <atomic>

#include "platform/appframe/app_dialog.h"
#include "tray/camera_device_link.h"
#include "tray/system_tray.h"

namespace qorbm {

// What the dialog and the poll thread share. It outlives the dialog (the
// poll thread runs until the process ends).
struct CameraWatch {
  CameraDeviceLink link;
  // Set by detection on the main thread, read by the poll thread.
  std::atomic<bool> present{false};
};
CameraWatch& Watch();

// The poll thread: asks the driver once a second to look at the button
// while the camera is present, and sleeps 5 seconds at a time while not.
DWORD WINAPI ButtonPollThread(LPVOID parameter);

}  // namespace qorbm

class CQORTrayDlg : public CAppDialog {
 public:
  static constexpr UINT kTimerId = 103;
  static constexpr UINT kTimerMs = 1000;

  // Registers the two window messages, loads the icon, reads the `debug`
  // and `QORTray` values.
  explicit CQORTrayDlg(HINSTANCE instance);
  ~CQORTrayDlg() override;

  // The icon's callback message (wParam: icon id, lParam: mouse message).
  void OnTrayNotification(WPARAM id, LPARAM mouseMessage);

 protected:
  BOOL OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

 private:
  void CreateTray();
  void DestroyTray();
  void ShowTrayMenu();
  void OnMenuCommand(UINT id);
  void OnCopyData(const COPYDATASTRUCT* data);

  // The watcher (camera_watcher.cpp).
  void DetectCamera();
  void OnTimerTick();
  void ClearCameraStatus(DWORD bits);
  void LaunchCaptureApplication();

  bool trayEnabled_ = false;
  CSystemTray* tray_ = NULL;
  UINT trayMessage_ = 0;
  UINT buttonMessage_ = 0;
  HICON icon_ = NULL;
  int plugState_ = 0;
  int previousPlugState_ = 0;
};
