#include "extension/pages.h"

#include <commctrl.h>

#include <new>

#include "extension/camera_property.h"
#include "extension/module.h"
#include "extension/resource.h"

namespace qcamext {
namespace {

template <class T>
void HoldInterface(T** slot, T* value) {
  if (value) value->AddRef();
  ReleaseAndClear(slot);
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

void CustomPropPage::LocalisedTitle(LocalisedPage kind, WCHAR* title, int capacity) {
  ReadPageTitle(kind, title, capacity);
  if (!title[0]) LoadTitleString(title, capacity);
}

// ---- custom camera page ---------------------------------------------------------

IUnknown* CustomCameraPage::Create(IUnknown* outer, HRESULT* result) {
  return CreatePage<CustomCameraPage>(result, outer, kCounted, CameraPageTemplate(Module().layer));
}

CustomCameraPage::CustomCameraPage(IUnknown* outer, Counting counting, int templateId)
    : CustomPropPage(outer, counting, IDS_CAMERA_TITLE, templateId) {}

CustomCameraPage::~CustomCameraPage() {
  ReleaseAndClear(&videoProcAmp_);
  ReleaseAndClear(&cameraControl_);
}

HRESULT CustomCameraPage::OnConnect(IUnknown* filter) {
  HRESULT result = CustomPropPage::OnConnect(filter);
  if (FAILED(result)) return result;
  ReleaseAndClear(&videoProcAmp_);
  result = BindInterface(filter, IID_IAMVideoProcAmp, &videoProcAmp_);
  if (FAILED(result)) return result;
  ReleaseAndClear(&cameraControl_);
  return BindInterface(filter, IID_IAMCameraControl, &cameraControl_);
}

HRESULT CustomCameraPage::OnDisconnect() {
  CustomPropPage::OnDisconnect();
  ReleaseAndClear(&videoProcAmp_);
  ReleaseAndClear(&cameraControl_);
  return S_OK;
}

void CustomCameraPage::UseVfwInterfaces() {
  HoldInterface(&videoProcAmp_, Module().vfwVideoProcAmp);
  HoldInterface(&cameraControl_, Module().vfwCameraControl);
  CustomPropPage::UseVfwInterfaces();
}

// ---- special effect page ------------------------------------------------------------

IUnknown* SpecialEffectPage::Create(IUnknown* outer, HRESULT* result) {
  return CreatePage<SpecialEffectPage>(result, outer, kCounted);
}

SpecialEffectPage::SpecialEffectPage(IUnknown* outer, Counting counting)
    : CustomPropPage(outer, counting, IDS_EFFECT_TITLE, IDD_EFFECT_PAGE) {}

void SpecialEffectPage::OnInitDialog(HWND window) {
  // The zoom page tells the effect page opened last when zoom or face
  // tracking change.
  Module().lastEffectPageWindow = window;
  ApplyPageCaptions(window, LocalisedPage::kEffect);
}

// ---- digital zoom page ----------------------------------------------------------------

IUnknown* DigitalZoomPage::Create(IUnknown* outer, HRESULT* result) {
  return CreatePage<DigitalZoomPage>(result, outer, kCounted, ZoomPageTemplate(Module().windows6));
}

DigitalZoomPage::DigitalZoomPage(IUnknown* outer, Counting counting, int templateId)
    : CustomPropPage(outer, counting, IDS_DZOOM_TITLE, templateId) {}

// ---- command page -----------------------------------------------------------------------

IUnknown* CommandPage::Create(IUnknown* outer, HRESULT* result) { return CreatePage<CommandPage>(result, outer); }

CommandPage::CommandPage(IUnknown* outer)
    : CustomPropPage(outer, kCounted, IDS_COMMAND_TITLE, IDD_COMMAND_PAGE) {}

}  // namespace qcamext
