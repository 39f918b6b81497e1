// What the updater's tests share: a memory-only PC with the system classes
// registered and COM on the test thread, a camera on the generic driver, and
// a view that records everything the updater shows.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/generic_driver.h"
#include "updater/update_view.h"
#include "updater/updater_core.h"

namespace updatertest {

class RecordingView : public CUpdateView {
 public:
  std::string status, progressText, version;
  int progressBar = 0;
  std::vector<std::string> log, messages, progressLines;
  std::vector<std::string> combo;
  bool upgradeEnabled = true, closeEnabled = false;
  int pumps = 0;
  DWORD waited = 0;

  void SetStatusText(const std::string& text) override { status = text; }
  void SetProgressText(const std::string& text) override {
    progressText = text;
    progressLines.push_back(text);
  }
  void SetVersionText(const std::string& text) override { version = text; }
  std::string VersionText() const override { return version; }
  void SetProgressBar(int percent) override { progressBar = percent; }
  void Log(const std::string& line) override { log.push_back(line); }
  void Repaint() override {}
  int Message(const std::string& text, const std::string& caption, UINT type) override {
    messages.push_back(caption == "Error!" ? "Error!: " + text : text);
    return IDOK;
  }
  void PumpOneMessage() override { ++pumps; }
  void Wait(DWORD ms) override { waited += ms; }
  void ClearDeviceCombo() override { combo.clear(); }
  void AddDeviceComboItem(const std::string& name) override { combo.push_back(name); }
  int DeviceComboCount() const override { return int(combo.size()); }
  void EnableUpgrade(bool enable) override { upgradeEnabled = enable; }
  void EnableClose(bool enable) override { closeEnabled = enable; }
  bool Logged(const std::string& line) const;
};

class UpdaterTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Plugs a camera on the generic driver (memory-only flash).
  sim::GenericCameraDevice& Plug(uint16_t productId = 0x9710, const sim::FirmwareOptions& firmware = {},
                                 uint32_t port = 1, uint32_t restartMs = 1);
  // A core with the default settings, as the dialog makes it.
  std::unique_ptr<CUpdaterCore> MakeCore();

  std::string root_;  // the PC root (C: is its C/ folder)
  double rate_ = 1;
  RecordingView view_;
  std::vector<std::unique_ptr<sim::GenericCameraDevice>> cameras_;
};

}  // namespace updatertest
