// Finding the camera and detecting its firmware.
#include "updater/updater_core.h"

#include <cstdio>
#include <cstring>

namespace {

const WORD REG_BOARD_STRAPS = 0xF013;
const char* const TEXT_WILL_UPGRADE = "The program will upgrade the firmware of your camera!";
const char* const TEXT_PRESS_UPGRADE = "Press \"Upgrade\" to begin. Don't unplug during update period!";

}  // namespace

CUpdaterCore::CUpdaterCore(CUpdateView* view, HMODULE module)
    : view_(view), module_(module), xu_(view), device_(&xu_) {}

CUpdaterCore::~CUpdaterCore() { device_.Release(); }

void CUpdaterCore::ApplySettings(const UpdaterSettings& s) {
  patterns_.clear();
  patterns_.push_back(MakeDevicePattern(CAMERA_VENDOR_ID, CAMERA_PRODUCT_ID_1));
  patterns_.push_back(MakeDevicePattern(CAMERA_VENDOR_ID, CAMERA_PRODUCT_ID_2));
  patterns_.push_back(MakeDevicePattern("", s.pid3));
  patterns_.push_back(MakeDevicePattern(s.vid4, s.pid4));
  patterns_.push_back(MakeDevicePattern(s.vid5, s.pid5));
  if (s.guidValid) {
    GUID guid;
    std::memcpy(&guid, s.guid, sizeof(guid));
    xu_.SetConfiguredGuid(guid);
  }
  xu_.UseConfiguredGuid();
  writeProtect_ = s.writeProtect;
  gpio_ = s.gpio;
}

void CUpdaterCore::LogIds(const char* format, const std::string& displayName, bool vendorFirst) {
  DeviceIds ids;
  ParseDeviceIds(LowerText(displayName), &ids);
  char line[64];
  if (vendorFirst) std::snprintf(line, sizeof(line), format, unsigned(ids.vendor), unsigned(ids.product));
  else std::snprintf(line, sizeof(line), format, unsigned(ids.product), unsigned(ids.vendor));
  view_->Log(line);
}

void CUpdaterCore::RefreshDeviceList() {
  std::vector<std::string> displays, friendlies;
  CCaptureDevice::EnumerateDevices(&displays, &friendlies);
  displayNames_.clear();
  friendlyNames_.clear();
  view_->ClearDeviceCombo();
  if (displays.empty()) {
    view_->SetStatusText("Waiting until device is ready...");
    view_->EnableUpgrade(false);
  }
  for (size_t i = 0; i < displays.size(); ++i) {
    if (!MatchesDevicePattern(displays[i], patterns_)) {
      view_->EnableUpgrade(false);
      view_->SetStatusText("No device found! VID PID Error!");
      continue;
    }
    view_->AddDeviceComboItem(friendlies[i]);
    displayNames_.push_back(displays[i]);
    friendlyNames_.push_back(friendlies[i]);
    LogIds("VID = 0x%04x, PID = 0x%04x.", displays[i], true);
    // The flag chooses the image for the device detection opens: the first
    // matching one, not whichever matching device happens to be listed last.
    if (displayNames_.size() == 1) {
      DeviceIds ids;
      ParseDeviceIds(LowerText(displays[i]), &ids);
      productFlag_ = LowerText(ids.productText) == LowerText(CAMERA_PRODUCT_ID_1);
    }
    if (!view_->VersionText().empty()) {
      view_->SetStatusText(std::string(TEXT_WILL_UPGRADE) + ".");
      view_->SetProgressText(TEXT_PRESS_UPGRADE);
    }
  }
}

bool CUpdaterCore::FindFirstMatch(std::string* displayName, std::string* friendlyName) {
  CCaptureDevice::EnumerateDevices(&displayNames_, &friendlyNames_);
  for (size_t i = 0; i < displayNames_.size(); ++i) {
    if (MatchesDevicePattern(displayNames_[i], patterns_)) {
      *displayName = displayNames_[i];
      *friendlyName = friendlyNames_[i];
      LogIds("PID = 0x%x, VID = 0x%x.", displayNames_[i], false);
      return true;
    }
  }
  return false;
}

void CUpdaterCore::Detect(DetectMode mode) {
  RefreshDeviceList();
  if (view_->DeviceComboCount() == 0 || displayNames_.empty()) return;
  device_.Open(displayNames_[0], friendlyNames_[0]);
  view_->Wait(1000);
  BYTE info[XU_INFO_SIZE] = {};
  if (!xu_.Probe(info)) {
    if (mode == DetectOnArrival) {
      view_->EnableClose(true);
      view_->EnableUpgrade(false);
      view_->Message("Win driver doesn't support FW update feature!", "QCAMLDR", MB_OK);
    }
    return;
  }
  if (CXuChannel::DialectOf(info) == LegacyProtocol) {
    if (mode == DetectAtStart) xu_.SetDialect(LegacyProtocol);
    else view_->SetVersionText("UNKNOWN FW VERSION");
    return;
  }
  xu_.SetDialect(PacketProtocol);
  const int straps = xu_.ReadRegister(REG_BOARD_STRAPS);
  if (straps < 0) return;
  const WORD id = (straps & 0x04) ? (productFlag_ ? 135 : 138) : (productFlag_ ? 137 : 139);
  if (image_.LoadImage(module_, id, view_)) loadedImage_ = id;
  DWORD version = 0;
  if (xu_.ReadVersion(&version) != 0) return;
  const std::string text = FormatFirmwareVersion(version);
  view_->Log(text);
  view_->SetVersionText(text);
  if (mode == DetectAtStart && !view_->VersionText().empty()) {
    view_->SetStatusText(TEXT_WILL_UPGRADE);
    view_->SetProgressText(TEXT_PRESS_UPGRADE);
    view_->EnableUpgrade(true);
    view_->Repaint();
  }
}
