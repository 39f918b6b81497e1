// QORBM's entry: one instance at a time, one hidden modal dialog.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "tray/tray_dialog.h"

namespace {

// The application's name: the executable's file name without extension.
std::string ApplicationName() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
  std::string name(path, length < MAX_PATH ? length : 0);
  const size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name.empty() ? std::string("QORBM") : name;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  const std::string name = ApplicationName();
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
