// CSystemTray: the tray's notification-area icon and the hidden window
// that receives its notifications and hands them to the main dialog.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

class CQORTrayDlg;

class CSystemTray {
 public:
  // The id of the icon and of the menu resource it shows.
  static constexpr UINT kIconId = 141;

  CSystemTray(HINSTANCE instance, CQORTrayDlg* owner);
  // Removes the icon and destroys the hidden window.
  ~CSystemTray();
  CSystemTray(const CSystemTray&) = delete;
  CSystemTray& operator=(const CSystemTray&) = delete;

  // Creates the hidden 10 x 10 popup window and adds the icon with the
  // callback message and the tip; false when the window could not be made
  // or the shell refused the icon.
  bool Create(UINT callbackMessage, HICON icon, const std::string& tip);
  // Removes the icon when it was added.
  void RemoveIcon();
  bool Added() const { return added_ != FALSE; }
  UINT MenuId() const { return menuId_; }
  HWND Window() const { return hwnd_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance_;
  CQORTrayDlg* owner_;
  HWND hwnd_ = NULL;
  NOTIFYICONDATAA data_;
  BOOL added_ = FALSE;
  UINT menuId_ = kIconId;
};
