// A small dialog-class layer for the user-mode programs, written over the
// Win32 calls only, so that it builds against the stand-ins and the real
// SDK alike. A program derives from CAppDialog, names its template, and
// handles messages in OnMessage as a plain switch; WM_INITDIALOG becomes
// OnInitDialog, IDOK and IDCANCEL become OnOK and OnCancel.
#pragma once

#include <windows.h>

#include <string>

class CAppDialog {
 public:
  // `instance` holds the template (null: the program's module).
  CAppDialog(HINSTANCE instance, UINT templateId, HWND parent = NULL);
  virtual ~CAppDialog();
  CAppDialog(const CAppDialog&) = delete;
  CAppDialog& operator=(const CAppDialog&) = delete;

  // Runs the dialog modally; the result EndDialog was given, or -1.
  INT_PTR DoModal();
  HWND GetSafeHwnd() const { return hwnd_; }
  HINSTANCE Instance() const { return instance_; }
  void EndDialog(INT_PTR result);

  HWND GetDlgItem(int id) const;
  void SetItemText(int id, const std::string& text);
  std::string GetItemText(int id) const;
  void EnableItem(int id, bool enable);
  void ShowItem(int id, bool show);
  void CheckItem(int id, bool check);
  bool IsItemChecked(int id) const;
  // Invalidates and repaints the whole dialog at once.
  void Repaint();
  // Dispatches at most one pending message of this thread.
  static void PumpOneMessage();

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // A message of the dialog; true when handled, with the result in *result.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) { return false; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance_;
  UINT templateId_;
  HWND parent_;
  HWND hwnd_ = NULL;
};
