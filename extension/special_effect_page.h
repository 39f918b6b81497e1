// SpecialEffectPage: one exclusive choice among the driver's picture
// effects and photo frames (radios 2001 ... 2022 and 3001 ... 3012), sent as
// one id through private property 3, and the user's own frame bitmap
// (UDFrame). The radios can be used only on RGB24 and YUY2 streams of at
// most 640x480 and while face tracking is off.
#pragma once

#include "extension/pages.h"

namespace qcamext {

class SpecialEffectPage : public CustomPropPage {
 public:
  static IUnknown* Create(IUnknown* outer, HRESULT* result);
  SpecialEffectPage(IUnknown* outer, Counting counting);

  HRESULT OnApplyChanges() override;
  HRESULT OnDeactivate() override;
  INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

  // The id a radio sends (0 for a control that is no effect or frame
  // radio), and the radio of an id (0 when none shows it).
  static LONG IdOfRadio(int radio);
  static int RadioOfId(LONG id);

 protected:
  void PageTitle(WCHAR* title, int capacity) override { LocalisedTitle(LocalisedPage::kEffect, title, capacity); }
  void OnInitDialog(HWND window) override;

 private:
  void ReadValues();
  void RefreshControls();
  void ReEvaluate();
  void EnableRadios(bool enable, bool updateButton);
  bool FormatAllowsEffects() const;
  void SendChanges();
  void Browse();
  void Update();

  LONG current_ = 1, lastSent_ = 1;
  DWORD parameters_[2] = {0, 0};
  LONG formatIndex_ = -1;
  LONG pictureSize_ = 307201;
};

}  // namespace qcamext
