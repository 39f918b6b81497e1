// The shell's notification area: Shell_NotifyIconA and the machine view of
// its icons.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <mutex>

#include "platform/machine/notify_icons.h"

namespace {

using platform::NotifyIconState;

struct Area {
  std::mutex lock;
  std::vector<NotifyIconState> icons;
  platform::NotifyIconObserver observer;
};
Area& A() {
  static Area* a = new Area;
  return *a;
}

// The tip as the record carries it: at most `capacity` bytes, cut at the
// first zero, whether or not the caller terminated it.
std::string TipOf(const NOTIFYICONDATAA& data, size_t capacity) {
  const size_t length = strnlen(data.szTip, capacity);
  return std::string(data.szTip, length == capacity ? capacity - 1 : length);
}

void Apply(const NOTIFYICONDATAA& data, size_t tipCapacity, NotifyIconState* icon) {
  if (data.uFlags & NIF_MESSAGE) icon->callbackMessage = data.uCallbackMessage;
  if (data.uFlags & NIF_ICON) icon->hasIcon = data.hIcon != NULL;
  if (data.uFlags & NIF_TIP) icon->tip = TipOf(data, tipCapacity);
}

void Notify(const char* action, const NotifyIconState& icon) {
  platform::NotifyIconObserver observer;
  {
    Area& a = A();
    std::lock_guard<std::mutex> hold(a.lock);
    observer = a.observer;
  }
  if (observer) observer(action, icon);
}

// Icons of windows that no longer exist go, as the shell drops them when
// it finds their owner gone. Lock held.
std::vector<NotifyIconState> DropOrphansLocked(Area& a) {
  std::vector<NotifyIconState> dropped;
  for (auto it = a.icons.begin(); it != a.icons.end();) {
    if (IsWindow(it->window)) {
      ++it;
      continue;
    }
    dropped.push_back(*it);
    it = a.icons.erase(it);
  }
  return dropped;
}

}  // namespace

BOOL WINAPI Shell_NotifyIconA(DWORD dwMessage, PNOTIFYICONDATAA lpData) {
  // The first-version record (a 64-byte tip) and the full record are taken;
  // a short record says nothing reliable and is refused.
  if (!lpData || (lpData->cbSize != NOTIFYICONDATAA_V1_SIZE && lpData->cbSize < sizeof(NOTIFYICONDATAA)) ||
      dwMessage > NIM_DELETE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const size_t tipCapacity = lpData->cbSize == NOTIFYICONDATAA_V1_SIZE ? 64 : sizeof(lpData->szTip);
  NotifyIconState changed;
  const char* action = nullptr;
  {
    Area& a = A();
    std::lock_guard<std::mutex> hold(a.lock);
    auto it = a.icons.begin();
    for (; it != a.icons.end(); ++it)
      if (it->window == lpData->hWnd && it->id == lpData->uID) break;
    switch (dwMessage) {
      case NIM_ADD: {
        if (it != a.icons.end() || !IsWindow(lpData->hWnd)) return FALSE;
        NotifyIconState icon;
        icon.window = lpData->hWnd;
        icon.id = lpData->uID;
        Apply(*lpData, tipCapacity, &icon);
        a.icons.push_back(icon);
        changed = icon;
        action = "add";
        break;
      }
      case NIM_MODIFY:
        if (it == a.icons.end()) return FALSE;
        Apply(*lpData, tipCapacity, &*it);
        changed = *it;
        action = "modify";
        break;
      default:
        if (it == a.icons.end()) return FALSE;
        changed = *it;
        a.icons.erase(it);
        action = "delete";
        break;
    }
  }
  Notify(action, changed);
  return TRUE;
}

namespace platform {

std::vector<NotifyIconState> NotifyIcons() {
  std::vector<NotifyIconState> dropped, icons;
  {
    Area& a = A();
    std::lock_guard<std::mutex> hold(a.lock);
    dropped = DropOrphansLocked(a);
    icons = a.icons;
  }
  for (const NotifyIconState& icon : dropped) Notify("delete", icon);
  return icons;
}

NotifyIconObserver SetNotifyIconObserver(NotifyIconObserver observer) {
  Area& a = A();
  std::lock_guard<std::mutex> hold(a.lock);
  std::swap(a.observer, observer);
  return observer;
}

bool ClickNotifyIcon(uint32_t index, unsigned mouseMessage) {
  const std::vector<NotifyIconState> icons = NotifyIcons();
  if (index >= icons.size() || !icons[index].callbackMessage) return false;
  const NotifyIconState& icon = icons[index];
  return PostMessageA(icon.window, icon.callbackMessage, icon.id, LPARAM(mouseMessage)) != FALSE;
}

void ResetNotifyIcons() {
  Area& a = A();
  std::lock_guard<std::mutex> hold(a.lock);
  a.icons.clear();
}

}  // namespace platform
