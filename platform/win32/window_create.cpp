// Window classes, CreateWindowEx and DestroyWindow.
#include <algorithm>
#include <cstring>

#include "platform/win32/atoms.h"
#include "platform/win32/dialog_manager.h"
#include "platform/win32/message_queue.h"
#include "platform/win32/text.h"
#include "platform/win32/window_manager.h"
#include "platform/win32/window_ops.h"

namespace platform {
namespace win32 {
namespace {

// A class name as RegisterClass and CreateWindowEx take it: a string or an
// atom (MAKEINTATOM).
std::string ClassNameOf(LPCSTR name) {
  if (IS_INTRESOURCE(name)) return AtomName(ATOM(reinterpret_cast<ULONG_PTR>(name)));
  return name;
}
std::string ClassNameOf(LPCWSTR name) {
  if (IS_INTRESOURCE(name)) return AtomName(ATOM(reinterpret_cast<ULONG_PTR>(name)));
  return WideToAnsiText(name);
}

ATOM Register(WindowClass cls) {
  if (!cls.proc || cls.name.empty() || cls.windowExtra < 0 || cls.classExtra < 0 || cls.windowExtra > 40000) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WindowGuard hold(WindowLock());
  for (const auto& c : ClassList()) {
    if (!c->system && c->instance == cls.instance && EqualNoCase(c->name, cls.name)) {
      SetLastError(ERROR_CLASS_ALREADY_EXISTS);
      return 0;
    }
  }
  cls.atom = AddAtomName(cls.name);
  if (!cls.atom) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  ClassList().push_back(std::make_shared<WindowClass>(cls));
  return cls.atom;
}

template <class C>
WindowClass FromWndClass(const C& wc, const std::string& name, bool unicode) {
  WindowClass cls;
  cls.name = name;
  cls.style = wc.style;
  cls.proc = wc.lpfnWndProc;
  cls.unicode = unicode;
  cls.classExtra = wc.cbClsExtra;
  cls.windowExtra = wc.cbWndExtra;
  cls.instance = wc.hInstance;
  cls.icon = wc.hIcon;
  cls.cursor = wc.hCursor;
  cls.background = wc.hbrBackground;
  return cls;
}

bool Unregister(const std::string& name, HINSTANCE instance) {
  WindowGuard hold(WindowLock());
  auto& classes = ClassList();
  for (auto it = classes.begin(); it != classes.end(); ++it) {
    if ((*it)->system || (*it)->instance != instance || !EqualNoCase((*it)->name, name)) continue;
    for (HWND top : TopLevelWindows()) {
      for (HWND h : WindowAndDescendants(top)) {
        WindowPtr w = FindWindowRecord(h);
        if (w && w->windowClass == *it) {
          SetLastError(1412 /* ERROR_CLASS_HAS_WINDOWS */);
          return false;
        }
      }
    }
    classes.erase(it);
    return true;
  }
  SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
  return false;
}

// Where a window without a position of its own goes, as Windows cascades
// new overlapped windows.
void DefaultPlacement(DWORD style, int* x, int* y, int* cx, int* cy) {
  const bool overlapped = !(style & (WS_CHILD | WS_POPUP));
  if (*x == CW_USEDEFAULT) {
    *x = overlapped ? 26 : 0;
    *y = overlapped ? 26 : 0;
  }
  if (*cx == CW_USEDEFAULT) {
    *cx = overlapped ? kScreenWidth * 3 / 4 : 0;
    *cy = overlapped ? kScreenHeight * 3 / 4 : 0;
  }
}

// Text and class strings for WM_NCCREATE / WM_CREATE in the caller's set.
struct CreateText {
  std::string ansiName, ansiClass;
  std::wstring wideName, wideClass;
};

}  // namespace

HWND CreateWindowCommon(const CreateRequest& request) {
  std::shared_ptr<WindowClass> cls = FindClass(request.className, request.instance);
  if (!cls) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  DWORD style = request.style;
  DWORD exStyle = request.exStyle;
  HWND parent = nullptr, owner = nullptr;
  bool messageOnly = false;
  if (request.parent == HWND_MESSAGE) {
    messageOnly = true;
  } else if (style & WS_CHILD) {
    // A child of the desktop window stands among the top-level windows, as
    // on Windows (property pages measure their templates that way).
    if (!request.parent || (request.parent != DesktopHandle() && !CheckWindow(request.parent))) {
      SetLastError(ERROR_TLW_WITH_WSCHILD);
      return nullptr;
    }
    if (request.parent != DesktopHandle()) parent = request.parent;
  } else if (request.parent && request.parent != DesktopHandle()) {
    if (!CheckWindow(request.parent)) return nullptr;
    owner = GetAncestor(request.parent, GA_ROOT);
  }
  if (!(style & (WS_CHILD | WS_POPUP))) style |= WS_CAPTION | WS_CLIPSIBLINGS;
  if ((exStyle & WS_EX_DLGMODALFRAME) || (style & WS_DLGFRAME) || (style & WS_THICKFRAME) ||
      !(style & (WS_CHILD | WS_POPUP)))
    exStyle |= WS_EX_WINDOWEDGE;
  int x = request.x, y = request.y, cx = request.cx, cy = request.cy;
  DefaultPlacement(style, &x, &y, &cx, &cy);
  cx = std::max(cx, 0);
  cy = std::max(cy, 0);

  WindowPtr w = AddWindowRecord();
  const HWND hwnd = w->handle;
  {
    WindowGuard hold(WindowLock());
    w->windowClass = cls;
    w->proc = cls->proc;
    w->unicode = cls->unicode;
    w->parent = parent;
    w->owner = owner;
    w->style = style & ~WS_VISIBLE;
    w->exStyle = exStyle;
    if (style & WS_CHILD)
      w->id = reinterpret_cast<UINT_PTR>(request.menu);
    else
      w->menu = request.menu;
    w->instance = request.instance;
    w->rect = {x, y, x + cx, y + cy};
    w->extra.assign(size_t(cls->windowExtra), 0);
    w->threadId = CallerThreadId();
    w->processId = CallerProcessId();
    w->queue = CurrentQueue();
    w->messageOnly = messageOnly;
    if (cls->makeState) w->control = cls->makeState();
    if (parent) {
      FindWindowRecord(parent)->children.push_back(hwnd);
    } else {
      LinkTopLevel(hwnd, true);
    }
  }

  CREATESTRUCTA cs;
  cs.lpCreateParams = request.param;
  cs.hInstance = request.instance;
  cs.hMenu = request.menu;
  cs.hwndParent = request.parent;
  cs.cy = cy;
  cs.cx = cx;
  cs.y = y;
  cs.x = x;
  cs.style = LONG(request.style);
  cs.dwExStyle = exStyle;
  CreateText text;
  CREATESTRUCTW csw;
  std::memcpy(&csw, &cs, sizeof(cs));
  if (request.unicode) {
    text.wideName = AnsiToWideText(request.windowName);
    text.wideClass = AnsiToWideText(request.className);
    csw.lpszName = request.hasName ? text.wideName.c_str() : nullptr;
    csw.lpszClass = text.wideClass.c_str();
  } else {
    cs.lpszName = request.hasName ? request.windowName.c_str() : nullptr;
    cs.lpszClass = request.className.c_str();
  }
  const LPARAM createParam = request.unicode ? reinterpret_cast<LPARAM>(&csw) : reinterpret_cast<LPARAM>(&cs);
  if (!CallWindow(hwnd, WM_NCCREATE, 0, createParam, request.unicode)) {
    DiscardWindow(hwnd);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (CallWindow(hwnd, WM_CREATE, 0, createParam, request.unicode) == -1) {
    DestroyWindow(hwnd);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!IsWindow(hwnd)) return nullptr;  // destroyed while it was created
  RECT client;
  GetClientRect(hwnd, &client);
  CallWindow(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom), false);
  RECT where = {0, 0, 0, 0};
  {
    WindowGuard hold(WindowLock());
    WindowPtr created = FindWindowRecord(hwnd);
    if (created) where = ClientRectInParent(*created);
  }
  CallWindow(hwnd, WM_MOVE, 0, MAKELPARAM(where.left, where.top), false);
  if ((style & WS_VISIBLE) && IsWindow(hwnd))
    ShowWindow(hwnd, (style & WS_CHILD) ? SW_SHOW : SW_SHOWNORMAL);
  return IsWindow(hwnd) ? hwnd : nullptr;
}

void DiscardWindow(HWND hwnd) {
  std::vector<HWND> tree = WindowAndDescendants(hwnd);
  for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
    CallWindow(*it, WM_NCDESTROY, 0, 0, false);
    ForgetWindow(*it);
    ReleaseDialogResources(*it);
    // A window's menus go with it.
    HMENU menus[2] = {nullptr, nullptr};
    {
      WindowGuard hold(WindowLock());
      WindowPtr w = FindWindowRecord(*it);
      if (w) {
        menus[0] = w->systemMenu;
        if (!(w->style & WS_CHILD)) menus[1] = w->menu;
      }
    }
    for (HMENU m : menus)
      if (m) DestroyMenu(m);
    RemoveWindowRecord(*it);
  }
}

}  // namespace win32
}  // namespace platform

using namespace platform::win32;

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName) return SetLastError(ERROR_INVALID_PARAMETER), ATOM(0);
  return Register(FromWndClass(*wc, ClassNameOf(wc->lpszClassName), false));
}

ATOM WINAPI RegisterClassW(const WNDCLASSW* wc) {
  if (!wc || !wc->lpszClassName) return SetLastError(ERROR_INVALID_PARAMETER), ATOM(0);
  return Register(FromWndClass(*wc, ClassNameOf(wc->lpszClassName), true));
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpszClassName)
    return SetLastError(ERROR_INVALID_PARAMETER), ATOM(0);
  WindowClass cls = FromWndClass(*wc, ClassNameOf(wc->lpszClassName), false);
  cls.iconSmall = wc->hIconSm;
  return Register(cls);
}

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpszClassName)
    return SetLastError(ERROR_INVALID_PARAMETER), ATOM(0);
  WindowClass cls = FromWndClass(*wc, ClassNameOf(wc->lpszClassName), true);
  cls.iconSmall = wc->hIconSm;
  return Register(cls);
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance) {
  if (!lpClassName) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  return Unregister(ClassNameOf(lpClassName), hInstance);
}

BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance) {
  if (!lpClassName) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  return Unregister(ClassNameOf(lpClassName), hInstance);
}

BOOL WINAPI GetClassInfoExA(HINSTANCE hInstance, LPCSTR lpszClass, LPWNDCLASSEXA wc) {
  if (!lpszClass || !wc) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  std::shared_ptr<WindowClass> cls = FindClass(ClassNameOf(lpszClass), hInstance);
  if (!cls) return SetLastError(ERROR_CLASS_DOES_NOT_EXIST), FALSE;
  wc->style = cls->style;
  wc->lpfnWndProc = cls->proc;
  wc->cbClsExtra = cls->classExtra;
  wc->cbWndExtra = cls->windowExtra;
  wc->hInstance = cls->instance;
  wc->hIcon = cls->icon;
  wc->hCursor = cls->cursor;
  wc->hbrBackground = cls->background;
  wc->lpszMenuName = nullptr;
  wc->lpszClassName = lpszClass;
  wc->hIconSm = cls->iconSmall;
  return TRUE;
}

BOOL WINAPI GetClassInfoA(HINSTANCE hInstance, LPCSTR lpClassName, LPWNDCLASSA wc) {
  WNDCLASSEXA ex;
  ex.cbSize = sizeof(ex);
  if (!wc || !GetClassInfoExA(hInstance, lpClassName, &ex)) return FALSE;
  std::memcpy(wc, &ex.style, sizeof(WNDCLASSA));
  return TRUE;
}

int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hWnd);
  if (!w) return 0;
  return CopyOut(w->windowClass->name, lpClassName, nMaxCount);
}

int WINAPI GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount) {
  std::string name;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = CheckWindow(hWnd);
    if (!w) return 0;
    name = w->windowClass->name;
  }
  return CopyOut(AnsiToWideText(name), lpClassName, nMaxCount);
}

namespace {
HWND CreateWithNames(DWORD exStyle, const std::string& className, bool hasName, const std::string& windowName,
                     DWORD style, int x, int y, int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param, bool unicode) {
  CreateRequest r;
  r.exStyle = exStyle;
  r.className = className;
  r.hasName = hasName;
  r.windowName = windowName;
  r.style = style;
  r.x = x;
  r.y = y;
  r.cx = cx;
  r.cy = cy;
  r.parent = parent;
  r.menu = menu;
  r.instance = instance;
  r.param = param;
  r.unicode = unicode;
  return CreateWindowCommon(r);
}
}  // namespace

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
  if (!lpClassName) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  return CreateWithNames(dwExStyle, ClassNameOf(lpClassName), lpWindowName != nullptr, AnsiOrEmpty(lpWindowName),
                         dwStyle, X, Y, nWidth, nHeight, hWndParent, hMenu, hInstance, lpParam, false);
}

HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
  if (!lpClassName) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  return CreateWithNames(dwExStyle, ClassNameOf(lpClassName), lpWindowName != nullptr,
                         WideToAnsiText(WideOrEmpty(lpWindowName)), dwStyle, X, Y, nWidth, nHeight, hWndParent, hMenu,
                         hInstance, lpParam, true);
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  WindowPtr w = CheckWindow(hWnd);
  if (!w) return FALSE;
  {
    WindowGuard hold(WindowLock());
    if (w->threadId != CallerThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return TRUE;
  }
  // Owned windows go first.
  for (HWND top : TopLevelWindows()) {
    WindowPtr t = FindWindowRecord(top);
    if (t && t->owner == hWnd && t->threadId == CallerThreadId()) DestroyWindow(top);
  }
  if (IsWindowVisible(hWnd))
    SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
  std::vector<HWND> tree = WindowAndDescendants(hWnd);
  {
    WindowGuard hold(WindowLock());
    for (HWND h : tree) FindWindowRecord(h)->destroying = true;
    QueuePtr q = CurrentQueue();
    std::lock_guard<std::mutex> qhold(q->lock);
    if (std::find(tree.begin(), tree.end(), q->focus) != tree.end()) q->focus = nullptr;
  }
  // WM_DESTROY parents first, while the children still exist; then
  // WM_NCDESTROY children first.
  for (HWND h : tree) CallWindow(h, WM_DESTROY, 0, 0, false);
  DiscardWindow(hWnd);
  return TRUE;
}
