// QCAMLDR's entry: one instance at a time, one modal dialog.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "platform/appframe/app_name.h"
#include "updater/settings_profile.h"
#include "updater/upgrade_dialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  HANDLE mutex = CreateMutexA(NULL, TRUE, appframe::ApplicationName("QCAMLDR").c_str());
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
