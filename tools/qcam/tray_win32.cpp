// qcam as a program among the tray's programs: its watcher window, the EXIT
// command, the click on the tray icon, closing the programs around the tray.
#include <windows.h>

#include <mutex>

#include "platform/machine/notify_icons.h"
#include "platform/machine/window_system.h"
#include "shared/tray_names.h"
#include "tools/qcam/tray_win32.h"

namespace qcam_tool {
namespace tray_win32 {
namespace {

constexpr const char* kWatcherClass = "QcamTrayWatcher";

HWND g_watcher = NULL;
UINT g_buttonMessage = 0;
std::function<void(uint64_t)> g_onBroadcast;

std::mutex g_menuLock;
std::function<void(const platform::WindowPicture&, const std::string&)> g_menuObserver;

LRESULT CALLBACK WatcherProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_buttonMessage != 0 && message == g_buttonMessage) {
    if (g_onBroadcast) g_onBroadcast(uint64_t(wParam));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

std::string MenuItemsLine(const std::vector<platform::MenuItemInfo>& items) {
  std::string line;
  for (const platform::MenuItemInfo& item : items) {
    if (!line.empty()) line += " | ";
    if (item.separator) {
      line += "---";
      continue;
    }
    line += (item.checked ? "[x] " : "") + item.text + (item.grayed ? " (gray)" : "");
  }
  return line;
}

void OnPopupMenu(const platform::PopupMenuEvent& event) {
  std::function<void(const platform::WindowPicture&, const std::string&)> observer;
  {
    std::lock_guard<std::mutex> hold(g_menuLock);
    observer = g_menuObserver;
  }
  if (!observer) return;
  platform::WindowPicture picture;
  if (!platform::CaptureMenuPicture(event.menu, event.x, event.y, &picture)) picture = platform::WindowPicture();
  observer(picture, MenuItemsLine(event.items));
}

bool Close(HWND window) { return window && PostMessageA(window, WM_CLOSE, 0, 0); }

}  // namespace

bool CreateWatcherWindow(std::function<void(uint64_t)> onBroadcast, std::string* error) {
  if (g_watcher) return true;
  HINSTANCE instance = GetModuleHandleA(NULL);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WatcherProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWatcherClass;
  RegisterClassA(&windowClass);
  g_buttonMessage = RegisterWindowMessageA(qcam::kButtonMessageName);
  g_onBroadcast = std::move(onBroadcast);
  g_watcher = CreateWindowExA(0, kWatcherClass, "qcam tray watcher", WS_POPUP, 0, 0, 10, 10, NULL, NULL, instance, NULL);
  if (!g_watcher) {
    *error = "cannot create the window that watches the button message";
    return false;
  }
  return true;
}

void DestroyWatcherWindow() {
  if (!g_watcher) return;
  DestroyWindow(g_watcher);
  g_watcher = NULL;
  UnregisterClassA(kWatcherClass, GetModuleHandleA(NULL));
  g_onBroadcast = nullptr;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

bool TrayDialogExists() { return FindWindowA(NULL, kTrayDialogCaption) != NULL; }

bool SendTrayExit(std::string* error) {
  HWND dialog = FindWindowA(NULL, kTrayDialogCaption);
  if (!dialog) {
    *error = std::string("no window \"") + kTrayDialogCaption + "\" is open";
    return false;
  }
  char text[] = "EXIT";
  COPYDATASTRUCT copy{};
  copy.dwData = qcam::kTrayCommandId;
  copy.cbData = 4;
  copy.lpData = text;
  SendMessageA(dialog, WM_COPYDATA, reinterpret_cast<WPARAM>(g_watcher), reinterpret_cast<LPARAM>(&copy));
  return true;
}

bool TrayIconShown() { return !platform::NotifyIcons().empty(); }

bool ClickTrayMenu(int command, std::string* error) {
  if (platform::NotifyIcons().empty()) {
    *error = "the notification area holds no icon";
    return false;
  }
  platform::ScriptMenuChoices({command});
  if (!platform::ClickNotifyIcon(0, WM_RBUTTONUP)) {
    platform::ScriptMenuChoices({});
    *error = "the tray icon takes no clicks";
    return false;
  }
  return true;
}

void SetMenuObserver(std::function<void(const platform::WindowPicture&, const std::string&)> observer) {
  const bool on = bool(observer);
  {
    std::lock_guard<std::mutex> hold(g_menuLock);
    g_menuObserver = std::move(observer);
  }
  platform::SetPopupMenuHook(on ? platform::PopupMenuHook(OnPopupMenu) : platform::PopupMenuHook());
}

bool CaptureAppWindowExists() { return FindWindowA(qcam::kCaptureAppWindowClass, qcam::kCaptureAppWindowTitle) != NULL; }

bool CloseCaptureApp() { return Close(FindWindowA(qcam::kCaptureAppWindowClass, qcam::kCaptureAppWindowTitle)); }

bool ViewerWindowExists() { return FindWindowA(NULL, qcam::kLogViewerTitle) != NULL; }

bool CloseViewer() { return Close(FindWindowA(NULL, qcam::kLogViewerTitle)); }

}  // namespace tray_win32
}  // namespace qcam_tool
