// What the module's four property pages share: the dialog templates chosen
// by Layer and Windows version, the private interface each binds to the
// filter, private property requests, titles from the localisation file and
// the helpers their class-table creation routines use.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <prsht.h>

#include <new>

#include "extension/camera_property.h"
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

// Takes a reference to `value` in place of what `slot` held.
template <class T>
void HoldInterface(T** slot, T* value) {
  if (value) value->AddRef();
  if (*slot) (*slot)->Release();
  *slot = value;
}

// Queries the filter for one interface; a failure is shown and returned.
template <class T>
HRESULT BindInterface(IUnknown* filter, REFIID iid, T** slot) {
  HRESULT result = filter->QueryInterface(iid, reinterpret_cast<void**>(slot));
  if (FAILED(result)) {
    *slot = NULL;
    ShowErrorBox(result);
  }
  return result;
}

// Creates a page for the class factory; a failed allocation is shown.
template <class Page, class... Args>
IUnknown* CreatePage(HRESULT* result, Args... args) {
  Page* page = new (std::nothrow) Page(args...);
  if (!page) {
    *result = E_OUTOFMEMORY;
    ShowErrorBox(*result);
    return NULL;
  }
  return page->NonDelegatingUnknown();
}

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
  // Private property requests with a 64-byte payload whose word 0 is the
  // value. A read that fails (or a page without the private interface)
  // leaves *value alone and returns false; failed sends are ignored.
  bool ReadPrivate(ULONG propertyId, LONG* value, ULONG length = kPrivateLength);
  void SendPrivate(ULONG propertyId, LONG value, ULONG length = kPrivateLength);
  static constexpr ULONG kPrivateLength = 64;

  // The property sheet's notifications the pages react to: PSN_APPLY
  // applies, PSN_SETACTIVE activates.
  void OnSheetNotify(LPARAM lParam);

  CustomPropPage(IUnknown* outer, Counting counting, int titleId, int templateId);
  ~CustomPropPage() override;

  virtual void OnInitDialog(HWND window) {}
  // Titles of the localised pages come from the localisation file, and from
  // the string table when the file has none.
  void LocalisedTitle(LocalisedPage kind, WCHAR* title, int capacity);

  IAMCustomCameraProp* customProp_ = NULL;
};

}  // namespace qcamext
