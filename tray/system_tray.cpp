#include "tray/system_tray.h"

#include <cstring>

#include "tray/tray_dialog.h"

namespace {

constexpr const char* kTrayWindowClass = "QORBMTrayWindow";

}  // namespace

// The shell takes the first version of the record from the tray: 88 bytes
// on 32-bit Windows, a 64-byte tip.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "the first-version notify record is 88 bytes");
#endif

CSystemTray::CSystemTray(HINSTANCE instance, CQORTrayDlg* owner) : instance_(instance), owner_(owner) {
  std::memset(&data_, 0, sizeof(data_));
}

CSystemTray::~CSystemTray() {
  RemoveIcon();
  if (hwnd_) DestroyWindow(hwnd_);
}

bool CSystemTray::Create(UINT callbackMessage, HICON icon, const std::string& tip) {
  WNDCLASSA wc;
  std::memset(&wc, 0, sizeof(wc));
  wc.lpfnWndProc = &CSystemTray::WindowProc;
  wc.hInstance = instance_;
  wc.lpszClassName = kTrayWindowClass;
  // Registered once per process; a second tray object finds it there.
  RegisterClassA(&wc);
  hwnd_ = CreateWindowExA(0, kTrayWindowClass, "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, instance_, NULL);
  if (!hwnd_) return false;
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  std::memset(&data_, 0, sizeof(data_));
  data_.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data_.hWnd = hwnd_;
  data_.uID = kIconId;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = callbackMessage;
  data_.hIcon = icon;
  lstrcpynA(data_.szTip, tip.c_str(), 64);
  added_ = Shell_NotifyIconA(NIM_ADD, &data_);
  return added_ != FALSE;
}

void CSystemTray::RemoveIcon() {
  if (!added_) return;
  Shell_NotifyIconA(NIM_DELETE, &data_);
  added_ = FALSE;
}

LRESULT CALLBACK CSystemTray::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CSystemTray* self = reinterpret_cast<CSystemTray*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self && message == self->data_.uCallbackMessage && message != 0) {
    if (wParam == self->data_.uID) self->owner_->OnTrayNotification(wParam, lParam);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}
