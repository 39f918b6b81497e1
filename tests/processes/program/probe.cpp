// A small program the process tests start on the PC. Its command line says
// what it does:
//   "mutex"  takes the named mutex "ProbeOnce" first and ends with 7 when it
//            already existed;
//   "spawn"  starts its own image again with CreateProcessA ("child" as
//            its command line) and reports the new process in its title.
// It keeps a top-level window of class "ProbeWindow" whose title reports
// "pid=<id> starts=<count> dir=<current directory> res=<string 1>
// module=<own path> dev=<WM_DEVICECHANGE count> click=<last tray click>",
// adds a notification icon (id 9, tip "probe"), runs a thread that sleeps
// for ever, and ends when it gets WM_COPYDATA with dwData 1 and "quit".
#include <windows.h>
#include <dbt.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int g_starts = 0;  // a static of the image: every process has its own
int g_deviceChanges = 0;
unsigned g_click = 0;
std::string g_spawned;
const UINT kTrayMessage = WM_USER + 7;

void ShowState(HWND window) {
  char dir[MAX_PATH] = {}, module[MAX_PATH] = {}, res[64] = {};
  GetCurrentDirectoryA(MAX_PATH, dir);
  GetModuleFileNameA(NULL, module, MAX_PATH);
  LoadStringA(GetModuleHandleA(NULL), 1, res, sizeof res);
  char title[1024];
  std::snprintf(title, sizeof title, "pid=%lu starts=%d dir=%s res=%s module=%s dev=%d click=%u%s",
                (unsigned long)GetCurrentProcessId(), g_starts, dir, res, module, g_deviceChanges, g_click,
                g_spawned.c_str());
  SetWindowTextA(window, title);
}

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DEVICECHANGE:
      if (wParam == DBT_DEVNODES_CHANGED) ++g_deviceChanges;
      ShowState(window);
      return TRUE;
    case WM_COPYDATA: {
      const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (data->dwData == 1 && data->cbData == 4 && std::memcmp(data->lpData, "quit", 4) == 0) PostQuitMessage(0);
      return TRUE;
    }
    case kTrayMessage:
      if (wParam == 9) g_click = unsigned(lParam);
      ShowState(window);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

DWORD WINAPI SleepForEver(LPVOID) {
  for (;;) Sleep(5000);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  const std::string command = commandLine ? commandLine : "";
  if (command == "mutex") {
    HANDLE once = CreateMutexA(NULL, TRUE, "ProbeOnce");
    if (!once || GetLastError() == ERROR_ALREADY_EXISTS) return 7;
  }
  ++g_starts;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ProbeProc;
  wc.hInstance = instance;
  wc.lpszClassName = "ProbeWindow";
  if (!RegisterClassA(&wc)) return 3;
  HWND window = CreateWindowExA(0, "ProbeWindow", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, instance, NULL);
  if (!window) return 4;
  if (command == "spawn") {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(NULL, self, MAX_PATH);
    char line[] = "probe.exe child";
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessA(self, line, NULL, NULL, FALSE, NORMAL_PRIORITY_CLASS, NULL, NULL, &startup, &info)) {
      g_spawned = " spawned=" + std::to_string(info.dwProcessId);
      CloseHandle(info.hThread);
      CloseHandle(info.hProcess);
    } else {
      g_spawned = " spawned=error" + std::to_string(GetLastError());
    }
  }
  NOTIFYICONDATAA icon;
  std::memset(&icon, 0, sizeof icon);
  icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
  icon.hWnd = window;
  icon.uID = 9;
  icon.uFlags = NIF_MESSAGE | NIF_TIP;
  icon.uCallbackMessage = kTrayMessage;
  std::strcpy(icon.szTip, "probe");
  Shell_NotifyIconA(NIM_ADD, &icon);
  HANDLE sleeper = CreateThread(NULL, 0, SleepForEver, NULL, 0, NULL);
  if (sleeper) CloseHandle(sleeper);
  ShowState(window);
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
  // The icon and the window are left for the end of the process to remove.
  return int(msg.wParam) + 40;
}
