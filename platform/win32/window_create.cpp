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
    if (!c->system && c->processId == CallerProcessId() && c->instance == cls.instance &&
        EqualNoCase(c->name, cls.name)) {
      SetLastError(ERROR_CLASS_ALREADY_EXISTS);
      return 0;
    }
  }
  cls.processId = CallerProcessId();
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
    if ((*it)->system || (*it)->processId != CallerProcessId() || (*it)->instance != instance ||
        !EqualNoCase((*it)->name, name))
      continue;
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

}  // namespace

namespace {

// Where a new window hangs: a child under its parent, a top-level window
// owned by the top-level window of the one given, or a message-only window.
struct Relations {
  HWND parent = nullptr;
  HWND owner = nullptr;
  bool messageOnly = false;
};

bool ResolveRelations(const CreateRequest& request, Relations* out) {
  if (request.parent == HWND_MESSAGE) {
    out->messageOnly = true;
  } else if (request.style & WS_CHILD) {
    // A child of the desktop window stands among the top-level windows, as
    // on Windows (property pages measure their templates that way).
    if (!request.parent || (request.parent != DesktopHandle() && !CheckWindow(request.parent))) {
      SetLastError(ERROR_TLW_WITH_WSCHILD);
      return false;
    }
    if (request.parent != DesktopHandle()) out->parent = request.parent;
  } else if (request.parent && request.parent != DesktopHandle()) {
    if (!CheckWindow(request.parent)) return false;
    out->owner = GetAncestor(request.parent, GA_ROOT);
  }
  return true;
}

// The record of the new window, linked into the tree (not visible yet).
HWND AddRecord(const CreateRequest& request, const std::shared_ptr<WindowClass>& cls, const Relations& relations,
               DWORD style, DWORD exStyle, const RECT& rect) {
  WindowPtr w = AddWindowRecord();
  WindowGuard hold(WindowLock());
  w->windowClass = cls;
  w->proc = cls->proc;
  w->unicode = cls->unicode;
  w->parent = relations.parent;
  w->owner = relations.owner;
  w->style = style & ~WS_VISIBLE;
  w->exStyle = exStyle;
  if (style & WS_CHILD)
    w->id = reinterpret_cast<UINT_PTR>(request.menu);
  else
    w->menu = request.menu;
  w->instance = request.instance;
  w->rect = rect;
  w->extra.assign(size_t(cls->windowExtra), 0);
  w->threadId = CallerThreadId();
  w->processId = CallerProcessId();
  w->queue = CurrentQueue();
  w->messageOnly = relations.messageOnly;
  if (cls->makeState) w->control = cls->makeState();
  if (relations.parent)
    FindWindowRecord(relations.parent)->children.push_back(w->handle);
  else
    LinkTopLevel(w->handle, true);
  return w->handle;
}

// WM_NCCREATE and WM_CREATE with the CREATESTRUCT in the caller's character
// set; false when the window refused to be created (and is gone).
bool SendCreation(HWND hwnd, const CreateRequest& request, DWORD exStyle, const RECT& rect) {
  CREATESTRUCTA cs;
  cs.lpCreateParams = request.param;
  cs.hInstance = request.instance;
  cs.hMenu = request.menu;
  cs.hwndParent = request.parent;
  cs.cy = rect.bottom - rect.top;
  cs.cx = rect.right - rect.left;
  cs.y = rect.top;
  cs.x = rect.left;
  cs.style = LONG(request.style);
  cs.dwExStyle = exStyle;
  cs.lpszName = request.hasName ? request.windowName.c_str() : nullptr;
  cs.lpszClass = request.className.c_str();
  CREATESTRUCTW csw;
  std::memcpy(&csw, &cs, sizeof(cs));
  const std::wstring wideName = AnsiToWideText(request.windowName), wideClass = AnsiToWideText(request.className);
  csw.lpszName = request.hasName ? wideName.c_str() : nullptr;
  csw.lpszClass = wideClass.c_str();
  const LPARAM param = request.unicode ? reinterpret_cast<LPARAM>(&csw) : reinterpret_cast<LPARAM>(&cs);
  if (!CallWindow(hwnd, WM_NCCREATE, 0, param, request.unicode)) {
    DiscardWindow(hwnd);
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (CallWindow(hwnd, WM_CREATE, 0, param, request.unicode) == -1) {
    DestroyWindow(hwnd);
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return IsWindow(hwnd) != FALSE;  // it may have destroyed itself meanwhile
}

// The WM_SIZE and WM_MOVE a new window gets once it exists.
void SendFirstPlacement(HWND hwnd) {
  RECT where = {0, 0, 0, 0};
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    if (!w) return;
    where = ClientRectInParent(*w);
  }
  CallWindow(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(where.right - where.left, where.bottom - where.top), false);
  CallWindow(hwnd, WM_MOVE, 0, MAKELPARAM(where.left, where.top), false);
}

}  // namespace

HWND CreateWindowCommon(const CreateRequest& request) {
  std::shared_ptr<WindowClass> cls = FindClass(request.className, request.instance);
  if (!cls) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  Relations relations;
  if (!ResolveRelations(request, &relations)) return nullptr;
  DWORD style = request.style;
  DWORD exStyle = request.exStyle;
  const bool overlapped = !(style & (WS_CHILD | WS_POPUP));
  if (overlapped) style |= WS_CAPTION | WS_CLIPSIBLINGS;
  if ((exStyle & WS_EX_DLGMODALFRAME) || (style & (WS_DLGFRAME | WS_THICKFRAME)) || overlapped)
    exStyle |= WS_EX_WINDOWEDGE;
  int x = request.x, y = request.y, cx = request.cx, cy = request.cy;
  DefaultPlacement(style, &x, &y, &cx, &cy);
  const RECT rect = {x, y, x + std::max(cx, 0), y + std::max(cy, 0)};

  const HWND hwnd = AddRecord(request, cls, relations, style, exStyle, rect);
  if (!SendCreation(hwnd, request, exStyle, rect)) return nullptr;
  SendFirstPlacement(hwnd);
  if ((style & WS_VISIBLE) && IsWindow(hwnd)) ShowWindow(hwnd, (style & WS_CHILD) ? SW_SHOW : SW_SHOWNORMAL);
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
