// The window manager's own records: window classes, windows and the table
// that holds them, shared by the Win32 calls of platform/win32 and by the
// machine controls of platform/machine/window_system.h.
//
// Locking: one recursive lock guards the table and every field of every
// window. It is never held while a window procedure runs or while a thread
// waits for another one, so procedures may call back into any function.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <windows.h>

#include "platform/machine/window_tree.h"
#include "platform/win32/dialog_manager.h"

namespace platform {
namespace win32 {

struct ThreadQueue;

// Class-specific state of the predefined controls (button check state,
// list items, trackbar range...). The window owns it.
struct ControlState {
  virtual ~ControlState() = default;
  // Copies what a picture of the control shows into `node`.
  virtual void Describe(WindowNode* node) const {}
};

struct WindowClass {
  std::string name;  // ANSI
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
  bool unicode = false;
  int classExtra = 0;
  int windowExtra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HICON iconSmall = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  bool system = false;  // predefined by the window system
  DWORD processId = 0;  // application classes belong to the process that registered them
  // Creates the class-specific state for a new window of a predefined class.
  std::unique_ptr<ControlState> (*makeState)() = nullptr;
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> windowClass;
  WNDPROC proc = nullptr;
  bool unicode = false;
  HWND parent = nullptr;  // null for top-level windows
  HWND owner = nullptr;
  std::vector<HWND> children;  // z order, top first
  DWORD style = 0;
  DWORD exStyle = 0;
  UINT_PTR id = 0;  // child windows: control id
  HMENU menu = nullptr;  // top-level windows: menu bar
  HINSTANCE instance = nullptr;
  std::string text;  // ANSI, in the PC's code page
  // Window rectangle relative to the parent's client area (screen
  // coordinates for top-level windows).
  RECT rect = {0, 0, 0, 0};
  LONG_PTR userData = 0;
  std::vector<uint8_t> extra;  // cbWndExtra bytes (DWLP_* for dialogs)
  DWORD threadId = 0;
  DWORD processId = 0;
  std::shared_ptr<ThreadQueue> queue;
  bool needsPaint = false;
  HFONT font = nullptr;
  HICON iconBig = nullptr;
  HICON iconSmall = nullptr;
  HMENU systemMenu = nullptr;
  bool messageOnly = false;
  std::unique_ptr<ControlState> control;
  std::unique_ptr<DialogInfo> dialog;
  std::map<std::string, HANDLE> properties;
  bool destroying = false;  // WM_DESTROY has been sent
};

typedef std::shared_ptr<Window> WindowPtr;

std::recursive_mutex& WindowLock();
typedef std::lock_guard<std::recursive_mutex> WindowGuard;

// The live window behind a handle, or null (the desktop is not a record).
WindowPtr FindWindowRecord(HWND hwnd);
// As FindWindowRecord, setting ERROR_INVALID_WINDOW_HANDLE when there is none.
WindowPtr CheckWindow(HWND hwnd);
// The pseudo window of the whole screen.
HWND DesktopHandle();
// Top-level windows in z order (top first).
std::vector<HWND> TopLevelWindows();
// The windows `hwnd` and every descendant, parents before children.
std::vector<HWND> WindowAndDescendants(HWND hwnd);

// Adds a new window record (not yet created) and returns it.
WindowPtr AddWindowRecord();
// Removes the record from the table and from its parent's list.
void RemoveWindowRecord(HWND hwnd);
// Puts a top-level window at the top or the bottom of the z order.
void LinkTopLevel(HWND hwnd, bool atTop);
// The list `w` sits in (its parent's children, or the top-level windows);
// null when its parent is gone. Lock held.
std::vector<HWND>* SiblingList(const Window& w);
// Every registered class (lock held while it is used).
std::vector<std::shared_ptr<WindowClass>>& ClassList();

// Class lookup for CreateWindowEx: the application class of that instance,
// then a global application class, then a predefined class. Null when none.
std::shared_ptr<WindowClass> FindClass(const std::string& name, HINSTANCE instance);
// Removes what an ended process leaves in the window manager: its windows
// (without messages: the process's code is gone), its threads' queues and
// timers, and its application classes.
void RemoveProcessWindows(DWORD processId);
// Registers a predefined class once (the controls do this at start-up).
void RegisterSystemClass(const WindowClass& cls);

// The borders and caption a window of these styles has around its client
// area, as AdjustWindowRectEx computes them: left, top, right, bottom.
RECT NonClientInsets(DWORD style, DWORD exStyle, bool hasMenu);
// The window's client rectangle in its parent's client coordinates.
RECT ClientRectInParent(const Window& w);
// The screen position of the window's client-area origin (lock held).
POINT ClientOriginOnScreen(HWND hwnd);
// The size of the simulated screen.
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

// The window's state of type T, or null when it is a window of another kind.
// The caller holds the window lock while it uses the pointer.
template <class T>
T* StateOf(HWND hwnd) {
  WindowPtr w = FindWindowRecord(hwnd);
  return w ? dynamic_cast<T*>(w->control.get()) : nullptr;
}

}  // namespace win32
}  // namespace platform
