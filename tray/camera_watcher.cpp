// The camera watcher: detection, the timer's plug-state follow-up and button
// events, clearing CameraStatus bits through the driver, starting the
// capture application, and the poll thread.
#include <cstring>

#include "shared/qcam_ids.h"
#include "shared/tray_names.h"
#include "tray/debug_log.h"
#include "tray/tray_dialog.h"
#include "shared/qcam_registry.h"

using namespace qorbm;

namespace qorbm {
namespace {

// Private requests of the tray carry a 16-byte payload.
constexpr ULONG kTrayPayloadLength = 16;
constexpr DWORD kCommandCheckButton = 4;
constexpr DWORD kSettingsStoreStatus = 5;
constexpr DWORD kPollMs = 1000;
constexpr DWORD kIdleMs = 5000;
constexpr DWORD kLaunchWaitMs = 2000;
constexpr DWORD kAppPathSize = 260;

// The button bits in the order they are handled, with the wParam the
// capture application gets for each.
struct ButtonBit {
  DWORD bit;
  WPARAM message;
};
const ButtonBit kButtonBits[] = {
    {qcam::kStatusButtonIdle, qcam::kButtonMessageSnapshot},
    {qcam::kStatusSnapshotReady, qcam::kButtonMessageSnapshot},
    {qcam::kStatusButton2, qcam::kButtonMessageState2},
    {qcam::kStatusButton4, qcam::kButtonMessageStill},
};

}  // namespace

CameraWatch& Watch() {
  static CameraWatch watch;
  return watch;
}

DWORD WINAPI ButtonPollThread(LPVOID parameter) {
  CameraWatch* watch = static_cast<CameraWatch*>(parameter);
  TrayLog(kLogThread, "Thread Start");
  for (;;) {
    if (watch->present) {
      TrayLog(kLogDetail, "Check snap button");
      DWORD payload[kTrayPayloadLength / sizeof(DWORD)] = {kCommandCheckButton};
      watch->link.SetPrivate(qcam::kPrivCommand, payload, kTrayPayloadLength);
      Sleep(kPollMs);
    } else {
      Sleep(kIdleMs);
    }
  }
}

}  // namespace qorbm

void CQORTrayDlg::DetectCamera() {
  std::vector<std::string> displayNames, friendlyNames;
  CameraDeviceLink::ListDevices(&displayNames, &friendlyNames);
  CameraWatch& watch = Watch();
  CameraDeviceLink& link = watch.link;
  std::string chosen;
  link.Lock();
  const std::string current = link.DisplayName();
  for (const std::string& name : displayNames) {
    if (!current.empty() && name == current) {
      watch.present = true;
      link.Unlock();
      return;
    }
  }
  watch.present = false;
  link.TearDown();
  for (size_t i = 0; i < displayNames.size(); ++i) {
    if (!link.DisplayName().empty()) link.TearDown();
    link.SetNames(displayNames[i], friendlyNames[i]);
    link.Build();
    DWORD payload[kTrayPayloadLength / sizeof(DWORD)] = {};
    if (link.GetPrivate(qcam::kPrivPictureSize, payload, kTrayPayloadLength) == 0) {
      watch.present = true;
      chosen = friendlyNames[i];
      break;
    }
    link.TearDown();
  }
  link.Unlock();
  // The friendly name is data, never a format.
  if (watch.present) TrayLog(kLogAlways, "%s", chosen.c_str());
}

void CQORTrayDlg::OnTimerTick() {
  const DWORD status = qcam::ReadQcamDword(qcam::kUserCurrentKey, "CameraStatus");
  const bool present = Watch().present;
  plugState_ = present ? 1 : 0;
  if (!present && previousPlugState_) {
    DestroyTray();
    if (trayEnabled_) CreateTray();
    TrayLog(kLogAlways, "plug out or stop");
  } else if (present && !previousPlugState_) {
    DestroyTray();
    if (trayEnabled_) CreateTray();
    TrayLog(kLogAlways, "plug in and play!");
  }
  previousPlugState_ = plugState_;
  if (!present) return;
  for (const ButtonBit& b : kButtonBits) {
    if (!(status & b.bit)) continue;
    ClearCameraStatus(b.bit);
    LaunchCaptureApplication();
    PostMessageA(HWND_BROADCAST, buttonMessage_, b.message, 0);
  }
}

void CQORTrayDlg::ClearCameraStatus(DWORD bits) {
  // The driver owns CameraStatus: the new word goes to it, which stores it.
  const DWORD status = qcam::ReadQcamDword(qcam::kUserCurrentKey, "CameraStatus") & ~bits;
  TrayLog(kLogDetail, "ClearCameraStatus 0x%x", static_cast<unsigned>(status));
  DWORD payload[kTrayPayloadLength / sizeof(DWORD)] = {kSettingsStoreStatus, status};
  Watch().link.SetPrivate(qcam::kPrivSettings, payload, kTrayPayloadLength);
}

void CQORTrayDlg::LaunchCaptureApplication() {
  if (FindWindowA(qcam::kCaptureAppWindowClass, qcam::kCaptureAppWindowTitle)) return;
  HKEY key = NULL;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, qcam::kCaptureAppKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  char path[kAppPathSize];
  DWORD type = 0;
  DWORD size = sizeof(path);
  const LONG read = RegQueryValueExA(key, qcam::kCaptureAppPathValue, NULL, &type, reinterpret_cast<LPBYTE>(path), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return;
  // A value stored without its terminator fills the buffer: it is cut to
  // end inside it.
  path[size < sizeof(path) ? size : sizeof(path) - 1] = 0;
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  std::memset(&process, 0, sizeof(process));
  if (CreateProcessA(path, NULL, NULL, NULL, FALSE, NORMAL_PRIORITY_CLASS, NULL, NULL, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  Sleep(kLaunchWaitMs);
}
