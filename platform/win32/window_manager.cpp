// The table of windows and classes, and window geometry.
#include "platform/win32/window_manager.h"

#include <algorithm>

#include "platform/win32/atoms.h"
#include "platform/win32/message_queue.h"
#include "platform/win32/text.h"

namespace platform {
namespace win32 {
namespace {

struct Table {
  std::recursive_mutex lock;
  std::map<HWND, WindowPtr> windows;
  std::vector<HWND> topLevel;  // z order, top first
  uintptr_t nextHandle = 0x20000;
  std::vector<std::shared_ptr<WindowClass>> classes;
};
Table& T() {
  static Table* t = new Table;
  return *t;
}

// Handles are never reused, so a stale handle stays invalid.
HWND NewHandle(Table& t) {
  const uintptr_t h = t.nextHandle;
  t.nextHandle += 4;
  return reinterpret_cast<HWND>(h);
}

constexpr uintptr_t kDesktop = 0x10010;

}  // namespace

std::recursive_mutex& WindowLock() { return T().lock; }

HWND DesktopHandle() { return reinterpret_cast<HWND>(kDesktop); }

WindowPtr FindWindowRecord(HWND hwnd) {
  Table& t = T();
  WindowGuard hold(t.lock);
  auto it = t.windows.find(hwnd);
  return it == t.windows.end() ? nullptr : it->second;
}

WindowPtr CheckWindow(HWND hwnd) {
  WindowPtr w = FindWindowRecord(hwnd);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

std::vector<HWND> TopLevelWindows() {
  Table& t = T();
  WindowGuard hold(t.lock);
  return t.topLevel;
}

std::vector<HWND> WindowAndDescendants(HWND hwnd) {
  Table& t = T();
  WindowGuard hold(t.lock);
  std::vector<HWND> out;
  if (!t.windows.count(hwnd)) return out;
  out.push_back(hwnd);
  for (size_t i = 0; i < out.size(); ++i) {
    const WindowPtr& w = t.windows[out[i]];
    out.insert(out.end(), w->children.begin(), w->children.end());
  }
  return out;
}

WindowPtr AddWindowRecord() {
  Table& t = T();
  WindowGuard hold(t.lock);
  auto w = std::make_shared<Window>();
  w->handle = NewHandle(t);
  t.windows[w->handle] = w;
  return w;
}

void RemoveWindowRecord(HWND hwnd) {
  Table& t = T();
  WindowGuard hold(t.lock);
  auto it = t.windows.find(hwnd);
  if (it == t.windows.end()) return;
  WindowPtr w = it->second;
  t.windows.erase(it);
  if (w->parent) {
    auto p = t.windows.find(w->parent);
    if (p != t.windows.end()) {
      auto& siblings = p->second->children;
      siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
    }
  } else {
    t.topLevel.erase(std::remove(t.topLevel.begin(), t.topLevel.end(), hwnd), t.topLevel.end());
  }
}

void LinkTopLevel(HWND hwnd, bool atTop) {
  Table& t = T();
  WindowGuard hold(t.lock);
  t.topLevel.erase(std::remove(t.topLevel.begin(), t.topLevel.end(), hwnd), t.topLevel.end());
  if (atTop)
    t.topLevel.insert(t.topLevel.begin(), hwnd);
  else
    t.topLevel.push_back(hwnd);
}

std::vector<HWND>* SiblingList(const Window& w) {
  Table& t = T();
  if (!w.parent) return &t.topLevel;
  auto p = t.windows.find(w.parent);
  return p == t.windows.end() ? nullptr : &p->second->children;
}

std::shared_ptr<WindowClass> FindClass(const std::string& name, HINSTANCE instance) {
  Table& t = T();
  WindowGuard hold(t.lock);
  const ATOM atom = FindAtomName(name);
  auto matches = [&](const std::shared_ptr<WindowClass>& c) { return c->atom == atom || EqualNoCase(c->name, name); };
  const DWORD process = CallerProcessId();
  for (const auto& c : t.classes)
    if (!c->system && c->processId == process && c->instance == instance && matches(c)) return c;
  for (const auto& c : t.classes)
    if (!c->system && c->processId == process && (c->style & CS_GLOBALCLASS) && matches(c)) return c;
  for (const auto& c : t.classes)
    if (c->system && matches(c)) return c;
  return nullptr;
}

std::vector<std::shared_ptr<WindowClass>>& ClassList() { return T().classes; }

void RegisterSystemClass(const WindowClass& cls) {
  Table& t = T();
  WindowGuard hold(t.lock);
  for (const auto& c : t.classes)
    if (c->system && EqualNoCase(c->name, cls.name)) return;
  auto c = std::make_shared<WindowClass>(cls);
  c->system = true;
  if (!c->atom) c->atom = AddAtomName(c->name);
  t.classes.push_back(c);
}

// Classic metrics at 96 DPI: dialog frame 3, sizing frame 4, border 1,
// client edge 2, caption 18 plus its 1-pixel line, menu bar 19.
RECT NonClientInsets(DWORD style, DWORD exStyle, bool hasMenu) {
  int adjust = 0;
  if ((exStyle & (WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME)) == WS_EX_STATICEDGE)
    adjust = 1;
  else if ((exStyle & WS_EX_DLGMODALFRAME) || (style & (WS_THICKFRAME | WS_DLGFRAME)))
    adjust = 2;
  if (style & WS_THICKFRAME) adjust += 1;
  if ((style & (WS_BORDER | WS_DLGFRAME)) || (exStyle & WS_EX_DLGMODALFRAME)) adjust += 1;
  RECT r = {adjust, adjust, adjust, adjust};
  if ((style & WS_CAPTION) == WS_CAPTION) r.top += (exStyle & WS_EX_TOOLWINDOW) ? 16 : 19;
  if (hasMenu) r.top += 19;
  if (exStyle & WS_EX_CLIENTEDGE) {
    r.left += 2;
    r.top += 2;
    r.right += 2;
    r.bottom += 2;
  }
  return r;
}

RECT ClientRectInParent(const Window& w) {
  const bool hasMenu = !(w.style & WS_CHILD) && w.menu;
  const RECT in = NonClientInsets(w.style, w.exStyle, hasMenu);
  RECT r = {w.rect.left + in.left, w.rect.top + in.top, w.rect.right - in.right, w.rect.bottom - in.bottom};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

POINT ClientOriginOnScreen(HWND hwnd) {
  POINT p = {0, 0};
  WindowGuard hold(WindowLock());
  for (WindowPtr w = FindWindowRecord(hwnd); w; w = FindWindowRecord(w->parent)) {
    const RECT client = ClientRectInParent(*w);
    p.x += client.left;
    p.y += client.top;
    if (!w->parent) break;
  }
  return p;
}

}  // namespace win32
}  // namespace platform
