// Shared parts of the window system tests.
#include "tests/win32/win32_test.h"

#include <algorithm>

namespace win32_test {

std::vector<Seen>& Log() {
  static std::vector<Seen> log;
  return log;
}

std::vector<Seen> LogOf(UINT message) {
  std::vector<Seen> out;
  for (const Seen& s : Log())
    if (s.message == message) out.push_back(s);
  return out;
}

std::vector<UINT>& RefuseNotify() {
  static std::vector<UINT> codes;
  return codes;
}

INT_PTR CALLBACK RecordingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: case WM_SETFONT: case WM_HSCROLL: case WM_VSCROLL:
      Log().push_back({dialog, message, wParam, lParam, 0});
      return message == WM_INITDIALOG;
    case WM_COMMAND:
      Log().push_back({dialog, message, wParam, lParam, 0});
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
      return TRUE;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      Log().push_back({dialog, message, wParam, lParam, header->code});
      if (std::find(RefuseNotify().begin(), RefuseNotify().end(), header->code) != RefuseNotify().end()) {
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

RECT RectInParent(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace win32_test
