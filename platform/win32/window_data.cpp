// Window relations, window data (GetWindowLong...), texts and finding
// windows.
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

void StoreWindowText(HWND hwnd, const std::string& text) {
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hwnd);
  if (w) w->text = text;
}

std::string WindowText(HWND hwnd) {
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hwnd);
  return w ? w->text : std::string();
}

namespace {

// The window data at a negative index of GetWindowLong, or the extra
// bytes at a positive one. False (with ERROR_INVALID_INDEX) for an index
// outside the window's extra bytes.
bool ReadLong(HWND hwnd, int index, size_t width, LONG_PTR* value) {
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hwnd);
  if (!w) return false;
  switch (index) {
    case GWL_STYLE: *value = LONG_PTR(LONG(w->style)); return true;
    case GWL_EXSTYLE: *value = LONG_PTR(LONG(w->exStyle)); return true;
    case GWLP_WNDPROC: *value = reinterpret_cast<LONG_PTR>(w->proc); return true;
    case GWLP_HINSTANCE: *value = reinterpret_cast<LONG_PTR>(w->instance); return true;
    case GWLP_HWNDPARENT: *value = reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner); return true;
    case GWLP_ID: *value = LONG_PTR(w->id); return true;
    case GWLP_USERDATA: *value = w->userData; return true;
    default: break;
  }
  if (index < 0 || size_t(index) + width > w->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return false;
  }
  if (width == sizeof(LONG)) {
    LONG v;
    std::memcpy(&v, w->extra.data() + index, sizeof v);
    *value = v;
  } else {
    std::memcpy(value, w->extra.data() + index, sizeof(LONG_PTR));
  }
  return true;
}

void ChangeStyle(HWND hwnd, int index, LONG_PTR value) {
  STYLESTRUCT ss;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    if (!w) return;
    ss.styleOld = index == GWL_STYLE ? w->style : w->exStyle;
  }
  ss.styleNew = DWORD(value);
  CallWindow(hwnd, WM_STYLECHANGING, WPARAM(index), reinterpret_cast<LPARAM>(&ss), false);
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    if (!w) return;
    (index == GWL_STYLE ? w->style : w->exStyle) = ss.styleNew;
  }
  CallWindow(hwnd, WM_STYLECHANGED, WPARAM(index), reinterpret_cast<LPARAM>(&ss), false);
}

LONG_PTR WriteLong(HWND hwnd, int index, size_t width, LONG_PTR value, bool unicode) {
  LONG_PTR old = 0;
  if (!ReadLong(hwnd, index, width, &old)) return 0;
  if (index == GWL_STYLE || index == GWL_EXSTYLE) {
    ChangeStyle(hwnd, index, value);
    return old;
  }
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC:
      w->proc = reinterpret_cast<WNDPROC>(value);
      w->unicode = unicode;
      return old;
    case GWLP_HINSTANCE: w->instance = reinterpret_cast<HINSTANCE>(value); return old;
    case GWLP_HWNDPARENT:
      if (!w->parent) w->owner = reinterpret_cast<HWND>(value);
      return old;
    case GWLP_ID: w->id = UINT_PTR(value); return old;
    case GWLP_USERDATA: w->userData = value; return old;
    default: break;
  }
  if (width == sizeof(LONG)) {
    const LONG v = LONG(value);
    std::memcpy(w->extra.data() + index, &v, sizeof v);
  } else {
    std::memcpy(w->extra.data() + index, &value, sizeof value);
  }
  if (w->dialog && size_t(index) == DWLP_DLGPROC) NoteDialogProcedure(*w, unicode);
  return old;
}

bool Listed(const Window& w) { return !w.messageOnly; }

// Property names are atoms: their case does not matter.
std::string ToUpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

// FindWindowEx's walk over the children of `parent` (or the top-level
// windows) after `after`, matching a class (by name or atom) and a title.
HWND FindChild(HWND parent, HWND after, const std::string* cls, const std::string* title) {
  WindowGuard hold(WindowLock());
  std::vector<HWND> list;
  if (!parent || parent == DesktopHandle()) {
    list = TopLevelWindows();
  } else {
    WindowPtr p = CheckWindow(parent);
    if (!p) return nullptr;
    list = p->children;
  }
  auto start = list.begin();
  if (after) {
    start = std::find(list.begin(), list.end(), after);
    if (start == list.end()) return nullptr;
    ++start;
  }
  for (auto it = start; it != list.end(); ++it) {
    WindowPtr w = FindWindowRecord(*it);
    if (!w || !Listed(*w)) continue;
    if (cls && !EqualNoCase(w->windowClass->name, *cls)) continue;
    if (title && w->text != *title) continue;
    return *it;
  }
  return nullptr;
}

}  // namespace
}  // namespace win32
}  // namespace platform

using namespace platform::win32;

// --- Relations ----------------------------------------------------------------

BOOL WINAPI IsWindow(HWND hWnd) { return FindWindowRecord(hWnd) != nullptr; }

HWND WINAPI GetDesktopWindow(void) { return DesktopHandle(); }

HWND WINAPI GetParent(HWND hWnd) {
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hWnd);
  if (!w) return nullptr;
  if (w->style & WS_CHILD) return w->parent;
  if (w->style & WS_POPUP) return w->owner;
  return nullptr;
}

HWND WINAPI SetParent(HWND hWndChild, HWND hWndNewParent) {
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hWndChild);
  if (!w) return nullptr;
  if (hWndNewParent == DesktopHandle()) hWndNewParent = nullptr;
  WindowPtr np = hWndNewParent ? CheckWindow(hWndNewParent) : nullptr;
  if (hWndNewParent && !np) return nullptr;
  for (HWND p = hWndNewParent; p; p = FindWindowRecord(p)->parent)
    if (p == hWndChild) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  const HWND old = w->parent ? w->parent : DesktopHandle();
  std::vector<HWND>* siblings = SiblingList(*w);
  if (siblings) siblings->erase(std::remove(siblings->begin(), siblings->end(), hWndChild), siblings->end());
  w->parent = hWndNewParent;
  if (np)
    np->children.insert(np->children.begin(), hWndChild);
  else
    LinkTopLevel(hWndChild, true);
  return old;
}

HWND WINAPI GetAncestor(HWND hwnd, UINT gaFlags) {
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hwnd);
  if (!w) return nullptr;
  switch (gaFlags) {
    case GA_PARENT: return w->parent ? w->parent : DesktopHandle();
    case GA_ROOT:
      while (w->parent) w = FindWindowRecord(w->parent);
      return w->handle;
    case GA_ROOTOWNER:
      while (w->parent) w = FindWindowRecord(w->parent);
      while (w->owner && FindWindowRecord(w->owner)) w = FindWindowRecord(w->owner);
      return w->handle;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
  WindowGuard hold(WindowLock());
  if (uCmd == GW_CHILD && hWnd == DesktopHandle()) {
    std::vector<HWND> top = TopLevelWindows();
    return top.empty() ? nullptr : top.front();
  }
  WindowPtr w = CheckWindow(hWnd);
  if (!w) return nullptr;
  if (uCmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (uCmd == GW_OWNER) return w->owner;
  std::vector<HWND>* siblings = SiblingList(*w);
  if (!siblings || siblings->empty()) return nullptr;
  auto it = std::find(siblings->begin(), siblings->end(), hWnd);
  switch (uCmd) {
    case GW_HWNDFIRST: return siblings->front();
    case GW_HWNDLAST: return siblings->back();
    case GW_HWNDNEXT: return (it == siblings->end() || it + 1 == siblings->end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV: return (it == siblings->end() || it == siblings->begin()) ? nullptr : *(it - 1);
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
  }
}

HWND WINAPI GetTopWindow(HWND hWnd) { return GetWindow(hWnd ? hWnd : DesktopHandle(), GW_CHILD); }

BOOL WINAPI IsChild(HWND hWndParent, HWND hWnd) {
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hWnd);
  while (w && w->parent) {
    if (w->parent == hWndParent) return TRUE;
    w = FindWindowRecord(w->parent);
  }
  return FALSE;
}

DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hWnd);
  if (!w) return 0;
  if (lpdwProcessId) *lpdwProcessId = w->processId;
  return w->threadId;
}

HWND WINAPI FindWindowExA(HWND hWndParent, HWND hWndChildAfter, LPCSTR lpszClass, LPCSTR lpszWindow) {
  std::string cls, title;
  if (lpszClass) cls = IS_INTRESOURCE(lpszClass) ? AtomName(ATOM(reinterpret_cast<ULONG_PTR>(lpszClass))) : lpszClass;
  if (lpszWindow) title = lpszWindow;
  HWND found = FindChild(hWndParent, hWndChildAfter, lpszClass ? &cls : nullptr, lpszWindow ? &title : nullptr);
  if (!found) SetLastError(ERROR_FILE_NOT_FOUND);
  return found;
}

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
  return FindWindowExA(nullptr, nullptr, lpClassName, lpWindowName);
}

HWND WINAPI FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
  std::string cls, title;
  if (lpClassName)
    cls = IS_INTRESOURCE(lpClassName) ? AtomName(ATOM(reinterpret_cast<ULONG_PTR>(lpClassName)))
                                      : WideToAnsiText(lpClassName);
  if (lpWindowName) title = WideToAnsiText(lpWindowName);
  HWND found = FindChild(nullptr, nullptr, lpClassName ? &cls : nullptr, lpWindowName ? &title : nullptr);
  if (!found) SetLastError(ERROR_FILE_NOT_FOUND);
  return found;
}

namespace {
BOOL Enumerate(const std::vector<HWND>& list, WNDENUMPROC proc, LPARAM lParam) {
  if (!proc) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  for (HWND h : list) {
    WindowPtr w = FindWindowRecord(h);
    if (!w || !Listed(*w)) continue;
    if (!proc(h, lParam)) break;
  }
  return TRUE;
}
}  // namespace

BOOL WINAPI EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam) {
  return Enumerate(TopLevelWindows(), lpEnumFunc, lParam);
}

BOOL WINAPI EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam) {
  std::vector<HWND> list;
  if (!hWndParent || hWndParent == DesktopHandle()) {
    for (HWND top : TopLevelWindows()) {
      std::vector<HWND> tree = WindowAndDescendants(top);
      list.insert(list.end(), tree.begin(), tree.end());
    }
  } else {
    list = WindowAndDescendants(hWndParent);
    if (!list.empty()) list.erase(list.begin());
  }
  return Enumerate(list, lpEnumFunc, lParam);
}

BOOL WINAPI EnumThreadWindows(DWORD dwThreadId, WNDENUMPROC lpfn, LPARAM lParam) {
  std::vector<HWND> list;
  for (HWND top : TopLevelWindows()) {
    WindowPtr w = FindWindowRecord(top);
    if (w && w->threadId == dwThreadId) list.push_back(top);
  }
  return Enumerate(list, lpfn, lParam);
}

// --- Window data --------------------------------------------------------------

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
  LONG_PTR v = 0;
  return ReadLong(hWnd, nIndex, sizeof(LONG), &v) ? LONG(v) : 0;
}
LONG WINAPI GetWindowLongW(HWND hWnd, int nIndex) { return GetWindowLongA(hWnd, nIndex); }

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
  LONG_PTR v = 0;
  return ReadLong(hWnd, nIndex, sizeof(LONG_PTR), &v) ? v : 0;
}
LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex) { return GetWindowLongPtrA(hWnd, nIndex); }

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
  return LONG(WriteLong(hWnd, nIndex, sizeof(LONG), dwNewLong, false));
}
LONG WINAPI SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong) {
  return LONG(WriteLong(hWnd, nIndex, sizeof(LONG), dwNewLong, true));
}
LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  return WriteLong(hWnd, nIndex, sizeof(LONG_PTR), dwNewLong, false);
}
LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  return WriteLong(hWnd, nIndex, sizeof(LONG_PTR), dwNewLong, true);
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hWnd);
  return (w && (w->style & WS_CHILD)) ? int(w->id) : 0;
}

// --- Texts ----------------------------------------------------------------------

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  if (!CheckWindow(hWnd)) return FALSE;
  return Send(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString), false) != 0;
}

BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
  if (!CheckWindow(hWnd)) return FALSE;
  return Send(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString), true) != 0;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  if (!lpString || nMaxCount <= 0) return 0;
  lpString[0] = 0;
  if (!CheckWindow(hWnd)) return 0;
  return int(Send(hWnd, WM_GETTEXT, WPARAM(nMaxCount), reinterpret_cast<LPARAM>(lpString), false));
}

int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
  if (!lpString || nMaxCount <= 0) return 0;
  lpString[0] = 0;
  if (!CheckWindow(hWnd)) return 0;
  return int(Send(hWnd, WM_GETTEXT, WPARAM(nMaxCount), reinterpret_cast<LPARAM>(lpString), true));
}

int WINAPI GetWindowTextLengthA(HWND hWnd) {
  if (!CheckWindow(hWnd)) return 0;
  return int(Send(hWnd, WM_GETTEXTLENGTH, 0, 0, false));
}

int WINAPI GetWindowTextLengthW(HWND hWnd) {
  if (!CheckWindow(hWnd)) return 0;
  return int(Send(hWnd, WM_GETTEXTLENGTH, 0, 0, true));
}

// --- Properties and class data ----------------------------------------------------

BOOL WINAPI SetPropA(HWND hWnd, LPCSTR lpString, HANDLE hData) {
  if (!lpString) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hWnd);
  if (!w) return FALSE;
  w->properties[ToUpperAscii(lpString)] = hData;
  return TRUE;
}

HANDLE WINAPI GetPropA(HWND hWnd, LPCSTR lpString) {
  if (!lpString) return nullptr;
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hWnd);
  if (!w) return nullptr;
  auto it = w->properties.find(ToUpperAscii(lpString));
  return it == w->properties.end() ? nullptr : it->second;
}

HANDLE WINAPI RemovePropA(HWND hWnd, LPCSTR lpString) {
  if (!lpString) return nullptr;
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hWnd);
  if (!w) return nullptr;
  auto it = w->properties.find(ToUpperAscii(lpString));
  if (it == w->properties.end()) return nullptr;
  HANDLE data = it->second;
  w->properties.erase(it);
  return data;
}

ULONG_PTR WINAPI GetClassLongPtrA(HWND hWnd, int nIndex) {
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hWnd);
  if (!w) return 0;
  const WindowClass& c = *w->windowClass;
  switch (nIndex) {
    case GCL_STYLE: return c.style;
    case GCL_CBWNDEXTRA: return ULONG_PTR(c.windowExtra);
    case GCLP_HICON: return reinterpret_cast<ULONG_PTR>(c.icon);
    case GCLP_HICONSM: return reinterpret_cast<ULONG_PTR>(c.iconSmall);
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
  }
}

DWORD WINAPI GetClassLongA(HWND hWnd, int nIndex) { return DWORD(GetClassLongPtrA(hWnd, nIndex)); }
