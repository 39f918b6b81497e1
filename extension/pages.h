// The module's four property pages as the module hosts them: their class-table
// creation routines, title ids, dialog templates, the interfaces each binds
// to the filter, and the captions they take from the localisation file when
// their dialog is initialised.
#pragma once

#include <windows.h>
#include <dshow.h>

#include "extension/localisation.h"
#include "extension/property_page_base.h"
#include "shared/custom_camera_prop.h"

namespace qcamext {

// Template of the custom camera page for a Layer value: the property frame's
// variants and the video-source dialog's.
int CameraPageTemplate(DWORD layer);
int CameraPageVfwTemplate(DWORD layer);
// Template of the digital zoom page: Windows 6.x has its own in both hosts.
int ZoomPageTemplate(bool windows6);
int ZoomPageVfwTemplate(bool windows6);

// A page that holds the filter's private interface, and shows its captions
// (when localised) at dialog initialisation.
class CustomPropPage : public PropertyPageBase {
 public:
  HRESULT OnConnect(IUnknown* filter) override;
  HRESULT OnDisconnect() override;
  INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

  // The video-source dialog's pages take the module's interfaces (each page
  // adds its own reference) at dialog initialisation.
  virtual void UseVfwInterfaces();

  IAMCustomCameraProp* CustomProp() const { return customProp_; }

 protected:
  CustomPropPage(IUnknown* outer, Counting counting, int titleId, int templateId);
  ~CustomPropPage() override;

  virtual void OnInitDialog(HWND window) {}
  // Titles of the localised pages come from the localisation file, and from
  // the string table when the file has none.
  void LocalisedTitle(LocalisedPage kind, WCHAR* title, int capacity);

  IAMCustomCameraProp* customProp_ = NULL;
};

class CustomCameraPage : public CustomPropPage {
 public:
  static IUnknown* Create(IUnknown* outer, HRESULT* result);
  CustomCameraPage(IUnknown* outer, Counting counting, int templateId);
  ~CustomCameraPage() override;

  HRESULT OnConnect(IUnknown* filter) override;
  HRESULT OnDisconnect() override;
  void UseVfwInterfaces() override;

  IAMVideoProcAmp* VideoProcAmp() const { return videoProcAmp_; }
  IAMCameraControl* CameraControl() const { return cameraControl_; }

 protected:
  void PageTitle(WCHAR* title, int capacity) override { LocalisedTitle(LocalisedPage::kCamera, title, capacity); }
  void OnInitDialog(HWND window) override { ApplyPageCaptions(window, LocalisedPage::kCamera); }

 private:
  IAMVideoProcAmp* videoProcAmp_ = NULL;
  IAMCameraControl* cameraControl_ = NULL;
};

class SpecialEffectPage : public CustomPropPage {
 public:
  static IUnknown* Create(IUnknown* outer, HRESULT* result);
  SpecialEffectPage(IUnknown* outer, Counting counting);

 protected:
  void PageTitle(WCHAR* title, int capacity) override { LocalisedTitle(LocalisedPage::kEffect, title, capacity); }
  void OnInitDialog(HWND window) override;
};

class DigitalZoomPage : public CustomPropPage {
 public:
  static IUnknown* Create(IUnknown* outer, HRESULT* result);
  DigitalZoomPage(IUnknown* outer, Counting counting, int templateId);

 protected:
  void PageTitle(WCHAR* title, int capacity) override { LocalisedTitle(LocalisedPage::kZoom, title, capacity); }
  void OnInitDialog(HWND window) override { ApplyPageCaptions(window, LocalisedPage::kZoom); }
};

// The service page: not localised, title from the string table.
class CommandPage : public CustomPropPage {
 public:
  static IUnknown* Create(IUnknown* outer, HRESULT* result);
  explicit CommandPage(IUnknown* outer);
};

}  // namespace qcamext
