// QCAMLDR's entry: one instance at a time, one modal dialog.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "updater/settings_profile.h"
#include "updater/upgrade_dialog.h"

namespace {

// The application's name: the executable's base name.
std::string ApplicationName() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
  std::string name(path, length < MAX_PATH ? length : 0);
  const size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name.empty() ? std::string("QCAMLDR") : name;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  HANDLE mutex = CreateMutexA(NULL, TRUE, ApplicationName().c_str());
  if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
    MessageBoxA(NULL, "Another instance of this program is already running", "", MB_OK | MB_ICONEXCLAMATION);
    if (mutex) CloseHandle(mutex);
    return 0;
  }
  InitCommonControls();
  CoInitialize(NULL);
  {
    // The settings store has no source: every setting keeps its default.
    CSettingsProfile settings;
    CUpgradeDialog dialog(instance, settings);
    dialog.DoModal();
  }
  CoUninitialize();
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  return 0;
}
