// CustomCameraPage: the camera's main settings page. Twelve standard
// properties through PropertyEditor objects, eight private values of the
// driver (power-line frequency, mirror, flip, snapshot size, black and
// white, outdoor, LED, low light), Save / Reload / Default of the whole
// picture setting and a one-shot snapshot. Every change goes to the camera
// at once; Apply only commits, and a page closed without Apply puts back
// what it found.
#pragma once

#include <initializer_list>
#include <memory>

#include "extension/pages.h"
#include "extension/property_editor.h"

namespace qcamext {

class CustomCameraPage : public CustomPropPage {
 public:
  static IUnknown* Create(IUnknown* outer, HRESULT* result);
  CustomCameraPage(IUnknown* outer, Counting counting, int templateId);
  ~CustomCameraPage() override;

  HRESULT OnConnect(IUnknown* filter) override;
  HRESULT OnDisconnect() override;
  HRESULT OnActivate() override;
  HRESULT OnDeactivate() override;
  HRESULT OnApplyChanges() override;
  INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  void UseVfwInterfaces() override;

  IAMVideoProcAmp* VideoProcAmp() const { return videoProcAmp_; }
  IAMCameraControl* CameraControl() const { return cameraControl_; }

  // The private values, in the order changes are sent.
  enum PrivateSlot { kPowerLine, kMirror, kFlip, kSnapshot, kBlackWhite, kOutdoor, kLed, kLowLight, kSlotCount };
  static constexpr int kEditorCount = 12;

 protected:
  void PageTitle(WCHAR* title, int capacity) override { LocalisedTitle(LocalisedPage::kCamera, title, capacity); }
  void OnInitDialog(HWND window) override;

 private:
  struct PrivateValue {
    LONG current = 0;
    LONG lastSent = 0;
    LONG initial = 0;
  };

  void ReadValues();
  void RefreshControls();
  void FillSnapshotList();
  void SendChanges();
  void SendSlot(int slot);
  bool HandleCommand(HWND control, int id);
  void SaveSettings();
  void LoadSettings(bool defaults);
  void TakeSnapshot();
  void DestroyEditors();
  HWND Window() const { return DialogWindow(); }
  bool Checked(int id) const;

  IAMVideoProcAmp* videoProcAmp_ = NULL;
  IAMCameraControl* cameraControl_ = NULL;
  PrivateValue values_[kSlotCount];
  LONG driverNumber_ = 0;
  LONG pictureSize_ = 307200;
  int lastSnapshotRow_ = 0;
  bool applied_ = false;
  std::unique_ptr<PropertyEditor> editors_[kEditorCount];
  int editorCount_ = 0;
};

}  // namespace qcamext
