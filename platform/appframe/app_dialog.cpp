// The dialog-class layer over DialogBoxParam.
#include "platform/appframe/app_dialog.h"

#include <vector>

CAppDialog::CAppDialog(HINSTANCE instance, UINT templateId, HWND parent)
    : instance_(instance ? instance : GetModuleHandleA(NULL)), templateId_(templateId), parent_(parent) {}

CAppDialog::~CAppDialog() {}

INT_PTR CAppDialog::DoModal() {
  return DialogBoxParamA(instance_, MAKEINTRESOURCEA(templateId_), parent_, &CAppDialog::DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

void CAppDialog::EndDialog(INT_PTR result) {
  if (hwnd_) ::EndDialog(hwnd_, result);
}

HWND CAppDialog::GetDlgItem(int id) const { return ::GetDlgItem(hwnd_, id); }

void CAppDialog::SetItemText(int id, const std::string& text) { SetDlgItemTextA(hwnd_, id, text.c_str()); }

std::string CAppDialog::GetItemText(int id) const {
  HWND item = GetDlgItem(id);
  const int length = item ? GetWindowTextLengthA(item) : 0;
  if (length <= 0) return std::string();
  std::vector<char> text(size_t(length) + 1);
  GetWindowTextA(item, text.data(), length + 1);
  return std::string(text.data());
}

void CAppDialog::EnableItem(int id, bool enable) {
  if (HWND item = GetDlgItem(id)) EnableWindow(item, enable ? TRUE : FALSE);
}

void CAppDialog::ShowItem(int id, bool show) {
  if (HWND item = GetDlgItem(id)) ShowWindow(item, show ? SW_SHOW : SW_HIDE);
}

void CAppDialog::CheckItem(int id, bool check) { CheckDlgButton(hwnd_, id, check ? BST_CHECKED : BST_UNCHECKED); }

bool CAppDialog::IsItemChecked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }

void CAppDialog::Repaint() {
  if (!hwnd_) return;
  InvalidateRect(hwnd_, NULL, TRUE);
  UpdateWindow(hwnd_);
}

void CAppDialog::PumpOneMessage() {
  MSG msg;
  if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

INT_PTR CALLBACK CAppDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CAppDialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CAppDialog*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
    return self->OnInitDialog();
  }
  self = reinterpret_cast<CAppDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (!self) return FALSE;
  INT_PTR result = 0;
  if (self->OnMessage(message, wParam, lParam, &result)) return result;
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    if (LOWORD(wParam) == IDOK) {
      self->OnOK();
      return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
      self->OnCancel();
      return TRUE;
    }
  }
  if (message == WM_NCDESTROY) self->hwnd_ = NULL;
  return FALSE;
}
