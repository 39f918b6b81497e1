#include "extension/pages.h"

#include <commctrl.h>

#include <new>

#include "extension/camera_property.h"
#include "extension/module.h"
#include "extension/resource.h"

namespace qcamext {
namespace {

void InitPageControls() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&controls);
}

}  // namespace

int CameraPageTemplate(DWORD layer) {
  switch (layer) {
    case 1:
      return IDD_CAMERA_PAGE_SNAP;
    case 2:
      return IDD_CAMERA_PAGE_LED;
    case 3:
      return IDD_CAMERA_PAGE_BANDING;
    case 4:
      return IDD_CAMERA_PAGE_LED_FOCUS;
    case 5:
      return IDD_CAMERA_PAGE_PRIVACY;
    case 6:
      return IDD_CAMERA_PAGE_PLAIN;
    default:
      return IDD_CAMERA_PAGE;
  }
}

int CameraPageVfwTemplate(DWORD layer) {
  switch (layer) {
    case 1:
      return IDD_CAMERA_VFW_NOFOCUS;
    case 2:
      return IDD_CAMERA_VFW_LED;
    case 3:
      return IDD_CAMERA_PAGE_BANDING;
    case 4:
      return IDD_CAMERA_VFW_LED_FOCUS;
    default:
      return IDD_CAMERA_VFW;
  }
}

int ZoomPageTemplate(bool windows6) { return windows6 ? IDD_DZOOM_PAGE_VISTA : IDD_DZOOM_PAGE; }
int ZoomPageVfwTemplate(bool windows6) { return windows6 ? IDD_DZOOM_PAGE_VISTA : IDD_DZOOM_PAGE_VFW; }

// ---- pages holding the private interface -------------------------------------

CustomPropPage::CustomPropPage(IUnknown* outer, Counting counting, int titleId, int templateId)
    : PropertyPageBase(outer, counting, titleId, templateId) {
  InitPageControls();
}

CustomPropPage::~CustomPropPage() { ReleaseAndClear(&customProp_); }

HRESULT CustomPropPage::OnConnect(IUnknown* filter) {
  ReleaseAndClear(&customProp_);
  return BindInterface(filter, IID_IAMCustomCameraProp, &customProp_);
}

HRESULT CustomPropPage::OnDisconnect() {
  ReleaseAndClear(&customProp_);
  return S_OK;
}

void CustomPropPage::UseVfwInterfaces() { HoldInterface(&customProp_, Module().vfwCustomProp); }

INT_PTR CustomPropPage::OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetDialogWindow(window);
    OnInitDialog(window);
    return TRUE;
  }
  return FALSE;
}

void CustomPropPage::OnSheetNotify(LPARAM lParam) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
  if (!header) return;
  if (header->code == static_cast<UINT>(PSN_APPLY)) OnApplyChanges();
  if (header->code == static_cast<UINT>(PSN_SETACTIVE)) OnActivate();
}

bool CustomPropPage::ReadPrivate(ULONG propertyId, LONG* value, ULONG length) {
  if (!customProp_) return false;
  DWORD payload[kCustomPropMaxLength / sizeof(DWORD)] = {};
  if (length > sizeof(payload) || FAILED(customProp_->Get(propertyId, payload, length))) return false;
  *value = static_cast<LONG>(payload[0]);
  return true;
}

void CustomPropPage::SendPrivate(ULONG propertyId, LONG value, ULONG length) {
  if (!customProp_) return;
  DWORD payload[kCustomPropMaxLength / sizeof(DWORD)] = {};
  if (length > sizeof(payload)) return;
  payload[0] = static_cast<DWORD>(value);
  customProp_->Set(propertyId, payload, length);
}

void CustomPropPage::LocalisedTitle(LocalisedPage kind, WCHAR* title, int capacity) {
  ReadPageTitle(kind, title, capacity);
  if (!title[0]) LoadTitleString(title, capacity);
}

}  // namespace qcamext
