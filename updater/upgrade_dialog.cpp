// The update dialog: initialisation, buttons, options and device changes.
#include "updater/upgrade_dialog.h"

#include <commctrl.h>
#include <dbt.h>

#include "updater/resource.h"

namespace {

const char* const TEXT_WILL_UPGRADE = "The program will upgrade the firmware of your camera!";
const char* const TEXT_PRESS_UPGRADE = "Press \"Upgrade\" to begin. Don't unplug during update period!";
const char* const TEXT_NOT_CONNECTED = "Device is not connected!";
// The capture device interface class (KSCATEGORY_CAPTURE).
const GUID CAPTURE_INTERFACE_CLASS = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

// The About box: its template only.
class CAboutDialog : public CAppDialog {
 public:
  explicit CAboutDialog(HINSTANCE instance, HWND parent) : CAppDialog(instance, IDD_ABOUTBOX, parent) {}
};

}  // namespace

CUpgradeDialog::CUpgradeDialog(HINSTANCE instance, const CSettingsProfile& settings)
    : CAppDialog(instance, IDD_QCAMLDR_DIALOG), settings_(settings), core_(this, Instance()) {
  icon_ = LoadIconA(Instance(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CUpgradeDialog::~CUpgradeDialog() {
  if (notification_) UnregisterDeviceNotification(notification_);
}

void CUpgradeDialog::TransferOptions() {
  CheckItem(IDC_OPT_PROGRAM, options_.program);
  CheckItem(IDC_OPT_WRITE, options_.write);
  CheckItem(IDC_OPT_VERIFY, options_.verify);
  CheckItem(IDC_OPT_DUMP, options_.dump);
  CheckItem(IDC_OPT_WP_RESTORE, options_.wpRestore);
}

BOOL CUpgradeDialog::OnInitDialog() {
  TransferOptions();
  char about[128] = {};
  if (LoadStringA(Instance(), IDS_ABOUTBOX, about, sizeof(about)) > 0 && about[0]) {
    HMENU system = GetSystemMenu(GetSafeHwnd(), FALSE);
    if (system) {
      AppendMenuA(system, MF_SEPARATOR, 0, NULL);
      AppendMenuA(system, MF_STRING, IDM_ABOUTBOX, about);
    }
  }
  SendMessageA(GetSafeHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(GetSafeHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  EnableClose(false);

  DEV_BROADCAST_DEVICEINTERFACE_A filter = {};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = CAPTURE_INTERFACE_CLASS;
  notification_ = RegisterDeviceNotificationA(GetSafeHwnd(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  if (!notification_) Message("Resister Notification failed", "QCAMLDR", MB_OK);

  const UpdaterSettings settings = ReadUpdaterSettings(settings_);
  core_.ApplySettings(settings);
  if (!settings.writeProtect) ShowItem(IDC_OPT_WP_RESTORE, false);
  Log("FW Update Version = 2010/12/07. V0.01");
  core_.Detect(DetectAtStart);
  return TRUE;
}

void CUpgradeDialog::SetStatusText(const std::string& text) { SetItemText(IDC_STATUS, text); }
void CUpgradeDialog::SetProgressText(const std::string& text) { SetItemText(IDC_PROGRESS_TEXT, text); }
void CUpgradeDialog::SetVersionText(const std::string& text) { SetItemText(IDC_FW_VERSION, text); }
std::string CUpgradeDialog::VersionText() const { return GetItemText(IDC_FW_VERSION); }

void CUpgradeDialog::SetProgressBar(int percent) {
  SendDlgItemMessageA(GetSafeHwnd(), IDC_PROGRESS, PBM_SETPOS, WPARAM(percent), 0);
}

void CUpgradeDialog::Log(const std::string& line) {
  SendDlgItemMessageA(GetSafeHwnd(), IDC_LOG_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

int CUpgradeDialog::Message(const std::string& text, const std::string& caption, UINT type) {
  return MessageBoxA(GetSafeHwnd(), text.c_str(), caption.c_str(), type);
}

void CUpgradeDialog::ClearDeviceCombo() {
  SendDlgItemMessageA(GetSafeHwnd(), IDC_DEVICE_COMBO, CB_RESETCONTENT, 0, 0);
}

void CUpgradeDialog::AddDeviceComboItem(const std::string& friendlyName) {
  SendDlgItemMessageA(GetSafeHwnd(), IDC_DEVICE_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(friendlyName.c_str()));
}

int CUpgradeDialog::DeviceComboCount() const {
  return int(SendDlgItemMessageA(GetSafeHwnd(), IDC_DEVICE_COMBO, CB_GETCOUNT, 0, 0));
}

void CUpgradeDialog::OnUpgrade() {
  EnableUpgrade(false);
  core_.Channel().SaveTopBlock();
  SendDlgItemMessageA(GetSafeHwnd(), IDC_LOG_LIST, LB_RESETCONTENT, 0, 0);
  Log("Start update procedure");
  Repaint();
  if (core_.RunUpdate(options_) == UpdateOutcome::NotFound) Log("Can not find device");
  EnableUpgrade(false);
  EnableClose(true);
}

void CUpgradeDialog::OnOptionClicked(int id) {
  const bool checked = IsItemChecked(id);
  switch (id) {
    case IDC_OPT_PROGRAM:
      options_.program = checked;
      if (!checked) {
        options_.write = false;
        CheckItem(IDC_OPT_WRITE, false);
      }
      break;
    case IDC_OPT_WRITE:
      options_.write = checked;
      if (checked) {
        options_.program = true;
        CheckItem(IDC_OPT_PROGRAM, true);
      }
      break;
    case IDC_OPT_VERIFY:
      options_.verify = checked;
      break;
    case IDC_OPT_DUMP:
      options_.dump = checked;
      break;
    case IDC_OPT_WP_RESTORE:
      options_.wpRestore = checked;
      break;
  }
}

void CUpgradeDialog::OnDeviceChange(WPARAM event) {
  if (event == DBT_DEVICEARRIVAL) {
    Log(TEXT_WILL_UPGRADE);
    core_.Detect(DetectOnArrival);
    if (!VersionText().empty()) {
      SetStatusText(TEXT_WILL_UPGRADE);
      SetProgressText(TEXT_PRESS_UPGRADE);
      EnableUpgrade(true);
      Repaint();
    }
  } else if (event == DBT_DEVICEREMOVECOMPLETE) {
    if (!core_.RestartedDevice()) {
      Log(TEXT_NOT_CONNECTED);
      SetStatusText(TEXT_NOT_CONNECTED);
      SetProgressText("");
      SetVersionText("");
    }
    Repaint();
  }
}

bool CUpgradeDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return false;
      CAboutDialog(Instance(), GetSafeHwnd()).DoModal();
      *result = TRUE;
      return true;
    case WM_QUERYDRAGICON:
      *result = reinterpret_cast<INT_PTR>(icon_);
      return true;
    case WM_DEVICECHANGE:
      OnDeviceChange(wParam);
      *result = TRUE;
      return true;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return false;
      switch (LOWORD(wParam)) {
        case IDC_UPGRADE:
          OnUpgrade();
          break;
        case IDC_CLOSE:
          EndDialog(IDCANCEL);
          break;
        case IDC_OPT_PROGRAM:
        case IDC_OPT_WRITE:
        case IDC_OPT_VERIFY:
        case IDC_OPT_DUMP:
        case IDC_OPT_WP_RESTORE:
          OnOptionClicked(LOWORD(wParam));
          break;
        default:
          return false;
      }
      *result = TRUE;
      return true;
    default:
      return false;
  }
}
