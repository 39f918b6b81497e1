// Window operations shared by the Win32 calls, the dialog manager and the
// controls.
#pragma once

#include <string>

#include <windows.h>

namespace platform {
namespace win32 {

// CreateWindowEx with the strings already in ANSI; `unicode` tells the
// character set of the caller (and of the CREATESTRUCT the new window's
// procedure receives).
struct CreateRequest {
  DWORD exStyle = 0;
  std::string className;
  bool hasName = false;
  std::string windowName;
  DWORD style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  HWND parent = nullptr;
  HMENU menu = nullptr;
  HINSTANCE instance = nullptr;
  LPVOID param = nullptr;
  bool unicode = false;
};
HWND CreateWindowCommon(const CreateRequest& request);

// Sends WM_NCDESTROY to the window and its descendants (children first)
// and removes them, without WM_DESTROY (for a creation that failed, and as
// the last step of DestroyWindow).
void DiscardWindow(HWND hwnd);

// SetWindowPos without the handle check: sends WM_WINDOWPOSCHANGING (whose
// handler may change the request) and WM_WINDOWPOSCHANGED, and activates a
// top-level window that is shown without SWP_NOACTIVATE.
bool PositionWindow(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags);
// Moves the calling thread's keyboard focus, with WM_KILLFOCUS and
// WM_SETFOCUS.
void MoveFocus(HWND to);

// Stores a window's text (DefWindowProc's WM_SETTEXT) and reads it back.
void StoreWindowText(HWND hwnd, const std::string& text);
std::string WindowText(HWND hwnd);

}  // namespace win32
}  // namespace platform
