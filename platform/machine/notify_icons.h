// The notification area of the simulated PC's shell, for tests and tools
// (never for a deliverable): the icons programs added with
// Shell_NotifyIconA, an observer of their changes, and the user's click on
// one. Plain C++ types; the window handle is the SDK's HWND.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct HWND__;

namespace platform {

struct NotifyIconState {
  HWND__* window = nullptr;  // the window that gets the icon's callback message
  uint32_t id = 0;
  uint32_t callbackMessage = 0;  // 0: the icon sends none
  std::string tip;               // ANSI bytes in the PC's code page
  bool hasIcon = false;
};

// The icons in the notification area, oldest first. Icons whose window is
// gone (its program ended) are dropped as the shell drops them.
std::vector<NotifyIconState> NotifyIcons();

// Called after every change: action "add", "modify" or "delete". Returns the
// observer it replaces; an empty function removes it.
typedef std::function<void(const char* action, const NotifyIconState& icon)> NotifyIconObserver;
NotifyIconObserver SetNotifyIconObserver(NotifyIconObserver observer);

// The user's mouse on icon `index` of NotifyIcons(): posts the icon's
// callback message to its window (wParam = id, lParam = `mouseMessage`,
// such as WM_RBUTTONUP), as the shell does. False for a bad index or an
// icon without callback message.
bool ClickNotifyIcon(uint32_t index, unsigned mouseMessage);

// Drops every icon (between tests).
void ResetNotifyIcons();

}  // namespace platform
