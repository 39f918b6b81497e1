// What the flash protocol and the device search write to and ask of the
// dialog that runs them: the status and progress lines, the progress bar,
// the log list, message boxes, repaints and the single message the update
// lets through. The dialog implements it; tests record it.
#pragma once

#include <windows.h>

#include <string>

class CUpdateView {
 public:
  virtual ~CUpdateView() = default;
  virtual void SetStatusText(const std::string& text) = 0;      // control 1010
  virtual void SetProgressText(const std::string& text) = 0;    // control 1017
  virtual void SetVersionText(const std::string& text) = 0;     // control 1009
  virtual std::string VersionText() const = 0;
  virtual void SetProgressBar(int percent) = 0;                 // control 1030
  virtual void Log(const std::string& line) = 0;                // list 1007
  virtual void Repaint() = 0;
  // A modal message box owned by the dialog; returns the answer.
  virtual int Message(const std::string& text, const std::string& caption, UINT type) = 0;
  // Dispatches at most one pending window message.
  virtual void PumpOneMessage() = 0;
  // Waits `ms` milliseconds (the dialog blocks meanwhile).
  virtual void Wait(DWORD ms) = 0;
  // The hidden combo box of matching devices (control 1001).
  virtual void ClearDeviceCombo() = 0;
  virtual void AddDeviceComboItem(const std::string& friendlyName) = 0;
  virtual int DeviceComboCount() const = 0;
  virtual void EnableUpgrade(bool enable) = 0;  // control 1011
  virtual void EnableClose(bool enable) = 0;    // control 1019
};
