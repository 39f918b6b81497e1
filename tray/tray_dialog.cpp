#include "tray/tray_dialog.h"

#include "shared/qcam_ids.h"
#include "shared/tray_names.h"
#include "tray/debug_log.h"
#include "tray/resource.h"
#include "tray/tray_command.h"
#include "tray/tray_language.h"
#include "shared/qcam_registry.h"

using namespace qorbm;

CQORTrayDlg::CQORTrayDlg(HINSTANCE instance) : CAppDialog(instance, IDD_QORTRAY_DIALOG) {
  trayMessage_ = RegisterWindowMessageA("TrayIcon notification");
  buttonMessage_ = RegisterWindowMessageA(qcam::kButtonMessageName);
  icon_ = LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_TRAY_ICON));
  SetDebugLevel(qcam::ReadQcamDword(qcam::kUserCurrentKey, qcam::kValueTrayDebug));
  const DWORD trayValue = qcam::ReadQcamDword(qcam::kUserCurrentKey, qcam::kValueTrayEnabled);
  trayEnabled_ = trayValue != 0;
  TrayLog(kLogDetail, "CQORTrayDlg, ulCameraStatus = 0x%x", static_cast<unsigned>(trayValue));
}

CQORTrayDlg::~CQORTrayDlg() { DestroyTray(); }

BOOL CQORTrayDlg::OnInitDialog() {
  SendMessageA(GetSafeHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(GetSafeHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  plugState_ = 0;
  previousPlugState_ = 0;
  if (trayEnabled_ && !tray_) CreateTray();
  DetectCamera();
  ShowWindow(GetSafeHwnd(), SW_HIDE);
  SetTimer(GetSafeHwnd(), kTimerId, kTimerMs, NULL);
  HANDLE thread = CreateThread(NULL, 0, ButtonPollThread, &Watch(), 0, NULL);
  if (thread) CloseHandle(thread);
  return TRUE;
}

void CQORTrayDlg::CreateTray() {
  // The notification area exists from Windows 4 on.
  if (LOBYTE(LOWORD(GetVersion())) < 4) return;
  tray_ = new CSystemTray(Instance(), this);
  tray_->Create(trayMessage_, icon_, ReadTrayText("ID_MENU_TOOLTIP", "Button Manager"));
}

void CQORTrayDlg::DestroyTray() {
  delete tray_;
  tray_ = NULL;
}

bool CQORTrayDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  switch (message) {
    case WM_WINDOWPOSCHANGING:
      // The dialog is never shown.
      reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~UINT(SWP_SHOWWINDOW);
      return false;
    case WM_TIMER:
      if (wParam != kTimerId) return false;
      OnTimerTick();
      *result = TRUE;
      return true;
    case WM_DEVICECHANGE:
      DetectCamera();
      *result = TRUE;
      return true;
    case WM_COPYDATA:
      OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      *result = TRUE;
      return true;
    case WM_COMMAND:
      if (HIWORD(wParam) != 0) return false;
      switch (LOWORD(wParam)) {
        case ID_MENU_50_HZ:
        case ID_MENU_60_HZ:
        case ID_MENU_EXIT:
          OnMenuCommand(LOWORD(wParam));
          *result = TRUE;
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}

void CQORTrayDlg::OnTrayNotification(WPARAM id, LPARAM mouseMessage) {
  if (id != CSystemTray::kIconId || mouseMessage != WM_RBUTTONUP) return;
  ShowTrayMenu();
}

void CQORTrayDlg::ShowTrayMenu() {
  HMENU menu = LoadMenuA(Instance(), MAKEINTRESOURCEA(tray_ ? tray_->MenuId() : IDR_TRAY_MENU));
  if (!menu) return;
  HMENU popup = GetSubMenu(menu, 0);
  if (!popup) {
    DestroyMenu(menu);
    return;
  }
  ModifyMenuA(popup, ID_MENU_EXIT, MF_BYCOMMAND | MF_STRING, ID_MENU_EXIT, ReadTrayText("ID_MENU_EXIT", "&Exit").c_str());
  ModifyMenuA(popup, ID_MENU_50_HZ, MF_BYCOMMAND | MF_STRING, ID_MENU_50_HZ,
              ReadTrayText("ID_MENU_50_HZ", "&50Hz").c_str());
  ModifyMenuA(popup, ID_MENU_60_HZ, MF_BYCOMMAND | MF_STRING, ID_MENU_60_HZ,
              ReadTrayText("ID_MENU_60_HZ", "&60Hz").c_str());
  if (Watch().present) {
    EnableMenuItem(popup, ID_MENU_50_HZ, MF_BYCOMMAND | MF_ENABLED);
    EnableMenuItem(popup, ID_MENU_60_HZ, MF_BYCOMMAND | MF_ENABLED);
    LONG frequency = 0;
    Watch().link.GetPowerLineFrequency(&frequency);
    CheckMenuItem(popup, frequency == 1 ? ID_MENU_50_HZ : ID_MENU_60_HZ, MF_BYCOMMAND | MF_CHECKED);
  } else {
    EnableMenuItem(popup, ID_MENU_50_HZ, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(popup, ID_MENU_60_HZ, MF_BYCOMMAND | MF_GRAYED);
  }
  SetForegroundWindow(GetSafeHwnd());
  POINT cursor = {0, 0};
  GetCursorPos(&cursor);
  TrackPopupMenu(popup, TPM_LEFTBUTTON, cursor.x, cursor.y, 0, GetSafeHwnd(), NULL);
  PostMessageA(GetSafeHwnd(), WM_NULL, 0, 0);
  DestroyMenu(menu);
}

void CQORTrayDlg::OnMenuCommand(UINT id) {
  switch (id) {
    case ID_MENU_50_HZ:
      Watch().link.SetPowerLineFrequency(1);
      break;
    case ID_MENU_60_HZ:
      Watch().link.SetPowerLineFrequency(2);
      break;
    case ID_MENU_EXIT:
      DestroyTray();
      EndDialog(IDOK);
      break;
  }
}

void CQORTrayDlg::OnCopyData(const COPYDATASTRUCT* data) {
  if (!IsExitCommand(data)) return;
  ClearCameraStatus(qcam::kStatusTrayExit);
  DestroyTray();
  EndDialog(IDOK);
}
