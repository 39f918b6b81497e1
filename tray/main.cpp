// QORBM's entry: one instance at a time, one hidden modal dialog.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "platform/appframe/app_name.h"
#include "tray/tray_dialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  const std::string name = appframe::ApplicationName("QORBM");
  // Held until the process ends: a second instance finds it and ends.
  HANDLE mutex = CreateMutexA(NULL, TRUE, name.c_str());
  if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  InitCommonControls();
  if (FAILED(CoInitialize(NULL))) {
    MessageBoxA(NULL, "CoInitialize Fail", name.c_str(), MB_OK);
    return 0;
  }
  {
    CQORTrayDlg dialog(instance);
    dialog.DoModal();
  }
  // The poll thread keeps running until the process ends; it finds the
  // link empty from here on.
  qorbm::Watch().link.TearDown();
  CoUninitialize();
  return 0;
}
