// DigitalZoomPage: the driver's digital zoom (factor, pan steps, enable)
// and face tracking, which exclude each other. Every change goes to the
// camera at once, and the special effect page opened last is told when zoom
// or face tracking change, since effects cannot run with face tracking.
#pragma once

#include "extension/pages.h"

namespace qcamext {

class DigitalZoomPage : public CustomPropPage {
 public:
  static IUnknown* Create(IUnknown* outer, HRESULT* result);
  DigitalZoomPage(IUnknown* outer, Counting counting, int templateId);

  HRESULT OnApplyChanges() override;
  HRESULT OnDeactivate() override;
  INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

  // Zoom index 0 ... 16 and the factor in thousandths (1000 + 125 * index).
  static LONG FactorOfIndex(int index);
  static int IndexOfFactor(LONG factor);

 protected:
  void PageTitle(WCHAR* title, int capacity) override { LocalisedTitle(LocalisedPage::kZoom, title, capacity); }
  void OnInitDialog(HWND window) override;

 private:
  void ReadValues();
  void RefreshControls();
  void SendChanges();
  void HandleCommand(int id);
  void NotifyEffectPage();
  bool Checked(int id) const;

  int zoomIndex_ = 0, sentZoomIndex_ = 0;
  LONG stepX_ = 0, stepY_ = 0, sentStepX_ = 0, sentStepY_ = 0;
  LONG zoomEnabled_ = 0, sentZoomEnabled_ = 0;
  LONG faceTracking_ = 0, sentFaceTracking_ = 0;
  LONG formatIndex_ = -1;
  LONG pictureSize_ = 307201;
};

}  // namespace qcamext
