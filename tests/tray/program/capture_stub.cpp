// A stand-in for the outside capture application in the tray tests: it
// keeps a window with the class and title the tray looks for, counts the
// button messages it gets in its title ("ArcSoft WebCam Companion" stays
// the title; the count goes to the window's user data), and ends on
// WM_CLOSE.
#include <windows.h>

#include "shared/tray_names.h"

namespace {

UINT g_buttonMessage = 0;

LRESULT CALLBACK StubProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == g_buttonMessage && g_buttonMessage) {
    SetWindowLongPtrA(window, GWLP_USERDATA, GetWindowLongPtrA(window, GWLP_USERDATA) + 1);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g_buttonMessage = RegisterWindowMessageA(qcam::kButtonMessageName);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = StubProc;
  wc.hInstance = instance;
  wc.lpszClassName = qcam::kCaptureAppWindowClass;
  if (!RegisterClassA(&wc)) return 1;
  HWND window = CreateWindowExA(0, qcam::kCaptureAppWindowClass, qcam::kCaptureAppWindowTitle, WS_OVERLAPPEDWINDOW, 0,
                                0, 320, 240, NULL, NULL, instance, NULL);
  if (!window) return 2;
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
