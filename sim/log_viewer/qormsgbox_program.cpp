// The debug-log viewer the tray button manager writes to: a top-level window
// titled "QORMsgBox" that appends every WM_COPYDATA message it receives, with
// its level, to qormsgbox.log in the PC root. It stays hidden and ends when
// its window is closed.
#include <windows.h>

#include "platform/machine/pc_settings.h"
#include "shared/tray_names.h"
#include "sim/log_viewer/viewer_line.h"

namespace {

constexpr const char* kViewerClass = "QORMsgBoxViewer";

LRESULT CALLBACK ViewerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COPYDATA: {
      const COPYDATASTRUCT* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (!copy) return FALSE;
      const uint32_t codePage = platform::AnsiCodePageOfLanguage(platform::GetPcSettings().languageId);
      sim::AppendViewerLine(sim::ViewerLine(copy->dwData, copy->lpData, copy->cbData, codePage));
      return TRUE;
    }
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ViewerWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kViewerClass;
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, kViewerClass, qcam::kLogViewerTitle, WS_OVERLAPPEDWINDOW, 0, 0, 480, 320, NULL,
                                NULL, instance, NULL);
  if (!window) return 1;
  MSG message;
  while (GetMessageA(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  UnregisterClassA(kViewerClass, instance);
  return 0;
}
