// "Firmware Upgrade Tool": the updater's one dialog (template 102). It
// shows the camera's firmware version, runs detection when it opens and
// whenever a capture device arrives, runs the update from its Upgrade
// button and keeps the hidden options and log list.
#pragma once

#include <windows.h>

#include "platform/appframe/app_dialog.h"
#include "updater/settings_profile.h"
#include "updater/update_view.h"
#include "updater/updater_core.h"

class CUpgradeDialog : public CAppDialog, public CUpdateView {
 public:
  CUpgradeDialog(HINSTANCE instance, const CSettingsProfile& settings);
  ~CUpgradeDialog() override;

  CUpdaterCore& Core() { return core_; }
  const UpdateOptions& Options() const { return options_; }

  // CUpdateView
  void SetStatusText(const std::string& text) override;
  void SetProgressText(const std::string& text) override;
  void SetVersionText(const std::string& text) override;
  std::string VersionText() const override;
  void SetProgressBar(int percent) override;
  void Log(const std::string& line) override;
  void Repaint() override { CAppDialog::Repaint(); }
  int Message(const std::string& text, const std::string& caption, UINT type) override;
  void PumpOneMessage() override { CAppDialog::PumpOneMessage(); }
  void Wait(DWORD ms) override { Sleep(ms); }
  void ClearDeviceCombo() override;
  void AddDeviceComboItem(const std::string& friendlyName) override;
  int DeviceComboCount() const override;
  void EnableUpgrade(bool enable) override { EnableItem(1011, enable); }
  void EnableClose(bool enable) override { EnableItem(1019, enable); }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override {}
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

 private:
  void OnUpgrade();
  void OnOptionClicked(int id);
  void OnDeviceChange(WPARAM event);
  void TransferOptions();

  const CSettingsProfile& settings_;
  CUpdaterCore core_;
  UpdateOptions options_;
  HDEVNOTIFY notification_ = NULL;
  HICON icon_ = NULL;
};
